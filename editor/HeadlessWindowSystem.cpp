// The native stand-in for the Win32 window system: window records that tests drive by hand.

#include "editor/HeadlessWindowSystem.h"

#include <cstring>

#include "editor/IGraphicsWin.h"

#ifndef _WIN32
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace
{
// Stands for the entry child's own window procedure.
char sOwnEntryProc;

void CopyBounded(const std::string& text, char* out, int capacity, int* copied)
{
  *copied = 0;
  if (!out || capacity <= 0) return;
  int n = (int) text.size();
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(out, text.data(), (size_t) n);
  out[n] = '\0';
  *copied = n;
}
}  // namespace

#ifndef _WIN32
IEditorWindowSystem& PlatformWindowSystem() { return HeadlessWindowSystem::Instance(); }
#endif

HeadlessWindowSystem& HeadlessWindowSystem::Instance()
{
  static HeadlessWindowSystem instance;
  return instance;
}

HeadlessWindowSystem::HeadlessWindowSystem() {}

HeadlessWindowSystem::~HeadlessWindowSystem() {}

void HeadlessWindowSystem::Reset()
{
  *this = HeadlessWindowSystem();
}

HeadlessWindowSystem::Window* HeadlessWindowSystem::Find(HWND window)
{
  auto it = mWindows.find((uintptr_t) window);
  return it == mWindows.end() ? nullptr : it->second.get();
}

HWND HeadlessWindowSystem::NewWindow(HWND parent, const IRECT& rect)
{
  const uintptr_t id = mNextHandle;
  mNextHandle += 0x10;
  std::unique_ptr<Window> w(new Window);
  w->handle = reinterpret_cast<HWND>(id);
  w->parent = parent;
  w->rect = rect;
  mWindows[id] = std::move(w);
  return reinterpret_cast<HWND>(id);
}

HWND HeadlessWindowSystem::CreateHostWindow(int x, int y, int w, int h, int clientLeft, int clientTop)
{
  HWND window = NewWindow(nullptr, IRECT(x, y, x + w, y + h));
  Find(window)->clientLeft = clientLeft;
  Find(window)->clientTop = clientTop;
  return window;
}

std::vector<HWND> HeadlessWindowSystem::Children(HWND parent)
{
  std::vector<HWND> out;
  for (auto& kv : mWindows)
    if (kv.second->parent == parent && parent != nullptr) out.push_back(kv.second->handle);
  return out;
}

HWND HeadlessWindowSystem::EntryChildOf(HWND parent)
{
  for (HWND child : Children(parent))
  {
    Window* w = Find(child);
    if (w && w->entry && w->childId == kEntryChildId) return child;
  }
  return nullptr;
}

// ---- Driving ----

bool HeadlessWindowSystem::Send(HWND window, unsigned msg, uintptr_t wParam, intptr_t lParam)
{
  Window* w = Find(window);
  if (!w) return false;
  if (w->editor) return IGraphicsWin::EditorWindowProc(*this, window, msg, wParam, lParam);
  if (w->entry && w->entryProcInstalled)
  {
    void* ownProc = nullptr;
    return IGraphicsWin::EntryWindowProc(*this, window, msg, wParam, lParam, &ownProc) ==
           IGraphicsWin::EntryHandled;
  }
  return false;
}

bool HeadlessWindowSystem::FireTimer(HWND window, int id)
{
  Window* w = Find(window);
  if (!w || w->timers.find(id) == w->timers.end()) return false;
  Send(window, EditorMsg::kTimer, (uintptr_t) id, 0);
  return true;
}

void HeadlessWindowSystem::MoveWindow(HWND window, int x, int y)
{
  if (Window* w = Find(window))
  {
    const int width = w->rect.W(), height = w->rect.H();
    w->rect = IRECT(x, y, x + width, y + height);
  }
}

void HeadlessWindowSystem::Focus(HWND child)
{
  if (!Find(child)) return;
  HWND previous = mFocus;
  mFocus = child;
  if (previous && previous != child) Send(previous, EditorMsg::kKillFocus, (uintptr_t) child, 0);
  Send(child, EditorMsg::kSetFocus, (uintptr_t) previous, 0);
}

void HeadlessWindowSystem::Unfocus(HWND child)
{
  if (mFocus != child) return;
  mFocus = nullptr;
  Send(child, EditorMsg::kKillFocus, 0, 0);
}

void HeadlessWindowSystem::Type(HWND child, const char* text)
{
  if (Window* w = Find(child)) w->text = text ? text : "";
}

void HeadlessWindowSystem::PressKey(HWND child, int virtualKey)
{
  Send(child, EditorMsg::kKeyDown, (uintptr_t) virtualKey, 0);
}

void HeadlessWindowSystem::Choose(HWND child, int index)
{
  Window* w = Find(child);
  if (!w || index < 0 || index >= (int) w->items.size()) return;
  w->selected = index;
  w->text = w->items[(size_t) index];
  const uintptr_t wParam =
    ((uintptr_t) EditorMsg::kNotifySelChange << 16) | (uintptr_t) (w->childId & 0xFFFF);
  Send(child, EditorMsg::kCommand, wParam, (intptr_t) (uintptr_t) child);
}

