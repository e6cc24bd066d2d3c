#pragma once
// The conversion loops, written once and compiled once per instruction-set level
// (SampleConvert.cpp, SampleConvertAvx2.cpp, SampleConvertAvx512.cpp, each with its own compiler
// flags), where the compiler turns them into that level's vector instructions. Include it from
// exactly those files: everything here has internal linkage, so no copy built for one level can
// stand in for another's.

#include "framework/SampleConvert.h"

namespace {

void WidenLoop(const float* in, double* out, int n)
{
  for (int i = 0; i < n; ++i)
    out[i] = (double) in[i];
}

void NarrowLoop(const double* in, float* out, int n)
{
  for (int i = 0; i < n; ++i)
    out[i] = (float) in[i];
}

void NarrowAddLoop(const double* in, float* inout, int n)
{
  for (int i = 0; i < n; ++i)
    inout[i] = inout[i] + (float) in[i];
}

constexpr SampleConvertLoops kLoops = {WidenLoop, NarrowLoop, NarrowAddLoop};

}  // namespace
