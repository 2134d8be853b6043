#pragma once

// The SSE2 lane type of the vector kernels: two doubles in one 128-bit
// vector, the baseline of every processor we build for. Internal linkage, as
// the AVX one.

#include <emmintrin.h>

namespace {

struct Sse2Lanes {
  using V = __m128d;
  static constexpr int kLanes = 2;
  static constexpr int kBands = 1;

  template <class Get>
  static V Make(Get lane) {
    return _mm_set_pd(lane(1), lane(0));
  }
  template <class Put>
  static void Split(V v, Put lane) {
    lane(0, _mm_cvtsd_f64(v));
    lane(1, _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)));
  }
  // Rows of lanes become columns: rows[r][c] moves to rows[c][r].
  static void Transpose(V rows[2]) {
    const __m128d first = _mm_unpacklo_pd(rows[0], rows[1]);
    rows[1] = _mm_unpackhi_pd(rows[0], rows[1]);
    rows[0] = first;
  }
  static V Load(const double* p) { return _mm_loadu_pd(p); }
  static void Store(double* p, V v) { _mm_storeu_pd(p, v); }
  static V Set1(double x) { return _mm_set1_pd(x); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V Min(V a, V b) { return _mm_min_pd(a, b); }
  static V Max(V a, V b) { return _mm_max_pd(a, b); }
  // v limited to [-limit, limit]; a NaN lane becomes -limit.
  static V ClampMagnitude(V v, V limit) { return Min(Max(v, Negate(limit)), limit); }
  static V Finite(V a) { return Less(Abs(a), Set1(__builtin_inf())); }
  static V Both(V a, V b) { return _mm_and_pd(a, b); }
  static bool All(V mask) { return _mm_movemask_pd(mask) == 0x3; }
  // a where the mask holds, +0 elsewhere.
  static V Keep(V a, V mask) { return _mm_and_pd(a, mask); }
  static V Negate(V a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
  static V Abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
  static V Ordered(V a) { return _mm_cmpord_pd(a, a); }
  static V Equal(V a, V b) { return _mm_cmpeq_pd(a, b); }
  static V Less(V a, V b) { return _mm_cmplt_pd(a, b); }
  static V Greater(V a, V b) { return _mm_cmpgt_pd(a, b); }
  static V GreaterOrEqual(V a, V b) { return _mm_cmpge_pd(a, b); }
  // mask ? a : b, lane by lane.
  static V Select(V mask, V a, V b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
  }

  static V Modulator(const double* pairs, int i) { return Load(pairs + 2 * i); }
  static V Carrier(const double* const pairs[kBands], int i) { return Load(pairs[0] + 2 * i); }
  static void AddToPair(double* pair, V v) { Store(pair, Add(Load(pair), v)); }
};

}  // namespace
