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
#include "effect/FuzzKernelClip.h"

namespace {

// Ops: the vector type V (kWidth doubles), the mask type M, kHalves (1, or 2 for the lane map
// of two 128-bit halves, see below) and the operations LoadU, StoreU, Set1, Add, Sub, Mul,
// ShiftIn(prev, cur) = each lane takes the lane below it in cur, the lowest lane of each group
// the highest of that group in prev ({prev[W-1], cur[0 .. W-2]} with one group),
// LoadHalves(lo, hi) and StoreHalves(lo, hi, v) (two groups only), Get<I>(v),
// Pair<I>(a, b) = {a[I], b[I]}, Put<I>(v, x), the masks Active(d, n) = (0 <= d < n),
// NotAbove(a, b) = (a <= b) and Below(a, b) = (a < b) per lane, Select(m, a, b) = m ? a : b.
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

  // Where each section lives. The lanes of a vector form Ops::kHalves equal groups; group h of
  // every vector holds the h-th run of R consecutive sections, two neighbours of a run side by
  // side in a group and the run continuing in the next vector. With one group, vector v holds
  // sections v·W .. v·W + W - 1; with two (256-bit vectors seen as two 128-bit halves), sections
  // 0 .. R - 1 fill the low halves and R .. 2R - 1 the high halves. A section's input then always
  // comes from the same group of the vector before (or of its own vector, one lane down), which
  // Ops::ShiftIn does without crossing a group, except at the first section of a group: the first
  // group's takes the block's input, and the second group's (section 12) its ring.
  static constexpr int H = Ops::kHalves;
  static constexpr int P = W / H;   // lanes per group
  static constexpr int R = NV * P;  // sections per group
  static_assert(H == 1 || (H == 2 && kCabinet && R == 12),
                "with two groups, the second starts at section 12, after the level hop");
  static constexpr int VecOf(int k) { return (k % R) / P; }
  static constexpr int LaneOf(int k) { return (k / R) * P + (k % R) % P; }
  static constexpr int SectionAt(int v, int lane) { return (lane / P) * R + v * P + lane % P; }
  // The section after the level hop and the one that yields the output (without the cabinet
  // there is no level hop; its ring is never read then).
  static constexpr int kAfterLevel = kCabinet ? 12 : 2;
  static constexpr int kOut = kCabinet ? 20 : 11;
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
  // The smallest and largest skew of the sections in vector v (padding lanes aside).
  static constexpr int FirstSkew(int v)
  {
    int m = 1 << 30;
    for (int lane = 0; lane < W; ++lane)
      if (SectionAt(v, lane) < NS && Skew(SectionAt(v, lane)) < m)
        m = Skew(SectionAt(v, lane));
    return m;
  }
  static constexpr int LastSkew(int v)
  {
    int m = -1;
    for (int lane = 0; lane < W; ++lane)
      if (SectionAt(v, lane) < NS && Skew(SectionAt(v, lane)) > m)
        m = Skew(SectionAt(v, lane));
    return m;
  }
  // The step at which each lane takes its first sample (padding lanes never), as a row.
  struct SkewRow
  {
    double lane[L];
  };
  static constexpr SkewRow MakeSkewRow()
  {
    SkewRow row{};
    for (int v = 0; v < NV; ++v)
      for (int lane = 0; lane < W; ++lane)
        row.lane[v * W + lane] =
            SectionAt(v, lane) < NS ? (double) Skew(SectionAt(v, lane)) : 1e9;
    return row;
  }
  // True when every lane of vector v holds a section (no padding).
  static constexpr bool Full(int v)
  {
    return SectionAt(v, W - 1) < NS && SectionAt(v, P - 1) < NS;
  }
  // A bank row's entries for vector v's lanes, and back.
  __attribute__((always_inline)) static inline V LoadRow(const double* row, int v)
  {
    if constexpr (H == 1)
      return Ops::LoadU(row + v * W);
    else
      return Ops::LoadHalves(row + v * P, row + R + v * P);
  }
  __attribute__((always_inline)) static inline void StoreRow(double* row, int v, V value)
  {
    if constexpr (H == 1)
      Ops::StoreU(row + v * W, value);
    else
      Ops::StoreHalves(row + v * P, row + R + v * P, value);
  }

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
    static_assert(H * R <= kFilterSections, "the lanes fit in the bank's rows");
    alignas(64) static constexpr SkewRow kSkewRow = MakeSkewRow();

