#pragma once
// The skewed schedule of the effect's chain, written once over a small set of vector operations
// and compiled once per instruction-set level (FuzzKernelSse2.cpp, FuzzKernelAvx2.cpp,
// FuzzKernelAvx512.cpp, each with its own compiler flags). Include it from exactly those files:
// everything here has internal linkage, so no function compiled for one level can stand in for
// another level's copy at link time.
//
// Lanes are sections: lane k of the vectors holds section k's coefficients and state. At step t
// lane k works on sample t - Skew(k). Between neighbouring sections the skew grows by kStride
// steps; the hop from section 1 to section 2 (clipper and cross-fade) and the hop from section 11
// to section 12 (level gain) get a few extra steps, so that their scalar work is off the critical
// path. A section's output reaches the next lane by shifting the whole vector set by one lane;
// the values of the two special hops wait in small rings until their lane needs them.
//
// Each lane performs, per sample, exactly the plain loop's operations in its order:
//   y = ((b1·x1 + b0·x) + b2·x2) − a1·y1 − a2·y2, state shift, output y + 1e-20.
// Lanes outside their stretch of the block (while the schedule fills and drains) keep their state.

#include <emmintrin.h>

#include "effect/FuzzKernel.h"

namespace {

// The clipper with the knee scale 0.3, evaluated exactly as the plain loop does, but without a
// branch: on a driven guitar signal the branches of the clipper would be mispredicted often, and
// every miss throws away the overlapped work of all the other sections. Both halves of the knee
// are computed and the comparisons select, with the plain loop's comparisons and the same
// operations on the selected values.
// Two samples at once (one per lane of the SSE2 vector).
inline __m128d ScheduleClip2(__m128d u, __m128d d)
{
  const __m128d a = _mm_mul_pd(u, d);
  const __m128d zero = _mm_setzero_pd();
  const __m128d mag = _mm_andnot_pd(_mm_set1_pd(-0.0), a);  // |a| (the sign of a zero is moot)
  // |a| < 0.2: ((1 - |a| / 0.4) · a) · 0.3 · 10, else ±0.1 · 0.3 · 10.
  __m128d soft = _mm_sub_pd(_mm_set1_pd(1.0), _mm_div_pd(mag, _mm_set1_pd(0.4)));
  soft = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(soft, a), _mm_set1_pd(0.3)), _mm_set1_pd(10.0));
  const __m128d nonNegative = _mm_cmpge_pd(a, zero);
  const __m128d hard = _mm_or_pd(_mm_and_pd(nonNegative, _mm_set1_pd((0.1 * 0.3) * 10)),
                                 _mm_andnot_pd(nonNegative, _mm_set1_pd((-0.1 * 0.3) * 10)));
  const __m128d knee = _mm_cmplt_pd(mag, _mm_set1_pd(0.2));
  const __m128d f = _mm_or_pd(_mm_and_pd(knee, soft), _mm_andnot_pd(knee, hard));
  // clamp(a, -0.5, 0) + clamp(f, 0, 0.5), clamp(v, lo, hi) = v > hi ? hi : (v < lo ? lo : v).
  const __m128d aBelow = _mm_cmplt_pd(a, _mm_set1_pd(-0.5));
  __m128d lo = _mm_or_pd(_mm_and_pd(aBelow, _mm_set1_pd(-0.5)), _mm_andnot_pd(aBelow, a));
  lo = _mm_andnot_pd(_mm_cmpgt_pd(a, zero), lo);
  __m128d hi = _mm_andnot_pd(_mm_cmplt_pd(f, zero), f);
  const __m128d fAbove = _mm_cmpgt_pd(f, _mm_set1_pd(0.5));
  hi = _mm_or_pd(_mm_and_pd(fAbove, _mm_set1_pd(0.5)), _mm_andnot_pd(fAbove, hi));
  return _mm_add_pd(lo, hi);
}

// The cross-fade of section 1's outputs u with their clipped values: clean · (u · 5) + clipped · c.
inline __m128d ScheduleCrossFade2(__m128d u, double drive, double clean, double clipped)
{
  const __m128d c = ScheduleClip2(u, _mm_set1_pd(drive));
  return _mm_add_pd(_mm_mul_pd(_mm_set1_pd(clean), _mm_mul_pd(u, _mm_set1_pd(5.0))),
                    _mm_mul_pd(_mm_set1_pd(clipped), c));
}

