#include "raster/LiceBlit.h"

#include <cstring>
#include <type_traits>

#include "raster/LicePixelOps.h"

using namespace lice_detail;

namespace
{

// The block to copy after clipping: w x h pixels, first rows and row steps of both bitmaps.
struct Block
{
  LicePixel* d;
  const LicePixel* s;
  long long dstep, sstep;
  int w, h;
};

// One loop per (operation, source alpha, weight class). kFull is the class ia = 256, where the
// source-alpha weight q((sA + 1) x 256) is simply sA + 1.
template <class Op, bool kAlpha, bool kFull>
void PixelLoop(const Block& b, int ia)
{
  LicePixel* drow = b.d;
  const LicePixel* srow = b.s;
  for (int y = 0; y < b.h; ++y, drow += b.dstep, srow += b.sstep)
  {
    for (int x = 0; x < b.w; ++x)
    {
      const LicePixel sp = srow[x];
      uint8_t s[4];
      std::memcpy(s, &sp, 4);
      if (kAlpha && Op::kSkipTransparent && s[3] == 0)
        continue;
      if constexpr (kAlpha && kFull && std::is_same<Op, OpCopy>::value)
        if (s[3] == 255)
        {
          drow[x] = sp; // h = 0: the source pixel exactly
          continue;
        }
      int w;
      if (kAlpha)
        w = kFull ? s[3] + 1 : Q((s[3] + 1) * ia);
      else
        w = kFull ? 256 : ia;
      uint8_t d[4];
      std::memcpy(d, &drow[x], 4);
      Op::Px(d, s, w);
      std::memcpy(&drow[x], d, 4);
    }
  }
}

template <class Op>
void RunOp(const Block& b, int ia, bool alpha)
{
  if (alpha)
  {
    if (ia == 256)
      PixelLoop<Op, true, true>(b, ia);
    else
      PixelLoop<Op, true, false>(b, ia);
  }
  else
  {
    if (ia == 256)
      PixelLoop<Op, false, true>(b, ia);
    else
      PixelLoop<Op, false, false>(b, ia);
  }
}

void RawCopy(const Block& b)
{
  LicePixel* drow = b.d;
  const LicePixel* srow = b.s;
  const size_t bytes = (size_t)b.w * 4;
  for (int y = 0; y < b.h; ++y, drow += b.dstep, srow += b.sstep)
    std::memmove(drow, srow, bytes);
}

void HalfCopy(const Block& b)
{
  LicePixel* drow = b.d;
  const LicePixel* srow = b.s;
  for (int y = 0; y < b.h; ++y, drow += b.dstep, srow += b.sstep)
    for (int x = 0; x < b.w; ++x)
      drow[x] = ((srow[x] >> 1) & 0x7F7F7F7Fu) + ((drow[x] >> 1) & 0x7F7F7F7Fu);
}

void ChanCopy(const Block& b, int mode)
{
  const int si = mode & 3, di = (mode >> 2) & 3;
  LicePixel* drow = b.d;
  const LicePixel* srow = b.s;
  for (int y = 0; y < b.h; ++y, drow += b.dstep, srow += b.sstep)
    for (int x = 0; x < b.w; ++x)
    {
      uint8_t s[4], d[4];
      std::memcpy(s, &srow[x], 4);
      std::memcpy(d, &drow[x], 4);
      d[di] = s[si];
      std::memcpy(&drow[x], d, 4);
    }
}

// The corner form with 64-bit corners, so that no clipping sum can overflow.
void BlitCorners(LiceBitmap* dest, LiceBitmap* src, long long dstx, long long dsty, bool hasRect, long long sx1,
                 long long sy1, long long sx2, long long sy2, float weight, int mode)
{
  if (!dest || !src || weight == 0.0f || weight != weight)
    return;

  const long long srcW = src->GetWidth(), srcH = src->GetHeight();
  const long long dstW = dest->GetWidth(), dstH = dest->GetHeight();

  if (!hasRect)
  {
    sx1 = 0;
    sy1 = 0;
    sx2 = srcW;
    sy2 = srcH;
  }
  else
  {
    if (sx1 < 0)
    {
      dstx += -sx1;
      sx1 = 0;
    }
    if (sy1 < 0)
    {
      dsty += -sy1;
      sy1 = 0;
    }
    if (sx2 > srcW)
      sx2 = srcW;
    if (sy2 > srcH)
      sy2 = srcH;
  }
  if (dstx < 0)
  {
    sx1 += -dstx;
    dstx = 0;
  }
  if (dsty < 0)
  {
    sy1 += -dsty;
    dsty = 0;
  }
  if (sx2 - sx1 + dstx > dstW)
    sx2 = dstW - dstx + sx1;
  if (sy2 - sy1 + dsty > dstH)
    sy2 = dstH - dsty + sy1;
  if (sx2 <= sx1 || sy2 <= sy1)
    return;

  LicePixel* dbits = dest->GetBits();
  LicePixel* sbits = src->GetBits();
  if (!dbits || !sbits)
    return;

  Block b;
  b.w = (int)(sx2 - sx1);
  b.h = (int)(sy2 - sy1);
  const long long sspan = src->GetRowSpan(), dspan = dest->GetRowSpan();
  if (src->IsFlipped())
  {
    b.s = sbits + (srcH - 1 - sy1) * sspan + sx1;
    b.sstep = -sspan;
  }
  else
  {
    b.s = sbits + sy1 * sspan + sx1;
    b.sstep = sspan;
  }
  if (dest->IsFlipped())
  {
    b.d = dbits + (dstH - 1 - dsty) * dspan + dstx;
    b.dstep = -dspan;
  }
  else
  {
    b.d = dbits + dsty * dspan + dstx;
    b.dstep = dspan;
  }

  if ((mode & 0xFF) >= 0xF0)
  {
    ChanCopy(b, mode);
    return;
  }

  const int op = mode & 0x100FF;
  if (op == LiceModeCopy)
  {
    if (weight == 1.0f)
    {
      RawCopy(b);
      return;
    }
    if (weight == 0.5f)
    {
      HalfCopy(b);
      return;
    }
  }

  const int ia = WeightToIA(weight);
  if (ia == 0)
    return;

  switch (op)
  {
  case LiceModeCopy:
    if (ia <= 0)
      return;
    if (ia == 256)
      RawCopy(b);
    else
      PixelLoop<OpCopy, false, false>(b, ia);
    break;
  case LiceModeCopy | LiceUseSourceAlpha: RunOp<OpCopy>(b, ia, true); break;
  case LiceModeAdd: RunOp<OpAdd>(b, ia, false); break;
  case LiceModeAdd | LiceUseSourceAlpha: RunOp<OpAdd>(b, ia, true); break;
  case LiceModeDodge: RunOp<OpDodge>(b, ia, false); break;
  case LiceModeDodge | LiceUseSourceAlpha: RunOp<OpDodge>(b, ia, true); break;
  case LiceModeMul: RunOp<OpMul>(b, ia, false); break;
  case LiceModeMul | LiceUseSourceAlpha: RunOp<OpMul>(b, ia, true); break;
  case LiceModeOverlay: RunOp<OpOverlay>(b, ia, false); break;
  case LiceModeOverlay | LiceUseSourceAlpha: RunOp<OpOverlay>(b, ia, true); break;
  case LiceModeHSVAdjust: RunOp<OpHSV>(b, ia, false); break;
  case LiceModeHSVAdjust | LiceUseSourceAlpha: RunOp<OpHSV>(b, ia, true); break;
  default: break; // any other operation draws nothing
  }
}

} // namespace

void LiceBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
              float weight, LiceBlitMode mode)
{
  BlitCorners(dest, src, dstx, dsty, true, srcx, srcy, (long long)srcx + srcw, (long long)srcy + srch, weight,
              mode);
}

void LiceBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, const LiceRect* srcrect, float weight,
              LiceBlitMode mode)
{
  if (srcrect)
    BlitCorners(dest, src, dstx, dsty, true, srcrect->x1, srcrect->y1, srcrect->x2, srcrect->y2, weight, mode);
  else
    BlitCorners(dest, src, dstx, dsty, false, 0, 0, 0, 0, weight, mode);
}

void LiceCopy(LiceBitmap* dest, LiceBitmap* src)
{
  if (!dest || !src)
    return;
  dest->SetSize(src->GetWidth(), src->GetHeight());
  LiceBlit(dest, src, 0, 0, nullptr, 1.0f, LiceModeCopy);
}
