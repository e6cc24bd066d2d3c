// The remaining blend operations, the scaled and rotated blits, fills, pixels, lines, arcs and circles:
// their defining properties, clipping (drawing on a small bitmap equals the matching part of a large
// one), flipped bitmaps and weight 0.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>

#include "TestImages.h"
#include "raster/LiceBlit.h"

using testimg::At;
using testimg::Hex;

namespace
{

const double kPi = 3.14159265358979323846;
int Chan(LicePixel p, int k) { return (int)((p >> (8 * k)) & 0xFF); }

// ---- multiply, overlay, hue/saturation/value ----

TEST(BlendOps, MultiplyAndOverlayFollowTheirFloatFormulas)
{
  testimg::Rng rng(99);
  const int n = 2048;
  LiceMemBitmap s(n, 1), d(n, 1);
  testimg::Fill(s, rng);
  std::vector<LicePixel> src = testimg::Snapshot(s), dst(n);
  for (auto& p : dst)
    p = rng.Next();
  for (int op : {LiceModeMul, LiceModeOverlay})
    for (bool alpha : {false, true})
      for (float weight : {1.0f, 0.5f, 0.8f})
      {
        const int mode = op | (alpha ? LiceUseSourceAlpha : 0);
        testimg::FillWith(d, dst);
        LiceBlit(&d, &s, 0, 0, nullptr, weight, mode);
        for (int i = 0; i < n; ++i)
        {
          const int sA = Chan(src[i], 3);
          double a = alpha ? (sA + 1) / 256.0 * weight : weight;
          if (alpha && sA == 0)
            a = 0.0;
          for (int k = 0; k < 4; ++k)
          {
            const double sv = Chan(src[i], k), dv = Chan(dst[i], k);
            const double target = op == LiceModeMul ? dv * sv / 255.0
                                                    : (dv < 128 ? 2 * dv * sv / 255.0
                                                                : 255 - 2 * (255 - dv) * (255 - sv) / 255.0);
            ASSERT_NEAR(Chan(At(d, i, 0), k), dv + (target - dv) * a, 2.5)
              << "mode " << std::hex << mode << std::dec << " weight " << weight << " src " << Hex(src[i])
              << " dst " << Hex(dst[i]) << " channel " << k;
          }
        }
      }
}

TEST(BlendOps, HueSaturationValueAdjustment)
{
  struct Case
  {
    const char* what;
    LicePixel adjust; // source: red = hue turn, green = saturation x/128, blue = value x/128
    LicePixel dest;
    LicePixel expected;
    int tolerance;
  };
  const Case cases[] = {
    {"neutral adjustment keeps the colour", LiceRGBA(0, 128, 128, 255), LiceRGBA(200, 100, 50, 77),
     LiceRGBA(200, 100, 50, 77), 2},
    {"no saturation gives gray of the value", LiceRGBA(0, 0, 128, 255), LiceRGBA(200, 100, 50, 10),
     LiceRGBA(200, 200, 200, 10), 1},
    {"no value gives black", LiceRGBA(0, 128, 0, 255), LiceRGBA(200, 100, 50, 99), LiceRGBA(0, 0, 0, 99), 0},
    {"half a turn makes red cyan", LiceRGBA(128, 128, 128, 255), LiceRGBA(255, 0, 0, 255),
     LiceRGBA(0, 255, 255, 255), 1},
    {"a third of a turn makes red green", LiceRGBA(85, 128, 128, 255), LiceRGBA(255, 0, 0, 255),
     LiceRGBA(2, 255, 0, 255), 3},
    {"double value saturates at 255", LiceRGBA(0, 128, 255, 255), LiceRGBA(100, 50, 0, 255),
     LiceRGBA(199, 99, 0, 255), 2},
  };
  for (const Case& c : cases)
    for (int mode : {LiceModeHSVAdjust, LiceModeHSVAdjust | LiceUseSourceAlpha})
    {
      LiceMemBitmap s(1, 1), d(1, 1);
      At(s, 0, 0) = c.adjust;
      At(d, 0, 0) = c.dest;
      LiceBlit(&d, &s, 0, 0, nullptr, 1.0f, mode);
      const LicePixel got = At(d, 0, 0);
      EXPECT_EQ(Chan(got, 3), Chan(c.dest, 3)) << c.what << ": alpha is kept";
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(Chan(got, k), Chan(c.expected, k), c.tolerance)
          << c.what << " channel " << k << " got " << Hex(got) << " mode " << std::hex << mode;
    }
}

TEST(BlendOps, TransparentSourceAndZeroWeightChangeNothing)
{
  testimg::Rng rng(4);
  LiceMemBitmap s(64, 1), d(64, 1);
  testimg::Fill(s, rng);
  for (int x = 0; x < 64; ++x)
    At(s, x, 0) &= 0x00FFFFFF;
  testimg::Fill(d, rng);
  const auto before = testimg::Snapshot(d);
  for (int op = 0; op <= 5; ++op)
  {
    LiceBlit(&d, &s, 0, 0, nullptr, 1.0f, op | LiceUseSourceAlpha);
    EXPECT_EQ(testimg::Snapshot(d), before) << "transparent source, op " << op;
    LiceBlit(&d, &s, 0, 0, nullptr, 0.0f, op);
    EXPECT_EQ(testimg::Snapshot(d), before) << "weight 0, op " << op;
  }
}

// ---- common properties of every drawing operation ----

using DrawFn = std::function<void(LiceBitmap*, int dx, int dy, float weight, int mode)>;

struct DrawOp
{
  const char* name;
  DrawFn draw; // draws with its origin shifted by (dx, dy)
};

LiceMemBitmap& SourceImage()
{
  static LiceMemBitmap img(12, 10);
  static bool made = false;
  if (!made)
  {
    testimg::Rng rng(77);
    testimg::Fill(img, rng);
    made = true;
  }
  return img;
}

std::vector<DrawOp> AllDrawOps()
{
  return {
    {"FillRect", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceFillRect(b, 3 + dx, 4 + dy, 30, 20, 0xC0804020, w, m); }},
    {"MaskFill", [](LiceBitmap* b, int dx, int dy, float, int) { LiceMaskFill(b, 3 + dx, 4 + dy, 30, 20, 0x00FF00FF, 0x80000000); }},
    {"PutPixel", [](LiceBitmap* b, int dx, int dy, float w, int m) {
       for (int i = 0; i < 40; ++i)
         LicePutPixel(b, (i * 7) % 40 + dx, (i * 11) % 40 + dy, 0xFF336699, w, m);
     }},
    {"Line", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceLine(b, 2 + dx, 3 + dy, 37 + dx, 29 + dy, 0xFFFFFFFF, w, m, false); }},
    {"Line steep", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceLine(b, 30 + dx, 1 + dy, 5 + dx, 38 + dy, 0xFF00FF00, w, m, false); }},
    {"Line AA", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceLine(b, 2 + dx, 3 + dy, 37 + dx, 29 + dy, 0xFFFFFFFF, w, m, true); }},
    {"Line AA steep", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceLine(b, 30 + dx, 1 + dy, 5 + dx, 38 + dy, 0xFF00FF00, w, m, true); }},
    {"Circle", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceCircle(b, 20.0f + dx, 18.5f + dy, 13.0f, 0xFFFF0000, w, m, false); }},
    {"Circle AA", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceCircle(b, 20.0f + dx, 18.5f + dy, 13.0f, 0xFFFF0000, w, m, true); }},
    {"Arc", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceArc(b, 20.0f + dx, 20.0f + dy, 15.0f, -1.0f, 2.5f, 0xFF0000FF, w, m, false); }},
    {"Arc AA", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceArc(b, 20.0f + dx, 20.0f + dy, 15.0f, -1.0f, 2.5f, 0xFF0000FF, w, m, true); }},
    {"ScaledBlit", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceScaledBlit(b, &SourceImage(), 1 + dx, 2 + dy, 37, 33, 1.5f, 0.5f, 9.0f, 8.0f, w, m); }},
    {"ScaledBlit bilinear", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceScaledBlit(b, &SourceImage(), 1 + dx, 2 + dy, 37, 33, 1.5f, 0.5f, 9.0f, 8.0f, w, m | LiceFilterBilinear); }},
    {"RotatedBlit", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceRotatedBlit(b, &SourceImage(), 4 + dx, 3 + dy, 32, 30, 0.0f, 0.0f, 12.0f, 10.0f, 0.6f, true, w, m, 1.5f, -2.0f); }},
    {"RotatedBlit bilinear", [](LiceBitmap* b, int dx, int dy, float w, int m) { LiceRotatedBlit(b, &SourceImage(), 4 + dx, 3 + dy, 32, 30, 1.0f, 1.0f, 10.0f, 8.0f, -2.2f, false, w, m | LiceFilterBilinear); }},
  };
}

