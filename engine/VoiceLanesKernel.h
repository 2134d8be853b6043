#pragma once

// The voices in vector lanes, written once for any lane width; included only
// by the translation units of the vector paths (see BandLanesKernel.h on
// linkage). Each lane repeats RenderVoice's operations for one voice; every
// output sample sums the voices in the same order as RenderVoice does.

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

// Renders up to VoicesPerGroup<S>() sounding voices, adding to out.
template <class S>
void RenderVoiceGroup(Voice* const* voices, int n, double* out, int count) {
  using V = VoiceVec<S>;
  constexpr int kLanes = S::kLanes;
  constexpr int kVoices = VoicesPerGroup<S>();
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
  V level[kVoiceVectors], target[kVoiceVectors], coefficient[kVoiceVectors],
      amplitude[kVoiceVectors];
  for (int g = 0; g < kVoiceVectors; ++g) {
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
    for (int g = 0; g < kVoiceVectors; ++g) {
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
    for (int g = 0; g < kVoiceVectors; ++g) {
      S::Split(step(g), [&](int l, double value) {
        if (g * kLanes + l < n) out[i] += value;
      });
    }
  }

  for (int g = 0; g < kVoiceVectors; ++g) {
    S::Split(level[g], [&](int l, double value) {
      const int k = g * kLanes + l;
      if (k >= n) return;
      voices[k]->phase = phase[k];
      voices[k]->level = value;
      voices[k]->active = value > 0.0;
    });
  }
}

// RenderVoices with the sounding voices in groups of lanes.
template <class S>
void RenderVoiceLanes(Voice* voices, int numVoices, double* out, int count) {
  Voice* sounding[VoicesPerGroup<S>()];
  int waiting = 0;
  for (int v = 0; v < numVoices; ++v) {
    if (!voices[v].active || voices[v].table == nullptr) continue;
    sounding[waiting++] = &voices[v];
    if (waiting == VoicesPerGroup<S>()) {
      RenderVoiceGroup<S>(sounding, waiting, out, count);
      waiting = 0;
    }
  }
  if (waiting > 0) RenderVoiceGroup<S>(sounding, waiting, out, count);
}

}  // namespace
