#pragma once
// Per-pixel composition shared by the blits and the drawing operations (internal to the raster layer).
// Each operation works on the four bytes of a pixel in memory order (blue, green, red, alpha) and takes
// the effective weight w (0..256 for weights up to 1.0). The formulas are listed in LiceBlit.h.

#include <cmath>
#include <cstdint>
#include <cstring>

#include "raster/LiceBlit.h"

namespace lice_detail
{

// x / 256 truncated toward zero.
inline int Q(int x) { return x / 256; }

inline int Clamp255(int x) { return x < 0 ? 0 : (x > 255 ? 255 : x); }

inline uint8_t Byte(int x) { return (uint8_t)(x & 0xFF); }

// Integer weight from a float weight, truncated toward zero and kept within +-65536 (weight +-256) so
// the conversion is defined and no pixel formula can overflow. NaN gives 0.
inline int WeightToIA(float weight)
{
  const double v = (double)weight * 256.0;
  if (!(v == v))
    return 0;
  if (v > 65536.0)
    return 65536;
  if (v < -65536.0)
    return -65536;
  return (int)v;
}

// Row of image row y (honouring IsFlipped) and the step to the next image row, in pixels.
struct RowAddr
{
  LicePixel* first;
  long long step;
};

inline LicePixel* ImageRow(LicePixel* bits, int span, int height, bool flipped, int y)
{
  const long long memRow = flipped ? (long long)(height - 1 - y) : (long long)y;
  return bits + memRow * span;
}

struct OpCopy
{
  static constexpr bool kSkipTransparent = true;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    const int h = 256 - w;
    for (int k = 0; k < 4; ++k)
      d[k] = Byte(s[k] + Q((d[k] - s[k]) * h));
  }
};

struct OpAdd
{
  static constexpr bool kSkipTransparent = true;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    for (int k = 0; k < 4; ++k)
      d[k] = (uint8_t)Clamp255(d[k] + Q(s[k] * w));
  }
};

struct OpDodge
{
  static constexpr bool kSkipTransparent = false;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    for (int k = 0; k < 4; ++k)
    {
      const int t = 256 - Q(s[k] * w);
      const int v = t > 1 ? (d[k] * 256) / t : d[k] * 256;
      d[k] = (uint8_t)Clamp255(v);
    }
  }
};

struct OpMul
{
  static constexpr bool kSkipTransparent = true;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    const int h = 256 - w;
    for (int k = 0; k < 4; ++k)
    {
      const int m = (d[k] * (s[k] + 1)) >> 8;
      d[k] = Byte(m + Q((d[k] - m) * h));
    }
  }
};

struct OpOverlay
{
  static constexpr bool kSkipTransparent = true;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    const int h = 256 - w;
    for (int k = 0; k < 4; ++k)
    {
      const int dv = d[k], sv = s[k];
      const int o = dv < 128 ? (2 * dv * sv) / 255 : 255 - (2 * (255 - dv) * (255 - sv)) / 255;
      d[k] = Byte(o + Q((dv - o) * h));
    }
  }
};

// Hue in 0..1535 (six sectors of 256), saturation and value in 0..255.
inline void RGBToHSV(int r, int g, int b, int* h, int* s, int* v)
{
  const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
  const int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
  const int delta = mx - mn;
  *v = mx;
  *s = mx ? (delta * 255) / mx : 0;
  if (delta == 0)
  {
    *h = 0;
    return;
  }
  int hue;
  if (mx == r)
    hue = ((g - b) * 256) / delta; // -256..256
  else if (mx == g)
    hue = 512 + ((b - r) * 256) / delta;
  else
    hue = 1024 + ((r - g) * 256) / delta;
  if (hue < 0)
    hue += 1536;
  *h = hue % 1536;
}

