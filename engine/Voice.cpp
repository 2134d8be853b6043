#include "engine/Voice.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>

#include "engine/Wavetables.h"
#include "instrument/ParameterIds.h"

namespace {

constexpr int kSemitoneCount = 136;  // notes 0..135 span pitches 0..17280
constexpr uint32_t kPhaseMask = (1u << kVoicePhaseBits) - 1u;

// Semitone frequencies: N rounded to 3 decimals upwards from note 0, M rounded
// to 10 decimals downwards from 8.176 Hz (negative pitches).
struct SemitoneTables {
  double up[kSemitoneCount];
  double down[kSemitoneCount];

  SemitoneTables() {
    for (int k = 0; k < kSemitoneCount; ++k) {
      up[k] = std::round(440.0 * std::pow(2.0, (k - 69) / 12.0) * 1000.0) / 1000.0;
      down[k] = std::round(8.176 / std::pow(2.0, k / 12.0) * 1e10) / 1e10;
    }
    // The four notes below the top of the MIDI range carry two decimals only.
    up[124] = 10548.08;
    up[125] = 11175.3;
    up[126] = 11839.82;
    up[127] = 12543.85;
  }
};

const SemitoneTables& Semitones() {
  static const SemitoneTables tables;
  return tables;
}

// Process-wide oscillator state, shared by every plug-in instance. The
// increment table is rewritten by whichever instance resets last, possibly
// while another instance renders, hence the relaxed atomics (plain loads and
// stores on the targets we build for).
std::atomic<int32_t> incrementTable[kMaxPitch + 1];
std::atomic<double> voiceSampleRate{0.0};
std::mutex incrementTableMutex;

void BuildIncrementTable(double sampleRate) {
  for (int p = 0; p <= kMaxPitch; ++p) {
    const double increment = pitchToFrequency(p) * 268435456.0 / sampleRate;
    // Only rates below about 2.5 kHz reach the limit; the phase wraps anyway.
    const int32_t value = increment >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(increment);
    incrementTable[p].store(value, std::memory_order_relaxed);
  }
}

// k is the number of table samples stepped per output sample; each table
// holds 1/sqrt(2) as many harmonics as the one before, so the highest stays
// below half the sample rate: the table is the number of times k must be
// scaled by 1/sqrt(2) to reach 1.
int ScalingsToOne(int step) {
  double k = static_cast<double>(step);
  int t = 0;
  while (k > 1.0) {
    k *= 0.7071067811865476;
    t += 1;
  }
  return t;
}

// That count only grows with the step (rounding keeps the order of products),
// so each table's first step answers it, and every step's table is kept: one
// load for every voice at every tick instead of a chain of multiplications.
struct WavetableSteps {
  static constexpr int32_t kLargestStep = INT32_MAX >> 16;
  uint8_t tableOfStep[kLargestStep + 1];

  WavetableSteps() {
    // first[t]: smallest step that reads table t; past the last, none does.
    int32_t first[kNumWavetables + 1];
    first[0] = 0;
    for (int t = 1; t < kNumWavetables; ++t) {
      int32_t low = first[t - 1], high = kLargestStep + 1;
      while (low < high) {
        const int32_t mid = low + (high - low) / 2;
        if (ScalingsToOne(mid) >= t) {
          high = mid;
        } else {
          low = mid + 1;
        }
      }
      first[t] = low;
    }
    first[kNumWavetables] = INT32_MAX;
    int t = 0;
    for (int32_t step = 0; step <= kLargestStep; ++step) {
      while (step >= first[t + 1]) ++t;
      tableOfStep[step] = static_cast<uint8_t>(t);
    }
  }
};

const WavetableSteps wavetableSteps;

}  // namespace

int WavetableForStep(int32_t step) noexcept {
  // Every int32_t increment >> 16 is at most the largest step.
  return step < 1 ? 0 : wavetableSteps.tableOfStep[step];
}

namespace {

void ClampLevel(double& level) {
  if (level < 0.0) {
    level = 0.0;
  } else if (level > 1.0) {
    level = 1.0;
  }
}

}  // namespace

double pitchToFrequency(int pitch) {
  if (pitch == 0) return 8.176;
  if (pitch >= kMaxPitch) return 19912.127;
  if (pitch <= -kMaxPitch) return 0.0033570162;
  const SemitoneTables& tables = Semitones();
  const double* table = pitch > 0 ? tables.up : tables.down;
  const int q = pitch > 0 ? pitch : -pitch;
  const int n = q / 128;
  const int r = q % 128;
  return table[n] + (table[n + 1] - table[n]) * r * 0.0078125;
}

void ResetVoice(Voice& voice, double sampleRate) {
  {
    std::lock_guard<std::mutex> guard(incrementTableMutex);
    if (sampleRate != voiceSampleRate.load(std::memory_order_relaxed)) {
      voiceSampleRate.store(sampleRate, std::memory_order_relaxed);
      BuildIncrementTable(sampleRate);
    }
  }
  voice.tuneOffset = 0;
  voice.octaveOffset = 0;
  voice.phase = 0;
  voice.increment = 0;
  voice.pitchIndex = -1;
}

void SetVoiceParameter(Voice& voice, int index, double value) {
  switch (index) {
    case kTune:
      // Clamped to the parameter's range so the conversion is always defined.
      voice.tuneOffset =
          static_cast<int32_t>(std::round(std::fmin(std::fmax(value, -100.0), 100.0)));
      break;
    case kVelocity:
      voice.velocitySensitivity = value;
      break;
    case kOctaveUp:
      voice.octaveOffset = value < 0.5 ? 0 : 1536;
      break;
    case kVibratoDepth:
      voice.vibratoDepth = value * 896.0;
      break;
    case kAttack:
      voice.attack = value;
      break;
    case kRelease:
      voice.release = value;
      break;
    default:
      break;
  }
}

