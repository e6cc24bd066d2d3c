// The parameter model: initialisation, normalised <-> plain conversions, display texts.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "framework/IParam.h"

namespace
{
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

IParam MakeLevel()  // continuous 0..1, step 0.001, like the effect's "Level"
{
  IParam p;
  p.InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
  return p;
}

IParam MakeOnOff(const char* name)  // a choice of two with texts, like "Effect"
{
  IParam p;
  p.InitChoice(name, 1, 2);
  p.AddValueText(0, "Off");
  p.AddValueText(1, "On");
  return p;
}

std::string Format(const IParam& p, double v, bool normalized, int capacity = 32)
{
  char buf[64];
  std::memset(buf, 'x', sizeof(buf));
  p.FormatForHost(v, normalized, buf, capacity);
  EXPECT_EQ(buf[capacity], 'x') << "wrote past the capacity " << capacity;
  return std::string(buf);
}
}  // namespace

TEST(IParamInit, FreshParameterDefaults)
{
  IParam p;
  EXPECT_EQ(p.Type(), IParam::kTypeNone);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(p.Min(), 0.0);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_EQ(p.Shape(), 1.0);
  EXPECT_EQ(p.Decimals(), 0);
  EXPECT_STREQ(p.Name(), "");
  EXPECT_STREQ(p.Label(), "");
  EXPECT_EQ(p.ValueTextCount(), 0);
}

TEST(IParamInit, ContinuousAndChoice)
{
  IParam level = MakeLevel();
  EXPECT_EQ(level.Type(), IParam::kTypeDouble);
  EXPECT_EQ(level.Max(), 1.0);
  EXPECT_EQ(level.Decimals(), 3);
  EXPECT_EQ(level.Value(), 0.5);
  EXPECT_STREQ(level.Name(), "Level");
  EXPECT_FALSE(level.IsWholeNumber());

  IParam narrow;  // maximum below minimum + step becomes minimum + step
  narrow.InitContinuous("Narrow", 0.0, 0.0, 0.5, 1.0, "dB");
  EXPECT_EQ(narrow.Max(), 1.0);
  EXPECT_STREQ(narrow.Label(), "dB");

  IParam outside;  // the default is not limited to the range
  outside.InitContinuous("Outside", 7.0, 0.0, 1.0, 0.5);
  EXPECT_EQ(outside.Value(), 7.0);

  IParam choice;
  choice.InitChoice("Effect", 1, 2);
  EXPECT_EQ(choice.Type(), IParam::kTypeEnum);
  EXPECT_EQ(choice.Min(), 0.0);
  EXPECT_EQ(choice.Max(), 1.0);
  EXPECT_EQ(choice.Step(), 1.0);
  EXPECT_EQ(choice.Decimals(), 0);
  EXPECT_STREQ(choice.Label(), "");
  EXPECT_EQ(choice.Value(), 1.0);
  EXPECT_TRUE(choice.IsWholeNumber());
}

TEST(IParamInit, DecimalsFollowTheStep)
{
  struct Row { double step; int decimals; };
  const Row rows[] = {
    {0.001, 3}, {0.25, 2}, {1.0, 0}, {10.0, 0}, {0.5, 1}, {1e-7, 6}, {1e-6, 6}, {0.1, 1},
  };
  for (const Row& r : rows)
  {
    IParam p;
    p.InitContinuous("p", 0.0, 0.0, 100.0, r.step);
    // Slow reference: count decimal places of the step by repeated scaling, capped at 6.
    int expected = 0;
    double x = r.step;
    while (x != std::floor(x) && expected < IParam::kMaxDecimals)
    {
      ++expected;
      x *= 10.0;
    }
    EXPECT_EQ(p.Decimals(), expected) << "step " << r.step;
    EXPECT_EQ(p.Decimals(), r.decimals) << "step " << r.step;
  }
}

