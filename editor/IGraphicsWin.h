#pragma once
// The concrete graphics object of the editor: the drawing of IGraphicsLice plus a window. It opens
// the editor as a child of the host's window, redraws dirty controls on a timer, turns window
// messages into the mouse and key operations of IGraphics, copies the surface to the screen, opens
// a small text box or list box over a control to type a parameter value, and offers file, colour
// and link dialogs.
//
// All of the logic lives here; the platform calls go through IEditorWindowSystem (Win32 on
// Windows, a headless stand-in natively), chosen when the object is built.
//
// Threads: everything here runs on the thread that owns the editor window.

#include <cstdint>
#include <memory>
#include <string>

#include "editor/EditorWindowSystem.h"
#include "editor/IGraphicsLice.h"

class IControl;
class IParam;

// State of the value entry.
enum EntryState : int
{
  EntryIdle = 0,     // nothing pending; the child, if any, does not have the focus
  EntryFocused = 1,  // the user is typing: the editor ignores all but a right press
  EntryRefresh = 2,  // show the parameter's current text at the next tick
  EntryCancel = 3,   // remove the child at the next tick
  EntryCommit = 4,   // take the typed or chosen value at the next tick
};

class IGraphicsWin : public IGraphicsLice
{
public:
  static constexpr const char* kWindowClassName = "IPlugWndClass";
  static constexpr const char* kWindowTitle = "IPlug";
  static constexpr int kTimerId = IEditorWindowSystem::kTimerId;
  static constexpr int kEntryChildId = IEditorWindowSystem::kEntryChildId;
  static constexpr int kEntryTextSize = 32;  // typed text limit, terminating zero included
  static constexpr int kPathSize = 256;      // module and file-name buffers

  // A frame rate <= 0 becomes 24. The window system is the one EditorWindowSystem() gives now.
  IGraphicsWin(IPlugBase* plug, int width, int height, int framesPerSecond = 0);
  ~IGraphicsWin() override;

  // The plug-in library's own module: window class, windows and image resources.
  void SetModule(HMODULE module) { mModule = module; }
  HMODULE Module() const { return mModule; }
  IEditorWindowSystem& WindowSystem() const { return *mSystem; }

  // ---- IGraphics ----
  bool PresentRegion(const IRECT& r) override;
  bool DrawTextInRect(const ITextStyle& style, const char* text, const IRECT& r) override;
  void Resize(int width, int height) override;
  bool IsWindowOpen() override { return mWindow != nullptr; }
  void OpenValueEntry(IControl* control, IParam* param) override;
  void GetHostFolder(std::string& out) override;
  void GetPluginFolder(std::string& out) override;
  void AskForFile(std::string& out, FileAction action, const char* directory = nullptr) override;
  bool AskForColor(IColorARGB& color, const char* prompt = nullptr) override;
  bool OpenLink(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
                const char* errorText = nullptr) override;
  // Opens the editor in parent; a second call while open reopens it where it was.
  HWND OpenWindow(HWND parent) override;
  // Ends a value entry as a cancel does, then destroys the window.
  void CloseWindow() override;
  HWND WindowHandle() override { return mWindow; }

  // ---- IGraphicsLice ----
  // Chooses the decoder by the name's extension ("png"; "jpg" or "jpeg", any case) and decodes the
  // resource id of the module; null for any other extension or a failed decode.
  LiceBitmap* DecodeResourceImage(int resourceId, const char* name) override;

  // ---- Window procedures (called by the window system's procedures) ----
  // The editor window's procedure. True: handled, the result is 0. False: the platform passes the
  // message to its default procedure. For EditorMsg::kCreate, lParam is the creation parameter.
  static bool EditorWindowProc(IEditorWindowSystem& system, HWND window, unsigned msg,
                               uintptr_t wParam, intptr_t lParam);
  enum EntryProcResult
  {
    EntryToDefault = 0,  // not ours: the platform's default procedure
    EntryToOwnProc = 1,  // go on to the child's own procedure
    EntryHandled = 2,    // handled, the result is 0
  };
  // The procedure installed on the value-entry child; *ownProc receives the child's own procedure
  // (for EntryToOwnProc).
  static EntryProcResult EntryWindowProc(IEditorWindowSystem& system, HWND child, unsigned msg,
                                         uintptr_t wParam, intptr_t lParam, void** ownProc);

  // One timer tick: the pending value-entry step, else the redraw of what is dirty.
  void Tick();

  // ---- Platform-neutral rules, public for the tests ----
  // trunc(1000 / framesPerSecond) milliseconds.
  static int TimerIntervalMs(double framesPerSecond);
  // The key code given to KeyDown for a virtual-key code, or -1 for a key that is ignored.
  static int KeyCodeFor(int virtualKey);
  // The signed high word of a wheel message's wParam over 120, truncated towards zero.
  static int WheelNotches(uintptr_t wParam);
  // The child to open over a control showing text (FormatForHost of the plain value).
  static EntryChildSpec EntryGeometry(const IRECT& rect, const IParam& param, const char* text);
  // The plain value a typed text stands for: the matching whole value for a parameter with value
  // texts, else the decimal number the text starts with; 0 when nothing matches. Reads at most
  // kEntryTextSize - 1 characters.
  static double ParseTypedValue(const IParam& param, const char* text);
  // The decoder an image name selects: 1 PNG, 2 JPEG, 0 none.
  static int DecoderForName(const char* name);

  // Process-wide values: the window-class registration count and the timer's frame rate.
  static int RegistrationCount();
  static double TimerFrameRate();

  // ---- State, for the tests ----
  EntryState GetEntryState() const { return mEntryState; }
  void SetEntryState(EntryState s) { mEntryState = s; }
  HWND EntryWindow() const { return mEntryWindow; }
  IControl* EntryControl() const { return mEntryControl; }
  IParam* EntryParam() const { return mEntryParam; }
  bool FontSelected() const { return mFontSelected; }

private:
  bool HandleMessage(HWND window, unsigned msg, uintptr_t wParam, intptr_t lParam);
  IMouseMod MouseMod(uintptr_t wParam);
  void EndEntry();
  void CommitEntry();
  // The parameter's display text (FormatForHost of its plain value), read under the plug-in mutex.
  void ParamText(const IParam& param, char* text, int capacity);
  void ModuleFolder(HMODULE module, std::string& out);
  void ReleaseClassRegistration();

  IEditorWindowSystem* mSystem;
  bool mFontSelected = false;
  IColorARGB mTextColor{255, 0, 0, 0};
  HMODULE mModule = nullptr;
  HWND mWindow = nullptr;
  HWND mEntryWindow = nullptr;
  IControl* mEntryControl = nullptr;
  IParam* mEntryParam = nullptr;
  void* mEntryPrevProc = nullptr;
  EntryState mEntryState = EntryIdle;
  std::unique_ptr<uint32_t[]> mCustomColors;  // 16 entries once AskForColor has run
};
