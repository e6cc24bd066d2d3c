// The skewed schedule with AVX-512 (F and DQ): eight sections per vector, so the 21 sections fill
// three vectors. Compiled with -mavx512f -mavx512dq (never -mfma), and run only on processors that
// report both.
#include "effect/FuzzKernel.h"

#if defined(__x86_64__) && defined(__AVX512F__) && defined(__AVX512DQ__)
#include <immintrin.h>

#include "effect/FuzzKernelSchedule.h"

namespace {

struct OpsAvx512
{
  using V = __m512d;
  using M = __mmask8;
  static constexpr int kWidth = 8;
  static constexpr int kHalves = 1;

  static V LoadU(const double* p) { return _mm512_loadu_pd(p); }
  static void StoreU(double* p, V v) { _mm512_storeu_pd(p, v); }
  static V Set1(double x) { return _mm512_set1_pd(x); }
  static V Add(V a, V b) { return _mm512_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
  // {prev[7], cur[0] .. cur[6]}
  static V ShiftIn(V prev, V cur)
  {
    return _mm512_castsi512_pd(_mm512_maskz_alignr_epi64((__mmask8) 0xFF, _mm512_castpd_si512(cur),
                                                          _mm512_castpd_si512(prev), 7));
  }
  template <int I>
  static double Get(V v)
  {
    static_assert(I >= 0 && I < 8, "lane");
    return v[I];  // the compiler's own lane access
  }
  template <int I>
  static __m128d Pair(V a, V b)
  {
    static_assert(I >= 0 && I < 8, "lane");
    return _mm_set_pd(b[I], a[I]);  // the compiler's own lane access
  }
  template <int I>
  static V Put(V v, double x)
  {
    static_assert(I >= 0 && I < 8, "lane");
    return _mm512_mask_broadcastsd_pd(v, (__mmask8) (1u << I), _mm_set_sd(x));
  }
  static M Active(V d, V n)
  {
    return _mm512_cmp_pd_mask(d, _mm512_setzero_pd(), _CMP_GE_OQ)
           & _mm512_cmp_pd_mask(d, n, _CMP_LT_OQ);
  }
  static M NotAbove(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
  static M Below(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  static V Select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }
};

}  // namespace

void RunFuzzScheduleAvx512(const FuzzKernelJob& job)
{
  if (job.cabinetOn)
    SkewedChain<OpsAvx512, 21, 1, 3, 1>::Run(job);
  else
    SkewedChain<OpsAvx512, 12, 1, 3, 1>::Run(job);
}
#else
// A compiler that cannot build the schedule above with FMA kept off (clang lets -mno-fma switch
// AVX-512 off again): this level then runs the plain loop, which gives the same samples.
void RunFuzzScheduleAvx512(const FuzzKernelJob& job)
{
  RunFuzzPlain(job);
}
#endif
