// Drawing on the raster surface: the bitmap cache, clipping of bitmap drawing to the region being
// redrawn (against a per-pixel reference), frame rows, lines, pixels, the blend and colour
// conversions, and one full redraw of a small editor.

#include <gtest/gtest.h>

#include <cstdio>

#include "EditorTestSupport.h"
#include "raster/LiceBlit.h"

using namespace edtest;

namespace
{

const LicePixel kBackground = 0x11223344u;

class EditorDrawing : public ::testing::Test
{
protected:
  TestPlug plug;
  TestGraphics* g = new TestGraphics(&plug, 40, 30);

  void SetUp() override { plug.ConnectGraphics(g); }  // makes the surface

  void Clear(LicePixel p)
  {
    LiceSysBitmap* s = g->Surface();
    for (int y = 0; y < s->GetHeight(); ++y)
      for (int x = 0; x < s->GetWidth(); ++x) s->GetBits()[y * s->GetRowSpan() + x] = p;
  }
  LicePixel At(int x, int y) const
  {
    LiceSysBitmap* s = g->Surface();
    return s->GetBits()[y * s->GetRowSpan() + x];
  }
  // Compares the whole surface with expected(x, y); reports the first few differences.
  template <typename F>
  void ExpectSurface(F expected, const std::string& what)
  {
    int bad = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
      {
        const LicePixel want = expected(x, y);
        const LicePixel got = At(x, y);
        if (want != got && ++bad <= 5)
          ADD_FAILURE() << what << ": pixel " << x << "," << y << " expected " << std::hex << want << " got "
                        << got;
      }
  }
};

std::string Str(const IRECT& r)
{
  char s[64];
  std::snprintf(s, sizeof s, "{%d,%d,%d,%d}", r.left, r.top, r.right, r.bottom);
  return s;
}

}  // namespace

TEST_F(EditorDrawing, SurfaceAndScratchAreMadeByCreateSurface)
{
  TestPlug p;
  TestGraphics fresh(&p, 40, 30);
  EXPECT_EQ(fresh.SurfacePixels(), nullptr);
  EXPECT_EQ(fresh.Surface(), nullptr);
  fresh.CreateSurface();
  ASSERT_NE(fresh.Surface(), nullptr);
  EXPECT_EQ(fresh.Surface()->GetWidth(), 40);
  EXPECT_EQ(fresh.Surface()->GetHeight(), 30);
  ASSERT_NE(fresh.Scratch(), nullptr);
  EXPECT_EQ(fresh.Scratch()->GetWidth(), 0);
  EXPECT_EQ(fresh.Scratch()->GetHeight(), 0);
  EXPECT_EQ(fresh.SurfacePixels(), fresh.Surface()->GetBits());
}

TEST_F(EditorDrawing, EachResourceIsDecodedOnceAndHandlesDifferOnlyInFrames)
{
  const IBitmap knob65 = LoadGenerated(g, 7201, 65, 4225, 65);
  const IBitmap knob1 = g->LoadBitmap(7201, "img/torvomell_knob_01.png", 1);
  {
    TestPlug other;  // a second plug-in object with its own editor
    TestGraphics g2(&other, 213, 326);
    const IBitmap again = g2.LoadBitmap(7201, "another/name.jpg", 2);  // the name is no part of the key
    EXPECT_EQ(again.image, knob65.image);
  }
  EXPECT_EQ(TestGraphics::DecodeCounts()[7201], 1);
  EXPECT_EQ(knob65.image, knob1.image);
  EXPECT_EQ(knob65.width, 65);
  EXPECT_EQ(knob1.width, 65);
  EXPECT_EQ(knob65.height, 4225);
  EXPECT_EQ(knob1.height, 4225);
  EXPECT_EQ(knob65.frames, 65);
  EXPECT_EQ(knob1.frames, 1);
  EXPECT_TRUE(BitmapCache::Instance().Holds(knob65.image));
  EXPECT_EQ(BitmapCache::Instance().Find(7201), knob65.image);
}

TEST_F(EditorDrawing, AMissingResourceFailsTheAssertion)
{
#ifndef NDEBUG
  EXPECT_DEATH(g->LoadBitmap(7299, "img/missing.gif", 1), "imgResourceFound");
#else
  const IBitmap none = g->LoadBitmap(7299, "img/missing.gif", 1);
  EXPECT_EQ(none.image, nullptr);
  EXPECT_EQ(none.width, 0);
  g->SetDrawRect(IRECT(0, 0, 40, 30));
  Clear(kBackground);
  EXPECT_TRUE(g->DrawBitmapRegion(none, IRECT(0, 0, 40, 30), 0, 0, nullptr));  // draws nothing
  EXPECT_EQ(At(0, 0), kBackground);
  EXPECT_EQ(BitmapCache::Instance().Find(7299), nullptr);
#endif
}

