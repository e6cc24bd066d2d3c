// The plug-in library's entry points and load hook. Only VSTPluginMain and main are exported.

#include <mutex>

#include "vst/IPlugVST.h"
#include "vst/ModuleHandle.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#if defined(_WIN32)
#define TORVO_EXPORT
#else
#define TORVO_EXPORT __attribute__((visibility("default")))
#endif

namespace
{

// Serialises creation across hosts' threads; lives until the process ends.
std::mutex& CreationMutex()
{
  static std::mutex mutex;
  return mutex;
}

AEffect* CreateEffect(audioMasterCallback hostCallback)
{
  std::lock_guard<std::mutex> lock(CreationMutex());
  IPlugVST* plug = nullptr;
  try {
    plug = MakePlug(hostCallback);
  } catch (...) {
    // Nothing may cross the C boundary to the host; an object that could not be made is none.
    plug = nullptr;
  }
  if (!plug) return nullptr;
  plug->EnsureOnePreset();
  AEffect* effect = plug->GetAEffect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

}  // namespace

extern "C" {

TORVO_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
  return CreateEffect(hostCallback);
}

#if defined(_WIN32)
// Exported under the name "main" through the module definition file.
AEffect* VSTCALLBACK VSTMainEntry(audioMasterCallback hostCallback)
{
  return CreateEffect(hostCallback);
}
#else
// The older entry name; the symbol is named main through an assembler label, since a C++ function
// cannot be called main with this signature.
TORVO_EXPORT AEffect* VSTMainEntry(audioMasterCallback hostCallback) __asm__("main");
AEffect* VSTMainEntry(audioMasterCallback hostCallback)
{
  return CreateEffect(hostCallback);
}
#endif

}  // extern "C"

// ---- Library load hook ----
#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
  SetPluginModule(instance);
  return TRUE;
}
#else
namespace
{
// The native stand-in: when the library is loaded, record its load address as its handle.
__attribute__((constructor)) void RecordPluginModule()
{
  Dl_info info = {};
  if (dladdr(reinterpret_cast<void*>(&RecordPluginModule), &info) && info.dli_fbase) {
    SetPluginModule(static_cast<HMODULE>(info.dli_fbase));
  }
}
}  // namespace
#endif
