// The plug-in base: construction, channel configurations, the channel glue, parameters from the
// editor, the link to the graphics object, MIDI pass-through.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "TestPlug.h"

using fwtest::Event;
using fwtest::FakeGraphics;
using fwtest::GraphicsCall;
using fwtest::TestPlug;

TEST(PlugBaseConstruction, Identity)
{
  TestPlug plug;
  EXPECT_STREQ(plug.GetEffectName(), "Torvo-Mell");
  EXPECT_STREQ(plug.GetProductName(), "Torvo-Mell Fuzz");
  EXPECT_STREQ(plug.GetMfrName(), "Torvo");
  EXPECT_EQ(plug.GetUniqueID(), 0x6b763965);
  EXPECT_EQ(plug.GetMfrID(), 0x546f7276);
  EXPECT_EQ(plug.GetHost(), -1);
  EXPECT_EQ(plug.GetHostVersion(), 0);
  EXPECT_EQ(plug.GetSampleRate(), 44100.0);
  EXPECT_EQ(plug.GetBlockSize(), 0);
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 0);
  EXPECT_EQ(plug.GetGraphics(), nullptr);
  EXPECT_FALSE(plug.DoesStateChunks());
  EXPECT_FALSE(plug.IsInstrument());
  EXPECT_EQ(plug.NParams(), 4);
  EXPECT_EQ(plug.GetParam(-1), nullptr);
  EXPECT_EQ(plug.GetParam(4), nullptr);
  ASSERT_NE(plug.GetParam(3), nullptr);
  EXPECT_STREQ(plug.GetParam(3)->Name(), "Cabinet");
  ASSERT_EQ(plug.NPresets(), 4);
  EXPECT_STREQ(plug.PresetName(0), "- 1 -");
  EXPECT_STREQ(plug.PresetName(3), "- 4 -");
  for (int i = 0; i < 2; ++i)
  {
    EXPECT_FALSE(plug.IsInChannelConnected(i));
    EXPECT_FALSE(plug.IsOutChannelConnected(i));
  }
  plug.UpdateSampleRate(48000.0);
  EXPECT_EQ(plug.GetSampleRate(), 48000.0);
  plug.UpdateLatency(64);
  EXPECT_EQ(plug.GetLatency(), 64);
}

TEST(PlugBaseConstruction, LongNamesAreCut)
{
  const std::string longName(300, 'w');
  IPlugBase plug(0, nullptr, 0, longName.c_str(), longName.c_str(), longName.c_str(), 0, 0, 0, 0, false, false,
                 false);
  EXPECT_EQ(std::strlen(plug.GetEffectName()), (size_t) IPlugBase::kNameSize - 1);
  EXPECT_EQ(std::strlen(plug.GetProductName()), (size_t) IPlugBase::kNameSize - 1);
  EXPECT_EQ(std::strlen(plug.GetMfrName()), (size_t) IPlugBase::kNameSize - 1);
}

TEST(PlugBaseConstruction, LegalIO)
{
  struct Row
  {
    const char* io;
    int nIn;
    int nOut;
    bool legal;
  };
  const Row rows[] = {
    {"1-1 2-2", 1, 1, true},   {"1-1 2-2", 2, 2, true},   {"1-1 2-2", 1, -1, true},  {"1-1 2-2", -1, -1, true},
    {"1-1 2-2", -1, 2, true},  {"1-1 2-2", 2, 1, false},  {"1-1 2-2", 3, -1, false}, {"1-1 2-2", -1, 3, false},
    {"1-1 2-2", 0, 0, false},  {nullptr, -1, -1, false},  {nullptr, 0, 0, false},    {"", -1, -1, false},
    {"1-2", 1, 2, true},       {"1-2", 1, 1, false},      {"1-1  2-2", 2, 2, true},  {" 4-4", 4, 4, true},
  };
  for (const Row& r : rows)
  {
    TestPlug plug(r.io);
    EXPECT_EQ(plug.LegalIO(r.nIn, r.nOut), r.legal)
      << "\"" << (r.io ? r.io : "(none)") << "\" LegalIO(" << r.nIn << ", " << r.nOut << ")";
  }
}

