#pragma once
// Shared pieces of the stress, lifecycle and bad-input tests: instances made exactly as the
// library's entry point makes them, access to the plug-in object behind a record, the editor on the
// headless window system, and a few checks every test applies.

#include <cmath>
#include <cstdlib>
#include <vector>

#include "effect/PlugExample.h"
#include "vst/IPlugVST.h"

#ifndef TORVO_NO_EDITOR
#include "editor/HeadlessWindowSystem.h"
#include "editor/IControl.h"
#include "editor/IGraphicsWin.h"
#endif

namespace stress
{

// What VSTPluginMain does, in-process: the creation mutex, one PlugExample, at least one preset.
inline AEffect* CreateEffect(audioMasterCallback host)
{
  return VSTCreateEffect(MakePlug, host);
}

inline PlugExample* PlugOf(AEffect* effect)
{
  return effect ? dynamic_cast<PlugExample*>(static_cast<IPlugVST*>(effect->object)) : nullptr;
}

inline VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f)
{
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// Seconds a timed run lasts: TORVO_STRESS_SECONDS if set, else the default (shorter under
// ThreadSanitizer, which slows every access down).
inline double RunSeconds(double normal)
{
  if (const char* env = std::getenv("TORVO_STRESS_SECONDS"))
  {
    const double v = std::atof(env);
    if (v > 0) return v;
  }
#if defined(__SANITIZE_THREAD__)
  return normal / 2;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
  return normal / 2;
#endif
#endif
  return normal;
}

// Every parameter holds a value inside its range (NaN fails).
inline bool ParamsInRange(const IPlugBase* plug)
{
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam* p = plug->GetParam(i);
    if (!(p->Value() >= p->Min() && p->Value() <= p->Max())) return false;
  }
  return true;
}

inline std::vector<double> ParamValues(const IPlugBase* plug)
{
  std::vector<double> v;
  for (int i = 0; i < plug->NParams(); ++i) v.push_back(plug->GetParam(i)->Value());
  return v;
}

#ifndef TORVO_NO_EDITOR
// The headless window system, installed as the editor's window system with windows enabled, and a
// host window to open editors in. Natively it is the platform's system already; the Windows trees
// compile it into the test and install it in place of Win32.
inline HeadlessWindowSystem& Windows()
{
  HeadlessWindowSystem& hs = HeadlessWindowSystem::Instance();
  SetEditorWindowSystem(&hs);
  hs.EnableWindows(true);
  return hs;
}

inline IGraphicsWin* EditorOf(AEffect* effect)
{
  PlugExample* plug = PlugOf(effect);
  return plug ? dynamic_cast<IGraphicsWin*>(plug->GetGraphics()) : nullptr;
}
#endif

}  // namespace stress
