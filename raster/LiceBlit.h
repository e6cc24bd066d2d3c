#pragma once
// Compositing and drawing on raster bitmaps.
//
// Every operation takes a weight (1.0 = full strength) and a mode word:
//   bits 0-7   the operation: LiceModeCopy, LiceModeAdd, LiceModeDodge, LiceModeMul, LiceModeOverlay,
//              LiceModeHSVAdjust, or 0xF0-0xFF for a channel copy (LiceModeChanCopy | source byte
//              index | destination byte index << 2; byte indexes count blue 0, green 1, red 2, alpha 3);
//   0x100      LiceFilterBilinear: bilinear sampling in the scaled and rotated blits (LiceBlit ignores it);
//   0x10000    LiceUseSourceAlpha: each source pixel's alpha further weights its contribution.
// Nothing happens for a null bitmap, a bitmap without pixels, a weight of 0 (or not a number) or a
// rectangle that clips to nothing. Every operation clips to the destination and addresses flipped
// bitmaps bottom-up, so pictures are never mirrored.
//
// Pixel arithmetic. Inside the loops the weight is the integer ia = trunc(weight x 256) (weights beyond
// +-256 count as +-256, so no formula can overflow); q(x) is x / 256
// truncated toward zero; clamp() limits to 0..255; results are stored as one byte. All four bytes
// (blue, green, red, alpha) are treated alike unless said otherwise. With LiceUseSourceAlpha the
// effective weight of a source pixel is w = q((sA + 1) x ia), otherwise w = ia; with source alpha a
// fully transparent source pixel (sA = 0) leaves the destination untouched (dodge applies its formula,
// which then changes nothing at weights up to 1.0).
//   copy     d <- s + q((d - s) x (256 - w))        (plain copy with ia <= 0 draws nothing)
//   add      d <- clamp(d + q(s x w))
//   dodge    t = 256 - q(s x w); d <- clamp(t > 1 ? d x 256 / t : d x 256)
//   multiply m = (d x (s + 1)) >> 8;  d <- m + q((d - m) x (256 - w))
//   overlay  o = d < 128 ? 2 d s / 255 : 255 - 2 (255 - d)(255 - s) / 255 (integer division);
//            d <- o + q((d - o) x (256 - w))
//   hsv      the destination's colour goes to hue (0..1535), saturation and value (0..255); the source
//            adjusts it: hue += 6 x sR (sR = 0 keeps the hue, a full turn is 256), saturation x= sG / 128,
//            value x= sB / 128 (128 keeps them; both limited to 255); back to RGB = a; then for blue,
//            green and red d <- a + q((d - a) x (256 - w)); the destination's alpha is kept.
//   channel copy: destination byte ((mode >> 2) & 3) <- source byte (mode & 3); the weight only gates.
// LiceBlit's plain copy at weight exactly 1.0 copies rows as raw bytes and at exactly 0.5 averages with
// a shift and mask (each byte: half the source plus half the destination, halves rounded down).

#include "raster/LiceBitmap.h"

typedef int LiceBlitMode;

constexpr LiceBlitMode LiceModeCopy = 0;
constexpr LiceBlitMode LiceModeAdd = 1;
constexpr LiceBlitMode LiceModeDodge = 2;
constexpr LiceBlitMode LiceModeMul = 3;
constexpr LiceBlitMode LiceModeOverlay = 4;
constexpr LiceBlitMode LiceModeHSVAdjust = 5;
constexpr LiceBlitMode LiceModeChanCopy = 0xF0;
constexpr LiceBlitMode LiceModeMask = 0xFF;
constexpr LiceBlitMode LiceFilterBilinear = 0x100;
constexpr LiceBlitMode LiceUseSourceAlpha = 0x10000;

// Channel-copy mode word: copy source byte srcByte into destination byte dstByte (0 blue .. 3 alpha).
inline LiceBlitMode LiceChanCopyMode(int srcByte, int dstByte)
{
  return LiceModeChanCopy | (srcByte & 3) | ((dstByte & 3) << 2);
}

// Source rectangle by its corners: columns x1..x2-1, rows y1..y2-1.
struct LiceRect
{
  int x1, y1, x2, y2;
};

