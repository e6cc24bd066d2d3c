#include "effect/FuzzChain.h"

#include <cstring>

std::atomic<std::uint32_t> noiseSeed{1};

void RefillNoise(double* table)
{
  std::uint32_t seed = noiseSeed.load(std::memory_order_relaxed);
  float acc = 0;
  for (int i = 0; i < kNoiseTableSize; ++i)
  {
    seed = seed * 1234567u + 890123u;
    // Keep the sign and the top seven mantissa bits, force the exponent field to 0x3C.
    const std::uint32_t bits = (seed & 0x9E7F0000u) | 0x1E000000u;
    float r;
    std::memcpy(&r, &bits, sizeof r);
    acc += r;
    table[i] = acc;
  }
  noiseSeed.store(seed, std::memory_order_relaxed);
}

namespace {

template <bool kCabinet>
void RunEffect(FilterBank& bank, const FuzzSettings& settings, const double* noise,
               const double* in0, const double* in1, double* out0, double* out1, int n)
{
  for (int i = 0; i < n; ++i)
  {
    const double x = (in1[i] + in0[i]) + noise[i];
    double y = ProcessFuzzChain(bank, settings, x);
    if (kCabinet)
      y = ProcessCabinet(bank, y);
    out1[i] = y;
    out0[i] = y;
  }
}

}  // namespace

void ProcessEffectBlock(FilterBank& bank, const FuzzSettings& settings, const double* noise,
                        bool effectOn, bool cabinetOn, double** inputs, double** outputs,
                        int nFrames)
{
  if (nFrames <= 0)
    return;
  const double* in0 = inputs[0];
  const double* in1 = inputs[1];
  double* out0 = outputs[0];
  double* out1 = outputs[1];

  if (!effectOn)
  {
    for (int i = 0; i < nFrames; ++i)
    {
      const double v = in1[i] + in0[i];
      out1[i] = v;
      out0[i] = v;
    }
    return;
  }

  // Work on a local copy of the bank: the compiler then knows the output arrays cannot alias
  // the filter state and keeps it out of memory round trips.
  FilterBank local = bank;
  const FuzzSettings s = settings;
  // The noise table is added from its start; a block longer than the table wraps to it again.
  for (int start = 0; start < nFrames; start += kNoiseTableSize)
  {
    const int n = nFrames - start < kNoiseTableSize ? nFrames - start : kNoiseTableSize;
    if (cabinetOn)
      RunEffect<true>(local, s, noise, in0 + start, in1 + start, out0 + start, out1 + start, n);
    else
      RunEffect<false>(local, s, noise, in0 + start, in1 + start, out0 + start, out1 + start, n);
  }
  bank = local;
}
