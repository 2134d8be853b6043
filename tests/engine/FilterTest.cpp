#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Filter.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

double SettleOnConstant(Filter& filter, double value, int samples) {
  double y = 0.0;
  for (int i = 0; i < samples; ++i) y = filter.Step(value);
  return y;
}

// Steady-state peak of the response to a unit sine.
double SinePeak(Filter& filter, double sampleRate, double frequency) {
  const int settle = static_cast<int>(sampleRate);  // one second
  const int measure = static_cast<int>(sampleRate / frequency) * 4 + 4;
  double peak = 0.0;
  for (int i = 0; i < settle + measure; ++i) {
    const double y = filter.Step(std::sin(kTwoPi * frequency * i / sampleRate));
    if (i >= settle) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

TEST(FilterTest, LowpassPassesDcAndHighpassBlocksIt) {
  Lowpass low;
  low.SetUp(1000.0, 10.0);
  EXPECT_NEAR(SettleOnConstant(low, 1.0, 5000), 1.0, 1e-9);

  Highpass high;
  high.SetUp(1000.0, 2.0);
  EXPECT_NEAR(SettleOnConstant(high, 1.0, 20000), 0.0, 1e-9);
}

TEST(FilterTest, SetUpClearsEarlierState) {
  Lowpass used, fresh;
  used.SetUp(44100.0, 300.0);
  SettleOnConstant(used, 5.0, 777);
  used.SetUp(48000.0, 1000.0);
  fresh.SetUp(48000.0, 1000.0);
  for (int i = 0; i < 100; ++i) {
    const double x = std::sin(i * 0.3);
    ASSERT_EQ(used.Step(x), fresh.Step(x)) << "sample " << i;
  }
}

TEST(FilterTest, RectifiedStepFeedsTheMagnitude) {
  Lowpass rectified, plain;
  rectified.SetUp(44100.0, 50.0);
  plain.SetUp(44100.0, 50.0);
  for (int i = 0; i < 500; ++i) {
    const double x = std::sin(i * 0.05) * 3.0;
    ASSERT_EQ(rectified.StepRectified(x), plain.Step(std::fabs(x))) << "sample " << i;
  }
  EXPECT_GT(rectified.y1, 0.5);  // a full-wave rectified sine has a mean of 2/pi * 3
}

TEST(FilterTest, StatesNeverTurnSubnormalInSilence) {
  Lowpass filter;
  filter.SetUp(44100.0, 20.0);
  filter.Step(1.0);
  for (int i = 0; i < 200000; ++i) {
    filter.Step(0.0);
    ASSERT_NE(std::fpclassify(filter.y1), FP_SUBNORMAL) << "sample " << i;
    ASSERT_NE(std::fpclassify(filter.y2), FP_SUBNORMAL) << "sample " << i;
  }
}

TEST(FilterTest, RecoversFromNonFiniteInput) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    Lowpass filter;
    filter.SetUp(1000.0, 10.0);
    SettleOnConstant(filter, 1.0, 100);
    EXPECT_EQ(filter.Step(bad), 0.0);
    EXPECT_NEAR(SettleOnConstant(filter, 1.0, 5000), 1.0, 1e-9);
  }
}

// The ensemble's 7 kHz input filter at rates below 14 kHz: a cut-off at or
// above half the rate passes what the rate can carry and stays stable.
TEST(FilterTest, LowpassAtOrAboveHalfTheRatePassesWhatItCan) {
  for (double fs : {8000.0, 11025.0, 12000.0, 14000.0}) {
    Lowpass low;
    low.SetUp(fs, 7000.0);
    EXPECT_NEAR(SettleOnConstant(low, 1.0, 2000), 1.0, 1e-9) << fs;
    low.SetUp(fs, 7000.0);
    EXPECT_GT(SinePeak(low, fs, 0.4 * fs), 0.95) << fs;
    low.SetUp(fs, 7000.0);
    double peak = 0.0;
    for (int i = 0; i < 50000; ++i) peak = std::max(peak, std::fabs(low.Step(i % 2 ? 1.0 : -1.0)));
    EXPECT_LT(peak, 2.0) << fs;
  }
}

TEST(FilterTest, HighpassAtOrAboveHalfTheRateStaysStable) {
  Highpass high;
  high.SetUp(8000.0, 5000.0);
  double peak = 0.0;
  for (int i = 0; i < 50000; ++i) peak = std::max(peak, std::fabs(high.Step(std::sin(i * 0.9))));
  EXPECT_LT(peak, 2.0);
}

class FilterRateTest : public testing::TestWithParam<double> {};

TEST_P(FilterRateTest, CutOffIsThreeDecibelsDown) {
  const double fs = GetParam();
  Lowpass low;
  low.SetUp(fs, 1000.0);
  EXPECT_NEAR(SinePeak(low, fs, 1000.0), std::sqrt(0.5), 0.01);
  Highpass high;
  high.SetUp(fs, 1000.0);
  EXPECT_NEAR(SinePeak(high, fs, 1000.0), std::sqrt(0.5), 0.01);
}

TEST_P(FilterRateTest, StopBandIsAttenuated) {
  const double fs = GetParam();
  Lowpass low;
  low.SetUp(fs, 200.0);
  EXPECT_LT(SinePeak(low, fs, 4000.0), 0.01);
  Highpass high;
  high.SetUp(fs, 4000.0);
  EXPECT_LT(SinePeak(high, fs, 200.0), 0.01);
}

INSTANTIATE_TEST_SUITE_P(SampleRates, FilterRateTest,
                         testing::Values(22050.0, 44100.0, 48000.0, 96000.0));

}  // namespace
