// Presets and the serialized parameter layout.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "TestPlug.h"

using fwtest::FakeGraphics;
using fwtest::GraphicsCall;
using fwtest::TestPlug;

namespace
{
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

ByteChunk Layout(const std::vector<double>& values)
{
  ByteChunk chunk;
  for (double v : values)
    chunk.Put(&v);
  return chunk;
}

std::string Describe(const std::vector<double>& values)
{
  std::string s;
  for (double v : values)
    s += std::to_string(v) + " ";
  return s;
}
}  // namespace

TEST(SerializedLayout, SerializeWritesPlainValuesInIndexOrder)
{
  TestPlug plug;
  plug.SetValues(0.25, 0.75, 1.0, 0.0);
  ByteChunk chunk;
  const char header[] = "tffp";
  chunk.Append(header, 4);
  EXPECT_TRUE(plug.SerializeParams(&chunk));
  ASSERT_EQ(chunk.Size(), 4 + 32);
  for (int i = 0; i < 4; ++i)
  {
    double v;
    std::memcpy(&v, chunk.Data() + 4 + 8 * i, 8);
    EXPECT_EQ(v, plug.GetParam(i)->Value()) << "param " << i;
  }
  ByteChunk viaState;
  EXPECT_TRUE(plug.WriteState(&viaState));
  EXPECT_EQ(viaState.Size(), 32);
  EXPECT_FALSE(plug.SerializeParams(nullptr));
}

TEST(SerializedLayout, Unserialize)
{
  struct Row
  {
    const char* what;
    std::vector<double> layout;
    int start;
    std::vector<double> expected;  // Level, Attack, Effect, Cabinet afterwards (before: 0.5 0.5 1 1)
    int result;
  };
  const Row rows[] = {
    {"four values", {0.25, 0.75, 1.0, 0.0}, 0, {0.25, 0.75, 1.0, 0.0}, 32},
    {"after a header", {1.5e-300, 0.25, 0.75, 1.0, 0.0}, 8, {0.25, 0.75, 1.0, 0.0}, 40},
    {"longer than needed", {0.1, 0.2, 0.0, 0.0, 0.9}, 0, {0.1, 0.2, 0.0, 0.0}, 32},
    {"short: param 2 gets 0, param 3 untouched", {0.25, 0.75}, 0, {0.25, 0.75, 0.0, 1.0}, -1},
    {"empty", {}, 0, {0.0, 0.5, 1.0, 1.0}, -1},
    {"limited to the range", {7.5, -3.0, 2.0, -1.0}, 0, {1.0, 0.0, 1.0, 0.0}, 32},
    {"not snapped to the step", {0.1234567, 0.5, 0.4, 0.6}, 0, {0.1234567, 0.5, 0.4, 0.6}, 32},
    {"NaN loads as the minimum", {kNaN, kNaN, kNaN, 0.5}, 0, {0.0, 0.0, 0.0, 0.5}, 32},
    {"infinities", {kInf, -kInf, kInf, -kInf}, 0, {1.0, 0.0, 1.0, 0.0}, 32},
    {"negative start reads nothing", {0.25, 0.75, 0.0, 0.0}, -5, {0.5, 0.5, 1.0, 1.0}, -5},
    {"start past the end", {0.25, 0.75, 0.0, 0.0}, 40, {0.0, 0.5, 1.0, 1.0}, -1},
  };
  for (const Row& r : rows)
  {
    TestPlug plug;
    plug.SetValues(0.5, 0.5, 1.0, 1.0);
    plug.checkLocking = true;
    const ByteChunk chunk = Layout(r.layout);
    EXPECT_EQ(plug.UnserializeParams(&chunk, r.start), r.result) << r.what;
    EXPECT_EQ(plug.Values(), r.expected) << r.what << ": expected " << Describe(r.expected) << "got "
                                         << Describe(plug.Values());
    EXPECT_EQ(plug.Changes(), (std::vector<int>{0, 1, 2, 3})) << r.what << ": every reaction runs";
    for (const fwtest::Event& e : plug.events)
      EXPECT_TRUE(e.locked) << r.what << ": reactions run under the mutex";
  }
}

