#pragma once
// Platform handle types shared by every layer. The Windows build takes them from <windows.h>;
// the native build has no window system and no module resources of its own, so the handles are
// opaque pointers that our own stand-ins give meaning to.

#ifdef _WIN32
#include <windows.h>
#else
struct TorvoOpaqueModule;
struct TorvoOpaqueWindow;
struct TorvoOpaqueDC;
struct TorvoOpaqueBitmap;
typedef TorvoOpaqueModule* HMODULE;
typedef HMODULE HINSTANCE;
typedef TorvoOpaqueWindow* HWND;
typedef TorvoOpaqueDC* HDC;
typedef TorvoOpaqueBitmap* HBITMAP;
typedef void* HGDIOBJ;
#endif
