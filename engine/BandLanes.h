#pragma once

#include "engine/BandPassPair.h"
#include "engine/Filter.h"

// The band loop in SIMD registers: the two channels of a band share one
// 128-bit vector (SSE2), two bands share one 256-bit vector (AVX), four bands
// one 512-bit vector (AVX-512). Every lane performs the scalar band code's
// operations in the same order, so the output is bit-identical to it.

enum class BandPath { kScalar, kSse2, kAvx, kAvx512 };

// The path also chooses how the voices are rendered (VoiceLanes.h).

// The fastest path this processor runs (AVX and AVX-512 only where the CPU
// and the OS support them).
BandPath BestBandPath() noexcept;
bool BandPathAvailable(BandPath path) noexcept;
const char* BandPathName(BandPath path) noexcept;

// One band, both channels: its filters and the interleaved (left, right)
// carrier it shapes. A fixed band passes the carrier through its synthesis
// filter alone.
struct BandUnit {
  BandPassPair* analysis[2];
  Lowpass* envelope[2];
  BandPassPair* synthesis[2];
  const double* carrierPairs;
  bool fixed;
  bool carrierTame;  // see PairsAreTame
};

// What every band of a piece shares. The pair buffers hold count (left,
// right) pairs.
struct BandPiece {
  const double* modulatorPairs;
  double* outputPairs;
  int count;
  double micLevel;
  double bias;
  double limit;
  bool modulatorTame;  // see PairsAreTame
};

// Input below this level (half the filters' state range) is tame: it is not
// NaN, and neither it nor a state holding it plus the offset reaches a clamp.
constexpr double kTameLevel = 0.5 * BandPassPair::kStateLimit;

// Whether every sample is tame. The kernels then leave out the rules that
// tame input cannot trigger.
bool PairsAreTame(const double* pairs, int count) noexcept;

// The accent sum runs through each band's envelopes in band, channel, sample
// order: one long chain of additions. Each call adds the previous band's
// envelopes while it computes its own, which it leaves sample after sample
// in `current` (one value per lane each) for the next call.
struct AccentRelay {
  const double* previous;
  int previousLanes;
  double* current;
  double sum;
};

// Adds envelopes left as in AccentRelay to sum, lane after lane.
void AddEnvelopes(double& sum, const double* envelopes, int lanes, int count) noexcept;

// Adds one band's output to piece.outputPairs.
void RunBandSse2(const BandUnit& band, const BandPiece& piece, AccentRelay& accent) noexcept;
// Adds two bands' outputs, first then second, to piece.outputPairs; both
// fixed or both not. Only where BandPathAvailable(BandPath::kAvx).
void RunBandPairAvx(const BandUnit& first, const BandUnit& second, const BandPiece& piece,
                    AccentRelay& accent) noexcept;
// Whether this build holds the AVX code at all (x86-64 builds only).
bool AvxBandCodeBuilt() noexcept;
// Adds four bands' outputs, in band order, to piece.outputPairs; all fixed
// or all not. Only where BandPathAvailable(BandPath::kAvx512).
void RunBandQuadAvx512(const BandUnit* const bands[4], const BandPiece& piece,
                       AccentRelay& accent) noexcept;
// Whether this build holds the AVX-512 code at all (x86-64 builds only).
bool Avx512BandCodeBuilt() noexcept;