const int kDrawModes[] = {0x00000, 0x10000, 0x00001, 0x10001, 0x00002, 0x10002, 0x00003, 0x10004, 0x00005, 0xF6};
const float kDrawWeights[] = {1.0f, 0.5f, 0.25f, 0.75f, 0.3f};

TEST(DrawOps, ClipToTheDestinationExactly)
{
  // A 40 x 40 drawing on a large canvas, and the same drawing shifted onto small bitmaps that see only
  // part of it (each edge cut in turn): the small bitmaps must match the canvas pixel for pixel.
  struct Window
  {
    int x, y, w, h;
  };
  const Window windows[] = {{10, 10, 15, 12}, {0, 0, 9, 40}, {31, 0, 9, 40}, {0, 0, 40, 7}, {0, 33, 40, 7}, {-5, -5, 12, 12}, {35, 35, 12, 12}};
  testimg::Rng rng(8);
  LiceMemBitmap canvas(40, 40);
  testimg::Fill(canvas, rng);
  const auto base = testimg::Snapshot(canvas);
  for (const DrawOp& op : AllDrawOps())
    for (int mode : kDrawModes)
      for (float weight : {1.0f, 0.3f})
      {
        testimg::FillWith(canvas, base);
        op.draw(&canvas, 0, 0, weight, mode);
        for (const Window& win : windows)
        {
          LiceMemBitmap part(win.w, win.h);
          for (int y = 0; y < win.h; ++y)
            for (int x = 0; x < win.w; ++x)
            {
              const int cx = x + win.x, cy = y + win.y;
              At(part, x, y) = (cx >= 0 && cy >= 0 && cx < 40 && cy < 40) ? base[cy * 40 + cx] : 0x12345678u;
            }
          op.draw(&part, -win.x, -win.y, weight, mode);
          for (int y = 0; y < win.h; ++y)
            for (int x = 0; x < win.w; ++x)
            {
              const int cx = x + win.x, cy = y + win.y;
              const LicePixel expected =
                (cx >= 0 && cy >= 0 && cx < 40 && cy < 40) ? At(canvas, cx, cy) : 0x12345678u;
              ASSERT_EQ(Hex(At(part, x, y)), Hex(expected))
                << op.name << " mode " << std::hex << mode << std::dec << " weight " << weight << " window " << win.x
                << "," << win.y << " pixel " << x << "," << y;
            }
        }
      }
}