// Copies the source rectangle at (srcx, srcy) of size srcw x srch so that its top-left lands at
// (dstx, dsty). Parts outside either bitmap are cut off (a negative source corner moves the drawing
// right/down, a negative destination origin moves the source corner).
void LiceBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
              float weight, LiceBlitMode mode);
// The same with the source rectangle as corners; a null rectangle means the whole source.
void LiceBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, const LiceRect* srcrect, float weight,
              LiceBlitMode mode);
// Resizes dest to src's size and copies src into it exactly (all four bytes).
void LiceCopy(LiceBitmap* dest, LiceBitmap* src);

// Stretches the source rectangle (floating-point corner and size) onto the destination rectangle.
// Destination pixel x samples the source at u = srcx + (x - dstx + 0.5) x srcw / dstw (likewise y):
// nearest sampling takes source column floor(u); bilinear sampling weighs the four pixels around
// u - 0.5 in 1/256 steps (neighbours limited to the source rectangle's pixels), with the colour
// weighted by each pixel's alpha so transparent pixels lend no colour. Samples whose pixel lies outside
// the source bitmap draw nothing. dstw or dsth <= 0, or a source width/height of 0, draws nothing; a
// negative source width or height mirrors.
void LiceScaledBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, float weight, LiceBlitMode mode);

// Draws the source rectangle scaled onto the destination rectangle and rotated by angle radians
// (clockwise on screen) about the rectangle's centre shifted by (rotxcent, rotycent). Only pixels
// inside the destination rectangle are drawn. Samples are taken as in LiceScaledBlit; a sample whose
// pixel lies outside the source rectangle (cliptosourcerect) or outside the source bitmap draws nothing.
void LiceRotatedBlit(LiceBitmap* dest, LiceBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                     float srcy, float srcw, float srch, float angle, bool cliptosourcerect, float weight,
                     LiceBlitMode mode, float rotxcent = 0.0f, float rotycent = 0.0f);

// Composes colour into every pixel of the rectangle. With LiceUseSourceAlpha the weight is first
// multiplied by the colour's alpha / 255 and the operation then runs without source alpha. Plain copy
// takes shortcuts for ia 256 (store), 128 (shift-and-mask average), 64 and 192 (quarter steps with
// shift and mask, each quarter rounded down); other weights use the formulas above.
void LiceFillRect(LiceBitmap* dest, int x, int y, int w, int h, LicePixel color, float weight,
                  LiceBlitMode mode);
// Sets every pixel of the rectangle to (pixel AND mask) OR value.
void LiceMaskFill(LiceBitmap* dest, int x, int y, int w, int h, LicePixel mask, LicePixel value);
// Composes colour into one pixel with operation mode & 0xFF (0-5 or a channel copy; the source-alpha
// flag is not used). Points outside the bitmap do nothing.
void LicePutPixel(LiceBitmap* dest, int x, int y, LicePixel color, float weight, LiceBlitMode mode);
// The pixel at (x, y); 0 for a null bitmap, one without pixels, or a point outside.
LicePixel LiceGetPixel(LiceBitmap* bm, int x, int y);

// Lines, arcs and circles compose colour as LiceFillRect does (source alpha scales the weight by the
// colour's alpha); an anti-aliased pixel's weight is further scaled by its coverage, and every pixel is
// composed at most once per call.
// Line between pixel centres (x1, y1) and (x2, y2), both ends included. Without anti-aliasing one pixel
// per step of the longer axis, the other coordinate rounded half up; with it (Wu's method) the two
// pixels straddling the exact line share the step by distance.
void LiceLine(LiceBitmap* dest, int x1, int y1, int x2, int y2, LicePixel color, float weight,
              LiceBlitMode mode, bool antialias);
// Arc of the circle of radius r about (cx, cy) from angle minAngle to maxAngle in radians; angle 0 points
// up and angles grow clockwise on screen (the point at angle a is (cx + r sin a, cy - r cos a)). A span of
// 2 pi or more is the whole circle. A pixel belongs to the outline when its distance d from the centre
// satisfies |d - r| < 0.5; anti-aliased, its coverage is 1 - |d - r| for |d - r| < 1.
void LiceArc(LiceBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, LicePixel color,
             float weight, LiceBlitMode mode, bool antialias);
void LiceCircle(LiceBitmap* dest, float cx, float cy, float r, LicePixel color, float weight, LiceBlitMode mode,
                bool antialias);
