// The editor window's logic: opening and closing, the timer tick, message handling, the value
// entry and the dialogs. Every platform call goes through IEditorWindowSystem.

#include "editor/IGraphicsWin.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "editor/IControl.h"
#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceImageLoad.h"

namespace
{
// Process-wide: how many open editors use the window class, and the frame rate handed to the timer
// of the window being created.
int sRegistrations = 0;
double sFrameRate = IGraphics::kDefaultFPS;

IEditorWindowSystem* sSystemOverride = nullptr;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decimal number at the start of s (white space skipped; sign, digits, '.', exponent), or 0
// when s does not start with one. Independent of the C locale.
double LeadingDecimal(const char* s)
{
  const char* p = s;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-')
  {
    negative = *p == '-';
    ++p;
  }
  const char* mantissa = p;
  int digits = 0;
  while (IsDigit(*p)) ++p, ++digits;
  if (*p == '.')
  {
    ++p;
    while (IsDigit(*p)) ++p, ++digits;
  }
  if (digits == 0) return 0.0;
  const char* end = p;
  bool negativeExponent = false;
  if (*p == 'e' || *p == 'E')
  {
    const char* q = p + 1;
    if (*q == '+' || *q == '-')
    {
      negativeExponent = *q == '-';
      ++q;
    }
    if (IsDigit(*q))
    {
      while (IsDigit(*q)) ++q;
      end = q;
    }
    else
    {
      negativeExponent = false;
    }
  }
  double v = 0.0;
  std::from_chars_result r = std::from_chars(mantissa, end, v);
  if (r.ec == std::errc::result_out_of_range) v = negativeExponent ? 0.0 : HUGE_VAL;
  else if (r.ec != std::errc()) v = 0.0;
  return negative ? -v : v;
}

bool EqualsIgnoringCase(const char* a, const char* b)
{
  for (; *a && *b; ++a, ++b)
  {
    char x = (*a >= 'A' && *a <= 'Z') ? (char) (*a - 'A' + 'a') : *a;
    char y = (*b >= 'A' && *b <= 'Z') ? (char) (*b - 'A' + 'a') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}
}  // namespace

IEditorWindowSystem& EditorWindowSystem()
{
  return sSystemOverride ? *sSystemOverride : PlatformWindowSystem();
}

void SetEditorWindowSystem(IEditorWindowSystem* system) { sSystemOverride = system; }

IGraphicsWin::IGraphicsWin(IPlugBase* plug, int width, int height, int framesPerSecond)
  : IGraphicsLice(plug, width, height, framesPerSecond), mSystem(&EditorWindowSystem())
{
}

IGraphicsWin::~IGraphicsWin()
{
  if (mWindow) CloseWindow();
  mCustomColors.reset();
}

// ---- Process-wide values and fixed rules ----

int IGraphicsWin::RegistrationCount() { return sRegistrations; }
double IGraphicsWin::TimerFrameRate() { return sFrameRate; }

int IGraphicsWin::TimerIntervalMs(double framesPerSecond)
{
  if (!(framesPerSecond > 0.0)) framesPerSecond = kDefaultFPS;
  return (int) (1000.0 / framesPerSecond);
}

int IGraphicsWin::KeyCodeFor(int virtualKey)
{
  switch (virtualKey)
  {
    case 32: return 0;  // space
    case 38: return 1;  // up
    case 40: return 2;  // down
    case 37: return 3;  // left
    case 39: return 4;  // right
    default: break;
  }
  if (virtualKey >= 48 && virtualKey <= 57) return virtualKey - 43;  // digits: 5..14
  if (virtualKey >= 65 && virtualKey <= 90) return virtualKey - 50;  // letters: 15..40
  return -1;
}

int IGraphicsWin::WheelNotches(uintptr_t wParam)
{
  return EditorMsg::HighWord(wParam) / EditorMsg::kWheelDelta;
}

EntryChildSpec IGraphicsWin::EntryGeometry(const IRECT& rect, const IParam& param, const char* text)
{
  EntryChildSpec spec;
  const int cx = (int) ((float) (rect.left + rect.right) * 0.5f);
  const int cy = (int) ((float) (rect.top + rect.bottom) * 0.5f);
  const int n = param.ValueTextCount();
  if (n > 0)
  {
    int width = 24;
    int selected = -1;
    for (int i = 0; i < n; ++i)
    {
      const char* t = param.ValueTextFor(i);
      const int w = 8 * (int) std::strlen(t) + 24;
      if (w > width) width = w;
      if (std::strcmp(t, text) == 0) selected = i;
      spec.items.push_back(t);
    }
    spec.listBox = true;
    spec.width = width;
    spec.height = 36 * (n + 1);
    spec.x = cx - width / 2;
    spec.y = cy;
    spec.selected = selected;
  }
  else
  {
    spec.listBox = false;
    spec.width = rect.W() > 36 ? rect.W() : 36;
    spec.height = rect.H() > 16 ? rect.H() : 16;
    spec.x = cx - spec.width / 2;
    spec.y = cy - spec.height / 2;
    spec.text = text;
  }
  return spec;
}

double IGraphicsWin::ParseTypedValue(const IParam& param, const char* text)
{
  // A bounded copy: nothing past the typed text limit is ever read.
  char typed[kEntryTextSize] = {};
  if (text)
  {
    for (int i = 0; i < kEntryTextSize - 1 && text[i]; ++i) typed[i] = text[i];
  }
  if (param.ValueTextCount() > 0)
  {
    double v = 0.0;
    if (!param.ValueForText(typed, &v)) v = 0.0;
    return v;
  }
  return LeadingDecimal(typed);
}

int IGraphicsWin::DecoderForName(const char* name)
{
  if (!name || !*name) return 0;
  size_t pos = std::strlen(name) - 1;
  while (pos > 0 && name[pos] != '.') --pos;
  const char* ext = name + pos + 1;
  if (EqualsIgnoringCase(ext, "png")) return 1;
  if (EqualsIgnoringCase(ext, "jpg") || EqualsIgnoringCase(ext, "jpeg")) return 2;
  return 0;
}

LiceBitmap* IGraphicsWin::DecodeResourceImage(int resourceId, const char* name)
{
  switch (DecoderForName(name))
  {
    case 1: return LiceLoadPNGFromResource(mModule, resourceId, nullptr);
    case 2: return LiceLoadJPGFromResource(mModule, resourceId, nullptr);
    default: return nullptr;
  }
}

// ---- The window ----

HWND IGraphicsWin::OpenWindow(HWND parent)
{
  int x = 0, y = 0, w = Width(), h = Height();
  if (mWindow)
  {
    // The position is measured against the parent's client area, where a child's coordinates
    // start: a parent with a frame or caption would otherwise shift the editor at each reopening.
    IRECT windowRect;
    int parentX = 0, parentY = 0;
    const bool known = mSystem->GetClientOrigin(parent, &parentX, &parentY) &&
                       mSystem->GetScreenRect(mWindow, &windowRect);
    CloseWindow();
    if (known)
    {
      x = windowRect.left - parentX;
      y = windowRect.top - parentY;
      w = windowRect.W();
      h = windowRect.H();
    }
  }

  if (sRegistrations++ == 0) mSystem->RegisterEditorClass(mModule);
  sFrameRate = FramesPerSecond();

  mWindow = mSystem->CreateEditorWindow(parent, x, y, w, h, mModule, this);
  if (!mWindow) ReleaseClassRegistration();
  else MarkAllDirty();
  return mWindow;
}

void IGraphicsWin::ReleaseClassRegistration()
{
  if (--sRegistrations == 0) mSystem->UnregisterEditorClass(mModule);
}

void IGraphicsWin::CloseWindow()
{
  if (!mWindow) return;
  // The child goes with the window; end the entry first so a new one can open later.
  if (mEntryWindow) EndEntry();
  mEntryState = EntryIdle;
  HWND window = mWindow;
  mSystem->DestroyWindow(window);
  mWindow = nullptr;
  ReleaseClassRegistration();
}

void IGraphicsWin::Resize(int width, int height)
{
  const int dw = width - Width();
  const int dh = height - Height();
  // The controls are about to go: an entry over one of them ends as a cancel does.
  if (mEntryWindow) EndEntry();
  mEntryState = EntryIdle;

  IGraphics::Resize(width, height);
  if (mSurface) mSurface->SetSize(width, height);

  if (mWindow)
  {
    IRECT windowRect;
    mSystem->GetScreenRect(mWindow, &windowRect);
    const int ww = windowRect.W(), wh = windowRect.H();
    HWND parent = nullptr, grandparent = nullptr;
    IRECT parentRect, grandparentRect;
    if (mSystem->IsPlainChild(mWindow))
    {
      parent = mSystem->GetParentWindow(mWindow);
      if (parent && mSystem->GetScreenRect(parent, &parentRect))
      {
        if (mSystem->IsPlainChild(parent))
        {
          grandparent = mSystem->GetParentWindow(parent);
          if (grandparent && !mSystem->GetScreenRect(grandparent, &grandparentRect)) grandparent = nullptr;
        }
      }
      else
      {
        parent = nullptr;
      }
    }
    mSystem->SetWindowSize(mWindow, ww + dw, wh + dh);
    if (parent) mSystem->SetWindowSize(parent, parentRect.W() + dw, parentRect.H() + dh);
    if (grandparent) mSystem->SetWindowSize(grandparent, grandparentRect.W() + dw, grandparentRect.H() + dh);
    mSystem->Invalidate(mWindow, IRECT(0, 0, ww, wh));
  }
}

bool IGraphicsWin::PresentRegion(const IRECT& r)
{
  HDC source = mSurface ? mSurface->GetDeviceContext() : nullptr;
  if (mWindow) mSystem->Present(mWindow, source, r);
  return true;
}

// ---- Window procedures ----

bool IGraphicsWin::EditorWindowProc(IEditorWindowSystem& system, HWND window, unsigned msg,
                                    uintptr_t wParam, intptr_t lParam)
{
  if (msg == EditorMsg::kCreate)
  {
    system.SetUserData(window, (void*) lParam);
    system.StartTimer(window, kTimerId, TimerIntervalMs(sFrameRate));
    return true;
  }
  IGraphicsWin* graphics = static_cast<IGraphicsWin*>(system.GetUserData(window));
  // Until CreateEditorWindow has returned the object does not know its window yet.
  if (!graphics || graphics->mWindow != window) return false;
  return graphics->HandleMessage(window, msg, wParam, lParam);
}

IMouseMod IGraphicsWin::MouseMod(uintptr_t wParam)
{
  return IMouseMod((wParam & EditorMsg::kButtonLeft) != 0, (wParam & EditorMsg::kButtonRight) != 0,
                   (wParam & EditorMsg::kKeyShift) != 0, (wParam & EditorMsg::kKeyControl) != 0,
                   mSystem->IsAltDown());
}

bool IGraphicsWin::HandleMessage(HWND window, unsigned msg, uintptr_t wParam, intptr_t lParam)
{
  using namespace EditorMsg;
  // While the user types, only a right press (which cancels the entry) is ours.
  if (mEntryWindow && mEntryState == EntryFocused)
  {
    if (msg == kRButtonDown)
    {
      mEntryState = EntryCancel;
      return true;
    }
    return false;
  }

  const int x = PointX(lParam);
  const int y = PointY(lParam);
  switch (msg)
  {
    case kPaint:
    {
      IRECT r;
      if (mSystem->GetUpdateRect(window, &r))
      {
        DrawRegion(r);
        // With no controls nothing was presented; validate the area anyway, or the platform
        // would ask for the same paint again and again.
        if (NControls() == 0) mSystem->Present(window, nullptr, r);
      }
      return true;
    }
    case kClose:
      CloseWindow();
      return true;
    case kKeyDown:
    {
      const int key = KeyCodeFor((int) wParam);
      if (key >= 0)
      {
        int px = 0, py = 0;
        mSystem->GetCursorPosition(window, &px, &py);
        KeyDown(px, py, key);
      }
      return true;
    }
    case kTimer:
      if (wParam == (uintptr_t) kTimerId) Tick();
      return true;
    case kMouseMove:
    {
      const IMouseMod mod = MouseMod(wParam);
      if ((mod.left || mod.right) && mSystem->GetCapture() == window) MouseDrag(x, y, mod);
      return true;
    }
    case kRButtonDown:
      if (mEntryWindow)
      {
        mEntryState = EntryCancel;
        return true;
      }
      [[fallthrough]];
    case kLButtonDown:
      mSystem->SetCapture(window);
      MouseDown(x, y, MouseMod(wParam));
      return true;
    case kLButtonUp:
    case kRButtonUp:
      mSystem->ReleaseCapture();
      MouseUp(x, y, MouseMod(wParam));
      return true;
    case kLButtonDblClk:
      if (MouseDoubleClick(x, y, MouseMod(wParam))) mSystem->SetCapture(window);
      return true;
    case kMouseWheel:
    {
      IRECT screen;
      if (!mSystem->GetScreenRect(window, &screen)) screen = IRECT();
      MouseWheel(x - screen.left, y - screen.top, MouseMod(wParam), WheelNotches(wParam));
      return true;
    }
    default:
      return false;
  }
}

IGraphicsWin::EntryProcResult IGraphicsWin::EntryWindowProc(IEditorWindowSystem& system, HWND child,
                                                            unsigned msg, uintptr_t wParam,
                                                            intptr_t lParam, void** ownProc)
{
  IGraphicsWin* graphics = static_cast<IGraphicsWin*>(system.GetUserData(child));
  if (!graphics || graphics->mEntryWindow != child) return EntryToDefault;
  if (ownProc) *ownProc = graphics->mEntryPrevProc;
  switch (msg)
  {
    case EditorMsg::kSetFocus:
      graphics->mEntryState = EntryFocused;
      return EntryToOwnProc;
    case EditorMsg::kKillFocus:
      graphics->mEntryState = EntryIdle;
      return EntryToOwnProc;
    case EditorMsg::kKeyDown:
      if (wParam == (uintptr_t) EditorMsg::kVirtualKeyReturn)
      {
        graphics->mEntryState = EntryCommit;
        return EntryHandled;
      }
      return EntryToOwnProc;
    case EditorMsg::kCommand:
      if (EditorMsg::HighWord(wParam) == EditorMsg::kNotifySelChange)
      {
        graphics->mEntryState = EntryCommit;
        return EntryHandled;
      }
      return EntryToOwnProc;
    default:
      return EntryToOwnProc;
  }
}

// ---- The tick and the value entry ----

void IGraphicsWin::Tick()
{
  if (!mWindow) return;
  if (mEntryWindow && mEntryState == EntryFocused) return;  // the window ignores its timer then
  if (mEntryWindow && mEntryState != EntryIdle)
  {
    switch (mEntryState)
    {
      case EntryRefresh:
      {
        char text[kEntryTextSize * 2];
        ParamText(*mEntryParam, text, (int) sizeof text);
        mSystem->SetText(mEntryWindow, text);
        break;
      }
      case EntryCancel:
        EndEntry();
        break;
      case EntryCommit:
        CommitEntry();
        break;
      default:
        break;
    }
    mEntryState = EntryIdle;
    return;
  }

  IRECT r;
  if (CollectDirty(r))
  {
    mSystem->Invalidate(mWindow, r);
    mSystem->Update(mWindow);
    if (mEntryWindow) mEntryState = EntryRefresh;
  }
}

void IGraphicsWin::ParamText(const IParam& param, char* text, int capacity)
{
  // Host threads write parameter values under the plug-in mutex; read this one under it too.
  IPlugBase* plug = Plugin();
  if (plug)
  {
    IMutexLock lock(plug);
    param.FormatForHost(param.Value(), false, text, capacity);
  }
  else
  {
    param.FormatForHost(param.Value(), false, text, capacity);
  }
}

void IGraphicsWin::CommitEntry()
{
  char typed[kEntryTextSize] = {};
  mSystem->GetText(mEntryWindow, typed, kEntryTextSize);
  typed[kEntryTextSize - 1] = '\0';
  const double v = ParseTypedValue(*mEntryParam, typed);
  mEntryControl->SetValueFromUser(mEntryParam->ToNormalized(v));
  EndEntry();
}

void IGraphicsWin::EndEntry()
{
  if (mEntryWindow) mSystem->DestroyEntryChild(mEntryWindow, mEntryPrevProc);
  mEntryWindow = nullptr;
  mEntryParam = nullptr;
  mEntryControl = nullptr;
  mEntryPrevProc = nullptr;
}

void IGraphicsWin::OpenValueEntry(IControl* control, IParam* param)
{
  // A child needs the editor window to live in.
  if (!control || !param || mEntryWindow || !mWindow) return;

  char text[kEntryTextSize * 2];
  ParamText(*param, text, (int) sizeof text);
  const EntryChildSpec spec = EntryGeometry(control->GetRECT(), *param, text);

  void* prevProc = nullptr;
  // The child's procedure only answers once entryWindow names it.
  mEntryControl = control;
  mEntryParam = param;
  HWND child = mSystem->CreateEntryChild(mWindow, spec, mModule, this, &prevProc);
  if (!child)
  {
    mEntryControl = nullptr;
    mEntryParam = nullptr;
    return;
  }
  mEntryWindow = child;
  mEntryPrevProc = prevProc;
}

// ---- Text ----

bool IGraphicsWin::DrawTextInRect(const ITextStyle& style, const char* text, const IRECT& r)
{
  if (!text) return true;
  HDC dc = mSurface ? mSurface->GetDeviceContext() : nullptr;
  bool fontJustSelected = false;
  if (!mFontSelected)
  {
    mSystem->SelectFont(dc, style.size, style.orientation * 10,
                        style.style == ITextStyle::kStyleBold ? 700 : 0,
                        style.style == ITextStyle::kStyleItalic, style.face);
    mFontSelected = true;
    fontJustSelected = true;
  }
  if (fontJustSelected || style.color != mTextColor)
  {
    mSystem->SetTextRGB(dc, style.color.red, style.color.green, style.color.blue);
    mTextColor = style.color;
  }
  unsigned format = EditorMsg::kTextNoClip;
  if (style.align == ITextStyle::kAlignCenter) format |= EditorMsg::kTextCenter;
  else if (style.align == ITextStyle::kAlignFar) format |= EditorMsg::kTextRight;
  else format |= EditorMsg::kTextLeft;
  return mSystem->DrawTextIn(dc, text, r, format) != 0;
}

// ---- Folders, dialogs and links ----

void IGraphicsWin::ModuleFolder(HMODULE module, std::string& out)
{
  out.clear();
  char name[kPathSize] = {};
  if (!mSystem->ModuleFileName(module, name, kPathSize)) return;
  name[kPathSize - 1] = '\0';
  const char* last = std::strrchr(name, mSystem->PathSeparator());
  if (!name[0] || !last || last[1] == '\0') return;
  out.assign(name, (size_t) (last - name) + 1);
}

void IGraphicsWin::GetHostFolder(std::string& out) { ModuleFolder(nullptr, out); }

void IGraphicsWin::GetPluginFolder(std::string& out) { ModuleFolder(mModule, out); }

void IGraphicsWin::AskForFile(std::string& out, FileAction action, const char* directory)
{
  out.clear();
  if (!mWindow) return;
  std::string initialDir;
  if (directory && *directory) initialDir = directory;
  else GetHostFolder(initialDir);

  const bool save = action == FileSave;
  const unsigned flags = save ? (EditorMsg::kFileOverwritePrompt | EditorMsg::kFilePathMustExist)
                              : (EditorMsg::kFileMustExist | EditorMsg::kFilePathMustExist);
  char path[kPathSize] = {};
  if (mSystem->FileDialog(mWindow, save, flags, initialDir.c_str(), path, kPathSize))
  {
    path[kPathSize - 1] = '\0';
    out = path;
  }
}

bool IGraphicsWin::AskForColor(IColorARGB& color, const char* prompt)
{
  if (!mWindow) return false;
  if (!mCustomColors) mCustomColors.reset(new uint32_t[16]());
  int red = color.red & 0xFF, green = color.green & 0xFF, blue = color.blue & 0xFF;
  if (!mSystem->ColorDialog(mWindow, &red, &green, &blue, mCustomColors.get(),
                            EditorMsg::kColorDialogFlags, prompt))
    return false;
  color.red = red;
  color.green = green;
  color.blue = blue;
  return true;
}

bool IGraphicsWin::OpenLink(const char* url, const char* title, const char* confirmText,
                            const char* errorText)
{
  if (confirmText && !mSystem->AskYesNo(mWindow, confirmText, title)) return false;
  if (url && mSystem->InternetConnected() && mSystem->ShellOpen(mWindow, url) > 32) return true;
  if (errorText) mSystem->ShowMessage(mWindow, errorText, title);
  return false;
}
