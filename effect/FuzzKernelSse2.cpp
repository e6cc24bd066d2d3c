// The skewed schedule in baseline SSE2: two sections per vector. Every x86 processor the plug-in
// runs on has it, so this build needs no flag beyond the project's own.
#include <emmintrin.h>

#include "effect/FuzzKernelSchedule.h"

namespace {

struct OpsSse2
{
  using V = __m128d;
  using M = __m128d;
  static constexpr int kWidth = 2;
  static constexpr int kHalves = 1;

  static V LoadU(const double* p) { return _mm_loadu_pd(p); }
  static void StoreU(double* p, V v) { _mm_storeu_pd(p, v); }
  static V Set1(double x) { return _mm_set1_pd(x); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Sub(V a, V b) { return _mm_sub_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  // {prev[1], cur[0]}
  static V ShiftIn(V prev, V cur) { return _mm_shuffle_pd(prev, cur, 1); }
  template <int I>
  static double Get(V v)
  {
    static_assert(I >= 0 && I < 2, "lane");
    if (I == 0)
      return _mm_cvtsd_f64(v);
    return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
  }
  template <int I>
  static __m128d Pair(V a, V b)
  {
    static_assert(I >= 0 && I < 2, "lane");
    return I == 0 ? _mm_unpacklo_pd(a, b) : _mm_unpackhi_pd(a, b);
  }
  template <int I>
  static V Put(V v, double x)
  {
    static_assert(I >= 0 && I < 2, "lane");
    if (I == 0)
      return _mm_move_sd(v, _mm_set_sd(x));
    return _mm_unpacklo_pd(v, _mm_set_sd(x));
  }
  static M Active(V d, V n) { return _mm_and_pd(_mm_cmpge_pd(d, _mm_setzero_pd()), _mm_cmplt_pd(d, n)); }
  static M NotAbove(V a, V b) { return _mm_cmple_pd(a, b); }
  static M Below(V a, V b) { return _mm_cmplt_pd(a, b); }
  static V Select(M m, V a, V b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
};

}  // namespace

void RunFuzzScheduleSse2(const FuzzKernelJob& job)
{
  if (job.cabinetOn)
    SkewedChain<OpsSse2, 21, 1, 3, 1>::Run(job);
  else
    SkewedChain<OpsSse2, 12, 1, 3, 1>::Run(job);
}
