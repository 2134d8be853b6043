#include "engine/BandLanes.h"

namespace {

// These also check that the operating system saves the registers.
bool ProcessorRunsAvx() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
}

bool ProcessorRunsAvx512() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512dq") != 0;
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
    case BandPath::kAvx512: {
      static const bool available =
          Avx512BandCodeBuilt() && ProcessorRunsAvx512() && BandPathAvailable(BandPath::kAvx);
      return available;
    }
  }
  return false;
}

void AddEnvelopes(double& sum, const double* envelopes, int lanes, int count) noexcept {
  for (int l = 0; l < lanes; ++l) {
    for (int i = 0; i < count; ++i) sum += envelopes[i * lanes + l];
  }
}

BandPath BestBandPath() noexcept {
  if (BandPathAvailable(BandPath::kAvx512)) return BandPath::kAvx512;
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
    case BandPath::kAvx512:
      return "avx512";
  }
  return "?";
}