TEST(DrawOps, FlippedDestinationGivesTheSamePicture)
{
  testimg::Rng rng(12);
  LiceMemBitmap plain(40, 40);
  testimg::FlippedBitmap flipped(40, 40);
  testimg::Fill(plain, rng);
  const auto base = testimg::Snapshot(plain);
  for (const DrawOp& op : AllDrawOps())
    for (int mode : kDrawModes)
    {
      testimg::FillWith(plain, base);
      testimg::FillWith(flipped, base);
      op.draw(&plain, 0, 0, 0.75f, mode);
      op.draw(&flipped, 0, 0, 0.75f, mode);
      ASSERT_EQ(testimg::Snapshot(flipped), testimg::Snapshot(plain)) << op.name << " mode " << std::hex << mode;
    }
  // A flipped source is read bottom-up as well.
  testimg::FlippedBitmap fsrc(12, 10);
  testimg::FillWith(fsrc, testimg::Snapshot(SourceImage()));
  for (int mode : {0, LiceFilterBilinear | LiceUseSourceAlpha})
  {
    LiceMemBitmap a(30, 30), b(30, 30);
    testimg::FillWith(a, std::vector<LicePixel>(900, 0xFF000000u));
    testimg::FillWith(b, std::vector<LicePixel>(900, 0xFF000000u));
    LiceScaledBlit(&a, &SourceImage(), 0, 0, 30, 30, 0, 0, 12, 10, 1.0f, mode);
    LiceScaledBlit(&b, &fsrc, 0, 0, 30, 30, 0, 0, 12, 10, 1.0f, mode);
    EXPECT_EQ(testimg::Snapshot(a), testimg::Snapshot(b));
    LiceRotatedBlit(&a, &SourceImage(), 0, 0, 30, 30, 0, 0, 12, 10, 1.0f, true, 1.0f, mode);
    LiceRotatedBlit(&b, &fsrc, 0, 0, 30, 30, 0, 0, 12, 10, 1.0f, true, 1.0f, mode);
    EXPECT_EQ(testimg::Snapshot(a), testimg::Snapshot(b));
  }
}

TEST(DrawOps, WeightZeroAndEmptyTargetsDrawNothing)
{
  testimg::Rng rng(13);
  LiceMemBitmap bm(40, 40), empty;
  testimg::Fill(bm, rng);
  const auto base = testimg::Snapshot(bm);
  for (const DrawOp& op : AllDrawOps())
  {
    if (std::string(op.name) == "MaskFill")
      continue; // takes no weight
    for (int mode : kDrawModes)
    {
      op.draw(&bm, 0, 0, 0.0f, mode);
      op.draw(&bm, 0, 0, std::nanf(""), mode);
      ASSERT_EQ(testimg::Snapshot(bm), base) << op.name << " mode " << std::hex << mode;
    }
  }
  for (const DrawOp& op : AllDrawOps())
  {
    op.draw(&empty, 0, 0, 1.0f, 0);
    op.draw(nullptr, 0, 0, 1.0f, 0);
  }
  EXPECT_EQ(LiceGetPixel(&empty, 0, 0), 0u);
  EXPECT_EQ(LiceGetPixel(nullptr, 0, 0), 0u);
}

