#pragma once
// A window system without a screen: the native stand-in for Win32. Windows are records with a
// rectangle, user data, timers, a region waiting to be painted and, for the value-entry child, a
// text, list items and a selection. Nothing happens by itself: tests deliver messages, fire the
// timer, move the pointer, type and choose by hand, and read back what the editor asked for.
//
// Editor windows open only after EnableWindows(true): a native host cannot embed an editor
// window, so by default CreateEditorWindow answers "no window" and the plug-in reports that.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditorWindowSystem.h"

class HeadlessWindowSystem : public IEditorWindowSystem
{
public:
  struct Window
  {
    HWND handle = nullptr;
    HWND parent = nullptr;
    IRECT rect;               // relative to the parent's client area; on the screen if top-level
    int clientLeft = 0;       // where the client area starts inside rect (frame and caption)
    int clientTop = 0;
    bool editor = false;      // an editor window: messages go to the editor's procedure
    bool entry = false;       // a value-entry child
    bool listBox = false;     // entry child: a list box (else a text box)
    bool entryProcInstalled = false;
    bool hasFont = false;
    int childId = 0;
    HMODULE module = nullptr;
    void* userData = nullptr;
    std::map<int, int> timers;  // id -> interval in ms
    IRECT invalid;              // waiting to be painted (empty: nothing)
    std::string text;
    std::vector<std::string> items;
    int selected = -1;
  };

  struct FileDialogCall
  {
    HWND owner;
    bool save;
    unsigned flags;
    std::string initialDir;
  };
  struct MessageCall
  {
    bool yesNo;
    std::string text;
    std::string caption;
  };
  struct TextCall
  {
    std::string text;
    IRECT rect;
    unsigned format;
  };

  // The instance the native build uses by default.
  static HeadlessWindowSystem& Instance();

  HeadlessWindowSystem();
  ~HeadlessWindowSystem() override;
  HeadlessWindowSystem(HeadlessWindowSystem&&) = default;
  HeadlessWindowSystem& operator=(HeadlessWindowSystem&&) = default;

  // ---- Set-up by tests ----
  void EnableWindows(bool enable) { mWindowsEnabled = enable; }
  bool WindowsEnabled() const { return mWindowsEnabled; }
  // Makes the next CreateEditorWindow fail even when windows are enabled.
  void FailNextCreate() { mFailNextCreate = true; }
  // A top-level window standing for the host's, at (x, y) on the screen; a framed one has its
  // client area (clientLeft, clientTop) inside its outer rectangle.
  HWND CreateHostWindow(int x, int y, int w, int h, int clientLeft = 0, int clientTop = 0);
  // Destroys every window and forgets every record and scripted answer.
  void Reset();

  // ---- Driving ----
  // Delivers a message as the platform would; true when a procedure handled it.
  bool Send(HWND window, unsigned msg, uintptr_t wParam = 0, intptr_t lParam = 0);
  // Fires the window's timer once (if it has one with this id).
  bool FireTimer(HWND window, int id = kTimerId);
  void MoveWindow(HWND window, int x, int y);
  void SetCursorScreen(int x, int y)
  {
    mCursorX = x;
    mCursorY = y;
  }
  void SetAltDown(bool down) { mAltDown = down; }
  // The user gives the child the keyboard focus / takes it away.
  void Focus(HWND child);
  void Unfocus(HWND child);
  // The user types: the child's text becomes text.
  void Type(HWND child, const char* text);
  // A key pressed while the child has the focus.
  void PressKey(HWND child, int virtualKey);
  // The user picks list entry index: selection, text and the selection notification.
  void Choose(HWND child, int index);

  // ---- Reading back ----
  Window* Find(HWND window);
  bool Exists(HWND window) { return Find(window) != nullptr; }
  std::vector<HWND> Children(HWND parent);
  // The entry child of a window (id kEntryChildId), or null.
  HWND EntryChildOf(HWND parent);
  int ClassRegistrations() const { return mClassRegistrations; }
  int ClassUnregistrations() const { return mClassUnregistrations; }
  bool ClassRegistered() const { return mClassRegistered; }
  HWND Focused() const { return mFocus; }

