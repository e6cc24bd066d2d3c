#include "vst/ModuleHandle.h"

#include <atomic>

namespace
{
std::atomic<HMODULE> gPluginModule{nullptr};
}

HMODULE PluginModule()
{
  return gPluginModule.load();
}

void SetPluginModule(HMODULE module)
{
  gPluginModule.store(module);
}
