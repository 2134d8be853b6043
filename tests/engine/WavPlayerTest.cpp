#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "SignalMeasures.h"
#include "WavFixtures.h"
#include "engine/WavPlayer.h"
#include "support/AllocationCounter.h"

using namespace wavtest;

namespace {

struct Stereo {
  std::vector<double> left, right;
};

// Renders `total` samples in pieces of at most `piece`.
Stereo Render(WavPlayer& player, int total, int piece) {
  Stereo s{std::vector<double>(static_cast<size_t>(total)),
           std::vector<double>(static_cast<size_t>(total))};
  for (int done = 0; done < total; done += piece) {
    const int n = std::min(piece, total - done);
    player.RenderWav(s.left.data() + done, s.right.data() + done, n);
  }
  return s;
}

std::vector<double> Decode(const std::string& path, int k) {
  WavReader reader;
  EXPECT_TRUE(reader.Open(path.c_str()));
  std::vector<double> frames(static_cast<size_t>(reader.frameCount) * k);
  frames.resize(static_cast<size_t>(reader.ReadFrames(frames.data(), reader.frameCount, k)) * k);
  return frames;
}

// Full level from the first sample, so the output equals the file's samples.
void TriggerAtFullLevel(WavPlayer& player) {
  player.level = 1.0;
  player.TriggerWav();
}

}  // namespace

TEST(WavPlayerTest, EqualRatesPlaySampleExactFromTheFirstTwoChannels) {
  for (const char* name : {"s16_stereo_44100", "s16_quad_44100"}) {
    SCOPED_TRACE(name);
    WavPlayer player;
    player.ResetWavPlayer(44100, 44);
    ASSERT_TRUE(player.OpenWav(Fixture(name).c_str()));
    EXPECT_FALSE(player.needsResampling);
    EXPECT_TRUE(player.stereo);
    EXPECT_EQ(player.outputLength, 2205);
    const std::vector<double> frames = Decode(Fixture(name), 2);

    EXPECT_EQ(Render(player, 100, 44).left, std::vector<double>(100, 0.0));  // until triggered
    TriggerAtFullLevel(player);
    const Stereo out = Render(player, 2300, 44);
    for (size_t i = 0; i < 2205; ++i) {
      ASSERT_EQ(out.left[i], frames[2 * i]) << i;
      ASSERT_EQ(out.right[i], frames[2 * i + 1]) << i;
    }
    for (size_t i = 2205; i < 2300; ++i) ASSERT_EQ(out.left[i] + out.right[i], 0.0) << i;
    EXPECT_EQ(player.remaining, 0);

    // A trigger restarts from the first frame.
    TriggerAtFullLevel(player);
    EXPECT_EQ(Render(player, 10, 44).left[3], frames[6]);
  }
}

TEST(WavPlayerTest, MonoFeedsBothChannels) {
  WavPlayer player;
  player.ResetWavPlayer(44100, 44);
  ASSERT_TRUE(player.OpenWav(Fixture("u8_mono_44100").c_str()));
  EXPECT_FALSE(player.stereo);
  player.TriggerWav();
  const Stereo out = Render(player, 2205, 44);
  EXPECT_EQ(out.left, out.right);
  EXPECT_GT(std::fabs(out.left[2000]), 0.0);
}

TEST(WavPlayerTest, EnvelopeFollowsAttackAndRelease) {
  WavPlayer player;
  player.ResetWavPlayer(44100, 44);
  ASSERT_TRUE(player.OpenWav(Fixture("sine_mono_44100").c_str()));
  player.attack = 0.0;
  player.release = 0.5;
  player.TriggerWav();
  const double attackCoefficient = std::pow(10.0, 2.3) * 2.302585092994046 / 44100;
  EXPECT_EQ(player.coefficient, attackCoefficient);
  EXPECT_NEAR(attackCoefficient, 0.0104181, 1e-6);
  EXPECT_EQ(player.target, 10.0 / 9.0);
  const std::vector<double> frames = Decode(Fixture("sine_mono_44100"), 1);
  Stereo out = Render(player, 1, 1);
  EXPECT_EQ(out.left[0], (10.0 / 9.0) * attackCoefficient * frames[0]);

  // With "Attack" 0 the level closes 1 - 1/e of the gap in about 2.2 ms.
  Render(player, 96, 44);
  EXPECT_NEAR(player.level, (10.0 / 9.0) * (1 - std::exp(-1.0)), 0.01);
  Render(player, 4000, 44);
  EXPECT_EQ(player.level, 1.0);

  player.ReleaseWav();
  EXPECT_EQ(player.target, -1.0 / 9.0);
  EXPECT_EQ(player.coefficient, std::pow(10.0, 2.3 - 2.25) * 2.302585092994046 / 44100);
  const int before = player.remaining;
  Render(player, 10000, 44);
  EXPECT_EQ(player.remaining, before - 10000);  // the file keeps playing, faded
  EXPECT_LT(player.level, 0.6);
  EXPECT_GT(player.level, 0.4);
}

