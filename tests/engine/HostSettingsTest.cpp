#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

// Settings real hosts use that once gave garbage: low sample rates, odd block
// sizes, and samples that are not numbers.

namespace {

constexpr double kTwoPi = 6.283185307179586;

// A voice-like modulator: a 700 Hz tone whose loudness swells and fades four
// times a second, at -6 dBFS at its loudest.
double Modulator(long frame, double rate) {
  const double t = static_cast<double>(frame) / rate;
  return 0.5 * std::sin(kTwoPi * 700.0 * t) * (0.5 + 0.5 * std::sin(kTwoPi * 4.0 * t));
}

// Renders `seconds` of a chord over the modulator in host blocks of `block`
// frames; returns the left output.
std::vector<double> Render(VocoderRig& rig, double rate, double seconds, int block) {
  Vocoder& v = rig.vocoder;
  for (int note : {48, 55, 60}) v.NoteOn(note, 100);
  const long total = static_cast<long>(rate * seconds);
  std::vector<double> left;
  left.reserve(static_cast<size_t>(total));
  rig.Prepare(block);
  for (long start = 0; start < total; start += block) {
    const int n = static_cast<int>(std::min<long>(block, total - start));
    for (int i = 0; i < n; ++i) rig.in[0][i] = rig.in[1][i] = Modulator(start + i, rate);
    rig.Process(n);
    left.insert(left.end(), rig.out[0].begin(), rig.out[0].begin() + n);
  }
  return left;
}

double Peak(const std::vector<double>& x) {
  double peak = 0.0;
  for (double v : x) peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : HUGE_VAL);
  return peak;
}

}  // namespace

// ---- Filters at or above half the rate ----

// At 8 kHz the top default bands lie above half the rate; they must fall
// silent instead of ringing at their state clamp. The chord peaks near -6 dBFS
// at ordinary rates.
TEST(LowSampleRates, DefaultBandsAboveHalfTheRateStaySilent) {
  for (double rate : {8000.0, 11025.0}) {
    VocoderRig rig(rate);
    rig.vocoder.ApplyParameter(kVocoderMode, 1.0);  // every band on the carrier
    EXPECT_LT(Peak(Render(rig, rate, 1.0, 256)), 1.0) << rate;
  }
}

TEST(LowSampleRates, BandTunedAboveHalfTheRateStaysSilent) {
  VocoderRig rig(22050.0);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kVocoderMode, 1.0);
  v.ApplyParameter(kAnalysisFreq1 + 19, 16000.0);
  v.ApplyParameter(kSynthesisFreq1 + 19, 16000.0);
  EXPECT_LT(Peak(Render(rig, 22050.0, 1.0, 512)), 1.0);
}

// The ensemble band-limits its input at 7 kHz, above half of these rates.
TEST(LowSampleRates, EnsembleOnSilentInputStaysSilent) {
  for (double rate : {8000.0, 11025.0, 12000.0}) {
    VocoderRig rig(rate);
    rig.vocoder.ApplyParameter(kEnsemble, 1.0);
    rig.Prepare(512);
    double peak = 0.0;
    for (int block = 0; block < 40; ++block) {
      rig.Process(512);
      peak = std::max({peak, Peak(rig.out[0]), Peak(rig.out[1])});
    }
    EXPECT_LT(peak, 1e-6) << rate;
  }
}

// At the lowest rate the engine runs, the fastest envelope followers lie above
// half the rate.
TEST(LowSampleRates, FastEnvelopesAtOneKilohertzStayBounded) {
  VocoderRig rig(1000.0);
  rig.vocoder.ApplyParameter(kSpeed, 1.0);
  EXPECT_LT(Peak(Render(rig, 1000.0, 2.0, 7)), 1.0);
}

// ---- Accent detector and the host's block size ----

// A tick that spans two host blocks must count all of its samples.
TEST(AccentDetector, SoundDoesNotDependOnTheBlockSize) {
  std::vector<double> renders[3];
  const int blocks[3] = {64, 1000, 7};
  for (int k = 0; k < 3; ++k) {
    VocoderRig rig(44100.0);
    rig.vocoder.ApplyParameter(kAccentBend, 0.8);
    renders[k] = Render(rig, 44100.0, 1.0, blocks[k]);
  }
  // Only the order of the accent sum's additions may differ.
  for (int k = 1; k < 3; ++k) {
    double largest = 0.0;
    for (size_t i = 0; i < renders[0].size(); ++i)
      largest = std::max(largest, std::fabs(renders[k][i] - renders[0][i]));
    EXPECT_LT(largest, 1e-6) << "block " << blocks[k];
  }
  EXPECT_GT(Peak(renders[0]), 0.01);
}

// ---- Samples that are not numbers ----

// NaN or infinite host samples on any input read as silence: the output is
// exactly what zeros in their place give, through bands, dry path and meter.
TEST(NonFiniteSamples, HostInputsReadThemAsZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (bool ensemble : {false, true}) {
    VocoderRig poisoned(44100.0), clean(44100.0);
    for (VocoderRig* rig : {&poisoned, &clean}) {
      Vocoder& v = rig->vocoder;
      v.ApplyParameter(kOutBalance, 0.5);  // half dry
      v.ApplyParameter(kEnsemble, ensemble ? 1.0 : 0.0);
      v.NoteOn(57, 100);
      rig->Prepare(300);
    }
    for (int block = 0; block < 20; ++block) {
      for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < 300; ++i) {
          const double x = 0.3 * std::sin(0.05 * (k + 1) * (block * 300 + i));
          const bool bad = (i + 31 * k) % 97 == 0;
          const double odd = i % 3 == 0 ? nan : (i % 3 == 1 ? inf : -inf);
          poisoned.in[k][i] = bad ? odd : x;
          clean.in[k][i] = bad ? 0.0 : x;
        }
      }
      poisoned.Process(300);
      clean.Process(300);
      for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < 300; ++i)
          ASSERT_EQ(poisoned.out[ch][i], clean.out[ch][i])
              << "ensemble " << ensemble << " block " << block << " sample " << i;
      }
      ASSERT_EQ(poisoned.vocoder.meterPeak, clean.vocoder.meterPeak);
    }
  }
}

// Finite input can overflow on its way through the gains; the host still
// receives only numbers.
TEST(NonFiniteSamples, OutputIsAlwaysANumber) {
  VocoderRig rig(44100.0);
  Vocoder& v = rig.vocoder;
  v.ApplyParameter(kOutBalance, 1.0);
  v.ApplyParameter(kFinalVolume, 1.0);
  v.ApplyParameter(kMicLevel, 2.0);
  rig.Prepare(100);
  for (auto& channel : rig.in) std::fill(channel.begin(), channel.end(), 1.7e308);
  rig.Process(100);
  for (const auto& channel : rig.out) {
    for (double x : channel) ASSERT_TRUE(std::isfinite(x)) << x;
  }
}