// Ops: the vector type V (kWidth doubles), the mask type M and the operations
//   LoadU, StoreU, Set1, Add, Sub, Mul, ShiftIn(prev, cur) = {prev[W-1], cur[0 .. W-2]},
//   Get<I>(v), Pair<I>(a, b) = {a[I], b[I]}, Put<I>(v, x), Active(d, n) = (0 <= d < n) per lane,
//   Select(m, a, b) = m ? a : b.
// NS: sections run (21 with the cabinet, 12 without). Stride: skew between neighbouring
// sections. DC, DL: extra steps at the clipper hop and at the level hop.
template <class Ops, int NS, int Stride, int DC, int DL>
struct SkewedChain
{
  using V = typename Ops::V;
  using M = typename Ops::M;
  static constexpr int W = Ops::kWidth;
  static constexpr int NV = (NS + W - 1) / W;
  static constexpr int L = NV * W;
  static constexpr bool kCabinet = NS > 12;
  static_assert(NS == 12 || NS == 21, "the chain runs 12 or 21 sections");
  static constexpr int G = 2;  // steps per pair of the steady loop
  static_assert(Stride == 1, "the steady loop works in pairs of neighbouring steps");
  static_assert(Stride + DC < 8 && Stride + DL < 8, "rings hold 8 entries");
  static_assert((Stride + DC) % 2 == 0 && (Stride + DL) % 2 == 0,
                "a pair of steps writes two neighbouring ring entries");

  static constexpr int Skew(int k)
  {
    return k == 0 ? 0 : Stride * k + (k >= 2 ? DC : 0) + (k >= 12 ? DL : 0);
  }
  static constexpr int kLast = Skew(NS - 1);  // the skew of the lane that yields the output

  __attribute__((always_inline)) static inline V Biquad(V b0, V b1, V b2, V a1, V a2, V x1, V x2,
                                                        V y1, V y2, V x)
  {
    return Ops::Sub(Ops::Sub(Ops::Add(Ops::Add(Ops::Mul(b1, x1), Ops::Mul(b0, x)), Ops::Mul(b2, x2)),
                             Ops::Mul(a1, y1)),
                    Ops::Mul(a2, y2));
  }