TEST(WavPlayerTest, EnvelopeStepsThroughTheRestOfTheLastPiece) {
  WavPlayer player;
  player.ResetWavPlayer(44100, 16);
  const Bytes tenFrames = Riff({Fmt(1, 1, 44100, 16), Chunk("data", Bytes(20, 0))});
  ASSERT_TRUE(player.OpenWav(WriteTemp("player_ten", tenFrames).c_str()));
  player.level = 0.5;
  player.TriggerWav();  // a retrigger starts from the current level
  player.ReleaseWav();
  double expected = 0.5;
  for (int i = 0; i < 16; ++i) {
    expected = std::clamp((-1.0 / 9.0 - expected) * player.coefficient + expected, 0.0, 1.0);
  }
  Render(player, 16, 16);  // ten samples of the file, six of silence
  EXPECT_EQ(player.remaining, 0);
  EXPECT_EQ(player.level, expected);
  Render(player, 16, 16);  // stopped pieces leave it alone
  EXPECT_EQ(player.level, expected);
}

TEST(WavPlayerTest, ResampledPlaybackHasTheHostLengthAndPitch) {
  struct Case {
    const char* file;
    double hostRate;
    int tick;
    int length;
  };
  for (const Case c :
       {Case{"sine_mono_48000", 44100, 44, 22050}, Case{"sine_mono_44100", 48000, 48, 24000},
        Case{"sine_mono_44100", 22050, 22, 11025}}) {
    SCOPED_TRACE(c.hostRate);
    WavPlayer player;
    player.ResetWavPlayer(c.hostRate, c.tick);
    ASSERT_TRUE(player.OpenWav(Fixture(c.file).c_str()));
    EXPECT_TRUE(player.needsResampling);
    EXPECT_EQ(player.outputLength, c.length);
    TriggerAtFullLevel(player);
    const Stereo out = Render(player, c.length - 1, c.tick);
    EXPECT_EQ(player.remaining, 1);
    Render(player, c.tick, c.tick);
    EXPECT_EQ(player.remaining, 0);
    EXPECT_NEAR(ZeroCrossingFrequency(out.left, 100, out.left.size() - 100, c.hostRate), 1000.0,
                2.0);
    size_t silent = 0;
    for (size_t i = 0; i + 1 < out.left.size(); ++i)
      silent += out.left[i] == 0.0 && out.left[i + 1] == 0.0;
    EXPECT_LT(silent, 5u);  // no gaps between pieces
  }
}

TEST(WavPlayerTest, HostRateChangeRecomputesTheLength) {
  WavPlayer player;
  player.ResetWavPlayer(44100, 44);
  ASSERT_TRUE(player.OpenWav(Fixture("sine_mono_44100").c_str()));
  EXPECT_EQ(player.outputLength, 22050);
  EXPECT_FALSE(player.needsResampling);
  player.ResetWavPlayer(48000, 48);
  EXPECT_EQ(player.outputLength, 24000);
  EXPECT_TRUE(player.needsResampling);
  EXPECT_EQ(player.resampler.ratio, 44100.0 / 48000.0);
  player.ResetWavPlayer(44100, 44);
  EXPECT_FALSE(player.needsResampling);
}