TEST(PlugBaseConstruction, ChannelCountsAreTheLargestDeclared)
{
  struct Row
  {
    const char* io;
    int nIn;
    int nOut;
  };
  const Row rows[] = {{"1-1 2-2", 2, 2}, {nullptr, 0, 0}, {"", 0, 0}, {"2-1 1-4", 2, 4}, {"4-4", 4, 4}, {"0-2", 0, 2}};
  for (const Row& r : rows)
  {
    TestPlug plug(r.io);
    EXPECT_EQ(plug.NInChannels(), r.nIn) << (r.io ? r.io : "(none)");
    EXPECT_EQ(plug.NOutChannels(), r.nOut) << (r.io ? r.io : "(none)");
  }
}

#if !defined(NDEBUG) && GTEST_HAS_DEATH_TEST
TEST(PlugBaseConstructionDeathTest, MalformedConfigurationAsserts)
{
  const char* expression = "sscanf\\(channelIOStr, \"%d-%d\", &nIn, &nOut\\) == 2";
  EXPECT_DEATH({ TestPlug plug("1-1 "); }, expression);  // the empty entry after a trailing space
  EXPECT_DEATH({ TestPlug plug("stereo"); }, expression);
}
#endif

TEST(PlugBaseConstruction, EffectVersion)
{
  struct Row
  {
    int packed;
    int decimal;
  };
  const Row rows[] = {{0x20300, 20300}, {0x10203, 10203}, {0, 0}, {0x0A3215, 105021}};
  for (const Row& r : rows)
  {
    IPlugBase plug(0, nullptr, 0, "", "", "", r.packed, 0, 0, 0, false, false, false);
    EXPECT_EQ(plug.EffectVersion(false), r.packed) << std::hex << r.packed;
    EXPECT_EQ(plug.EffectVersion(true), r.decimal) << std::hex << r.packed;
  }
  EXPECT_EQ(IPlugBase(0, nullptr, 0, "", "", "", 0x20300, 0, 0, 0, false, false, false).EffectVersion(false), 131840);
}

// ---- Channel glue ----

namespace
{
// A plug with every channel connected and the given block size.
std::unique_ptr<TestPlug> ConnectedPlug(int blockSize, const char* io = "1-1 2-2")
{
  auto plug = std::make_unique<TestPlug>(io);
  plug->SetInputConnections(0, plug->NInChannels(), true);
  plug->SetOutputConnections(0, plug->NOutChannels(), true);
  plug->UpdateBlockSize(blockSize);
  return plug;
}
}  // namespace

TEST(PlugBaseChannels, ReplacingPassesInputsThrough)
{
  auto plug = ConnectedPlug(4);
  double in0[4] = {1, 2, 3, 4}, in1[4] = {-1, -2, -3, -4};
  double out0[4] = {9, 9, 9, 9}, out1[4] = {9, 9, 9, 9};
  double* ins[] = {in0, in1};
  double* outs[] = {out0, out1};
  plug->BindInputs(0, 2, ins);
  plug->BindOutputs(0, 2, outs);
  plug->RunReplacing(4);
  EXPECT_EQ(plug->lastFrames, 4);
  for (int s = 0; s < 4; ++s)
  {
    EXPECT_EQ(out0[s], in0[s]) << "frame " << s;
    EXPECT_EQ(out1[s], in1[s]) << "frame " << s;
  }
}

TEST(PlugBaseChannels, InPlaceReplacing)
{
  auto plug = ConnectedPlug(3);
  double io0[3] = {0.5, 0.25, 0.125}, io1[3] = {1, 2, 3};
  double* arrays[] = {io0, io1};
  plug->BindInputs(0, 2, arrays);
  plug->BindOutputs(0, 2, arrays);
  plug->RunReplacing(3);
  EXPECT_EQ(io0[2], 0.125);
  EXPECT_EQ(io1[1], 2.0);
}

TEST(PlugBaseChannels, BaseClearsOutputsWithoutInputs)
{
  auto plug = ConnectedPlug(2, "1-2");
  double in0[2] = {0.5, 0.75};
  double out0[2] = {9, 9}, out1[2] = {9, 9};
  double* ins[] = {in0};
  double* outs[] = {out0, out1};
  plug->BindInputs(0, 1, ins);
  plug->BindOutputs(0, 2, outs);
  plug->RunReplacing(2);
  EXPECT_EQ(out0[0], 0.5);
  EXPECT_EQ(out0[1], 0.75);
  EXPECT_EQ(out1[0], 0.0);
  EXPECT_EQ(out1[1], 0.0);
}

