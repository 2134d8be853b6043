// Many parameters at once (a program, a state, a band tool): while the engine
// sounds they wait for a fade to silence, and the output fades back in.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kFade = 240;  // 5 ms at 48 kHz

// The dry modulator alone at a constant 1: the output is Final Volume.
struct DryRig : VocoderRig {
  DryRig() : VocoderRig(kRate) {
    vocoder.ApplyParameter(kOutBalance, 1.0);
    vocoder.ApplyParameter(kFinalVolume, 0.25);
    Prepare(4096);
    for (auto& channel : in) channel.assign(4096, 1.0);
  }
  void Batch(int index, double value) {
    vocoder.BeginParameterBatch();
    vocoder.ApplyParameter(index, value);
    vocoder.EndParameterBatch();
  }
  // The left output of `frames` samples, processed in blocks of `block`.
  std::vector<double> Play(int frames, int block = 64) {
    std::vector<double> played;
    while (frames > 0) {
      const int n = std::min(block, frames);
      Process(n);
      played.insert(played.end(), out[0].begin(), out[0].begin() + n);
      frames -= n;
    }
    return played;
  }
};

double LargestStep(const std::vector<double>& x, double before) {
  double step = 0.0;
  for (double v : x) {
    step = std::max(step, std::fabs(v - before));
    before = v;
  }
  return step;
}

TEST(ParameterBatch, BeforeAnyAudioTheValuesApplyAtOnce) {
  DryRig rig;
  rig.Batch(kFinalVolume, 0.5);
  EXPECT_EQ(rig.vocoder.finalVolume, 0.5);
  EXPECT_EQ(rig.vocoder.FadeGain(), 1.0);
  EXPECT_DOUBLE_EQ(rig.Play(8).back(), 0.5);
}

TEST(ParameterBatch, WhileSoundingTheChangeWaitsForSilenceAndFadesIn) {
  for (int block : {1, 64, 1000}) {
    SCOPED_TRACE(block);
    DryRig rig;
    EXPECT_DOUBLE_EQ(rig.Play(500, block).back(), 0.25);
    rig.Batch(kFinalVolume, 0.5);
    EXPECT_EQ(rig.vocoder.finalVolume, 0.25);  // not yet

    const std::vector<double> out = rig.Play(2 * kFade + 200, block);
    EXPECT_EQ(rig.vocoder.finalVolume, 0.5);
    // Down to silence, then up to the new level, each way smooth and steady.
    EXPECT_TRUE(std::is_sorted(out.begin(), out.begin() + kFade, std::greater<double>()));
    EXPECT_EQ(out[kFade - 1], 0.0);
    EXPECT_TRUE(std::is_sorted(out.begin() + kFade, out.end()));
    EXPECT_DOUBLE_EQ(out.back(), 0.5);
    // Smoothstep's steepest slope is 1.5 per fade length.
    EXPECT_LT(LargestStep(out, 0.25), 0.5 * 1.5 / kFade * 1.01);
    EXPECT_EQ(rig.vocoder.FadeGain(), 1.0);
  }
}

TEST(ParameterBatch, ValuesEqualToTheEngineOnesChangeNothing) {
  DryRig plain;
  DryRig batched;
  plain.Play(300);
  batched.Play(300);
  batched.Batch(kFinalVolume, 0.25);
  batched.Batch(kOutBalance, 1.0);
  EXPECT_EQ(batched.Play(1000), plain.Play(1000));
}

TEST(ParameterBatch, ChangesDuringTheFadeOutWaitAndTheNewestWins) {
  DryRig rig;
  rig.Play(300);
  rig.Batch(kFinalVolume, 0.5);
  rig.Play(kFade / 2);
  rig.vocoder.ApplyParameter(kFinalVolume, 0.125);  // a host's automation
  rig.Batch(kMicLevel, 2.0);                        // another program
  EXPECT_EQ(rig.vocoder.finalVolume, 0.25);
  EXPECT_EQ(rig.vocoder.micLevel, 1.0);
  EXPECT_DOUBLE_EQ(rig.Play(kFade + kFade / 2 + 100).back(), 0.125 * 2.0);
}

