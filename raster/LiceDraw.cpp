// Scaled and rotated blits, fills, pixels, lines, arcs and circles.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "raster/LiceBlit.h"
#include "raster/LicePixelOps.h"

using namespace lice_detail;

namespace
{

const double kPi = 3.14159265358979323846;

// A bitmap's pixels addressed by image row.
struct Surface
{
  LicePixel* bits;
  long long span;
  int w, h;
  bool flipped;

  LicePixel* At(int x, int y) const
  {
    const long long row = flipped ? (long long)(h - 1 - y) : (long long)y;
    return bits + row * span + x;
  }
};

bool GetSurface(LiceBitmap* bm, Surface* s)
{
  if (!bm)
    return false;
  s->bits = bm->GetBits();
  s->w = bm->GetWidth();
  s->h = bm->GetHeight();
  s->span = bm->GetRowSpan();
  s->flipped = bm->IsFlipped();
  return s->bits && s->w > 0 && s->h > 0;
}

bool IsChanCopy(int mode) { return (mode & 0xFF) >= 0xF0; }

// Composes one pixel; ia 0 draws nothing except for a channel copy (which the weight only gates).
inline void Put(LicePixel* p, LicePixel c, int ia, int mode)
{
  if (ia == 0 && !IsChanCopy(mode))
    return;
  ComposeAny(p, c, ia, mode);
}

// Colour drawing (fills, lines, arcs): with source alpha the weight takes the colour's alpha and the
// operation runs without it. Returns false when nothing is to be drawn.
bool PrepareColour(LicePixel color, float* weight, int* mode)
{
  if (*weight == 0.0f || *weight != *weight || !ModeDraws(*mode))
    return false;
  if (*mode & LiceUseSourceAlpha)
  {
    *weight *= (float)(color >> 24) * (1.0f / 255.0f);
    *mode &= ~LiceUseSourceAlpha;
  }
  return *weight != 0.0f;
}

// Limits [a, a + n) to [0, size) with 64-bit sums; false when empty.
bool ClipSpan(long long a, long long n, int size, int* lo, int* hi)
{
  long long b = a + n;
  if (a < 0)
    a = 0;
  if (b > size)
    b = size;
  if (b <= a)
    return false;
  *lo = (int)a;
  *hi = (int)b;
  return true;
}

// ---- sampling for the scaled and rotated blits ----

struct Sampler
{
  Surface src;
  int xlo, xhi, ylo, yhi; // pixels that may be sampled, inclusive
  bool bilinear;

