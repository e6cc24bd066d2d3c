// What bad input gets: one table of everything a host, a damaged project file or a careless caller
// can hand the plug-in through its effect record, each row run on a fresh instance. After every row
// the same checks run: the call answered what the row says, nothing crashed or overran (the
// sanitizer trees run this too), every parameter is inside its range, parameters the row must not
// touch kept their values, audio still comes out finite, and the state chunk still makes a stable
// round trip. The README's "What bad input gets" table is this table in prose.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "StressHost.h"
#include "StressSupport.h"

using namespace stress;

namespace
{

constexpr float kNanF = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr VstIntPtr kAnyResult = (VstIntPtr) 0x7A7A7A7A;

// The defaults: Level 0.5, Attack 0.5, Effect 1, Cabinet 1.
const std::vector<double> kDefaults = {0.5, 0.5, 1.0, 1.0};

std::vector<unsigned char> Chunk(bool header, std::vector<double> values, int version = 0x10000)
{
  std::vector<unsigned char> bytes;
  bytes.reserve(8 + 8 * values.size());
  if (header)
  {
    const unsigned char magic[4] = {'t', 'f', 'f', 'p'};
    bytes.insert(bytes.end(), magic, magic + 4);
    unsigned char v[4];
    std::memcpy(v, &version, 4);
    bytes.insert(bytes.end(), v, v + 4);
  }
  for (double d : values)
  {
    unsigned char raw[8];
    std::memcpy(raw, &d, 8);
    bytes.insert(bytes.end(), raw, raw + 8);
  }
  return bytes;
}

VstIntPtr SetChunk(AEffect* e, VstInt32 index, std::vector<unsigned char> bytes)
{
  // The host's copy, exactly as large as it says.
  std::vector<unsigned char> copy(bytes);
  unsigned char none = 0;
  return Dispatch(e, effSetChunk, index, (VstIntPtr) copy.size(), copy.empty() ? &none : copy.data());
}

struct Row
{
  const char* input;
  std::function<VstIntPtr(AEffect*)> act;
  VstIntPtr result;              // what the call answers; kAnyResult when not checked
  std::vector<double> after;     // the parameter values afterwards (empty: only "in range")
};

// Audio through every entry; true when every sample came out finite.
bool AudioIsFinite(AEffect* e, int frames)
{
  std::vector<float> f0(frames, 0.25f), f1(frames, -0.5f), o0(frames, 0.0f), o1(frames, 0.0f);
  std::vector<double> d0(frames, 0.25), d1(frames, -0.5), p0(frames), p1(frames);
  float* inF[2] = {f0.data(), f1.data()};
  float* outF[2] = {o0.data(), o1.data()};
  double* inD[2] = {d0.data(), d1.data()};
  double* outD[2] = {p0.data(), p1.data()};
  e->processReplacing(e, inF, outF, frames);
  for (int i = 0; i < frames; ++i)
    if (!std::isfinite(o0[i]) || !std::isfinite(o1[i])) return false;
  e->processDoubleReplacing(e, inD, outD, frames);
  for (int i = 0; i < frames; ++i)
    if (!std::isfinite(p0[i]) || !std::isfinite(p1[i])) return false;
  std::fill(o0.begin(), o0.end(), 0.0f);
  std::fill(o1.begin(), o1.end(), 0.0f);
  e->process(e, inF, outF, frames);
  for (int i = 0; i < frames; ++i)
    if (!std::isfinite(o0[i]) || !std::isfinite(o1[i])) return false;
  return true;
}

std::vector<Row> Rows()
{
  std::vector<Row> rows;
  auto add = [&](const char* input, std::function<VstIntPtr(AEffect*)> act, VstIntPtr result,
                 std::vector<double> after = {}) { rows.push_back(Row{input, std::move(act), result, std::move(after)}); };
  auto setParam = [](int idx, float v) {
    return [idx, v](AEffect* e) {
      e->setParameter(e, idx, v);
      return (VstIntPtr) 0;
    };
  };

  // ---- Parameter values from the host ----
  add("setParameter NaN on every parameter", [](AEffect* e) {
    for (int i = 0; i < 4; ++i) e->setParameter(e, i, kNanF);
    return (VstIntPtr) 0;
  }, 0, kDefaults);
  add("setParameter +infinity on Level", setParam(0, kInfF), 0, {1.0, 0.5, 1.0, 1.0});
  add("setParameter -infinity on Level", setParam(0, -kInfF), 0, {0.0, 0.5, 1.0, 1.0});
  add("setParameter -infinity on Attack", setParam(1, -kInfF), 0, {0.5, 0.0, 1.0, 1.0});
  add("setParameter 1.5 on Attack", setParam(1, 1.5f), 0, {0.5, 1.0, 1.0, 1.0});
  add("setParameter -0.5 on Level", setParam(0, -0.5f), 0, {0.0, 0.5, 1.0, 1.0});
  add("setParameter -7 on Effect", setParam(2, -7.0f), 0, {0.5, 0.5, 0.0, 1.0});
  add("setParameter on index -1, 4 and INT_MAX", [](AEffect* e) {
    for (int idx : {-1, 4, INT_MAX, INT_MIN}) e->setParameter(e, idx, 0.0f);
    return (VstIntPtr) 0;
  }, 0, kDefaults);
  add("getParameter on index -1, 4 and INT_MIN", [](AEffect* e) {
    return (VstIntPtr) (e->getParameter(e, -1) + e->getParameter(e, 4) + e->getParameter(e, INT_MIN));
  }, 0, kDefaults);

  // ---- State chunks ----
  add("effSetChunk of 0 bytes", [](AEffect* e) { return SetChunk(e, 1, {}); }, 0, {0.0, 0.5, 1.0, 1.0});
  add("effSetChunk of 3 bytes", [](AEffect* e) { return SetChunk(e, 1, {'t', 'f', 'f'}); }, 0, {0.0, 0.5, 1.0, 1.0});
  add("effSetChunk of \"tffp\" alone", [](AEffect* e) { return SetChunk(e, 1, {'t', 'f', 'f', 'p'}); }, 0, kDefaults);
  add("effSetChunk cut after two values", [](AEffect* e) {
    return SetChunk(e, 1, Chunk(true, {0.25, 0.75}));
  }, 0, {0.25, 0.75, 0.0, 1.0});
  add("effSetChunk cut inside a value", [](AEffect* e) {
    std::vector<unsigned char> c = Chunk(true, {0.25, 0.75, 0.0, 0.0});
    c.resize(35);
    return SetChunk(e, 0, c);
  }, 0, {0.25, 0.75, 0.0, 0.0});
  add("effSetChunk with NaN, infinity, 7.5 and -3", [](AEffect* e) {
    return SetChunk(e, 1, Chunk(true, {kNan, kInf, 7.5, -3.0}));
  }, 1, {0.0, 1.0, 1.0, 0.0});
  add("effSetChunk with -infinity and huge values", [](AEffect* e) {
    return SetChunk(e, 0, Chunk(true, {-kInf, 1e308, -1e308, 4.9e-324}));
  }, 1, {0.0, 1.0, 0.0, 4.9e-324});
  add("effSetChunk with a wrong magic (read as bare values from 0)", [](AEffect* e) {
    std::vector<unsigned char> c = Chunk(false, {0.25, 0.5, 0.0, 1.0, 0.0});
    return SetChunk(e, 1, c);
  }, 1, {0.25, 0.5, 0.0, 1.0});
  add("effSetChunk with version -1 and extra bytes", [](AEffect* e) {
    std::vector<unsigned char> c = Chunk(true, {0.125, 0.25, 1.0, 0.0, 0.9, 0.9}, -1);
    return SetChunk(e, 0, c);
  }, 1, {0.125, 0.25, 1.0, 0.0});
  add("effSetChunk with a negative size", [](AEffect* e) {
    std::vector<unsigned char> c = Chunk(true, {0.0, 0.0, 0.0, 0.0});
    return Dispatch(e, effSetChunk, 1, -40, c.data());
  }, 0, kDefaults);
  add("effSetChunk with a null pointer", [](AEffect* e) { return Dispatch(e, effSetChunk, 1, 40, nullptr); }, 0, kDefaults);
  add("effSetChunk handed the plug-in's own chunk buffer back", [](AEffect* e) {
    e->setParameter(e, 0, 0.25f);
    void* data = nullptr;
    const VstIntPtr size = Dispatch(e, effGetChunk, 1, 0, &data);
    e->setParameter(e, 0, 0.75f);
    return Dispatch(e, effSetChunk, 1, size, data);
  }, 1, {0.25, 0.5, 1.0, 1.0});
  add("effGetChunk with a null pointer", [](AEffect* e) { return Dispatch(e, effGetChunk, 0, 0, nullptr); }, 0, kDefaults);
  add("1000 random damaged chunks", [](AEffect* e) {
    unsigned s = 12345;
    for (int n = 0; n < 1000; ++n)
    {
      s = s * 1103515245u + 12345u;
      std::vector<unsigned char> c = Chunk((s >> 8) % 2, {0.5, 0.5, 1.0, 1.0});
      c.resize((s >> 12) % 50, (unsigned char) s);
      for (size_t i = 0; i < c.size(); i += 1 + (s >> 20) % 7) c[i] ^= (unsigned char) (s >> 3);
      SetChunk(e, (VstInt32) ((s >> 16) % 2), c);
    }
    return (VstIntPtr) 0;
  }, 0);

  // ---- Opcodes and pointers ----
  add("unknown and unsupported opcodes with garbage arguments", [](AEffect* e) {
    VstIntPtr sum = 0;
    const VstInt32 ops[] = {9, 16, 17, 18, 20, 21, 27, 28, 30, 31, 32, 36, 37, 38, 39, 40, 43, 44, 46, 49, 52, 54,
                            55, 56, 57, 59, 60, 61, 62, 63, 64, 65, 67, 68, 70, 71, 72, 73, 74, 75, 76, 77, 78,
                            79, 80, 200, 1000, -1, INT_MIN, INT_MAX};
    for (VstInt32 op : ops) sum |= Dispatch(e, op, -7, (VstIntPtr) -1, nullptr, kNanF);
    return sum;
  }, 0, kDefaults);
  add("a null pointer for every opcode that writes through one", [](AEffect* e) {
    VstIntPtr sum = 0;
    for (VstInt32 op : {4, 5, 6, 7, 8, 13, 23, 24, 25, 29, 33, 34, 45, 47, 48, 50, 51, 66})
      sum |= Dispatch(e, op, 0, 0, nullptr);
    for (VstInt32 op : {42, 69}) Dispatch(e, op, 0, 0, nullptr);  // both arrangements missing
    return sum;
  }, 0, kDefaults);
  add("a record without its object", [](AEffect* e) {
    AEffect orphan = *e;
    orphan.object = nullptr;
    float* none[2] = {nullptr, nullptr};
    orphan.processReplacing(&orphan, none, none, 64);
    orphan.setParameter(&orphan, 0, 0.0f);
    return orphan.dispatcher(&orphan, effGetVstVersion, 0, 0, nullptr, 0.0f) +
           IPlugVST::VSTDispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f) +
           (VstIntPtr) orphan.getParameter(&orphan, 0);
  }, 0, kDefaults);
  add("effSetProgramName with a 1000-character name", [](AEffect* e) {
    std::string name(1000, 'x');
    Dispatch(e, effSetProgramName, 0, 0, &name[0]);
    char back[256 + 16];
    std::memset(back, 0x55, sizeof back);
    Dispatch(e, effGetProgramName, 0, 0, back);
    return (VstIntPtr) (back[23] == '\0' && (unsigned char) back[24] == 0x55);  // cut to the 24-byte buffer
  }, 1, kDefaults);
  add("effCanDo with a 10000-character text", [](AEffect* e) {
    std::string text(10000, 'r');
    return Dispatch(e, effCanDo, 0, 0, &text[0]);
  }, 0, kDefaults);
  add("effSetProgram to -1, 16, INT_MAX and 2^40", [](AEffect* e) {
    for (VstIntPtr p : {(VstIntPtr) -1, (VstIntPtr) 16, (VstIntPtr) INT_MAX, (VstIntPtr) ((long long) 1 << 40 & (VstIntPtr) -1)})
      Dispatch(e, effSetProgram, 0, p);
    return Dispatch(e, effGetProgram);
  }, 0, kDefaults);
  add("effGetProgramNameIndexed at -1, 16 and INT_MIN", [](AEffect* e) {
    char text[256];
    VstIntPtr sum = 0;
    for (VstInt32 i : {-1, 16, INT_MIN}) sum += Dispatch(e, effGetProgramNameIndexed, i, 0, text);
    return sum;
  }, 0, kDefaults);
  add("parameter texts for index -1, 4 and INT_MAX", [](AEffect* e) {
    char text[256] = "untouched";
    for (VstInt32 op : {6, 7, 8})
      for (VstInt32 i : {-1, 4, INT_MAX}) Dispatch(e, op, i, 0, text);
    return (VstIntPtr) std::strcmp(text, "untouched");
  }, 0, kDefaults);
  add("effVendorSpecific formatting NaN, infinity and index 99", [](AEffect* e) {
    char text[256] = "";
    VstIntPtr sum = 0;
    sum += Dispatch(e, effVendorSpecific, 7, 0, text, kNanF);
    sum += Dispatch(e, effVendorSpecific, 7, 0, text, kInfF);
    sum += Dispatch(e, effVendorSpecific, 7, 0, text, -kInfF);
    sum += Dispatch(e, effVendorSpecific, 7, 99, text, 0.5f);
    return (VstIntPtr) (sum == 4 * 0xBEEF && std::strlen(text) < 8);
  }, 1, kDefaults);
  add("effGetInputProperties and effGetOutputProperties at -1, 2 and INT_MAX", [](AEffect* e) {
    VstPinProperties pin = {};
    VstIntPtr sum = 0;
    for (VstInt32 i : {-1, 2, INT_MAX}) sum += Dispatch(e, effGetInputProperties, i, 0, &pin) + Dispatch(e, effGetOutputProperties, i, 0, &pin);
    return sum;
  }, 0, kDefaults);
  add("effSetSpeakerArrangement with -5 and 1000 channels", [](AEffect* e) {
    VstSpeakerArrangement in = {}, out = {};
    in.numChannels = -5;
    out.numChannels = 1000;
    return Dispatch(e, effSetSpeakerArrangement, 0, (VstIntPtr) &in, &out);
  }, 1, kDefaults);
  add("effProcessEvents with -3 events, null entries and a foreign event type", [](AEffect* e) {
    VstEvents none = {};
    none.numEvents = -3;
    VstEvent foreign = {};
    foreign.type = 6;
    foreign.byteSize = (VstInt32) sizeof foreign;
    VstEvents some = {};
    some.numEvents = 2;
    some.events[0] = nullptr;
    some.events[1] = &foreign;
    return Dispatch(e, effProcessEvents, 0, 0, &none) + Dispatch(e, effProcessEvents, 0, 0, &some);
  }, 2, kDefaults);

