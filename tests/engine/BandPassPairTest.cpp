#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/BandPassPair.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

BandPassPair MakePair(double sampleRate, double freq1, double gain = 1.0) {
  BandPassPair pair;
  pair.sampleRate = sampleRate;
  pair.freq1 = freq1;
  pair.freq2 = freq1 * 0.829;
  pair.gain = gain;
  pair.ComputeCoefficients();
  return pair;
}

double SinePeak(BandPassPair pair, double frequency) {
  const double fs = pair.sampleRate;
  const int settle = static_cast<int>(fs / 2);
  const int measure = static_cast<int>(fs / frequency) * 4 + 4;
  double peak = 0.0;
  for (int i = 0; i < settle + measure; ++i) {
    const double y = pair.Step(0.1 * std::sin(kTwoPi * frequency * i / fs));
    if (i >= settle) peak = std::max(peak, std::fabs(y));
  }
  return peak;
}

void ExpectStatesInRange(const BandPassPair& p) {
  for (double s : {p.x1First, p.x2First, p.y1First, p.y2First, p.x1Second, p.x2Second, p.y1Second,
                   p.y2Second}) {
    ASSERT_GE(s, -64.0);
    ASSERT_LE(s, 64.0);
  }
}

TEST(BandPassPairTest, NewPairIsSilentWhateverItsInput) {
  BandPassPair pair;
  pair.gain = 1.0;
  pair.ComputeCoefficients();  // no rate yet: nothing to compute
  const double inf = std::numeric_limits<double>::infinity();
  for (double x : {1.0, -3.5, 1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(pair.Step(x), 0.0) << x;
  }
  ExpectStatesInRange(pair);
}

TEST(BandPassPairTest, NanInputActsAsSilence) {
  BandPassPair withNan = MakePair(44100.0, 800.0);
  BandPassPair withZero = withNan;
  for (int i = 0; i < 300; ++i) {
    const double x = (i % 37 == 5) ? 0.0 : std::sin(i * 0.11);
    const double odd = (i % 37 == 5) ? std::numeric_limits<double>::quiet_NaN() : x;
    ASSERT_EQ(withNan.Step(odd), withZero.Step(x)) << "sample " << i;
  }
}

TEST(BandPassPairTest, ExtremeInputStaysBoundedAndDecays) {
  BandPassPair pair = MakePair(44100.0, 3000.0);
  const double inf = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 1000; ++i) {
    pair.Step((i % 2 ? 1e12 : -1e12) * (i % 7));
    ExpectStatesInRange(pair);
  }
  pair.Step(inf);
  pair.Step(-inf);
  ExpectStatesInRange(pair);
  double y = 1.0;
  for (int i = 0; i < 44100; ++i) y = pair.Step(0.0);
  EXPECT_LT(std::fabs(y), 1e-6);

  BandPassPair silent = MakePair(44100.0, 1000.0, 0.0);  // zero gain times inf is no NaN
  EXPECT_EQ(silent.Step(inf), 0.0);
}

TEST(BandPassPairTest, GainScalesTheOutput) {
  BandPassPair unit = MakePair(48000.0, 1200.0, 1.0);
  BandPassPair half = MakePair(48000.0, 1200.0, 0.5);
  for (int i = 0; i < 200; ++i) {
    const double x = std::sin(i * 0.157);
    ASSERT_EQ(half.Step(x), unit.Step(x) * 0.5);
  }
}

// A band tuned at or above half the rate cannot carry anything; it must be
// silent rather than ring up to its state clamp.
TEST(BandPassPairTest, BandsAtOrAboveHalfTheRateAreSilent) {
  const struct {
    double sampleRate, freq1;
  } cases[] = {{22050.0, 16000.0},
               {8000.0, 9425.1},
               {8000.0, 4000.0},
               {11025.0, 6283.4},
               {8000.0, 4826.0}};  // the last: only its upper section is at half the rate
  for (const auto& c : cases) {
    BandPassPair pair = MakePair(c.sampleRate, c.freq1);
    double peak = 0.0;
    for (int i = 0; i < 20000; ++i) {
      const double x = 0.5 * std::sin(i * 0.37) + 0.25 * std::sin(i * 2.9);
      peak = std::max(peak, std::fabs(pair.Step(x)));
    }
    EXPECT_EQ(peak, 0.0) << c.freq1 << " Hz at " << c.sampleRate << " Hz";
  }
}

// Just below half the rate the pair still works as a band-pass.
TEST(BandPassPairTest, BandJustBelowHalfTheRateStillPasses) {
  const BandPassPair pair = MakePair(8000.0, 3900.0);
  EXPECT_GT(SinePeak(pair, 3200.0), 0.05);
  EXPECT_GT(SinePeak(pair, 3200.0), 100.0 * SinePeak(pair, 500.0));
}

struct BandCase {
  double sampleRate;
  double freq1;
};

class BandPassPairRateTest : public testing::TestWithParam<BandCase> {};

TEST_P(BandPassPairRateTest, PassesItsBandAndRejectsAnOctaveAbove) {
  const BandPassPair pair = MakePair(GetParam().sampleRate, GetParam().freq1);
  const double inBand = SinePeak(pair, GetParam().freq1 * 0.9);
  const double above = SinePeak(pair, GetParam().freq1 * 2.0);
  EXPECT_GT(inBand, above * 10.0);
  EXPECT_GT(inBand, 0.1);  // the two resonant sections have gain in their band
}

TEST_P(BandPassPairRateTest, DcDecaysToZero) {
  BandPassPair pair = MakePair(GetParam().sampleRate, GetParam().freq1);
  double y = 1.0;
  for (int i = 0; i < static_cast<int>(GetParam().sampleRate); ++i) y = pair.Step(1.0);
  EXPECT_NEAR(y, 0.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Bands, BandPassPairRateTest,
                         testing::Values(BandCase{44100.0, 160.0}, BandCase{44100.0, 2500.0},
                                         BandCase{48000.0, 700.0}, BandCase{96000.0, 8000.0},
                                         BandCase{22050.0, 5000.0}));

}  // namespace