inline void HSVToRGB(int h, int s, int v, int* r, int* g, int* b)
{
  const int sector = h / 256, f = h % 256;
  const int p = (v * (255 - s)) / 255;
  const int q = (v * (255 - (s * f) / 256)) / 255;
  const int t = (v * (255 - (s * (256 - f)) / 256)) / 255;
  switch (sector)
  {
  case 0: *r = v; *g = t; *b = p; break;
  case 1: *r = q; *g = v; *b = p; break;
  case 2: *r = p; *g = v; *b = t; break;
  case 3: *r = p; *g = q; *b = v; break;
  case 4: *r = t; *g = p; *b = v; break;
  default: *r = v; *g = p; *b = q; break;
  }
}

struct OpHSV
{
  static constexpr bool kSkipTransparent = true;
  static inline void Px(uint8_t* d, const uint8_t* s, int w)
  {
    int hue, sat, val;
    RGBToHSV(d[2], d[1], d[0], &hue, &sat, &val);
    hue = (hue + 6 * s[2]) % 1536;
    sat = (sat * s[1]) / 128;
    val = (val * s[0]) / 128;
    if (sat > 255)
      sat = 255;
    if (val > 255)
      val = 255;
    int a[3];
    HSVToRGB(hue, sat, val, &a[2], &a[1], &a[0]);
    const int h = 256 - w;
    for (int k = 0; k < 3; ++k)
      d[k] = Byte(a[k] + Q((d[k] - a[k]) * h));
  }
};

// Composes pixel s into *dp with the operation Op; ia is the integer weight, the source alpha (if
// used) further weights it.
template <class Op, bool kAlpha>
inline void ComposeOne(LicePixel* dp, LicePixel sp, int ia)
{
  uint8_t s[4], d[4];
  std::memcpy(s, &sp, 4);
  if (kAlpha && Op::kSkipTransparent && s[3] == 0)
    return;
  std::memcpy(d, dp, 4);
  const int w = kAlpha ? Q((s[3] + 1) * ia) : ia;
  Op::Px(d, s, w);
  std::memcpy(dp, d, 4);
}

inline void ChanCopyOne(LicePixel* dp, LicePixel sp, int mode)
{
  uint8_t s[4], d[4];
  std::memcpy(s, &sp, 4);
  std::memcpy(d, dp, 4);
  d[(mode >> 2) & 3] = s[mode & 3];
  std::memcpy(dp, d, 4);
}

// One pixel with any operation, chosen at run time (for the drawing operations, where a pixel's
// work dominates the dispatch). Returns without drawing for op values that draw nothing.
inline void ComposeAny(LicePixel* dp, LicePixel sp, int ia, int mode)
{
  const int low = mode & 0xFF;
  if (low >= 0xF0)
  {
    ChanCopyOne(dp, sp, mode);
    return;
  }
  const bool alpha = (mode & LiceUseSourceAlpha) != 0;
  switch (low)
  {
  case LiceModeCopy:
    if (alpha)
      ComposeOne<OpCopy, true>(dp, sp, ia);
    else if (ia > 0)
      ComposeOne<OpCopy, false>(dp, sp, ia);
    break;
  case LiceModeAdd: alpha ? ComposeOne<OpAdd, true>(dp, sp, ia) : ComposeOne<OpAdd, false>(dp, sp, ia); break;
  case LiceModeDodge:
    alpha ? ComposeOne<OpDodge, true>(dp, sp, ia) : ComposeOne<OpDodge, false>(dp, sp, ia);
    break;
  case LiceModeMul: alpha ? ComposeOne<OpMul, true>(dp, sp, ia) : ComposeOne<OpMul, false>(dp, sp, ia); break;
  case LiceModeOverlay:
    alpha ? ComposeOne<OpOverlay, true>(dp, sp, ia) : ComposeOne<OpOverlay, false>(dp, sp, ia);
    break;
  case LiceModeHSVAdjust:
    alpha ? ComposeOne<OpHSV, true>(dp, sp, ia) : ComposeOne<OpHSV, false>(dp, sp, ia);
    break;
  default: break;
  }
}

// True when bits 0-7 name an operation that draws something.
inline bool ModeDraws(int mode)
{
  const int low = mode & 0xFF;
  return low <= LiceModeHSVAdjust || low >= 0xF0;
}

} // namespace lice_detail
