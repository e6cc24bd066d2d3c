#pragma once
// The editor's controls. A control holds a normalised value (0..1), may be linked to one plug-in
// parameter, draws itself (usually one frame of a multi-frame bitmap) and reacts to the mouse
// events the graphics object routes to it. Every control is also a subject that observers (the
// effect's footswitch link) can watch; they are told of changes on the window's thread, once per
// redraw tick at most.
//
// Threads: SetValueFromPlugin runs on host threads (with the plug-in mutex held); everything
// else runs on the window's thread. The fields that cross between them (value, default, the dirty,
// redraw-again, hidden and greyed flags and the subject's changed flag) are relaxed atomics: no
// ordering is promised beyond "a change is seen at the same or the next tick".

#include <atomic>
#include <memory>
#include <vector>

#include "editor/IGraphicsTypes.h"

class IGraphics;
class IPlugBase;

// A field read and written from two threads without a lock; loads and stores are relaxed.
template <typename T>
class IRelaxed
{
public:
  IRelaxed(T v = T()) : mV(v) {}
  IRelaxed(const IRelaxed&) = delete;
  IRelaxed& operator=(const IRelaxed&) = delete;

  operator T() const { return mV.load(std::memory_order_relaxed); }
  IRelaxed& operator=(T v)
  {
    mV.store(v, std::memory_order_relaxed);
    return *this;
  }
  // Reads and clears in one step.
  T Exchange(T v) { return mV.exchange(v, std::memory_order_relaxed); }

private:
  std::atomic<T> mV;
};

class IObserverInterface
{
public:
  virtual void OnSubjectChanged() = 0;
  virtual ~IObserverInterface() {}
};

class ISubject
{
public:
  ISubject() {}
  virtual ~ISubject() {}  // releases the list, never the observers
  ISubject(const ISubject&) = delete;
  ISubject& operator=(const ISubject&) = delete;

  // Appends o unless it is already observing.
  void AddObserver(IObserverInterface* o);
  // If anything changed since the last call: clears the flag, then tells every observer in the
  // order they were added.
  void NotifyObservers();

  bool HasChanged() const { return mChanged; }

protected:
  void SetChanged() { mChanged = true; }

private:
  std::unique_ptr<std::vector<IObserverInterface*>> mObservers;  // made on first AddObserver
  IRelaxed<bool> mChanged{false};
};

class IControl : public ISubject
{
public:
  IControl(IPlugBase* plug, const IRECT& rect, int paramIdx = -1, int blendMethod = BlendNormal);
  ~IControl() override;

  // Right press: value entry for a linked control. Left press: nothing.
  virtual void OnPress(int x, int y, const IMouseMod& mod);
  virtual void OnRelease(int x, int y, const IMouseMod& mod);
  virtual void OnDrag(int x, int y, int dX, int dY, const IMouseMod& mod);
  // Restores the default value once the plug-in has pushed one.
  virtual void OnDoubleClick(int x, int y, const IMouseMod& mod);
  // 0.01 of the range per notch, 0.001 with control or shift.
  virtual void OnWheel(int x, int y, const IMouseMod& mod, int notches);
  virtual void OnKey(int x, int y, int key);
  virtual bool Draw(IGraphics* graphics) = 0;
  // A value from the plug-in side; never sent back. The first one becomes the default.
  virtual void SetValueFromPlugin(double value);
  virtual void Hide(bool hide);
  // Greyed controls are not hit and draw at a quarter weight.
  virtual void GreyOut(bool grey);
  virtual bool HitTest(int x, int y);
  // Limits the value to clampLo..clampHi (NaN becomes clampLo), flags the control for redraw and
  // for its observers and, with push, hands the value to the linked parameter.
  virtual void MarkDirty(bool pushToPlugin);
  // dirty = redrawAgain; redrawAgain = false.
  virtual void MarkClean();
  virtual bool IsDirty();

  // A value typed or decided on the editor side: pushed to the plug-in when it differs.
  void SetValueFromUser(double value);
  // Asks the graphics object for a value entry over a linked control.
  void RequestValueEntry();