  // ---- Audio configuration ----
  add("effSetBlockSize 0, -1, INT_MAX and 2^40 between blocks", [](AEffect* e) {
    for (VstIntPtr b : {(VstIntPtr) 0, (VstIntPtr) -1, (VstIntPtr) INT_MAX, (VstIntPtr) ((long long) 1 << 40 & (VstIntPtr) -1), (VstIntPtr) 16})
    {
      Dispatch(e, effSetBlockSize, 0, b);
      if (!AudioIsFinite(e, 100)) return (VstIntPtr) 1;
    }
    return (VstIntPtr) 0;
  }, 0, kDefaults);
  add("blocks of 100000 frames after block size 16", [](AEffect* e) {
    Dispatch(e, effSetBlockSize, 0, 16);
    return (VstIntPtr) !AudioIsFinite(e, 100000);
  }, 0, kDefaults);
  add("negative and zero frame counts", [](AEffect* e) {
    float marker[4] = {9, 9, 9, 9};
    float* outs[2] = {marker, marker + 2};
    float in[4] = {};
    float* ins[2] = {in, in + 2};
    double dm[4] = {9, 9, 9, 9};
    double* douts[2] = {dm, dm + 2};
    double din[4] = {};
    double* dins[2] = {din, din + 2};
    for (VstInt32 n : {0, -1, -100000, INT_MIN})
    {
      e->processReplacing(e, ins, outs, n);
      e->process(e, ins, outs, n);
      e->processDoubleReplacing(e, dins, douts, n);
    }
    return (VstIntPtr) (marker[0] != 9 || marker[3] != 9 || dm[0] != 9 || dm[3] != 9);
  }, 0, kDefaults);
  add("null channel arrays and null channels", [](AEffect* e) {
    float buf[64] = {};
    float* half[2] = {buf, nullptr};
    e->processReplacing(e, nullptr, nullptr, 64);
    e->processReplacing(e, half, half, 64);
    e->process(e, nullptr, half, 64);
    e->processDoubleReplacing(e, nullptr, nullptr, 64);
    return (VstIntPtr) !std::isfinite(buf[0]);
  }, 0, kDefaults);
  add("odd sample rates: 0, -44100, NaN, infinity, 1 Hz, 1e9 Hz, 1e-30 Hz", [](AEffect* e) {
    for (float rate : {0.0f, -44100.0f, kNanF, kInfF, 1.0f, 1e9f, 1e-30f, 3.0f})
    {
      Dispatch(e, effSetSampleRate, 0, 0, nullptr, rate);
      Dispatch(e, effMainsChanged, 0, 1);
      if (!AudioIsFinite(e, 300)) return (VstIntPtr) 1;
    }
    return (VstIntPtr) 0;
  }, 0, kDefaults);
  return rows;
}

}  // namespace

