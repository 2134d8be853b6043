#pragma once

// The voices in vector lanes, written once for any lane width; included only
// by the translation units of the vector paths (see BandLanesKernel.h on
// linkage). Each lane repeats RenderVoice's operations for one voice, or for
// one sample of a settled voice; every output sample sums the voices in the
// same order as RenderVoice does.

#include <cstdint>

#include "engine/Voice.h"

namespace {

// Several vectors of voices side by side hide the latency of each voice's
// envelope chain.
constexpr int kVoiceVectors = 4;

template <class S>
using VoiceVec = typename S::V;

template <class S>
constexpr int VoicesPerGroup() {
  return kVoiceVectors * S::kLanes;
}

template <class S>
VoiceVec<S> VoiceLanes(Voice* const* voices, int n, int first, double Voice::*field) {
  return S::Make([&](int l) { return first + l < n ? voices[first + l]->*field : 0.0; });
}

// Renders up to kVectors * S::kLanes sounding voices, adding to out.
template <class S, int kVectors>
void RenderVoiceGroup(Voice* const* voices, int n, double* out, int count) {
  using V = VoiceVec<S>;
  constexpr int kLanes = S::kLanes;
  constexpr int kVoices = kVectors * kLanes;
  constexpr uint32_t kPhaseMask = (1u << kVoicePhaseBits) - 1u;
  const double* table[kVoices];
  uint32_t increment[kVoices], phase[kVoices];
  for (int k = 0; k < kVoices; ++k) {
    // Lanes without a voice read a real table at a standing phase and carry
    // nothing; their samples are never added.
    const Voice& voice = *voices[k < n ? k : 0];
    table[k] = voice.table;
    increment[k] = k < n ? static_cast<uint32_t>(voice.increment) : 0u;
    phase[k] = voice.phase & kPhaseMask;
  }
  V level[kVectors], target[kVectors], coefficient[kVectors], amplitude[kVectors];
  for (int g = 0; g < kVectors; ++g) {
    level[g] = VoiceLanes<S>(voices, n, g * kLanes, &Voice::level);
    target[g] = VoiceLanes<S>(voices, n, g * kLanes, &Voice::target);
    coefficient[g] = VoiceLanes<S>(voices, n, g * kLanes, &Voice::coefficient);
    amplitude[g] = VoiceLanes<S>(voices, n, g * kLanes, &Voice::amplitude);
  }
  const V zero = S::Set1(0.0);
  const V one = S::Set1(1.0);
  // The next sample of every voice of vector g.
  auto step = [&](int g) {
    const V w = S::Make([&](int l) { return table[g * kLanes + l][phase[g * kLanes + l] >> 16]; });
#pragma GCC unroll 4
    for (int l = 0; l < kLanes; ++l) {
      const int k = g * kLanes + l;
      phase[k] = (phase[k] + increment[k]) & kPhaseMask;
    }
    V x = S::Add(S::Mul(S::Sub(target[g], level[g]), coefficient[g]), level[g]);
    // As ClampLevel: below 0 gives +0, above 1 gives 1; NaN and -0 stay.
    x = S::Min(one, S::Max(zero, x));
    level[g] = x;
    return S::Mul(S::Mul(x, amplitude[g]), w);
  };

  // kLanes samples at a time: each vector's samples, turned from one vector
  // per sample into one per voice, are added voice after voice, as
  // RenderVoice adds them.
  int i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    V sum = S::Load(out + i);
#pragma GCC unroll 4
    for (int g = 0; g < kVectors; ++g) {
      V block[kLanes];
#pragma GCC unroll 4
      for (int t = 0; t < kLanes; ++t) block[t] = step(g);
      S::Transpose(block);
#pragma GCC unroll 4
      for (int l = 0; l < kLanes; ++l) {
        if (g * kLanes + l < n) sum = S::Add(sum, block[l]);
      }
    }
    S::Store(out + i, sum);
  }
  for (; i < count; ++i) {
    for (int g = 0; g < kVectors; ++g) {
      S::Split(step(g), [&](int l, double value) {
        if (g * kLanes + l < n) out[i] += value;
      });
    }
  }