  // ---- Accessors ----
  IPlugBase* Plugin() const { return mPlug; }
  const IRECT& GetRECT() const { return mRECT; }
  const IRECT& GetTargetRECT() const { return mTargetRECT; }
  void SetTargetRECT(const IRECT& r) { mTargetRECT = r; }
  int ParamIdx() const { return mParamIdx; }
  double GetValue() const { return mValue; }
  double GetDefaultValue() const { return mDefaultValue; }
  void SetClamp(double lo, double hi)
  {
    mClampLo = lo;
    mClampHi = hi;
  }
  bool IsHidden() const { return mHidden; }
  bool IsGrayed() const { return mGrayed; }
  bool RedrawAgain() const { return mRedrawAgain; }
  bool NoValueEntry() const { return mNoValueEntry; }
  void SetNoValueEntry(bool v) { mNoValueEntry = v; }
  bool DoubleClickAsPress() const { return mDblAsPress; }
  const IBlend* Blend() const { return &mBlend; }

protected:
  void SetValue(double v) { mValue = v; }

  IPlugBase* mPlug;
  IRECT mRECT;
  IRECT mTargetRECT;
  int mParamIdx;
  IRelaxed<double> mValue{0.0};
  IRelaxed<double> mDefaultValue{-1.0};
  double mClampLo = 0.0;
  double mClampHi = 1.0;
  IRelaxed<bool> mDirty{true};
  IRelaxed<bool> mHidden{false};
  IRelaxed<bool> mGrayed{false};
  IRelaxed<bool> mRedrawAgain{false};
  bool mNoValueEntry = false;
  bool mDblAsPress = false;
  IBlend mBlend;
};

// Draws one frame of its bitmap chosen by the value: frame trunc((n - 1) * value + 0.5) + 1.
class IBitmapControl : public IControl
{
public:
  IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 int blendMethod = BlendNormal);
  bool Draw(IGraphics* graphics) override;

  const IBitmap& GetBitmap() const { return mBitmap; }
  // The frame (1-based) the current value selects.
  int FrameForValue() const;

protected:
  IBitmap mBitmap;
};

// A press steps the value by one frame and wraps past the last one.
class ISwitchControl : public IBitmapControl
{
public:
  ISwitchControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 int blendMethod = BlendNormal);
  void OnPress(int x, int y, const IMouseMod& mod) override;
};

// A switch whose image shows only while on; while off it is hit only inside its target area.
class IBitmapOverlayControl : public ISwitchControl
{
public:
  IBitmapOverlayControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                        const IRECT& targetArea);
  bool Draw(IGraphics* graphics) override;

  const IRECT& TargetArea() const { return mTargetArea; }

protected:
  IRECT mTargetArea;
};

// A momentary switch: back to 0 on release.
class IContactControl : public ISwitchControl
{
public:
  IContactControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                  int blendMethod = BlendNormal);
  void OnRelease(int x, int y, const IMouseMod& mod) override;
};

// A contact whose double click is delivered as a second press.
class IContactControlNoDblClick : public IContactControl
{
public:
  IContactControlNoDblClick(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap);
};

// Dragged vertically or horizontally; `gearing` control lengths of movement cover the range.
class IKnobControl : public IControl
{
public:
  static constexpr double kDefaultGearing = 4.0;

  IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction = Vertical,
               double gearing = kDefaultGearing, int blendMethod = BlendNormal);
  void OnDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;

  int Direction() const { return mDirection; }
  double Gearing() const { return mGearing; }

protected:
  int mDirection;
  double mGearing;
};

// A knob drawn as one of its bitmap's frames.
class IKnobMultiControl : public IKnobControl
{
public:
  IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                    int direction = Vertical, double gearing = kDefaultGearing);
  bool Draw(IGraphics* graphics) override;

  const IBitmap& GetBitmap() const { return mBitmap; }
  int FrameForValue() const;

protected:
  IBitmap mBitmap;
};

// No image; any press toggles between 0 and 1.
class IHiddenToggleControl : public IControl
{
public:
  IHiddenToggleControl(IPlugBase* plug, const IRECT& rect, int paramIdx);
  void OnPress(int x, int y, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
};