TEST(BadInput, EveryRowAnswersAsDocumentedAndLeavesAWorkingPlugin)
{
  StressHost host;
  for (const Row& row : Rows())
  {
    SCOPED_TRACE(row.input);
    AEffect* e = CreateEffect(StressHost::Callback());
    ASSERT_NE(e, nullptr);
    Dispatch(e, effOpen);
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    Dispatch(e, effSetBlockSize, 0, 512);
    Dispatch(e, effMainsChanged, 0, 1);

    const VstIntPtr result = row.act(e);
    if (row.result != kAnyResult)
    {
      EXPECT_EQ(result, row.result);
    }
    PlugExample* plug = PlugOf(e);
    EXPECT_TRUE(ParamsInRange(plug));
    if (!row.after.empty())
    {
      EXPECT_EQ(ParamValues(plug), row.after);
    }

    // Still a working plug-in: the rate back to normal, finite audio, a stable state round trip.
    Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Dispatch(e, effSetBlockSize, 0, 256);
    EXPECT_TRUE(AudioIsFinite(e, 1000));
    void* data = nullptr;
    const VstIntPtr size = Dispatch(e, effGetChunk, 1, 0, &data);
    ASSERT_EQ(size, 40);
    const std::vector<unsigned char> first((unsigned char*) data, (unsigned char*) data + size);
    const std::vector<double> values = ParamValues(plug);
    EXPECT_EQ(SetChunk(e, 1, first), 1);
    EXPECT_EQ(ParamValues(plug), values);
    ASSERT_EQ(Dispatch(e, effGetChunk, 0, 0, &data), 40);
    EXPECT_EQ(std::vector<unsigned char>((unsigned char*) data, (unsigned char*) data + 40), first);
    const VstIntPtr program = Dispatch(e, effGetProgram);
    EXPECT_TRUE(program >= 0 && program < e->numPrograms);
    Dispatch(e, effClose);
  }
}