// Extreme coordinates, sizes and angles must neither crash nor overflow (the sanitizer builds check
// the arithmetic); whatever is drawn stays inside the bitmap.
TEST(DrawOps, ExtremeArgumentsAreHandled)
{
  const int big = 2147483647, small = -2147483647 - 1;
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  LiceMemBitmap bm(16, 16);
  testimg::FillWith(bm, std::vector<LicePixel>(256, 0));
  LiceMemBitmap& src = SourceImage();
  for (int mode : {0, 0x10000, 0x10101, 0xF3})
  {
    LiceFillRect(&bm, small, small, big, big, 0xFFFFFFFF, 0.5f, mode);
    LiceFillRect(&bm, big, big, big, big, 0xFFFFFFFF, 1.0f, mode);
    LiceFillRect(&bm, 2, 2, 4, 4, 0xFFFFFFFF, 1e30f, mode);
    LiceFillRect(&bm, 2, 2, 4, 4, 0xFFFFFFFF, -inf, mode);
    LiceMaskFill(&bm, small, small, big, big, 0xFFFFFFFF, 0);
    LicePutPixel(&bm, big, small, 0xFFFFFFFF, 1.0f, mode);
    LiceLine(&bm, small, small, big, big, 0xFFFFFFFF, 1.0f, mode, false);
    LiceLine(&bm, small, big, big, small, 0xFFFFFFFF, 1.0f, mode, true);
    LiceLine(&bm, 3, small, 3, big, 0xFFFFFFFF, 1.0f, mode, true);
    LiceCircle(&bm, 8.0f, 8.0f, 1e30f, 0xFFFFFFFF, 1.0f, mode, true);
    LiceCircle(&bm, inf, 8.0f, 3.0f, 0xFFFFFFFF, 1.0f, mode, true);
    LiceCircle(&bm, 8.0f, 8.0f, -3.0f, 0xFFFFFFFF, 1.0f, mode, false);
    LiceArc(&bm, 8.0f, 8.0f, 5.0f, nan, 1.0f, 0xFFFFFFFF, 1.0f, mode, true);
    LiceArc(&bm, -1e20f, 1e20f, 1e20f, -1e30f, 1e30f, 0xFFFFFFFF, 1.0f, mode, false);
    LiceScaledBlit(&bm, &src, small, small, big, big, 0, 0, 12, 10, 1.0f, mode);
    LiceScaledBlit(&bm, &src, 0, 0, 16, 16, -1e30f, 1e30f, 1e-30f, 1e30f, 1.0f, mode);
    LiceScaledBlit(&bm, &src, 0, 0, 16, 16, 0, 0, inf, 5, 1.0f, mode);
    LiceRotatedBlit(&bm, &src, small, small, big, big, 0, 0, 12, 10, 1e30f, false, 1.0f, mode, 1e30f, -1e30f);
    LiceRotatedBlit(&bm, &src, 0, 0, 16, 16, 0, 0, 12, 10, inf, true, 1.0f, mode);
    LiceBlit(&bm, &src, small, big, small, big, big, big, 1e30f, mode);
  }
  EXPECT_EQ(bm.GetWidth(), 16);
}

// ---- fills and pixels ----

TEST(FillRect, WeightsAndShortcuts)
{
  const LicePixel colour = 0xC8643296;
  testimg::Rng rng(21);
  for (int iaCase : {256, 128, 64, 192, 200, 17, 255, 1})
  {
    const float weight = iaCase / 256.0f;
    LiceMemBitmap bm(16, 16);
    testimg::Fill(bm, rng);
    const auto before = testimg::Snapshot(bm);
    LiceFillRect(&bm, 0, 0, 16, 16, colour, weight, LiceModeCopy);
    for (int i = 0; i < 256; ++i)
    {
      const LicePixel d = before[i];
      LicePixel expected;
      if (iaCase == 256)
        expected = colour;
      else if (iaCase == 128)
        expected = ((colour >> 1) & 0x7F7F7F7F) + ((d >> 1) & 0x7F7F7F7F);
      else if (iaCase == 64)
        expected = ((colour >> 2) & 0x3F3F3F3F) + ((d >> 2) & 0x3F3F3F3F) * 3;
      else if (iaCase == 192)
        expected = ((colour >> 2) & 0x3F3F3F3F) * 3 + ((d >> 2) & 0x3F3F3F3F);
      else
      {
        expected = 0;
        for (int k = 0; k < 4; ++k)
        {
          const int s = Chan(colour, k), dv = Chan(d, k);
          expected |= (LicePixel)((s + (int)std::trunc((dv - s) * (256.0 - iaCase) / 256.0)) & 0xFF) << (8 * k);
        }
      }
      ASSERT_EQ(Hex(testimg::Snapshot(bm)[i]), Hex(expected)) << "ia " << iaCase << " dest " << Hex(d);
      // Every class stays within 3 of the exact blend.
      for (int k = 0; k < 4; ++k)
        ASSERT_NEAR(Chan(expected, k), Chan(d, k) + (Chan(colour, k) - Chan(d, k)) * (iaCase / 256.0), 3.0);
    }
  }
}

