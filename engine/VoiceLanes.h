#pragma once

#include "engine/Voice.h"

// RenderVoices with the voices in vector lanes, bit-identical to it: each
// lane repeats RenderVoice's operations for one voice, and every output
// sample adds the voices in the same order. The AVX one only where
// BandPathAvailable(BandPath::kAvx).
void RenderVoicesSse2(Voice* voices, int numVoices, double* out, int count) noexcept;
void RenderVoicesAvx(Voice* voices, int numVoices, double* out, int count) noexcept;
