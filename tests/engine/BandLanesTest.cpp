#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/BandLanes.h"
#include "engine/Vocoder.h"
#include "tests/engine/VocoderRig.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<BandPath> VectorPaths() {
  std::vector<BandPath> paths{BandPath::kSse2};
  for (BandPath path : {BandPath::kAvx, BandPath::kAvx512}) {
    if (BandPathAvailable(path)) paths.push_back(path);
  }
  return paths;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SamePair(const BandPassPair& a, const BandPassPair& b) {
  return SameBits(a.x1First, b.x1First) && SameBits(a.x2First, b.x2First) &&
         SameBits(a.y1First, b.y1First) && SameBits(a.y2First, b.y2First) &&
         SameBits(a.x1Second, b.x1Second) && SameBits(a.x2Second, b.x2Second) &&
         SameBits(a.y1Second, b.y1Second) && SameBits(a.y2Second, b.y2Second) &&
         SameBits(a.offset, b.offset);
}

bool SameFilter(const Filter& a, const Filter& b) {
  return SameBits(a.x1, b.x1) && SameBits(a.x2, b.x2) && SameBits(a.y1, b.y1) &&
         SameBits(a.y2, b.y2) && SameBits(a.offset, b.offset);
}

// ---- Whole engines, scalar against each vector path ----

enum class Input { kLoud, kSilent, kBurst, kNonNumbers };

// Host input k at frame n: sines and a pseudo-random edge, shaped per kind.
double InputSample(Input kind, int k, long n, double rate) {
  if (kind == Input::kSilent) return 0.0;
  const double t = static_cast<double>(n) / rate;
  double x = 0.7 * std::sin(6.283185307179586 * (180.0 + 90.0 * k) * t) +
             0.25 * std::sin(6.283185307179586 * (2500.0 + 700.0 * k) * t);
  x += 0.05 * static_cast<double>(static_cast<int>((n * 2654435761u + k) % 1000u) - 500) / 500.0;
  if (kind == Input::kBurst) {
    const long period = static_cast<long>(rate) / 20;
    return n % period < period / 5 ? 3.0 * x : 0.0;
  }
  if (kind == Input::kNonNumbers) {
    static constexpr double kOdd[] = {kInf, -kInf, kNaN, 1e200, -1e200, 1.5e308, -1.5e308};
    if ((n + 11 * k) % 97 == 0) return kOdd[(n / 97 + k) % 7];
    if ((n / 500) % 7 == 3) return 1e200 * x;  // long stretches out of any sane range
  }
  return x;
}

struct Setting {
  const char* name;
  std::function<void(Vocoder&)> apply;
};

const std::vector<Setting>& Settings() {
  static const std::vector<Setting> settings{
      {"standard, noise, accent",
       [](Vocoder& v) {
         v.ApplyParameter(kInBalance, 0.3);
         v.ApplyParameter(kAccentBend, 0.6);
       }},
      {"all bands, ensemble, speed, bias, limit",
       [](Vocoder& v) {
         v.ApplyParameter(kVocoderMode, 1.0);
         v.ApplyParameter(kInBalance, 0.5);
         v.ApplyParameter(kEnsemble, 1.0);
         v.ApplyParameter(kAccentBend, 0.8);
         v.ApplyParameter(kSpeed, 0.8);
         v.ApplyParameter(kBias, 0.3);
         v.ApplyParameter(kLimit, 0.6);
       }},
      {"standard without noise",
       [](Vocoder& v) {
         v.ApplyParameter(kInBalance, 0.0);
         v.ApplyParameter(kMicLevel, 0.7);
       }},
      {"fixed bands, noise",
       [](Vocoder& v) {
         v.ApplyParameter(kInBalance, 0.4);
         for (int b : {1, 2, 5, 16, 17, 19}) v.ApplyParameter(kSynthesisFixed1 + b, 1.0);
       }},
      {"all bands, fixed and retuned bands, levels",
       [](Vocoder& v) {
         v.ApplyParameter(kVocoderMode, 1.0);
         v.ApplyParameter(kAccentBend, 0.5);
         v.ApplyParameter(kOutBalance, 0.2);
         for (int b : {0, 1, 9, 12}) v.ApplyParameter(kSynthesisFixed1 + b, 1.0);
         v.ApplyParameter(kAnalysisFreq1 + 3, 30000.0);  // above half of the lower rates
         v.ApplyParameter(kSynthesisFreq1 + 18, 90000.0);
         for (int b = 0; b < kNumBands; ++b)
           v.ApplyParameter(kSynthesisLevel1 + b, 0.2 + 0.1 * (b % 9));
       }},
  };
  return settings;
}