TEST_F(EditorDrawing, KeepAndDropOwnOnlyWhatTheCacheHolds)
{
  BitmapCache& cache = BitmapCache::Instance();
  LiceMemBitmap* loose = MakePatternImage(4, 4);
  const IBitmap handle(loose, 4, 4, 1);
  const int before = cache.Size();

  g->DropBitmap(handle);  // not in the cache: left alive
  EXPECT_EQ(cache.Size(), before);
  EXPECT_EQ(LiceGetPixel(loose, 3, 2), PatternPixel(3, 2));

  LiceMemBitmap* other = MakePatternImage(2, 2);
  g->KeepBitmap(handle);
  g->KeepBitmap(IBitmap(other, 2, 2, 1));
  EXPECT_EQ(cache.Size(), before + 2);
  EXPECT_TRUE(cache.Holds(loose));
  g->DropBitmap(handle);  // destroyed with its entry
  EXPECT_FALSE(cache.Holds(loose));
  EXPECT_TRUE(cache.Holds(other));
  EXPECT_EQ(cache.Size(), before + 1);
  EXPECT_EQ(LiceGetPixel(other, 1, 1), PatternPixel(1, 1));
  g->DropBitmap(IBitmap(other, 2, 2, 1));
  EXPECT_EQ(cache.Size(), before);
}

TEST_F(EditorDrawing, CroppedAndResizedBitmapsAreNewCachedImagesWithTheSameFrames)
{
  const IBitmap src = LoadGenerated(g, 7202, 20, 30, 3);
  const IBitmap crop = g->CroppedBitmap(src, IRECT(5, 4, 15, 14));
  ASSERT_NE(crop.image, nullptr);
  EXPECT_EQ(crop.width, 10);
  EXPECT_EQ(crop.height, 10);
  EXPECT_EQ(crop.frames, 3);
  EXPECT_TRUE(BitmapCache::Instance().Holds(crop.image));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      ASSERT_EQ(LiceGetPixel(crop.image, x, y), PatternPixel(x + 5, y + 4)) << x << "," << y;

  LiceMemBitmap* solid = new LiceMemBitmap(4, 4);
  for (int i = 0; i < 16; ++i) solid->GetBits()[i] = 0xFF336699u;
  const IBitmap base(solid, 4, 4, 2);
  g->KeepBitmap(base);
  const IBitmap big = g->ResizedBitmap(base, 8, 12);
  EXPECT_EQ(big.width, 8);
  EXPECT_EQ(big.height, 12);
  EXPECT_EQ(big.frames, 2);
  ASSERT_NE(big.image, nullptr);
  EXPECT_EQ(big.image->GetWidth(), 8);
  EXPECT_EQ(big.image->GetHeight(), 12);
  EXPECT_TRUE(BitmapCache::Instance().Holds(big.image));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(LiceGetPixel(big.image, x, y), 0xFF336699u) << x << "," << y;
  g->DropBitmap(crop);
  g->DropBitmap(big);
  g->DropBitmap(base);
}

