#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/BandLanes.h"
#include "engine/Voice.h"
#include "engine/VoiceLanes.h"
#include "engine/Wavetables.h"
#include "instrument/ParameterIds.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Magnitude of the component at frequency f (Hz) of a Hann-windowed signal,
// scaled so that a sine of amplitude a measures a.
double ToneMagnitude(const std::vector<double>& signal, double f, double sampleRate) {
  const size_t n = signal.size();
  const double w = 2.0 * kPi * f / sampleRate;
  double re = 0.0, im = 0.0, windowSum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (n - 1));
    re += signal[i] * hann * std::cos(w * i);
    im += signal[i] * hann * std::sin(w * i);
    windowSum += hann;
  }
  return 2.0 * std::sqrt(re * re + im * im) / windowSum;
}

// Frequency of the strongest component between lo and hi (Hz): a coarse scan,
// then a ternary search on the main lobe.
double PeakFrequency(const std::vector<double>& signal, double lo, double hi, double sampleRate) {
  double best = lo, bestMagnitude = -1.0;
  for (double f = lo; f <= hi; f += 0.25) {
    const double m = ToneMagnitude(signal, f, sampleRate);
    if (m > bestMagnitude) {
      bestMagnitude = m;
      best = f;
    }
  }
  double a = best - 0.25, b = best + 0.25;
  while (b - a > 0.005) {
    const double m1 = a + (b - a) / 3.0, m2 = b - (b - a) / 3.0;
    if (ToneMagnitude(signal, m1, sampleRate) < ToneMagnitude(signal, m2, sampleRate)) {
      a = m1;
    } else {
      b = m2;
    }
  }
  return (a + b) / 2.0;
}

// In-place radix-2 FFT magnitude spectrum with a 4-term Blackman-Harris window.
std::vector<double> Spectrum(std::vector<double> x) {
  const size_t n = x.size();
  for (size_t i = 0; i < n; ++i) {
    const double t = 2.0 * kPi * i / n;
    x[i] *= 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
  }
  std::vector<double> re(x), im(n, 0.0);
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(re[i], re[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double a = -2.0 * kPi / len;
    for (size_t i = 0; i < n; i += len) {
      for (size_t k = 0; k < len / 2; ++k) {
        const double wr = std::cos(a * k), wi = std::sin(a * k);
        const size_t p = i + k, q = i + k + len / 2;
        const double tr = re[q] * wr - im[q] * wi, ti = re[q] * wi + im[q] * wr;
        re[q] = re[p] - tr;
        im[q] = im[p] - ti;
        re[p] += tr;
        im[p] += ti;
      }
    }
  }
  std::vector<double> magnitude(n / 2);
  for (size_t i = 0; i < n / 2; ++i) magnitude[i] = std::hypot(re[i], im[i]);
  return magnitude;
}

Voice StartedVoice(int note, double sampleRate) {
  Voice voice;
  ResetVoice(voice, sampleRate);
  voice.active = true;
  voice.gate = true;
  voice.note = note;
  voice.pitch = note * 128.0;
  voice.amplitude = 1.0;
  voice.target = kVoiceAttackTarget;
  return voice;
}

std::vector<double> Render(Voice& voice, int frames) {
  std::vector<double> out(static_cast<size_t>(frames), 0.0);
  for (int i = 0; i < frames; i += 44) {
    UpdateVoicePitch(voice, 0.0);
    RenderVoice(voice, out.data() + i, std::min(44, frames - i));
  }
  return out;
}

}  // namespace

TEST(PitchToFrequency, SemitoneTableValues) {
  EXPECT_EQ(pitchToFrequency(0), 8.176);
  EXPECT_EQ(pitchToFrequency(69 * 128), 440.0);
  EXPECT_EQ(pitchToFrequency(134 * 128), 18794.545);
  EXPECT_EQ(pitchToFrequency(17280), 19912.127);
  EXPECT_EQ(pitchToFrequency(100000), 19912.127);
  EXPECT_EQ(pitchToFrequency(-128), 7.7171163805);
  EXPECT_EQ(pitchToFrequency(-17280), 0.0033570162);
  EXPECT_EQ(pitchToFrequency(-100000), 0.0033570162);
  EXPECT_EQ(pitchToFrequency(124 * 128), 10548.08);
  EXPECT_EQ(pitchToFrequency(125 * 128), 11175.3);
  EXPECT_EQ(pitchToFrequency(126 * 128), 11839.82);
  EXPECT_EQ(pitchToFrequency(127 * 128), 12543.85);
}