// Changes halfway through: restarted envelopes and bands switching between
// fixed and not, so that filters' offsets fall out of step with each other.
void Midway(Vocoder& v) {
  v.ApplyParameter(kSpeed, 0.2);
  v.ApplyParameter(kSynthesisFixed1 + 2, 0.0);
  v.ApplyParameter(kSynthesisFixed1 + 7, 1.0);
  v.ApplyParameter(kSynthesisLevel1 + 4, 2.5);
}

constexpr int kBlockSizes[] = {1, 64, 7, 1000, 2, 333, 480, 4096, 128, 4095};

// Renders the same material through a scalar engine and one on `path`;
// returns the first difference found, or an empty string.
std::string CompareWithScalar(BandPath path, const Setting& setting, Input input, double rate,
                              double seconds) {
  VocoderRig scalar(rate), vector(rate);
  scalar.vocoder.bandPath = BandPath::kScalar;
  vector.vocoder.bandPath = path;
  for (VocoderRig* rig : {&scalar, &vector}) {
    setting.apply(rig->vocoder);
    for (int note : {36, 48, 55, 60, 64, 67, 71, 79, 88}) rig->vocoder.NoteOn(note, 90);
  }
  const long total = static_cast<long>(seconds * rate);
  long done = 0;
  bool changed = false;
  for (int block = 0; done < total; ++block) {
    const int frames = kBlockSizes[block % std::size(kBlockSizes)];
    if (!changed && done >= total / 2) {
      Midway(scalar.vocoder);
      Midway(vector.vocoder);
      changed = true;
    }
    const uint32_t noise = Vocoder::NoiseState();
    for (VocoderRig* rig : {&scalar, &vector}) {
      Vocoder::SetNoiseState(noise);  // both engines hear the same noise
      rig->Prepare(frames);
      for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < frames; ++i) rig->in[k][i] = InputSample(input, k, done + i, rate);
      }
      rig->Process(frames);
    }
    for (int ch = 0; ch < 2; ++ch) {
      if (std::memcmp(scalar.out[ch].data(), vector.out[ch].data(), sizeof(double) * frames) != 0)
        return "output of channel " + std::to_string(ch) + " in block " + std::to_string(block);
    }
    if (!SameBits(scalar.vocoder.accentSum, vector.vocoder.accentSum))
      return "accent sum after block " + std::to_string(block);
    done += frames;
  }
  for (int ch = 0; ch < 2; ++ch) {
    for (int b = 0; b < kNumBands; ++b) {
      if (!SamePair(scalar.vocoder.analysisBands[ch][b], vector.vocoder.analysisBands[ch][b]) ||
          !SamePair(scalar.vocoder.synthesisBands[ch][b], vector.vocoder.synthesisBands[ch][b]) ||
          !SameFilter(scalar.vocoder.envelopeFilters[ch][b], vector.vocoder.envelopeFilters[ch][b]))
        return "filter state of band " + std::to_string(b) + " channel " + std::to_string(ch);
    }
  }
  return "";
}

}  // namespace

TEST(BandLanes, ScalarAndSse2AreAlwaysAvailableAndTheBestPathIsOne) {
  EXPECT_TRUE(BandPathAvailable(BandPath::kScalar));
  EXPECT_TRUE(BandPathAvailable(BandPath::kSse2));
  EXPECT_TRUE(BandPathAvailable(BestBandPath()));
  EXPECT_NE(BestBandPath(), BandPath::kScalar);
  if (BandPathAvailable(BandPath::kAvx512)) {
    EXPECT_EQ(BestBandPath(), BandPath::kAvx512);
    EXPECT_TRUE(BandPathAvailable(BandPath::kAvx));
  } else if (BandPathAvailable(BandPath::kAvx)) {
    EXPECT_EQ(BestBandPath(), BandPath::kAvx);
  }
  EXPECT_EQ(VocoderRig().vocoder.bandPath, BestBandPath());
}

