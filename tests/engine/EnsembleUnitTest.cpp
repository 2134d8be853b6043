#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/EnsembleUnit.h"

namespace {

int TickSamples(double sampleRate) { return static_cast<int>(sampleRate) / 1000; }

// Runs the unit as the block process does: a tick, then one tick of samples.
std::vector<double> RunTicks(EnsembleUnit& unit, const std::vector<double>& input) {
  const int tick = TickSamples(unit.sampleRate);
  std::vector<double> out;
  for (size_t i = 0; i < input.size(); ++i) {
    if (i % static_cast<size_t>(tick) == 0) TickEnsemble(unit);
    out.push_back(ProcessEnsemble(unit, input[i]));
  }
  return out;
}

EnsembleUnit MakeUnit(double sampleRate, double rate1, double rate2) {
  EnsembleUnit unit;
  SetEnsembleRate(unit, 1, rate1);
  SetEnsembleRate(unit, 2, rate2);
  ResetEnsemble(unit, sampleRate);
  return unit;
}

TEST(EnsembleUnitTest, ResetRebuildsLinesButKeepsPhases) {
  EnsembleUnit unit;
  EXPECT_EQ(ProcessEnsemble(unit, 1.0), 0.0);  // nothing before the first reset
  ResetEnsemble(unit, 44100.0);
  EXPECT_EQ(unit.lineLength, 706);
  RunTicks(unit, std::vector<double>(5000, 1.0));
  const double phase = unit.lfo2Phase;
  EXPECT_GT(phase, 0.0);

  ResetEnsemble(unit, 44100.0);
  EXPECT_EQ(unit.lfo2Phase, phase);
  EXPECT_EQ(unit.delayA, 0.0);
  for (double y : RunTicks(unit, std::vector<double>(1000, 0.0))) ASSERT_LT(std::fabs(y), 1e-12);
}

TEST(EnsembleUnitTest, ConstantInputSettlesAtOneAndAHalf) {
  EnsembleUnit unit = MakeUnit(44100.0, 0.65, 5.7);
  const std::vector<double> out = RunTicks(unit, std::vector<double>(44100, 1.0));
  EXPECT_NEAR(out.back(), 1.5, 1e-9);
}

TEST(EnsembleUnitTest, StillOscillatorsGiveAStaticComb) {
  const double fs = 44100.0;
  EnsembleUnit unit = MakeUnit(fs, 0.0, 0.0);
  const double depth = 1.0 - (0.03 * (std::sin(6.283185307179586 / 3.0) + 1.0) / 2.0 + 0.06);
  const double delay = (depth * 0.014 + 0.002) * fs;

  // The same 7 kHz lowpass, to know what enters the delay lines.
  Lowpass reference;
  reference.SetUp(fs, 7000.0);
  std::vector<double> input, filtered;
  for (int i = 0; i < 8000; ++i) {
    input.push_back(i < 2000 ? 0.0 : std::sin(i * 0.37) + (i % 101 == 0 ? 1.0 : 0.0));
    filtered.push_back(reference.Step(input.back()));
  }
  const std::vector<double> out = RunTicks(unit, input);
  EXPECT_NEAR(unit.delayA, delay, 1e-6);
  EXPECT_EQ(unit.delayA, unit.delayB);

  // Interpolates between trunc(delay) - 1 and trunc(delay) samples back.
  const int t = static_cast<int>(delay);
  const double f = delay - std::floor(delay);
  for (int n = 2000; n < 8000; ++n) {
    const double tap = filtered[n - t + 1] + f * (filtered[n - t] - filtered[n - t + 1]);
    ASSERT_NEAR(out[n], (filtered[n] + 2.0 * tap) * 0.5, 1e-9) << "sample " << n;
  }
}

TEST(EnsembleUnitTest, OscillatorPhasesWrapBelowTwoPi) {
  EnsembleUnit unit = MakeUnit(44100.0, 24.999, 24.999);
  for (int i = 0; i < 10000; ++i) {
    TickEnsemble(unit);
    ASSERT_GE(unit.lfo1Phase, 0.0);
    ASSERT_LT(unit.lfo2Phase, 6.283185307179586);
  }
}

TEST(EnsembleUnitTest, UnusableRatesLeaveTheUnitSilent) {
  for (double fs : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), 1e300}) {
    EnsembleUnit unit;
    ResetEnsemble(unit, fs);
    EXPECT_EQ(unit.lineLength, 0) << fs;
    TickEnsemble(unit);
    EXPECT_EQ(ProcessEnsemble(unit, 1.0), 0.0) << fs;
  }
}

