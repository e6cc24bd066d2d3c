// LiceBlit against a slow reference: clipping by mapping every source pixel, pixel arithmetic
// written out channel by channel with floating-point truncation.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>

#include "TestImages.h"
#include "raster/LiceBlit.h"

using testimg::At;
using testimg::Hex;

namespace
{

// q(x): x / 256 truncated toward zero, computed in floating point.
long long RefQ(long long x) { return (long long)std::trunc((double)x / 256.0); }
int RefClamp(long long x) { return x < 0 ? 0 : (x > 255 ? 255 : (int)x); }
int Chan(LicePixel p, int k) { return (int)((p >> (8 * k)) & 0xFF); }

// The expected destination pixel for one source/destination pair, or nullopt when the blit leaves it.
std::optional<LicePixel> RefPixel(int mode, float weight, LicePixel s, LicePixel d)
{
  if (weight == 0.0f || std::isnan(weight))
    return std::nullopt;
  if ((mode & 0xFF) >= 0xF0)
  {
    const int si = mode & 3, di = (mode >> 2) & 3;
    LicePixel out = d & ~(0xFFu << (8 * di));
    return out | ((LicePixel)Chan(s, si) << (8 * di));
  }
  const int op = mode & 0x100FF;
  const int sA = Chan(s, 3);
  if (op == 0 && weight == 1.0f)
    return s;
  if (op == 0 && weight == 0.5f)
  {
    LicePixel out = 0;
    for (int k = 0; k < 4; ++k)
      out |= (LicePixel)(Chan(s, k) / 2 + Chan(d, k) / 2) << (8 * k);
    return out;
  }
  const long long ia = (long long)std::trunc((double)weight * 256.0);
  if (ia == 0)
    return std::nullopt;
  LicePixel out = 0;
  switch (op)
  {
  case 0x00000:
    if (ia <= 0)
      return std::nullopt;
    if (ia == 256)
      return s;
    for (int k = 0; k < 4; ++k)
      out |= (LicePixel)((Chan(s, k) + RefQ((long long)(Chan(d, k) - Chan(s, k)) * (256 - ia))) & 0xFF) << (8 * k);
    return out;
  case 0x10000:
  {
    if (sA == 0)
      return std::nullopt;
    const long long h = 256 - RefQ((sA + 1) * ia);
    for (int k = 0; k < 4; ++k)
      out |= (LicePixel)((Chan(s, k) + RefQ((long long)(Chan(d, k) - Chan(s, k)) * h)) & 0xFF) << (8 * k);
    return out;
  }
  case 0x00001:
  case 0x10001:
  {
    if (op == 0x10001 && sA == 0)
      return std::nullopt;
    const long long w = op == 0x10001 ? RefQ((sA + 1) * ia) : ia;
    for (int k = 0; k < 4; ++k)
      out |= (LicePixel)RefClamp(Chan(d, k) + RefQ(Chan(s, k) * w)) << (8 * k);
    return out;
  }
  case 0x00002:
  case 0x10002:
  {
    const long long w = op == 0x10002 ? RefQ((sA + 1) * ia) : ia;
    for (int k = 0; k < 4; ++k)
    {
      const long long t = 256 - RefQ(Chan(s, k) * w);
      const long long v = t > 1 ? (long long)std::floor(Chan(d, k) * 256.0 / (double)t) : Chan(d, k) * 256LL;
      out |= (LicePixel)RefClamp(v) << (8 * k);
    }
    return out;
  }
  default: return std::nullopt;
  }
}

// Reference blit: every source pixel inside both the source rectangle and the source bitmap lands at
// (dstx + sx - x1, dsty + sy - y1) when that is inside the destination.
std::vector<LicePixel> RefBlit(std::vector<LicePixel> dest, int dw, int dh, const std::vector<LicePixel>& src, int sw,
                               int sh, long long dstx, long long dsty, const LiceRect* r, float weight, int mode)
{
  const long long x1 = r ? r->x1 : 0, y1 = r ? r->y1 : 0, x2 = r ? r->x2 : sw, y2 = r ? r->y2 : sh;
  for (long long sy = 0; sy < sh; ++sy)
    for (long long sx = 0; sx < sw; ++sx)
    {
      if (sx < x1 || sx >= x2 || sy < y1 || sy >= y2)
        continue;
      const long long dx = dstx + sx - x1, dy = dsty + sy - y1;
      if (dx < 0 || dy < 0 || dx >= dw || dy >= dh)
        continue;
      LicePixel& d = dest[(size_t)(dy * dw + dx)];
      if (auto v = RefPixel(mode, weight, src[(size_t)(sy * sw + sx)], d))
        d = *v;
    }
  return dest;
}

// Interesting channel values; pixels are built from them and from random words.
const int kBytes[] = {0, 1, 2, 127, 128, 129, 254, 255};

std::vector<LicePixel> InterestingPixels(testimg::Rng& rng, size_t n)
{
  std::vector<LicePixel> v;
  while (v.size() < n)
  {
    if (rng.Below(3) == 0)
      v.push_back(rng.Next());
    else
      v.push_back(LiceRGBA(kBytes[rng.Below(8)], kBytes[rng.Below(8)], kBytes[rng.Below(8)],
                                     kBytes[rng.Below(8)]));
  }
  return v;
}

const float kWeights[] = {0.0f, 0.003f, 0.5f, 1.0f, 0.25f, 0.75f, 0.3f, 0.999f, 1.0f / 256.0f, -0.5f, 1.5f};
const int kModes[] = {0x00000, 0x10000, 0x10001, 0x10002, 0x00001, 0x00002, 0x00100, 0x10100, 0x10102};

std::string Describe(int mode, float weight)
{
  return testimg::FormatCase("mode %05X weight %.9g", mode, (double)weight);
}

// One source/destination pair per pixel over a row: every combination of the interesting bytes in
// one channel, alpha and destination, and the same across all four channels.
TEST(BlitArithmetic, PixelPairsMatchTheReference)
{
  std::vector<LicePixel> src, dst;
  for (int sA : kBytes)
    for (int sC : kBytes)
      for (int dC : kBytes)
      {
        src.push_back(LiceRGBA(sC, 255 - sC, sC / 2, sA));
        dst.push_back(LiceRGBA(dC, dC, 255 - dC, 255 - dC));
        src.push_back(LiceRGBA(sC, sC, sC, sA));
        dst.push_back(LiceRGBA(dC, dC, dC, dC));
      }
  const int n = (int)src.size();
  LiceMemBitmap s(n, 1), d(n, 1);
  testimg::FillWith(s, src);
  for (int mode : kModes)
    for (float weight : kWeights)
    {
      testimg::FillWith(d, dst);
      LiceBlit(&d, &s, 0, 0, nullptr, weight, mode);
      for (int i = 0; i < n; ++i)
      {
        const LicePixel expected = RefPixel(mode, weight, src[i], dst[i]).value_or(dst[i]);
        ASSERT_EQ(Hex(At(d, i, 0)), Hex(expected))
          << Describe(mode, weight) << " src " << Hex(src[i]) << " dst " << Hex(dst[i]);
      }
    }
}

// The integer formulas stay within two steps of the plain floating-point blends they stand for.
TEST(BlitArithmetic, SourceAlphaCopyAndAddFollowTheFloatBlend)
{
  testimg::Rng rng(11);
  const int n = 4096;
  std::vector<LicePixel> src = InterestingPixels(rng, n), dst = InterestingPixels(rng, n);
  LiceMemBitmap s(n, 1), d(n, 1);
  testimg::FillWith(s, src);
  for (float weight : {1.0f, 0.75f, 0.5f, 0.2f})
    for (int mode : {0x10000, 0x10001})
    {
      testimg::FillWith(d, dst);
      LiceBlit(&d, &s, 0, 0, nullptr, weight, mode);
      for (int i = 0; i < n; ++i)
      {
        const double a = std::min(1.0, (Chan(src[i], 3) + 1) / 256.0 * weight);
        for (int k = 0; k < 4; ++k)
        {
          const double sv = Chan(src[i], k), dv = Chan(dst[i], k);
          double ideal = mode == 0x10000 ? dv + (sv - dv) * a : std::min(255.0, dv + sv * a);
          if (Chan(src[i], 3) == 0)
            ideal = dv;
          ASSERT_NEAR(Chan(At(d, i, 0), k), ideal, 2.0)
            << Describe(mode, weight) << " src " << Hex(src[i]) << " dst " << Hex(dst[i]) << " channel " << k;
        }
      }
    }
}

TEST(BlitArithmetic, DocumentedCases)
{
  struct Case
  {
    const char* what;
    LicePixel src, dst;
    float weight;
    int mode;
    LicePixel expected;
  };
  const Case cases[] = {
    {"copy at 1.0 copies alpha too", 0x00123456, 0xFFABCDEF, 1.0f, 0x00000, 0x00123456},
    {"half of 1 plus half of 1 is 0", 0x01010101, 0x01010101, 0.5f, 0x00000, 0x00000000},
    {"half average", 0xFF804020, 0x00000000, 0.5f, 0x00000, 0x7F402010},
    {"transparent source leaves destination", 0x00FFFFFF, 0x80112233, 1.0f, 0x10000, 0x80112233},
    {"opaque source replaces exactly", 0xFF102030, 0x40FFFFFF, 1.0f, 0x10000, 0xFF102030},
    {"add saturates", 0xFF808080, 0xFFC0C0C0, 1.0f, 0x10001, 0xFFFFFFFF},
    {"dodge by 255 saturates non-zero channels", 0xFFFFFFFF, 0x01000102, 1.0f, 0x10002, 0xFF00FFFF},
    {"dodge by 255 keeps zero", 0xFFFFFFFF, 0x00000000, 1.0f, 0x10002, 0x00000000},
    {"filter flag is ignored by the blit", 0x80102030, 0xFF000000, 1.0f, 0x10100, 0},
    {"weight below 1/256 draws nothing", 0xFFFFFFFF, 0x11223344, 0.003f, 0x10000, 0x11223344},
    {"negative weight in plain copy draws nothing", 0xFFFFFFFF, 0x11223344, -0.5f, 0x00000, 0x11223344},
    {"unknown operation draws nothing", 0xFFFFFFFF, 0x11223344, 1.0f, 0x00007, 0x11223344},
  };
  for (const Case& c : cases)
  {
    LiceMemBitmap s(1, 1), d(1, 1);
    At(s, 0, 0) = c.src;
    At(d, 0, 0) = c.dst;
    LiceBlit(&d, &s, 0, 0, nullptr, c.weight, c.mode);
    LicePixel expected = c.expected;
    if (c.mode == 0x10100)
    {
      LiceMemBitmap d2(1, 1);
      At(d2, 0, 0) = c.dst;
      LiceBlit(&d2, &s, 0, 0, nullptr, c.weight, 0x10000);
      expected = At(d2, 0, 0);
    }
    EXPECT_EQ(Hex(At(d, 0, 0)), Hex(expected)) << c.what;
  }
}

TEST(BlitArithmetic, ChannelCopyRoutesOneByte)
{
  for (int si = 0; si < 4; ++si)
    for (int di = 0; di < 4; ++di)
    {
      LiceMemBitmap s(1, 1), d(1, 1);
      At(s, 0, 0) = 0x44332211;
      At(d, 0, 0) = 0xDDCCBBAA;
      LiceBlit(&d, &s, 0, 0, nullptr, 0.01f, LiceChanCopyMode(si, di)); // the weight only gates
      const LicePixel expected = (0xDDCCBBAAu & ~(0xFFu << (8 * di))) | ((0x11u * (si + 1)) << (8 * di));
      EXPECT_EQ(Hex(At(d, 0, 0)), Hex(expected)) << si << " -> " << di;
      LiceBlit(&d, &s, 0, 0, nullptr, 0.0f, LiceChanCopyMode(si, (di + 1) & 3));
      EXPECT_EQ(Hex(At(d, 0, 0)), Hex(expected)) << "weight 0";
    }
}

// ---- clipping ----

struct ClipCase
{
  long long dstx, dsty;
  bool hasRect;
  LiceRect rect;
};

const ClipCase kClipCases[] = {
  {0, 0, false, {}},
  {-3, 0, false, {}}, // source columns 3 onward at column 0
  {0, -4, false, {}},
  {5, 6, false, {}},
  {12, 9, false, {}},
  {17, 0, false, {}},  // at the right edge: nothing
  {0, 13, false, {}},  // at the bottom edge: nothing
  {-11, 0, false, {}}, // left of the destination: nothing
  {-10, -8, false, {}},
  {0, 0, true, {-2, 0, 5, 5}}, // moves right by 2, starts at source column 0
  {0, 0, true, {0, -3, 4, 4}},
  {1, 1, true, {3, 2, 40, 40}}, // wider and taller than the source
  {0, 0, true, {5, 5, 3, 3}},   // inverted: nothing
  {-1, -1, true, {2, 2, 9, 7}},
  {-2, 3, true, {-5, -5, 20, 20}},
  {10, 8, true, {0, 0, 11, 9}},
  {0, 0, true, {20, 20, 30, 30}}, // outside the source: nothing
  {16, 12, true, {10, 8, 11, 9}}, // one pixel in the far corners
  {INT_MAX, 0, false, {}},
  {INT_MIN, INT_MIN, false, {}},
  {0, 0, true, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
  {INT_MIN + 5, 2, true, {INT_MIN, 0, 3, 3}},
};

struct Layout
{
  const char* name;
  bool srcFlipped, dstFlipped, dstSys;
};
const Layout kLayouts[] = {
  {"plain", false, false, false},
  {"flipped source", true, false, false},
  {"flipped destination", false, true, false},
  {"both flipped", true, true, false},
  {"surface with wider rows", false, false, true},
};

std::unique_ptr<LiceBitmap> MakeBitmap(bool flipped, bool sys, int w, int h)
{
  if (flipped)
    return std::make_unique<testimg::FlippedBitmap>(w, h);
  if (sys)
  {
    auto bm = std::make_unique<LiceSysBitmap>(w + 9, h + 4);
    bm->SetSize(w, h); // keeps the larger section: row span > width
    return bm;
  }
  return std::make_unique<LiceMemBitmap>(w, h);
}

TEST(BlitClipping, EveryEdgeAndLayoutMatchesTheReference)
{
  const int dw = 17, dh = 13, sw = 11, sh = 9;
  testimg::Rng rng(2024);
  const std::vector<LicePixel> srcImg = InterestingPixels(rng, sw * sh), dstImg = InterestingPixels(rng, dw * dh);
  for (const Layout& layout : kLayouts)
  {
    auto src = MakeBitmap(layout.srcFlipped, false, sw, sh);
    auto dst = MakeBitmap(layout.dstFlipped, layout.dstSys, dw, dh);
    ASSERT_EQ(dst->GetWidth(), dw);
    testimg::FillWith(*src, srcImg);
    for (const ClipCase& c : kClipCases)
      for (int mode : {0x00000, 0x10000, 0x10001, 0x10002})
        for (float weight : {1.0f, 0.5f, 0.3f})
        {
          testimg::FillWith(*dst, dstImg);
          const LiceRect* r = c.hasRect ? &c.rect : nullptr;
          LiceBlit(dst.get(), src.get(), (int)c.dstx, (int)c.dsty, r, weight, mode);
          const auto expected = RefBlit(dstImg, dw, dh, srcImg, sw, sh, c.dstx, c.dsty, r, weight, mode);
          const auto actual = testimg::Snapshot(*dst);
          for (int i = 0; i < dw * dh; ++i)
            ASSERT_EQ(Hex(actual[i]), Hex(expected[i]))
              << layout.name << " dst (" << c.dstx << "," << c.dsty << ") rect "
              << (c.hasRect ? testimg::FormatCase("%d,%d,%d,%d", c.rect.x1, c.rect.y1, c.rect.x2, c.rect.y2)
                            : std::string("none"))
              << " " << Describe(mode, weight) << " at pixel " << i % dw << "," << i / dw;
        }
  }
}

TEST(BlitClipping, SizeFormForwardsToCornersWithoutOverflow)
{
  const int dw = 9, dh = 7;
  testimg::Rng rng(5);
  LiceMemBitmap src(6, 5), dst(dw, dh);
  testimg::Fill(src, rng);
  const auto srcImg = testimg::Snapshot(src);
  struct Case
  {
    int dstx, dsty, srcx, srcy, srcw, srch;
  };
  const Case cases[] = {
    {0, 0, 0, 0, 6, 5},   {2, 1, 1, 1, 3, 2},        {-1, -2, 0, 0, 6, 5},       {0, 0, -2, -1, 4, 4},
    {3, 3, 4, 3, 100, 100}, {0, 0, 2, 2, -1, 3},       {0, 0, INT_MAX - 2, 0, 10, 5}, {0, 0, 0, INT_MAX, 5, INT_MAX},
    {1, 1, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
  };
  for (const Case& c : cases)
  {
    dst.SetSize(dw, dh);
    const std::vector<LicePixel> before(dw * dh, 0x55555555u);
    testimg::FillWith(dst, before);
    LiceBlit(&dst, &src, c.dstx, c.dsty, c.srcx, c.srcy, c.srcw, c.srch, 1.0f, 0);
    // The reference takes the corners in 64 bits.
    std::vector<LicePixel> expected = before;
    const long long x2 = (long long)c.srcx + c.srcw, y2 = (long long)c.srcy + c.srch;
    for (long long sy = 0; sy < 5; ++sy)
      for (long long sx = 0; sx < 6; ++sx)
      {
        if (sx < c.srcx || sx >= x2 || sy < c.srcy || sy >= y2)
          continue;
        const long long dx = c.dstx + sx - c.srcx, dy = c.dsty + sy - c.srcy;
        if (dx >= 0 && dy >= 0 && dx < dw && dy < dh)
          expected[(size_t)(dy * dw + dx)] = srcImg[(size_t)(sy * 6 + sx)];
      }
    EXPECT_EQ(testimg::Snapshot(dst), expected)
      << c.dstx << " " << c.dsty << " " << c.srcx << " " << c.srcy << " " << c.srcw << " " << c.srch;
  }
}

TEST(BlitClipping, NullAndEmptyBitmapsDrawNothing)
{
  LiceMemBitmap src(4, 4), dst(4, 4), empty;
  testimg::FillWith(dst, std::vector<LicePixel>(16, 7));
  LiceBlit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
  LiceBlit(&dst, nullptr, 0, 0, nullptr, 1.0f, 0);
  LiceBlit(&dst, &empty, 0, 0, nullptr, 1.0f, 0);
  LiceBlit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
  LiceBlit(&dst, &src, 0, 0, nullptr, std::nanf(""), 0x10000);
  EXPECT_EQ(testimg::Snapshot(dst), std::vector<LicePixel>(16, 7));
}

// Seeded random blits over random sizes, layouts, modes and weights; a failure names the seed.
TEST(BlitClipping, RandomStressMatchesTheReference)
{
  for (uint32_t seed = 1; seed <= 300; ++seed)
  {
    testimg::Rng rng(seed);
    const int sw = 1 + rng.Below(12), sh = 1 + rng.Below(12), dw = 1 + rng.Below(12), dh = 1 + rng.Below(12);
    const Layout& layout = kLayouts[rng.Below(5)];
    auto src = MakeBitmap(layout.srcFlipped, false, sw, sh);
    auto dst = MakeBitmap(layout.dstFlipped, layout.dstSys, dw, dh);
    const auto srcImg = InterestingPixels(rng, sw * sh), dstImg = InterestingPixels(rng, dw * dh);
    testimg::FillWith(*src, srcImg);
    testimg::FillWith(*dst, dstImg);
    const int dstx = rng.Below(30) - 15, dsty = rng.Below(30) - 15;
    const bool hasRect = rng.Below(2) == 0;
    LiceRect r = {rng.Below(30) - 15, rng.Below(30) - 15, rng.Below(30) - 15, rng.Below(30) - 15};
    const int mode = kModes[rng.Below(9)];
    const float weight = kWeights[rng.Below(11)];
    LiceBlit(dst.get(), src.get(), dstx, dsty, hasRect ? &r : nullptr, weight, mode);
    const auto expected = RefBlit(dstImg, dw, dh, srcImg, sw, sh, dstx, dsty, hasRect ? &r : nullptr, weight, mode);
    ASSERT_EQ(testimg::Snapshot(*dst), expected) << "seed " << seed << " " << layout.name << " "
                                                 << Describe(mode, weight);
  }
}

} // namespace
