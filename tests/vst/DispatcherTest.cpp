// The dispatcher: opcodes and their results, texts into host buffers, capabilities, pins and
// speaker arrangements, state chunks, programs, events and the editor opcodes.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TestHost.h"
#include "TestPlug.h"

namespace
{

std::vector<double> Values(TestPlug* plug)
{
  std::vector<double> v;
  for (int i = 0; i < plug->NParams(); ++i) v.push_back(plug->GetParam(i)->Value());
  return v;
}

std::vector<double> PresetValues(TestPlug* plug, int idx)
{
  // Load the preset into a scratch copy of the values and restore, through the public operations.
  const std::vector<double> saved = Values(plug);
  const int current = plug->GetCurrentPresetIdx();
  plug->LoadPreset(idx);
  std::vector<double> v = Values(plug);
  for (int i = 0; i < plug->NParams(); ++i) plug->GetParam(i)->SetValue(saved[(size_t) i]);
  plug->LoadPreset(current);
  for (int i = 0; i < plug->NParams(); ++i) plug->GetParam(i)->SetValue(saved[(size_t) i]);
  return v;
}

std::vector<unsigned char> Chunk(bool header, int version, const std::vector<double>& values)
{
  std::vector<unsigned char> bytes;
  auto append = [&bytes](const void* data, size_t size) {
    unsigned char copy[8];
    std::memcpy(copy, data, size);
    for (size_t i = 0; i < size; ++i) bytes.push_back(copy[i]);
  };
  if (header) {
    append("tffp", 4);
    append(&version, 4);
  }
  for (double d : values) append(&d, 8);
  return bytes;
}

// A host buffer with guard bytes: the text must end before limit and nothing from limit on may
// be written.
struct GuardedText
{
  char bytes[300];
  GuardedText() { std::memset(bytes, 'X', sizeof(bytes)); }
  bool UntouchedFrom(int limit) const
  {
    for (int i = limit; i < (int) sizeof(bytes); ++i) {
      if (bytes[i] != 'X') return false;
    }
    return true;
  }
};

}  // namespace

TEST(Dispatcher, SimpleOpcodesAndResults)
{
  struct Case
  {
    const char* what;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    bool withPtr;
    VstIntPtr expect;
  };
  const Case cases[] = {
    {"effGetProgram", effGetProgram, 0, 0, false, 0},
    {"effIdentify", effIdentify, 0, 0, false, 0x4E764566},
    {"effCanBeAutomated", effCanBeAutomated, 0, 0, false, 1},
    {"effCanBeAutomated, any index", effCanBeAutomated, 99, 0, false, 1},
    {"effGetPlugCategory", effGetPlugCategory, 0, 0, false, 1},
    {"effProcessVarIo", effProcessVarIo, 0, 0, true, 0},
    {"effGetVstVersion", effGetVstVersion, 0, 0, false, 2400},
    {"effGetVendorVersion", effGetVendorVersion, 0, 0, false, 0},
    {"effGetTailSize", effGetTailSize, 0, 0, false, 0},
    {"effSetBypass", effSetBypass, 0, 1, false, 0},
    {"effString2Parameter", effString2Parameter, 0, 0, true, 0},
    {"effGetParameterProperties", effGetParameterProperties, 0, 0, true, 0},
    {"effStartProcess", effStartProcess, 0, 0, false, 0},
    {"effStopProcess", effStopProcess, 0, 0, false, 0},
    {"effSetProcessPrecision", effSetProcessPrecision, 0, 1, false, 0},
    {"effEditIdle", effEditIdle, 0, 0, false, 0},
    {"effIdle", effIdle, 0, 0, false, 0},
    {"unknown opcode", 1000, 3, 7, true, 0},
    {"negative opcode", -1, 0, 0, true, 0},
    {"effEditGetRect without editor", effEditGetRect, 0, 0, true, 0},
    {"effEditOpen without editor", effEditOpen, 0, 0, true, 0},
    {"effEditClose without editor", effEditClose, 0, 0, false, 0},
    {"effGetChunk without ptr", effGetChunk, 0, 0, false, 0},
    {"effSetChunk without ptr", effSetChunk, 0, 40, false, 0},
    {"effProcessEvents without ptr", effProcessEvents, 0, 0, false, 0},
    {"effCanDo without ptr", effCanDo, 0, 0, false, 0},
    {"effGetEffectName without ptr", effGetEffectName, 0, 0, false, 0},
    {"effGetVendorString without ptr", effGetVendorString, 0, 0, false, 0},
    {"effGetProductString without ptr", effGetProductString, 0, 0, false, 0},
    {"effGetProgramNameIndexed without ptr", effGetProgramNameIndexed, 0, 0, false, 0},
    {"effGetMidiKeyName without ptr", effGetMidiKeyName, 0, 0, false, 0},
    {"effGetInputProperties without ptr", effGetInputProperties, 0, 0, false, 0},
    {"effVendorSpecific other index", effVendorSpecific, 6, 0, true, 0},
    {"effVendorSpecific without ptr", effVendorSpecific, 7, 0, false, 0},
    {"effSetSpeakerArrangement without arrangements", effSetSpeakerArrangement, 0, 0, false, 1},
    {"effGetSpeakerArrangement without slots", effGetSpeakerArrangement, 0, 0, false, 1},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlugHandle p(new TestPlug(TestHost::Callback()));
    char buffer[1024] = {};
    const std::vector<double> before = Values(p.plug);
    EXPECT_EQ(Dispatch(p.effect, c.opcode, c.index, c.value, c.withPtr ? buffer : nullptr), c.expect);
    EXPECT_EQ(Values(p.plug), before);
    EXPECT_TRUE(p->paramChanges.empty());
    EXPECT_EQ(p->GetCurrentPresetIdx(), 0);
    for (int i = 0; i < p->NInChannels(); ++i) EXPECT_TRUE(p->IsInChannelConnected(i));
  }
}

