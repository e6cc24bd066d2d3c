// Host identification and the host-specific channel rule.

#include <gtest/gtest.h>

#include <string>

#include "TestPlug.h"

using fwtest::TestPlug;

TEST(HostIdentity, IdFromName)
{
  struct Row
  {
    const char* name;
    int id;
  };
  const Row rows[] = {
    {"REAPER", 1},
    {"Reaper x64", 1},
    {"Cubase 5.1", 3},
    {"Nuendo", 4},
    {"nuendo and cubase", 3},  // table order, not position in the name
    {"CUBASE NUENDO", 3},
    {"SONAR Cakewalk", 5},
    {"Samplitude Pro", 8},
    {"Fruity Wrapper", 7},
    {"Ableton Live 8", 9},
    {"Deliverance Studio", 9},  // "live" inside a longer word
    {"Melodyne", 12},
    {"VSTManLib", 13},
    {"AULab", 14},
    {"Forte", 15},
    {"Chainer", 16},
    {"Adobe Audition", 17},
    {"Orion Platinum", 18},
    {"SAWStudio", 20},
    {"Logic", 21},
    {"Digital Performer", 22},
    {"Some Other Host", 0},
    {"", 0},
    {nullptr, 0},
    {"Cub ase", 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IPlugBase::HostIdFromName(r.name), r.id) << (r.name ? r.name : "(null)");

  const std::string longName = std::string(1000, 'x') + "Orion";
  EXPECT_EQ(IPlugBase::HostIdFromName(longName.c_str()), 18);
}

TEST(HostIdentity, SetHost)
{
  TestPlug plug;
  EXPECT_EQ(plug.GetHost(), -1);
  plug.SetHost("REAPER", 0x40000);
  EXPECT_EQ(plug.GetHost(), 1);
  EXPECT_EQ(plug.GetHostVersion(), 0x40000);
  EXPECT_EQ(plug.IdentifyHost(), 1);
  plug.SetHost("", 0);
  EXPECT_EQ(plug.GetHost(), 0);
  EXPECT_EQ(plug.GetHostVersion(), 0);
}

TEST(HostIdentity, ChannelLimitsOnFourChannels)
{
  TestPlug plug("4-4");
  ASSERT_EQ(plug.NInChannels(), 4);
  ASSERT_EQ(plug.NOutChannels(), 4);
  plug.SetInputConnections(0, 4, true);
  plug.SetOutputConnections(0, 4, false);
  plug.ApplyHostChannelLimits();
  const bool inExpected[] = {true, true, false, false};
  const bool outExpected[] = {false, false, true, true};
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(plug.IsInChannelConnected(i), inExpected[i]) << "input " << i;
    EXPECT_EQ(plug.IsOutChannelConnected(i), outExpected[i]) << "output " << i;
  }

  // The disconnected inputs read their zeroed scratch; the host's two arrays go to inputs 0 and 1.
  plug.SetOutputConnections(0, 4, true);
  plug.UpdateBlockSize(2);
  double in0[2] = {1, 1}, in1[2] = {2, 2};
  double out[4][2] = {{9, 9}, {9, 9}, {9, 9}, {9, 9}};
  double* ins[] = {in0, in1};
  double* outs[] = {out[0], out[1], out[2], out[3]};
  plug.BindInputs(0, 4, ins);
  plug.BindOutputs(0, 4, outs);
  plug.RunReplacing(2);
  EXPECT_EQ(out[0][1], 1.0);
  EXPECT_EQ(out[1][1], 2.0);
  EXPECT_EQ(out[2][0], 0.0);
  EXPECT_EQ(out[3][1], 0.0);
}

TEST(HostIdentity, ChannelLimitsLeaveTwoChannelsAlone)
{
  TestPlug plug("1-1 2-2");
  plug.SetInputConnections(0, 2, true);
  plug.SetOutputConnections(0, 1, true);
  plug.ApplyHostChannelLimits();
  EXPECT_TRUE(plug.IsInChannelConnected(0));
  EXPECT_TRUE(plug.IsInChannelConnected(1));
  EXPECT_TRUE(plug.IsOutChannelConnected(0));
  EXPECT_FALSE(plug.IsOutChannelConnected(1));
}
