#pragma once
// What the processor offers beyond the baseline every build assumes (SSE2 on x86), asked once where
// a library picks its code at start-up. Header-only, so the sound library can use it without
// linking the framework.

enum class CpuLevel
{
  kBaseline = 0,  // SSE2 on x86; whatever the target guarantees elsewhere
  kAvx2 = 1,      // AVX2 (64-bit x86 builds only)
  kAvx512 = 2,    // AVX-512 F and DQ (64-bit x86 builds only)
};

// True when this processor can run code built for the level. Levels above the baseline exist only
// in 64-bit x86 builds, which compile a copy of their vector loops for each.
inline bool CpuHasLevel(CpuLevel level)
{
  if (level == CpuLevel::kBaseline)
    return true;
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (level == CpuLevel::kAvx2)
    return __builtin_cpu_supports("avx2");
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
#else
  return false;
#endif
}