TEST(Dispatcher, MissingRecordOrObject)
{
  EXPECT_EQ(IPlugVST::VSTDispatcher(nullptr, effIdentify, 0, 0, nullptr, 0.0f), 0);
  AEffect empty = {};
  EXPECT_EQ(IPlugVST::VSTDispatcher(&empty, effIdentify, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(IPlugVST::VSTDispatcher(&empty, effClose, 0, 0, nullptr, 0.0f), 0);
}

// Every text goes into the host's buffer cut to the buffer's size and zero-terminated.
TEST(Dispatcher, TextsIntoHostBuffers)
{
  struct Case
  {
    const char* what;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr expectResult;
    const char* expect;
    int limit;  // host buffer size
  };
  const Case cases[] = {
    {"name 0", effGetParamName, 0, 0, "Level", 8},
    {"name 1", effGetParamName, 1, 0, "Attack", 8},
    {"name 2", effGetParamName, 2, 0, "Effect", 8},
    {"name 3", effGetParamName, 3, 0, "Cabinet", 8},
    {"label", effGetParamLabel, 0, 0, "", 8},
    {"display Level", effGetParamDisplay, 0, 0, "0.500", 8},
    {"display Effect", effGetParamDisplay, 2, 0, "On", 8},
    {"effect name", effGetEffectName, 0, 1, "Torvo-Mell", 32},
    {"vendor", effGetVendorString, 0, 1, "quillbarrow", 64},
    {"product", effGetProductString, 0, 1, "", 64},
    {"program name", effGetProgramName, 0, 0, "Init", 24},
    {"program name indexed", effGetProgramNameIndexed, 15, 1, "Init", 24},
  };
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardedText text;
    EXPECT_EQ(Dispatch(p.effect, c.opcode, c.index, 0, text.bytes), c.expectResult);
    EXPECT_STREQ(text.bytes, c.expect);
    EXPECT_TRUE(text.UntouchedFrom(c.limit));
  }

  // Invalid parameter indexes write nothing.
  for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
    for (VstInt32 idx : {-1, 4, INT_MAX}) {
      GuardedText text;
      EXPECT_EQ(Dispatch(p.effect, opcode, idx, 0, text.bytes), 0);
      EXPECT_TRUE(text.UntouchedFrom(0)) << opcode << " " << idx;
    }
  }
  GuardedText text;
  EXPECT_EQ(Dispatch(p.effect, effGetProgramNameIndexed, 16, 0, text.bytes), 0) << "empty name";
  EXPECT_STREQ(text.bytes, "");
}

// The parameter texts this plug-in produces all fit in the classic 8-byte buffer, so the cap never
// cuts them.
TEST(Dispatcher, ParameterTextsFitTheClassicBuffer)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  for (int idx = 0; idx < 4; ++idx) {
    for (int step = 0; step <= 100; ++step) {
      const float x = step / 100.0f;
      p.effect->setParameter(p.effect, idx, x);
      for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
        char wide[64] = {};
        p->GetParam(idx)->FormatForHost(p->GetParam(idx)->Value(), false, wide, sizeof(wide));
        const char* full = opcode == effGetParamName ? p->GetParam(idx)->Name()
                         : opcode == effGetParamLabel ? p->GetParam(idx)->Label()
                                                      : wide;
        GuardedText text;
        Dispatch(p.effect, opcode, idx, 0, text.bytes);
        ASSERT_LT(std::strlen(full), 8u) << "param " << idx << " value " << x << " text " << full;
        ASSERT_STREQ(text.bytes, full) << "param " << idx << " value " << x;
      }
    }
  }
}

