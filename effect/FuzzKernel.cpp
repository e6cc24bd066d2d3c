#include "effect/FuzzKernel.h"

#include <atomic>

#include "effect/FuzzKernelPlain.h"
#include "framework/CpuFeatures.h"

namespace {

constexpr int kNoiseLength = 44100;  // entries in the noise table

// Shortest block for which each level's schedule beats the plain loop: below it, filling and
// draining the schedule costs more than the overlap of the sections saves (measured with the
// chain benchmark; the plain loop is used for shorter blocks at every level).
constexpr int kMinScheduleFrames[4] = {0, 7, 8, 4};
static_assert(kMinScheduleFrames[1] >= kFuzzScheduleShortest
                  && kMinScheduleFrames[2] >= kFuzzScheduleShortest
                  && kMinScheduleFrames[3] >= kFuzzScheduleShortest,
              "blocks shorter than kFuzzScheduleShortest take the plain loop at every level");

bool CpuHas(FuzzKernelLevel isa)
{
#if defined(__x86_64__) || defined(__i386__)
  switch (isa)
  {
    case FuzzKernelLevel::kPlain:
    case FuzzKernelLevel::kSse2:
      return true;
    case FuzzKernelLevel::kAvx2:
      return CpuHasLevel(CpuLevel::kAvx2);
    case FuzzKernelLevel::kAvx512:
      return CpuHasLevel(CpuLevel::kAvx512);
  }
  return false;
#else
  return isa == FuzzKernelLevel::kPlain;
#endif
}

FuzzKernelLevel FindBestLevel()
{
  if (CpuHas(FuzzKernelLevel::kAvx512))
    return FuzzKernelLevel::kAvx512;
  if (CpuHas(FuzzKernelLevel::kAvx2))
    return FuzzKernelLevel::kAvx2;
  if (CpuHas(FuzzKernelLevel::kSse2))
    return FuzzKernelLevel::kSse2;
  return FuzzKernelLevel::kPlain;
}

using ScheduleFn = void (*)(const FuzzKernelJob&);
ScheduleFn ScheduleOf(FuzzKernelLevel isa);

// Chosen once when the library is loaded; tests and benchmarks may pick another level.
const FuzzKernelLevel gBestLevel = FindBestLevel();
std::atomic<int> gActiveLevel{(int) gBestLevel};
// What a block needs of the active level, kept ready so a block pays one load for it.
std::atomic<ScheduleFn> gActiveSchedule{ScheduleOf(gBestLevel)};
std::atomic<int> gActiveMinFrames{kMinScheduleFrames[(int) gBestLevel]};

ScheduleFn ScheduleOf(FuzzKernelLevel isa)
{
  switch (isa)
  {
    case FuzzKernelLevel::kSse2:
      return RunFuzzScheduleSse2;
#if defined(__x86_64__)
    case FuzzKernelLevel::kAvx2:
      return RunFuzzScheduleAvx2;
    case FuzzKernelLevel::kAvx512:
      return RunFuzzScheduleAvx512;
#endif
    default:
      return nullptr;
  }
}

}  // namespace

FuzzKernelLevel BestFuzzKernelLevel()
{
  return gBestLevel;
}

bool FuzzKernelLevelSupported(FuzzKernelLevel isa)
{
  if (isa == FuzzKernelLevel::kPlain)
    return true;
  return ScheduleOf(isa) != nullptr && CpuHas(isa);
}

FuzzKernelLevel ActiveFuzzKernelLevel()
{
  return (FuzzKernelLevel) gActiveLevel.load(std::memory_order_relaxed);
}

bool SetFuzzKernelLevel(FuzzKernelLevel isa)
{
  if (!FuzzKernelLevelSupported(isa))
    return false;
  gActiveLevel.store((int) isa, std::memory_order_relaxed);
  gActiveSchedule.store(ScheduleOf(isa), std::memory_order_relaxed);
  gActiveMinFrames.store(kMinScheduleFrames[(int) isa], std::memory_order_relaxed);
  return true;
}

const char* FuzzKernelLevelName(FuzzKernelLevel isa)
{
  switch (isa)
  {
    case FuzzKernelLevel::kPlain:
      return "plain";
    case FuzzKernelLevel::kSse2:
      return "sse2";
    case FuzzKernelLevel::kAvx2:
      return "avx2";
    case FuzzKernelLevel::kAvx512:
      return "avx512";
  }
  return "?";
}

void RunFuzzPlain(const FuzzKernelJob& job)
{
  RunFuzzPlainInline(job);
}

namespace {

// A block longer than the noise table, in pieces: position i of the block takes noise entry i;
// past the end of the table it starts again. Kept out of line so that the usual block pays
// nothing for it.
__attribute__((noinline)) void RunLongBlock(ScheduleFn schedule, int minFrames,
                                            FuzzKernelJob job, double** inputs, double** outputs,
                                            int frames)
{
  for (int start = 0; start < frames; start += kNoiseLength)
  {
    const int n = frames - start < kNoiseLength ? frames - start : kNoiseLength;
    job.in0 = inputs[0] + start;
    job.in1 = inputs[1] + start;
    job.out0 = outputs[0] + start;
    job.out1 = outputs[1] + start;
    job.frames = n;
    if (schedule && n >= minFrames)
      schedule(job);
    else
      RunFuzzPlain(job);
  }
}

inline void RunBlock(ScheduleFn schedule, int minFrames, FilterBank& bank, const double* noise,
                     bool cabinetOn, double level, double attack, double drive, double** inputs,
                     double** outputs, int frames)
{
  if (frames <= 0)
    return;
  const FuzzKernelJob job =
      MakeFuzzJob(bank, noise, cabinetOn, level, attack, drive, inputs, outputs, frames);
  if (frames > kNoiseLength)
    RunLongBlock(schedule, minFrames, job, inputs, outputs, frames);
  else if (schedule && frames >= minFrames)
    schedule(job);
  else
    RunFuzzPlainInline(job);
}

}  // namespace

void RunFuzzKernelAt(FuzzKernelLevel isa, FilterBank& bank, const double* noise, bool cabinetOn,
                     double level, double attack, double drive, double** inputs, double** outputs,
                     int frames)
{
  const ScheduleFn schedule = FuzzKernelLevelSupported(isa) ? ScheduleOf(isa) : nullptr;
  RunBlock(schedule, kMinScheduleFrames[(int) isa & 3], bank, noise, cabinetOn, level, attack,
           drive, inputs, outputs, frames);
}

void RunFuzzKernel(FilterBank& bank, const double* noise, bool cabinetOn, double level,
                   double attack, double drive, double** inputs, double** outputs, int frames)
{
  RunBlock(gActiveSchedule.load(std::memory_order_relaxed),
           gActiveMinFrames.load(std::memory_order_relaxed), bank, noise, cabinetOn, level, attack,
           drive, inputs, outputs, frames);
}

void RunFuzzBypass(double** inputs, double** outputs, int frames)
{
  const double* in0 = inputs[0];
  const double* in1 = inputs[1];
  double* out0 = outputs[0];
  double* out1 = outputs[1];
  for (int i = 0; i < frames; ++i)
  {
    const double v = in1[i] + in0[i];
    out1[i] = v;
    out0[i] = v;
  }
}
