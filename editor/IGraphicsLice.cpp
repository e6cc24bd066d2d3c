#include "editor/IGraphicsLice.h"

#include <algorithm>
#include <cassert>

#include "raster/LiceBitmap.h"
#include "raster/LiceBlit.h"

// ---- BitmapCache ----

BitmapCache& BitmapCache::Instance()
{
  // Made on first use, destroyed (with every image) when the library is unloaded.
  static BitmapCache cache;
  return cache;
}

BitmapCache::~BitmapCache()
{
  std::lock_guard<std::mutex> lock(mMutex);
  for (Entry& e : mEntries) delete e.image;
  mEntries.clear();
}

LiceBitmap* BitmapCache::Find(int id)
{
  std::lock_guard<std::mutex> lock(mMutex);
  for (const Entry& e : mEntries)
    if (e.id == id) return e.image;
  return nullptr;
}

void BitmapCache::Add(int id, LiceBitmap* image)
{
  std::lock_guard<std::mutex> lock(mMutex);
  mEntries.push_back(Entry{id, image});
}

bool BitmapCache::Remove(LiceBitmap* image)
{
  LiceBitmap* found = nullptr;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    for (auto it = mEntries.begin(); it != mEntries.end(); ++it)
    {
      if (it->image == image)
      {
        found = it->image;
        mEntries.erase(it);
        break;
      }
    }
  }
  delete found;
  return found != nullptr;
}

bool BitmapCache::Holds(const LiceBitmap* image) const
{
  std::lock_guard<std::mutex> lock(mMutex);
  for (const Entry& e : mEntries)
    if (e.image == image) return true;
  return false;
}

int BitmapCache::Size() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return (int) mEntries.size();
}

// ---- Blend and colour conversions ----

void IGraphicsLice::BlendToMode(const IBlend* blend, float* weight, int* mode)
{
  if (!blend)
  {
    *weight = 1.0f;
    *mode = LiceUseSourceAlpha | LiceModeCopy;
    return;
  }
  *weight = blend->weight;
  switch (blend->method)
  {
    case BlendCopy: *mode = LiceModeCopy; break;
    case BlendAdd: *mode = LiceUseSourceAlpha | LiceModeAdd; break;
    case BlendDodge: *mode = LiceUseSourceAlpha | LiceModeDodge; break;
    default: *mode = LiceUseSourceAlpha | LiceModeCopy; break;
  }
}

std::uint32_t IGraphicsLice::ColorToPixel(const IColorARGB& c)
{
  return ((std::uint32_t) c.alpha << 24) | ((std::uint32_t) (c.red & 0xFF) << 16) |
         ((std::uint32_t) (c.green & 0xFF) << 8) | (std::uint32_t) (c.blue & 0xFF);
}

IColorARGB IGraphicsLice::PixelToColor(std::uint32_t p)
{
  return IColorARGB((int) (p >> 24), (int) ((p >> 16) & 0xFF), (int) ((p >> 8) & 0xFF), (int) (p & 0xFF));
}

// ---- Construction ----

IGraphicsLice::IGraphicsLice(IPlugBase* plug, int width, int height, int framesPerSecond)
  : IGraphics(plug, width, height, framesPerSecond)
{
}

IGraphicsLice::~IGraphicsLice()
{
  mSurface.reset();
  mScratch.reset();
}

void IGraphicsLice::CreateSurface()
{
  mSurface.reset(new LiceSysBitmap(Width(), Height()));
  mScratch.reset(new LiceMemBitmap());
}

// ---- Bitmaps ----

IBitmap IGraphicsLice::LoadBitmap(int resourceId, const char* name, int frames)
{
  BitmapCache& cache = BitmapCache::Instance();
  LiceBitmap* image = cache.Find(resourceId);
  if (!image)
  {
    image = DecodeResourceImage(resourceId, name);  // outside the cache mutex
    const bool imgResourceFound = image != nullptr;
    assert(imgResourceFound);
    if (!imgResourceFound) return IBitmap(nullptr, 0, 0, frames);  // a build fault; draws nothing
    cache.Add(resourceId, image);
  }
  return IBitmap(image, image->GetWidth(), image->GetHeight(), frames);
}

