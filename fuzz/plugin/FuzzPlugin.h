#pragma once
// Shared pieces of the plug-in's fuzz targets: instances made as the entry point makes them, a
// host that answers nothing, and the checks whose failure stops the run (abort, so libFuzzer keeps
// the input).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effect/PlugExample.h"
#include "vst/IPlugVST.h"

namespace fuzzplug
{

inline VstIntPtr VSTCALLBACK QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
  return 0;
}

inline AEffect* Create()
{
  return VSTCreateEffect(MakePlug, &QuietHost);
}

inline PlugExample* PlugOf(AEffect* effect)
{
  return dynamic_cast<PlugExample*>(static_cast<IPlugVST*>(effect->object));
}

inline VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

[[noreturn]] inline void Fail(const char* what)
{
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void Require(bool ok, const char* what)
{
  if (!ok) Fail(what);
}

inline void RequireParamsInRange(AEffect* e)
{
  const PlugExample* plug = PlugOf(e);
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam* p = plug->GetParam(i);
    Require(p->Value() >= p->Min() && p->Value() <= p->Max(), "a parameter outside its range");
    const float normalized = e->getParameter(e, i);
    Require(normalized >= 0.0f && normalized <= 1.0f, "getParameter outside 0..1");
  }
}

// One block through the 64-bit entry; every sample must come out finite.
inline void RequireFiniteBlock(AEffect* e, int frames)
{
  std::vector<double> in0(frames, 0.5), in1(frames, -0.25), out0(frames), out1(frames);
  double* ins[2] = {in0.data(), in1.data()};
  double* outs[2] = {out0.data(), out1.data()};
  e->processDoubleReplacing(e, ins, outs, frames);
  for (int i = 0; i < frames; ++i) Require(std::isfinite(out0[i]) && std::isfinite(out1[i]), "a non-finite sample");
}

}  // namespace fuzzplug