TEST(BandLanes, EveryVectorPathRendersExactlyAsTheScalarBands) {
  const double rates[] = {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  const Input inputs[] = {Input::kLoud, Input::kSilent, Input::kBurst, Input::kNonNumbers};
  int run = 0;
  for (BandPath path : VectorPaths()) {
    for (const Setting& setting : Settings()) {
      for (Input input : inputs) {
        // Every setting and input meets several rates across the paths.
        const double rate = rates[run++ % std::size(rates)];
        const std::string difference = CompareWithScalar(path, setting, input, rate, 0.07);
        const std::string where = std::string(BandPathName(path)) + ", " + setting.name +
                                  ", input " + std::to_string(static_cast<int>(input)) + ", " +
                                  std::to_string(rate) + " Hz";
        EXPECT_EQ(difference, "") << where;
      }
    }
  }
}

// ---- One band's lanes fed what the engine never passes on ----

// Runs the synthesis filters of four fixed bands, made by makePair(lane),
// over the carrier on every vector path and compares them with
// BandPassPair::Step.
template <class MakePair>
void ExpectFixedLanesFollowScalar(const std::vector<double>& carrier, MakePair makePair) {
  constexpr int kBands = 4;
  const int count = static_cast<int>(carrier.size() / 2);
  const std::vector<double> modulator(carrier.size(), 0.0);
  for (BandPath path : VectorPaths()) {
    BandPassPair reference[2 * kBands], lanes[2 * kBands];
    for (int l = 0; l < 2 * kBands; ++l) reference[l] = lanes[l] = makePair(l);
    std::vector<double> expected(carrier.size(), 0.0), actual(carrier.size(), 0.0);
    std::vector<double> envelopes(2 * kBands * carrier.size());
    const BandPiece piece{modulator.data(), actual.data(), count, 1.0, 0.0, 10.0, true};
    AccentRelay accent{nullptr, 0, envelopes.data(), 0.0};
    const bool tame = PairsAreTame(carrier.data(), count);
    BandUnit units[kBands];
    const BandUnit* bands[kBands];
    for (int k = 0; k < kBands; ++k) {
      units[k] = {{}, {}, {&lanes[2 * k], &lanes[2 * k + 1]}, carrier.data(), true, tame};
      bands[k] = &units[k];
    }
    if (path == BandPath::kAvx512) {
      RunBandQuadAvx512(bands, piece, accent);
    } else if (path == BandPath::kAvx) {
      RunBandPairAvx(units[0], units[1], piece, accent);
      RunBandPairAvx(units[2], units[3], piece, accent);
    } else {
      for (const BandUnit& unit : units) RunBandSse2(unit, piece, accent);
    }
    for (int i = 0; i < count; ++i) {
      for (int ch = 0; ch < 2; ++ch) {
        for (int k = 0; k < kBands; ++k)
          expected[2 * i + ch] += reference[2 * k + ch].Step(carrier[2 * i + ch]);
      }
    }
    for (int i = 0; i < 2 * count; ++i)
      ASSERT_TRUE(SameBits(expected[i], actual[i])) << BandPathName(path) << " at " << i;
    for (int l = 0; l < 2 * kBands; ++l) EXPECT_TRUE(SamePair(reference[l], lanes[l])) << l;
  }
}

BandPassPair TunedPair(int lane) {
  BandPassPair pair;
  pair.sampleRate = 44100.0;
  pair.freq1 = 300.0 + 2000.0 * lane;
  pair.freq2 = pair.freq1 * 0.829;
  pair.gain = 1.0 + lane;
  pair.ComputeCoefficients();
  return pair;
}

// A fixed band runs its synthesis filters alone: their lanes must treat
// NaN, infinities and huge values exactly as BandPassPair::Step does.
TEST(BandLanes, FilterLanesFollowTheScalarNanAndClampRules) {
  const double odd[] = {0.5, kNaN, kInf, -kInf, 1e200, -1.5e308, 0.0, -0.0, 64.0, 65.0, 1e-300};
  std::vector<double> carrier(400);
  // Both channels meet every value, after varied neighbours.
  for (size_t i = 0; i < carrier.size(); ++i) carrier[i] = odd[(i + i / 23) % std::size(odd)];
  ExpectFixedLanesFollowScalar(carrier, [](int lane) {
    BandPassPair pair = TunedPair(lane);
    if (lane % 4 == 3) pair.gain = 0.0;  // a silent band meets infinities: inf * 0
    return pair;
  });
}

// Tame input alone does not make the short path safe: filters whose numbers
// can still produce NaN must keep the NaN rules.
TEST(BandLanes, TameInputThroughUnsafeFiltersFollowsTheScalarRules) {
  std::vector<double> carrier(400);
  for (size_t i = 0; i < carrier.size(); ++i) carrier[i] = 0.5 * std::sin(0.3 * i);
  ASSERT_TRUE(PairsAreTame(carrier.data(), 200));
  ExpectFixedLanesFollowScalar(carrier, [](int lane) {
    BandPassPair pair = TunedPair(lane);
    if (lane % 4 == 1) pair.gain = kNaN;
    if (lane % 4 == 2) pair.c1Second = kInf;
    return pair;
  });
}
