// The effect record, the entry point's creation rules, the calls the adapter makes on the host and
// host identification.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestHost.h"
#include "TestPlug.h"

namespace
{

TestPlugConfig Config(const char* io, int nPresets, bool midi, bool chunks, bool instrument)
{
  TestPlugConfig c;
  c.io = io;
  c.nPresets = nPresets;
  c.midi = midi;
  c.chunks = chunks;
  c.instrument = instrument;
  return c;
}

}  // namespace

TEST(EffectRecord, FieldsFollowTheDeclaration)
{
  struct Case
  {
    const char* what;
    TestPlugConfig config;
    int numPrograms, numInputs, numOutputs, flags;
  };
  const Case cases[] = {
    {"mono and stereo effect", Config("1-1 2-2", 16, false, false, false), 16, 2, 2, 0x1018},
    {"stereo only: no mono flag", Config("2-2", 16, false, false, false), 16, 2, 2, 0x1010},
    {"MIDI does not change the flags", Config("1-1 2-2", 16, true, false, false), 16, 2, 2, 0x1018},
    {"state chunks", Config("1-1 2-2", 4, false, true, false), 4, 2, 2, 0x1038},
    {"instrument", Config("1-2", 1, false, false, true), 1, 1, 2, 0x1118},
    {"four channels", Config("4-4", 2, false, false, false), 2, 4, 4, 0x1010},
    {"mono to any", Config("1-1 1-2 2-2", 3, false, false, false), 3, 2, 2, 0x1018},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlugHandle p(new TestPlug(TestHost::Callback(), c.config));
    const AEffect* e = p.effect;
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, c.numPrograms);
    EXPECT_EQ(e->numParams, 4);
    EXPECT_EQ(e->numInputs, c.numInputs);
    EXPECT_EQ(e->numOutputs, c.numOutputs);
    EXPECT_EQ(e->flags, c.flags);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, static_cast<void*>(p.plug));
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, 0x6B763965);  // 'kv9e'
    EXPECT_EQ(e->version, 20300);
    EXPECT_EQ(e->dispatcher, &IPlugVST::VSTDispatcher);
    EXPECT_EQ(e->process, &IPlugVST::VSTProcess);
    EXPECT_EQ(e->processReplacing, &IPlugVST::VSTProcessReplacing);
    EXPECT_EQ(e->processDoubleReplacing, &IPlugVST::VSTProcessDoubleReplacing);
    EXPECT_EQ(e->setParameter, &IPlugVST::VSTSetParameter);
    EXPECT_EQ(e->getParameter, &IPlugVST::VSTGetParameter);
    for (char b : e->future) EXPECT_EQ(b, 0);
    EXPECT_EQ(p->GetBlockSize(), 1024);
    for (int i = 0; i < p->NInChannels(); ++i) EXPECT_TRUE(p->IsInChannelConnected(i)) << i;
    for (int i = 0; i < p->NOutChannels(); ++i) EXPECT_TRUE(p->IsOutChannelConnected(i)) << i;
    EXPECT_EQ(host.calls.size(), 0u) << "construction asks the host nothing";
  }
}

TEST(EffectRecord, VersionAndLatency)
{
  TestHost host;
  struct Case { int packed; int decimal; };
  for (Case c : {Case{0x20300, 20300}, Case{0x10000, 10000}, Case{0x0A0B0C, 101112}, Case{0, 0}}) {
    TestPlugConfig config;
    config.version = c.packed;
    config.latency = 64;
    PlugHandle p(new TestPlug(TestHost::Callback(), config));
    EXPECT_EQ(p.effect->version, c.decimal) << std::hex << c.packed;
    EXPECT_EQ(p.effect->initialDelay, 64);
    p->UpdateLatency(128);
    EXPECT_EQ(p.effect->initialDelay, 128);
    EXPECT_EQ(p->GetLatency(), 128);
    EXPECT_EQ(host.calls.size(), 0u) << "a latency change is not announced";
  }
}