TEST(Dispatcher, LongTextsAreCut)
{
  TestHost host;
  TestPlugConfig config;
  const std::string longName(100, 'n');
  const std::string longVendor(100, 'v');
  config.effectName = longName.c_str();
  config.mfrName = longVendor.c_str();
  config.productName = longVendor.c_str();
  PlugHandle p(new TestPlug(TestHost::Callback(), config));
  p->GetParam(0)->InitContinuous("Resonance Amount", 0.5, 0.0, 100000.0, 0.001, "percentage");
  p->GetParam(0)->SetValue(12345.678);

  struct Case { VstInt32 opcode; VstInt32 index; int limit; };
  for (Case c : {Case{effGetEffectName, 0, 32}, Case{effGetVendorString, 0, 64}, Case{effGetProductString, 0, 64},
                 Case{effGetParamName, 0, 8}, Case{effGetParamLabel, 0, 8}, Case{effGetParamDisplay, 0, 8}}) {
    GuardedText text;
    Dispatch(p.effect, c.opcode, c.index, 0, text.bytes);
    EXPECT_EQ((int) std::strlen(text.bytes), c.limit - 1) << c.opcode;
    EXPECT_TRUE(text.UntouchedFrom(c.limit)) << c.opcode;
  }

  // A program name from the host longer than 255 characters is cut on storing, and to the
  // host's 24 bytes on reading.
  const std::string hostName(400, 'p');
  Dispatch(p.effect, effSetProgramName, 0, 0, (void*) hostName.c_str());
  EXPECT_EQ(std::string(p->PresetName(0)), hostName.substr(0, 255));
  for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
    GuardedText text;
    Dispatch(p.effect, opcode, 0, 0, text.bytes);
    EXPECT_EQ(std::string(text.bytes), hostName.substr(0, 23)) << opcode;
    EXPECT_TRUE(text.UntouchedFrom(24)) << opcode;
  }
}

TEST(Dispatcher, VendorSpecificFormatsNormalisedValues)
{
  struct Case
  {
    const char* what;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    bool withPtr;
    VstIntPtr expect;
    const char* text;  // null: nothing written
  };
  const Case cases[] = {
    {"Level at 0.25", 7, 0, 0.25f, true, 0xBEEF, "0.250"},
    {"Attack at 1", 7, 1, 1.0f, true, 0xBEEF, "1.000"},
    {"Effect at 1", 7, 2, 1.0f, true, 0xBEEF, "On"},
    {"Cabinet at 0", 7, 3, 0.0f, true, 0xBEEF, "Off"},
    {"invalid parameter", 7, 99, 0.25f, true, 0xBEEF, nullptr},
    {"negative parameter", 7, -1, 0.25f, true, 0xBEEF, nullptr},
    {"NaN value", 7, 0, std::nanf(""), true, 0xBEEF, nullptr},
    {"no buffer", 7, 0, 0.25f, false, 0, nullptr},
    {"other index", 8, 0, 0.25f, true, 0, nullptr},
  };
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardedText text;
    EXPECT_EQ(Dispatch(p.effect, effVendorSpecific, c.index, c.value, c.withPtr ? text.bytes : nullptr, c.opt),
              c.expect);
    if (c.text) {
      EXPECT_STREQ(text.bytes, c.text);
      EXPECT_TRUE(text.UntouchedFrom(8));
    } else {
      EXPECT_TRUE(text.UntouchedFrom(0));
    }
  }
  EXPECT_EQ(Values(p.plug), (std::vector<double>{0.5, 0.5, 1, 1})) << "formatting changes no value";
}

TEST(Dispatcher, CanDoAnswers)
{
  struct Case { const char* text; VstIntPtr withoutMidi; VstIntPtr withMidi; };
  const Case cases[] = {
    {"receiveVstTimeInfo", 1, 1},
    {"sendVstEvents", 0, 1},
    {"sendVstMidiEvent", 0, 1},
    {"receiveVstEvents", 0, 1},
    {"receiveVstMidiEvent", 0, 1},
    {"hasCockosExtensions", (VstIntPtr) 0xBEEF0000, (VstIntPtr) 0xBEEF0000},
    {"hasCockosViewAsConfig", (VstIntPtr) 0xBEEF0000, (VstIntPtr) 0xBEEF0000},
    {"receivevsttimeinfo", 0, 0},
    {"receiveVstTimeInfo ", 0, 0},
    {"bypass", 0, 0},
    {"", 0, 0},
  };
  TestHost host;
  TestPlugConfig midi;
  midi.midi = true;
  PlugHandle plain(new TestPlug(TestHost::Callback()));
  PlugHandle withMidi(new TestPlug(TestHost::Callback(), midi));
  for (const Case& c : cases) {
    EXPECT_EQ(Dispatch(plain.effect, effCanDo, 0, 0, (void*) c.text), c.withoutMidi) << '"' << c.text << '"';
    EXPECT_EQ(Dispatch(withMidi.effect, effCanDo, 0, 0, (void*) c.text), c.withMidi) << '"' << c.text << '"';
  }
}