TEST(PlugBaseChannels, FloatReplacingAndAccumulating)
{
  struct Row
  {
    bool accumulate;
    float input;
    float dest;
    float expected;
  };
  const Row rows[] = {
    {false, 0.5f, 0.25f, 0.5f},
    {true, 0.5f, 0.25f, 0.75f},
    {true, -0.125f, 1.0f, 0.875f},
    {false, 1e-30f, 7.0f, 1e-30f},
  };
  for (const Row& r : rows)
  {
    auto plug = ConnectedPlug(4);
    float in0[4], in1[4], out0[4], out1[4];
    for (int s = 0; s < 4; ++s)
    {
      in0[s] = r.input;
      in1[s] = r.input * 2.0f;
      out0[s] = out1[s] = r.dest;
    }
    float* ins[] = {in0, in1};
    float* outs[] = {out0, out1};
    plug->BindInputsFloat(0, 2, ins, 4);
    plug->BindOutputsFloat(0, 2, outs);
    if (r.accumulate)
      plug->RunAccumulatingFloat(4);
    else
      plug->RunReplacingFloat(4);
    const float expected1 = r.accumulate ? r.dest + r.input * 2.0f : r.input * 2.0f;
    for (int s = 0; s < 4; ++s)
    {
      EXPECT_EQ(out0[s], r.expected) << "accumulate " << r.accumulate << " input " << r.input << " dest " << r.dest;
      EXPECT_EQ(out1[s], expected1) << "accumulate " << r.accumulate << " input " << r.input << " dest " << r.dest;
    }
  }
}

TEST(PlugBaseChannels, HostArraysGoToTheConnectedChannelsInOrder)
{
  auto plug = ConnectedPlug(3);
  plug->SetInputConnections(0, 1, false);
  EXPECT_FALSE(plug->IsInChannelConnected(0));
  EXPECT_TRUE(plug->IsInChannelConnected(1));

  double host0[3] = {0.1, 0.2, 0.3};
  double out0[3] = {9, 9, 9}, out1[3] = {9, 9, 9};
  double* ins[] = {host0};
  double* outs[] = {out0, out1};
  plug->BindInputs(0, 2, ins);  // the first host array goes to input 1
  plug->BindOutputs(0, 2, outs);
  plug->RunReplacing(3);
  for (int s = 0; s < 3; ++s)
  {
    EXPECT_EQ(out0[s], 0.0) << "input 0 reads its zeroed scratch, frame " << s;
    EXPECT_EQ(out1[s], host0[s]) << "frame " << s;
  }
}

TEST(PlugBaseChannels, DisconnectedInputKeepsItsLastConvertedBlock)
{
  auto plug = ConnectedPlug(2);
  float in0[2] = {0.5f, -0.5f}, in1[2] = {0.25f, 0.25f};
  float out0[2] = {}, out1[2] = {};
  float* ins[] = {in0, in1};
  float* outs[] = {out0, out1};
  plug->BindInputsFloat(0, 2, ins, 2);
  plug->BindOutputsFloat(0, 2, outs);
  plug->RunReplacingFloat(2);

  plug->SetInputConnections(0, 1, false);
  float next1[2] = {1.0f, 1.0f};
  float* nextIns[] = {next1};
  plug->BindInputsFloat(0, 2, nextIns, 2);
  plug->BindOutputsFloat(0, 2, outs);
  plug->RunReplacingFloat(2);
  EXPECT_EQ(out0[0], 0.5f);
  EXPECT_EQ(out0[1], -0.5f);
  EXPECT_EQ(out1[0], 1.0f);

  // The same block size keeps the scratch contents; a new one zeroes them.
  plug->UpdateBlockSize(2);
  plug->BindInputsFloat(0, 2, nextIns, 2);
  plug->BindOutputsFloat(0, 2, outs);
  plug->RunReplacingFloat(2);
  EXPECT_EQ(out0[0], 0.5f);
  EXPECT_EQ(out0[1], -0.5f);

  plug->UpdateBlockSize(3);
  EXPECT_EQ(plug->GetBlockSize(), 3);
  float long1[3] = {1.0f, 1.0f, 1.0f};
  float longOut0[3] = {9, 9, 9}, longOut1[3] = {9, 9, 9};
  float* longIns[] = {long1};
  float* longOuts[] = {longOut0, longOut1};
  plug->BindInputsFloat(0, 2, longIns, 3);
  plug->BindOutputsFloat(0, 2, longOuts);
  plug->RunReplacingFloat(3);
  for (int s = 0; s < 3; ++s)
    EXPECT_EQ(longOut0[s], 0.0f) << "frame " << s;
}