TEST(PitchToFrequency, EverySemitoneIsEqualTemperedToThreeDecimals) {
  for (int k = 0; k <= 134; ++k) {
    const double f = pitchToFrequency(k * 128);
    const double exact = 440.0 * std::pow(2.0, (k - 69) / 12.0);
    const double tolerance = (k >= 124 && k <= 127) ? 0.005 : 0.0005;
    EXPECT_NEAR(f, exact, tolerance) << "note " << k;
    EXPECT_NEAR(f * 1000.0, std::round(f * 1000.0), 1e-6) << "note " << k;
    if (k > 0) {
      EXPECT_NEAR(pitchToFrequency(-k * 128), 8.176 / std::pow(2.0, k / 12.0), 5.1e-11) << k;
    }
  }
}

TEST(PitchToFrequency, InterpolatesLinearlyWithinASemitone) {
  // The top semitone of each table interpolates towards its last entry.
  EXPECT_EQ(pitchToFrequency(17279), 18794.545 + (19912.127 - 18794.545) * 127 * 0.0078125);
  EXPECT_EQ(pitchToFrequency(-17279),
            0.0035566347 + (0.0033570162 - 0.0035566347) * 127 * 0.0078125);
  EXPECT_DOUBLE_EQ(pitchToFrequency(69 * 128 + 64), 440.0 + (466.164 - 440.0) * 64 * 0.0078125);
  EXPECT_DOUBLE_EQ(pitchToFrequency(-64), 8.176 + (7.7171163805 - 8.176) * 0.5);
  for (int p = 1; p < 17280; p += 97) EXPECT_LT(pitchToFrequency(p - 1), pitchToFrequency(p));
}

TEST(Wavetables, HarmonicCountsHalveEveryTwoTables) {
  Voice voice;
  ResetVoice(voice, 44100.0);
  const int expected[kNumWavetables] = {2048, 1448, 1024, 724, 512, 362, 256, 181, 128, 91, 64,
                                        45,   32,   23,   16,  11,  8,   6,   4,   3,   2,  1};
  for (int t = 0; t < kNumWavetables; ++t) {
    const double* table = Wavetable(t);
    ASSERT_NE(table, nullptr);
    const int h = expected[t];
    // Exact DFT bins of one table period.
    auto bin = [&](int harmonic) {
      double im = 0.0;
      for (int k = 0; k < kWavetableSize; ++k)
        im += table[k] * std::sin(2.0 * kPi * harmonic * k / kWavetableSize);
      return 2.0 * im / kWavetableSize;
    };
    EXPECT_NEAR(bin(1), 0.5, 1e-9) << "table " << t;
    // Harmonic 2048 of table 0 sits on the table's own Nyquist and vanishes.
    const int top = h < 2048 ? h : 2047;
    EXPECT_GT(bin(top), 0.03 / top) << "table " << t;
    if (h < 2048) {
      EXPECT_NEAR(bin(h + 1), 0.0, 1e-9) << "table " << t;
    }
  }
}

TEST(IncrementTable, FollowsTheRateAndClampsAtTheEnds) {
  Voice voice;
  ResetVoice(voice, 44100.0);
  EXPECT_EQ(VoiceSampleRate(), 44100.0);
  EXPECT_EQ(PitchIncrement(69 * 128), static_cast<int32_t>(440.0 * 268435456.0 / 44100.0));
  EXPECT_EQ(PitchIncrement(20000), PitchIncrement(17280));
  EXPECT_EQ(PitchIncrement(-5), PitchIncrement(0));
  ResetVoice(voice, 96000.0);
  EXPECT_EQ(PitchIncrement(69 * 128), static_cast<int32_t>(440.0 * 268435456.0 / 96000.0));
  // Low rates would exceed the 32-bit range at the top pitches.
  ResetVoice(voice, 1000.0);
  EXPECT_EQ(PitchIncrement(17280), INT32_MAX);
  EXPECT_GT(PitchIncrement(0), 0);
}