TEST(Dispatcher, PinProperties)
{
  struct Case { const char* io; VstInt32 opcode; VstInt32 index; VstIntPtr expect; int flags; const char* label; };
  const Case cases[] = {
    {"1-1 2-2", effGetInputProperties, 0, 1, 3, "Input 1"},
    {"1-1 2-2", effGetInputProperties, 1, 1, 1, "Input 2"},
    {"1-1 2-2", effGetInputProperties, 2, 0, 0, nullptr},
    {"1-1 2-2", effGetInputProperties, -1, 0, 0, nullptr},
    {"1-1 2-2", effGetOutputProperties, 0, 1, 3, "Output 1"},
    {"1-1 2-2", effGetOutputProperties, 1, 1, 1, "Output 2"},
    {"1-1 2-2", effGetOutputProperties, 2, 0, 0, nullptr},
    {"4-4", effGetInputProperties, 2, 1, 3, "Input 3"},
    {"4-4", effGetInputProperties, 3, 1, 1, "Input 4"},
    {"1-2", effGetInputProperties, 1, 0, 0, nullptr},
    {"1-2", effGetOutputProperties, 1, 1, 1, "Output 2"},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.io) + " opcode " + std::to_string(c.opcode) + " index " + std::to_string(c.index));
    TestPlugConfig config;
    config.io = c.io;
    PlugHandle p(new TestPlug(TestHost::Callback(), config));
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof(pin));
    EXPECT_EQ(Dispatch(p.effect, c.opcode, c.index, 0, &pin), c.expect);
    if (c.label) {
      EXPECT_EQ(pin.flags, c.flags);
      EXPECT_STREQ(pin.label, c.label);
      EXPECT_EQ((unsigned char) pin.shortLabel[0], 0x5A) << "other fields are not written";
      EXPECT_EQ(pin.arrangementType, 0x5A5A5A5A);
    } else {
      EXPECT_EQ(pin.flags, 0x5A5A5A5A) << "nothing written";
    }
  }
}

TEST(Dispatcher, SpeakerArrangements)
{
  TestHost host;
  {
    PlugHandle p(new TestPlug(TestHost::Callback()));
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    EXPECT_EQ(Dispatch(p.effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(in, out);
    EXPECT_EQ(in->numChannels, 2);
    EXPECT_EQ(out->numChannels, 2);
    EXPECT_EQ(in->type, 0);
    EXPECT_EQ(out->type, 0);
  }

  struct Case
  {
    const char* what;
    int inChannels;   // -2: no arrangement given
    int outChannels;
    bool expectIn[4];
    bool expectOut[4];
  };
  const Case cases[] = {
    {"all four", 4, 4, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"mono in, stereo out", 1, 2, {1, 0, 0, 0}, {1, 1, 0, 0}},
    {"none", 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"more than there are", 8, 6, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"inputs missing", -2, 1, {1, 1, 1, 1}, {1, 0, 0, 0}},
    {"outputs missing", 3, -2, {1, 1, 1, 0}, {1, 1, 1, 1}},
    {"both missing", -2, -2, {1, 1, 1, 1}, {1, 1, 1, 1}},
    {"negative counts", -1, -7, {1, 1, 1, 1}, {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestPlugConfig config;
    config.io = "4-4";
    PlugHandle p(new TestPlug(TestHost::Callback(), config));
    VstSpeakerArrangement in = {}, out = {};
    in.numChannels = c.inChannels;
    out.numChannels = c.outChannels;
    EXPECT_EQ(Dispatch(p.effect, effSetSpeakerArrangement, 0,
                       c.inChannels == -2 ? 0 : reinterpret_cast<VstIntPtr>(&in),
                       c.outChannels == -2 ? nullptr : &out),
              1);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(p->IsInChannelConnected(i), c.expectIn[i]) << "input " << i;
      EXPECT_EQ(p->IsOutChannelConnected(i), c.expectOut[i]) << "output " << i;
    }
    VstSpeakerArrangement* ownIn = nullptr;
    Dispatch(p.effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&ownIn), nullptr);
    EXPECT_EQ(ownIn->numChannels, 4) << "the plug-in's own arrangement does not change";
  }
}

TEST(Dispatcher, GetChunkBothKinds)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  p.effect->setParameter(p.effect, 0, 0.25f);
  p.effect->setParameter(p.effect, 1, 0.75f);
  p.effect->setParameter(p.effect, 3, 0.0f);
  const std::vector<unsigned char> expect = Chunk(true, 0x10000, {0.25, 0.75, 1.0, 0.0});
  for (VstInt32 index : {0, 1, 5}) {
    void* data = nullptr;
    ASSERT_EQ(Dispatch(p.effect, effGetChunk, index, 0, &data), 40) << index;
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::vector<unsigned char>((unsigned char*) data, (unsigned char*) data + 40), expect) << index;
  }
  // Only the bank request stores the current values into the current preset.
  EXPECT_EQ(PresetValues(p.plug, 0), (std::vector<double>{0.25, 0.75, 1.0, 0.0}));
  EXPECT_EQ(PresetValues(p.plug, 1), (std::vector<double>{0.5, 0.5, 1.0, 1.0}));
}