TEST(FillRect, SourceAlphaScalesTheWeightByTheColourAlpha)
{
  for (int alpha : {255, 128, 64, 10, 0})
  {
    LiceMemBitmap a(4, 4), b(4, 4);
    testimg::FillWith(a, std::vector<LicePixel>(16, 0x20406080u));
    testimg::FillWith(b, std::vector<LicePixel>(16, 0x20406080u));
    const LicePixel colour = LiceRGBA(250, 10, 130, alpha);
    LiceFillRect(&a, 0, 0, 4, 4, colour, 0.9f, LiceModeAdd | LiceUseSourceAlpha);
    LiceFillRect(&b, 0, 0, 4, 4, colour, 0.9f * alpha * (1.0f / 255.0f), LiceModeAdd);
    EXPECT_EQ(testimg::Snapshot(a), testimg::Snapshot(b)) << "alpha " << alpha;
  }
}

TEST(MaskFill, MasksAndSetsEveryPixelOfTheClippedRectangle)
{
  testimg::Rng rng(31);
  LiceMemBitmap bm(10, 8);
  testimg::Fill(bm, rng);
  const auto before = testimg::Snapshot(bm);
  LiceMaskFill(&bm, -3, 5, 6, 100, 0x00FFFFFF, 0x01000000);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x)
    {
      const LicePixel d = before[y * 10 + x];
      const bool inside = x < 3 && y >= 5;
      EXPECT_EQ(At(bm, x, y), inside ? ((d & 0x00FFFFFF) | 0x01000000) : d) << x << "," << y;
    }
}

TEST(PutGetPixel, AddressImageRowsAndIgnorePointsOutside)
{
  testimg::FlippedBitmap flipped(5, 4);
  LiceMemBitmap plain(5, 4);
  for (LiceBitmap* bm : {(LiceBitmap*)&flipped, (LiceBitmap*)&plain})
  {
    testimg::FillWith(*bm, std::vector<LicePixel>(20, 0));
    LicePutPixel(bm, 1, 0, 0xFF112233, 1.0f, LiceModeCopy | LiceUseSourceAlpha);
    EXPECT_EQ(At(*bm, 1, 0), 0xFF112233u);
    EXPECT_EQ(LiceGetPixel(bm, 1, 0), 0xFF112233u);
    LicePutPixel(bm, 1, 0, 0x01010101, 1.0f, LiceModeAdd);
    EXPECT_EQ(LiceGetPixel(bm, 1, 0), 0xFF122334u); // add saturates the alpha at 255
    for (auto pt : {std::make_pair(-1, 0), std::make_pair(5, 0), std::make_pair(0, -1), std::make_pair(0, 4)})
    {
      LicePutPixel(bm, pt.first, pt.second, 0xFFFFFFFF, 1.0f, 0);
      EXPECT_EQ(LiceGetPixel(bm, pt.first, pt.second), 0u);
    }
    int changed = 0;
    for (LicePixel p : testimg::Snapshot(*bm))
      changed += p != 0;
    EXPECT_EQ(changed, 1);
  }
}

// ---- lines, arcs, circles ----

std::set<std::pair<int, int>> DrawnPixels(LiceBitmap& bm)
{
  std::set<std::pair<int, int>> out;
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      if (At(bm, x, y))
        out.insert({x, y});
  return out;
}

// The pixels of a line by the textbook rule: one per step of the longer axis, the other coordinate
// rounded half up from the exact line, walked from the lower end of the longer axis.
std::set<std::pair<int, int>> RefLine(int x1, int y1, int x2, int y2)
{
  std::set<std::pair<int, int>> out;
  const bool xMajor = std::abs(x2 - x1) >= std::abs(y2 - y1);
  int a1 = xMajor ? x1 : y1, b1 = xMajor ? y1 : x1, a2 = xMajor ? x2 : y2, b2 = xMajor ? y2 : x2;
  if (a2 < a1)
  {
    std::swap(a1, a2);
    std::swap(b1, b2);
  }
  for (int a = a1; a <= a2; ++a)
  {
    const int num = 2 * (a - a1) * (b2 - b1) + (a2 - a1);
    const int den = 2 * (a2 - a1);
    const int b = den ? b1 + (int)std::floor((double)num / den) : b1;
    out.insert(xMajor ? std::make_pair(a, b) : std::make_pair(b, a));
  }
  return out;
}