TEST(PlugBaseChannels, DisconnectedOutputWritesItsScratch)
{
  auto plug = ConnectedPlug(2);
  plug->SetOutputConnections(1, 1, false);
  float in0[2] = {0.5f, 0.5f}, in1[2] = {0.75f, 0.75f};
  float out0[2] = {9, 9}, spare[2] = {9, 9};
  float* ins[] = {in0, in1};
  float* outs[] = {out0, spare};
  plug->BindInputsFloat(0, 2, ins, 2);
  plug->BindOutputsFloat(0, 2, outs);
  plug->RunReplacingFloat(2);
  EXPECT_EQ(out0[0], 0.5f);
  EXPECT_EQ(spare[0], 9.0f) << "the second host array is not handed to the disconnected output";
}

TEST(PlugBaseChannels, FramesNeverRunPastTheScratch)
{
  // Longer blocks are sliced by the adapter; the glue itself still stops at the scratch size.
  auto plug = ConnectedPlug(4);
  std::vector<float> in0(16, 0.5f), in1(16, 0.5f), out0(16, 9.0f), out1(16, 9.0f);
  float* ins[] = {in0.data(), in1.data()};
  float* outs[] = {out0.data(), out1.data()};
  plug->BindInputsFloat(0, 2, ins, 16);
  plug->BindOutputsFloat(0, 2, outs);
  plug->RunAccumulatingFloat(16);
  EXPECT_EQ(plug->lastFrames, 4);
  for (int s = 0; s < 16; ++s)
    EXPECT_EQ(out0[s], s < 4 ? 9.5f : 9.0f) << "frame " << s;

  plug->RunReplacingFloat(-3);
  EXPECT_EQ(plug->lastFrames, 0);

  // Before any block size is set, nothing runs through the empty scratch.
  TestPlug fresh;
  fresh.SetInputConnections(0, 2, true);
  fresh.SetOutputConnections(0, 2, true);
  fresh.BindInputsFloat(0, 2, ins, 16);
  fresh.BindOutputsFloat(0, 2, outs);
  fresh.RunReplacingFloat(16);
  EXPECT_EQ(fresh.lastFrames, 0);
  EXPECT_EQ(out0[0], 9.5f);
}

// The one-pass float block does what the separate steps do: which host array goes to which
// channel, a disconnected input reading its last converted block, a disconnected output writing
// its scratch, replacing and accumulating, and a block longer than the scratch.
TEST(PlugBaseChannels, OnePassFloatBlockMatchesTheSeparateSteps)
{
  struct Row
  {
    bool accumulate;
    int offInput;   // disconnected before the second block, -1 for none
    int offOutput;  // the same for an output
    int frames;
  };
  const Row rows[] = {
    {false, -1, -1, 4}, {true, -1, -1, 4}, {false, 0, -1, 3}, {true, -1, 1, 4},
    {false, 1, 0, 4},   {true, -1, -1, 9}, {false, -1, -1, 0}, {false, -1, -1, -2},
  };
  for (const Row& r : rows)
  {
    std::vector<float> outsBy[2];
    int framesBy[2] = {};
    for (int onePass = 0; onePass < 2; ++onePass)
    {
      auto plug = ConnectedPlug(4);
      std::vector<float> out(2 * 9, 0.25f);
      for (int block = 0; block < 2; ++block)
      {
        if (block == 1 && r.offInput >= 0)
          plug->SetInputConnections(r.offInput, 1, false);
        if (block == 1 && r.offOutput >= 0)
          plug->SetOutputConnections(r.offOutput, 1, false);
        std::vector<float> in(2 * 9);
        for (size_t i = 0; i < in.size(); ++i)
          in[i] = 0.125f * (float) (i + 1) * (block ? -1.0f : 1.0f);
        float* ins[] = {in.data(), in.data() + 9};
        float* outs[] = {out.data(), out.data() + 9};
        if (onePass)
          plug->RunFloatBlock(ins, outs, r.frames, r.accumulate);
        else
        {
          plug->BindInputsFloat(0, 2, ins, r.frames);
          plug->BindOutputsFloat(0, 2, outs);
          if (r.accumulate)
            plug->RunAccumulatingFloat(r.frames);
          else
            plug->RunReplacingFloat(r.frames);
        }
      }
      outsBy[onePass] = out;
      framesBy[onePass] = plug->lastFrames;
    }
    const std::string row = "accumulate " + std::to_string(r.accumulate) + " input off " +
                            std::to_string(r.offInput) + " output off " + std::to_string(r.offOutput) +
                            " frames " + std::to_string(r.frames);
    EXPECT_EQ(framesBy[1], framesBy[0]) << row;
    EXPECT_EQ(outsBy[1], outsBy[0]) << row;
  }
}