  // Sample at source position (u, v); false when the pixel under it lies outside the allowed range.
  bool Sample(double u, double v, LicePixel* out) const
  {
    const double fu = std::floor(u), fv = std::floor(v);
    if (!(fu >= xlo && fu <= xhi && fv >= ylo && fv <= yhi))
      return false;
    if (!bilinear)
    {
      *out = *src.At((int)fu, (int)fv);
      return true;
    }
    const double uu = u - 0.5, vv = v - 0.5;
    const double x0d = std::floor(uu), y0d = std::floor(vv);
    const int fx = (int)((uu - x0d) * 256.0), fy = (int)((vv - y0d) * 256.0);
    int x0 = (int)x0d, y0 = (int)y0d, x1 = x0 + 1, y1 = y0 + 1;
    x0 = x0 < xlo ? xlo : (x0 > xhi ? xhi : x0);
    x1 = x1 < xlo ? xlo : (x1 > xhi ? xhi : x1);
    y0 = y0 < ylo ? ylo : (y0 > yhi ? yhi : y0);
    y1 = y1 < ylo ? ylo : (y1 > yhi ? yhi : y1);
    const LicePixel p[4] = {*src.At(x0, y0), *src.At(x1, y0), *src.At(x0, y1), *src.At(x1, y1)};
    const long long wt[4] = {(long long)(256 - fx) * (256 - fy), (long long)fx * (256 - fy),
                             (long long)(256 - fx) * fy, (long long)fx * fy};
    long long a = 0;
    for (int i = 0; i < 4; ++i)
      a += wt[i] * (long long)(p[i] >> 24);
    LicePixel result = (LicePixel)(a >> 16) << 24;
    for (int k = 0; k < 3; ++k)
    {
      long long c = 0;
      if (a > 0)
      {
        for (int i = 0; i < 4; ++i)
          c += wt[i] * (long long)(p[i] >> 24) * (long long)((p[i] >> (8 * k)) & 0xFF);
        c /= a;
      }
      else
      {
        // All four transparent: plain interpolation keeps their colour.
        for (int i = 0; i < 4; ++i)
          c += wt[i] * (long long)((p[i] >> (8 * k)) & 0xFF);
        c >>= 16;
      }
      result |= (LicePixel)c << (8 * k);
    }
    *out = result;
    return true;
  }
};

// Pixel range [floor(lo), ceil(hi) - 1] of the interval [a, b] (either order), limited to [0, size - 1].
bool PixelRange(double a, double b, int size, int* lo, int* hi)
{
  if (a > b)
  {
    const double t = a;
    a = b;
    b = t;
  }
  double l = std::floor(a), h = std::ceil(b) - 1.0;
  if (l < 0.0)
    l = 0.0;
  if (h > size - 1)
    h = size - 1;
  if (!(l <= h))
    return false;
  *lo = (int)l;
  *hi = (int)h;
  return true;
}

bool Finite(double v) { return std::isfinite(v); }

// ---- outlines ----

void PlotCoverage(const Surface& s, int x, int y, LicePixel c, float weight, double coverage, int mode)
{
  if (x < 0 || y < 0 || x >= s.w || y >= s.h || coverage <= 0.0)
    return;
  Put(s.At(x, y), c, WeightToIA((float)(weight * coverage)), mode);
}

void DrawOutline(LiceBitmap* dest, float cx, float cy, float r, bool arc, double minA, double maxA, LicePixel color,
                 float weight, int mode, bool antialias)
{
  Surface s;
  if (!GetSurface(dest, &s) || !PrepareColour(color, &weight, &mode))
    return;
  if (!Finite(cx) || !Finite(cy) || !Finite(r) || r < 0.0f)
    return;
  if (arc && (!Finite(minA) || !Finite(maxA)))
    return;
  if (maxA < minA)
  {
    const double t = minA;
    minA = maxA;
    maxA = t;
  }
  const double span = maxA - minA;
  if (span >= 2.0 * kPi)
    arc = false;

  int xlo, xhi, ylo, yhi;
  if (!PixelRange((double)cx - r - 1.0, (double)cx + r + 2.0, s.w, &xlo, &xhi) ||
      !PixelRange((double)cy - r - 1.0, (double)cy + r + 2.0, s.h, &ylo, &yhi))
    return;
  const double limit = antialias ? 1.0 : 0.5;
  for (int y = ylo; y <= yhi; ++y)
    for (int x = xlo; x <= xhi; ++x)
    {
      const double dx = x - (double)cx, dy = y - (double)cy;
      const double e = std::fabs(std::sqrt(dx * dx + dy * dy) - r);
      if (!(e < limit))
        continue;
      if (arc)
      {
        double t = std::fmod(std::atan2(dx, -dy) - minA, 2.0 * kPi);
        if (t < 0.0)
          t += 2.0 * kPi;
        if (t > span)
          continue;
      }
      PlotCoverage(s, x, y, color, weight, antialias ? 1.0 - e : 1.0, mode);
    }
}

} // namespace

void LiceScaledBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, float weight, LiceBlitMode mode)
{
  Surface d;
  Sampler sm;
  if (!GetSurface(dest, &d) || !GetSurface(src, &sm.src))
    return;
  if (weight == 0.0f || weight != weight || !ModeDraws(mode) || dstw <= 0 || dsth <= 0)
    return;
  if (!Finite(srcx) || !Finite(srcy) || !Finite(srcw) || !Finite(srch) || srcw == 0.0f || srch == 0.0f)
    return;
  const int ia = WeightToIA(weight);
  if (ia == 0 && !IsChanCopy(mode))
    return;
  if (!PixelRange(srcx, (double)srcx + srcw, sm.src.w, &sm.xlo, &sm.xhi) ||
      !PixelRange(srcy, (double)srcy + srch, sm.src.h, &sm.ylo, &sm.yhi))
    return;
  sm.bilinear = (mode & LiceFilterBilinear) != 0;

  int x0, x1, y0, y1;
  if (!ClipSpan(dstx, dstw, d.w, &x0, &x1) || !ClipSpan(dsty, dsth, d.h, &y0, &y1))
    return;
  const double sx = (double)srcw / dstw, sy = (double)srch / dsth;
  for (int y = y0; y < y1; ++y)
  {
    const double v = srcy + ((double)y - dsty + 0.5) * sy;
    LicePixel* row = d.At(0, y);
    for (int x = x0; x < x1; ++x)
    {
      const double u = srcx + ((double)x - dstx + 0.5) * sx;
      LicePixel p;
      if (sm.Sample(u, v, &p))
        Put(row + x, p, ia, mode);
    }
  }
}

void LiceRotatedBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float angle, bool cliptosourcerect, float weight,
                     LiceBlitMode mode, float rotxcent, float rotycent)
{
  Surface d;
  Sampler sm;
  if (!GetSurface(dest, &d) || !GetSurface(src, &sm.src))
    return;
  if (weight == 0.0f || weight != weight || !ModeDraws(mode) || dstw <= 0 || dsth <= 0)
    return;
  if (!Finite(srcx) || !Finite(srcy) || !Finite(srcw) || !Finite(srch) || srcw == 0.0f || srch == 0.0f ||
      !Finite(angle) || !Finite(rotxcent) || !Finite(rotycent))
    return;
  const int ia = WeightToIA(weight);
  if (ia == 0 && !IsChanCopy(mode))
    return;
  if (cliptosourcerect)
  {
    if (!PixelRange(srcx, (double)srcx + srcw, sm.src.w, &sm.xlo, &sm.xhi) ||
        !PixelRange(srcy, (double)srcy + srch, sm.src.h, &sm.ylo, &sm.yhi))
      return;
  }
  else
  {
    sm.xlo = 0;
    sm.xhi = sm.src.w - 1;
    sm.ylo = 0;
    sm.yhi = sm.src.h - 1;
  }
  sm.bilinear = (mode & LiceFilterBilinear) != 0;

  int x0, x1, y0, y1;
  if (!ClipSpan(dstx, dstw, d.w, &x0, &x1) || !ClipSpan(dsty, dsth, d.h, &y0, &y1))
    return;
  // Positions relative to the destination rectangle, so a drawing does not depend on where it lands.
  const double hw = dstw * 0.5 + rotxcent, hh = dsth * 0.5 + rotycent;
  const double c = std::cos((double)angle), s = std::sin((double)angle);
  const double sx = (double)srcw / dstw, sy = (double)srch / dsth;
  for (int y = y0; y < y1; ++y)
  {
    LicePixel* row = d.At(0, y);
    const double py = ((double)y - dsty) + 0.5 - hh;
    for (int x = x0; x < x1; ++x)
    {
      const double px = ((double)x - dstx) + 0.5 - hw;
      // Undo the clockwise rotation to find where this pixel was before it.
      const double ux = hw + c * px + s * py, uy = hh - s * px + c * py;
      const double u = srcx + ux * sx, v = srcy + uy * sy;
      LicePixel p;
      if (sm.Sample(u, v, &p))
        Put(row + x, p, ia, mode);
    }
  }
}

void LiceFillRect(LiceBitmap* dest, int x, int y, int w, int h, LicePixel color, float weight, LiceBlitMode mode)
{
  Surface s;
  if (!GetSurface(dest, &s) || !PrepareColour(color, &weight, &mode))
    return;
  int x0, x1, y0, y1;
  if (!ClipSpan(x, w, s.w, &x0, &x1) || !ClipSpan(y, h, s.h, &y0, &y1))
    return;
  const int ia = WeightToIA(weight);
  if (ia == 0 && !IsChanCopy(mode))
    return;

  if ((mode & 0xFF) == LiceModeCopy)
  {
    if (ia <= 0)
      return;
    const LicePixel c2 = (color >> 1) & 0x7F7F7F7Fu, c4 = (color >> 2) & 0x3F3F3F3Fu;
    for (int yy = y0; yy < y1; ++yy)
    {
      LicePixel* p = s.At(0, yy);
      switch (ia)
      {
      case 256:
        for (int xx = x0; xx < x1; ++xx)
          p[xx] = color;
        break;
      case 128:
        for (int xx = x0; xx < x1; ++xx)
          p[xx] = c2 + ((p[xx] >> 1) & 0x7F7F7F7Fu);
        break;
      case 64:
        for (int xx = x0; xx < x1; ++xx)
          p[xx] = c4 + ((p[xx] >> 2) & 0x3F3F3F3Fu) * 3;
        break;
      case 192:
        for (int xx = x0; xx < x1; ++xx)
          p[xx] = c4 * 3 + ((p[xx] >> 2) & 0x3F3F3F3Fu);
        break;
      default:
        for (int xx = x0; xx < x1; ++xx)
          ComposeOne<OpCopy, false>(p + xx, color, ia);
        break;
      }
    }
    return;
  }
  for (int yy = y0; yy < y1; ++yy)
  {
    LicePixel* p = s.At(0, yy);
    for (int xx = x0; xx < x1; ++xx)
      ComposeAny(p + xx, color, ia, mode);
  }
}