// Without a host callback (a host that passes none) the plug-in is made, opened, configured,
// automated, edited and closed; every call on the host answers as a host that knows nothing.
TEST(BadInput, AMissingHostCallbackIsAHostThatAnswersNothing)
{
#ifndef TORVO_NO_EDITOR
  HeadlessWindowSystem& hs = Windows();
  const HWND hostWindow = hs.CreateHostWindow(0, 0, 300, 400);
#endif
  AEffect* e = CreateEffect(nullptr);
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  EXPECT_EQ(PlugOf(e)->GetHost(), 0) << "an unknown host";
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effMainsChanged, 0, 1);
  VstMidiEvent midi = {};
  midi.type = kVstMidiType;
  midi.byteSize = (VstInt32) sizeof midi;
  VstEvents events = {};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&midi);
  EXPECT_EQ(Dispatch(e, effProcessEvents, 0, 0, &events), 1);
#ifndef TORVO_NO_EDITOR
  ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, hostWindow), 1);
  HWND window = EditorOf(e)->WindowHandle();
  hs.FireTimer(window);
  // A knob drag 13 pixels down and a footswitch press: the gestures' calls on the host go nowhere.
  hs.Send(window, EditorMsg::kLButtonDown, EditorMsg::kButtonLeft, EditorMsg::PackPoint(147, 118));
  hs.Send(window, EditorMsg::kMouseMove, EditorMsg::kButtonLeft, EditorMsg::PackPoint(147, 131));
  hs.Send(window, EditorMsg::kLButtonUp, 0, EditorMsg::PackPoint(147, 131));
  hs.Send(window, EditorMsg::kLButtonDown, EditorMsg::kButtonLeft, EditorMsg::PackPoint(100, 205));
  hs.FireTimer(window);
  hs.Send(window, EditorMsg::kLButtonUp, 0, EditorMsg::PackPoint(100, 205));
  hs.FireTimer(window);
  EXPECT_EQ(PlugOf(e)->GetParam(PlugExample::kAttack)->Value(), 0.45);
  EXPECT_EQ(PlugOf(e)->GetParam(PlugExample::kEffect)->Value(), 0.0);
  EXPECT_EQ(Dispatch(e, effEditClose), 1);
  hs.DestroyWindow(hostWindow);