TEST(EnsembleUnitTest, WildStateNeverReadsOutsideTheLines) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double delay : {-5.0, 0.0, 0.5, 705.99, 706.0, 1e12, inf, -inf, std::nan("")}) {
    EnsembleUnit unit = MakeUnit(44100.0, 0.65, 5.7);
    for (int i = 0; i < 1500; ++i) {
      unit.delayA = unit.delayB = delay;
      ASSERT_TRUE(std::isfinite(ProcessEnsemble(unit, 0.5))) << delay;
    }
  }
  EnsembleUnit unit = MakeUnit(44100.0, inf, 1e300);
  for (double y : RunTicks(unit, std::vector<double>(4410, 1.0))) ASSERT_TRUE(std::isfinite(y));
}

// Both channels run in place must give what one sample at a time gives, and
// leave the units in the same state, whatever the input and the sweep; a
// unit without lines stays silent beside one with them.
TEST(EnsembleUnitTest, ChannelsRunInPlaceAsSampleBySample) {
  const double inf = std::numeric_limits<double>::infinity();
  EnsembleUnit bySample[2] = {MakeUnit(48000.0, 0.65, 5.7), MakeUnit(48000.0, 0.4, 7.5)};
  EnsembleUnit inPlace[2] = {bySample[0], bySample[1]};
  std::vector<double> input[2];
  for (size_t i = 0; i < 4000; ++i) {
    input[0].push_back(std::sin(0.01 * i) * (i % 7 == 0 ? 3.0 : 0.4));
    input[1].push_back(std::cos(0.03 * i) * 0.7);
  }
  input[0][1000] = inf;
  input[1][2000] = std::nan("");
  input[0][2500] = 1e200;
  std::vector<double> expected[2], actual[2];
  size_t start = 0;
  for (int piece : {48, 1, 33, 7, 48, 2000, 1863}) {
    std::vector<double> samples[2];
    for (int ch = 0; ch < 2; ++ch) {
      TickEnsemble(bySample[ch]);
      TickEnsemble(inPlace[ch]);
      samples[ch].assign(input[ch].begin() + start, input[ch].begin() + start + piece);
      for (double x : samples[ch]) expected[ch].push_back(ProcessEnsemble(bySample[ch], x));
    }
    ProcessEnsembles(inPlace[0], inPlace[1], samples[0].data(), samples[1].data(), piece);
    for (int ch = 0; ch < 2; ++ch) {
      actual[ch].insert(actual[ch].end(), samples[ch].begin(), samples[ch].end());
    }
    start += static_cast<size_t>(piece);
  }
  ASSERT_EQ(start, input[0].size());
  for (int ch = 0; ch < 2; ++ch) {
    ASSERT_EQ(expected[ch].size(), actual[ch].size());
    EXPECT_EQ(0, std::memcmp(expected[ch].data(), actual[ch].data(),
                             sizeof(double) * expected[ch].size()));
    EXPECT_EQ(bySample[ch].writeA, inPlace[ch].writeA);
    EXPECT_EQ(bySample[ch].writeB, inPlace[ch].writeB);
    EXPECT_EQ(bySample[ch].delayA, inPlace[ch].delayA);
    EXPECT_EQ(bySample[ch].delayB, inPlace[ch].delayB);
    EXPECT_EQ(bySample[ch].delayLineA, inPlace[ch].delayLineA);
  }

  EnsembleUnit unreset;
  std::vector<double> left(5, 1.0), right(5, 1.0), expectedLeft(5);
  for (int i = 0; i < 5; ++i) expectedLeft[i] = ProcessEnsemble(bySample[0], 1.0);
  ProcessEnsembles(inPlace[0], unreset, left.data(), right.data(), 5);
  EXPECT_EQ(left, expectedLeft);
  EXPECT_EQ(right, std::vector<double>(5, 0.0));
}

class EnsembleRateTest : public testing::TestWithParam<double> {};

TEST_P(EnsembleRateTest, TapsSweepBetweenFourteenAndSixteenMilliseconds) {
  const double fs = GetParam();
  EnsembleUnit unit = MakeUnit(fs, 0.65, 5.7);
  EXPECT_EQ(unit.lineLength, static_cast<int>(fs * 0.016 + 1.0));
  const int tick = TickSamples(fs);
  double low = 1e9, high = 0.0;
  for (int i = 0; i < 3000 * tick; ++i) {  // three seconds
    if (i % tick == 0) TickEnsemble(unit);
    ProcessEnsemble(unit, 0.0);
    if (i >= 10 * tick) {
      low = std::min({low, unit.delayA, unit.delayB});
      high = std::max({high, unit.delayA, unit.delayB});
    }
  }
  EXPECT_GE(low, 0.0139 * fs - 0.1);  // 613 samples at 44.1 kHz
  EXPECT_LT(high, unit.lineLength);
  EXPECT_GT(high - low, 0.001 * fs);  // it does sweep
}

INSTANTIATE_TEST_SUITE_P(SampleRates, EnsembleRateTest,
                         testing::Values(44100.0, 48000.0, 88200.0, 96000.0));

}  // namespace