IBitmap IGraphicsLice::ResizedBitmap(const IBitmap& bitmap, int width, int height)
{
  LiceMemBitmap* image = new LiceMemBitmap(width, height);
  LiceScaledBlit(image, bitmap.image, 0, 0, width, height, 0.0f, 0.0f, (float) bitmap.width,
                 (float) bitmap.height, 1.0f, LiceFilterBilinear | LiceModeCopy);
  const IBitmap result(image, width, height, bitmap.frames);
  KeepBitmap(result);
  return result;
}

IBitmap IGraphicsLice::CroppedBitmap(const IBitmap& bitmap, const IRECT& r)
{
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  LiceMemBitmap* image = new LiceMemBitmap(w, h);
  LiceBlit(image, bitmap.image, 0, 0, r.left, r.top, w, h, 1.0f, LiceModeCopy);
  const IBitmap result(image, w, h, bitmap.frames);
  KeepBitmap(result);
  return result;
}

void IGraphicsLice::KeepBitmap(const IBitmap& bitmap)
{
  BitmapCache::Instance().Add(-1, bitmap.image);
}

void IGraphicsLice::DropBitmap(const IBitmap& bitmap)
{
  BitmapCache::Instance().Remove(bitmap.image);
}

// ---- Bitmap drawing ----

bool IGraphicsLice::DrawBitmapRegion(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                                     const IBlend* blend)
{
  const IRECT r = dest.Intersection(mDrawRECT);
  srcX += r.left - dest.left;
  srcY += r.top - dest.top;
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceBlit(mSurface.get(), bitmap.image, r.left, r.top, srcX, srcY, r.right - r.left, r.bottom - r.top,
           weight, mode);
  return true;
}

bool IGraphicsLice::DrawBitmapRotated(const IBitmap& bitmap, int centreX, int centreY, double angle,
                                      int pivotYOffset, const IBlend* blend)
{
  const int w = bitmap.width;
  const int h = bitmap.height;
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceRotatedBlit(mSurface.get(), bitmap.image, centreX - w / 2, centreY - h / 2, w, h, 0.0f, 0.0f,
                  (float) w, (float) h, (float) angle, false, weight, mode | LiceFilterBilinear, 0.0f,
                  (float) pivotYOffset);
  return true;
}

bool IGraphicsLice::DrawMaskedRotated(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x,
                                      int y, double angle, const IBlend* blend)
{
  const int W = base.width;
  const int H = base.height;
  const double radians = angle * 0.017453292519943295;
  const float xOffset = (W % 2) ? -0.5f : 0.0f;

  if (!mScratch) mScratch.reset(new LiceMemBitmap());
  LiceMemBitmap* scratch = mScratch.get();
  LiceCopy(scratch, base.image);
  LiceMaskFill(scratch, 0, 0, W, H, 0xFFFFFF, 0);
  LiceRotatedBlit(scratch, mask.image, 0, 0, W, H, 0.0f, 0.0f, (float) W, (float) H, (float) radians, true,
                  1.0f, LiceUseSourceAlpha | LiceFilterBilinear | LiceModeAdd, xOffset, 0.0f);
  LiceRotatedBlit(scratch, top.image, 0, 0, W, H, 0.0f, 0.0f, (float) W, (float) H, (float) radians, true,
                  1.0f, LiceUseSourceAlpha | LiceFilterBilinear | LiceModeCopy, xOffset, 0.0f);

  const IRECT r = IRECT(x, y, x + W, y + H).Intersection(mDrawRECT);
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceBlit(mSurface.get(), scratch, r.left, r.top, r.left - x, r.top - y, r.right - r.left, r.bottom - r.top,
           weight, mode);
  return true;
}