TEST(Line, PixelsFollowTheTextbookRule)
{
  struct Case
  {
    int x1, y1, x2, y2;
  };
  const Case cases[] = {{0, 0, 9, 0}, {3, 1, 3, 12}, {0, 0, 12, 12}, {12, 0, 0, 12}, {1, 2, 14, 7}, {14, 7, 1, 2},
                        {2, 13, 5, 0}, {7, 7, 7, 7}, {0, 0, 13, 2}, {-5, 3, 30, 9}, {4, -20, 9, 40}};
  for (const Case& c : cases)
  {
    LiceMemBitmap bm(15, 15);
    testimg::FillWith(bm, std::vector<LicePixel>(225, 0));
    // Add at half weight: a pixel drawn twice would show 0x80 instead of 0x40.
    LiceLine(&bm, c.x1, c.y1, c.x2, c.y2, 0x80808080, 0.5f, LiceModeAdd, false);
    std::set<std::pair<int, int>> expected;
    for (auto p : RefLine(c.x1, c.y1, c.x2, c.y2))
      if (p.first >= 0 && p.second >= 0 && p.first < 15 && p.second < 15)
        expected.insert(p);
    EXPECT_EQ(DrawnPixels(bm), expected) << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2;
    for (auto p : expected)
      EXPECT_EQ(At(bm, p.first, p.second), 0x40404040u);
    // The same line drawn the other way round covers the same pixels.
    LiceMemBitmap back(15, 15);
    testimg::FillWith(back, std::vector<LicePixel>(225, 0));
    LiceLine(&back, c.x2, c.y2, c.x1, c.y1, 0x80808080, 0.5f, LiceModeAdd, false);
    EXPECT_EQ(testimg::Snapshot(back), testimg::Snapshot(bm));
  }
}

TEST(Line, AntiAliasedCoverageSumsToOnePerStep)
{
  for (auto c : {std::array<int, 4>{0, 0, 30, 11}, std::array<int, 4>{3, 29, 13, 0}, std::array<int, 4>{0, 5, 29, 5}})
  {
    LiceMemBitmap bm(31, 31);
    testimg::FillWith(bm, std::vector<LicePixel>(31 * 31, 0));
    LiceLine(&bm, c[0], c[1], c[2], c[3], 0xFFFFFFFF, 1.0f, LiceModeAdd, true);
    const bool xMajor = std::abs(c[2] - c[0]) >= std::abs(c[3] - c[1]);
    const int a1 = xMajor ? std::min(c[0], c[2]) : std::min(c[1], c[3]);
    const int a2 = xMajor ? std::max(c[0], c[2]) : std::max(c[1], c[3]);
    for (int a = 0; a < 31; ++a)
    {
      int sum = 0;
      for (int b = 0; b < 31; ++b)
        sum += Chan(xMajor ? At(bm, a, b) : At(bm, b, a), 0);
      if (a >= a1 && a <= a2)
        EXPECT_NEAR(sum, 255, 2) << "step " << a;
      else
        EXPECT_EQ(sum, 0) << "step " << a;
    }
  }
}