TEST(Voice, SetVoiceParameterRows) {
  Voice voice;
  SetVoiceParameter(voice, kTune, 12.5);
  EXPECT_EQ(voice.tuneOffset, 13);
  SetVoiceParameter(voice, kTune, -12.5);
  EXPECT_EQ(voice.tuneOffset, -13);
  SetVoiceParameter(voice, kOctaveUp, 0.5);
  EXPECT_EQ(voice.octaveOffset, 1536);
  SetVoiceParameter(voice, kOctaveUp, 0.49);
  EXPECT_EQ(voice.octaveOffset, 0);
  SetVoiceParameter(voice, kVibratoDepth, 1.0);
  EXPECT_EQ(voice.vibratoDepth, 7.0 * 128.0);
  SetVoiceParameter(voice, kVelocity, 0.25);
  SetVoiceParameter(voice, kAttack, 0.5);
  SetVoiceParameter(voice, kRelease, 0.75);
  EXPECT_EQ(voice.velocitySensitivity, 0.25);
  EXPECT_EQ(voice.attack, 0.5);
  EXPECT_EQ(voice.release, 0.75);
}

TEST(Voice, EnvelopeTimeConstants) {
  Voice voice;
  ResetVoice(voice, 44100.0);
  // About 1/e of the way in 2.2 ms at 0, in about 69 s at 1.
  EXPECT_NEAR(1.0 / (EnvelopeCoefficient(0.0) * 44100.0), 0.00218, 0.00001);
  EXPECT_NEAR(1.0 / (EnvelopeCoefficient(1.0) * 44100.0), 68.9, 0.1);
}

TEST(Voice, AttackReachesFullLevelAndReleaseEndsTheVoice) {
  Voice voice = StartedVoice(60, 44100.0);
  Render(voice, 4410);
  EXPECT_EQ(voice.level, 1.0);
  EXPECT_TRUE(voice.active);
  voice.gate = false;
  voice.target = kVoiceReleaseTarget;
  Render(voice, 4410);
  EXPECT_EQ(voice.level, 0.0);
  EXPECT_FALSE(voice.active);
  // An idle voice adds nothing.
  std::vector<double> out = Render(voice, 100);
  for (double v : out) EXPECT_EQ(v, 0.0);
}

TEST(Voice, PitchTableChoiceUsesTheClampedIncrement) {
  Voice voice = StartedVoice(60, 44100.0);
  voice.pitch = 30000.0;
  UpdateVoicePitch(voice, 0.0);
  EXPECT_EQ(voice.increment, PitchIncrement(17280));
  EXPECT_EQ(voice.table, Wavetable(kNumWavetables - 1));
  voice.pitch = 0.0;
  UpdateVoicePitch(voice, -5000.0);
  EXPECT_EQ(voice.pitchIndex, -5000);
  EXPECT_EQ(voice.increment, PitchIncrement(0));
  EXPECT_EQ(voice.table, Wavetable(0));
  // A non-finite bend stays within the table instead of overflowing.
  UpdateVoicePitch(voice, std::nan(""));
  EXPECT_EQ(voice.increment, PitchIncrement(0));
  UpdateVoicePitch(voice, HUGE_VAL);
  EXPECT_EQ(voice.increment, PitchIncrement(17280));
}

class VoiceRate : public ::testing::TestWithParam<double> {};

