// The channel glue's conversions give the same bits at every instruction-set level this machine
// can run, for every length (the vector loops' tails included) and for the awkward values:
// zeros of both signs, subnormals, infinities, NaN, doubles between two floats and doubles beyond
// the float range.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "framework/SampleConvert.h"

namespace {

std::vector<double> AwkwardDoubles()
{
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0, -0.0, 1.0, -1.0, 0.1, 1.0 + 0x1p-30, 1.0 + 0x1p-24, 1.0 + 0x1.8p-24,
                           3.4028235677973366e38, 3.5e38, -1e300, inf, -inf,
                           std::numeric_limits<double>::quiet_NaN(), 1e-40, -1e-45, 1e-320,
                           0.25 + 0x1p-26};
  for (int i = 0; (int) v.size() < 131; ++i)
    v.push_back(std::sin(i * 0.37) * std::pow(10.0, (i % 13) - 6));
  return v;
}

std::vector<float> AwkwardFloats()
{
  std::vector<float> f;
  for (double d : AwkwardDoubles())
    f.push_back((float) d);
  return f;
}

bool SameBits(float a, float b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

const CpuLevel kLevels[] = {CpuLevel::kBaseline, CpuLevel::kAvx2, CpuLevel::kAvx512};

class SampleConvertTest : public ::testing::Test
{
protected:
  void TearDown() override { SetSampleConvertLevel(best); }
  const CpuLevel best = ActiveSampleConvertLevel();
};

TEST_F(SampleConvertTest, EveryLevelMatchesTheScalarConversionsAtEveryLength)
{
  const std::vector<double> d = AwkwardDoubles();
  const std::vector<float> f = AwkwardFloats();
  int levelsRun = 0;
  for (CpuLevel level : kLevels)
  {
    if (!SetSampleConvertLevel(level))
      continue;  // not on this processor, or not in this build
    ++levelsRun;
    for (int n = 0; n <= (int) d.size(); ++n)
    {
      SCOPED_TRACE("level " + std::to_string((int) level) + ", length " + std::to_string(n));
      // One slot past the length must stay untouched.
      std::vector<double> wide(d.size() + 1, 7.0);
      WidenSamples(f.data(), wide.data(), n);
      std::vector<float> narrow(d.size() + 1, 7.0f);
      NarrowSamples(d.data(), narrow.data(), n);
      std::vector<float> sum(f.begin(), f.end());
      sum.push_back(7.0f);
      NarrowAddSamples(d.data(), sum.data(), n);
      for (int i = 0; i < n; ++i)
      {
        ASSERT_TRUE(SameBits(wide[i], (double) f[i])) << i;
        ASSERT_TRUE(SameBits(narrow[i], (float) d[i])) << i;
        ASSERT_TRUE(SameBits(sum[i], f[i] + (float) d[i])) << i;
      }
      EXPECT_EQ(wide[n], 7.0);
      EXPECT_EQ(narrow[n], 7.0f);
      EXPECT_TRUE(SameBits(sum[n], n < (int) f.size() ? f[n] : 7.0f));
    }
  }
  EXPECT_GE(levelsRun, 1);
}

TEST_F(SampleConvertTest, LevelsTheProcessorLacksAreRefused)
{
  EXPECT_TRUE(SetSampleConvertLevel(CpuLevel::kBaseline));
  EXPECT_EQ(ActiveSampleConvertLevel(), CpuLevel::kBaseline);
  for (CpuLevel level : {CpuLevel::kAvx2, CpuLevel::kAvx512})
  {
    EXPECT_EQ(SetSampleConvertLevel(level), CpuHasLevel(level));
    EXPECT_EQ(ActiveSampleConvertLevel(), CpuHasLevel(level) ? level : CpuLevel::kBaseline);
    SetSampleConvertLevel(CpuLevel::kBaseline);
  }
}

}  // namespace