TEST(PlugBaseChannels, DoubleHostArraysAreNotLimitedByTheScratch)
{
  auto plug = ConnectedPlug(0);
  double in0[5] = {1, 2, 3, 4, 5}, in1[5] = {};
  double out0[5] = {}, out1[5] = {};
  double* ins[] = {in0, in1};
  double* outs[] = {out0, out1};
  plug->BindInputs(0, 2, ins);
  plug->BindOutputs(0, 2, outs);
  plug->RunReplacing(5);
  EXPECT_EQ(plug->lastFrames, 5);
  EXPECT_EQ(out0[4], 5.0);
}

TEST(PlugBaseChannels, RangesOutsideTheChannelsAreIgnored)
{
  auto plug = ConnectedPlug(2);
  plug->SetInputConnections(-5, 6, false);  // only input 0 exists in the range
  EXPECT_FALSE(plug->IsInChannelConnected(0));
  EXPECT_TRUE(plug->IsInChannelConnected(1));
  plug->SetOutputConnections(1, 0x7fffffff, false);
  EXPECT_TRUE(plug->IsOutChannelConnected(0));
  EXPECT_FALSE(plug->IsOutChannelConnected(1));
  EXPECT_FALSE(plug->IsOutChannelConnected(2));
  EXPECT_FALSE(plug->IsInChannelConnected(-1));
}

// ---- Parameters from the editor, graphics ----

TEST(PlugBaseParams, SetParameterFromGUIReportsTheReceivedValue)
{
  struct Row
  {
    int idx;
    double normalized;
    double plain;
  };
  const Row rows[] = {{2, 0.7, 1.0}, {2, 0.3, 0.0}, {0, 0.37, 0.37}, {3, 0.5, 1.0}};
  for (const Row& r : rows)
  {
    TestPlug plug;
    plug.checkLocking = true;
    plug.SetParameterFromGUI(r.idx, r.normalized);
    EXPECT_EQ(plug.GetParam(r.idx)->Value(), r.plain) << "param " << r.idx << " normalized " << r.normalized;
    ASSERT_EQ(plug.events.size(), 2u);
    EXPECT_EQ(plug.events[0].what, "host");
    EXPECT_EQ(plug.events[0].idx, r.idx);
    EXPECT_EQ(plug.events[0].value, r.normalized) << "the host gets the received value, not the snapped one";
    EXPECT_TRUE(plug.events[0].locked);
    EXPECT_EQ(plug.events[1].what, "change");
    EXPECT_EQ(plug.events[1].idx, r.idx);
    EXPECT_TRUE(plug.events[1].locked);
  }
  TestPlug plug;
  plug.SetParameterFromGUI(4, 0.5);
  plug.SetParameterFromGUI(-1, 0.5);
  EXPECT_TRUE(plug.events.empty());
}

TEST(PlugBaseParams, NotifyAllParamsChangedInIndexOrder)
{
  TestPlug plug;
  plug.NotifyAllParamsChanged();
  EXPECT_EQ(plug.Changes(), (std::vector<int>{0, 1, 2, 3}));
}

