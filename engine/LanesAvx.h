#pragma once

// The AVX lane type of the vector kernels: four doubles in one 256-bit
// vector. Included only by files compiled for AVX, and with internal linkage,
// so no copy of it can stand in for code of another instruction set.

#include <immintrin.h>

namespace {

struct AvxLanes {
  using V = __m256d;
  static constexpr int kLanes = 4;
  static constexpr int kBands = 2;

  template <class Get>
  static V Make(Get lane) {
    return _mm256_set_pd(lane(3), lane(2), lane(1), lane(0));
  }
  template <class Put>
  static void Split(V v, Put lane) {
    const __m128d low = _mm256_castpd256_pd128(v);
    const __m128d high = _mm256_extractf128_pd(v, 1);
    lane(0, _mm_cvtsd_f64(low));
    lane(1, _mm_cvtsd_f64(_mm_unpackhi_pd(low, low)));
    lane(2, _mm_cvtsd_f64(high));
    lane(3, _mm_cvtsd_f64(_mm_unpackhi_pd(high, high)));
  }
  // Rows of lanes become columns: rows[r][c] moves to rows[c][r].
  static void Transpose(V rows[4]) {
    const __m256d t0 = _mm256_unpacklo_pd(rows[0], rows[1]);
    const __m256d t1 = _mm256_unpackhi_pd(rows[0], rows[1]);
    const __m256d t2 = _mm256_unpacklo_pd(rows[2], rows[3]);
    const __m256d t3 = _mm256_unpackhi_pd(rows[2], rows[3]);
    rows[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    rows[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    rows[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    rows[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
  }
  static V Load(const double* p) { return _mm256_loadu_pd(p); }
  static void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V Set1(double x) { return _mm256_set1_pd(x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V Min(V a, V b) { return _mm256_min_pd(a, b); }
  static V Max(V a, V b) { return _mm256_max_pd(a, b); }
  // v limited to [-limit, limit]; a NaN lane becomes -limit.
  static V ClampMagnitude(V v, V limit) { return Min(Max(v, Negate(limit)), limit); }
  static V Finite(V a) { return Less(Abs(a), Set1(__builtin_inf())); }
  static V Both(V a, V b) { return _mm256_and_pd(a, b); }
  static bool All(V mask) { return _mm256_movemask_pd(mask) == 0xF; }
  // a where the mask holds, +0 elsewhere.
  static V Keep(V a, V mask) { return _mm256_and_pd(a, mask); }
  static V Negate(V a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
  static V Abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
  static V Ordered(V a) { return _mm256_cmp_pd(a, a, _CMP_ORD_Q); }
  static V Equal(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static V Less(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OS); }
  static V Greater(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OS); }
  static V GreaterOrEqual(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GE_OS); }
  // mask ? a : b, lane by lane. Not blendv: GCC turns a blend of a compare
  // into a branch per lane.
  static V Select(V mask, V a, V b) {
    return _mm256_or_pd(_mm256_and_pd(mask, a), _mm256_andnot_pd(mask, b));
  }

  // Both bands read the same modulator pair.
  static V Modulator(const double* pairs, int i) {
    const __m128d pair = _mm_loadu_pd(pairs + 2 * i);
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(pair), pair, 1);
  }
  static V Carrier(const double* const pairs[kBands], int i) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(pairs[0] + 2 * i)),
                                _mm_loadu_pd(pairs[1] + 2 * i), 1);
  }
  // The first band's output is added before the second's, as in the scalar
  // band order.
  static void AddToPair(double* pair, V v) {
    const __m128d first = _mm_add_pd(_mm_loadu_pd(pair), _mm256_castpd256_pd128(v));
    _mm_storeu_pd(pair, _mm_add_pd(first, _mm256_extractf128_pd(v, 1)));
  }
};

}  // namespace