TEST(ParameterBatch, ABatchDuringTheFadeInTurnsBackFromThePresentGain) {
  DryRig rig;
  rig.Play(300);
  rig.Batch(kFinalVolume, 0.5);
  rig.Play(kFade + kFade / 2);  // half-way up again
  const double gain = rig.vocoder.FadeGain();
  EXPECT_GT(gain, 0.0);
  EXPECT_LT(gain, 1.0);
  rig.Batch(kFinalVolume, 1.0);
  const std::vector<double> out = rig.Play(kFade / 2 + kFade + 100);
  EXPECT_LT(LargestStep(out, 0.5 * gain), 1.0 * 1.5 / kFade * 1.01);
  EXPECT_DOUBLE_EQ(out.back(), 1.0);
}

TEST(ParameterBatch, AResetKeepsTheWaitingValues) {
  DryRig rig;
  rig.Play(300);
  rig.Batch(kFinalVolume, 0.5);
  rig.vocoder.ResetState(kRate);
  EXPECT_EQ(rig.vocoder.finalVolume, 0.5);
  EXPECT_DOUBLE_EQ(rig.Play(8).back(), 0.5);  // and no fade
}

bool SameStates(const BandPassPair& a, const BandPassPair& b) {
  return a.x1First == b.x1First && a.x2First == b.x2First && a.y1First == b.y1First &&
         a.y2First == b.y2First && a.x1Second == b.x1Second && a.x2Second == b.x2Second &&
         a.y1Second == b.y1Second && a.y2Second == b.y2Second;
}

// Two synthesis bands ring with a 1 kHz carrier; the batch moves one away.
// At the switch the moved one starts from rest, and the other rings on as in
// a twin engine without the batch.
TEST(ParameterBatch, MovedFiltersStartFromRestAndUnmovedOnesKeepTheirStates) {
  VocoderRig rig(kRate);
  VocoderRig twin(kRate);
  for (VocoderRig* r : {&rig, &twin}) {
    r->vocoder.ApplyParameter(kSynthesisFreq1 + 4, 1000.0);
    r->vocoder.ApplyParameter(kSynthesisFreq1 + 9, 1000.0);
    r->Prepare(64);
  }
  long frame = 0;
  auto play = [&](int frames) {
    for (VocoderRig* r : {&rig, &twin}) {
      for (int k = 0; k < 4; ++k) r->FillSine(k, 1000.0, 0.5, kRate, frame);
      r->Process(frames);
    }
    frame += frames;
  };
  for (int block = 0; block < 20; ++block) play(64);
  rig.vocoder.BeginParameterBatch();
  rig.vocoder.ApplyParameter(kSynthesisFreq1 + 9, 8000.0);
  rig.vocoder.EndParameterBatch();
  for (int k = 0; k < kFade / 60; ++k) play(60);  // the fade-out
  const BandPassPair& moved = rig.vocoder.synthesisBands[0][9];
  EXPECT_EQ(moved.freq1, 1000.0);
  EXPECT_NE(moved.y1First, 0.0);
  play(1);  // the switch, and one sample through the filters
  BandPassPair fresh = moved;
  fresh.ClearStates();
  fresh.offset = -moved.offset;  // as it was before that sample
  fresh.Step(rig.vocoder.carrierBuf[0][0]);
  EXPECT_EQ(moved.freq1, 8000.0);
  EXPECT_TRUE(SameStates(moved, fresh));
  EXPECT_TRUE(SameStates(rig.vocoder.synthesisBands[0][4], twin.vocoder.synthesisBands[0][4]));
  EXPECT_TRUE(SameStates(rig.vocoder.analysisBands[1][9], twin.vocoder.analysisBands[1][9]));
}

}  // namespace