TEST(CircleAndArc, OutlineLiesOnTheRadius)
{
  const float cx = 20.5f, cy = 19.0f, r = 12.0f;
  LiceMemBitmap circle(41, 41);
  testimg::FillWith(circle, std::vector<LicePixel>(41 * 41, 0));
  LiceCircle(&circle, cx, cy, r, 0x80808080, 0.5f, LiceModeAdd, false);
  std::set<std::pair<int, int>> expected;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x)
      if (std::fabs(std::hypot(x - cx, y - cy) - r) < 0.5)
        expected.insert({x, y});
  const auto drawn = DrawnPixels(circle);
  EXPECT_EQ(drawn, expected);
  for (auto p : drawn)
    EXPECT_EQ(At(circle, p.first, p.second), 0x40404040u) << "each pixel once";
  EXPECT_NEAR((double)drawn.size(), 2 * kPi * r * 1.2, 2 * kPi * r * 0.3);

  // Four quarter arcs, each in its own quadrant (angle 0 up, clockwise), together make the circle.
  std::set<std::pair<int, int>> unionOfArcs;
  for (int q = 0; q < 4; ++q)
  {
    LiceMemBitmap arc(41, 41);
    testimg::FillWith(arc, std::vector<LicePixel>(41 * 41, 0));
    LiceArc(&arc, cx, cy, r, (float)(q * kPi / 2), (float)((q + 1) * kPi / 2), 0xFFFFFFFF, 1.0f, 0, false);
    for (auto p : DrawnPixels(arc))
    {
      const double dx = p.first - cx, dy = p.second - cy;
      const bool right = dx >= -0.5, left = dx <= 0.5, up = dy <= 0.5, down = dy >= -0.5;
      const bool inQuadrant = q == 0 ? (right && up) : q == 1 ? (right && down) : q == 2 ? (left && down) : (left && up);
      EXPECT_TRUE(inQuadrant) << "quarter " << q << " pixel " << p.first << "," << p.second;
      EXPECT_TRUE(expected.count(p)) << "arc pixel off the circle";
      unionOfArcs.insert(p);
    }
  }
  EXPECT_EQ(unionOfArcs, expected);

  // A span of a full turn or more is the whole circle; reversed angles give the same arc.
  LiceMemBitmap full(41, 41), rev(41, 41), fwd(41, 41);
  for (LiceBitmap* b : {(LiceBitmap*)&full, (LiceBitmap*)&rev, (LiceBitmap*)&fwd})
    testimg::FillWith(*b, std::vector<LicePixel>(41 * 41, 0));
  LiceArc(&full, cx, cy, r, 1.0f, 1.0f + 7.0f, 0x80808080, 0.5f, LiceModeAdd, false);
  EXPECT_EQ(testimg::Snapshot(full), testimg::Snapshot(circle));
  LiceArc(&fwd, cx, cy, r, 0.5f, 2.0f, 0xFFFFFFFF, 1.0f, 0, true);
  LiceArc(&rev, cx, cy, r, 2.0f, 0.5f, 0xFFFFFFFF, 1.0f, 0, true);
  EXPECT_EQ(testimg::Snapshot(fwd), testimg::Snapshot(rev));
}

TEST(CircleAndArc, AntiAliasedCoverageFallsOffWithDistance)
{
  const float cx = 15.0f, cy = 15.0f, r = 9.3f;
  LiceMemBitmap bm(31, 31);
  testimg::FillWith(bm, std::vector<LicePixel>(31 * 31, 0));
  LiceCircle(&bm, cx, cy, r, 0xFFFFFFFF, 1.0f, LiceModeAdd, true);
  for (int y = 0; y < 31; ++y)
    for (int x = 0; x < 31; ++x)
    {
      const double e = std::fabs(std::hypot(x - cx, y - cy) - r);
      const double expected = e < 1.0 ? 255.0 * (1.0 - e) : 0.0;
      EXPECT_NEAR(Chan(At(bm, x, y), 1), expected, 2.0) << x << "," << y;
    }
}

// ---- scaled and rotated blits ----

TEST(ScaledBlit, IdentityScaleEqualsThePlainBlit)
{
  for (int filter : {0, LiceFilterBilinear})
    for (int mode : {0, 0x10000, 0x10001})
    {
      testimg::Rng rng(41);
      LiceMemBitmap a(20, 20), b(20, 20);
      testimg::Fill(a, rng);
      testimg::FillWith(b, testimg::Snapshot(a));
      LiceScaledBlit(&a, &SourceImage(), 3, -2, 12, 10, 0.0f, 0.0f, 12.0f, 10.0f, 0.6f, mode | filter);
      LiceBlit(&b, &SourceImage(), 3, -2, nullptr, 0.6f, mode);
      EXPECT_EQ(testimg::Snapshot(a), testimg::Snapshot(b)) << "mode " << std::hex << (mode | filter);
    }
}