namespace
{
TestPlugConfig gMakeConfig;
IPlugVST* MakeTestPlug(audioMasterCallback host)
{
  return new TestPlug(host, gMakeConfig);
}
IPlugVST* MakeNothing(audioMasterCallback)
{
  return nullptr;
}
}  // namespace

TEST(EntryPoint, CreationRules)
{
  TestHost host;
  {
    gMakeConfig = TestPlugConfig();
    gMakeConfig.nPresets = 0;
    AEffect* e = VSTCreateEffect(MakeTestPlug, TestHost::Callback());
    ASSERT_NE(e, nullptr);
    TestPlug* plug = static_cast<TestPlug*>(e->object);
    EXPECT_EQ(e->numPrograms, 1) << "a plug-in without presets still shows one program";
    ASSERT_EQ(plug->NPresets(), 1);
    EXPECT_STREQ(plug->PresetName(0), "Default");
    char name[64] = {};
    EXPECT_EQ(Dispatch(e, effGetProgramNameIndexed, 0, 0, name), 1);
    EXPECT_STREQ(name, "Default");
    Dispatch(e, effClose);
  }
  {
    gMakeConfig = TestPlugConfig();
    AEffect* a = VSTCreateEffect(MakeTestPlug, TestHost::Callback());
    AEffect* b = VSTCreateEffect(MakeTestPlug, TestHost::Callback());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(a->object, b->object);
    EXPECT_EQ(a->numPrograms, 16);
    a->setParameter(a, 0, 0.125f);
    EXPECT_EQ(a->getParameter(a, 0), 0.125f);
    EXPECT_EQ(b->getParameter(b, 0), 0.5f) << "instances share no state";
    Dispatch(a, effClose);
    Dispatch(b, effClose);
  }
  EXPECT_EQ(VSTCreateEffect(MakeNothing, TestHost::Callback()), nullptr);
  EXPECT_EQ(VSTCreateEffect(nullptr, TestHost::Callback()), nullptr);
}

// A host that passes no callback gets a working plug-in; every call on the host answers 0.
TEST(EntryPoint, MissingHostCallbackAnswersZero)
{
  gMakeConfig = TestPlugConfig();
  gMakeConfig.midi = true;
  AEffect* e = VSTCreateEffect(MakeTestPlug, nullptr);
  ASSERT_NE(e, nullptr);
  TestPlug* plug = static_cast<TestPlug*>(e->object);

  EXPECT_EQ(Dispatch(e, effOpen), 0);
  EXPECT_EQ(plug->GetHost(), 0);
  EXPECT_EQ(plug->GetHostVersion(), 0);
  plug->SetParameterFromGUI(1, 0.25);
  EXPECT_EQ(e->getParameter(e, 1), 0.25f);
  plug->NotifyHostEditBegin(1);
  plug->NotifyHostEditEnd(1);
  EXPECT_EQ(plug->HostSamplePos(), 0);
  EXPECT_EQ(plug->HostTempo(), 0.0);
  int num = -1, den = -1;
  plug->HostTimeSignature(&num, &den);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(den, 0);
  EXPECT_FALSE(plug->SendMidiMessage(MidiMessage{0, 0x90, 60, 100}));

  VstMidiEvent midi = {};
  midi.type = kVstMidiType;
  midi.byteSize = sizeof(VstMidiEvent);
  VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&midi);
  EXPECT_EQ(Dispatch(e, effProcessEvents, 0, 0, &events), 1);

  float in[2][16] = {}, out[2][16] = {};
  float* ins[] = {in[0], in[1]};
  float* outs[] = {out[0], out[1]};
  e->processReplacing(e, ins, outs, 16);  // asks for MIDI through the missing callback
  Dispatch(e, effClose);
}

