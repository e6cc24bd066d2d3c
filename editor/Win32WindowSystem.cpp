// The editor's window system on Windows: the window class, the child windows, the timer,
// painting, the value-entry child, text on the surface, the common dialogs and the shell.

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>

#include "editor/EditorWindowSystem.h"
#include "editor/IGraphicsWin.h"

static_assert(EditorMsg::kCreate == WM_CREATE, "message numbering");
static_assert(EditorMsg::kSetFocus == WM_SETFOCUS, "message numbering");
static_assert(EditorMsg::kKillFocus == WM_KILLFOCUS, "message numbering");
static_assert(EditorMsg::kPaint == WM_PAINT, "message numbering");
static_assert(EditorMsg::kClose == WM_CLOSE, "message numbering");
static_assert(EditorMsg::kKeyDown == WM_KEYDOWN, "message numbering");
static_assert(EditorMsg::kCommand == WM_COMMAND, "message numbering");
static_assert(EditorMsg::kTimer == WM_TIMER, "message numbering");
static_assert(EditorMsg::kMouseMove == WM_MOUSEMOVE, "message numbering");
static_assert(EditorMsg::kLButtonDown == WM_LBUTTONDOWN, "message numbering");
static_assert(EditorMsg::kLButtonUp == WM_LBUTTONUP, "message numbering");
static_assert(EditorMsg::kLButtonDblClk == WM_LBUTTONDBLCLK, "message numbering");
static_assert(EditorMsg::kRButtonDown == WM_RBUTTONDOWN, "message numbering");
static_assert(EditorMsg::kRButtonUp == WM_RBUTTONUP, "message numbering");
static_assert(EditorMsg::kRButtonDblClk == WM_RBUTTONDBLCLK, "message numbering");
static_assert(EditorMsg::kMouseWheel == WM_MOUSEWHEEL, "message numbering");
static_assert(EditorMsg::kButtonLeft == MK_LBUTTON && EditorMsg::kButtonRight == MK_RBUTTON &&
                EditorMsg::kKeyShift == MK_SHIFT && EditorMsg::kKeyControl == MK_CONTROL,
              "mouse key bits");
static_assert(EditorMsg::kVirtualKeyReturn == VK_RETURN, "return key");
static_assert(EditorMsg::kNotifySelChange == LBN_SELCHANGE, "selection notification");
static_assert(EditorMsg::kTextCenter == DT_CENTER && EditorMsg::kTextRight == DT_RIGHT &&
                EditorMsg::kTextLeft == DT_LEFT && EditorMsg::kTextNoClip == DT_NOCLIP,
              "text formats");
static_assert(EditorMsg::kFileOverwritePrompt == OFN_OVERWRITEPROMPT &&
                EditorMsg::kFilePathMustExist == OFN_PATHMUSTEXIST &&
                EditorMsg::kFileMustExist == OFN_FILEMUSTEXIST,
              "file dialog flags");
static_assert(EditorMsg::kColorDialogFlags ==
                (CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK | CC_SOLIDCOLOR | CC_ANYCOLOR),
              "colour dialog flags");
static_assert((WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST) == 0x50000003, "list box style");
static_assert((WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE) == 0x50000005, "text box style");

namespace
{
const char* const kEntryFontProperty = "TorvoEntryFont";

class Win32WindowSystem;
Win32WindowSystem& System();

LRESULT CALLBACK EditorWindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EntryWindowProcedure(HWND child, UINT msg, WPARAM wParam, LPARAM lParam);

UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (msg == WM_INITDIALOG)
  {
    const CHOOSECOLORA* cc = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    const char* prompt = cc ? reinterpret_cast<const char*>(cc->lCustData) : nullptr;
    if (prompt) SetWindowTextA(dialog, prompt);
  }
  return 0;
}

IRECT ToIRECT(const RECT& r) { return IRECT((int) r.left, (int) r.top, (int) r.right, (int) r.bottom); }

class Win32WindowSystem : public IEditorWindowSystem
{
public:
  bool RegisterEditorClass(HMODULE module) override
  {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = EditorWindowProcedure;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = IGraphicsWin::kWindowClassName;
    return RegisterClassA(&wc) != 0;
  }

  void UnregisterEditorClass(HMODULE module) override
  {
    UnregisterClassA(IGraphicsWin::kWindowClassName, module);
  }

  HWND CreateEditorWindow(HWND parent, int x, int y, int w, int h, HMODULE module,
                          void* createParam) override
  {
    return CreateWindowExA(0, IGraphicsWin::kWindowClassName, IGraphicsWin::kWindowTitle,
                           WS_CHILD | WS_VISIBLE, x, y, w, h, parent, nullptr, module, createParam);
  }

