#include "tools/render/VstHost.h"

#include <dlfcn.h>

#include <cstring>

namespace
{

VstTimeInfo gTime = {};
constexpr char kHostName[] = "torvo-render";

VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt)
{
  switch (opcode) {
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&gTime);
    case audioMasterGetProductString:
      if (ptr) std::memcpy(ptr, kHostName, sizeof(kHostName));
      return 1;
    case audioMasterGetVendorVersion:
      return 10000;
    default:
      return 0;
  }
}

typedef AEffect*(VSTCALLBACK* EntryProc)(audioMasterCallback);

}  // namespace

VstHost::~VstHost()
{
  Close();
}

void VstHost::SetTime(double samplePos, double sampleRate)
{
  gTime.samplePos = samplePos;
  gTime.sampleRate = sampleRate;
  gTime.tempo = 120.0;
  gTime.timeSigNumerator = 4;
  gTime.timeSigDenominator = 4;
  gTime.flags = kVstTempoValid | kVstTimeSigValid;
}

bool VstHost::Load(const std::string& path, std::string* error)
{
  Close();
  // A bare name would be searched on the library path; a plug-in is always named by its file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  mLibrary = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mLibrary) {
    const char* reason = dlerror();
    *error = "cannot load plug-in " + path + ": " + (reason ? reason : "unknown reason");
    return false;
  }
  void* entry = dlsym(mLibrary, "VSTPluginMain");
  if (!entry) entry = dlsym(mLibrary, "main");
  if (!entry) {
    *error = path + " has no VST 2 entry point (VSTPluginMain or main)";
    Close();
    return false;
  }
  mEffect = reinterpret_cast<EntryProc>(entry)(HostCallback);
  if (!mEffect) {
    *error = "plug-in " + path + " made no effect";
    Close();
    return false;
  }
  if (mEffect->magic != kEffectMagic || !mEffect->dispatcher) {
    *error = "plug-in " + path + " returned something that is not a VST 2 effect";
    mEffect = nullptr;  // not ours to close
    Close();
    return false;
  }
  return true;
}

VstIntPtr VstHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
  if (!mEffect) return 0;
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

std::string VstHost::Text(VstInt32 opcode, VstInt32 index)
{
  char buffer[1024];
  std::memset(buffer, 0, sizeof(buffer));
  Dispatch(opcode, index, 0, buffer);
  buffer[sizeof(buffer) - 1] = '\0';
  return buffer;
}

void VstHost::Close()
{
  if (mEffect) {
    Dispatch(effClose);
    mEffect = nullptr;
  }
  if (mLibrary) {
    dlclose(mLibrary);
    mLibrary = nullptr;
  }
}
