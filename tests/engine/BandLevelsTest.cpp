// The band envelopes the engine hands to the band display.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

namespace {

constexpr double kRate = 48000.0;

struct BandRig : VocoderRig {
  BandRig() : VocoderRig(kRate) {}
  // Plays a sine at band b's frequency, in blocks of 480, for `blocks`.
  void PlayTone(int band, int blocks, double amplitude = 0.5) {
    for (int k = 0; k < blocks; ++k, frame += 480) {
      Prepare(480);
      FillSine(0, kBandDefaultFrequencies[band], amplitude, kRate, frame);
      FillSine(1, kBandDefaultFrequencies[band], amplitude, kRate, frame);
      Process(480);
    }
  }
  void PlaySilence(int blocks) {
    for (int k = 0; k < blocks; ++k) {
      for (auto& channel : in) channel.assign(480, 0.0);
      Process(480);
    }
  }
  long frame = 0;
};

int LoudestBand(const BandLevels& levels) {
  int loudest = 0;
  for (int b = 1; b < kNumBands; ++b)
    if (levels.Level(b) > levels.Level(loudest)) loudest = b;
  return loudest;
}

TEST(BandLevels, FollowTheEnvelopeOfTheBandTheVoiceIsInAndFallToRestInSilence) {
  BandRig rig;
  const BandLevels& levels = rig.vocoder.Bands();
  for (int b = 0; b < kNumBands; ++b) EXPECT_EQ(levels.Level(b), 0.0f);
  for (int band : {2, 9, 14}) {
    SCOPED_TRACE(band);
    rig.PlayTone(band, 20);
    EXPECT_EQ(LoudestBand(levels), band);
    EXPECT_GT(levels.Level(band), 0.1f);
    // The value the engine's envelope holds, through the mic level.
    const double y =
        std::max(rig.vocoder.envelopeFilters[0][band].y1, rig.vocoder.envelopeFilters[1][band].y1);
    EXPECT_FLOAT_EQ(levels.Level(band), static_cast<float>(y * rig.vocoder.micLevel));
    rig.PlaySilence(200);
    EXPECT_LT(levels.Level(band), 1e-4f);
  }
  // Twice the mic level, twice the envelope.
  rig.PlayTone(9, 20);
  const float once = levels.Level(9);
  rig.vocoder.ApplyParameter(kMicLevel, 2.0);
  rig.PlayTone(9, 1);
  EXPECT_NEAR(levels.Level(9), 2.0f * once, 0.05f * once);
}

TEST(BandLevels, TellWhichBandsCarryNoiseAreFixedOrIdle) {
  BandRig rig;
  const BandLevels& levels = rig.vocoder.Bands();
  rig.vocoder.ApplyParameter(kInBalance, 0.5);  // keyboard and noise
  rig.vocoder.ApplyParameter(kSynthesisFixed1 + 3, 1.0);
  rig.PlayTone(18, 20);
  for (int b = 0; b < kNumBands; ++b) {
    const BandLevels::Kind expected = b == 3   ? BandLevels::kFixed
                                      : b < 16 ? BandLevels::kCarrier
                                               : BandLevels::kNoise;
    EXPECT_EQ(levels.KindOf(b), expected) << b;
  }
  EXPECT_GT(levels.Level(18), 0.1f);  // noise bands vocode too
  EXPECT_EQ(levels.Level(3), 0.0f);   // a fixed band has no envelope

  rig.vocoder.ApplyParameter(kVocoderMode, 1.0);  // every band vocodes the carrier
  rig.PlayTone(18, 1);
  EXPECT_EQ(levels.KindOf(18), BandLevels::kCarrier);

  rig.vocoder.ApplyParameter(kVocoderMode, 0.0);
  rig.vocoder.ApplyParameter(kInBalance, 0.0);  // no noise: the top bands do not run
  rig.PlayTone(18, 1);
  EXPECT_EQ(levels.KindOf(18), BandLevels::kIdle);
  EXPECT_EQ(levels.Level(18), 0.0f);

  rig.vocoder.ApplyParameter(kOutBalance, 1.0);  // the vocoder is not heard
  rig.PlayTone(9, 1);
  for (int b = 0; b < kNumBands; ++b) EXPECT_EQ(levels.KindOf(b), BandLevels::kIdle) << b;
}

}  // namespace