// ---- Window class and windows ----

bool HeadlessWindowSystem::RegisterEditorClass(HMODULE module)
{
  ++mClassRegistrations;
  if (mClassRegistered) return false;
  mClassRegistered = true;
  return true;
}

void HeadlessWindowSystem::UnregisterEditorClass(HMODULE module)
{
  ++mClassUnregistrations;
  mClassRegistered = false;
}

HWND HeadlessWindowSystem::CreateEditorWindow(HWND parent, int x, int y, int w, int h,
                                              HMODULE module, void* createParam)
{
  if (!mWindowsEnabled || mFailNextCreate || !mClassRegistered)
  {
    mFailNextCreate = false;
    return nullptr;
  }
  HWND window = NewWindow(parent, IRECT(x, y, x + w, y + h));
  Window* rec = Find(window);
  rec->editor = true;
  rec->module = module;
  Send(window, EditorMsg::kCreate, 0, (intptr_t) createParam);
  return window;
}

void HeadlessWindowSystem::DestroyTree(HWND window)
{
  for (HWND child : Children(window)) DestroyTree(child);
  if (mCapture == window) mCapture = nullptr;
  if (mFocus == window) mFocus = nullptr;
  mWindows.erase((uintptr_t) window);
}

void HeadlessWindowSystem::DestroyWindow(HWND window)
{
  if (Find(window)) DestroyTree(window);
}

void HeadlessWindowSystem::SetUserData(HWND window, void* data)
{
  if (Window* w = Find(window)) w->userData = data;
}

void* HeadlessWindowSystem::GetUserData(HWND window)
{
  Window* w = Find(window);
  return w ? w->userData : nullptr;
}

bool HeadlessWindowSystem::GetScreenRect(HWND window, IRECT* r)
{
  Window* w = Find(window);
  if (!w) return false;
  IRECT out = w->rect;
  for (HWND p = w->parent; p; )
  {
    Window* pw = Find(p);
    if (!pw) break;
    const int dx = pw->rect.left + pw->clientLeft, dy = pw->rect.top + pw->clientTop;
    out = IRECT(out.left + dx, out.top + dy, out.right + dx, out.bottom + dy);
    p = pw->parent;
  }
  *r = out;
  return true;
}

bool HeadlessWindowSystem::GetClientOrigin(HWND window, int* x, int* y)
{
  IRECT r;
  if (!GetScreenRect(window, &r)) return false;
  Window* w = Find(window);
  *x = r.left + w->clientLeft;
  *y = r.top + w->clientTop;
  return true;
}

HWND HeadlessWindowSystem::GetParentWindow(HWND window)
{
  Window* w = Find(window);
  return w ? w->parent : nullptr;
}

bool HeadlessWindowSystem::IsPlainChild(HWND window)
{
  Window* w = Find(window);
  return w && w->parent != nullptr;
}

void HeadlessWindowSystem::SetWindowSize(HWND window, int w, int h)
{
  if (Window* rec = Find(window)) rec->rect = IRECT(rec->rect.left, rec->rect.top, rec->rect.left + w, rec->rect.top + h);
}

void HeadlessWindowSystem::StartTimer(HWND window, int id, int intervalMs)
{
  if (Window* w = Find(window)) w->timers[id] = intervalMs;
}

// ---- Painting ----

bool HeadlessWindowSystem::GetUpdateRect(HWND window, IRECT* r)
{
  Window* w = Find(window);
  if (!w || w->invalid.IsEmpty()) return false;
  *r = w->invalid;
  return true;
}

void HeadlessWindowSystem::Invalidate(HWND window, const IRECT& r)
{
  if (Window* w = Find(window))
  {
    // Clipped to the window's client area, as the platform does.
    IRECT client(0, 0, w->rect.W(), w->rect.H());
    IRECT part = r.Intersection(client);
    if (part.W() > 0 && part.H() > 0) w->invalid = w->invalid.Union(part);
  }
}

void HeadlessWindowSystem::Update(HWND window)
{
  Window* w = Find(window);
  if (w && !w->invalid.IsEmpty()) Send(window, EditorMsg::kPaint, 0, 0);
}

bool HeadlessWindowSystem::Present(HWND window, HDC source, const IRECT& r)
{
  Window* w = Find(window);
  if (!w) return false;
  w->invalid = IRECT();  // painting validates what waited
  presented.push_back(r);
  return true;
}

// ---- Input ----

void HeadlessWindowSystem::SetCapture(HWND window)
{
  if (Find(window)) mCapture = window;
}

void HeadlessWindowSystem::ReleaseCapture() { mCapture = nullptr; }

void HeadlessWindowSystem::GetCursorPosition(HWND window, int* x, int* y)
{
  int originX = 0, originY = 0;
  GetClientOrigin(window, &originX, &originY);
  *x = mCursorX - originX;
  *y = mCursorY - originY;
}

