#include "editor/IControl.h"

#include <algorithm>
#include <cmath>

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

// ---- ISubject ----

void ISubject::AddObserver(IObserverInterface* o)
{
  if (!mObservers) mObservers.reset(new std::vector<IObserverInterface*>());
  if (std::find(mObservers->begin(), mObservers->end(), o) != mObservers->end()) return;
  mObservers->push_back(o);
}

void ISubject::NotifyObservers()
{
  if (!mObservers || !mChanged) return;
  mChanged = false;
  for (IObserverInterface* o : *mObservers) o->OnSubjectChanged();
}

// ---- IControl ----

IControl::IControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int blendMethod)
  : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blendMethod, 1.0f)
{
}

IControl::~IControl() {}

void IControl::OnPress(int x, int y, const IMouseMod& mod)
{
  if (mod.right) RequestValueEntry();
}

void IControl::OnRelease(int x, int y, const IMouseMod& mod) {}

void IControl::OnDrag(int x, int y, int dX, int dY, const IMouseMod& mod) {}

void IControl::OnDoubleClick(int x, int y, const IMouseMod& mod)
{
  const double def = mDefaultValue;
  if (def >= 0.0)
  {
    mValue = def;
    MarkDirty(true);
  }
}

void IControl::OnWheel(int x, int y, const IMouseMod& mod, int notches)
{
  const double step = (mod.control || mod.shift) ? 0.001 : 0.01;
  mValue = mValue + notches * step;
  MarkDirty(true);
}

void IControl::OnKey(int x, int y, int key) {}

void IControl::SetValueFromPlugin(double value)
{
  if (mDefaultValue < 0.0)
  {
    mDefaultValue = value;
  }
  else
  {
    const double cur = mValue;
    if (value == cur || std::isnan(value) || std::isnan(cur)) return;
  }
  mValue = value;
  MarkDirty(false);
  mRedrawAgain = true;
}

void IControl::SetValueFromUser(double value)
{
  const double cur = mValue;
  if (value == cur || std::isnan(value) || std::isnan(cur)) return;
  mValue = value;
  MarkDirty(true);
  mRedrawAgain = true;
}

void IControl::Hide(bool hide)
{
  mHidden = hide;
  mRedrawAgain = true;
  MarkDirty(false);
}

void IControl::GreyOut(bool grey)
{
  mGrayed = grey;
  mBlend.weight = grey ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool IControl::HitTest(int x, int y)
{
  return mTargetRECT.Contains(x, y);
}

void IControl::MarkDirty(bool pushToPlugin)
{
  double v = mValue;
  if (v < mClampLo || std::isnan(v))
    v = mClampLo;
  else if (v > mClampHi)
    v = mClampHi;
  mValue = v;
  mDirty = true;
  SetChanged();
  if (pushToPlugin && mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI(mParamIdx, v);
}

void IControl::MarkClean()
{
  mDirty = mRedrawAgain.Exchange(false);
}

bool IControl::IsDirty()
{
  return mDirty;
}

void IControl::RequestValueEntry()
{
  if (mParamIdx < 0 || mNoValueEntry || !mPlug) return;
  IGraphics* graphics = dynamic_cast<IGraphics*>(mPlug->GetGraphics());
  if (!graphics) return;
  graphics->OpenValueEntry(this, mPlug->GetParam(mParamIdx));
  mRedrawAgain = true;
}

// ---- Bitmap controls ----

namespace
{
IRECT FrameRect(int x, int y, const IBitmap& bitmap)
{
  return IRECT(x, y, x + bitmap.width, y + bitmap.FrameHeight());
}

// Frame 1..n for a value: trunc((n - 1) * value + 0.5) + 1, limited to 1..n.
int FrameFor(int frames, double value)
{
  if (frames <= 1) return 1;
  const double f = (frames - 1) * value + 0.5;
  if (!(f >= 0.0)) return 1;  // below range or NaN
  if (f >= (double) frames) return frames;
  const int frame = (int) f + 1;
  return frame > frames ? frames : frame;
}
}  // namespace

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               int blendMethod)
  : IControl(plug, FrameRect(x, y, bitmap), paramIdx, blendMethod), mBitmap(bitmap)
{
}

int IBitmapControl::FrameForValue() const
{
  return FrameFor(mBitmap.frames, mValue);
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmapFrame(mBitmap, mRECT, FrameForValue(), &mBlend);
}

ISwitchControl::ISwitchControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               int blendMethod)
  : IBitmapControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void ISwitchControl::OnPress(int x, int y, const IMouseMod& mod)
{
  if (mod.right)
  {
    RequestValueEntry();
  }
  else
  {
    const int n = mBitmap.frames;
    mValue = mValue + (n < 2 ? 1.0 : 1.0 / (n - 1));
  }
  if (!(mValue <= 1.001)) mValue = 0.0;
  MarkDirty(true);
}

IBitmapOverlayControl::IBitmapOverlayControl(IPlugBase* plug, int x, int y, int paramIdx,
                                             const IBitmap& bitmap, const IRECT& targetArea)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, BlendNormal), mTargetArea(targetArea)
{
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics)
{
  if (mValue < 0.5)
  {
    mTargetRECT = mTargetArea;
    return true;
  }
  mTargetRECT = mRECT;
  return IBitmapControl::Draw(graphics);
}

IContactControl::IContactControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                 int blendMethod)
  : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod)
{
}

void IContactControl::OnRelease(int x, int y, const IMouseMod& mod)
{
  mValue = 0.0;
  MarkDirty(true);
}

IContactControlNoDblClick::IContactControlNoDblClick(IPlugBase* plug, int x, int y, int paramIdx,
                                                     const IBitmap& bitmap)
  : IContactControl(plug, x, y, paramIdx, bitmap, BlendNormal)
{
  mDblAsPress = true;
}

// ---- Knobs ----

IKnobControl::IKnobControl(IPlugBase* plug, const IRECT& rect, int paramIdx, int direction,
                           double gearing, int blendMethod)
  : IControl(plug, rect, paramIdx, blendMethod), mDirection(direction), mGearing(gearing)
{
}

void IKnobControl::OnDrag(int x, int y, int dX, int dY, const IMouseMod& mod)
{
  double g = mGearing;
  if (mod.control || mod.shift) g *= 0.1;
  if (mDirection == Vertical)
    mValue = mValue + (double) dY / (double) (mRECT.top - mRECT.bottom) / g;
  else
    mValue = mValue + (double) dX / (double) (mRECT.right - mRECT.left) / g;
  MarkDirty(true);
}

IKnobMultiControl::IKnobMultiControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                     int direction, double gearing)
  : IKnobControl(plug, FrameRect(x, y, bitmap), paramIdx, direction, gearing, BlendNormal),
    mBitmap(bitmap)
{
}

int IKnobMultiControl::FrameForValue() const
{
  return FrameFor(mBitmap.frames, mValue);
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
  return graphics->DrawBitmapFrame(mBitmap, mRECT, FrameForValue(), &mBlend);
}

// ---- Hidden toggle ----

IHiddenToggleControl::IHiddenToggleControl(IPlugBase* plug, const IRECT& rect, int paramIdx)
  : IControl(plug, rect, paramIdx, BlendCopy)
{
  mNoValueEntry = true;
}

void IHiddenToggleControl::OnPress(int x, int y, const IMouseMod& mod)
{
  mValue = mValue < 0.5 ? 1.0 : 0.0;
  MarkDirty(true);
}

bool IHiddenToggleControl::Draw(IGraphics* graphics)
{
  return true;
}
