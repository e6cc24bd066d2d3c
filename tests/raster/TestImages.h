#pragma once
// Test images made at run time with the image libraries' write interfaces, and small bitmap helpers
// for the raster tests.

#include <cstdint>
#include <string>
#include <vector>

#include "raster/LiceBitmap.h"

namespace testimg
{

// A PNG to encode. samples holds, per pixel, the PNG's channels in file order (gray; gray, alpha;
// red, green, blue; red, green, blue, alpha; or a palette index) at the image's bit depth.
struct PngDesc
{
  int width = 0, height = 0;
  int colorType = 0; // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<unsigned> samples;
  std::vector<unsigned char> palette; // r, g, b per entry
  std::vector<unsigned char> paletteAlpha; // tRNS for palette images
  bool hasTrnsColor = false;               // tRNS key colour for gray/RGB images
  unsigned trnsGray = 0, trnsRed = 0, trnsGreen = 0, trnsBlue = 0;
};

int ChannelsOf(int colorType);
std::vector<unsigned char> EncodePng(const PngDesc& d);

// components: 1 (gray), 3 (RGB) or 4 (CMYK); samples as bytes, row by row.
std::vector<unsigned char> EncodeJpeg(int width, int height, int components, const std::vector<unsigned char>& samples,
                                      int quality = 95, bool progressive = false);

// Seeded generator for repeatable pseudo-random test data.
class Rng
{
public:
  explicit Rng(uint32_t seed) : m_state(seed ? seed : 1) {}
  uint32_t Next()
  {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }
  int Below(int n) { return (int)(Next() % (uint32_t)n); }

private:
  uint32_t m_state;
};

// A memory bitmap that answers "flipped": image row y lives in memory row height - 1 - y.
class FlippedBitmap : public LiceBitmap
{
public:
  FlippedBitmap(int w, int h) : m_mem(w, h) {}
  LicePixel* GetBits() override { return m_mem.GetBits(); }
  int GetWidth() override { return m_mem.GetWidth(); }
  int GetHeight() override { return m_mem.GetHeight(); }
  int GetRowSpan() override { return m_mem.GetRowSpan(); }
  bool IsFlipped() override { return true; }
  bool SetSize(int w, int h) override { return m_mem.SetSize(w, h); }

private:
  LiceMemBitmap m_mem;
};

// Image-row access written independently of the library.
inline LicePixel& At(LiceBitmap& bm, int x, int y)
{
  const int row = bm.IsFlipped() ? bm.GetHeight() - 1 - y : y;
  return bm.GetBits()[(long long)row * bm.GetRowSpan() + x];
}

void Fill(LiceBitmap& bm, Rng& rng);
void FillWith(LiceBitmap& bm, const std::vector<LicePixel>& image); // image rows, width x height
std::vector<LicePixel> Snapshot(LiceBitmap& bm);                   // image rows, width x height

std::string Hex(LicePixel p);
std::string FormatCase(const char* fmt, ...);

// Writes bytes to a file whose name is UTF-8 (wide-character route on Windows); true on success.
bool WriteFileUtf8(const std::string& path, const std::vector<unsigned char>& bytes);
void RemoveFileUtf8(const std::string& path);

} // namespace testimg
