// The skewed schedule with AVX2: four sections per vector. Compiled with -mavx2 (never -mfma: the
// sections' products and sums must stay separate roundings), and run only on processors that
// report AVX2.
#include "effect/FuzzKernel.h"

#if defined(__x86_64__) && defined(__AVX2__)
#include <immintrin.h>

#include "effect/FuzzKernelSchedule.h"

namespace {

struct OpsAvx2
{
  using V = __m256d;
  using M = __m256d;
  static constexpr int kWidth = 4;
  static constexpr int kHalves = 1;

  static V LoadU(const double* p) { return _mm256_loadu_pd(p); }
  static void StoreU(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V Set1(double x) { return _mm256_set1_pd(x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  // {prev[3], cur[0], cur[1], cur[2]}
  static V ShiftIn(V prev, V cur)
  {
    const V mid = _mm256_permute2f128_pd(prev, cur, 0x21);  // prev[2], prev[3], cur[0], cur[1]
    return _mm256_shuffle_pd(mid, cur, 0x5);
  }
  template <int I>
  static double Get(V v)
  {
    static_assert(I >= 0 && I < 4, "lane");
    const __m128d half = I < 2 ? _mm256_castpd256_pd128(v) : _mm256_extractf128_pd(v, 1);
    if (I % 2 == 0)
      return _mm_cvtsd_f64(half);
    return _mm_cvtsd_f64(_mm_unpackhi_pd(half, half));
  }
  template <int I>
  static __m128d Pair(V a, V b)
  {
    static_assert(I >= 0 && I < 4, "lane");
    const __m128d ha = I < 2 ? _mm256_castpd256_pd128(a) : _mm256_extractf128_pd(a, 1);
    const __m128d hb = I < 2 ? _mm256_castpd256_pd128(b) : _mm256_extractf128_pd(b, 1);
    return I % 2 == 0 ? _mm_unpacklo_pd(ha, hb) : _mm_unpackhi_pd(ha, hb);
  }
  template <int I>
  static V Put(V v, double x)
  {
    static_assert(I >= 0 && I < 4, "lane");
    return _mm256_blend_pd(v, _mm256_set1_pd(x), 1 << I);
  }
  static M Active(V d, V n)
  {
    return _mm256_and_pd(_mm256_cmp_pd(d, _mm256_setzero_pd(), _CMP_GE_OQ),
                         _mm256_cmp_pd(d, n, _CMP_LT_OQ));
  }
  static M NotAbove(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
  static M Below(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static V Select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
};

// The same vectors seen as two 128-bit halves, each holding its own run of sections (see the lane
// map in FuzzKernelSchedule.h): the shift from one section to the next stays within a half.
struct OpsAvx2Halves : OpsAvx2
{
  static constexpr int kHalves = 2;
  // {prev[1], cur[0], prev[3], cur[2]}
  static V ShiftIn(V prev, V cur) { return _mm256_shuffle_pd(prev, cur, 0x5); }
  // lo[0], lo[1], hi[0], hi[1]
  static V LoadHalves(const double* lo, const double* hi)
  {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(lo)), _mm_loadu_pd(hi), 1);
  }
  static void StoreHalves(double* lo, double* hi, V v)
  {
    _mm_storeu_pd(lo, _mm256_castpd256_pd128(v));
    _mm_storeu_pd(hi, _mm256_extractf128_pd(v, 1));
  }
};

}  // namespace

void RunFuzzScheduleAvx2(const FuzzKernelJob& job)
{
  if (job.cabinetOn)
    SkewedChain<OpsAvx2Halves, 21, 1, 3, 3>::Run(job);
  else
    SkewedChain<OpsAvx2, 12, 1, 3, 1>::Run(job);
}
#endif