TEST(PlugBaseGraphics, ConnectPushesNormalisedValuesThenMakesTheSurface)
{
  std::vector<GraphicsCall> log;
  {
    TestPlug plug;
    plug.GetParam(1)->SetShape(2.0);
    plug.SetValues(0.25, 0.25, 0.0, 1.0);
    plug.ConnectGraphics(nullptr);
    EXPECT_EQ(plug.GetGraphics(), nullptr);

    auto* graphics = new FakeGraphics(&log, &plug);
    plug.ConnectGraphics(graphics);
    EXPECT_EQ(plug.GetGraphics(), graphics);
    ASSERT_EQ(log.size(), 5u);
    const double expected[] = {0.25, 0.5, 0.0, 1.0};
    for (int i = 0; i < 4; ++i)
    {
      EXPECT_EQ(log[i].what, "param");
      EXPECT_EQ(log[i].idx, i);
      EXPECT_DOUBLE_EQ(log[i].value, expected[i]) << "param " << i;
      EXPECT_TRUE(log[i].normalized);
      EXPECT_TRUE(log[i].locked) << "ConnectGraphics holds the plug-in mutex";
    }
    EXPECT_EQ(log[4].what, "surface");
    EXPECT_TRUE(log[4].locked);

    log.clear();
    plug.PushParamsToGraphics();
    ASSERT_EQ(log.size(), 4u);
    const double plain[] = {0.25, 0.25, 0.0, 1.0};
    for (int i = 0; i < 4; ++i)
    {
      EXPECT_EQ(log[i].idx, i);
      EXPECT_EQ(log[i].value, plain[i]) << "param " << i;
      EXPECT_FALSE(log[i].normalized);
    }
    log.clear();
  }
  // The base destroyed the graphics it owned, before its parameters and its mutex.
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].what, "destroyed");
  EXPECT_EQ(log[0].idx, 4) << "parameters still present";
  EXPECT_EQ(log[0].value, 1.0);
  EXPECT_TRUE(log[0].normalized) << "mutex still usable";
}

TEST(PlugBaseGraphics, PushWithoutGraphicsDoesNothing)
{
  TestPlug plug;
  plug.PushParamsToGraphics();
  EXPECT_EQ(plug.GetGraphics(), nullptr);
}

// ---- Other base defaults ----

TEST(PlugBaseDefaults, MidiAndHostQueries)
{
  TestPlug plug;
  MidiMessage msg;
  msg.status = 0x90;
  msg.data1 = 60;
  plug.OnMidiMessage(msg);
  ASSERT_EQ(plug.events.size(), 1u);
  EXPECT_EQ(plug.events[0].what, "midi");
  EXPECT_EQ(plug.events[0].idx, 0x90);

  std::vector<MidiMessage> msgs(3);
  msgs[0].status = 0x80;
  msgs[1].status = 0x90;
  msgs[2].status = 0xB0;
  plug.events.clear();
  EXPECT_TRUE(plug.SendMidiMessages(msgs));
  plug.failStatus = 0x90;
  EXPECT_FALSE(plug.SendMidiMessages(msgs));
  EXPECT_EQ(plug.events.size(), 6u) << "every message is offered even after a failure";
  EXPECT_TRUE(plug.SendMidiMessages({}));

  IPlugBase base(0, nullptr, 0, "", "", "", 0, 0, 0, 0, false, false, false);
  EXPECT_FALSE(base.SendMidiMessage(msg));
  EXPECT_FALSE(base.SendMidiMessages(msgs));
  char name[8] = "garbage";
  EXPECT_FALSE(base.GetNoteName(60, name, (int) sizeof(name)));
  EXPECT_STREQ(name, "");
  int num = 0, den = 0;
  base.HostTimeSignature(&num, &den);
  EXPECT_EQ(num, 4);
  EXPECT_EQ(den, 4);
  EXPECT_EQ(base.IdentifyHost(), -1);
  base.Reset();
  base.OnActivation(true);
  base.OnParamChange(0);
}

TEST(PlugBaseDefaults, ReactionsTakeTheMutex)
{
  IPlugBase base(0, nullptr, 0, "", "", "", 0, 0, 0, 0, false, false, false);
  std::atomic<bool> resetDone{false};
  base.Mutex().lock();
  std::thread t([&] {
    base.Reset();
    base.OnParamChange(1);
    base.OnActivation(false);
    resetDone = true;
  });
  std::this_thread::yield();
  EXPECT_FALSE(resetDone.load()) << "the reactions wait for the mutex";
  base.Mutex().unlock();
  t.join();
  EXPECT_TRUE(resetDone.load());
}
