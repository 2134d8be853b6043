// The band loop with both channels of a band in one SSE2 vector, the baseline
// of every processor we build for.

#include "engine/BandLanesKernel.h"
#include "engine/LanesSse2.h"

void RunBandSse2(const BandUnit& band, const BandPiece& piece, AccentRelay& accent) noexcept {
  const BandUnit* const bands[1] = {&band};
  RunBands<Sse2Lanes>(bands, piece, accent);
}

bool PairsAreTame(const double* pairs, int count) noexcept {
  using S = Sse2Lanes;
  const S::V level = S::Set1(kTameLevel);
  S::V tame = S::Less(S::Set1(0.0), level);
  for (int i = 0; i < count; ++i)
    tame = S::Both(tame, S::Less(S::Abs(S::Load(pairs + 2 * i)), level));
  return S::All(tame);
}