TEST(IParamInit, LongTextsAreCutToTheField)
{
  const std::string longText(100, 'n');
  IParam p;
  p.InitContinuous(longText.c_str(), 0.0, 0.0, 1.0, 0.1, longText.c_str());
  p.AddValueText(3, longText.c_str());
  EXPECT_EQ(std::strlen(p.Name()), (size_t) IParam::kTextSize - 1);
  EXPECT_EQ(std::strlen(p.Label()), (size_t) IParam::kTextSize - 1);
  EXPECT_EQ(std::strlen(p.ValueTextFor(3)), (size_t) IParam::kTextSize - 1);
}

TEST(IParamConvert, SetFromNormalized)
{
  struct Row
  {
    const char* what;
    bool choice;
    double shape;
    double x;
    double expected;
  };
  const Row rows[] = {
    {"choice 0.49 rounds down", true, 1.0, 0.49, 0.0},
    {"choice 0.5 rounds up", true, 1.0, 0.5, 1.0},
    {"continuous is not snapped", false, 1.0, 0.37, 0.37},
    {"above 1 gives the maximum", false, 1.0, 1.7, 1.0},
    {"choice above 1 gives the maximum", true, 1.0, 1.7, 1.0},
    {"no lower limit", false, 1.0, -0.5, -0.5},
    {"shape 2", false, 2.0, 0.5, 0.25},
    {"infinity gives the maximum", false, 1.0, kInf, 1.0},
  };
  for (const Row& r : rows)
  {
    IParam p = r.choice ? MakeOnOff("c") : MakeLevel();
    p.SetShape(r.shape);
    p.SetFromNormalized(r.x);
    EXPECT_EQ(p.Value(), r.expected) << r.what << ": x " << r.x;
  }
}

TEST(IParamConvert, ChoiceSnapsToMultiplesOfTheStepFromZero)
{
  IParam p;
  p.InitChoice("Mode", 0, 5);  // 0..4
  for (int i = 0; i <= 100; ++i)
  {
    const double x = i / 100.0;
    p.SetFromNormalized(x);
    const double expected = std::min(std::floor(x * 4.0 + 0.5), 4.0);
    EXPECT_EQ(p.Value(), expected) << "x " << x;
  }
}

TEST(IParamConvert, NaNChangesNothing)
{
  IParam level = MakeLevel();
  level.SetFromNormalized(kNaN);
  EXPECT_EQ(level.Value(), 0.5);

  IParam choice = MakeOnOff("Effect");
  choice.SetFromNormalized(kNaN);
  EXPECT_EQ(choice.Value(), 1.0);

  // A negative input with a fractional shape has no real power: nothing changes either.
  IParam rooted = MakeLevel();
  rooted.SetShape(0.5);
  rooted.SetFromNormalized(-0.25);
  EXPECT_EQ(rooted.Value(), 0.5);
}

TEST(IParamConvert, ToNormalized)
{
  struct Row { double shape; double plain; double expected; };
  const Row rows[] = {
    {1.0, 0.25, 0.25}, {1.0, 5.0, 1.0}, {1.0, -1.0, 0.0}, {2.0, 0.25, 0.5}, {1.0, kNaN, 0.0},
    {1.0, kInf, 1.0}, {1.0, -kInf, 0.0},
  };
  for (const Row& r : rows)
  {
    IParam p = MakeLevel();
    p.SetShape(r.shape);
    EXPECT_DOUBLE_EQ(p.ToNormalized(r.plain), r.expected) << "shape " << r.shape << " plain " << r.plain;
  }
  IParam p = MakeLevel();
  p.SetValue(0.75);
  EXPECT_EQ(p.ToNormalized(), 0.75);
}

TEST(IParamConvert, RoundTripWithShape)
{
  IParam p;
  p.InitContinuous("Freq", 100.0, 20.0, 20000.0, 1.0);
  p.SetShape(3.0);
  for (int i = 0; i <= 20; ++i)
  {
    const double x = i / 20.0;
    p.SetFromNormalized(x);
    const double plain = std::pow(x, 3.0) * (20000.0 - 20.0) + 20.0;
    EXPECT_DOUBLE_EQ(p.Value(), plain) << "x " << x;
    EXPECT_NEAR(p.ToNormalized(), x, 1e-12) << "x " << x;
  }
}

