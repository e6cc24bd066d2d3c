#include "editor/IGraphics.h"

#include <cassert>

#include "editor/IControl.h"
#include "framework/IPlugBase.h"

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int framesPerSecond)
  : mPlug(plug), mWidth(width), mHeight(height), mFPS(framesPerSecond > 0 ? framesPerSecond : kDefaultFPS)
{
}

IGraphics::~IGraphics()
{
  DestroyControls();
}

void IGraphics::DestroyControls()
{
  while (!mControls.empty())
  {
    delete mControls.back();
    mControls.pop_back();
  }
}

int IGraphics::AddControl(IControl* control)
{
  mControls.push_back(control);
  return (int) mControls.size() - 1;
}

IControl* IGraphics::GetControl(int idx) const
{
  if (idx < 0 || idx >= (int) mControls.size()) return nullptr;
  return mControls[idx];
}

void IGraphics::AddBackground(int resourceId, const char* name)
{
  const IBitmap bitmap = LoadBitmap(resourceId, name, 1);
  IControl* background = new IBitmapControl(mPlug, 0, 0, -1, bitmap, BlendCopy);
  mControls.insert(mControls.begin(), background);
}

void IGraphics::OnParamFromPlugin(int paramIdx, double value, bool normalized)
{
  if (!normalized)
  {
    const IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->ToNormalized(value);
  }
  for (IControl* c : mControls)
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlugin(value);
}

void IGraphics::SetControlValue(int controlIdx, double normalizedValue)
{
  if (controlIdx >= 0 && controlIdx < (int) mControls.size())
    mControls[controlIdx]->SetValueFromPlugin(normalizedValue);
}

void IGraphics::HideParamControls(int paramIdx, bool hide)
{
  for (IControl* c : mControls)
    if (c->ParamIdx() == paramIdx) c->Hide(hide);
}

void IGraphics::MarkAllDirty()
{
  for (IControl* c : mControls) c->MarkDirty(false);
}

bool IGraphics::CollectDirty(IRECT& r)
{
  bool dirty = false;
  // Observers may change other controls but never add any: the count is taken once.
  const int n = (int) mControls.size();
  for (int i = 0; i < n; ++i)
  {
    IControl* c = mControls[i];
    c->NotifyObservers();
    if (c->IsDirty())
    {
      r = r.Union(c->GetRECT());
      dirty = true;
    }
  }
  return dirty;
}

bool IGraphics::DrawRegion(const IRECT& r)
{
  if (mControls.empty()) return true;
  mDrawRECT = r;
  for (IControl* c : mControls)
  {
    if (!c->IsHidden() && r.Meets(c->GetRECT())) c->Draw(this);
    c->MarkClean();
  }
  return PresentRegion(r);
}

bool IGraphics::DrawBitmapFrame(const IBitmap& bitmap, const IRECT& rect, int frame, const IBlend* blend)
{
  // Callers pass 1..frames (the controls limit their frame). Beyond that the source row is still
  // computed, unclamped, and the blit clips it against the image.
  assert(frame >= 1 && frame <= (bitmap.frames > 1 ? bitmap.frames : 1));
  int srcY = 0;
  if (bitmap.frames > 1 && frame > 1)
    srcY = (int) ((double) bitmap.height * (double) (frame - 1) / (double) bitmap.frames + 0.5);
  return DrawBitmapRegion(bitmap, rect, 0, srcY, blend);
}

int IGraphics::ControlAt(int x, int y)
{
  if (mCaptureIdx >= 0) return mCaptureIdx;
  for (int i = (int) mControls.size() - 1; i >= 0; --i)
  {
    IControl* c = mControls[i];
    if (c->IsHidden() || c->IsGrayed()) continue;
    if (c->HitTest(x, y)) return i;
  }
  return -1;
}

// The host hears of a gesture as begin ... end, always in pairs: an end goes out only for a begin
// that MouseDown sent. A release that no press of ours began (the second release of a double
// click, a press that started outside the editor) reaches the control but not the host.
void IGraphics::EndGesture()
{
  const int paramIdx = mGestureParamIdx;
  mGestureParamIdx = -1;
  if (paramIdx >= 0 && mPlug) mPlug->NotifyHostEditEnd(paramIdx);
}

void IGraphics::MouseDown(int x, int y, const IMouseMod& mod)
{
  mCaptureIdx = mLastX = mLastY = -1;
  EndGesture();  // a second button pressed during a gesture ends the first one
  const int i = ControlAt(x, y);
  if (i < 0) return;
  mCaptureIdx = i;
  mLastX = x;
  mLastY = y;
  IControl* c = mControls[i];
  c->OnPress(x, y, mod);
  const int paramIdx = c->ParamIdx();
  if (paramIdx >= 0 && mPlug)
  {
    mPlug->NotifyHostEditBegin(paramIdx);
    mGestureParamIdx = paramIdx;
  }
}

void IGraphics::MouseDrag(int x, int y, const IMouseMod& mod)
{
  if (mCaptureIdx < 0 || (x == mLastX && y == mLastY)) return;
  const int dX = x - mLastX;
  const int dY = y - mLastY;
  mLastX = x;
  mLastY = y;
  mControls[mCaptureIdx]->OnDrag(x, y, dX, dY, mod);
}

void IGraphics::MouseUp(int x, int y, const IMouseMod& mod)
{
  const int i = ControlAt(x, y);
  mCaptureIdx = mLastX = mLastY = -1;
  if (i < 0)
  {
    EndGesture();
    return;
  }
  mControls[i]->OnRelease(x, y, mod);
  EndGesture();
}

bool IGraphics::MouseDoubleClick(int x, int y, const IMouseMod& mod)
{
  mCaptureIdx = mLastX = mLastY = -1;
  EndGesture();
  const int i = ControlAt(x, y);
  if (i < 0) return false;
  IControl* c = mControls[i];
  if (!c->DoubleClickAsPress())
  {
    c->OnDoubleClick(x, y, mod);
    return false;
  }
  mCaptureIdx = i;
  mLastX = x;
  mLastY = y;
  c->OnPress(x, y, mod);
  return true;
}

void IGraphics::MouseWheel(int x, int y, const IMouseMod& mod, int notches)
{
  const int i = ControlAt(x, y);
  if (i >= 0) mControls[i]->OnWheel(x, y, mod, notches);
}

void IGraphics::KeyDown(int x, int y, int key)
{
  const int i = ControlAt(x, y);
  if (i >= 0) mControls[i]->OnKey(x, y, key);
}

void IGraphics::Resize(int width, int height)
{
  mWidth = width;
  mHeight = height;
  mCaptureIdx = mLastX = mLastY = -1;
  EndGesture();
  DestroyControls();
  if (mPlug) mPlug->RefreshEditorRect(width, height);
}

void IGraphics::DrawVLine(const IColorARGB& color, int x, int y1, int y2)
{
  const IBlend copy(BlendCopy, 1.0f);
  DrawLine(color, (float) x, (float) y1, (float) x, (float) y2, &copy, false);
}

void IGraphics::DrawHLine(const IColorARGB& color, int y, int x1, int x2)
{
  const IBlend copy(BlendCopy, 1.0f);
  DrawLine(color, (float) x1, (float) y, (float) x2, (float) y, &copy, false);
}