TEST(SerializedLayout, ShortChunkLimitsTheMissingValue)
{
  TestPlug plug;
  plug.GetParam(2)->InitContinuous("Offset", 5.0, 2.0, 10.0, 1.0);
  plug.GetParam(3)->SetValue(1.0);
  const ByteChunk chunk = Layout({0.25, 0.75});
  EXPECT_EQ(plug.ReadState(&chunk, 0), -1);
  EXPECT_EQ(plug.GetParam(2)->Value(), 2.0) << "0.0 limited to 2..10";
  EXPECT_EQ(plug.GetParam(3)->Value(), 1.0);

  TestPlug nullChunk;
  EXPECT_EQ(nullChunk.UnserializeParams(nullptr, 0), -1);
  EXPECT_EQ(nullChunk.GetParam(0)->Value(), 0.0);
  EXPECT_EQ(nullChunk.GetParam(1)->Value(), 0.5);
}

TEST(SerializedLayout, RoundTrip)
{
  TestPlug a;
  a.SetValues(0.123, 0.987, 0.0, 1.0);
  ByteChunk chunk;
  a.SerializeParams(&chunk);
  TestPlug b;
  EXPECT_EQ(b.UnserializeParams(&chunk, 0), 32);
  EXPECT_EQ(b.Values(), a.Values());
}

TEST(Presets, AddPresetThenFillPresets)
{
  TestPlug plug(nullptr, 4);
  plug.AddPreset("Init", 1.0, 0.25, 0, 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.5, 0.5, 1.0, 0.0})) << "current values unchanged";
  plug.FillPresets("Init", 2);
  EXPECT_STREQ(plug.PresetName(0), "Init");
  EXPECT_STREQ(plug.PresetName(1), "Init");
  EXPECT_STREQ(plug.PresetName(2), "Init");
  EXPECT_STREQ(plug.PresetName(3), "- 4 -");
  EXPECT_STREQ(plug.PresetName(4), "");
  EXPECT_STREQ(plug.PresetName(-1), "");

  plug.FillPresets(nullptr, 1);
  EXPECT_STREQ(plug.PresetName(3), "Default");

  // Every slot is taken now: further presets change nothing.
  plug.AddPreset("Late", 0.0, 0.0, 0, 0);
  plug.FillPresets("Later", 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_STREQ(plug.PresetName(i), "Init");
  EXPECT_STREQ(plug.PresetName(3), "Default");

  plug.SetValues(0.9, 0.9, 0.0, 1.0);
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_EQ(plug.Values(), (std::vector<double>{1.0, 0.25, 0.0, 1.0}));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
  ASSERT_TRUE(plug.LoadPreset(2));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.5, 0.5, 1.0, 0.0}));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 2);
}

TEST(Presets, LoadPushesPlainValuesToTheGraphics)
{
  std::vector<GraphicsCall> log;  // outlives the plug, whose graphics write to it when destroyed
  TestPlug plug(nullptr, 2);
  plug.AddPreset("A", 0.75, 0.25, 0, 1);
  plug.ConnectGraphics(new FakeGraphics(&log, &plug));
  log.clear();
  plug.events.clear();
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_EQ(plug.Changes(), (std::vector<int>{0, 1, 2, 3}));
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].value, 0.75);
  EXPECT_FALSE(log[0].normalized);
  EXPECT_EQ(log[3].value, 1.0);
}

TEST(Presets, NaNInAPresetLoadsAsTheMinimum)
{
  TestPlug plug(nullptr, 1);
  plug.GetParam(1)->InitContinuous("Attack", 0.5, 0.1, 1.0, 0.001);
  plug.AddPreset("Broken", kNaN, kNaN, 1, 0);
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_EQ(plug.GetParam(0)->Value(), 0.0);
  EXPECT_EQ(plug.GetParam(1)->Value(), 0.1);
}