TEST_F(EditorDrawing, BitmapRegionIsClippedToTheRedrawnRegion)
{
  const IBitmap bm = LoadGenerated(g, 7203, 12, 10, 1);
  struct Case { IRECT dest; int srcX, srcY; IRECT drawRect; };
  const Case cases[] = {
    {IRECT(5, 5, 17, 15), 0, 0, IRECT(0, 0, 40, 30)},    // all inside
    {IRECT(5, 5, 17, 15), 0, 0, IRECT(20, 0, 40, 30)},   // entirely outside: nothing
    {IRECT(5, 5, 17, 15), 0, 0, IRECT(11, 0, 40, 30)},   // right half, from the source's right half
    {IRECT(5, 5, 17, 15), 0, 0, IRECT(0, 10, 40, 30)},   // lower half
    {IRECT(0, 5, 12, 15), 0, 0, IRECT(12, 0, 40, 30)},   // meets only along an edge: zero-size copy
    {IRECT(5, 5, 17, 15), 0, 0, IRECT(0, 0, 5, 30)},
    {IRECT(0, 0, 6, 6), 3, 2, IRECT(2, 1, 40, 30)},      // source offset plus clipping
    {IRECT(35, 25, 47, 35), 0, 0, IRECT(0, 0, 40, 30)},  // off the surface: the blit clips
    {IRECT(0, 0, 20, 20), 0, 0, IRECT(0, 0, 40, 30)},    // larger than the image
    {IRECT(5, 5, 17, 15), 0, 0, IRECT()},                // nothing being redrawn
  };
  for (const Case& c : cases)
  {
    Clear(kBackground);
    g->SetDrawRect(c.drawRect);
    const IBlend copy(BlendCopy);
    EXPECT_TRUE(g->DrawBitmapRegion(bm, c.dest, c.srcX, c.srcY, &copy));
    const bool any = c.dest.Meets(c.drawRect);
    ExpectSurface(
      [&](int x, int y) {
        const bool inDest = x >= c.dest.left && x < c.dest.right && y >= c.dest.top && y < c.dest.bottom;
        const bool inRegion = x >= c.drawRect.left && x < c.drawRect.right && y >= c.drawRect.top &&
                              y < c.drawRect.bottom;
        const int sx = x - c.dest.left + c.srcX;
        const int sy = y - c.dest.top + c.srcY;
        if (any && inDest && inRegion && sx >= 0 && sx < 12 && sy >= 0 && sy < 10) return PatternPixel(sx, sy);
        return kBackground;
      },
      "dest " + Str(c.dest) + " src " + std::to_string(c.srcX) + "," + std::to_string(c.srcY) + " region " +
        Str(c.drawRect));
  }
}

TEST_F(EditorDrawing, FramesStartAtTheRoundedRow)
{
  struct Case { int height, frames, frame, expectedRow; };
  const Case cases[] = {
    {10, 3, 1, 0}, {10, 3, 2, 3}, {10, 3, 3, 7},       // 3.33 + 0.5 and 6.67 + 0.5 truncated
    {4225, 65, 1, 0}, {4225, 65, 2, 65}, {4225, 65, 65, 4160},
    {80, 2, 2, 40}, {150, 1, 1, 0},
#ifdef NDEBUG
    // Callers never pass these (the assertion says so in debug builds), but the row is still
    // computed without clamping.
    {10, 3, 5, 13}, {80, 1, 3, 0},
#endif
  };
  for (const Case& c : cases)
  {
    g->draws.clear();
    const IBitmap bm(nullptr, 10, c.height, c.frames);
    EXPECT_TRUE(g->DrawBitmapFrame(bm, IRECT(1, 2, 11, 12), c.frame, nullptr));
    ASSERT_EQ(g->draws.size(), 1u);
    EXPECT_EQ(g->draws[0].srcY, c.expectedRow) << c.height << " rows, " << c.frames << " frames, frame " << c.frame;
    EXPECT_EQ(g->draws[0].srcX, 0);
  }
}

TEST_F(EditorDrawing, BlendMethodsMapToRasterModes)
{
  struct Case { bool given; IBlend blend; float weight; int mode; };
  const Case cases[] = {
    {false, IBlend(), 1.0f, 0x10000},
    {true, IBlend(BlendNormal, 0.25f), 0.25f, 0x10000},
    {true, IBlend(BlendCopy, 0.5f), 0.5f, 0},
    {true, IBlend(BlendAdd, 1.0f), 1.0f, 0x10001},
    {true, IBlend(BlendDodge, 0.75f), 0.75f, 0x10002},
    {true, IBlend(7, 1.0f), 1.0f, 0x10000},
    {true, IBlend(-1, 1.0f), 1.0f, 0x10000},
  };
  for (const Case& c : cases)
  {
    float w = -1.0f;
    int mode = -1;
    IGraphicsLice::BlendToMode(c.given ? &c.blend : nullptr, &w, &mode);
    EXPECT_EQ(w, c.weight) << "method " << c.blend.method;
    EXPECT_EQ(mode, c.mode) << "method " << c.blend.method;
  }
  EXPECT_EQ(LiceUseSourceAlpha | LiceModeCopy, 0x10000);
  EXPECT_EQ(LiceUseSourceAlpha | LiceModeAdd, 0x10001);
  EXPECT_EQ(LiceUseSourceAlpha | LiceModeDodge, 0x10002);
}