  static void Run(const FuzzKernelJob& job)
  {
    FilterBank& bank = *job.bank;
    const int n = job.frames;
    const double* in0 = job.in0;
    const double* in1 = job.in1;
    const double* noise = job.noise;
    double* out0 = job.out0;
    double* out1 = job.out1;
    const double level = job.level;
    const double drive = job.drive;
    const double clean = job.clean;
    const double clipped = job.clipped;

    // Coefficients and state come straight from the bank's rows (a lane per section; the rows
    // have room for 32). Lanes past the last section run but are never stored: they feed no
    // section, and the bank keeps their entries as they were.
    static_assert(L <= kFilterSections, "the lanes fit in the bank's rows");
    alignas(64) double skews[L];  // the step at which each lane takes its first sample
    for (int k = 0; k < L; ++k)
      skews[k] = k < NS ? (double) Skew(k) : 1e9;

    V b0[NV], b1[NV], b2[NV], a1[NV], a2[NV], x1[NV], x2[NV], y1[NV], y2[NV], skew[NV];
    V prev[Stride][NV];  // section outputs of the last Stride steps
#pragma GCC unroll 16
    for (int v = 0; v < NV; ++v)
    {
      b0[v] = Ops::LoadU(bank.b0 + v * W);
      b1[v] = Ops::LoadU(bank.b1 + v * W);
      b2[v] = Ops::LoadU(bank.b2 + v * W);
      a1[v] = Ops::LoadU(bank.a1 + v * W);
      a2[v] = Ops::LoadU(bank.a2 + v * W);
      x1[v] = Ops::LoadU(bank.x1 + v * W);
      x2[v] = Ops::LoadU(bank.x2 + v * W);
      y1[v] = Ops::LoadU(bank.y1 + v * W);
      y2[v] = Ops::LoadU(bank.y2 + v * W);
      skew[v] = Ops::LoadU(skews + v * W);
#pragma GCC unroll 4
      for (int p = 0; p < Stride; ++p)
        prev[p][v] = Ops::Set1(0);
    }
    // Values waiting at the two special hops, indexed by step modulo 8.
    alignas(16) double ringC[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    alignas(16) double ringL[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const V tiny = Ops::Set1(1e-20);
    const V frames = Ops::Set1((double) n);

    // One step. Masked: some lanes may be outside the block (filling or draining).
    auto step = [&](int t, auto maskedTag, auto slotTag) __attribute__((always_inline))
    {
      constexpr bool kMasked = decltype(maskedTag)::value;
      constexpr int P = decltype(slotTag)::value;  // t modulo Stride
      V x[NV];
      x[0] = Ops::ShiftIn(prev[P][0], prev[P][0]);
#pragma GCC unroll 16
      for (int v = 1; v < NV; ++v)
        x[v] = Ops::ShiftIn(prev[P][v - 1], prev[P][v]);
      double xin = 0;
      if (!kMasked || t < n)
        xin = (in1[t] + in0[t]) + noise[t];
      x[0] = Ops::template Put<0>(x[0], xin);
      x[2 / W] = Ops::template Put<2 % W>(x[2 / W], ringC[t & 7]);
      if (kCabinet)
        x[12 / W] = Ops::template Put<12 % W>(x[12 / W], ringL[t & 7]);

      const V tv = Ops::Set1((double) t);
      V o[NV];
#pragma GCC unroll 16
      for (int v = 0; v < NV; ++v)
      {
        // While the schedule fills or drains, a vector none of whose sections has a sample at
        // this step is skipped; one whose sections all have one needs no mask. (The padding lanes
        // past the last section are free to change: they are never stored.)
        const int first = Skew(v * W);
        const int last = Skew(v * W + W - 1 < NS - 1 ? v * W + W - 1 : NS - 1);
        const bool some = !kMasked || (first <= t && last > t - n);
        const bool all = !kMasked || (last <= t && first > t - n);
        if (!some)
        {
          o[v] = prev[P][v];
          continue;
        }
        const V y = Biquad(b0[v], b1[v], b2[v], a1[v], a2[v], x1[v], x2[v], y1[v], y2[v], x[v]);
        if (!all)
        {
          const M m = Ops::Active(Ops::Sub(tv, skew[v]), frames);
          x2[v] = Ops::Select(m, x1[v], x2[v]);
          x1[v] = Ops::Select(m, x[v], x1[v]);
          y2[v] = Ops::Select(m, y1[v], y2[v]);
          y1[v] = Ops::Select(m, y, y1[v]);
        }
        else
        {
          x2[v] = x1[v];
          x1[v] = x[v];
          y2[v] = y1[v];
          y1[v] = y;
        }
        o[v] = Ops::Add(y, tiny);
        prev[P][v] = o[v];
      }

      // Section 1's output: clipper and cross-fade, for section 2 Stride + DC steps later.
      const double u = Ops::template Get<1 % W>(o[1 / W]);
      ringC[(t + Stride + DC) & 7] =
          _mm_cvtsd_f64(ScheduleCrossFade2(_mm_set1_pd(u), drive, clean, clipped));
      const double y11 = Ops::template Get<11 % W>(o[11 / W]);
      if (kCabinet)
        ringL[(t + Stride + DL) & 7] = level * y11;

      const int j = t - kLast;
      if (!kMasked || (j >= 0 && j < n))
      {
        const double r = kCabinet ? Ops::template Get<20 % W>(o[20 / W]) : level * y11;
        out1[j] = r;
        out0[j] = r;
      }
    };

    // Two steps at once (t even, all lanes active): step t + 1 takes its inputs from step t, so
    // within a pair the steps depend on one another only along each lane's own recursion and from
    // one vector to the next. Working vector by vector through both steps loads each coefficient
    // and each state value once for two samples and keeps the state of one vector in registers
    // while it is used.
    // Where the pairs keep coefficients and state: with few vectors they all fit in registers;
    // with many, each vector's values are loaded from and stored to the stack frame once per
    // pair, which costs less than letting the register allocator spill all over the loop.
    static constexpr bool kInMemory = NV > 3;
    enum Row { kB0, kB1, kB2, kA1, kA2, kX1, kX2, kY1, kY2, kPrev };
    // Coefficients copied next to the state rows: a fixed layout on the stack, so no store to the
    // state rows can falsely alias a coefficient load (4 KiB apart) wherever the bank lives.
    alignas(64) double coef[5][L];
    alignas(64) double work[4][L];  // rows kX1 .. kY2 when kInMemory
    auto ld = [&](int row, int v) __attribute__((always_inline)) -> V
    {
      if (kInMemory)
        return Ops::LoadU(row < kX1 ? coef[row] + v * W : work[row - kX1] + v * W);
      switch (row)
      {
        case kB0: return b0[v];
        case kB1: return b1[v];
        case kB2: return b2[v];
        case kA1: return a1[v];
        case kA2: return a2[v];
        case kX1: return x1[v];
        case kX2: return x2[v];
        case kY1: return y1[v];
        case kY2: return y2[v];
        default: return prev[0][v];
      }
    };
    auto st = [&](int row, int v, V value) __attribute__((always_inline))
    {
      if (kInMemory)
      {
        Ops::StoreU(work[row - kX1] + v * W, value);
        return;
      }
      switch (row)
      {
        case kX1: x1[v] = value; break;
        case kX2: x2[v] = value; break;
        case kY1: y1[v] = value; break;
        case kY2: y2[v] = value; break;
        default: prev[0][v] = value; break;
      }
    };
    // Moves the state between the registers of the single steps and the rows of the pairs.
    auto toWork = [&]() {
#pragma GCC unroll 16
      for (int v = 0; v < NV; ++v)
      {
        Ops::StoreU(coef[kB0] + v * W, b0[v]);
        Ops::StoreU(coef[kB1] + v * W, b1[v]);
        Ops::StoreU(coef[kB2] + v * W, b2[v]);
        Ops::StoreU(coef[kA1] + v * W, a1[v]);
        Ops::StoreU(coef[kA2] + v * W, a2[v]);
        Ops::StoreU(work[kX1 - kX1] + v * W, x1[v]);
        Ops::StoreU(work[kX2 - kX1] + v * W, x2[v]);
        Ops::StoreU(work[kY1 - kX1] + v * W, y1[v]);
        Ops::StoreU(work[kY2 - kX1] + v * W, y2[v]);
      }
    };
    auto fromWork = [&]() {
#pragma GCC unroll 16
      for (int v = 0; v < NV; ++v)
      {
        x1[v] = Ops::LoadU(work[kX1 - kX1] + v * W);
        x2[v] = Ops::LoadU(work[kX2 - kX1] + v * W);
        y1[v] = Ops::LoadU(work[kY1 - kX1] + v * W);
        y2[v] = Ops::LoadU(work[kY2 - kX1] + v * W);
        prev[0][v] = Ops::Add(y1[v], tiny);
      }
    };

    auto pair = [&](int t) __attribute__((always_inline))
    {
      // carry[s]: the outputs of the vector before at step t + s - 1 (carry[0] from the last
      // pair); the lane shifted in from it is the input of this vector's first lane.
      V carry[G];
#pragma GCC unroll 4
      for (int s = 0; s < G; ++s)
        carry[s] = tiny;  // only lane W - 1 is used, and the input replaces it
      double xin[G];
#pragma GCC unroll 4
      for (int s = 0; s < G; s += 2)
      {
        const __m128d in = _mm_add_pd(
            _mm_add_pd(_mm_loadu_pd(in1 + t + s), _mm_loadu_pd(in0 + t + s)),
            _mm_loadu_pd(noise + t + s));
        xin[s] = _mm_cvtsd_f64(in);
        xin[s + 1] = _mm_cvtsd_f64(_mm_unpackhi_pd(in, in));
      }
      V o[NV][G];
#pragma GCC unroll 16
      for (int v = 0; v < NV; ++v)
      {
        const V cb0 = ld(kB0, v), cb1 = ld(kB1, v), cb2 = ld(kB2, v), ca1 = ld(kA1, v),
                ca2 = ld(kA2, v);
        V sx1 = ld(kX1, v), sx2 = ld(kX2, v), sy1 = ld(kY1, v), sy2 = ld(kY2, v);
        // This vector's outputs at step t - 1. In memory they are rebuilt from y1 (one addition
        // instead of a row stored and loaded again); only the last section's lane can differ,
        // right after filling, and it feeds nothing but padding lanes.
        const V own = kInMemory ? Ops::Add(sy1, tiny) : ld(kPrev, v);
#pragma GCC unroll 4
        for (int s = 0; s < G; ++s)
        {
          V x = Ops::ShiftIn(carry[s], s == 0 ? own : o[v][s - 1]);
          if (v == 0)
            x = Ops::template Put<0>(x, xin[s]);
          if (v == 2 / W)
            x = Ops::template Put<2 % W>(x, ringC[((t & 7) + s) & 7]);
          if (kCabinet && v == 12 / W)
            x = Ops::template Put<12 % W>(x, ringL[((t & 7) + s) & 7]);
          const V y = Biquad(cb0, cb1, cb2, ca1, ca2, sx1, sx2, sy1, sy2, x);
          sx2 = sx1;
          sx1 = x;
          sy2 = sy1;
          sy1 = y;
          o[v][s] = Ops::Add(y, tiny);
        }
        // The next vector's inputs: this vector's outputs one step earlier.
        carry[0] = own;
#pragma GCC unroll 4
        for (int s = 1; s < G; ++s)
          carry[s] = o[v][s - 1];
        st(kX1, v, sx1);
        st(kX2, v, sx2);
        st(kY1, v, sy1);
        st(kY2, v, sy2);
        if (!kInMemory)
          st(kPrev, v, o[v][G - 1]);
      }
      // The scalar work of the hops, both steps side by side: t is even, so their ring entries are
      // neighbours.
      _mm_storeu_pd(ringC + ((t + Stride + DC) & 7),
                    ScheduleCrossFade2(Ops::template Pair<1 % W>(o[1 / W][0], o[1 / W][1]), drive,
                                       clean, clipped));
      const __m128d y11 =
          _mm_mul_pd(_mm_set1_pd(level), Ops::template Pair<11 % W>(o[11 / W][0], o[11 / W][1]));
      if (kCabinet)
        _mm_storeu_pd(ringL + ((t + Stride + DL) & 7), y11);
      const __m128d r =
          kCabinet ? Ops::template Pair<20 % W>(o[20 / W][0], o[20 / W][1]) : y11;
      _mm_storeu_pd(out1 + t - kLast, r);
      _mm_storeu_pd(out0 + t - kLast, r);
    };

    using Masked = BoolTag<true>;
    using Steady = BoolTag<false>;
    const int total = n + kLast;
    const int fillEnd = kLast < total ? kLast : total;
    const int drainBegin = n > kLast ? n : kLast;
    // Filling (some sections have no sample yet), a single step up to an even one, the steady
    // pairs, the last single step, draining.
    int t = 0;
    for (; t < fillEnd; ++t)
      step(t, Masked(), SlotTag<0>());
    for (; t < n && t % G != 0; ++t)
      step(t, Steady(), SlotTag<0>());
    if (t + G <= n)
    {
      if (kInMemory)
        toWork();
      for (; t + G <= n; t += G)
        pair(t);
      if (kInMemory)
        fromWork();
    }
    for (; t < n; ++t)
      step(t, Steady(), SlotTag<0>());
    for (t = drainBegin; t < total; ++t)
      step(t, Masked(), SlotTag<0>());

    // The state of the sections back into the bank (only theirs: not the lanes past the last).
    alignas(64) double tail[4][W];
#pragma GCC unroll 16
    for (int v = 0; v < NV; ++v)
    {
      if ((v + 1) * W <= NS)
      {
        Ops::StoreU(bank.x1 + v * W, x1[v]);
        Ops::StoreU(bank.x2 + v * W, x2[v]);
        Ops::StoreU(bank.y1 + v * W, y1[v]);
        Ops::StoreU(bank.y2 + v * W, y2[v]);
        continue;
      }
      Ops::StoreU(tail[0], x1[v]);
      Ops::StoreU(tail[1], x2[v]);
      Ops::StoreU(tail[2], y1[v]);
      Ops::StoreU(tail[3], y2[v]);
      for (int k = v * W; k < NS; ++k)
      {
        bank.x1[k] = tail[0][k - v * W];
        bank.x2[k] = tail[1][k - v * W];
        bank.y1[k] = tail[2][k - v * W];
        bank.y2[k] = tail[3][k - v * W];
      }
    }
  }

  template <bool B>
  struct BoolTag
  {
    static constexpr bool value = B;
  };
  template <int I>
  struct SlotTag
  {
    static constexpr int value = I;
  };
};

}  // namespace
