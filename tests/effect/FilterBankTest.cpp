// The filter bank: section evaluation, the coefficient design against printed values and against
// the plain formulas, and the fallback for rates where the formulas give no usable filter.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "EffectReference.h"
#include "effect/FilterBank.h"
#include "effect/FuzzChain.h"

namespace {

std::unique_ptr<FilterBank> NewClearedBank()
{
  auto bank = std::make_unique<FilterBank>();
  ClearFilterBank(*bank);
  return bank;
}

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

ref::Coeffs CoeffsOf(const FilterBank& bank, int k)
{
  return ref::Coeffs{bank.b0[k], bank.b1[k], bank.b2[k], bank.a1[k], bank.a2[k]};
}

bool SameCoeffs(const ref::Coeffs& a, const ref::Coeffs& b)
{
  return SameBits(a.b0, b.b0) && SameBits(a.b1, b.b1) && SameBits(a.b2, b.b2)
         && SameBits(a.a1, b.a1) && SameBits(a.a2, b.a2);
}

::testing::AssertionResult CoeffsEqual(const ref::Coeffs& expected, const ref::Coeffs& actual)
{
  if (SameCoeffs(expected, actual))
    return ::testing::AssertionSuccess();
  char text[400];
  std::snprintf(text, sizeof text,
                "expected b0 %.17g b1 %.17g b2 %.17g a1 %.17g a2 %.17g\n"
                "actual   b0 %.17g b1 %.17g b2 %.17g a1 %.17g a2 %.17g",
                expected.b0, expected.b1, expected.b2, expected.a1, expected.a2, actual.b0,
                actual.b1, actual.b2, actual.a1, actual.a2);
  return ::testing::AssertionFailure() << text;
}

const ref::Coeffs kWire{1, 0, 0, 0, 0};

}  // namespace

TEST(ProcessSection, EvaluatesInTheFixedOrderAndShiftsTheState)
{
  auto bank = NewClearedBank();
  const int k = 7;
  bank->b0[k] = 0.3; bank->b1[k] = -0.7; bank->b2[k] = 0.11;
  bank->a1[k] = -1.3; bank->a2[k] = 0.45;
  bank->x1[k] = 0.25; bank->x2[k] = -0.125; bank->y1[k] = 0.6; bank->y2[k] = -0.2;
  const double x = 0.9;

  double expected = ((-0.7 * 0.25 + 0.3 * x) + 0.11 * -0.125);
  expected = expected - -1.3 * 0.6;
  expected = expected - 0.45 * -0.2;
  const double out = ProcessSection(*bank, k, x);

  EXPECT_TRUE(SameBits(out, expected + 1e-20)) << out << " vs " << expected + 1e-20;
  EXPECT_TRUE(SameBits(bank->y1[k], expected)) << "y1 keeps the value without the offset";
  EXPECT_EQ(bank->y2[k], 0.6);
  EXPECT_EQ(bank->x1[k], x);
  EXPECT_EQ(bank->x2[k], 0.25);
  // Other sections untouched.
  EXPECT_EQ(bank->y1[k - 1], 0.0);
  EXPECT_EQ(bank->x1[k + 1], 0.0);
}

TEST(ProcessSection, ZeroStateAndInputReturnExactlyTheOffset)
{
  auto bank = NewClearedBank();
  DesignFilterBank(*bank, 44100);
  for (int k = 0; k < kDesignedSections; ++k)
  {
    EXPECT_EQ(ProcessSection(*bank, k, 0.0), 1e-20) << "section " << k;
    EXPECT_EQ(bank->y1[k], 0.0) << "section " << k;
  }
}

TEST(ClearFilterBank, ZeroesCoefficientsAndState)
{
  auto bank = std::make_unique<FilterBank>();
  std::memset(bank.get(), 0x5A, sizeof(FilterBank));
  ClearFilterBank(*bank);
  const double* all = bank->b0;
  for (int i = 0; i < 9 * kFilterSections; ++i)
    ASSERT_TRUE(SameBits(all[i], 0.0)) << "entry " << i;
}

TEST(DesignFilterBank, MatchesThePrintedCoefficientsAt44100)
{
  struct Row { int k; double b0, b1, b2, a1, a2; };
  const Row rows[] = {
    {0, 0.974194536, -1.94838907, 0.974194536, -1.94591504, 0.950863107},
    {2, 0.99405574, -1.98238673, 0.988341996, -1.98234027, 0.982444194},
    {10, 0.189343018, 0.186776237, 0.0661118646, -0.864789177, 0.307020297},
    {20, 0.39683779, -0.511069694, 0.357444745, -0.511069694, -0.245717465},
  };
  auto bank = NewClearedBank();
  DesignFilterBank(*bank, 44100);
  for (const Row& r : rows)
  {
    const double expected[5] = {r.b0, r.b1, r.b2, r.a1, r.a2};
    const double actual[5] = {bank->b0[r.k], bank->b1[r.k], bank->b2[r.k], bank->a1[r.k],
                              bank->a2[r.k]};
    const char* names[5] = {"b0", "b1", "b2", "a1", "a2"};
    for (int i = 0; i < 5; ++i)
    {
      // Nine significant digits.
      EXPECT_NEAR(actual[i], expected[i], 6e-9 * std::fabs(expected[i]))
          << "section " << r.k << " " << names[i];
    }
  }
}