TEST(HostCalls, NotificationsCarryIndexAndValue)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  p->NotifyHostEditBegin(1);
  p->SetParameterFromGUI(1, 0.4567);
  p->NotifyHostEditEnd(1);
  ASSERT_EQ(host.calls.size(), 3u);
  EXPECT_EQ(host.calls[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(host.calls[0].index, 1);
  EXPECT_EQ(host.calls[1].opcode, audioMasterAutomate);
  EXPECT_EQ(host.calls[1].index, 1);
  EXPECT_EQ(host.calls[1].opt, 0.4567f);
  EXPECT_EQ(host.calls[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(host.calls[2].index, 1);
  for (const HostCall& call : host.calls) EXPECT_EQ(call.effect, p.effect);
}

TEST(HostCalls, TimeInfoAnswers)
{
  struct Case
  {
    const char* what;
    bool hasInfo;
    double samplePos, tempo;
    int num, den, flags;
    int expectPos;
    double expectTempo;
    int expectNum, expectDen;
  };
  const Case cases[] = {
    {"no time info", false, 0, 0, 0, 0, 0, 0, 0.0, 0, 0},
    {"everything valid", true, 1234.9, 120.0, 3, 4, 0x2400, 1234, 120.0, 3, 4},
    {"flags missing", true, 10.0, 120.0, 3, 4, 0, 10, 0.0, 0, 0},
    {"negative position and tempo", true, -5.0, -1.0, 3, 4, 0x2400, 0, 0.0, 3, 4},
    {"negative numerator", true, 0.0, 90.0, -3, 4, 0x2400, 0, 90.0, 0, 0},
    {"position beyond 32 bits", true, 1e12, 60.0, 7, 8, 0x2400, 0, 60.0, 7, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestHost host;
    host.hasTimeInfo = c.hasInfo;
    host.timeInfo.samplePos = c.samplePos;
    host.timeInfo.tempo = c.tempo;
    host.timeInfo.timeSigNumerator = c.num;
    host.timeInfo.timeSigDenominator = c.den;
    host.timeInfo.flags = c.flags;
    PlugHandle p(new TestPlug(TestHost::Callback()));
    EXPECT_EQ(p->HostSamplePos(), c.expectPos);
    EXPECT_EQ(p->HostTempo(), c.expectTempo);
    int num = -1, den = -1;
    p->HostTimeSignature(&num, &den);
    EXPECT_EQ(num, c.expectNum);
    EXPECT_EQ(den, c.expectDen);
    const std::vector<HostCall> asks = host.CallsOf(audioMasterGetTime);
    ASSERT_EQ(asks.size(), 3u);
    EXPECT_EQ(asks[0].value, 0);
    EXPECT_EQ(asks[1].value, 0x400);
    EXPECT_EQ(asks[2].value, 0x2000);
  }
}

TEST(HostCalls, MidiMessagesGoOutAsOneEvent)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  EXPECT_TRUE(p->SendMidiMessage(MidiMessage{17, 0x90, 60, 100}));
  ASSERT_EQ(host.sentEvents.size(), 1u);
  ASSERT_EQ(host.sentEventCounts, std::vector<int>{1});
  VstMidiEvent sent;
  std::memcpy(&sent, host.sentEvents[0].data(), sizeof(sent));
  EXPECT_EQ(sent.type, 1);
  EXPECT_EQ(sent.byteSize, 32);
  EXPECT_EQ(sent.deltaFrames, 17);
  EXPECT_EQ((unsigned char) sent.midiData[0], 0x90);
  EXPECT_EQ(sent.midiData[1], 60);
  EXPECT_EQ(sent.midiData[2], 100);
  EXPECT_EQ(sent.midiData[3], 0);
  EXPECT_EQ(sent.flags | sent.noteLength | sent.noteOffset | sent.detune | sent.noteOffVelocity, 0);

  host.processEventsResult = 0;
  EXPECT_FALSE(p->SendMidiMessage(MidiMessage{0, 0x80, 60, 0}));
  host.processEventsResult = 2;
  EXPECT_FALSE(p->SendMidiMessage(MidiMessage{0, 0x80, 60, 0})) << "only 1 is success";
  host.processEventsResult = 1;
  EXPECT_TRUE(p->SendMidiMessages({MidiMessage{0, 0x90, 1, 2}, MidiMessage{1, 0x80, 1, 0}}));
  EXPECT_EQ(host.sentEvents.size(), 5u);
  host.processEventsResult = 0;
  EXPECT_FALSE(p->SendMidiMessages({MidiMessage{0, 0x90, 1, 2}}));
}

TEST(HostIdentification, TableOrderAndVersionPacking)
{
  struct Case
  {
    const char* name;
    VstIntPtr version;
    int expectHost;
    int expectVersion;
    bool versionAsked;
  };
  const Case cases[] = {
    {"REAPER", 5012, 1, (0 << 16) | (50 << 8) | 12, true},
    {"Cubase 12", 20300, 3, 0x20300, true},
    {"Nuendo with Cubase inside", 10000, 3, 0x10000, true},
    {"nuendo", 40102, 4, (4 << 16) | (1 << 8) | 2, true},
    {"Ableton Live", 110000, 9, 11 << 16, true},
    {"Deliverance", 1, 9, 1, true},  // "live" inside a longer word
    {"Orion Platinum", 800, 18, 8 << 8, true},
    {"Some Other Host", 123456, 0, (12 << 16) | (34 << 8) | 56, true},
    {"", 20300, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestHost host;
    host.productName = c.name;
    host.vendorVersion = c.version;
    PlugHandle p(new TestPlug(TestHost::Callback()));
    EXPECT_EQ(p->GetHost(), -1);
    EXPECT_EQ(Dispatch(p.effect, effOpen), 0);
    EXPECT_EQ(p->GetHost(), c.expectHost);
    EXPECT_EQ(p->GetHostVersion(), c.expectVersion);
    EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
    EXPECT_EQ(host.Count(audioMasterGetVendorVersion), c.versionAsked ? 1 : 0);
    EXPECT_TRUE(p->HostPrepared());

    Dispatch(p.effect, effOpen);
    EXPECT_EQ(p->IdentifyHost(), c.expectHost);
    EXPECT_EQ(host.Count(audioMasterGetProductString), 1) << "the host is asked once";
  }
}

TEST(HostIdentification, HostWritingNoTerminator)
{
  TestHost host;
  host.productName = std::string(300, 'r');  // fills the whole buffer
  host.vendorVersion = 100;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  Dispatch(p.effect, effOpen);
  EXPECT_EQ(p->GetHost(), 0);
  EXPECT_EQ(p->GetHostVersion(), 1 << 8);
}

TEST(HostIdentification, OpenRunsEveryReactionEachTime)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  Dispatch(p.effect, effOpen);
  EXPECT_EQ(p->paramChanges, (std::vector<int>{0, 1, 2, 3}));
  Dispatch(p.effect, effOpen);
  EXPECT_EQ(p->paramChanges, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
}

TEST(HostIdentification, ChannelLimitsForSomeHosts)
{
  struct Case { const char* name; bool limited; };
  const Case cases[] = {
    {"ORION", true}, {"Forte", true}, {"Adobe Audition", true}, {"SAWStudio", true},
    {"Reaper", false}, {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestHost host;
    host.productName = c.name;
    TestPlugConfig config;
    config.io = "4-4";
    PlugHandle p(new TestPlug(TestHost::Callback(), config));
    VstSpeakerArrangement in = {}, out = {};
    in.numChannels = 4;
    out.numChannels = 2;  // outputs 2 and 3 not connected before the host is known
    Dispatch(p.effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    Dispatch(p.effect, effOpen);
    EXPECT_TRUE(p->IsInChannelConnected(0));
    EXPECT_TRUE(p->IsInChannelConnected(1));
    EXPECT_EQ(p->IsInChannelConnected(2), !c.limited);
    EXPECT_EQ(p->IsInChannelConnected(3), !c.limited);
    EXPECT_EQ(p->IsOutChannelConnected(2), c.limited);
    EXPECT_EQ(p->IsOutChannelConnected(3), c.limited);
    EXPECT_EQ(p.effect->numInputs, 4);
    EXPECT_EQ(p.effect->numOutputs, 4);
  }
}
