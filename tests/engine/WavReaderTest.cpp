#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <vector>

#include "WavFixtures.h"
#include "engine/WavReader.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace wavtest;

namespace {

std::vector<double> ReadEverything(WavReader& reader, int k) {
  std::vector<double> out(static_cast<size_t>(reader.frameCount + 16) * k, -9.0);
  const int got = reader.ReadFrames(out.data(), reader.frameCount + 16, k);
  out.resize(static_cast<size_t>(got) * k);
  return out;
}

bool Opens(const std::string& name, const Bytes& bytes) {
  WavReader reader;
  return reader.Open(WriteTemp(name, bytes).c_str());
}

const double kPi = 3.141592653589793;

}  // namespace

TEST(WavReaderTest, DecodesEveryFormatOfTheIndependentEncoder) {
  // All fixtures hold the same sox sine at half scale; the 64-bit float file
  // is the reference, the others differ by their quantisation only.
  WavReader reference;
  ASSERT_TRUE(reference.Open(Fixture("f64_mono_44100").c_str()));
  const std::vector<double> sine = ReadEverything(reference, 1);
  ASSERT_EQ(sine.size(), 2205u);
  for (size_t i = 0; i < sine.size(); ++i) {
    ASSERT_NEAR(sine[i], 0.5 * std::sin(2 * kPi * 1000 * i / 44100.0), 0.003) << i;
  }

  struct Case {
    const char* name;
    int channels, bits;
    double tolerance;
  };
  const Case cases[] = {{"u8_mono_44100", 1, 8, 1.0 / 128},
                        {"s16_stereo_44100", 2, 16, 1.0 / 32768},
                        {"s24_mono_44100", 1, 24, 1.0 / 8388608},
                        {"f32_stereo_44100", 2, 32, 1e-7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WavReader reader;
    ASSERT_TRUE(reader.Open(Fixture(c.name).c_str()));
    EXPECT_EQ(reader.channels, c.channels);
    EXPECT_EQ(reader.bitsPerSample, c.bits);
    EXPECT_EQ(reader.fileRate, 44100);
    ASSERT_EQ(reader.frameCount, 2205);
    const std::vector<double> frames = ReadEverything(reader, c.channels);
    ASSERT_EQ(frames.size(), 2205u * c.channels);
    for (size_t i = 0; i < 2205; ++i) {
      ASSERT_NEAR(frames[i * c.channels], sine[i], c.tolerance) << i;
      if (c.channels == 2) {  // the second channel is a 500 Hz sine
        ASSERT_NEAR(frames[i * 2 + 1], 0.5 * std::sin(2 * kPi * 500 * i / 44100.0), 0.003) << i;
      }
    }
  }
}

TEST(WavReaderTest, IntegerDecodingScalesExactly) {
  const Bytes eight = {0, 128, 255};
  WavReader reader;
  ASSERT_TRUE(
      reader.Open(WriteTemp("u8", Riff({Fmt(1, 1, 8000, 8), Chunk("data", eight)})).c_str()));
  double out[3];
  ASSERT_EQ(reader.ReadFrames(out, 3, 1), 3);
  EXPECT_EQ(out[0], -1.0);
  EXPECT_EQ(out[1], 0.0);
  EXPECT_EQ(out[2], 127 * 0.0078125);

  const Bytes twentyFour = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00};
  ASSERT_TRUE(reader.Open(
      WriteTemp("s24", Riff({Fmt(1, 1, 8000, 24), Chunk("data", twentyFour)})).c_str()));
  ASSERT_EQ(reader.frameCount, 3);
  ASSERT_EQ(reader.ReadFrames(out, 3, 1), 3);
  EXPECT_EQ(out[0], -1.0);
  EXPECT_EQ(out[1], 8388607 * 1.1920928955078125e-7);
  EXPECT_EQ(out[2], 1.1920928955078125e-7);

  ASSERT_TRUE(reader.Open(
      WriteTemp("s16", Riff({Fmt(1, 1, 8000, 16), Chunk("data", Pcm16({-32768, 16384}))}))
          .c_str()));
  ASSERT_EQ(reader.ReadFrames(out, 2, 1), 2);
  EXPECT_EQ(out[0], -1.0);
  EXPECT_EQ(out[1], 0.5);
}

TEST(WavReaderTest, SkipsThePadByteOfOddSizedChunks) {
  // The encoder's file with an odd-sized LIST chunk spliced in before "data".
  const Bytes original = ReadAll(Fixture("s24_mono_44100"));
  ASSERT_GT(original.size(), 44u);
  ASSERT_EQ(std::memcmp(original.data() + 36, "data", 4), 0);
  const Bytes list =
      Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 3, 0, 0, 0, 'a', 'b', 'c'});
  ASSERT_EQ(list.size(), 8u + 15u + 1u);
  Bytes spliced(original.begin(), original.begin() + 36);
  spliced.insert(spliced.end(), list.begin(), list.end());
  spliced.insert(spliced.end(), original.begin() + 36, original.end());

  WavReader plain, withList;
  ASSERT_TRUE(plain.Open(Fixture("s24_mono_44100").c_str()));
  ASSERT_TRUE(withList.Open(WriteTemp("odd_list", spliced).c_str()));
  ASSERT_EQ(withList.frameCount, 2205);
  EXPECT_EQ(ReadEverything(withList, 1), ReadEverything(plain, 1));
}

