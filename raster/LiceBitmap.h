#pragma once
// Raster bitmaps: 32-bit pixels in rows, two kinds behind one interface.
//
// LicePixel layout: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7. In memory (little-endian)
// a pixel's bytes are blue, green, red, alpha. Colour is stored straight (not multiplied by alpha),
// which is also the layout of a 32-bit BI_RGB device-independent bitmap.
//
// Rows are contiguous arrays of pixels, GetRowSpan() pixels apart (row span >= width). Memory row 0
// is the top row of the image unless IsFlipped() answers true; then image row y lives in memory row
// GetHeight() - 1 - y. Every drawing operation of the layer honours this.

#include <cstdint>

#include "framework/Platform.h"

typedef uint32_t LicePixel;

inline LicePixel LiceRGBA(int r, int g, int b, int a)
{
  return ((LicePixel)(a & 0xFF) << 24) | ((LicePixel)(r & 0xFF) << 16) | ((LicePixel)(g & 0xFF) << 8) |
         (LicePixel)(b & 0xFF);
}
inline int LiceGetA(LicePixel p) { return (int)(p >> 24); }
inline int LiceGetR(LicePixel p) { return (int)((p >> 16) & 0xFF); }
inline int LiceGetG(LicePixel p) { return (int)((p >> 8) & 0xFF); }
inline int LiceGetB(LicePixel p) { return (int)(p & 0xFF); }

// Abstract bitmap. The virtual operations are declared in this order on purpose; keep it.
class LiceBitmap
{
public:
  virtual ~LiceBitmap() {}
  // First pixel of memory row 0, or null when the bitmap has no pixels.
  virtual LicePixel* GetBits() = 0;
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  // Distance between consecutive rows, in pixels.
  virtual int GetRowSpan() = 0;
  virtual bool IsFlipped() { return false; }
  // True when the bitmap's storage or size changed.
  virtual bool SetSize(int width, int height) = 0;
  // The Windows device context that draws into the pixels; null where there is none.
  virtual HDC GetDeviceContext() { return nullptr; }
};

// Heap bitmap: row span = width. The buffer grows with 25 % headroom and is never shrunk by a
// smaller size (rows are then reinterpreted at the new width); a size with no pixels frees it.
// A buffer that cannot be had (allocation failure, or width x height x 4 beyond the 32-bit byte
// count) leaves the bitmap 0 x 0 with null pixels. Sizes with a negative side count as empty.
class LiceMemBitmap : public LiceBitmap
{
public:
  LiceMemBitmap(); // empty: 0 x 0, no buffer
  LiceMemBitmap(int width, int height);
  ~LiceMemBitmap() override;

  LicePixel* GetBits() override { return m_pixels; }
  int GetWidth() override { return m_width; }
  int GetHeight() override { return m_height; }
  int GetRowSpan() override { return m_width; }
  bool IsFlipped() override { return false; }
  bool SetSize(int width, int height) override;
  HDC GetDeviceContext() override { return nullptr; }

  // Size of the buffer in bytes.
  int GetCapacity() const { return m_capacity; }

  LiceMemBitmap(const LiceMemBitmap&) = delete;
  LiceMemBitmap& operator=(const LiceMemBitmap&) = delete;

private:
  LicePixel* m_pixels;
  int m_width;
  int m_height;
  int m_capacity;
};

// Drawing surface. On Windows its pixels are a top-down 32-bit device-independent section selected
// into a memory device context compatible with the screen, so GDI can draw into the same pixels and
// the window can copy them to the screen. Natively there is no GDI: a stand-in of our own holds the
// top-down pixels in a heap block that plays the section's part, with the same reuse rules, and
// GetDeviceContext answers null.
//
// The section is kept while a new size fits inside it (row span stays the allocated width) and
// replaced when either side grows. A section that cannot be created leaves the bitmap 0 x 0.
class LiceSysBitmap : public LiceBitmap
{
public:
  LiceSysBitmap(int width, int height);
  ~LiceSysBitmap() override;

  LicePixel* GetBits() override { return m_pixels; }
  int GetWidth() override { return m_width; }
  int GetHeight() override { return m_height; }
  int GetRowSpan() override { return m_allocWidth; }
  bool IsFlipped() override { return false; }
  bool SetSize(int width, int height) override;
  HDC GetDeviceContext() override;

  int GetAllocatedWidth() const { return m_allocWidth; }
  int GetAllocatedHeight() const { return m_allocHeight; }

  LiceSysBitmap(const LiceSysBitmap&) = delete;
  LiceSysBitmap& operator=(const LiceSysBitmap&) = delete;

private:
  void ReleaseSection();
  bool HasContext() const;

  int m_width;  // visible size
  int m_height;
#ifdef _WIN32
  HDC m_dc; // owned memory device context
#else
  bool m_hasContext; // the stand-in's device context: always present
#endif
  LicePixel* m_pixels; // the section's pixel memory
  int m_allocWidth;    // size of the current section; the width is the row span
  int m_allocHeight;
#ifdef _WIN32
  HBITMAP m_section;   // owned device-independent section, or null
  HGDIOBJ m_previous;  // what the device context held before the section was selected
#else
  LicePixel* m_section; // owned heap block standing in for the section, or null
#endif
};