  void DestroyWindow(HWND window) override { ::DestroyWindow(window); }

  void SetUserData(HWND window, void* data) override
  {
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR) data);
  }

  void* GetUserData(HWND window) override
  {
    return reinterpret_cast<void*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }

  bool GetScreenRect(HWND window, IRECT* r) override
  {
    RECT rect;
    if (!window || !GetWindowRect(window, &rect)) return false;
    *r = ToIRECT(rect);
    return true;
  }

  bool GetClientOrigin(HWND window, int* x, int* y) override
  {
    POINT p = {0, 0};
    if (!window || !ClientToScreen(window, &p)) return false;
    *x = (int) p.x;
    *y = (int) p.y;
    return true;
  }

  HWND GetParentWindow(HWND window) override { return GetParent(window); }

  bool IsPlainChild(HWND window) override
  {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    return (style & WS_CHILD) && !(exStyle & WS_EX_MDICHILD);
  }

  void SetWindowSize(HWND window, int w, int h) override
  {
    SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }

  void StartTimer(HWND window, int id, int intervalMs) override
  {
    SetTimer(window, (UINT_PTR) id, (UINT) intervalMs, nullptr);
  }

  bool GetUpdateRect(HWND window, IRECT* r) override
  {
    RECT rect;
    if (!::GetUpdateRect(window, &rect, FALSE)) return false;
    *r = ToIRECT(rect);
    return true;
  }

  void Invalidate(HWND window, const IRECT& r) override
  {
    RECT rect = {r.left, r.top, r.right, r.bottom};
    InvalidateRect(window, &rect, FALSE);
  }

  void Update(HWND window) override { UpdateWindow(window); }

  bool Present(HWND window, HDC source, const IRECT& r) override
  {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc && source) BitBlt(dc, r.left, r.top, r.W(), r.H(), source, r.left, r.top, SRCCOPY);
    EndPaint(window, &ps);
    return true;
  }

  void SetCapture(HWND window) override { ::SetCapture(window); }
  void ReleaseCapture() override { ::ReleaseCapture(); }
  HWND GetCapture() override { return ::GetCapture(); }
  bool IsAltDown() override { return GetKeyState(VK_MENU) < 0; }

  void GetCursorPosition(HWND window, int* x, int* y) override
  {
    POINT p = {0, 0};
    GetCursorPos(&p);
    ScreenToClient(window, &p);
    *x = (int) p.x;
    *y = (int) p.y;
  }

  HWND CreateEntryChild(HWND parent, const EntryChildSpec& spec, HMODULE module, void* userData,
                        void** prevProc) override
  {
    const DWORD style = spec.listBox ? (WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST)
                                     : (WS_CHILD | WS_VISIBLE | ES_CENTER | ES_MULTILINE);
    HWND child = CreateWindowExA(0, spec.listBox ? "COMBOBOX" : "EDIT",
                                 spec.listBox ? "" : (spec.text ? spec.text : ""), style, spec.x,
                                 spec.y, spec.width, spec.height, parent,
                                 (HMENU) (INT_PTR) kEntryChildId, module, nullptr);
    if (!child) return nullptr;
    if (spec.listBox)
    {
      for (const char* item : spec.items) SendMessageA(child, CB_ADDSTRING, 0, (LPARAM) (item ? item : ""));
      SendMessageA(child, CB_SETCURSEL, (WPARAM) (INT_PTR) spec.selected, 0);
    }
    // The font goes to the child's own procedure, before ours is in place.
    HFONT font = CreateFontA(14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    if (font)
    {
      SendMessageA(child, WM_SETFONT, (WPARAM) font, FALSE);
      SetPropA(child, kEntryFontProperty, (HANDLE) font);
    }
    SetWindowLongPtrA(child, GWLP_USERDATA, (LONG_PTR) userData);
    LONG_PTR own = SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR) EntryWindowProcedure);
    if (prevProc) *prevProc = reinterpret_cast<void*>(own);
    return child;
  }

  void DestroyEntryChild(HWND child, void* prevProc) override
  {
    if (prevProc) SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR) prevProc);
    HFONT font = (HFONT) RemovePropA(child, kEntryFontProperty);
    ::DestroyWindow(child);
    if (font) DeleteObject(font);
  }

  int GetText(HWND window, char* out, int capacity) override
  {
    if (!out || capacity <= 0) return 0;
    out[0] = '\0';
    const int n = GetWindowTextA(window, out, capacity);
    out[capacity - 1] = '\0';
    return n < 0 ? 0 : n;
  }

  void SetText(HWND window, const char* text) override { SetWindowTextA(window, text); }

  void SelectFont(HDC dc, int height, int orientationTenths, int weight, bool italic,
                  const char* face) override
  {
    HFONT font = CreateFontA(height, 0, orientationTenths, orientationTenths, weight, italic ? 1 : 0,
                             0, 0, 0, 0, 0, 0, 0, face);
    if (dc && font) SelectObject(dc, font);
    if (dc) SetBkMode(dc, TRANSPARENT);
  }

  void SetTextRGB(HDC dc, int red, int green, int blue) override
  {
    if (dc) SetTextColor(dc, RGB(red, green, blue));
  }

  int DrawTextIn(HDC dc, const char* text, const IRECT& r, unsigned format) override
  {
    if (!dc) return 0;
    RECT rect = {r.left, r.top, r.right, r.bottom};
    return DrawTextA(dc, text, -1, &rect, format);
  }

  bool ModuleFileName(HMODULE module, char* out, int capacity) override
  {
    if (!out || capacity <= 0) return false;
    out[0] = '\0';
    const DWORD n = GetModuleFileNameA(module, out, (DWORD) capacity);
    out[capacity - 1] = '\0';
    return n > 0;
  }

  char PathSeparator() const override { return '\\'; }

  bool FileDialog(HWND owner, bool save, unsigned flags, const char* initialDir, char* out,
                  int capacity) override
  {
    if (!out || capacity <= 0) return false;
    out[0] = '\0';
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = out;
    ofn.nMaxFile = (DWORD) capacity;
    ofn.lpstrInitialDir = (initialDir && *initialDir) ? initialDir : nullptr;
    ofn.Flags = flags;
    const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    out[capacity - 1] = '\0';
    return ok != FALSE;
  }

  bool ColorDialog(HWND owner, int* red, int* green, int* blue, uint32_t* custom, unsigned flags,
                   const char* prompt) override
  {
    COLORREF colors[16];
    for (int i = 0; i < 16; ++i) colors[i] = custom ? (COLORREF) custom[i] : 0;
    CHOOSECOLORA cc;
    std::memset(&cc, 0, sizeof cc);
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = RGB(*red & 0xFF, *green & 0xFF, *blue & 0xFF);
    cc.lpCustColors = colors;
    cc.Flags = flags;
    cc.lCustData = (LPARAM) prompt;
    cc.lpfnHook = ColorDialogHook;
    const BOOL ok = ChooseColorA(&cc);
    if (custom)
      for (int i = 0; i < 16; ++i) custom[i] = (uint32_t) colors[i];
    if (!ok) return false;
    *red = GetRValue(cc.rgbResult);
    *green = GetGValue(cc.rgbResult);
    *blue = GetBValue(cc.rgbResult);
    return true;
  }

  bool AskYesNo(HWND owner, const char* text, const char* caption) override
  {
    return MessageBoxA(owner, text, caption, MB_YESNO) == IDYES;
  }

  void ShowMessage(HWND owner, const char* text, const char* caption) override
  {
    MessageBoxA(owner, text, caption, MB_OK);
  }

  bool InternetConnected() override
  {
    DWORD state = 0;
    return InternetGetConnectedState(&state, 0) != FALSE;
  }

  intptr_t ShellOpen(HWND owner, const char* url) override
  {
    return (intptr_t) ShellExecuteA(owner, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
  }
};