TEST(WavReaderTest, RefusesMalformedFiles) {
  const Bytes data = Chunk("data", Pcm16({1, 2, 3, 4}));
  const Bytes fmt = Fmt(1, 1, 44100, 16);
  EXPECT_FALSE(Opens("missing_riff", Riff({fmt, data}, "AVI ")));
  Bytes notRiff = Riff({fmt, data});
  notRiff[0] = 'X';
  EXPECT_FALSE(Opens("not_riff", notRiff));
  EXPECT_FALSE(Opens("empty_file", {}));
  EXPECT_FALSE(Opens("short_header", {'R', 'I', 'F', 'F', 0, 0}));
  EXPECT_FALSE(WavReader().Open(TempPath("does_not_exist").c_str()));
  EXPECT_FALSE(Opens("data_before_fmt", Riff({data, fmt})));
  Bytes shortFmt = Fmt(1, 1, 44100, 16);
  shortFmt.resize(8 + 14);
  shortFmt[4] = 14;
  EXPECT_FALSE(Opens("short_fmt", Riff({shortFmt, data})));
  EXPECT_FALSE(Opens("int32_pcm", Riff({Fmt(1, 1, 44100, 32), data})));
  EXPECT_FALSE(Opens("float16", Riff({Fmt(3, 1, 44100, 16), data})));
  EXPECT_FALSE(Opens("int12", Riff({Fmt(1, 1, 44100, 12), data})));
  EXPECT_FALSE(Opens("extensible", Riff({Fmt(0xFFFE, 1, 44100, 16), data})));
  EXPECT_FALSE(Opens("zero_channels", Riff({Fmt(1, 0, 44100, 16), data})));
  EXPECT_FALSE(Opens("65_channels", Riff({Fmt(1, 65, 44100, 16), data})));
  EXPECT_FALSE(Opens("zero_rate", Riff({Fmt(1, 1, 0, 16), data})));
  // A corrupt rate would make the resampler read a thousandth of it per tick.
  EXPECT_FALSE(Opens("absurd_rate", Riff({Fmt(3, 2, 1459617920, 32), data})));
  EXPECT_FALSE(Opens("just_too_fast", Riff({Fmt(1, 1, 1536001, 16), data})));
  EXPECT_TRUE(Opens("fastest", Riff({Fmt(1, 1, 1536000, 16), data})));
  EXPECT_TRUE(Opens("768k", Riff({Fmt(1, 1, 768000, 16), data})));
  EXPECT_FALSE(Opens("empty_data", Riff({fmt, Chunk("data", {})})));
  EXPECT_FALSE(Opens("no_data", Riff({fmt})));
  // A chunk claiming more bytes than the file holds ends the walk.
  EXPECT_FALSE(Opens("chunk_past_eof", Riff({fmt, Chunk("LIST", {1, 2}, 0xFFFFFFF0), data})));
  // A later valid format rescues a later data chunk; an invalid one voids it.
  EXPECT_TRUE(Opens("data_fmt_data", Riff({data, fmt, data})));
  EXPECT_FALSE(Opens("fmt_then_bad_fmt", Riff({fmt, Fmt(1, 1, 44100, 32), data})));
}

TEST(WavReaderTest, ReadsOnlyWhatATruncatedFileHolds) {
  // Declares 100 frames but holds 3 and a half.
  Bytes bytes = Riff({Fmt(1, 1, 44100, 16), Chunk("data", Pcm16({100, 200, 300}), 200)});
  bytes.push_back(0x7F);
  WavReader reader;
  ASSERT_TRUE(reader.Open(WriteTemp("truncated", bytes).c_str()));
  EXPECT_EQ(reader.frameCount, 100);
  std::vector<double> out(200, -9.0);
  EXPECT_EQ(reader.ReadFrames(out.data(), 100, 1), 3);
  EXPECT_EQ(out[2], 300 * 0.000030517578125);
  EXPECT_EQ(out[3], -9.0);
  EXPECT_EQ(reader.ReadFrames(out.data(), 100, 1), 0);
  ASSERT_TRUE(reader.Rewind());
  EXPECT_EQ(reader.ReadFrames(out.data(), 100, 1), 3);
  EXPECT_EQ(out[0], 100 * 0.000030517578125);
}

