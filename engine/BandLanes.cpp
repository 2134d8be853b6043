#include "engine/BandLanes.h"

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