TEST(Dispatcher, SetChunkCases)
{
  const std::vector<double> loaded = {0.25, 0.75, 1.0, 0.0};
  const std::vector<double> defaults = {0.5, 0.5, 1.0, 1.0};
  const std::vector<double> preset0 = {1.0, 0.5, 1.0, 1.0};  // "Init" slot 0
  const std::vector<unsigned char> tooLong = Chunk(true, 0x10000, {7.5, -3.0, 1.0, 0.0});

  struct Case
  {
    const char* what;
    std::vector<unsigned char> chunk;
    VstInt32 index;           // 0 = bank
    VstIntPtr size;           // -100: the chunk's own size
    bool nullPtr;
    VstIntPtr expect;
    std::vector<double> values;
    bool reactions;           // OnParamChange for all four
    std::vector<double> preset;  // preset 0 afterwards
  };
  const Case cases[] = {
    {"program chunk", Chunk(true, 0x10000, loaded), 1, -100, false, 1, loaded, true, loaded},
    {"bank chunk, current version", Chunk(true, 0x10000, loaded), 0, -100, false, 1, loaded, true, preset0},
    {"bank chunk, version 0", Chunk(true, 0, loaded), 0, -100, false, 1, loaded, true, loaded},
    {"bank chunk without header", Chunk(false, 0, loaded), 0, -100, false, 1, loaded, true, loaded},
    {"program chunk without header", Chunk(false, 0, loaded), 3, -100, false, 1, loaded, true, loaded},
    {"values limited to the range", tooLong, 1, -100, false, 1, {1.0, 0.0, 1.0, 0.0}, true, {1.0, 0.0, 1.0, 0.0}},
    {"header alone", {'t', 'f', 'f', 'p'}, 1, -100, false, 0, defaults, true, defaults},
    {"five bytes with magic", {'t', 'f', 'f', 'p', 1}, 1, -100, false, 0, defaults, true, defaults},
    {"seven bytes with magic", {'t', 'f', 'f', 'p', 0, 0, 1}, 0, -100, false, 0, defaults, true, defaults},
    {"two values after the header", Chunk(true, 0x10000, {0.25, 0.75}), 1, -100, false, 0, {0.25, 0.75, 0.0, 1.0},
     true, {0.25, 0.75, 0.0, 1.0}},
    {"three bytes", {'t', 'f', 'f'}, 1, -100, false, 0, {0.0, 0.5, 1.0, 1.0}, true, {0.0, 0.5, 1.0, 1.0}},
    {"negative size", Chunk(true, 0x10000, loaded), 1, -1, false, 0, defaults, false, preset0},
    {"very negative size", Chunk(true, 0x10000, loaded), 0, INT_MIN, false, 0, defaults, false, preset0},
    {"size without data", Chunk(true, 0x10000, loaded), 1, 40, true, 0, defaults, false, preset0},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlugHandle p(new TestPlug(TestHost::Callback()));
    auto* graphics = new FakeGraphics(213, 326, true);
    p->ConnectGraphics(graphics);
    graphics->pushes.clear();
    std::vector<unsigned char> data = c.chunk;
    const VstIntPtr size = c.size == -100 ? (VstIntPtr) data.size() : c.size;
    EXPECT_EQ(Dispatch(p.effect, effSetChunk, c.index, size, c.nullPtr ? nullptr : data.data()), c.expect);
    EXPECT_EQ(Values(p.plug), c.values);
    EXPECT_EQ(p->paramChanges.size(), c.reactions ? 4u : 0u);
    EXPECT_EQ(graphics->pushes.size(), c.expect == 1 ? 4u : 0u) << "controls follow a successful load";
    if (c.expect == 1) {
      for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(graphics->pushes[(size_t) i].value, c.values[(size_t) i]);
        EXPECT_FALSE(graphics->pushes[(size_t) i].normalized);
      }
    }
    EXPECT_EQ(PresetValues(p.plug, 0), c.preset);
    EXPECT_EQ(p->GetCurrentPresetIdx(), 0);
  }
}