TEST_F(EditorDrawing, ColoursAndPixelsConvertBothWays)
{
  struct Case { IColorARGB color; std::uint32_t pixel; };
  const Case cases[] = {
    {IColorARGB(255, 1, 2, 3), 0xFF010203u},
    {IColorARGB(0, 255, 255, 255), 0x00FFFFFFu},
    {IColorARGB(128, 300, -1, 0x1FF), 0x802CFFFFu},  // components keep their low byte
  };
  for (const Case& c : cases)
    EXPECT_EQ(IGraphicsLice::ColorToPixel(c.color), c.pixel) << std::hex << c.pixel;
  EXPECT_EQ(IGraphicsLice::PixelToColor(0x80402010u), IColorARGB(128, 64, 32, 16));
}

TEST_F(EditorDrawing, WriteAndReadPixels)
{
  Clear(0);
  struct Case { int x, y; IColorARGB color; };
  const Case cases[] = {{0, 0, IColorARGB(255, 10, 20, 30)},
                        {39, 29, IColorARGB(1, 2, 3, 4)},
                        {17, 11, IColorARGB(0, 0, 0, 255)}};
  for (const Case& c : cases)
  {
    EXPECT_TRUE(g->WritePixel(c.color, c.x, c.y));
    EXPECT_EQ(g->ReadPixel(c.x, c.y), c.color);
    EXPECT_EQ(g->SurfacePixels()[c.x + c.y * g->Surface()->GetRowSpan()], IGraphicsLice::ColorToPixel(c.color));
  }
  EXPECT_EQ(g->ReadPixel(40, 0), IColorARGB(0, 0, 0, 0));  // outside reads as 0
  EXPECT_EQ(g->ReadPixel(-1, 3), IColorARGB(0, 0, 0, 0));
#ifndef NDEBUG
  // The writing side trusts its caller; debug builds hold it to the surface.
  EXPECT_DEATH(g->WritePixel(IColorARGB(), 40, 0), "");
  EXPECT_DEATH(g->WritePixel(IColorARGB(), 0, -1), "");
  EXPECT_DEATH(g->DrawBitmapFrame(IBitmap(nullptr, 10, 30, 3), IRECT(0, 0, 10, 10), 0, nullptr), "");
  EXPECT_DEATH(g->DrawBitmapFrame(IBitmap(nullptr, 10, 30, 3), IRECT(0, 0, 10, 10), 4, nullptr), "");
#endif
}

TEST_F(EditorDrawing, VerticalAndHorizontalLinesAreLimitedToTheEditor)
{
  struct Case { bool vertical; int at, from, to; IRECT expected; };
  const Case cases[] = {
    {true, -5, 2, 4, IRECT(0, 2, 1, 5)},         // column limited to 0
    {true, 10, 5, 2, IRECT()},                   // from after to: nothing
    {true, 50, -3, 100, IRECT(39, 0, 40, 30)},
    {true, 10, 100, 200, IRECT(10, 29, 11, 30)}, // both ends limited to the last row
    {false, -1, 3, 6, IRECT(3, 0, 7, 1)},
    {false, 12, 45, -4, IRECT()},                // 39 > 0 after limiting
    {false, 31, 0, 39, IRECT(0, 29, 40, 30)},
  };
  const IColorARGB red(255, 255, 0, 0);
  for (const Case& c : cases)
  {
    Clear(0);
    if (c.vertical)
      g->DrawVLine(red, c.at, c.from, c.to);
    else
      g->DrawHLine(red, c.at, c.from, c.to);
    ExpectSurface([&](int x, int y) { return c.expected.Contains(x, y) ? 0xFFFF0000u : 0u; },
                  std::string(c.vertical ? "V " : "H ") + std::to_string(c.at) + " " + std::to_string(c.from) +
                    ".." + std::to_string(c.to));
  }
}

