#pragma once
// Windows side of the test host: loading the plug-in DLL named by the environment variable
// TORVO_DLL and owning effect instances made from it.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/wine/TestHost.h"

namespace testhost {

inline std::string EnvVar(const char* name)
{
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// One LoadLibrary of the plug-in; FreeLibrary on destruction.
class PluginModule
{
public:
  PluginModule()
  {
    path = EnvVar("TORVO_DLL");
    if (path.empty())
    {
      error = "TORVO_DLL is not set (it names the plug-in DLL to test)";
      return;
    }
    handle = LoadLibraryA(path.c_str());
    if (!handle)
    {
      error = "LoadLibrary(" + path + ") failed, error " + std::to_string(GetLastError());
      return;
    }
    vstPluginMain = (PluginEntry) (void*) GetProcAddress(handle, "VSTPluginMain");
    mainEntry = (PluginEntry) (void*) GetProcAddress(handle, "main");
  }
  ~PluginModule()
  {
    if (handle)
      FreeLibrary(handle);
  }
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  bool Loaded() const { return handle && vstPluginMain; }
  PluginEntry Entry() const { return vstPluginMain ? vstPluginMain : mainEntry; }

  std::string path;
  std::string error;
  HMODULE handle = nullptr;
  PluginEntry vstPluginMain = nullptr;
  PluginEntry mainEntry = nullptr;
};

// One effect instance; closed with effClose on destruction unless already closed.
class Instance
{
public:
  explicit Instance(PluginEntry entry) : effect(entry ? entry(HostCallback) : nullptr) {}
  ~Instance() { Close(); }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.f)
  {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  float Get(int index) { return effect->getParameter(effect, index); }
  void Set(int index, float value) { effect->setParameter(effect, index, value); }

  // What a host does after loading: open, sample rate, block size, mains on.
  void StartLikeAHost(float rate = 44100.f, int blockSize = 512)
  {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
  }

  std::string Text(VstInt32 opcode, VstInt32 index)
  {
    char buf[256] = {};
    Dispatch(opcode, index, 0, buf);
    return buf;
  }

  void Close()
  {
    if (effect)
    {
      effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.f);
      effect = nullptr;
    }
  }

  AEffect* effect;
};

}  // namespace testhost