// ---- The value-entry child ----

HWND HeadlessWindowSystem::CreateEntryChild(HWND parent, const EntryChildSpec& spec, HMODULE module,
                                            void* userData, void** prevProc)
{
  if (!Find(parent)) return nullptr;
  HWND child = NewWindow(parent, IRECT(spec.x, spec.y, spec.x + spec.width, spec.y + spec.height));
  Window* w = Find(child);
  w->entry = true;
  w->listBox = spec.listBox;
  w->childId = kEntryChildId;
  w->module = module;
  w->hasFont = true;
  if (spec.listBox)
  {
    for (const char* item : spec.items) w->items.push_back(item ? item : "");
    if (spec.selected >= 0 && spec.selected < (int) w->items.size())
    {
      w->selected = spec.selected;
      w->text = w->items[(size_t) spec.selected];
    }
  }
  else
  {
    w->text = spec.text ? spec.text : "";
  }
  w->userData = userData;
  w->entryProcInstalled = true;
  if (prevProc) *prevProc = &sOwnEntryProc;
  return child;
}

void HeadlessWindowSystem::DestroyEntryChild(HWND child, void* prevProc)
{
  Window* w = Find(child);
  if (!w) return;
  if (prevProc == &sOwnEntryProc) w->entryProcInstalled = false;
  DestroyWindow(child);
}

int HeadlessWindowSystem::GetText(HWND window, char* out, int capacity)
{
  int copied = 0;
  Window* w = Find(window);
  CopyBounded(w ? w->text : std::string(), out, capacity, &copied);
  return copied;
}

void HeadlessWindowSystem::SetText(HWND window, const char* text)
{
  if (Window* w = Find(window)) w->text = text ? text : "";
}

// ---- Text ----

void HeadlessWindowSystem::SelectFont(HDC dc, int height, int orientationTenths, int weight,
                                      bool italic, const char* face)
{
  ++fontSelections;
  lastFontHeight = height;
  lastFontOrientation = orientationTenths;
  lastFontWeight = weight;
  lastFontItalic = italic;
  lastFontFace = face ? face : "";
}

void HeadlessWindowSystem::SetTextRGB(HDC dc, int red, int green, int blue)
{
  textColors.push_back(IColorARGB(255, red, green, blue));
}

int HeadlessWindowSystem::DrawTextIn(HDC dc, const char* text, const IRECT& r, unsigned format)
{
  // Nothing is rasterised without a platform font engine: record and report no height.
  texts.push_back(TextCall{text ? text : "", r, format});
  return 0;
}

// ---- Files, dialogs and the shell ----

bool HeadlessWindowSystem::ModuleFileName(HMODULE module, char* out, int capacity)
{
  if (!out || capacity <= 0) return false;
  out[0] = '\0';
  std::string name;
  auto it = moduleFileNames.find(module);
  if (it != moduleFileNames.end())
  {
    name = it->second;
  }
  else
  {
#ifndef _WIN32
    if (!module)
    {
      char buf[4096];
      const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
      if (n <= 0) return false;
      name.assign(buf, (size_t) n);
    }
    else
    {
      Dl_info info;
      if (!dladdr((const void*) module, &info) || !info.dli_fname) return false;
      name = info.dli_fname;
    }
#else
    return false;
#endif
  }
  int copied = 0;
  CopyBounded(name, out, capacity, &copied);
  return copied > 0 || name.empty();
}

bool HeadlessWindowSystem::FileDialog(HWND owner, bool save, unsigned flags, const char* initialDir,
                                      char* out, int capacity)
{
  fileDialogs.push_back(FileDialogCall{owner, save, flags, initialDir ? initialDir : ""});
  if (!fileDialogConfirms) return false;
  int copied = 0;
  CopyBounded(fileDialogResult, out, capacity, &copied);
  return true;
}

bool HeadlessWindowSystem::ColorDialog(HWND owner, int* red, int* green, int* blue,
                                       uint32_t* custom, unsigned flags, const char* prompt)
{
  ++colorDialogs;
  lastColorPrompt = prompt ? prompt : "";
  lastCustomColors = custom;
  if (!colorDialogConfirms) return false;
  *red = colorDialogResult[0];
  *green = colorDialogResult[1];
  *blue = colorDialogResult[2];
  return true;
}

bool HeadlessWindowSystem::AskYesNo(HWND owner, const char* text, const char* caption)
{
  messages.push_back(MessageCall{true, text ? text : "", caption ? caption : ""});
  return yesNoAnswer;
}

void HeadlessWindowSystem::ShowMessage(HWND owner, const char* text, const char* caption)
{
  messages.push_back(MessageCall{false, text ? text : "", caption ? caption : ""});
}

intptr_t HeadlessWindowSystem::ShellOpen(HWND owner, const char* url)
{
  openedLinks.push_back(url ? url : "");
  return shellResult;
}