TEST(Dispatcher, ChunkRoundTrip)
{
  TestHost host;
  PlugHandle a(new TestPlug(TestHost::Callback()));
  PlugHandle b(new TestPlug(TestHost::Callback()));
  a.effect->setParameter(a.effect, 0, 0.125f);
  a.effect->setParameter(a.effect, 2, 0.0f);
  for (VstInt32 index : {0, 1}) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(a.effect, effGetChunk, index, 0, &data);
    ASSERT_EQ(size, 40);
    std::vector<unsigned char> copy((unsigned char*) data, (unsigned char*) data + size);
    EXPECT_EQ(Dispatch(b.effect, effSetChunk, index, size, copy.data()), 1);
    EXPECT_EQ(Values(b.plug), Values(a.plug));
    b.effect->setParameter(b.effect, 0, 0.9f);
  }
}

// A host may give back the buffer it got from effGetChunk, on the same object.
TEST(Dispatcher, SetChunkFromTheChunksOwnBuffer)
{
  TestHost host;
  for (VstInt32 index : {0, 1}) {
    SCOPED_TRACE(index);
    PlugHandle p(new TestPlug(TestHost::Callback()));
    p.effect->setParameter(p.effect, 0, 0.125f);
    void* data = nullptr;
    const VstIntPtr size = Dispatch(p.effect, effGetChunk, index, 0, &data);
    ASSERT_EQ(size, 40);
    p.effect->setParameter(p.effect, 0, 0.875f);
    EXPECT_EQ(Dispatch(p.effect, effSetChunk, index, size, data), 1);
    EXPECT_EQ(p->GetParam(0)->Value(), 0.125);

    // A part of the buffer, so the buffer shrinks while being read: a bare layout from offset 8.
    Dispatch(p.effect, effGetChunk, index, 0, &data);
    EXPECT_EQ(Dispatch(p.effect, effSetChunk, index, 32, static_cast<unsigned char*>(data) + 8), 1);
    EXPECT_EQ(Values(p.plug), (std::vector<double>{0.125, 0.5, 1.0, 1.0}));
  }
}

TEST(Dispatcher, ProgramSwitching)
{
  TestHost host;
  TestPlugConfig config;
  config.filledPresets = 3;
  PlugHandle p(new TestPlug(TestHost::Callback(), config));
  EXPECT_EQ(Dispatch(p.effect, effGetProgram), 0);

  // The current values go into the current program before the switch.
  p.effect->setParameter(p.effect, 1, 0.125f);
  Dispatch(p.effect, effSetProgram, 0, 2);
  EXPECT_EQ(Dispatch(p.effect, effGetProgram), 2);
  EXPECT_EQ(Values(p.plug), (std::vector<double>{0.5, 0.5, 1.0, 1.0}));
  Dispatch(p.effect, effSetProgram, 0, 0);
  EXPECT_EQ(Values(p.plug), (std::vector<double>{0.5, 0.125, 1.0, 1.0}));

  // An empty slot captures the current values under a user preset name.
  p.effect->setParameter(p.effect, 0, 0.75f);
  Dispatch(p.effect, effSetProgram, 0, 5);
  EXPECT_EQ(Dispatch(p.effect, effGetProgram), 5);
  char name[64] = {};
  Dispatch(p.effect, effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "user preset 1");
  EXPECT_EQ(PresetValues(p.plug, 5), (std::vector<double>{0.75, 0.125, 1.0, 1.0}));
  Dispatch(p.effect, effSetProgram, 0, 9);
  EXPECT_EQ(Dispatch(p.effect, effGetProgramNameIndexed, 9, 0, name), 1);
  EXPECT_STREQ(name, "user preset 2");
  EXPECT_EQ(Dispatch(p.effect, effGetProgramNameIndexed, 12, 0, name), 1);
  EXPECT_STREQ(name, "- 13 -");

  // Programs outside the list change nothing but the stored current values.
  for (VstIntPtr bad : {(VstIntPtr) -1, (VstIntPtr) 16, (VstIntPtr) INT_MAX}) {
    p.effect->setParameter(p.effect, 0, 0.5f);
    Dispatch(p.effect, effSetProgram, 0, bad);
    EXPECT_EQ(Dispatch(p.effect, effGetProgram), 9) << bad;
    EXPECT_EQ(PresetValues(p.plug, 9)[0], 0.5) << bad;
  }
#if INTPTR_MAX == INT64_MAX
  Dispatch(p.effect, effSetProgram, 0, (VstIntPtr) 0x100000001LL);  // would wrap to 1
  EXPECT_EQ(Dispatch(p.effect, effGetProgram), 9);
#endif

  // Renaming.
  Dispatch(p.effect, effSetProgramName, 0, 0, (void*) "Crunch");
  Dispatch(p.effect, effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "Crunch");
  Dispatch(p.effect, effSetProgramName, 0, 0, (void*) "");
  Dispatch(p.effect, effGetProgramName, 0, 0, name);
  EXPECT_STREQ(name, "Crunch") << "an empty name keeps the old one";
  EXPECT_EQ(Dispatch(p.effect, effSetProgramName, 0, 0, nullptr), 0);
}