    // Where the pairs keep coefficients and state: with few vectors they all fit in registers;
    // with many, each vector's values are loaded from and stored to the stack frame once per
    // pair, which costs less than letting the register allocator spill all over the loop.
    // Coefficients are copied next to the state rows: a fixed layout on the stack, so no store to
    // the state rows can falsely alias a coefficient load (4 KiB apart) wherever the bank lives.
    static constexpr bool kInMemory = NV > 3;
    enum Row { kB0, kB1, kB2, kA1, kA2, kX1, kX2, kY1, kY2, kPrev, kSkew, kRows };
    static constexpr int kHeld = kInMemory ? 1 : NV;  // vectors held in registers per row
    V reg[kRows][kHeld];
    // Each row starts on a cache line of its own: packed end to end (176-byte rows with SSE2),
    // the steady pairs ran about 5 % slower on the processor the benchmarks were tuned on.
    static constexpr int kRowStride = (L + 7) / 8 * 8;
    alignas(64) double mem[kInMemory ? kRows : 1][kInMemory ? kRowStride : 1];
    auto ld = [&](int row, int v) __attribute__((always_inline)) -> V
    {
      if (kInMemory)
        return Ops::LoadU(mem[row] + v * W);
      return reg[row][v % kHeld];
    };
    auto st = [&](int row, int v, V value) __attribute__((always_inline))
    {
      if (kInMemory)
        Ops::StoreU(mem[row] + v * W, value);
      else
        reg[row][v % kHeld] = value;
    };
    const double* const rows[kPrev] = {bank.b0, bank.b1, bank.b2, bank.a1, bank.a2,
                                       bank.x1, bank.x2, bank.y1, bank.y2};
#pragma GCC unroll 16
    for (int v = 0; v < NV; ++v)
    {
#pragma GCC unroll 16
      for (int row = 0; row < kPrev; ++row)
        st(row, v, LoadRow(rows[row], v));
      if (!kInMemory)  // in memory the previous outputs are rebuilt from y1
        st(kPrev, v, Ops::Set1(0));
      st(kSkew, v, Ops::LoadU(kSkewRow.lane + v * W));
    }
    // Values waiting at the two special hops, indexed by step modulo 8.
    alignas(16) double ringC[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    alignas(16) double ringL[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const V tiny = Ops::Set1(1e-20);
    const V frames = Ops::Set1((double) n);

    // The block's input (the two channels plus the noise) at steps t and t + 1; zero past the
    // block's end, which only a masked pair reaches.
    auto input = [&](int t, auto maskedTag, double (&xin)[G]) __attribute__((always_inline))
    {
      constexpr bool kMasked = decltype(maskedTag)::value;
      xin[0] = 0;
      xin[1] = 0;
      if (!kMasked || t + 1 < n)
      {
        const __m128d in =
            _mm_add_pd(_mm_add_pd(_mm_loadu_pd(in1 + t), _mm_loadu_pd(in0 + t)),
                       _mm_loadu_pd(noise + t));
        xin[0] = _mm_cvtsd_f64(in);
        xin[1] = _mm_cvtsd_f64(_mm_unpackhi_pd(in, in));
      }
      else if (t < n)
      {
        xin[0] = (in1[t] + in0[t]) + noise[t];
      }
    };

    // The end of a pair, from the vectors' outputs o at both steps: the scalar work of the hops,
    // both steps side by side (t is even, so their ring entries are neighbours; values of steps
    // outside the block reach only sections outside it too), and the two outputs.
    auto hops = [&](int t, const V (&o)[NV][G], auto maskedTag) __attribute__((always_inline))
    {
      constexpr bool kMasked = decltype(maskedTag)::value;
      constexpr int v1 = VecOf(1), v11 = VecOf(11), vOut = VecOf(kOut);
      _mm_storeu_pd(ringC + ((t + Stride + DC) & 7),
                    ScheduleCrossFade2(Ops::template Pair<LaneOf(1)>(o[v1][0], o[v1][1]), drive,
                                       clean, clipped));
      const __m128d y11 = _mm_mul_pd(_mm_set1_pd(level),
                                     Ops::template Pair<LaneOf(11)>(o[v11][0], o[v11][1]));
      if (kCabinet)
        _mm_storeu_pd(ringL + ((t + Stride + DL) & 7), y11);
      const __m128d r =
          kCabinet ? Ops::template Pair<LaneOf(kOut)>(o[vOut][0], o[vOut][1]) : y11;
      const int j = t - kLast;
      if (!kMasked || (j >= 0 && j + 1 < n))
      {
        _mm_storeu_pd(out1 + j, r);
        _mm_storeu_pd(out0 + j, r);
      }
      else
      {
        if (j >= 0 && j < n)
        {
          out1[j] = _mm_cvtsd_f64(r);
          out0[j] = _mm_cvtsd_f64(r);
        }
        if (j + 1 >= 0 && j + 1 < n)
        {
          out1[j + 1] = _mm_cvtsd_f64(_mm_unpackhi_pd(r, r));
          out0[j + 1] = _mm_cvtsd_f64(_mm_unpackhi_pd(r, r));
        }
      }
    };

    // Steps t and t + 1 (t even). Step t + 1 takes its inputs from step t, so within a pair the
    // steps depend on one another only along each lane's own recursion and from one vector to
    // the next; working vector by vector through both steps loads each coefficient and each
    // state value once for two samples and keeps one vector's state in registers while it is
    // used. Masked: some lanes may be outside the block at either step (filling or draining);
    // they keep their state.
    auto pair = [&](int t, auto maskedTag) __attribute__((always_inline))
    {
      constexpr bool kMasked = decltype(maskedTag)::value;
      constexpr int kKind = decltype(maskedTag)::kind;
      // carry[s]: the outputs of the vector before at step t + s - 1 (carry[0] from the last
      // pair); the lane shifted in from it is the input of this vector's first lane.
      V carry[G];
#pragma GCC unroll 4
      for (int s = 0; s < G; ++s)
        carry[s] = tiny;  // only lane W - 1 is used, and the input replaces it
      double xin[G];
      input(t, maskedTag, xin);
      const V tv[G] = {Ops::Set1((double) t), Ops::Set1((double) (t + 1))};
      V tvLessFrames[G] = {tv[0], tv[1]};
      if constexpr (kKind == kDraining)
        for (int s = 0; s < G; ++s)
          tvLessFrames[s] = Ops::Sub(tv[s], frames);
      V o[NV][G];
#pragma GCC unroll 16
      for (int v = 0; v < NV; ++v)
      {
        V sx1 = ld(kX1, v), sx2 = ld(kX2, v), sy1 = ld(kY1, v), sy2 = ld(kY2, v);
        // This vector's outputs at step t - 1. In memory they are rebuilt from y1 (one addition
        // instead of a row stored and loaded again); they differ only in lanes that had no
        // sample at t - 1, whose outputs feed only lanes that have none at t.
        const V own = kInMemory ? Ops::Add(sy1, tiny) : ld(kPrev, v);
        // While the schedule fills or drains, a vector none of whose sections has a sample at
        // either step is skipped; one whose sections all have one at both needs no mask. (The
        // padding lanes past the last section are free to change: they are never stored.)
        const int first = FirstSkew(v);
        const int last = LastSkew(v);
        const bool some = !kMasked || (first <= t + 1 && last > t - n);
        const bool all = !kMasked || (last <= t && first > t + 1 - n);
        if (!some)
        {
          o[v][0] = own;
          o[v][1] = own;
          carry[0] = own;
          carry[1] = own;
          continue;
        }
        const V cb0 = ld(kB0, v), cb1 = ld(kB1, v), cb2 = ld(kB2, v), ca1 = ld(kA1, v),
                ca2 = ld(kA2, v);
#pragma GCC unroll 4
        for (int s = 0; s < G; ++s)
        {
          V x = Ops::ShiftIn(carry[s], s == 0 ? own : o[v][s - 1]);
          if (v == 0)
            x = Ops::template Put<0>(x, xin[s]);
          if (v == VecOf(2))
            x = Ops::template Put<LaneOf(2)>(x, ringC[(t + s) & 7]);
          if (kCabinet && v == VecOf(kAfterLevel))
            x = Ops::template Put<LaneOf(kAfterLevel)>(x, ringL[(t + s) & 7]);
          const V y = Biquad(cb0, cb1, cb2, ca1, ca2, sx1, sx2, sy1, sy2, x);
          if (!all)
          {
            // Filling, a lane has a sample once its skew is reached; draining, while t is
            // below its skew plus the block's length; a short block may see both at once.
            M m;
            if constexpr (kKind == kFilling)
              m = Ops::NotAbove(ld(kSkew, v), tv[s]);
            else if constexpr (kKind == kDraining)
              m = Ops::Below(tvLessFrames[s], ld(kSkew, v));
            else
              m = Ops::Active(Ops::Sub(tv[s], ld(kSkew, v)), frames);
            sx2 = Ops::Select(m, sx1, sx2);
            sx1 = Ops::Select(m, x, sx1);
            sy2 = Ops::Select(m, sy1, sy2);
            sy1 = Ops::Select(m, y, sy1);
          }
          else
          {
            sx2 = sx1;
            sx1 = x;
            sy2 = sy1;
            sy1 = y;
          }
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
      hops(t, o, maskedTag);
    };

    // Filling (some sections have no sample yet), the steady pairs, draining; the pairs start at
    // even steps throughout, and the last may reach one step past the end.
    static_assert(kLast % 2 == 0, "the steady pairs start at an even step");
    const int total = n + kLast;
    const int fillEnd = kLast < total ? kLast : total;
    // With state in memory and one lane group (the SSE2 build), filling and draining take one
    // vector at a time in a loop instead of the unrolled pair: unrolled, the pairs of the two
    // edges need several thousand instructions of their own, more than the processor's cache of
    // decoded instructions keeps next to the steady pairs and the host's code around the block
    // (measured: the block ran about 10 % slower inside the plug-in's entry than on its own).
    // The vectors that have a sample at step t or t + 1 form one run [lo, hi) (the skews grow
    // from vector to vector); each takes the masked step only where some of its lanes are outside
    // the block. The vectors that take an outside input (the block's input, a hop's ring) are
    // handled one by one, the others in loops between them. Per lane, the operations and their
    // order are the unrolled pair's.
    static constexpr bool kRolledEdges = kInMemory && H == 1;
    if constexpr (kRolledEdges)
    {
      // lo and hi of the run by step: lo counts the vectors whose sections have all taken their
      // last sample before step t (indexed by t - n + 1), hi those whose first sample comes at step
      // t + 1 or before (indexed by t + 1); both indices are clamped to where the counts stop
      // changing. The first and last skew of every vector decide whether it needs the mask.
      struct EdgeTable
      {
        signed char lo[kLast + 2], hi[kLast + 3];
      };
      struct VectorSkews
      {
        int first[NV], last[NV];
      };
      static constexpr VectorSkews kVectorSkews = [] {
        VectorSkews table{};
        for (int v = 0; v < NV; ++v)
          table.first[v] = FirstSkew(v), table.last[v] = LastSkew(v);
        return table;
      }();
      static_assert(
          [] {
            for (int v = 1; v < NV; ++v)
              if (FirstSkew(v) < FirstSkew(v - 1) || LastSkew(v) < LastSkew(v - 1))
                return false;
            return true;
          }(),
          "the vectors with a sample at a step form one run");
      static constexpr EdgeTable kEdge = [] {
        EdgeTable table{};
        for (int d = 0; d < kLast + 2; ++d)  // d = t - n + 1, clamped to 0 .. kLast + 1
        {
          int lo = 0;
          for (int v = 0; v < NV; ++v)
            lo += LastSkew(v) <= d - 1;
          table.lo[d] = (signed char) lo;
        }
        for (int u = 0; u < kLast + 3; ++u)  // u = t + 1, clamped to 0 .. kLast + 2
        {
          int hi = 0;
          for (int v = 0; v < NV; ++v)
            hi += FirstSkew(v) <= u;
          table.hi[u] = (signed char) hi;
        }
        return table;
      }();
      // The edges reach the rows through a pointer the compiler cannot trace back to them: their
      // vector index is only known at run time, and the steady pairs compile to better code (memory
      // operands instead of loads into registers) when nothing else indexes the rows.
      double* edgeRows = &mem[0][0];
      asm("" : "+r"(edgeRows));
      auto lde = [&](int row, int v) __attribute__((always_inline)) -> V
      {
        return Ops::LoadU(edgeRows + row * kRowStride + v * W);
      };
      auto ste = [&](int row, int v, V value) __attribute__((always_inline))
      {
        Ops::StoreU(edgeRows + row * kRowStride + v * W, value);
      };
      auto edgePair = [&](int t) __attribute__((always_inline))
      {
        double xin[G];
        input(t, BoolTag<true>(), xin);
        const int d = t - n + 1;
        const int lo = kEdge.lo[d < 0 ? 0 : (d > kLast + 1 ? kLast + 1 : d)];
        const int hi = kEdge.hi[t + 1 > kLast + 2 ? kLast + 2 : t + 1];
        const V tv[G] = {Ops::Set1((double) t), Ops::Set1((double) (t + 1))};
        V o[NV][G];
        // Vectors outside the run keep their last outputs (only the hops read them).
        constexpr int kHopVectors[3] = {VecOf(1), VecOf(11), VecOf(kOut)};
        for (int h : kHopVectors)
          if (h < lo || h >= hi)
            o[h][0] = o[h][1] = Ops::Add(lde(kY1, h), tiny);
        V carry[G] = {tiny, tiny};
        if (lo > 0)
          carry[0] = carry[1] = Ops::Add(lde(kY1, lo - 1), tiny);
        // One vector through both steps; inject(s, x) puts the vector's outside input into x.
        auto step = [&](int v, auto inject) __attribute__((always_inline))
        {
          V sx1 = lde(kX1, v), sx2 = lde(kX2, v), sy1 = lde(kY1, v), sy2 = lde(kY2, v);
          const V own = Ops::Add(sy1, tiny);
          const V cb0 = lde(kB0, v), cb1 = lde(kB1, v), cb2 = lde(kB2, v), ca1 = lde(kA1, v),
                  ca2 = lde(kA2, v);
          V before = own;
          if (kVectorSkews.last[v] <= t && kVectorSkews.first[v] > t + 1 - n)
          {
#pragma GCC unroll 4
            for (int s = 0; s < G; ++s)
            {
              const V x = inject(s, Ops::ShiftIn(carry[s], before));
              const V y = Biquad(cb0, cb1, cb2, ca1, ca2, sx1, sx2, sy1, sy2, x);
              sx2 = sx1;
              sx1 = x;
              sy2 = sy1;
              sy1 = y;
              before = Ops::Add(y, tiny);
              o[v][s] = before;
            }
          }
          else
          {
            const V skew = lde(kSkew, v);
#pragma GCC unroll 4
            for (int s = 0; s < G; ++s)
            {
              const V x = inject(s, Ops::ShiftIn(carry[s], before));
              const V y = Biquad(cb0, cb1, cb2, ca1, ca2, sx1, sx2, sy1, sy2, x);
              const M m = Ops::Active(Ops::Sub(tv[s], skew), frames);
              sx2 = Ops::Select(m, sx1, sx2);
              sx1 = Ops::Select(m, x, sx1);
              sy2 = Ops::Select(m, sy1, sy2);
              sy1 = Ops::Select(m, y, sy1);
              before = Ops::Add(y, tiny);
              o[v][s] = before;
            }
          }
          carry[0] = own;
          carry[1] = o[v][0];
          ste(kX1, v, sx1);
          ste(kX2, v, sx2);
          ste(kY1, v, sy1);
          ste(kY2, v, sy2);
        };
        auto none = [](int, V x) __attribute__((always_inline)) { return x; };
        // The vectors from a to b - 1 that are in the run, none of which takes an outside input.
        auto plain = [&](int a, int b) __attribute__((always_inline))
        {
          const int end = hi < b ? hi : b;
#pragma GCC unroll 1
          for (int v = lo > a ? lo : a; v < end; ++v)
            step(v, none);
        };
        constexpr int v2 = VecOf(2), vL = kCabinet ? VecOf(kAfterLevel) : NV;
        static_assert(v2 > 0 && vL > v2,
                      "the vectors with an outside input come in this order");
        if (lo <= 0 && 0 < hi)
          step(0, [&](int s, V x) __attribute__((always_inline)) {
            return Ops::template Put<0>(x, xin[s]);
          });
        plain(1, v2);
        if (lo <= v2 && v2 < hi)
          step(v2, [&](int s, V x) __attribute__((always_inline)) {
            return Ops::template Put<LaneOf(2)>(x, ringC[(t + s) & 7]);
          });
        plain(v2 + 1, vL);
        if constexpr (kCabinet)
        {
          if (lo <= vL && vL < hi)
            step(vL, [&](int s, V x) __attribute__((always_inline)) {
              return Ops::template Put<LaneOf(kAfterLevel)>(x, ringL[(t + s) & 7]);
            });
          plain(vL + 1, NV);
        }
        hops(t, o, BoolTag<true>());
      };

      // One copy of the edge pair serves both edges.
      int t = 0;
      while (t < total)
      {
        if (t >= fillEnd && t + 1 < n)
        {
          for (; t + 1 < n; t += G)
            pair(t, PairTag<kSteady>());
          continue;
        }
        edgePair(t);
        t += G;
      }
    }
    else if (n >= kLast + G)
    {
      // No lane takes its last sample while the schedule fills, nor its first while it drains.
      int t = 0;
      for (; t < fillEnd; t += G)
        pair(t, PairTag<kFilling>());
      for (; t + 1 < n; t += G)
        pair(t, PairTag<kSteady>());
      for (; t < total; t += G)
        pair(t, PairTag<kDraining>());
    }
    else
    {
      for (int t = 0; t < total; t += G)
        pair(t, PairTag<kEdges>());
    }

    // The state of the sections back into the bank (only theirs: not the lanes past the last).
    alignas(64) double tail[4][W];
#pragma GCC unroll 16
    for (int v = 0; v < NV; ++v)
    {
      if (Full(v))
      {
        StoreRow(bank.x1, v, ld(kX1, v));
        StoreRow(bank.x2, v, ld(kX2, v));
        StoreRow(bank.y1, v, ld(kY1, v));
        StoreRow(bank.y2, v, ld(kY2, v));
        continue;
      }
      Ops::StoreU(tail[0], ld(kX1, v));
      Ops::StoreU(tail[1], ld(kX2, v));
      Ops::StoreU(tail[2], ld(kY1, v));
      Ops::StoreU(tail[3], ld(kY2, v));
      for (int lane = 0; lane < W; ++lane)
      {
        const int k = SectionAt(v, lane);
        if (k >= NS)
          continue;
        bank.x1[k] = tail[0][lane];
        bank.x2[k] = tail[1][lane];
        bank.y1[k] = tail[2][lane];
        bank.y2[k] = tail[3][lane];
      }
    }
  }

  template <bool B>
  struct BoolTag
  {
    static constexpr bool value = B;
  };
  // The kind of a pair of steps: every lane has a sample at both, or some lanes may lack one
  // because the schedule fills, drains or (in a short block) both.
  enum PairKind { kSteady, kFilling, kDraining, kEdges };
  template <int K>
  struct PairTag
  {
    static constexpr bool value = K != kSteady;
    static constexpr int kind = K;
  };
};

}  // namespace