Win32WindowSystem& System()
{
  static Win32WindowSystem system;
  return system;
}

LRESULT CALLBACK EditorWindowProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
  intptr_t param = (intptr_t) lParam;
  if (msg == WM_CREATE)
  {
    const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    param = (intptr_t) (cs ? cs->lpCreateParams : nullptr);
  }
  if (IGraphicsWin::EditorWindowProc(System(), window, msg, (uintptr_t) wParam, param)) return 0;
  return DefWindowProcA(window, msg, wParam, lParam);
}

LRESULT CALLBACK EntryWindowProcedure(HWND child, UINT msg, WPARAM wParam, LPARAM lParam)
{
  void* ownProc = nullptr;
  switch (IGraphicsWin::EntryWindowProc(System(), child, msg, (uintptr_t) wParam, (intptr_t) lParam,
                                        &ownProc))
  {
    case IGraphicsWin::EntryHandled:
      return 0;
    case IGraphicsWin::EntryToOwnProc:
      if (ownProc) return CallWindowProcA(reinterpret_cast<WNDPROC>(ownProc), child, msg, wParam, lParam);
      return DefWindowProcA(child, msg, wParam, lParam);
    default:
      return DefWindowProcA(child, msg, wParam, lParam);
  }
}
}  // namespace

IEditorWindowSystem& PlatformWindowSystem() { return System(); }
