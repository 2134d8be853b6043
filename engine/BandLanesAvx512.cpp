// The band loop with four bands (eight channel lanes) in one AVX-512 vector.
// Like BandLanesAvx.cpp, this file alone is compiled for its instruction set,
// only on x86-64, and runs only after the processor check in BandLanes.cpp.

#include "engine/BandLanes.h"

#if defined(__AVX512F__) && defined(__AVX512DQ__)

#include "engine/BandLanesKernel.h"
#include "engine/LanesAvx512.h"

bool Avx512BandCodeBuilt() noexcept { return true; }

void RunBandQuadAvx512(const BandUnit* const bands[4], const BandPiece& piece,
                       AccentRelay& accent) noexcept {
  RunBands<Avx512Lanes>(bands, piece, accent);
}

#else

bool Avx512BandCodeBuilt() noexcept { return false; }

// Never called: BandPathAvailable(BandPath::kAvx512) is false in this build.
void RunBandQuadAvx512(const BandUnit* const*, const BandPiece&, AccentRelay&) noexcept {}

#endif
