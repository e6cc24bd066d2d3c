#pragma once
// The platform-neutral heart of the editor. One graphics object belongs to one plug-in object:
// it owns the controls in the order they were added, links them to the plug-in's parameters in
// both directions, collects the controls that need redrawing, redraws them in order and routes
// mouse and key events to the right control. It draws no pixels and knows no window:
// IGraphicsLice adds the surface and the drawing operations, IGraphicsWin the window.
//
// Threads: the window's thread runs the timer, painting and input; host threads call
// OnParamFromPlugin and SetControlValue with the plug-in mutex held. No lock is taken here; the
// control fields that cross threads are relaxed atomics (see IControl.h).

#include <cstdint>
#include <string>
#include <vector>

#include "editor/IGraphicsTypes.h"
#include "framework/IGraphicsLink.h"

// The Windows headers rename LoadBitmap; the editor's own operation keeps its name.
#ifdef LoadBitmap
#undef LoadBitmap
#endif

class IControl;
class IParam;
class IPlugBase;

class IGraphics : public IGraphicsLink
{
public:
  static constexpr int kDefaultFPS = 24;

  // A frame rate <= 0 becomes kDefaultFPS.
  IGraphics(IPlugBase* plug, int width, int height, int framesPerSecond = 0);
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Drawing and window operations (IGraphicsLice / IGraphicsWin) ----
  void CreateSurface() override = 0;
  // Copies the redrawn rectangle of the surface to the screen.
  virtual bool PresentRegion(const IRECT& r) = 0;
  // Draws the part of the bitmap starting at (srcX, srcY) into dest, clipped to the region being
  // redrawn. A null blend means "normal blend at full weight".
  virtual bool DrawBitmapRegion(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                                const IBlend* blend = nullptr) = 0;
  // The whole image rotated by angle (radians) about (centreX, centreY + pivotYOffset).
  virtual bool DrawBitmapRotated(const IBitmap& bitmap, int centreX, int centreY, double angle,
                                 int pivotYOffset = 0, const IBlend* blend = nullptr) = 0;
  // Base with mask added and top copied, both rotated by angle (degrees), drawn at (x, y).
  virtual bool DrawMaskedRotated(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x,
                                 int y, double angle, const IBlend* blend = nullptr) = 0;
  virtual bool PlotPoint(const IColorARGB& color, float x, float y, const IBlend* blend = nullptr) = 0;
  // Stores one pixel, no blending; (x, y) must lie inside the surface.
  virtual bool WritePixel(const IColorARGB& color, int x, int y) = 0;
  virtual bool DrawLine(const IColorARGB& color, float x1, float y1, float x2, float y2,
                        const IBlend* blend = nullptr, bool antiAlias = false) = 0;
  // Angles in radians.
  virtual bool DrawArc(const IColorARGB& color, float cx, float cy, float r, float startAngle,
                       float endAngle, const IBlend* blend = nullptr, bool antiAlias = false) = 0;
  virtual bool DrawCircle(const IColorARGB& color, float cx, float cy, float r,
                          const IBlend* blend = nullptr, bool antiAlias = false) = 0;
  virtual bool FillRect(const IColorARGB& color, const IRECT& r, const IBlend* blend = nullptr) = 0;
  virtual bool DrawTextInRect(const ITextStyle& style, const char* text, const IRECT& r) = 0;
  virtual IColorARGB ReadPixel(int x, int y) = 0;
  // The surface's pixel memory (32-bit ARGB words), null before CreateSurface.
  virtual std::uint32_t* SurfacePixels() = 0;
  // New size; drops every control (the caller adds them again) and tells the plug-in.
  virtual void Resize(int width, int height);
  virtual bool IsWindowOpen() { return WindowHandle() != nullptr; }
  virtual void OpenValueEntry(IControl* control, IParam* param) = 0;
  // The folder of the host's executable / of the plug-in module, with a trailing separator; empty
  // when it cannot be found.
  virtual void GetHostFolder(std::string& out) = 0;
  virtual void GetPluginFolder(std::string& out) = 0;
  // A path chosen by the user, empty when cancelled or when no window is open.
  virtual void AskForFile(std::string& out, FileAction action, const char* directory = nullptr) = 0;
  virtual bool AskForColor(IColorARGB& color, const char* prompt = nullptr) = 0;
  virtual bool OpenLink(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
                        const char* errorText = nullptr) = 0;
  HWND OpenWindow(HWND parent) override = 0;
  void CloseWindow() override = 0;
  virtual HWND WindowHandle() = 0;
  // Destroys the controls, last added first.
  ~IGraphics() override;
  // The image of a resource, decoded once per process; every handle of one id shares its pixels.
  virtual IBitmap LoadBitmap(int resourceId, const char* name, int frames = 1) = 0;
  virtual IBitmap ResizedBitmap(const IBitmap& bitmap, int width, int height) = 0;
  virtual IBitmap CroppedBitmap(const IBitmap& bitmap, const IRECT& r) = 0;
  // Loads the image and inserts an opaque bitmap control for it at index 0.
  virtual void AddBackground(int resourceId, const char* name);
  // Opaque one-pixel lines between two points, ends included.
  virtual void DrawVLine(const IColorARGB& color, int x, int y1, int y2);
  virtual void DrawHLine(const IColorARGB& color, int y, int x1, int x2);
  // The bitmap cache takes ownership of the image / destroys it if it holds it.
  virtual void KeepBitmap(const IBitmap& bitmap) = 0;
  virtual void DropBitmap(const IBitmap& bitmap) = 0;

