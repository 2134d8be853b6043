// The voices four to a 256-bit vector. Compiled for AVX on x86-64 only; runs
// only after the processor check.

#include "engine/VoiceLanes.h"

#if defined(__AVX__)

#include "engine/LanesAvx.h"
#include "engine/VoiceLanesKernel.h"

void RenderVoicesAvx(Voice* voices, int numVoices, double* out, int count) noexcept {
  RenderVoiceLanes<AvxLanes>(voices, numVoices, out, count);
}

#else

// Never called: BandPathAvailable(BandPath::kAvx) is false in this build.
void RenderVoicesAvx(Voice*, int, double*, int) noexcept {}

#endif