// ---- Primitives ----

bool IGraphicsLice::PlotPoint(const IColorARGB& color, float x, float y, const IBlend* blend)
{
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LicePutPixel(mSurface.get(), (int) (x + 0.5f), (int) (y + 0.5f), ColorToPixel(color), weight, mode);
  return true;
}

bool IGraphicsLice::WritePixel(const IColorARGB& color, int x, int y)
{
  // No bounds check on the drawing path: the caller passes a point inside the surface.
  assert(mSurface && x >= 0 && y >= 0 && x < mSurface->GetWidth() && y < mSurface->GetHeight());
  LicePixel* bits = mSurface->GetBits();
  bits[x + y * mSurface->GetRowSpan()] = ColorToPixel(color);
  return true;
}

bool IGraphicsLice::DrawLine(const IColorARGB& color, float x1, float y1, float x2, float y2,
                             const IBlend* blend, bool antiAlias)
{
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceLine(mSurface.get(), (int) x1, (int) y1, (int) x2, (int) y2, ColorToPixel(color), weight, mode,
           antiAlias);
  return true;
}

bool IGraphicsLice::DrawArc(const IColorARGB& color, float cx, float cy, float r, float startAngle,
                            float endAngle, const IBlend* blend, bool antiAlias)
{
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceArc(mSurface.get(), cx, cy, r, startAngle, endAngle, ColorToPixel(color), weight, mode, antiAlias);
  return true;
}

bool IGraphicsLice::DrawCircle(const IColorARGB& color, float cx, float cy, float r, const IBlend* blend,
                               bool antiAlias)
{
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceCircle(mSurface.get(), cx, cy, r, ColorToPixel(color), weight, mode, antiAlias);
  return true;
}

bool IGraphicsLice::FillRect(const IColorARGB& color, const IRECT& r, const IBlend* blend)
{
  float weight;
  int mode;
  BlendToMode(blend, &weight, &mode);
  LiceFillRect(mSurface.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, ColorToPixel(color), weight,
               mode);
  return true;
}

IColorARGB IGraphicsLice::ReadPixel(int x, int y)
{
  return PixelToColor(LiceGetPixel(mSurface.get(), x, y));
}

std::uint32_t* IGraphicsLice::SurfacePixels()
{
  return mSurface ? mSurface->GetBits() : nullptr;
}

// The lines write the surface's pixels directly, opaque, ends included; coordinates are limited to
// the editor (and to the surface, should it be smaller).
namespace
{
int Limit(int v, int hi)
{
  return v < 0 ? 0 : (v > hi ? hi : v);
}
}  // namespace

void IGraphicsLice::DrawVLine(const IColorARGB& color, int x, int y1, int y2)
{
  LicePixel* bits = SurfacePixels();
  if (!bits) return;
  const int w = std::min(Width(), mSurface->GetWidth());
  const int h = std::min(Height(), mSurface->GetHeight());
  if (w <= 0 || h <= 0) return;
  const int span = mSurface->GetRowSpan();
  x = Limit(x, w - 1);
  y1 = Limit(y1, h - 1);
  y2 = Limit(y2, h - 1);
  const LicePixel p = ColorToPixel(color);
  for (int y = y1; y <= y2; ++y) bits[x + y * span] = p;
}

void IGraphicsLice::DrawHLine(const IColorARGB& color, int y, int x1, int x2)
{
  LicePixel* bits = SurfacePixels();
  if (!bits) return;
  const int w = std::min(Width(), mSurface->GetWidth());
  const int h = std::min(Height(), mSurface->GetHeight());
  if (w <= 0 || h <= 0) return;
  const int span = mSurface->GetRowSpan();
  y = Limit(y, h - 1);
  x1 = Limit(x1, w - 1);
  x2 = Limit(x2, w - 1);
  const LicePixel p = ColorToPixel(color);
  for (int x = x1; x <= x2; ++x) bits[x + y * span] = p;
}