TEST(Dispatcher, ProgramSwitchWithStateChunksDoesNotStore)
{
  TestHost host;
  TestPlugConfig config;
  config.chunks = true;
  PlugHandle p(new TestPlug(TestHost::Callback(), config));
  p.effect->setParameter(p.effect, 1, 0.125f);
  Dispatch(p.effect, effSetProgram, 0, 1);
  EXPECT_EQ(PresetValues(p.plug, 0), (std::vector<double>{1.0, 0.5, 1.0, 1.0}));
}

TEST(Dispatcher, SampleRateBlockSizeAndActivation)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  struct RateCase { float rate; double expect; };
  for (RateCase c : {RateCase{48000.0f, 48000.0}, RateCase{0.0f, 48000.0}, RateCase{-44100.0f, 48000.0},
                     RateCase{std::nanf(""), 48000.0}, RateCase{INFINITY, 48000.0}, RateCase{96000.0f, 96000.0}}) {
    const int resets = p->resets;
    EXPECT_EQ(Dispatch(p.effect, effSetSampleRate, 0, 0, nullptr, c.rate), 0);
    EXPECT_EQ(p->GetSampleRate(), c.expect) << c.rate;
    EXPECT_EQ(p->resets, resets + 1) << c.rate;
  }
  struct BlockCase { VstIntPtr size; int expect; };
  for (BlockCase c : {BlockCase{256, 256}, BlockCase{0, 256}, BlockCase{-5, 256}, BlockCase{1, 1},
                      BlockCase{4096, 4096}}) {
    const int resets = p->resets;
    EXPECT_EQ(Dispatch(p.effect, effSetBlockSize, 0, c.size), 0);
    EXPECT_EQ(p->GetBlockSize(), c.expect) << c.size;
    EXPECT_EQ(p->resets, resets + 1) << c.size;
  }
#if INTPTR_MAX == INT64_MAX
  Dispatch(p.effect, effSetBlockSize, 0, (VstIntPtr) 1 << 40);
  EXPECT_EQ(p->GetBlockSize(), IPlugVST::kMaxBlockSize);
#endif

  const int resets = p->resets;
  EXPECT_EQ(Dispatch(p.effect, effMainsChanged, 0, 1), 0);
  EXPECT_EQ(p->resets, resets);
  EXPECT_EQ(Dispatch(p.effect, effMainsChanged, 0, 0), 0);
  EXPECT_EQ(p->resets, resets + 1);
  EXPECT_EQ(p->activations, (std::vector<bool>{true, false}));
}