  std::vector<IRECT> presented;  // every Present, in order
  std::vector<TextCall> texts;   // every DrawText
  int fontSelections = 0;
  int lastFontHeight = 0, lastFontOrientation = 0, lastFontWeight = 0;
  bool lastFontItalic = false;
  std::string lastFontFace;
  std::vector<IColorARGB> textColors;

  // ---- Scripted answers ----
  std::map<HMODULE, std::string> moduleFileNames;  // overrides the real file names
  char pathSeparator = '/';
  bool fileDialogConfirms = false;
  std::string fileDialogResult;
  std::vector<FileDialogCall> fileDialogs;
  bool colorDialogConfirms = false;
  int colorDialogResult[3] = {0, 0, 0};
  int colorDialogs = 0;
  std::string lastColorPrompt;
  uint32_t* lastCustomColors = nullptr;
  bool yesNoAnswer = false;
  std::vector<MessageCall> messages;
  bool internetConnected = true;
  intptr_t shellResult = 42;
  std::vector<std::string> openedLinks;

  // ---- IEditorWindowSystem ----
  bool RegisterEditorClass(HMODULE module) override;
  void UnregisterEditorClass(HMODULE module) override;
  HWND CreateEditorWindow(HWND parent, int x, int y, int w, int h, HMODULE module,
                          void* createParam) override;
  void DestroyWindow(HWND window) override;
  void SetUserData(HWND window, void* data) override;
  void* GetUserData(HWND window) override;
  bool GetScreenRect(HWND window, IRECT* r) override;
  bool GetClientOrigin(HWND window, int* x, int* y) override;
  HWND GetParentWindow(HWND window) override;
  bool IsPlainChild(HWND window) override;
  void SetWindowSize(HWND window, int w, int h) override;
  void StartTimer(HWND window, int id, int intervalMs) override;
  bool GetUpdateRect(HWND window, IRECT* r) override;
  void Invalidate(HWND window, const IRECT& r) override;
  void Update(HWND window) override;
  bool Present(HWND window, HDC source, const IRECT& r) override;
  void SetCapture(HWND window) override;
  void ReleaseCapture() override;
  HWND GetCapture() override { return mCapture; }
  bool IsAltDown() override { return mAltDown; }
  void GetCursorPosition(HWND window, int* x, int* y) override;
  HWND CreateEntryChild(HWND parent, const EntryChildSpec& spec, HMODULE module, void* userData,
                        void** prevProc) override;
  void DestroyEntryChild(HWND child, void* prevProc) override;
  int GetText(HWND window, char* out, int capacity) override;
  void SetText(HWND window, const char* text) override;
  void SelectFont(HDC dc, int height, int orientationTenths, int weight, bool italic,
                  const char* face) override;
  void SetTextRGB(HDC dc, int red, int green, int blue) override;
  int DrawTextIn(HDC dc, const char* text, const IRECT& r, unsigned format) override;
  bool ModuleFileName(HMODULE module, char* out, int capacity) override;
  char PathSeparator() const override { return pathSeparator; }
  bool FileDialog(HWND owner, bool save, unsigned flags, const char* initialDir, char* out,
                  int capacity) override;
  bool ColorDialog(HWND owner, int* red, int* green, int* blue, uint32_t* custom, unsigned flags,
                   const char* prompt) override;
  bool AskYesNo(HWND owner, const char* text, const char* caption) override;
  void ShowMessage(HWND owner, const char* text, const char* caption) override;
  bool InternetConnected() override { return internetConnected; }
  intptr_t ShellOpen(HWND owner, const char* url) override;

private:
  HWND NewWindow(HWND parent, const IRECT& rect);
  void DestroyTree(HWND window);

  std::map<uintptr_t, std::unique_ptr<Window>> mWindows;
  uintptr_t mNextHandle = 0x1000;
  bool mWindowsEnabled = false;
  bool mFailNextCreate = false;
  bool mClassRegistered = false;
  int mClassRegistrations = 0;
  int mClassUnregistrations = 0;
  HWND mCapture = nullptr;
  HWND mFocus = nullptr;
  int mCursorX = 0;
  int mCursorY = 0;
  bool mAltDown = false;
};
