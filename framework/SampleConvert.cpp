#include "framework/SampleConvert.h"

#include <atomic>

#include "framework/SampleConvertLoops.h"

SampleConvertLoops SampleConvertBaseline()
{
  return kLoops;
}

namespace {

SampleConvertLoops LoopsOf(CpuLevel level)
{
  switch (level)
  {
#if defined(__x86_64__)
    case CpuLevel::kAvx2:
      return SampleConvertAvx2();
    case CpuLevel::kAvx512:
      return SampleConvertAvx512();
#endif
    default:
      return SampleConvertBaseline();
  }
}

CpuLevel BestLevel()
{
  if (CpuHasLevel(CpuLevel::kAvx512))
    return CpuLevel::kAvx512;
  if (CpuHasLevel(CpuLevel::kAvx2))
    return CpuLevel::kAvx2;
  return CpuLevel::kBaseline;
}

// Chosen once when the library is loaded; benchmarks may pick another level.
const CpuLevel gBest = BestLevel();
std::atomic<int> gLevel{(int) gBest};
std::atomic<void (*)(const float*, double*, int)> gWiden{LoopsOf(gBest).widen};
std::atomic<void (*)(const double*, float*, int)> gNarrow{LoopsOf(gBest).narrow};
std::atomic<void (*)(const double*, float*, int)> gNarrowAdd{LoopsOf(gBest).narrowAdd};

}  // namespace

void WidenSamples(const float* in, double* out, int n)
{
  gWiden.load(std::memory_order_relaxed)(in, out, n);
}

void NarrowSamples(const double* in, float* out, int n)
{
  gNarrow.load(std::memory_order_relaxed)(in, out, n);
}

void NarrowAddSamples(const double* in, float* inout, int n)
{
  gNarrowAdd.load(std::memory_order_relaxed)(in, inout, n);
}

CpuLevel ActiveSampleConvertLevel()
{
  return (CpuLevel) gLevel.load(std::memory_order_relaxed);
}

bool SetSampleConvertLevel(CpuLevel level)
{
  if (!CpuHasLevel(level))
    return false;
  const SampleConvertLoops loops = LoopsOf(level);
  gWiden.store(loops.widen, std::memory_order_relaxed);
  gNarrow.store(loops.narrow, std::memory_order_relaxed);
  gNarrowAdd.store(loops.narrowAdd, std::memory_order_relaxed);
  gLevel.store((int) level, std::memory_order_relaxed);
  return true;
}
