#include "engine/BandLanes.h"

#include <cmath>

namespace {

bool ProcessorRunsAvx() noexcept {
  // Also checks that the operating system saves the AVX registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}

}  // namespace

bool BandPathAvailable(BandPath path) noexcept {
  switch (path) {
    case BandPath::kScalar:
    case BandPath::kSse2:
      return true;
    case BandPath::kAvx: {
      static const bool available = AvxBandCodeBuilt() && ProcessorRunsAvx();
      return available;
    }
  }
  return false;
}

bool PairsAreTame(const double* pairs, int count) noexcept {
  bool tame = true;
  for (int k = 0; k < 2 * count; ++k) tame &= std::fabs(pairs[k]) <= kTameLevel;
  return tame;
}

BandPath BestBandPath() noexcept {
  return BandPathAvailable(BandPath::kAvx) ? BandPath::kAvx : BandPath::kSse2;
}

const char* BandPathName(BandPath path) noexcept {
  switch (path) {
    case BandPath::kScalar:
      return "scalar";
    case BandPath::kSse2:
      return "sse2";
    case BandPath::kAvx:
      return "avx";
  }
  return "?";
}