#endif
  EXPECT_TRUE(AudioIsFinite(e, 512));
  Dispatch(e, effClose);
}

#ifndef TORVO_NO_EDITOR
// "Effect" left between Off and On — by a state chunk (values are limited to the range, not
// snapped) or by host automation of the footswitch's hidden toggle — never stops the footswitch:
// every press turns the effect the other way, and the LED follows.
TEST(BadInput, EffectBetweenOffAndOnLeavesAWorkingFootswitch)
{
  struct Case
  {
    const char* what;
    std::function<void(AEffect*)> setup;
    bool onBefore;
  };
  const Case cases[] = {
    {"chunk with Effect 0.5", [](AEffect* e) { SetChunk(e, 1, Chunk(true, {0.5, 0.5, 0.5, 1.0})); }, false},
    {"chunk with Effect 0.875", [](AEffect* e) { SetChunk(e, 1, Chunk(true, {0.5, 0.5, 0.875, 1.0})); }, false},
    {"chunk with Effect 0.125", [](AEffect* e) { SetChunk(e, 1, Chunk(true, {0.5, 0.5, 0.125, 1.0})); }, false},
    {"host automation 0.7", [](AEffect* e) { e->setParameter(e, 2, 0.7f); }, true},
    {"host automation 0.3", [](AEffect* e) { e->setParameter(e, 2, 0.3f); }, false},
    {"host automation 0.5", [](AEffect* e) { e->setParameter(e, 2, 0.5f); }, true},
  };
  HeadlessWindowSystem& hs = Windows();
  const HWND hostWindow = hs.CreateHostWindow(0, 0, 300, 400);
  StressHost host;
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.what);
    AEffect* e = CreateEffect(StressHost::Callback());
    Dispatch(e, effOpen);
    ASSERT_EQ(Dispatch(e, effEditOpen, 0, 0, hostWindow), 1);
    HWND window = EditorOf(e)->WindowHandle();
    hs.FireTimer(window);
    c.setup(e);
    PlugExample* plug = PlugOf(e);
    IControl* led = EditorOf(e)->GetControl(plug->LedControlIndex());
    EXPECT_EQ(plug->EffectOn(), c.onBefore);
    EXPECT_EQ(led->GetValue(), c.onBefore ? 1.0 : 0.0);
    bool on = c.onBefore;
    for (int press = 0; press < 3; ++press)
    {
      const int told = host.Count(audioMasterAutomate, PlugExample::kEffect);
      hs.Send(window, EditorMsg::kLButtonDown, EditorMsg::kButtonLeft, EditorMsg::PackPoint(100, 205));
      hs.FireTimer(window);
      hs.Send(window, EditorMsg::kLButtonUp, 0, EditorMsg::PackPoint(100, 205));
      hs.FireTimer(window);
      on = !on;
      EXPECT_EQ(plug->EffectOn(), on) << "press " << press;
      EXPECT_EQ(led->GetValue(), on ? 1.0 : 0.0) << "press " << press;
      EXPECT_EQ(host.Count(audioMasterAutomate, PlugExample::kEffect), told + 1) << "press " << press;
    }
    Dispatch(e, effClose);
  }
  hs.DestroyWindow(hostWindow);
}
#endif
