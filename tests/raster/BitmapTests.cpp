// Memory and system bitmaps: creation, resizing and the buffer/section reuse rules.

#include <gtest/gtest.h>

#include "TestImages.h"
#include "raster/LiceBlit.h"

namespace
{

TEST(MemBitmap, CreationSizesAndEmptyCases)
{
  struct Case
  {
    int w, h;
    int expectW, expectH, expectCapacity;
    bool hasPixels;
  };
  const Case cases[] = {
    {10, 10, 10, 10, 400, true},
    {1, 1, 1, 1, 4, true},
    {0, 5, 0, 0, 0, false},
    {5, 0, 0, 0, 0, false},
    {-10, -10, 0, 0, 0, false},      // two negative sides must not make a positive byte count
    {-3, 7, 0, 0, 0, false},
    {100000, 100000, 0, 0, 0, false}, // 4e10 bytes: beyond the 32-bit byte count, no buffer
  };
  for (const Case& c : cases)
  {
    LiceMemBitmap bm(c.w, c.h);
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    EXPECT_EQ(bm.GetWidth(), c.expectW);
    EXPECT_EQ(bm.GetHeight(), c.expectH);
    EXPECT_EQ(bm.GetRowSpan(), c.expectW);
    EXPECT_EQ(bm.GetCapacity(), c.expectCapacity);
    EXPECT_EQ(bm.GetBits() != nullptr, c.hasPixels);
    EXPECT_FALSE(bm.IsFlipped());
    EXPECT_EQ(bm.GetDeviceContext(), nullptr);
  }
  LiceMemBitmap empty;
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_EQ(empty.GetHeight(), 0);
  EXPECT_EQ(empty.GetCapacity(), 0);
  EXPECT_EQ(empty.GetBits(), nullptr);
}

TEST(MemBitmap, SetSizeGrowsWithHeadroomAndNeverShrinksTheBuffer)
{
  LiceMemBitmap bm(10, 10);
  LicePixel* first = bm.GetBits();
  EXPECT_FALSE(bm.SetSize(10, 10)); // same size: nothing changes
  EXPECT_EQ(bm.GetBits(), first);

  EXPECT_TRUE(bm.SetSize(20, 20));
  EXPECT_EQ(bm.GetCapacity(), 2000); // 1600 + 25 %
  EXPECT_EQ(bm.GetWidth(), 20);
  EXPECT_EQ(bm.GetHeight(), 20);
  ASSERT_NE(bm.GetBits(), nullptr);

  for (int i = 0; i < 400; ++i)
    bm.GetBits()[i] = 0x01000000u + (LicePixel)i;
  LicePixel* grown = bm.GetBits();
  EXPECT_TRUE(bm.SetSize(5, 5)); // shrink: same buffer, contents as they were
  EXPECT_EQ(bm.GetBits(), grown);
  EXPECT_EQ(bm.GetCapacity(), 2000);
  EXPECT_EQ(bm.GetRowSpan(), 5);
  for (int i = 0; i < 25; ++i)
    EXPECT_EQ(bm.GetBits()[i], 0x01000000u + (LicePixel)i);

  EXPECT_TRUE(bm.SetSize(22, 22)); // 1936 bytes fit in 2000: no reallocation
  EXPECT_EQ(bm.GetBits(), grown);
  EXPECT_EQ(bm.GetCapacity(), 2000);

  EXPECT_TRUE(bm.SetSize(0, 7)); // empty: buffer freed
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetCapacity(), 0);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);

  EXPECT_TRUE(bm.SetSize(3, 4)); // from nothing: exactly the bytes needed
  EXPECT_EQ(bm.GetCapacity(), 48);
  EXPECT_NE(bm.GetBits(), nullptr);

  EXPECT_TRUE(bm.SetSize(-2, -2)); // negative sides: empty, not 16 bytes of a -2 x -2 image
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);

  EXPECT_TRUE(bm.SetSize(65536, 65536)); // 16 GiB: cannot be held, 0 x 0
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);
}

