// The band loop with two bands (four channel lanes) in one AVX vector. Like
// VoiceLanesAvx.cpp, and unlike the rest, this file is compiled for AVX, and
// only x86-64 builds do so; it runs only after the processor check in
// BandLanes.cpp.

#include "engine/BandLanes.h"

#if defined(__AVX__)

#include "engine/BandLanesKernel.h"
#include "engine/LanesAvx.h"

bool AvxBandCodeBuilt() noexcept { return true; }

void RunBandPairAvx(const BandUnit& first, const BandUnit& second, const BandPiece& piece,
                    AccentRelay& accent) noexcept {
  const BandUnit* const bands[2] = {&first, &second};
  RunBands<AvxLanes>(bands, piece, accent);
}

#else

bool AvxBandCodeBuilt() noexcept { return false; }

// Never called: BandPathAvailable(BandPath::kAvx) is false in this build.
void RunBandPairAvx(const BandUnit&, const BandUnit&, const BandPiece&, AccentRelay&) noexcept {}

#endif