  // ---- Controls ----
  // Takes ownership; returns the new control's index.
  int AddControl(IControl* control);
  int NControls() const { return (int) mControls.size(); }
  IControl* GetControl(int idx) const;  // null outside the list

  // ---- Parameters to controls ----
  void OnParamFromPlugin(int paramIdx, double value, bool normalized) override;
  void SetControlValue(int controlIdx, double normalizedValue) override;
  void HideParamControls(int paramIdx, bool hide);

  // ---- Redraw ----
  void MarkAllDirty();
  // Notifies each control's observers, then grows r by the rectangle of every dirty control.
  // True when something is dirty.
  bool CollectDirty(IRECT& r);
  // Draws every visible control that meets r, marks every control clean, presents r.
  bool DrawRegion(const IRECT& r);
  // Draws frame `frame` (1-based) of a stacked bitmap into rect. Callers pass 1..frames.
  bool DrawBitmapFrame(const IBitmap& bitmap, const IRECT& rect, int frame, const IBlend* blend = nullptr);

  // ---- Input ----
  // The captured control if any, else the topmost visible, active control hit at (x, y); -1 if none.
  int ControlAt(int x, int y);
  // A press captures the control and, for a linked one, begins an edit of its parameter with the
  // host; the release goes to the captured control and ends that edit. Edit ends are only sent for
  // edits MouseDown began, so the host always sees them in pairs.
  void MouseDown(int x, int y, const IMouseMod& mod);
  void MouseDrag(int x, int y, const IMouseMod& mod);
  void MouseUp(int x, int y, const IMouseMod& mod);
  // True when the double click acted as a press and the window should take the mouse capture.
  bool MouseDoubleClick(int x, int y, const IMouseMod& mod);
  void MouseWheel(int x, int y, const IMouseMod& mod, int notches);
  void KeyDown(int x, int y, int key);

  // ---- Accessors ----
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int FramesPerSecond() const { return mFPS; }
  IPlugBase* Plugin() const { return mPlug; }
  const IRECT& DrawRect() const { return mDrawRECT; }
  int CaptureIndex() const { return mCaptureIdx; }

protected:
  void DestroyControls();
  // Sends the edit end of the gesture MouseDown began, if one is open.
  void EndGesture();

  std::vector<IControl*> mControls;  // owned
  IPlugBase* mPlug;
  IRECT mDrawRECT;
  int mWidth;
  int mHeight;
  int mFPS;
  int mCaptureIdx = -1;
  int mLastX = -1;
  int mLastY = -1;
  int mGestureParamIdx = -1;  // parameter whose edit begin went to the host, -1 = none
};
