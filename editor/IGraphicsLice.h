#pragma once
// The drawing half of the editor's graphics object: one raster surface of the editor's size that
// every control draws into, the drawing operations on it, and the image resources turned into
// IBitmap handles through the process-wide BitmapCache, so each image is decoded once however many
// plug-in objects or editors use it.
//
// Decoding itself needs the plug-in module and so belongs to the window half: DecodeResourceImage
// is pure here.

#include <memory>
#include <mutex>
#include <vector>

#include "editor/IGraphics.h"

class LiceBitmap;
class LiceMemBitmap;
class LiceSysBitmap;

// Every decoded or generated image of the process, owned until DropBitmap or unload. Lookup is by
// resource id alone (generated images carry id -1). Each operation takes the cache mutex.
class BitmapCache
{
public:
  static BitmapCache& Instance();

  BitmapCache() {}
  ~BitmapCache();  // destroys every image
  BitmapCache(const BitmapCache&) = delete;
  BitmapCache& operator=(const BitmapCache&) = delete;

  // The image of the first entry with this id, or null.
  LiceBitmap* Find(int id);
  // Appends an entry; the cache owns the image from now on.
  void Add(int id, LiceBitmap* image);
  // Removes the first entry holding image and destroys the image. False (image untouched) when
  // no entry holds it.
  bool Remove(LiceBitmap* image);
  bool Holds(const LiceBitmap* image) const;
  int Size() const;

private:
  struct Entry
  {
    int id;
    LiceBitmap* image;
  };
  mutable std::mutex mMutex;
  std::vector<Entry> mEntries;
};

class IGraphicsLice : public IGraphics
{
public:
  IGraphicsLice(IPlugBase* plug, int width, int height, int framesPerSecond = 0);
  // Destroys the surface, then the scratch bitmap, then the controls.
  ~IGraphicsLice() override;

  // A surface of width x height and an empty scratch bitmap.
  void CreateSurface() override;
  bool DrawBitmapRegion(const IBitmap& bitmap, const IRECT& dest, int srcX, int srcY,
                        const IBlend* blend = nullptr) override;
  bool DrawBitmapRotated(const IBitmap& bitmap, int centreX, int centreY, double angle,
                         int pivotYOffset = 0, const IBlend* blend = nullptr) override;
  bool DrawMaskedRotated(const IBitmap& base, const IBitmap& mask, const IBitmap& top, int x, int y,
                         double angle, const IBlend* blend = nullptr) override;
  bool PlotPoint(const IColorARGB& color, float x, float y, const IBlend* blend = nullptr) override;
  bool WritePixel(const IColorARGB& color, int x, int y) override;
  bool DrawLine(const IColorARGB& color, float x1, float y1, float x2, float y2,
                const IBlend* blend = nullptr, bool antiAlias = false) override;
  bool DrawArc(const IColorARGB& color, float cx, float cy, float r, float startAngle, float endAngle,
               const IBlend* blend = nullptr, bool antiAlias = false) override;
  bool DrawCircle(const IColorARGB& color, float cx, float cy, float r, const IBlend* blend = nullptr,
                  bool antiAlias = false) override;
  bool FillRect(const IColorARGB& color, const IRECT& r, const IBlend* blend = nullptr) override;
  IColorARGB ReadPixel(int x, int y) override;
  std::uint32_t* SurfacePixels() override;

  IBitmap LoadBitmap(int resourceId, const char* name, int frames = 1) override;
  IBitmap ResizedBitmap(const IBitmap& bitmap, int width, int height) override;
  IBitmap CroppedBitmap(const IBitmap& bitmap, const IRECT& r) override;
  void DrawVLine(const IColorARGB& color, int x, int y1, int y2) override;
  void DrawHLine(const IColorARGB& color, int y, int x1, int x2) override;
  void KeepBitmap(const IBitmap& bitmap) override;
  void DropBitmap(const IBitmap& bitmap) override;

  // Decodes image resource `resourceId` of the plug-in module; the name's extension chooses the
  // decoder. A new bitmap the caller owns, or null.
  virtual LiceBitmap* DecodeResourceImage(int resourceId, const char* name) = 0;

  // The drawing surface (null before CreateSurface) and the scratch bitmap.
  LiceSysBitmap* Surface() const { return mSurface.get(); }
  LiceMemBitmap* Scratch() const { return mScratch.get(); }

  // Raster weight and mode word for a blend (null = normal at full weight).
  static void BlendToMode(const IBlend* blend, float* weight, int* mode);
  // 0xAARRGGBB from a colour, and back.
  static std::uint32_t ColorToPixel(const IColorARGB& color);
  static IColorARGB PixelToColor(std::uint32_t pixel);

protected:
  std::unique_ptr<LiceSysBitmap> mSurface;
  std::unique_ptr<LiceMemBitmap> mScratch;
};