TEST(Dispatcher, EditorOpcodes)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(p.effect, effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);

  p->ConnectGraphics(nullptr);
  EXPECT_EQ(p.effect->flags, 0x1018);

  p.effect->setParameter(p.effect, 0, 0.25f);
  auto* graphics = new FakeGraphics(213, 326, true);
  p->ConnectGraphics(graphics);
  EXPECT_EQ(p.effect->flags, 0x1019);
  EXPECT_EQ(graphics->surfaces, 1);
  ASSERT_EQ(graphics->pushes.size(), 4u);
  EXPECT_EQ(graphics->pushes[0].value, 0.25);
  EXPECT_TRUE(graphics->pushes[0].normalized);

  EXPECT_EQ(Dispatch(p.effect, effEditGetRect, 0, 0, &rect), 1);
  ASSERT_EQ(rect, &p->EditorRect());
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 326);
  EXPECT_EQ(rect->right, 213);
  EXPECT_EQ(Dispatch(p.effect, effEditGetRect, 0, 0, nullptr), 0);

  graphics->Resize(300, 400);
  p->RefreshEditorRect(1, 1);
  EXPECT_EQ(rect->bottom, 400);
  EXPECT_EQ(rect->right, 300);

  int parentWindow = 0;
  EXPECT_EQ(Dispatch(p.effect, effEditOpen, 0, 0, &parentWindow), 1);
  EXPECT_EQ(graphics->opens, 1);
  EXPECT_EQ(graphics->lastParent, reinterpret_cast<HWND>(&parentWindow));
  EXPECT_EQ(p->editorOpened, 1);
  EXPECT_EQ(Dispatch(p.effect, effEditClose), 1);
  EXPECT_EQ(graphics->closes, 1);
  EXPECT_EQ(p->editorClosed, 1);

  // A window that does not open is reported as such.
  PlugHandle q(new TestPlug(TestHost::Callback()));
  auto* failing = new FakeGraphics(10, 20, false);
  q->ConnectGraphics(failing);
  EXPECT_EQ(Dispatch(q.effect, effEditOpen, 0, 0, &parentWindow), 0);
  EXPECT_EQ(q->editorOpened, 0);
}

TEST(Dispatcher, ProcessEvents)
{
  TestHost host;
  TestPlugConfig config;
  config.midi = true;
  PlugHandle p(new TestPlug(TestHost::Callback(), config));

  VstMidiEvent note = {};
  note.type = kVstMidiType;
  note.byteSize = sizeof(VstMidiEvent);
  note.deltaFrames = 12;
  note.midiData[0] = (char) 0x90;
  note.midiData[1] = 64;
  note.midiData[2] = 99;
  VstEvent other = {};
  other.type = 6;  // some other kind of event
  other.byteSize = sizeof(VstEvent);
  other.deltaFrames = 3;
  std::memset(other.data, 0x33, sizeof(other.data));

  // Room for four entries.
  struct { VstInt32 numEvents; VstIntPtr reserved; VstEvent* events[4]; } list = {};
  list.numEvents = 3;
  list.events[0] = reinterpret_cast<VstEvent*>(&note);
  list.events[1] = nullptr;
  list.events[2] = &other;
  EXPECT_EQ(Dispatch(p.effect, effProcessEvents, 0, 0, &list), 1);

  ASSERT_EQ(p->midiIn.size(), 1u);
  EXPECT_EQ(p->midiIn[0].offset, 12);
  EXPECT_EQ(p->midiIn[0].status, 0x90);
  EXPECT_EQ(p->midiIn[0].data1, 64);
  EXPECT_EQ(p->midiIn[0].data2, 99);

  ASSERT_EQ(host.sentEvents.size(), 2u);
  VstMidiEvent echoed;
  std::memcpy(&echoed, host.sentEvents[0].data(), sizeof(echoed));
  EXPECT_EQ(echoed.deltaFrames, 12);
  EXPECT_EQ((unsigned char) echoed.midiData[0], 0x90);
  EXPECT_EQ(std::memcmp(host.sentEvents[1].data(), &other, sizeof(other)), 0) << "forwarded unchanged";

  host.Clear();
  for (VstInt32 count : {0, -5}) {
    list.numEvents = count;
    EXPECT_EQ(Dispatch(p.effect, effProcessEvents, 0, 0, &list), 1);
  }
  EXPECT_TRUE(host.sentEvents.empty());
}

TEST(Dispatcher, MidiKeyNames)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  MidiKeyName key;
  std::memset(&key, 'X', sizeof(key));
  key.thisKeyNumber = 60;
  EXPECT_EQ(Dispatch(p.effect, effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");

  p->noteNames = true;
  std::memset(&key, 'X', sizeof(key));
  key.thisKeyNumber = 60;
  EXPECT_EQ(Dispatch(p.effect, effGetMidiKeyName, 0, 0, &key), 1);
  EXPECT_STREQ(key.keyName, "C4");
  key.thisKeyNumber = 61;
  EXPECT_EQ(Dispatch(p.effect, effGetMidiKeyName, 0, 0, &key), 0);
}

TEST(Dispatcher, CloseDestroysTheObject)
{
  TestHost host;
  TestPlug* plug = new TestPlug(TestHost::Callback());
  AEffect* e = plug->GetAEffect();
  auto* graphics = new FakeGraphics(213, 326, true);
  plug->ConnectGraphics(graphics);
  EXPECT_EQ(Dispatch(e, effClose), 0);
  // Nothing to look at afterwards; sanitizer builds catch leaks and double frees here.
}
