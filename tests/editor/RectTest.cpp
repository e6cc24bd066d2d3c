// The rectangle rules the redraw and clipping depend on: emptiness, Contains, the asymmetric
// Meets edges, Intersection and Union.

#include <gtest/gtest.h>

#include <ostream>

#include "editor/IGraphicsTypes.h"

static std::ostream& operator<<(std::ostream& os, const IRECT& r)
{
  return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

TEST(EditorRect, EmptyOnlyWhenAllFieldsAreZero)
{
  EXPECT_TRUE(IRECT().IsEmpty());
  EXPECT_TRUE(IRECT(0, 0, 0, 0).IsEmpty());
  EXPECT_FALSE(IRECT(5, 5, 5, 5).IsEmpty());    // zero size, not empty
  EXPECT_FALSE(IRECT(0, 0, 0, 1).IsEmpty());
  EXPECT_FALSE(IRECT(-1, 0, 0, 0).IsEmpty());
}

TEST(EditorRect, ContainsIsHalfOpen)
{
  struct Case { IRECT r; int x, y; bool expected; };
  const Case cases[] = {
    {IRECT(0, 0, 10, 10), 0, 0, true},
    {IRECT(0, 0, 10, 10), 9, 9, true},
    {IRECT(0, 0, 10, 10), 10, 5, false},
    {IRECT(0, 0, 10, 10), 5, 10, false},
    {IRECT(0, 0, 10, 10), -1, 5, false},
    {IRECT(0, 0, 10, 10), 5, -1, false},
    {IRECT(0, 0, 1, 1), 0, 0, true},
    {IRECT(3, 3, 3, 8), 3, 4, false},   // zero width holds no point
    {IRECT(), 0, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.r.Contains(c.x, c.y), c.expected) << c.r << " point " << c.x << "," << c.y;
}

TEST(EditorRect, MeetsCountsOnlyTheRightAndBottomEdgesOfThis)
{
  const IRECT a(10, 10, 20, 20);
  struct Case { IRECT a, b; bool expected; };
  const Case cases[] = {
    {a, IRECT(15, 15, 25, 25), true},
    {a, IRECT(20, 10, 30, 20), true},    // a.right == b.left: meets
    {a, IRECT(0, 10, 10, 20), false},    // a.left == b.right: does not
    {a, IRECT(10, 20, 20, 30), true},    // a.bottom == b.top: meets
    {a, IRECT(10, 0, 20, 10), false},    // a.top == b.bottom: does not
    {a, IRECT(21, 10, 30, 20), false},
    {a, IRECT(12, 12, 13, 13), true},    // inside
    {a, IRECT(0, 0, 100, 100), true},    // around
    {a, IRECT(), false},
    {IRECT(), a, false},
    {IRECT(), IRECT(), false},
    {IRECT(15, 5, 15, 25), a, true},     // zero width still meets
  };
  for (const Case& c : cases) EXPECT_EQ(c.a.Meets(c.b), c.expected) << c.a << " meets " << c.b;
}

TEST(EditorRect, IntersectionAndUnion)
{
  struct Case { IRECT a, b, inter, uni; };
  const Case cases[] = {
    {IRECT(0, 0, 10, 10), IRECT(5, 5, 15, 15), IRECT(5, 5, 10, 10), IRECT(0, 0, 15, 15)},
    {IRECT(0, 0, 10, 10), IRECT(10, 0, 20, 10), IRECT(10, 0, 10, 10), IRECT(0, 0, 20, 10)},  // zero width
    {IRECT(10, 0, 20, 10), IRECT(0, 0, 10, 10), IRECT(), IRECT(0, 0, 20, 10)},             // no meeting
    {IRECT(0, 0, 10, 10), IRECT(0, 10, 10, 20), IRECT(0, 10, 10, 10), IRECT(0, 0, 10, 20)},
    {IRECT(0, 0, 10, 10), IRECT(30, 30, 40, 40), IRECT(), IRECT(0, 0, 40, 40)},
    {IRECT(), IRECT(3, 4, 5, 6), IRECT(), IRECT(3, 4, 5, 6)},
    {IRECT(3, 4, 5, 6), IRECT(), IRECT(), IRECT(3, 4, 5, 6)},
    {IRECT(-5, -5, 5, 5), IRECT(0, 0, 2, 2), IRECT(0, 0, 2, 2), IRECT(-5, -5, 5, 5)},
  };
  for (const Case& c : cases)
  {
    EXPECT_EQ(c.a.Intersection(c.b), c.inter) << c.a << " & " << c.b << " gave " << c.a.Intersection(c.b);
    EXPECT_EQ(c.a.Union(c.b), c.uni) << c.a << " | " << c.b << " gave " << c.a.Union(c.b);
  }
}