TEST(IParamDisplay, TextsOfNormalValues)
{
  IParam level = MakeLevel();
  IParam effect = MakeOnOff("Effect");
  IParam whole;
  whole.InitContinuous("Whole", 0.0, -10.0, 10.0, 1.0);
  IParam emptyText;
  emptyText.InitChoice("Empty", 0, 3);
  emptyText.AddValueText(2, "");
  IParam squared = MakeLevel();
  squared.SetShape(2.0);

  struct Row
  {
    const IParam* param;
    double v;
    bool normalized;
    const char* expected;
  };
  const Row rows[] = {
    {&level, 0.5, false, "0.500"},
    {&level, 0.0, false, "0"},
    {&level, 1.0, false, "1.000"},
    {&level, 0.5, true, "0.500"},
    {&level, -0.25, false, "-0.250"},
    {&effect, 1.0, false, "On"},
    {&effect, 0.0, false, "Off"},
    {&effect, 1.0, true, "On"},
    {&effect, 0.9, false, "Off"},        // truncated toward zero for the text lookup
    {&whole, -2.7, false, "-2"},
    {&whole, 3.9, false, "3"},
    {&emptyText, 2.0, false, "2"},       // an empty text counts as none
    {&squared, 0.5, true, "0.250"},      // normalised values go through the shape
  };
  for (const Row& r : rows)
    EXPECT_EQ(Format(*r.param, r.v, r.normalized), r.expected)
      << r.param->Name() << " v " << r.v << " normalized " << r.normalized;
}

TEST(IParamDisplay, ExtremeValuesStayInsideTheText)
{
  IParam level = MakeLevel();
  IParam effect = MakeOnOff("Effect");
  IParam whole;
  whole.InitContinuous("Whole", 0.0, -10.0, 10.0, 1.0);
  const IParam* params[] = {&level, &effect, &whole};
  const double values[] = {1e300, -1e300, kInf, -kInf, kNaN, 3e9, -3e9, 2147483648.0, -2147483649.0};
  const int capacities[] = {1, 2, 8, 32, 63};
  for (const IParam* p : params)
  {
    for (double v : values)
    {
      for (int capacity : capacities)
      {
        const std::string text = Format(*p, v, false, capacity);
        EXPECT_LT((int) text.size(), capacity) << p->Name() << " v " << v << " capacity " << capacity;
      }
    }
  }
  // Whole-number displays of huge values print the number rather than a wrapped integer.
  EXPECT_EQ(Format(whole, 3e9, false), "3000000000");
  EXPECT_EQ(Format(whole, -3e9, false), "-3000000000");
  EXPECT_EQ(Format(effect, 1e300, false, 8), "1000000");
  EXPECT_EQ(Format(whole, 2147483647.5, false), "2147483647");
}

TEST(IParamDisplay, CapacityCutsNormalTexts)
{
  IParam level = MakeLevel();
  EXPECT_EQ(Format(level, 0.5, false, 4), "0.5");
  EXPECT_EQ(Format(level, 0.5, false, 1), "");
  IParam effect = MakeOnOff("Effect");
  EXPECT_EQ(Format(effect, 0.0, false, 3), "Of");
}

TEST(IParamValueTexts, FirstMatchWins)
{
  IParam p;
  p.InitChoice("Mode", 0, 4);
  p.AddValueText(1, "One");
  p.AddValueText(1, "Uno");
  p.AddValueText(2, "Same");
  p.AddValueText(3, "Same");
  EXPECT_EQ(p.ValueTextCount(), 4);
  EXPECT_STREQ(p.ValueTextFor(1), "One");
  EXPECT_STREQ(p.ValueTextFor(0), "");

  double v = -1.0;
  EXPECT_TRUE(p.ValueForText("Same", &v));
  EXPECT_EQ(v, 2.0);
  EXPECT_TRUE(p.ValueForText("Uno", &v));
  EXPECT_EQ(v, 1.0);

  v = -1.0;
  EXPECT_FALSE(p.ValueForText("same", &v));  // case-sensitive
  EXPECT_FALSE(p.ValueForText("On", &v));    // whole text, not a prefix
  EXPECT_FALSE(p.ValueForText(nullptr, &v));
  EXPECT_EQ(v, -1.0);
}
