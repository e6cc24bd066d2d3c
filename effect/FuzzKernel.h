#pragma once
// The block loop of the effect, in several interchangeable forms that compute the same samples
// bit for bit:
//
// - the plain loop: every sample runs through the whole chain before the next one (sections 0-1,
//   clipper and cross-fade, sections 2-11, level, and sections 12-20 with the cabinet);
// - the skewed schedule, vectorised across the sections: at each step every section works on a
//   different sample (section k on the sample some steps behind section k - 1), so the sections'
//   recursions no longer wait for one another. Each section still performs exactly the same double
//   operations in exactly the same order on exactly the same samples as in the plain loop; only
//   the interleaving between sections changes. The clipper, the cross-fade and the level gain sit
//   between lanes, evaluated as scalars with the plain loop's formulas. The schedule fills and
//   drains within every block, so the filter state at the end of a block is the plain loop's.
//
// The schedule comes in one build per instruction-set level: baseline SSE2 (every x86 processor the
// plug-in runs on) and, on 64-bit x86, AVX2 and AVX-512 (F and DQ) builds chosen at start-up when
// the processor has them. Short blocks, where filling and draining the schedule would cost more
// than it saves, take the plain loop.
//
// Nothing here allocates, locks or calls a library function per block.

#include "effect/FilterBank.h"

enum class FuzzKernelLevel
{
  kPlain = 0,   // the plain loop only
  kSse2 = 1,    // skewed schedule, two lanes per vector
  kAvx2 = 2,    // skewed schedule, four lanes per vector
  kAvx512 = 3,  // skewed schedule, eight lanes per vector
};

// Everything one block needs. in0/in1 may be the same memory as out0/out1 (each position is read
// before it is written); out0 and out1 receive identical samples.
struct FuzzKernelJob
{
  FilterBank* bank;
  const double* noise;  // the noise table; position i of the block takes entry i
  const double* in0;
  const double* in1;
  double* out0;
  double* out1;
  int frames;        // at most the noise table's length
  bool cabinetOn;    // sections 12-20 after the level gain
  double level;      // output gain
  double drive;      // clipper drive
  double clean;      // cross-fade weight of the unclipped signal, 0.5 - E
  double clipped;    // cross-fade weight of the clipped signal, E + 0.5
};

// No level's schedule takes a block shorter than this: shorter blocks take the plain loop at
// every level (see FuzzKernelPlain.h).
constexpr int kFuzzScheduleShortest = 4;

// The best level this processor and this build offer; found once, at start-up.
FuzzKernelLevel BestFuzzKernelLevel();
// True when this build has the level and this processor can run it (kPlain and kSse2 always).
bool FuzzKernelLevelSupported(FuzzKernelLevel isa);
// The level the effect uses; starts as BestFuzzKernelLevel(). For tests and benchmarks:
// SetFuzzKernelLevel picks another level for the whole process and returns false (changing
// nothing) when the level is not supported. Not meant to be called while audio runs.
FuzzKernelLevel ActiveFuzzKernelLevel();
bool SetFuzzKernelLevel(FuzzKernelLevel isa);
// "plain", "sse2", "avx2", "avx512".
const char* FuzzKernelLevelName(FuzzKernelLevel isa);

// One block of the effect path (effect on) at the active level: the sum of the two inputs plus the
// noise, the fuzz chain, the cabinet when on, written to both outputs. Blocks longer than the noise
// table continue from the table's start. Frames <= 0 writes nothing.
void RunFuzzKernel(FilterBank& bank, const double* noise, bool cabinetOn, double level,
                   double attack, double drive, double** inputs, double** outputs, int frames);

// The same at a given level, for tests and benchmarks (an unsupported level runs the plain loop).
void RunFuzzKernelAt(FuzzKernelLevel isa, FilterBank& bank, const double* noise, bool cabinetOn,
                     double level, double attack, double drive, double** inputs, double** outputs,
                     int frames);

// The bypass: both outputs carry in1[i] + in0[i].
void RunFuzzBypass(double** inputs, double** outputs, int frames);

// ---- Internal: one block of at most the noise table's length, per level ----
void RunFuzzPlain(const FuzzKernelJob& job);
void RunFuzzScheduleSse2(const FuzzKernelJob& job);
void RunFuzzScheduleAvx2(const FuzzKernelJob& job);    // only in builds that have it
void RunFuzzScheduleAvx512(const FuzzKernelJob& job);  // only in builds that have it