TEST(ScaledBlit, NearestUpscaleAndMirror)
{
  LiceMemBitmap src(3, 2);
  testimg::FillWith(src, {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006});
  LiceMemBitmap up(6, 4);
  LiceScaledBlit(&up, &src, 0, 0, 6, 4, 0, 0, 3, 2, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(At(up, x, y), At(src, x / 2, y / 2)) << x << "," << y;
  LiceMemBitmap mirror(3, 2);
  LiceScaledBlit(&mirror, &src, 0, 0, 3, 2, 3.0f, 0.0f, -3.0f, 2.0f, 1.0f, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(At(mirror, x, y), At(src, 2 - x, y));
  // A source rectangle reaching past the source draws nothing there.
  LiceMemBitmap part(6, 2);
  testimg::FillWith(part, std::vector<LicePixel>(12, 0));
  LiceScaledBlit(&part, &src, 0, 0, 6, 2, 0, 0, 6, 2, 1.0f, 0);
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(At(part, x, 0), x < 3 ? At(src, x, 0) : 0u) << x;
}

TEST(ScaledBlit, BilinearMatchesAFloatReferenceOnOpaqueImages)
{
  testimg::Rng rng(51);
  LiceMemBitmap src(7, 5);
  testimg::Fill(src, rng);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      At(src, x, y) |= 0xFF000000u;
  const int dw = 23, dh = 17;
  LiceMemBitmap dst(dw, dh);
  LiceScaledBlit(&dst, &src, 0, 0, dw, dh, 0, 0, 7, 5, 1.0f, LiceFilterBilinear);
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x)
    {
      const double u = (x + 0.5) * 7.0 / dw - 0.5, v = (y + 0.5) * 5.0 / dh - 0.5;
      const int x0 = (int)std::floor(u), y0 = (int)std::floor(v);
      const double fx = u - x0, fy = v - y0;
      auto px = [&](int xx, int yy) { return At(src, std::clamp(xx, 0, 6), std::clamp(yy, 0, 4)); };
      for (int k = 0; k < 4; ++k)
      {
        const double e = Chan(px(x0, y0), k) * (1 - fx) * (1 - fy) + Chan(px(x0 + 1, y0), k) * fx * (1 - fy) +
                         Chan(px(x0, y0 + 1), k) * (1 - fx) * fy + Chan(px(x0 + 1, y0 + 1), k) * fx * fy;
        ASSERT_NEAR(Chan(At(dst, x, y), k), e, 2.0) << x << "," << y << " channel " << k;
      }
    }
}

TEST(ScaledBlit, TransparentPixelsLendNoColour)
{
  LiceMemBitmap src(2, 1);
  testimg::FillWith(src, {0xFFFF0000u, 0x0000FF00u}); // opaque red, transparent green
  LiceMemBitmap dst(8, 1);
  LiceScaledBlit(&dst, &src, 0, 0, 8, 1, 0, 0, 2, 1, 1.0f, LiceFilterBilinear);
  int prevAlpha = 256;
  for (int x = 0; x < 8; ++x)
  {
    const LicePixel p = At(dst, x, 0);
    if (Chan(p, 3) > 0)
    {
      EXPECT_EQ(p & 0xFFFFFF, 0xFF0000u) << x << " " << Hex(p);
    }
    EXPECT_LE(Chan(p, 3), prevAlpha);
    prevAlpha = Chan(p, 3);
  }
  EXPECT_EQ(Chan(At(dst, 0, 0), 3), 255);
  EXPECT_EQ(Chan(At(dst, 7, 0), 3), 0);
}

TEST(RotatedBlit, AngleZeroEqualsTheScaledBlitAndQuarterTurnsAreClockwise)
{
  testimg::Rng rng(61);
  LiceMemBitmap src(9, 9);
  testimg::Fill(src, rng);
  for (int filter : {0, LiceFilterBilinear})
  {
    LiceMemBitmap a(20, 20), b(20, 20);
    testimg::FillWith(a, std::vector<LicePixel>(400, 0));
    testimg::FillWith(b, std::vector<LicePixel>(400, 0));
    LiceRotatedBlit(&a, &src, 2, 3, 14, 11, 1.0f, 0.0f, 7.0f, 8.0f, 0.0f, true, 1.0f, filter);
    LiceScaledBlit(&b, &src, 2, 3, 14, 11, 1.0f, 0.0f, 7.0f, 8.0f, 1.0f, filter);
    EXPECT_EQ(testimg::Snapshot(a), testimg::Snapshot(b)) << filter;
  }
  // A quarter turn clockwise: the top-left corner goes to the top-right.
  LiceMemBitmap q(9, 9);
  LiceRotatedBlit(&q, &src, 0, 0, 9, 9, 0, 0, 9, 9, (float)(kPi / 2), true, 1.0f, 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      ASSERT_EQ(At(q, x, y), At(src, y, 8 - x)) << x << "," << y;
  LiceMemBitmap full(9, 9);
  LiceRotatedBlit(&full, &src, 0, 0, 9, 9, 0, 0, 9, 9, (float)(2 * kPi), true, 1.0f, 0);
  EXPECT_EQ(testimg::Snapshot(full), testimg::Snapshot(src));
}

TEST(RotatedBlit, ClipToSourceRectangle)
{
  LiceMemBitmap src(8, 8);
  testimg::FillWith(src, std::vector<LicePixel>(64, 0xFFFFFFFFu));
  for (bool clip : {true, false})
  {
    LiceMemBitmap dst(8, 8);
    testimg::FillWith(dst, std::vector<LicePixel>(64, 0));
    // Source rectangle is the middle 4 x 4, drawn 1:1 into the middle and rotated by 45 degrees:
    // corners of the destination square then look outside the rectangle.
    LiceRotatedBlit(&dst, &src, 2, 2, 4, 4, 2, 2, 4, 4, (float)(kPi / 4), clip, 1.0f, 0);
    int drawn = 0;
    for (LicePixel p : testimg::Snapshot(dst))
      drawn += p != 0;
    if (clip)
      EXPECT_LT(drawn, 16);
    else
      EXPECT_EQ(drawn, 16);
  }
}

} // namespace
