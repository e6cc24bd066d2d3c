#pragma once
// The clipper and the cross-fade of the effect's chain, two samples at a time, for the skewed
// schedules (FuzzKernelSchedule.h). SSE2 only, so every level's kernel shares this code (compiled
// with VEX encoding where the level has it); the exactness tests hold it against a straightforward
// clipper where the two could part: signed zeros, the knee and clamp limits, infinities and NaN.

#include <emmintrin.h>

namespace {

// The clipper with the knee scale 0.3, evaluated exactly as the plain loop does, but without a
// branch: on a driven guitar signal the branches of the clipper would be mispredicted often, and
// every miss throws away the overlapped work of all the other sections. Both halves of the knee
// are computed and a comparison selects, with the plain loop's operations on the selected values.
// Two samples at once (one per lane of the SSE2 vector). It runs once per pair of steps of the
// schedule, in line with all the sections, so every operation saved here shows.
inline __m128d ScheduleClip2(__m128d u, __m128d d)
{
  const __m128d a = _mm_mul_pd(u, d);
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d mag = _mm_andnot_pd(sign, a);  // |a| (the sign of a zero is moot)
  // |a| < 0.2: ((1 - |a| / 0.4) · a) · 0.3 · 10.
  __m128d soft = _mm_sub_pd(_mm_set1_pd(1.0), _mm_div_pd(mag, _mm_set1_pd(0.4)));
  soft = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(soft, a), _mm_set1_pd(0.3)), _mm_set1_pd(10.0));
  // Else (a >= 0 ? 0.1 : -0.1) · 0.3 · 10: (0.1 · 0.3) · 10 with the sign of a, which is never a
  // zero here. A NaN a takes this side too, with either sign; the NaN of the sum below wins.
  const __m128d hard = _mm_or_pd(_mm_and_pd(sign, a), _mm_set1_pd((0.1 * 0.3) * 10));
  const __m128d knee = _mm_cmplt_pd(mag, _mm_set1_pd(0.2));
  const __m128d f = _mm_or_pd(_mm_and_pd(knee, soft), _mm_andnot_pd(knee, hard));
  // clamp(a, -0.5, 0) + clamp(f, 0, 0.5), clamp(v, lo, hi) = v > hi ? hi : (v < lo ? lo : v).
  // max(x, y) is x > y ? x : y and min(x, y) is x < y ? x : y, NaN and signed zeros included, so
  // v < lo ? lo : v is max(lo, v) = w; and w > hi exactly when v > hi, so the rest is min(hi, w).
  const __m128d lo = _mm_min_pd(_mm_setzero_pd(), _mm_max_pd(_mm_set1_pd(-0.5), a));
  const __m128d hi = _mm_min_pd(_mm_set1_pd(0.5), _mm_max_pd(_mm_setzero_pd(), f));
  return _mm_add_pd(lo, hi);
}

// The cross-fade of section 1's outputs u with their clipped values: clean · (u · 5) + clipped · c.
inline __m128d ScheduleCrossFade2(__m128d u, double drive, double clean, double clipped)
{
  const __m128d c = ScheduleClip2(u, _mm_set1_pd(drive));
  return _mm_add_pd(_mm_mul_pd(_mm_set1_pd(clean), _mm_mul_pd(u, _mm_set1_pd(5.0))),
                    _mm_mul_pd(_mm_set1_pd(clipped), c));
}

}  // namespace