TEST_F(EditorDrawing, PrimitivesDrawOnTheSurfaceWithoutClippingToTheRegion)
{
  Clear(0);
  g->SetDrawRect(IRECT(0, 0, 1, 1));  // primitives ignore it
  const IBlend copy(BlendCopy);
  g->FillRect(IColorARGB(255, 0, 0, 255), IRECT(2, 3, 6, 5), &copy);
  g->PlotPoint(IColorARGB(255, 0, 255, 0), 10.4f, 3.6f, &copy);
  g->DrawLine(IColorARGB(255, 255, 0, 0), 20.0f, 20.0f, 25.9f, 20.0f, &copy, false);
  ExpectSurface(
    [&](int x, int y) -> LicePixel {
      if (x >= 2 && x < 6 && y >= 3 && y < 5) return 0xFF0000FFu;
      if (x == 10 && y == 4) return 0xFF00FF00u;
      if (y == 20 && x >= 20 && x <= 25) return 0xFFFF0000u;
      return 0u;
    },
    "fill, point, line");

  // The whole image rotated about its centre, drawn only inside its own box.
  Clear(0);
  LiceMemBitmap* solid = new LiceMemBitmap(8, 8);
  for (int i = 0; i < 64; ++i) solid->GetBits()[i] = 0xFF00FF00u;
  const IBitmap img(solid, 8, 8, 1);
  g->KeepBitmap(img);
  EXPECT_TRUE(g->DrawBitmapRotated(img, 20, 15, 0.0, 0, &copy));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
    {
      const bool inside = x >= 16 && x < 24 && y >= 11 && y < 19;
      if (!inside)
      {
        ASSERT_EQ(At(x, y), 0u) << x << "," << y;
      }
      else if (x >= 17 && x < 23 && y >= 12 && y < 18)
      {
        ASSERT_EQ(At(x, y), 0xFF00FF00u) << x << "," << y;
      }
    }
  g->DropBitmap(img);
}

TEST_F(EditorDrawing, MaskedRotationStartsFromTheBaseWithoutAlphaAndClipsToTheRegion)
{
  LiceMemBitmap* base = MakePatternImage(6, 4);
  LiceMemBitmap* clear = new LiceMemBitmap(6, 4);
  for (int i = 0; i < 24; ++i) clear->GetBits()[i] = 0x00FFFFFFu;  // fully transparent
  const IBitmap b(base, 6, 4, 1);
  const IBitmap t(clear, 6, 4, 1);
  g->KeepBitmap(b);
  g->KeepBitmap(t);
  Clear(kBackground);
  g->SetDrawRect(IRECT(0, 0, 12, 30));
  const IBlend copy(BlendCopy);
  EXPECT_TRUE(g->DrawMaskedRotated(b, t, t, 9, 5, 30.0, &copy));
  EXPECT_EQ(g->Scratch()->GetWidth(), 6);
  EXPECT_EQ(g->Scratch()->GetHeight(), 4);
  ExpectSurface(
    [&](int x, int y) {
      if (x >= 9 && x < 12 && y >= 5 && y < 9) return PatternPixel(x - 9, y - 5) & 0x00FFFFFFu;
      return kBackground;
    },
    "masked rotation");
  g->DropBitmap(b);
  g->DropBitmap(t);
}

// A small editor drawn end to end: the background, then a three-frame switch whose frame follows
// its value, redrawn only inside the region asked for.
TEST_F(EditorDrawing, RedrawPaintsTheBackgroundThenTheSelectedFrame)
{
  TestGraphics::Resources()[7204] = std::make_pair(40, 30);
  g->AddBackground(7204, "img/background.png");
  g->AddControl(new ISwitchControl(&plug, 5, 5, -1, LoadGenerated(g, 7205, 10, 30, 3)));  // (5,5,15,15)
  IControl* sw = g->GetControl(1);

  auto check = [&](int frame, const IRECT& region, const std::string& what) {
    ExpectSurface(
      [&](int x, int y) -> LicePixel {
        if (!region.Contains(x, y)) return 0u;
        if (sw->GetRECT().Contains(x, y)) return PatternPixel(x - 5, y - 5 + 10 * (frame - 1));
        return PatternPixel(x, y);
      },
      what);
  };

  Clear(0);
  IRECT r;
  ASSERT_TRUE(g->CollectDirty(r));
  EXPECT_EQ(r, IRECT(0, 0, 40, 30));
  EXPECT_TRUE(g->DrawRegion(r));
  check(1, r, "first redraw");

  Clear(0);
  g->MouseDown(7, 7, IMouseMod(true));  // value 0.5: frame 2
  g->MouseUp(7, 7, IMouseMod(true));
  r = IRECT();
  ASSERT_TRUE(g->CollectDirty(r));
  EXPECT_EQ(r, IRECT(5, 5, 15, 15));
  g->DrawRegion(r);
  check(2, r, "switch redrawn");
  EXPECT_EQ(g->presented.back(), r);

  Clear(0);
  g->SetControlValue(1, 1.0);
  g->DrawRegion(IRECT(0, 0, 8, 8));  // only part of the switch
  check(3, IRECT(0, 0, 8, 8), "partial redraw");
}
