// The band loop with both channels of a band in one SSE2 vector, the baseline
// of every processor we build for.

#include "engine/BandLanesKernel.h"
#include "engine/LanesSse2.h"

void RunBandSse2(const BandUnit& band, const BandPiece& piece, AccentRelay& accent) noexcept {
  const BandUnit* const bands[1] = {&band};
  RunBands<Sse2Lanes>(bands, piece, accent);
}
