#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SignalMeasures.h"
#include "engine/Resampler.h"

namespace {

const double kPi = 3.141592653589793;

std::vector<double> Sine(double frequency, double rate, int frames) {
  std::vector<double> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) s[i] = 0.5 * std::sin(2 * kPi * frequency * i / rate);
  return s;
}

Resampler MakeResampler(double in, double out, int maxFeed) {
  Resampler r;
  r.Reserve(maxFeed, 1);
  r.Configure(true, 4, 0.693f, 0.707f);
  r.SetRates(in, out);
  return r;
}

// Streams mono input through the resampler in feeds of `piece` frames, then
// flushes the end with a short feed, and returns every output frame.
std::vector<double> Stream(Resampler& r, const std::vector<double>& input, int piece) {
  std::vector<double> output, out(static_cast<size_t>(piece) * 4 + 8);
  size_t next = 0;
  for (;;) {
    const int want = piece;
    double* dst = r.BeginFeed(want);
    const int take = static_cast<int>(std::min<size_t>(r.lastRequested, input.size() - next));
    for (int i = 0; i < take; ++i) dst[i] = input[next + i];
    next += take;
    const int got = r.Process(take, out.data(), static_cast<int>(out.size()));
    output.insert(output.end(), out.begin(), out.begin() + got);
    if (take < r.lastRequested || take < want) break;
  }
  return output;
}

double Rms(const std::vector<double>& s, size_t from) {
  double sum = 0;
  for (size_t i = from; i < s.size(); ++i) sum += s[i] * s[i];
  return std::sqrt(sum / static_cast<double>(s.size() - from));
}

}  // namespace

TEST(ResamplerTest, EqualRatesPassFramesThroughUnchanged) {
  Resampler r = MakeResampler(44100, 44100, 64);
  EXPECT_EQ(r.ratio, 1.0);
  const std::vector<double> input = Sine(1000, 44100, 500);
  const std::vector<double> output = Stream(r, input, 37);
  ASSERT_EQ(output.size(), input.size());
  for (size_t i = 0; i < input.size(); ++i) ASSERT_EQ(output[i], input[i]) << i;
}

TEST(ResamplerTest, ConvertsLengthAndKeepsPitch) {
  struct Case {
    double in, out;
  };
  for (const Case c :
       {Case{48000, 44100}, Case{44100, 48000}, Case{22050, 44100}, Case{96000, 44100}}) {
    SCOPED_TRACE(c.in);
    const int frames = static_cast<int>(c.in / 2);  // half a second
    Resampler r = MakeResampler(c.in, c.out, 512);
    const std::vector<double> output = Stream(r, Sine(1000, c.in, frames), 100);
    EXPECT_NEAR(static_cast<double>(output.size()), frames * c.out / c.in, 1.0);
    EXPECT_NEAR(ZeroCrossingFrequency(output, 100, output.size() - 100, c.out), 1000.0, 2.0);
    EXPECT_NEAR(Rms(output, 200), 0.5 / std::sqrt(2.0), 0.02);  // the tone passes the filters
  }
}

TEST(ResamplerTest, LowpassKeepsToneAboveTheNewNyquistOut) {
  // 20 kHz at 48 kHz down to 16 kHz would alias to 4 kHz without the stages.
  Resampler r = MakeResampler(48000, 16000, 512);
  const std::vector<double> output = Stream(r, Sine(20000, 48000, 24000), 300);
  EXPECT_LT(Rms(output, 200), 0.01);

  Resampler unfiltered = MakeResampler(48000, 16000, 512);
  unfiltered.Configure(true, 0, 0.693f, 0.707f);
  EXPECT_GT(Rms(Stream(unfiltered, Sine(20000, 48000, 24000), 300), 200), 0.1);
}

TEST(ResamplerTest, StereoChannelsStaySeparate) {
  Resampler r;
  r.Reserve(64, 2);
  r.Configure(true, 4, 0.693f, 0.707f);
  r.SetRates(48000, 44100);
  std::vector<double> out(256);
  int produced = 0;
  for (int piece = 0; piece < 20; ++piece) {
    double* dst = r.BeginFeed(40);
    for (int i = 0; i < r.lastRequested; ++i) {
      dst[2 * i] = 0.25;
      dst[2 * i + 1] = -0.5;
    }
    produced = r.Process(r.lastRequested, out.data(), 100);
  }
  ASSERT_GT(produced, 30);
  // Settled DC passes the lowpass with unit gain, each channel at its own level.
  EXPECT_NEAR(out[2 * (produced - 1)], 0.25, 1e-6);
  EXPECT_NEAR(out[2 * (produced - 1) + 1], -0.5, 1e-6);
}

TEST(ResamplerTest, FeedsAreClampedToTheReservedBuffer) {
  Resampler r = MakeResampler(48000, 44100, 10);
  r.BeginFeed(1000000);
  EXPECT_LE(r.lastRequested, r.FeedRoom());
  EXPECT_GT(r.lastRequested, 0);
  // Without a reservation nothing is accepted and nothing produced.
  Resampler empty;
  empty.BeginFeed(10);
  EXPECT_EQ(empty.lastRequested, 0);
  double out[4];
  EXPECT_EQ(empty.Process(10, out, 4), 0);
}

TEST(ResamplerTest, UnusableRatesAreLimitedToOneHertz) {
  Resampler r;
  r.SetRates(48000, 44100);
  r.SetRates(0, -5);
  EXPECT_EQ(r.inRate, 1.0);
  EXPECT_EQ(r.outRate, 1.0);
  EXPECT_EQ(r.ratio, 1.0);
}
