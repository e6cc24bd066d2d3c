// The byte buffer of presets and state chunks.

#include <gtest/gtest.h>

#include <cstring>

#include "framework/ByteChunk.h"

TEST(ByteChunk, AppendAndRead)
{
  ByteChunk chunk;
  EXPECT_EQ(chunk.Size(), 0);
  EXPECT_EQ(chunk.Data(), nullptr);

  const double a = 0.25;
  const int b = 0x10000;
  EXPECT_EQ(chunk.Put(&a), 8);
  EXPECT_EQ(chunk.Put(&b), 12);
  EXPECT_EQ(chunk.Append("xy", 2), 14);
  EXPECT_EQ(chunk.Append(nullptr, 5), 14);
  EXPECT_EQ(chunk.Append("zz", -1), 14);

  double ra = 0.0;
  int rb = 0;
  char rc[2] = {};
  EXPECT_EQ(chunk.Get(&ra, 0), 8);
  EXPECT_EQ(chunk.Get(&rb, 8), 12);
  EXPECT_EQ(chunk.ReadAt(rc, 2, 12), 14);
  EXPECT_EQ(ra, 0.25);
  EXPECT_EQ(rb, 0x10000);
  EXPECT_EQ(std::memcmp(rc, "xy", 2), 0);
  EXPECT_EQ(chunk.ReadAt(rc, 0, 14), 14);  // nothing, at the very end
}

TEST(ByteChunk, FailedReadsReadNothing)
{
  ByteChunk chunk;
  const double a = 1.5;
  chunk.Put(&a);
  struct Row { int count; int position; };
  const Row rows[] = {
    {8, 1}, {9, 0}, {1, 8}, {8, -1}, {-1, 0}, {-8, 8}, {1, 0x7fffffff}, {0x7fffffff, 1}, {4, -0x7fffffff - 1},
  };
  for (const Row& r : rows)
  {
    unsigned char out[16];
    std::memset(out, 0xAB, sizeof(out));
    EXPECT_EQ(chunk.ReadAt(out, r.count, r.position), -1) << "count " << r.count << " position " << r.position;
    for (unsigned char c : out)
      ASSERT_EQ(c, 0xAB) << "count " << r.count << " position " << r.position;
  }
}

TEST(ByteChunk, SetSizeKeepsThePrefixAndZeroesTheRest)
{
  ByteChunk chunk;
  chunk.Append("abcdef", 6);
  chunk.SetSize(3);
  ASSERT_EQ(chunk.Size(), 3);
  EXPECT_EQ(std::memcmp(chunk.Data(), "abc", 3), 0);
  chunk.SetSize(6);
  ASSERT_EQ(chunk.Size(), 6);
  EXPECT_EQ(std::memcmp(chunk.Data(), "abc\0\0\0", 6), 0);
  chunk.SetSize(-5);
  EXPECT_EQ(chunk.Size(), 0);
  EXPECT_EQ(chunk.Data(), nullptr);
  chunk.Append("q", 1);
  chunk.Clear();
  EXPECT_EQ(chunk.Size(), 0);
}
