#pragma once
// The handle of the loaded plug-in library, recorded by the library's load hook. The editor needs
// it for its window class, child windows and image resources. Natively it is the library's load
// address, the same thing a module handle is on Windows.

#include "framework/Platform.h"

HMODULE PluginModule();
void SetPluginModule(HMODULE module);