TEST(WavPlayerTest, DamagedOrEmptyFilesPlaySilenceSafely) {
  WavPlayer player;
  player.ResetWavPlayer(44100, 8);
  // Declares 1000 frames, holds 3: those play, then silence.
  const Bytes truncated =
      Riff({Fmt(1, 1, 44100, 16), Chunk("data", Pcm16({16384, 16384, 16384}), 2000)});
  ASSERT_TRUE(player.OpenWav(WriteTemp("player_truncated", truncated).c_str()));
  TriggerAtFullLevel(player);
  Stereo out = Render(player, 40, 8);
  EXPECT_EQ(out.left[2], 0.5);
  EXPECT_EQ(out.left[3], 0.0);
  EXPECT_EQ(out.right[39], 0.0);

  // The same damage with resampling.
  player.ResetWavPlayer(48000, 8);
  TriggerAtFullLevel(player);
  out = Render(player, 40, 8);
  EXPECT_GT(*std::max_element(out.left.begin(), out.left.begin() + 8), 0.05);
  EXPECT_EQ(out.left[39], 0.0);

  ASSERT_TRUE(player.OpenWav(
      WriteTemp("player_zero", Riff({Fmt(1, 2, 44100, 16), Chunk("data", {1})})).c_str()));
  player.TriggerWav();
  EXPECT_EQ(Render(player, 16, 8).left, std::vector<double>(16, 0.0));

  EXPECT_FALSE(player.OpenWav(WriteTemp("player_bad", Riff({Fmt(1, 1, 44100, 32)})).c_str()));
  EXPECT_EQ(player.outputLength, 0);
  player.TriggerWav();
  EXPECT_EQ(Render(player, 16, 8).left, std::vector<double>(16, 0.0));

  WavPlayer unreset;  // no buffers yet: silence, not a crash
  ASSERT_TRUE(unreset.OpenWav(Fixture("u8_mono_44100").c_str()));
  unreset.TriggerWav();
  EXPECT_EQ(Render(unreset, 16, 16).left, std::vector<double>(16, 0.0));
}

TEST(WavPlayerTest, RenderingNeverAllocates) {
  for (const double hostRate : {44100.0, 48000.0, 32000.0}) {
    WavPlayer player;
    const int tick = static_cast<int>(hostRate) / 1000;
    player.ResetWavPlayer(hostRate, tick);
    ASSERT_TRUE(player.OpenWav(Fixture("s16_stereo_44100").c_str()));
    std::vector<double> left(static_cast<size_t>(tick)), right(static_cast<size_t>(tick));
    StartCountingAllocations();
    for (int round = 0; round < 3; ++round) {
      player.TriggerWav();
      for (int piece = 0; piece < 60; ++piece) {
        if (piece == 30) player.ReleaseWav();
        player.RenderWav(left.data(), right.data(), tick - piece % 3);
      }
    }
    EXPECT_EQ(StopCountingAllocations(), 0) << hostRate;
  }
}

TEST(WavPlayerTest, RelativeNamesResolveUnderTheBaseFolder) {
  namespace fs = std::filesystem;
  const fs::path base = fs::path(TempPath("base"));
  fs::create_directories(base / "sub");
  const std::string source = Fixture("u8_mono_44100");
  fs::copy_file(source, base / "voice.wav", fs::copy_options::overwrite_existing);
  fs::copy_file(source, base / "sub" / "deep.wav", fs::copy_options::overwrite_existing);
  const std::string folder = base.string();

  WavPlayer player;
  std::string requested = "voice.wav";
  ASSERT_TRUE(OpenWavSource(player, requested, folder));
  EXPECT_EQ(requested, "voice.wav");
  EXPECT_EQ(player.reader.frameCount, 2205);

  requested = (fs::path("sub") / "deep.wav").string();
  ASSERT_TRUE(OpenWavSource(player, requested, folder + "/"));
  EXPECT_EQ(requested, (fs::path("sub") / "deep.wav").string());

  requested = (base / "voice.wav").string();  // absolute names stay as given
  ASSERT_TRUE(OpenWavSource(player, requested, "/elsewhere"));
  EXPECT_EQ(requested, (base / "voice.wav").string());

  requested = "absent.wav";
  EXPECT_FALSE(OpenWavSource(player, requested, folder));
  EXPECT_EQ(requested, "absent.wav");
  EXPECT_FALSE(OpenWavSource(player, requested, ""));
}
