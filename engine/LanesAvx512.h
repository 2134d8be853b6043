#pragma once

// The AVX-512 lane type of the band kernel: eight doubles in one 512-bit
// vector, four bands of two channels, with compares giving mask registers.
// Needs AVX-512F and DQ. Included only by files compiled for them, with
// internal linkage, as the other lane types.

#include <immintrin.h>

namespace {

struct Avx512Lanes {
  using V = __m512d;
  using M = __mmask8;
  static constexpr int kLanes = 8;
  static constexpr int kBands = 4;

  template <class Get>
  static V Make(Get lane) {
    return _mm512_set_pd(lane(7), lane(6), lane(5), lane(4), lane(3), lane(2), lane(1), lane(0));
  }
  template <class Put>
  static void Split(V v, Put lane) {
    for (int k = 0; k < 4; ++k) {
      const __m128d pair = Quarter(v, k);
      lane(2 * k, _mm_cvtsd_f64(pair));
      lane(2 * k + 1, _mm_cvtsd_f64(_mm_unpackhi_pd(pair, pair)));
    }
  }
  static void Store(double* p, V v) { _mm512_storeu_pd(p, v); }
  static V Set1(double x) { return _mm512_set1_pd(x); }
  static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
  static V Min(V a, V b) { return _mm512_min_pd(a, b); }
  static V Max(V a, V b) { return _mm512_max_pd(a, b); }
  static V Negate(V a) { return _mm512_xor_pd(a, _mm512_set1_pd(-0.0)); }
  static V Abs(V a) { return _mm512_andnot_pd(_mm512_set1_pd(-0.0), a); }
  static M Ordered(V a) { return _mm512_cmp_pd_mask(a, a, _CMP_ORD_Q); }
  static M Equal(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  static M Less(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OS); }
  static M Greater(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OS); }
  static M GreaterOrEqual(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OS); }
  // v limited to [-limit, limit] in one operation: of v and limit the one
  // of smaller magnitude, with v's sign. A NaN lane stays NaN.
  static V ClampMagnitude(V v, V limit) { return _mm512_range_pd(v, limit, 0x2); }
  // Not NaN (quiet 0x01, signalling 0x80) nor infinite (0x08, 0x10).
  static M Finite(V a) { return _knot_mask8(_mm512_fpclass_pd_mask(a, 0x99)); }
  static M Both(M a, M b) { return _kand_mask8(a, b); }
  static bool All(M mask) { return mask == 0xFF; }
  // a where the mask holds, +0 elsewhere.
  static V Keep(V a, M mask) { return _mm512_maskz_mov_pd(mask, a); }
  // mask ? a : b, lane by lane.
  static V Select(M mask, V a, V b) { return _mm512_mask_blend_pd(mask, b, a); }

  // Every band reads the same modulator pair.
  static V Modulator(const double* pairs, int i) {
    return _mm512_broadcast_f64x2(_mm_loadu_pd(pairs + 2 * i));
  }
  static V Carrier(const double* const pairs[kBands], int i) {
    const __m256d low = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(pairs[0] + 2 * i)),
                                             _mm_loadu_pd(pairs[1] + 2 * i), 1);
    const __m256d high = _mm256_insertf128_pd(
        _mm256_castpd128_pd256(_mm_loadu_pd(pairs[2] + 2 * i)), _mm_loadu_pd(pairs[3] + 2 * i), 1);
    return _mm512_insertf64x4(_mm512_castpd256_pd512(low), high, 1);
  }
  // The bands' outputs are added in band order, as in the scalar band loop.
  static void AddToPair(double* pair, V v) {
    __m128d sum = _mm_loadu_pd(pair);
    for (int k = 0; k < kBands; ++k) sum = _mm_add_pd(sum, Quarter(v, k));
    _mm_storeu_pd(pair, sum);
  }

 private:
  static __m128d Quarter(V v, int k) {
    switch (k) {
      case 0:
        return _mm512_extractf64x2_pd(v, 0);
      case 1:
        return _mm512_extractf64x2_pd(v, 1);
      case 2:
        return _mm512_extractf64x2_pd(v, 2);
      default:
        return _mm512_extractf64x2_pd(v, 3);
    }
  }
};

}  // namespace
