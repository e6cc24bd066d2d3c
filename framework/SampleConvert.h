#pragma once
// The per-sample work of the channel glue: host arrays of 32-bit samples widened into the
// channels' 64-bit scratch, and the results narrowed back (replacing or adding in 32-bit). Each
// conversion is exact (widening) or rounds once to nearest (narrowing), so every instruction-set
// level gives the same samples; the widest one the processor has is picked once, at start-up.
// Nothing here allocates, locks or calls a library function.

#include "framework/CpuFeatures.h"

// out[i] = in[i] widened, for i < n.
void WidenSamples(const float* in, double* out, int n);
// out[i] = in[i] narrowed, for i < n.
void NarrowSamples(const double* in, float* out, int n);
// inout[i] = inout[i] + in[i] narrowed, the sum formed in 32-bit, for i < n.
void NarrowAddSamples(const double* in, float* inout, int n);

// The level the conversions use; starts as the best this processor and build offer. For
// benchmarks: SetSampleConvertLevel returns false (changing nothing) when the level is not
// available. Not meant to be called while audio runs.
CpuLevel ActiveSampleConvertLevel();
bool SetSampleConvertLevel(CpuLevel level);

// ---- Internal: the loops of each level (SampleConvertLoops.h) ----
struct SampleConvertLoops
{
  void (*widen)(const float*, double*, int);
  void (*narrow)(const double*, float*, int);
  void (*narrowAdd)(const double*, float*, int);
};
SampleConvertLoops SampleConvertBaseline();
SampleConvertLoops SampleConvertAvx2();    // only in builds that have it
SampleConvertLoops SampleConvertAvx512();  // only in builds that have it
