#pragma once
// The narrow set of window-system services the editor window needs. IGraphicsWin holds all of the
// window logic (the tick, the value entry, the key table, the message handling) and reaches the
// platform only through this interface. Win32WindowSystem.cpp carries it on Windows; natively
// HeadlessWindowSystem.cpp stands in with virtual windows that tests drive by hand.
//
// Messages use the Win32 numbering on every platform (see EditorMsg below), so the window
// procedures of the Win32 layer hand their messages on unchanged.

#include <cstdint>
#include <vector>

#include "editor/IGraphicsTypes.h"
#include "framework/Platform.h"

namespace EditorMsg
{
// Message numbers.
constexpr unsigned kCreate = 0x0001;
constexpr unsigned kSetFocus = 0x0007;
constexpr unsigned kKillFocus = 0x0008;
constexpr unsigned kPaint = 0x000F;
constexpr unsigned kClose = 0x0010;
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kCommand = 0x0111;
constexpr unsigned kTimer = 0x0113;
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kLButtonDown = 0x0201;
constexpr unsigned kLButtonUp = 0x0202;
constexpr unsigned kLButtonDblClk = 0x0203;
constexpr unsigned kRButtonDown = 0x0204;
constexpr unsigned kRButtonUp = 0x0205;
constexpr unsigned kRButtonDblClk = 0x0206;
constexpr unsigned kMouseWheel = 0x020A;

// Button and key bits of a mouse message's wParam.
constexpr uintptr_t kButtonLeft = 0x0001;
constexpr uintptr_t kButtonRight = 0x0002;
constexpr uintptr_t kKeyShift = 0x0004;
constexpr uintptr_t kKeyControl = 0x0008;

constexpr int kVirtualKeyReturn = 13;
constexpr int kWheelDelta = 120;
// Notification code of WM_COMMAND for a new selection in a list.
constexpr int kNotifySelChange = 1;

// Text drawing formats.
constexpr unsigned kTextLeft = 0x0000;
constexpr unsigned kTextCenter = 0x0001;
constexpr unsigned kTextRight = 0x0002;
constexpr unsigned kTextNoClip = 0x0100;

// File dialog flags.
constexpr unsigned kFileOverwritePrompt = 0x0002;
constexpr unsigned kFilePathMustExist = 0x0800;
constexpr unsigned kFileMustExist = 0x1000;
// Colour dialog flags: CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_SOLIDCOLOR | CC_ANYCOLOR.
constexpr unsigned kColorDialogFlags = 0x193;

// Packing of mouse message parameters (positions are signed 16-bit words).
inline intptr_t PackPoint(int x, int y)
{
  return (intptr_t) (uint32_t) (((uint32_t) (uint16_t) (int16_t) y << 16) | (uint16_t) (int16_t) x);
}
inline int PointX(intptr_t lParam) { return (int) (int16_t) (uint16_t) ((uintptr_t) lParam & 0xFFFF); }
inline int PointY(intptr_t lParam) { return (int) (int16_t) (uint16_t) (((uintptr_t) lParam >> 16) & 0xFFFF); }
inline uintptr_t PackWheel(int delta, uintptr_t buttons)
{
  return (uintptr_t) (((uint32_t) (uint16_t) (int16_t) delta << 16) | (uint32_t) (buttons & 0xFFFF));
}
inline int HighWord(uintptr_t wParam) { return (int) (int16_t) (uint16_t) ((wParam >> 16) & 0xFFFF); }
}  // namespace EditorMsg

// What a value-entry child is made of: a text box with a text, or a list box with items and a
// selection (-1 selects none).
struct EntryChildSpec
{
  bool listBox = false;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  const char* text = "";            // text box: the initial text
  std::vector<const char*> items;   // list box: the entries in order
  int selected = -1;                // list box: the selected entry
};

class IEditorWindowSystem
{
public:
  static constexpr int kTimerId = 2;
  static constexpr int kEntryChildId = 99;

  virtual ~IEditorWindowSystem() {}

  // ---- The editor window class ----
  virtual bool RegisterEditorClass(HMODULE module) = 0;
  virtual void UnregisterEditorClass(HMODULE module) = 0;