TEST(Presets, SelectingEmptySlotsCapturesUserPresets)
{
  TestPlug plug(nullptr, 3);
  plug.SetValues(0.3, 0.4, 0.0, 1.0);
  ASSERT_TRUE(plug.LoadPreset(1));
  EXPECT_STREQ(plug.PresetName(1), "user preset 1");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.3, 0.4, 0.0, 1.0})) << "capturing does not change values";

  plug.SetValues(0.6, 0.7, 1.0, 0.0);
  ASSERT_TRUE(plug.LoadPreset(2));
  EXPECT_STREQ(plug.PresetName(2), "user preset 2");
  char next[32];
  plug.NextUserPresetName(next, (int) sizeof(next));
  EXPECT_STREQ(next, "user preset 3");
  char small[6];
  plug.NextUserPresetName(small, (int) sizeof(small));
  EXPECT_STREQ(small, "user ");

  // The captured slots are initialised: loading one restores what was captured.
  ASSERT_TRUE(plug.LoadPreset(1));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.3, 0.4, 0.0, 1.0}));
  EXPECT_STREQ(plug.PresetName(1), "user preset 1");

  EXPECT_FALSE(plug.LoadPreset(3));
  EXPECT_FALSE(plug.LoadPreset(-1));
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
}

TEST(Presets, StoreCurrentPreset)
{
  TestPlug plug(nullptr, 2);
  plug.AddPreset("Init", 1.0, 0.5, 1, 1);
  ASSERT_TRUE(plug.LoadPreset(0));

  plug.SetValues(0.2, 0.3, 0.0, 0.0);
  plug.StoreCurrentPreset("");
  EXPECT_STREQ(plug.PresetName(0), "Init") << "an empty name keeps the old one";
  plug.StoreCurrentPreset();
  EXPECT_STREQ(plug.PresetName(0), "Init");
  plug.SetValues(0.9, 0.9, 1.0, 1.0);
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.2, 0.3, 0.0, 0.0}));

  plug.StoreCurrentPreset("Crunch");
  EXPECT_STREQ(plug.PresetName(0), "Crunch");

  const std::string longName(400, 'L');
  plug.StoreCurrentPreset(longName.c_str());
  EXPECT_EQ(std::string(plug.PresetName(0)), longName.substr(0, IPreset::kNameSize - 1));
  EXPECT_STREQ(plug.PresetName(1), "- 2 -") << "the neighbouring slot is untouched";
}

TEST(Presets, StoreCurrentPresetDoesNotInitialiseTheSlot)
{
  TestPlug plug(nullptr, 2);
  plug.SetValues(0.2, 0.2, 0.0, 0.0);
  plug.StoreCurrentPreset("Named");
  EXPECT_STREQ(plug.PresetName(0), "Named");
  // Still not initialised: selecting it captures the current values under a user name.
  plug.SetValues(0.8, 0.8, 1.0, 1.0);
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_STREQ(plug.PresetName(0), "user preset 1");
  EXPECT_EQ(plug.Values(), (std::vector<double>{0.8, 0.8, 1.0, 1.0}));
}

TEST(Presets, EnsureOnePreset)
{
  TestPlug none(nullptr, 0);
  EXPECT_EQ(none.NPresets(), 0);
  none.SetValues(0.1, 0.2, 1.0, 0.0);
  none.EnsureOnePreset();
  ASSERT_EQ(none.NPresets(), 1);
  EXPECT_STREQ(none.PresetName(0), "Default");
  none.SetValues(0.9, 0.9, 0.0, 1.0);
  ASSERT_TRUE(none.LoadPreset(0));
  EXPECT_STREQ(none.PresetName(0), "Default") << "initialised, so it loads rather than captures";
  EXPECT_EQ(none.Values(), (std::vector<double>{0.1, 0.2, 1.0, 0.0}));
  none.EnsureOnePreset();
  EXPECT_EQ(none.NPresets(), 1);

  TestPlug some(nullptr, 3);
  some.EnsureOnePreset();
  EXPECT_EQ(some.NPresets(), 3);
  EXPECT_STREQ(some.PresetName(0), "- 1 -");
}
