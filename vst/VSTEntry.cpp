// The plug-in library's entry points and load hook. Only VSTPluginMain and main are exported.

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

extern "C" {

TORVO_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
  return VSTCreateEffect(MakePlug, hostCallback);
}

#if defined(_WIN32)
// Exported under the name "main" through the module definition file.
AEffect* VSTCALLBACK VSTMainEntry(audioMasterCallback hostCallback)
{
  return VSTCreateEffect(MakePlug, hostCallback);
}
#else
// The older entry name; the symbol is named main through an assembler label, since a C++ function
// cannot be called main with this signature.
TORVO_EXPORT AEffect* VSTMainEntry(audioMasterCallback hostCallback) __asm__("main");
AEffect* VSTMainEntry(audioMasterCallback hostCallback)
{
  return VSTCreateEffect(MakePlug, hostCallback);
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