TEST(WavReaderTest, StopsAtTheEndOfTheDataChunk) {
  // Two frames, then a trailing chunk whose bytes must not play as samples.
  const Bytes bytes = Riff(
      {Fmt(1, 2, 44100, 16), Chunk("data", Pcm16({1, 2, 3, 4, 5})), Chunk("LIST", {9, 9, 9, 9})});
  WavReader reader;
  ASSERT_TRUE(reader.Open(WriteTemp("trailing", bytes).c_str()));
  ASSERT_EQ(reader.frameCount, 2);  // the half frame does not count
  double out[8];
  EXPECT_EQ(reader.ReadFrames(out, 1, 2), 1);
  EXPECT_EQ(reader.ReadFrames(out, 8 / 2, 2), 1);
  EXPECT_EQ(out[0], 3 * 0.000030517578125);
  EXPECT_EQ(out[1], 4 * 0.000030517578125);
  EXPECT_EQ(reader.ReadFrames(out, 4, 2), 0);
}

TEST(WavReaderTest, ZeroFrameDataOpensAndReadsNothing) {
  WavReader reader;
  ASSERT_TRUE(
      reader.Open(WriteTemp("one_byte", Riff({Fmt(1, 1, 44100, 16), Chunk("data", {7})})).c_str()));
  EXPECT_EQ(reader.frameCount, 0);
  double out[4];
  EXPECT_EQ(reader.ReadFrames(out, 4, 1), 0);
}

TEST(WavReaderTest, ChannelSelectionAndRepetition) {
  WavReader reader;
  ASSERT_TRUE(reader.Open(
      WriteTemp("mono", Riff({Fmt(1, 1, 44100, 16), Chunk("data", Pcm16({10, 20}))})).c_str()));
  double out[4];
  ASSERT_EQ(reader.ReadFrames(out, 2, 2), 2);  // mono to two outputs: the channel repeats
  EXPECT_EQ(out[0], out[1]);
  EXPECT_EQ(out[2], out[3]);
  EXPECT_EQ(out[2], 20 * 0.000030517578125);

  // 64 channels, the most accepted: the first two are decoded.
  Bytes frame;
  for (int c = 0; c < 64; ++c) PutU16(frame, static_cast<uint32_t>(c * 100));
  ASSERT_TRUE(
      reader.Open(WriteTemp("64ch", Riff({Fmt(1, 64, 44100, 16), Chunk("data", frame)})).c_str()));
  EXPECT_EQ(reader.channels, 64);
  ASSERT_EQ(reader.ReadFrames(out, 1, 2), 1);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[1], 100 * 0.000030517578125);
}

TEST(WavReaderTest, SurvivesCorruptedBytes) {
  // Deterministic byte corruption of a valid file: opening and reading must
  // stay within bounds whatever the headers claim.
  const Bytes original = Riff(
      {Fmt(1, 2, 44100, 16), Chunk("LIST", {1, 2, 3}), Chunk("data", Pcm16({1, 2, 3, 4, 5, 6}))});
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  std::vector<double> out(64 * 16);
  for (int round = 0; round < 200; ++round) {
    Bytes bytes = original;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int f = 0; f < flips; ++f)
      bytes[next() % bytes.size()] = static_cast<unsigned char>(next() >> 16);
    bytes.resize(bytes.size() - next() % 8);
    WavReader reader;
    if (reader.Open(WriteTemp("corrupt", bytes).c_str())) {
      ASSERT_GE(reader.channels, 1);
      ASSERT_LE(reader.channels, WavReader::maxChannels);
      const int got = reader.ReadFrames(out.data(), 8, 2);
      ASSERT_LE(got, 8);
      ASSERT_LE(got, reader.frameCount);
    }
  }
}

#ifndef _WIN32
// A project can name any file as the WAV source. A FIFO would block the host
// until some writer appears, and a device never ends: only regular files open.
TEST(WavReaderTest, OpensOnlyRegularFiles) {
  TempFolder folder;
  const std::string fifo = folder.File("pipe.wav");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto opened = std::async(std::launch::async, [&fifo] { return WavReader().Open(fifo.c_str()); });
  if (opened.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    // Release the waiting reader so that the test can end.
    close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    FAIL() << "opening a FIFO waited for a writer";
  }
  EXPECT_FALSE(opened.get());
  EXPECT_FALSE(WavReader().Open(folder.Path().c_str()));
  EXPECT_FALSE(WavReader().Open("/dev/zero"));
  EXPECT_TRUE(Opens("regular", Riff({Fmt(1, 1, 44100, 16), Chunk("data", Pcm16({1, 2}))})));
}
#endif

TEST(WavReaderTest, NonFiniteFloatSamplesPlayAsSilence) {
  Bytes samples;
  for (uint32_t bits : {0x3F000000u, 0x7FC00000u, 0x7F800000u, 0xFF800000u, 0xBF000000u})
    PutU32(samples, bits);  // 0.5, NaN, +inf, -inf, -0.5
  WavReader reader;
  ASSERT_TRUE(reader.Open(
      WriteTemp("float_nonfinite", Riff({Fmt(3, 1, 44100, 32), Chunk("data", samples)})).c_str()));
  EXPECT_EQ(ReadEverything(reader, 1), (std::vector<double>{0.5, 0.0, 0.0, 0.0, -0.5}));
}