void LiceMaskFill(LiceBitmap* dest, int x, int y, int w, int h, LicePixel mask, LicePixel value)
{
  Surface s;
  if (!GetSurface(dest, &s))
    return;
  int x0, x1, y0, y1;
  if (!ClipSpan(x, w, s.w, &x0, &x1) || !ClipSpan(y, h, s.h, &y0, &y1))
    return;
  for (int yy = y0; yy < y1; ++yy)
  {
    LicePixel* p = s.At(0, yy);
    for (int xx = x0; xx < x1; ++xx)
      p[xx] = (p[xx] & mask) | value;
  }
}

void LicePutPixel(LiceBitmap* dest, int x, int y, LicePixel color, float weight, LiceBlitMode mode)
{
  Surface s;
  if (!GetSurface(dest, &s) || x < 0 || y < 0 || x >= s.w || y >= s.h)
    return;
  mode &= 0xFF;
  if (weight == 0.0f || weight != weight || !ModeDraws(mode))
    return;
  Put(s.At(x, y), color, WeightToIA(weight), mode);
}

LicePixel LiceGetPixel(LiceBitmap* bm, int x, int y)
{
  Surface s;
  if (!GetSurface(bm, &s) || x < 0 || y < 0 || x >= s.w || y >= s.h)
    return 0;
  return *s.At(x, y);
}

void LiceLine(LiceBitmap* dest, int x1, int y1, int x2, int y2, LicePixel color, float weight, LiceBlitMode mode,
              bool antialias)
{
  Surface s;
  if (!GetSurface(dest, &s) || !PrepareColour(color, &weight, &mode))
    return;
  const long long adx = std::llabs((long long)x2 - x1), ady = std::llabs((long long)y2 - y1);
  const bool xMajor = adx >= ady;
  // Walk the longer axis in increasing order; (a, b) are (major, minor) coordinates.
  long long a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1, a2 = xMajor ? x2 : y2, b2 = xMajor ? y2 : x2;
  if (a2 < a1)
  {
    std::swap(a1, a2);
    std::swap(b1, b2);
  }
  const int majorSize = xMajor ? s.w : s.h;
  int lo, hi;
  if (!ClipSpan(a1, a2 - a1 + 1, majorSize, &lo, &hi))
    return;
  const double da = (double)(a2 - a1), db = (double)(b2 - b1);
  for (int a = lo; a < hi; ++a)
  {
    // Offset of the exact line from b1 at this step; whole and fractional parts are taken from the
    // offset alone, so a line moved by whole pixels draws the same pixels moved.
    const double t = da > 0.0 ? ((double)a - (double)a1) * db / da : 0.0;
    if (!antialias)
    {
      const double bi = (double)b1 + std::floor(t + 0.5);
      if (bi < -1.0 || bi > 2147483646.0)
        continue;
      const int bb = (int)bi;
      if (xMajor)
        PlotCoverage(s, a, bb, color, weight, 1.0, mode);
      else
        PlotCoverage(s, bb, a, color, weight, 1.0, mode);
    }
    else
    {
      const double whole = std::floor(t), f = t - whole;
      const double b0 = (double)b1 + whole;
      if (b0 < -2.0 || b0 > 2147483645.0)
        continue;
      const int bb = (int)b0;
      if (xMajor)
      {
        PlotCoverage(s, a, bb, color, weight, 1.0 - f, mode);
        PlotCoverage(s, a, bb + 1, color, weight, f, mode);
      }
      else
      {
        PlotCoverage(s, bb, a, color, weight, 1.0 - f, mode);
        PlotCoverage(s, bb + 1, a, color, weight, f, mode);
      }
    }
  }
}

void LiceArc(LiceBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, LicePixel color,
             float weight, LiceBlitMode mode, bool antialias)
{
  DrawOutline(dest, cx, cy, r, true, minAngle, maxAngle, color, weight, mode, antialias);
}

void LiceCircle(LiceBitmap* dest, float cx, float cy, float r, LicePixel color, float weight, LiceBlitMode mode,
                bool antialias)
{
  DrawOutline(dest, cx, cy, r, false, 0.0, 0.0, color, weight, mode, antialias);
}