  for (int g = 0; g < kVectors; ++g) {
    S::Split(level[g], [&](int l, double value) {
      const int k = g * kLanes + l;
      if (k >= n) return;
      voices[k]->phase = phase[k];
      voices[k]->level = value;
      voices[k]->active = value > 0.0;
    });
  }
}

// A group in as few vectors as its voices need.
template <class S>
void RenderVoiceGroup(Voice* const* voices, int n, double* out, int count) {
  static_assert(kVoiceVectors == 4, "one case for every vector count");
  switch ((n + S::kLanes - 1) / S::kLanes) {
    case 1:
      RenderVoiceGroup<S, 1>(voices, n, out, count);
      break;
    case 2:
      RenderVoiceGroup<S, 2>(voices, n, out, count);
      break;
    case 3:
      RenderVoiceGroup<S, 3>(voices, n, out, count);
      break;
    default:
      RenderVoiceGroup<S, 4>(voices, n, out, count);
      break;
  }
}

// A held voice whose envelope has reached 1 stays there: each step gives
// (10/9 - 1) * coefficient + 1, at least 1 for any coefficient from 0 to
// +inf, which the clamp makes 1 again. Its samples are then its amplitude
// times its table, and nothing ties one sample to the last but the phase.
inline bool EnvelopeSettled(const Voice& voice) {
  return voice.level == 1.0 && voice.target == kVoiceAttackTarget && voice.coefficient >= 0.0;
}

// Adds a settled voice to out, a vector of samples at a time. Voices added
// one after another over the piece sum every sample in their order, as
// RenderVoice does.
template <class S>
void RenderSettledVoice(Voice& voice, double* out, int count) {
  using V = VoiceVec<S>;
  constexpr int kLanes = S::kLanes;
  // The phase kept four bits up: the 32-bit sum then wraps as the 28-bit
  // accumulator does, with no mask.
  constexpr int kShift = 32 - kVoicePhaseBits;
  const double* table = voice.table;
  const uint32_t step = static_cast<uint32_t>(voice.increment) << kShift;
  const double amplitude = 1.0 * voice.amplitude;  // level times amplitude
  const V amplitudes = S::Set1(amplitude);
  auto sample = [table](uint32_t p) { return table[p >> (16 + kShift)]; };
  uint32_t phase = voice.phase << kShift;
  int i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    const uint32_t p = phase;
    const V w = S::Make([&](int l) { return sample(p + static_cast<uint32_t>(l) * step); });
    phase = p + kLanes * step;
    S::Store(out + i, S::Add(S::Load(out + i), S::Mul(amplitudes, w)));
  }
  for (; i < count; ++i) {
    out[i] += amplitude * sample(phase);
    phase += step;
  }
  voice.phase = phase >> kShift;
}

// RenderVoices with the sounding voices in groups of lanes. A settled voice
// is added on its own once the group gathered before it has been, so the
// voices are always added in their order.
template <class S>
void RenderVoiceLanes(Voice* voices, int numVoices, double* out, int count) {
  Voice* waiting[VoicesPerGroup<S>()];
  int n = 0;
  for (int v = 0; v < numVoices; ++v) {
    Voice& voice = voices[v];
    if (!voice.active || voice.table == nullptr) continue;
    if (EnvelopeSettled(voice)) {
      if (n > 0) RenderVoiceGroup<S>(waiting, n, out, count);
      n = 0;
      RenderSettledVoice<S>(voice, out, count);
      continue;
    }
    waiting[n++] = &voice;
    if (n == VoicesPerGroup<S>()) {
      RenderVoiceGroup<S>(waiting, n, out, count);
      n = 0;
    }
  }
  if (n > 0) RenderVoiceGroup<S>(waiting, n, out, count);
}

}  // namespace
