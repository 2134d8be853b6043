// The voices two to a 128-bit SSE2 vector.

#include "engine/LanesSse2.h"
#include "engine/VoiceLanes.h"
#include "engine/VoiceLanesKernel.h"

void RenderVoicesSse2(Voice* voices, int numVoices, double* out, int count) noexcept {
  RenderVoiceLanes<Sse2Lanes>(voices, numVoices, out, count);
}