TEST(DesignFilterBank, AboveTwentyThreeKilohertzEqualsThePlainFormulasBitForBit)
{
  for (double rate : {23000.5, 24000.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0,
                      192000.0, 384000.0, 768000.0})
  {
    auto bank = NewClearedBank();
    DesignFilterBank(*bank, rate);
    for (int k = 0; k < kDesignedSections; ++k)
    {
      const ref::Coeffs plain = ref::PlainDesign(k, rate);
      EXPECT_TRUE(ref::Usable(plain)) << "rate " << rate << " section " << k;
      EXPECT_TRUE(CoeffsEqual(plain, CoeffsOf(*bank, k))) << "rate " << rate << " section " << k;
    }
  }
  // A dense sweep: no rate above 23000 Hz falls back to a wire.
  auto bank = NewClearedBank();
  for (double rate = 23000.25; rate < 400000; rate += 13.7)
  {
    DesignFilterBank(*bank, rate);
    for (int k = 0; k < kDesignedSections; ++k)
      ASSERT_TRUE(CoeffsEqual(ref::PlainDesign(k, rate), CoeffsOf(*bank, k)))
          << "rate " << rate << " section " << k;
  }
}

TEST(DesignFilterBank, SectionsWithoutAUsableDesignBecomeWires)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row { double rate; std::vector<int> wires; };
  // wires: the sections the plain formulas cannot give at that rate (checked against the
  // reference too, so the table documents the known cases).
  const Row rows[] = {
    {16000, {10, 11}},
    {22050, {10, 11}},
    {1000, {0, 1, 4, 6, 8, 9, 10, 13, 14, 17}},  // exactly twice 500 Hz (and 2000 Hz ...)
    {8000, {}},
    {0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    {-1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    {nan, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    {inf, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}},
    {96000, {}},
    {192000, {}},
  };
  for (const Row& r : rows)
  {
    auto bank = NewClearedBank();
    DesignFilterBank(*bank, r.rate);
    for (int k = 0; k < kDesignedSections; ++k)
    {
      const ref::Coeffs plain = ref::PlainDesign(k, r.rate);
      const bool wire = std::find(r.wires.begin(), r.wires.end(), k) != r.wires.end();
      EXPECT_EQ(wire, !ref::Usable(plain)) << "rate " << r.rate << " section " << k;
      const ref::Coeffs expected = ref::Usable(plain) ? plain : kWire;
      EXPECT_TRUE(CoeffsEqual(expected, CoeffsOf(*bank, k)))
          << "rate " << r.rate << " section " << k;
      EXPECT_TRUE(IsStableSection(bank->b0[k], bank->b1[k], bank->b2[k], bank->a1[k],
                                  bank->a2[k]))
          << "rate " << r.rate << " section " << k;
    }
  }
}

TEST(DesignFilterBank, LeavesUnusedSectionsAndStateAlone)
{
  auto bank = NewClearedBank();
  for (int k = 0; k < kFilterSections; ++k)
    bank->y1[k] = 0.5;
  DesignFilterBank(*bank, 44100);
  DesignFilterBank(*bank, 1000);
  for (int k = kDesignedSections; k < kFilterSections; ++k)
  {
    EXPECT_EQ(bank->b0[k], 0.0);
    EXPECT_EQ(bank->b1[k], 0.0);
    EXPECT_EQ(bank->b2[k], 0.0);
    EXPECT_EQ(bank->a1[k], 0.0);
    EXPECT_EQ(bank->a2[k], 0.0);
  }
  for (int k = 0; k < kFilterSections; ++k)
    EXPECT_EQ(bank->y1[k], 0.5);
}

TEST(IsStableSection, AcceptsOnlyPolesStrictlyInsideTheUnitCircle)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row { double b0, b1, b2, a1, a2; bool stable; };
  const Row rows[] = {
    {1, 0, 0, 0, 0, true},
    {0.97, -1.95, 0.97, -1.9459, 0.9509, true},
    {1, 0, 0, 0, 1, false},        // poles on the circle
    {1, 0, 0, 0, -1, false},
    {1, 0, 0, -2, 1, false},       // double pole at z = 1
    {1, 0, 0, 1.5, 0.49, false},   // |a1| = 1 + a2 would be 1.49
    {1, 0, 0, 1.48, 0.49, true},
    {1, 0, 0, 0, 1.2, false},
    {nan, 0, 0, 0, 0, false},
    {1, inf, 0, 0, 0, false},
    {1, 0, 0, nan, 0, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IsStableSection(r.b0, r.b1, r.b2, r.a1, r.a2), r.stable)
        << r.b0 << " " << r.b1 << " " << r.b2 << " " << r.a1 << " " << r.a2;
}

TEST(DesignFilterBank, EveryRateUpToTheHighRatesGivesFiniteSoundForALoudInput)
{
  // A sweep of rates, including every one below twice the highest section frequency, with a
  // loud noise through the unclipped (Attack 0) path and the cabinet.
  std::vector<double> in(4096);
  std::uint32_t s = 12345;
  for (double& v : in)
  {
    s = s * 1664525u + 1013904223u;
    v = ((double) (s >> 8) / 16777216.0 - 0.5) * 20.0;
  }
  std::vector<double> zero(in.size(), 0.0), out(in.size());
  std::vector<double> noise(kNoiseTableSize, 0.0);
  FuzzSettings settings;
  settings.level = 1;
  settings.attack = 0;
  settings.drive = 0;
  auto bank = NewClearedBank();
  for (int rate = -100; rate <= 30000; rate += 25)
  {
    ClearFilterBank(*bank);
    DesignFilterBank(*bank, rate);
    double* ins[2] = {in.data(), zero.data()};
    double* outs[2] = {out.data(), out.data()};
    ProcessEffectBlock(*bank, settings, noise.data(), true, true, ins, outs, (int) in.size());
    for (size_t i = 0; i < out.size(); ++i)
      ASSERT_TRUE(std::isfinite(out[i])) << "rate " << rate << " position " << i;
  }
}