TEST_P(VoiceRate, A440IsABandLimitedSawtoothAt440Hz) {
  const double rate = GetParam();
  Voice voice = StartedVoice(69, rate);
  std::vector<double> out = Render(voice, static_cast<int>(rate * 0.9));
  out.erase(out.begin(), out.begin() + static_cast<long>(rate / 10));  // past the attack
  const double f = PeakFrequency(out, 435.0, 445.0, rate);
  EXPECT_NEAR(f, 440.0, 0.5);
  // Sawtooth: the second harmonic is half the fundamental.
  EXPECT_NEAR(ToneMagnitude(out, 2 * f, rate) / ToneMagnitude(out, f, rate), 0.5, 0.01);

  // Nothing folds back from above Nyquist: away from the harmonics of 440 Hz
  // the spectrum stays far below the fundamental.
  std::vector<double> window(out.begin(), out.begin() + 32768);
  std::vector<double> spectrum = Spectrum(window);
  const double binHz = rate / 32768.0;
  const double fundamental = spectrum[static_cast<size_t>(440.0 / binHz + 0.5)];
  double worst = 0.0;
  for (size_t i = 1; i < spectrum.size(); ++i) {
    const double hz = i * binHz;
    const double harmonic = std::round(hz / 440.0);
    if (std::fabs(hz - harmonic * 440.0) < 8.0 * binHz) continue;
    worst = std::max(worst, spectrum[i]);
  }
  EXPECT_LT(20.0 * std::log10(worst / fundamental), -60.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, VoiceRate, ::testing::Values(44100.0, 48000.0, 96000.0));

// The table is found by compares against each table's first step; that must
// give what scaling the step down one multiplication at a time gives.
TEST(WavetableForStep, EqualsScalingTheStepDownToOne) {
  for (int32_t step = -1; step <= (INT32_MAX >> 16); ++step) {
    double k = step;
    int t = 0;
    while (k > 1.0) {
      k *= 0.7071067811865476;
      t += 1;
    }
    ASSERT_EQ(std::min(t, kNumWavetables - 1), WavetableForStep(step)) << step;
  }
}

// The voices rendered together, on every path, must sum exactly as one after
// another: the same samples, the same states, inactive voices skipped, groups
// filled or not, pieces longer than a group keeps aside, levels clamped at
// both ends, held voices at full level (alone, in runs and among others)
// beside voices at full level that are released or whose coefficient is NaN
// or infinite.
TEST(RenderVoices, EveryPathMatchesRenderingEachVoiceInTurn) {
  using Renderer = void (*)(Voice*, int, double*, int) noexcept;
  const std::pair<BandPath, Renderer> paths[] = {{BandPath::kScalar, RenderVoices},
                                                 {BandPath::kSse2, RenderVoicesSse2},
                                                 {BandPath::kAvx, RenderVoicesAvx}};
  for (const auto& [path, render] : paths) {
    if (!BandPathAvailable(path)) continue;
    for (int numVoices : {1, 4, 7, 13, 17, 40, 64}) {
      std::vector<Voice> together, inTurn;
      for (int v = 0; v < numVoices; ++v) {
        Voice voice = StartedVoice(20 + 3 * v, 44100.0);
        voice.active = v % 5 != 3;
        voice.amplitude = 0.3 + 0.1 * v;
        const bool held = (v / 4) % 2 == 0;  // runs of four at full level
        voice.level = held || v % 7 == 2 ? 1.0 : (v % 7 == 6 ? -0.0 : 0.1 * (v % 4));
        voice.target = !held && v % 3 == 0 ? kVoiceReleaseTarget : kVoiceAttackTarget;
        const double oddAttack = v % 13 == 5 ? std::nan("") : -1000.0;
        SetVoiceParameter(voice, kAttack, v % 13 == 5 || v % 13 == 8 ? oddAttack : 0.05 * (v % 9));
        SetVoiceParameter(voice, kRelease, 0.02 * (v % 6));
        SetVoiceParameter(voice, kVibratoDepth, 0.2);
        together.push_back(voice);
      }
      inTurn = together;
      std::vector<double> expected(600, 0.25), actual(600, 0.25);
      int start = 0;
      for (int piece : {60, 1, 33, 100, 7, 399}) {
        for (Voice& voice : inTurn) {
          UpdateVoicePitch(voice, 3.0);
          RenderVoice(voice, expected.data() + start, piece);
        }
        for (Voice& voice : together) UpdateVoicePitch(voice, 3.0);
        render(together.data(), numVoices, actual.data() + start, piece);
        start += piece;
      }
      EXPECT_EQ(0, std::memcmp(expected.data(), actual.data(), sizeof(double) * expected.size()))
          << BandPathName(path) << " " << numVoices;
      for (int v = 0; v < numVoices; ++v) {
        EXPECT_EQ(together[v].phase, inTurn[v].phase);
        EXPECT_EQ(0, std::memcmp(&together[v].level, &inTurn[v].level, sizeof(double)));
        EXPECT_EQ(together[v].active, inTurn[v].active);
      }
    }
  }
}

// The tables compiled in were computed by make-wavetables when the plug-in
// was built: they must be exactly what this platform's computation yields.
TEST(Wavetables, BuiltTablesEqualTheDirectComputation) {
  auto direct = std::make_unique<double[][kWavetableSize]>(kNumWavetables);
  ComputeWavetables(direct.get());
  for (int t = 0; t < kNumWavetables; ++t) {
    EXPECT_EQ(0, std::memcmp(direct[t], Wavetable(t), sizeof(double) * kWavetableSize))
        << "table " << t;
  }
}
