#pragma once
// The plain loop of the effect's chain, inline: the kernel runs it for blocks its schedule does
// not take, and the effect itself for the shortest blocks (below kFuzzScheduleShortest frames),
// where a call into the kernel and its choice of level would cost a noticeable share of the
// block. Include it from those two places only: everything here has internal linkage.

#include "effect/FuzzKernel.h"

namespace {

// One block's job from the effect's values (frames > 0, at most the noise table's length).
inline FuzzKernelJob MakeFuzzJob(FilterBank& bank, const double* noise, bool cabinetOn,
                                 double level, double attack, double drive, double** inputs,
                                 double** outputs, int frames)
{
  double e = attack - 0.5;
  e = e > 0.5 ? 0.5 : (e < -0.5 ? -0.5 : e);
  FuzzKernelJob job;
  job.bank = &bank;
  job.noise = noise;
  job.in0 = inputs[0];
  job.in1 = inputs[1];
  job.out0 = outputs[0];
  job.out1 = outputs[1];
  job.frames = frames;
  job.cabinetOn = cabinetOn;
  job.level = level;
  job.drive = drive;
  job.clean = 0.5 - e;
  job.clipped = e + 0.5;
  return job;
}

inline double PlainClip(double u, double d)
{
  const double a = u * d;
  const double mag = a < 0 ? -a : a;
  double f;
  if (mag < 0.2)
    f = ((1 - mag / 0.4) * a) * 0.3 * 10;
  else
    f = (a >= 0 ? 0.1 : -0.1) * 0.3 * 10;
  const double lo = a > 0 ? 0 : (a < -0.5 ? -0.5 : a);
  const double hi = f > 0.5 ? 0.5 : (f < 0 ? 0 : f);
  return lo + hi;
}

inline double PlainSection(FilterBank& b, int k, double x)
{
  const double y = ((b.b1[k] * b.x1[k] + b.b0[k] * x) + b.b2[k] * b.x2[k]) - b.a1[k] * b.y1[k]
                   - b.a2[k] * b.y2[k];
  b.x2[k] = b.x1[k];
  b.x1[k] = x;
  b.y2[k] = b.y1[k];
  b.y1[k] = y;
  return y + 1e-20;
}

// Every sample through the chain in the order of the formulas: the sum of the inputs plus the
// noise, sections 0-1, the clipper cross-faded with the clean signal, sections 2-11, the level
// gain, sections 12-20 with the cabinet; both outputs get the result.
__attribute__((always_inline)) inline void RunFuzzPlainInline(const FuzzKernelJob& job)
{
  FilterBank& bank = *job.bank;
  const double* in0 = job.in0;
  const double* in1 = job.in1;
  const double* noise = job.noise;
  double* out0 = job.out0;
  double* out1 = job.out1;
  const int frames = job.frames;
  const bool cabinetOn = job.cabinetOn;
  const double level = job.level;
  const double drive = job.drive;
  const double clean = job.clean;
  const double clipped = job.clipped;
  for (int i = 0; i < frames; ++i)
  {
    const double x = (in1[i] + in0[i]) + noise[i];
    const double u = PlainSection(bank, 1, PlainSection(bank, 0, x));
    const double c = PlainClip(u, drive);
    double y = clean * (u * 5) + clipped * c;
    for (int k = 2; k <= 11; ++k)
      y = PlainSection(bank, k, y);
    y = level * y;
    if (cabinetOn)
    {
      for (int k = 12; k <= 20; ++k)
        y = PlainSection(bank, k, y);
    }
    out1[i] = y;
    out0[i] = y;
  }
}

}  // namespace