  // ---- Windows ----
  // A visible child of parent at (x, y) of size w x h. While it is being created the window
  // procedure receives EditorMsg::kCreate with lParam = createParam. Null on failure.
  virtual HWND CreateEditorWindow(HWND parent, int x, int y, int w, int h, HMODULE module,
                                  void* createParam) = 0;
  // Destroys the window, its timers and its children.
  virtual void DestroyWindow(HWND window) = 0;
  virtual void SetUserData(HWND window, void* data) = 0;
  virtual void* GetUserData(HWND window) = 0;
  // The outer rectangle in screen coordinates.
  virtual bool GetScreenRect(HWND window, IRECT* r) = 0;
  // The screen position of the window's client area (where its children's coordinates start).
  virtual bool GetClientOrigin(HWND window, int* x, int* y) = 0;
  virtual HWND GetParentWindow(HWND window) = 0;
  // A child window (and not a child of a multiple-document frame).
  virtual bool IsPlainChild(HWND window) = 0;
  // New outer size, neither moved nor activated nor re-ordered.
  virtual void SetWindowSize(HWND window, int w, int h) = 0;
  virtual void StartTimer(HWND window, int id, int intervalMs) = 0;

  // ---- Painting ----
  // The part of the window waiting to be painted; false when nothing waits.
  virtual bool GetUpdateRect(HWND window, IRECT* r) = 0;
  // Adds r to the part waiting to be painted, without erasing.
  virtual void Invalidate(HWND window, const IRECT& r) = 0;
  // Paints at once what waits (the window procedure receives EditorMsg::kPaint).
  virtual void Update(HWND window) = 0;
  // Begins painting, copies r from source to the same place of the window, ends painting.
  virtual bool Present(HWND window, HDC source, const IRECT& r) = 0;

  // ---- Input ----
  virtual void SetCapture(HWND window) = 0;
  virtual void ReleaseCapture() = 0;
  virtual HWND GetCapture() = 0;
  virtual bool IsAltDown() = 0;
  // The pointer position in the window's coordinates.
  virtual void GetCursorPosition(HWND window, int* x, int* y) = 0;

  // ---- The value-entry child ----
  // Creates the child (id kEntryChildId) with the entry font, then installs the entry procedure
  // on it (the editor's EntryWindowProc) with userData as its user data, and returns it; *prevProc
  // receives the child's own procedure. Null on failure.
  virtual HWND CreateEntryChild(HWND parent, const EntryChildSpec& spec, HMODULE module,
                                void* userData, void** prevProc) = 0;
  // Gives the child its own procedure back and destroys it.
  virtual void DestroyEntryChild(HWND child, void* prevProc) = 0;
  // Copies at most capacity - 1 characters of the window's text and a terminating zero; returns
  // the number copied.
  virtual int GetText(HWND window, char* out, int capacity) = 0;
  virtual void SetText(HWND window, const char* text) = 0;

  // ---- Text on a device context ----
  virtual void SelectFont(HDC dc, int height, int orientationTenths, int weight, bool italic,
                          const char* face) = 0;
  virtual void SetTextRGB(HDC dc, int red, int green, int blue) = 0;
  // Returns the height of the drawn text, 0 when nothing was drawn.
  virtual int DrawTextIn(HDC dc, const char* text, const IRECT& r, unsigned format) = 0;

  // ---- Files, dialogs and the shell ----
  // The file name of the module (null: the host's executable); false when it cannot be had.
  virtual bool ModuleFileName(HMODULE module, char* out, int capacity) = 0;
  virtual char PathSeparator() const = 0;
  // The open (save false) or save dialog; out (capacity bytes) starts empty. True when confirmed.
  virtual bool FileDialog(HWND owner, bool save, unsigned flags, const char* initialDir, char* out,
                          int capacity) = 0;
  // The colour dialog starting at (red, green, blue); custom holds 16 colours (0x00BBGGRR).
  virtual bool ColorDialog(HWND owner, int* red, int* green, int* blue, uint32_t* custom,
                           unsigned flags, const char* prompt) = 0;
  virtual bool AskYesNo(HWND owner, const char* text, const char* caption) = 0;
  virtual void ShowMessage(HWND owner, const char* text, const char* caption) = 0;
  virtual bool InternetConnected() = 0;
  // The shell's "open" action; a result above 32 means success.
  virtual intptr_t ShellOpen(HWND owner, const char* url) = 0;
};

// The window system of the platform: Win32 on Windows, the headless stand-in natively.
IEditorWindowSystem& PlatformWindowSystem();
// The system new editors use: the platform's unless another was set (null restores it).
IEditorWindowSystem& EditorWindowSystem();
void SetEditorWindowSystem(IEditorWindowSystem* system);