TEST(SysBitmap, SectionIsReusedWhileTheSizeFits)
{
  LiceSysBitmap bm(100, 100);
  ASSERT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetRowSpan(), 100);
  EXPECT_FALSE(bm.IsFlipped());
#ifndef _WIN32
  EXPECT_EQ(bm.GetDeviceContext(), nullptr);
#else
  EXPECT_NE(bm.GetDeviceContext(), nullptr);
#endif
  LicePixel* section = bm.GetBits();
  EXPECT_FALSE(bm.SetSize(100, 100));

  EXPECT_TRUE(bm.SetSize(50, 50));
  EXPECT_EQ(bm.GetWidth(), 50);
  EXPECT_EQ(bm.GetHeight(), 50);
  EXPECT_EQ(bm.GetRowSpan(), 100);
  EXPECT_EQ(bm.GetBits(), section);

  EXPECT_TRUE(bm.SetSize(100, 100));
  EXPECT_EQ(bm.GetBits(), section);
  EXPECT_EQ(bm.GetRowSpan(), 100);

  EXPECT_TRUE(bm.SetSize(101, 60)); // wider: a new section of exactly that size
  EXPECT_EQ(bm.GetRowSpan(), 101);
  EXPECT_EQ(bm.GetAllocatedWidth(), 101);
  EXPECT_EQ(bm.GetAllocatedHeight(), 60);
  ASSERT_NE(bm.GetBits(), nullptr);

  EXPECT_FALSE(bm.SetSize(0, 0)); // no pixels: section released, answers false
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);

  EXPECT_TRUE(bm.SetSize(-4, 10)); // a negative side gives no section
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);

  EXPECT_TRUE(bm.SetSize(8, 9));
  EXPECT_NE(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetRowSpan(), 8);
}

TEST(SysBitmap, ZeroSizedSurfaceHasNoPixels)
{
  LiceSysBitmap bm(0, 0);
  EXPECT_EQ(bm.GetBits(), nullptr);
  EXPECT_EQ(bm.GetWidth(), 0);
  EXPECT_EQ(bm.GetHeight(), 0);
  LiceMemBitmap src(4, 4);
  LiceBlit(&bm, &src, 0, 0, nullptr, 1.0f, LiceModeCopy); // drawing on it does nothing
}

TEST(SysBitmap, BlitsHonourTheRowSpanOfAShrunkSection)
{
  LiceSysBitmap surface(100, 100);
  ASSERT_TRUE(surface.SetSize(30, 20));
  testimg::Rng rng(7);
  LiceMemBitmap src(30, 20);
  testimg::Fill(src, rng);
  LiceBlit(&surface, &src, 0, 0, nullptr, 1.0f, LiceModeCopy);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(surface.GetBits()[y * 100 + x], testimg::At(src, x, y)) << x << "," << y;
}

TEST(Copy, ProducesAnExactCopyIncludingAlpha)
{
  testimg::Rng rng(3);
  testimg::FlippedBitmap flipped(13, 9);
  testimg::Fill(flipped, rng);
  LiceMemBitmap plain(13, 9);
  testimg::Fill(plain, rng);

  for (LiceBitmap* src : {(LiceBitmap*)&flipped, (LiceBitmap*)&plain})
  {
    LiceMemBitmap dest;
    LiceCopy(&dest, src);
    ASSERT_EQ(dest.GetWidth(), 13);
    ASSERT_EQ(dest.GetHeight(), 9);
    EXPECT_EQ(testimg::Snapshot(dest), testimg::Snapshot(*src));

    LiceMemBitmap bigger(40, 40); // a larger destination is resized first
    LiceCopy(&bigger, src);
    EXPECT_EQ(bigger.GetWidth(), 13);
    EXPECT_EQ(testimg::Snapshot(bigger), testimg::Snapshot(*src));
  }
  LiceCopy(nullptr, &plain);
  LiceCopy(&plain, nullptr);
}

} // namespace