double EnvelopeCoefficient(double value) noexcept {
  const double rate = voiceSampleRate.load(std::memory_order_relaxed);
  if (rate <= 0.0) return 0.0;
  return std::pow(10.0, 2.3 - 4.5 * value) * 2.302585092994046 / rate;
}

void UpdateVoicePitch(Voice& voice, double bend) noexcept {
  if (!voice.active) return;
  const double vibrato = voice.vibratoSource != nullptr ? voice.vibratoSource->value : 0.0;
  double s = std::floor(voice.pitch) + voice.octaveOffset + voice.tuneOffset +
             voice.vibratoDepth * vibrato + bend;
  // A runaway accent (e.g. from non-finite input) must not overflow the
  // integer conversion; anything this far out uses the table's ends anyway.
  if (!(s > -1e9)) {
    s = -1e9;
  } else if (s > 1e9) {
    s = 1e9;
  }
  const int32_t p = static_cast<int32_t>(s);
  if (p != voice.pitchIndex) {
    voice.pitchIndex = p;
    const int index = p < 0 ? 0 : (p > kMaxPitch ? kMaxPitch : p);
    voice.increment = incrementTable[index].load(std::memory_order_relaxed);
    voice.table = kWavetables[WavetableForStep(voice.increment >> 16)];
  }
  const double value = voice.gate ? voice.attack : voice.release;
  const double rate = voiceSampleRate.load(std::memory_order_relaxed);
  if (value != voice.tickEnvelopeValue || rate != voice.tickEnvelopeRate) {
    voice.tickCoefficient = EnvelopeCoefficient(value);
    voice.tickEnvelopeValue = value;
    voice.tickEnvelopeRate = rate;
  }
  voice.coefficient = voice.tickCoefficient;
}

void RenderVoice(Voice& voice, double* out, int count) noexcept {
  if (!voice.active || voice.table == nullptr) return;
  const double* table = voice.table;
  const uint32_t increment = static_cast<uint32_t>(voice.increment);
  const double target = voice.target;
  const double coefficient = voice.coefficient;
  const double amplitude = voice.amplitude;
  uint32_t phase = voice.phase & kPhaseMask;
  double level = voice.level;
  for (int i = 0; i < count; ++i) {
    const double w = table[phase >> 16];
    phase = (phase + increment) & kPhaseMask;
    level = (target - level) * coefficient + level;
    ClampLevel(level);
    out[i] += level * amplitude * w;
  }
  voice.phase = phase;
  voice.level = level;
  voice.active = level > 0.0;
}

namespace {

constexpr int kVoicesAtOnce = 4;

// RenderVoice for four voices side by side: four independent envelope chains
// per sample instead of one, each sample summed in the voices' order.
void RenderFourVoices(Voice* const voices[kVoicesAtOnce], double* out, int count) noexcept {
  const double* table[kVoicesAtOnce];
  uint32_t increment[kVoicesAtOnce], phase[kVoicesAtOnce];
  double target[kVoicesAtOnce], coefficient[kVoicesAtOnce], amplitude[kVoicesAtOnce];
  double level[kVoicesAtOnce];
  for (int k = 0; k < kVoicesAtOnce; ++k) {
    const Voice& voice = *voices[k];
    table[k] = voice.table;
    increment[k] = static_cast<uint32_t>(voice.increment);
    phase[k] = voice.phase & kPhaseMask;
    target[k] = voice.target;
    coefficient[k] = voice.coefficient;
    amplitude[k] = voice.amplitude;
    level[k] = voice.level;
  }
  for (int i = 0; i < count; ++i) {
    double sum = out[i];
#pragma GCC unroll 4
    for (int k = 0; k < kVoicesAtOnce; ++k) {
      const double w = table[k][phase[k] >> 16];
      phase[k] = (phase[k] + increment[k]) & kPhaseMask;
      level[k] = (target[k] - level[k]) * coefficient[k] + level[k];
      ClampLevel(level[k]);
      sum += level[k] * amplitude[k] * w;
    }
    out[i] = sum;
  }
  for (int k = 0; k < kVoicesAtOnce; ++k) {
    Voice& voice = *voices[k];
    voice.phase = phase[k];
    voice.level = level[k];
    voice.active = level[k] > 0.0;
  }
}

}  // namespace

void RenderVoices(Voice* voices, int numVoices, double* out, int count) noexcept {
  Voice* sounding[kVoicesAtOnce];
  int waiting = 0;
  for (int v = 0; v < numVoices; ++v) {
    if (!voices[v].active || voices[v].table == nullptr) continue;
    sounding[waiting++] = &voices[v];
    if (waiting == kVoicesAtOnce) {
      RenderFourVoices(sounding, out, count);
      waiting = 0;
    }
  }
  for (int k = 0; k < waiting; ++k) RenderVoice(*sounding[k], out, count);
}

const double* Wavetable(int index) noexcept {
  if (index < 0 || index >= kNumWavetables) return nullptr;
  return kWavetables[index];
}

int32_t PitchIncrement(int pitch) noexcept {
  const int index = pitch < 0 ? 0 : (pitch > kMaxPitch ? kMaxPitch : pitch);
  return incrementTable[index].load(std::memory_order_relaxed);
}

double VoiceSampleRate() noexcept { return voiceSampleRate.load(std::memory_order_relaxed); }
