// libFuzzer target: sequences of host calls on one instance: dispatcher opcodes with arbitrary
// index, value and opt and a well-formed buffer for ptr as each opcode expects it (texts of 256
// bytes and more, an ERect*, pin properties, speaker arrangements, events, a MIDI key name),
// interleaved with parameter calls and audio blocks of every entry. effClose comes only at the
// end; effEditOpen meets the native build's headless window system, which opens no window.
//
// Stops the run when a block yields a non-finite sample, a parameter leaves its range, or a call
// writes past the text a host buffer must hold.

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstring>
#include <limits>

#include "FuzzPlugin.h"

using namespace fuzzplug;

namespace
{

constexpr int kTextBuffer = 256;  // what any text the plug-in writes must fit in
constexpr int kGuard = 256;
constexpr unsigned char kGuardByte = 0xA5;

float PickFloat(FuzzedDataProvider& fdp)
{
  const float specials[] = {0.0f, 0.5f, 1.0f, -1.0f, 44100.0f, 48000.0f, 96000.0f, 1e9f, -0.0f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e-30f, 3.0f};
  if (fdp.ConsumeBool()) return fdp.PickValueInArray(specials);
  return fdp.ConsumeFloatingPoint<float>();
}

VstIntPtr PickValue(FuzzedDataProvider& fdp)
{
  switch (fdp.ConsumeIntegralInRange<int>(0, 3))
  {
    case 0: return fdp.ConsumeIntegralInRange<VstIntPtr>(-2, 20);
    case 1: return fdp.ConsumeIntegralInRange<VstIntPtr>(-100000, 100000);
    case 2: return (VstIntPtr) fdp.ConsumeIntegral<int32_t>();
    default: return fdp.ConsumeIntegral<VstIntPtr>();
  }
}

VstInt32 PickIndex(FuzzedDataProvider& fdp)
{
  if (fdp.ConsumeBool()) return fdp.ConsumeIntegralInRange<VstInt32>(-2, 20);
  return fdp.ConsumeIntegral<VstInt32>();
}

// A text buffer: kTextBuffer bytes the plug-in may write, then a guard it must leave alone.
struct TextBuffer
{
  unsigned char bytes[kTextBuffer + kGuard];
  TextBuffer() { std::memset(bytes, kGuardByte, sizeof bytes); }
  void Fill(FuzzedDataProvider& fdp)
  {
    const std::string s = fdp.ConsumeRandomLengthString(kTextBuffer - 1);
    std::memcpy(bytes, s.c_str(), s.size() + 1);
  }
  void Check() const
  {
    for (int i = kTextBuffer; i < kTextBuffer + kGuard; ++i)
      Require(bytes[i] == kGuardByte, "a text written past 256 bytes");
  }
};

void AudioBlock(AEffect* e, FuzzedDataProvider& fdp)
{
  const int kind = fdp.ConsumeIntegralInRange<int>(0, 2);
  int frames = fdp.ConsumeIntegralInRange<int>(0, 2048);
  if (fdp.ConsumeIntegralInRange<int>(0, 15) == 0) frames = fdp.ConsumeIntegralInRange<int>(-100, 20000);
  const bool missingChannel = fdp.ConsumeIntegralInRange<int>(0, 7) == 0;
  const int n = frames > 0 ? frames : 1;
  const float level = (float) fdp.ConsumeFloatingPointInRange<double>(-4.0, 4.0);
  if (kind == 2)
  {
    std::vector<double> in0(n, level), in1(n, -level * 0.5), out0(n, 0.0), out1(n, 0.0);
    double* ins[2] = {in0.data(), missingChannel ? nullptr : in1.data()};
    double* outs[2] = {out0.data(), out1.data()};
    e->processDoubleReplacing(e, ins, outs, frames);
    for (int i = 0; i < frames; ++i) Require(std::isfinite(out0[i]) && std::isfinite(out1[i]), "a non-finite sample");
    return;
  }
  std::vector<float> in0(n, level), in1(n, -level * 0.5f), out0(n, 0.0f), out1(n, 0.0f);
  float* ins[2] = {in0.data(), in1.data()};
  float* outs[2] = {out0.data(), missingChannel ? nullptr : out1.data()};
  if (kind == 0) e->processReplacing(e, ins, outs, frames);
  else e->process(e, ins, outs, frames);
  for (int i = 0; i < frames; ++i) Require(std::isfinite(out0[i]) && std::isfinite(out1[i]), "a non-finite sample");
}

void DispatcherCall(AEffect* e, FuzzedDataProvider& fdp)
{
  static const VstInt32 kKnown[] = {0, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 19, 22, 23, 24, 25, 26, 29, 33,
                                    34, 35, 41, 42, 45, 47, 48, 50, 51, 53, 58, 66, 69};
  VstInt32 op = fdp.ConsumeBool() ? fdp.PickValueInArray(kKnown) : fdp.ConsumeIntegralInRange<VstInt32>(-5, 90);
  if (op == effClose) op = effGetVstVersion;  // the instance ends only at the end
  VstInt32 index = PickIndex(fdp);
  VstIntPtr value = PickValue(fdp);
  const float opt = PickFloat(fdp);

  switch (op)
  {
    case effSetBlockSize:
      // Sizes up to 70000 and below zero. Sizes the adapter must cap make it allocate its largest
      // buffers (tens of megabytes), which would slow every run down: the bad-input table tries them.
      value = fdp.ConsumeIntegralInRange<VstIntPtr>(-10, fdp.ConsumeBool() ? 4096 : 70000);
      Dispatch(e, op, index, value, nullptr, opt);
      return;
    case effEditGetRect:
    {
      ERect* rect = nullptr;
      if (Dispatch(e, op, index, value, &rect, opt) == 1)
        Require(rect && rect->bottom - rect->top == 326 && rect->right - rect->left == 213, "a wrong editor rectangle");
      return;
    }
    case effGetChunk:
    {
      void* out = nullptr;
      const VstIntPtr n = Dispatch(e, op, index, value, &out, opt);
      Require(n == 40 && out != nullptr, "effGetChunk did not give 40 bytes");
      return;
    }
    case effSetChunk:
    {
      std::vector<unsigned char> bytes = fdp.ConsumeBytes<unsigned char>(fdp.ConsumeIntegralInRange<size_t>(0, 64));
      unsigned char none = 0;
      const VstIntPtr claimed = fdp.ConsumeBool() ? (VstIntPtr) bytes.size()
                                                  : fdp.ConsumeIntegralInRange<VstIntPtr>(-5, (VstIntPtr) bytes.size());
      Dispatch(e, op, index, claimed, bytes.empty() ? &none : bytes.data(), opt);
      return;
    }
    case effProcessEvents:
    {
      const int count = fdp.ConsumeIntegralInRange<int>(0, 8);
      std::vector<VstEvent> events((size_t) count);
      // VstEvents declares two entries; room for more follows it, as hosts lay it out.
      std::vector<unsigned char> block(sizeof(VstEvents) + sizeof(VstEvent*) * 8, 0);
      VstEvents* list = reinterpret_cast<VstEvents*>(block.data());
      VstEvent** slots = list->events;  // the declared two entries and the room behind them
      list->numEvents = fdp.ConsumeIntegralInRange<int>(0, 15) == 0 ? fdp.ConsumeIntegralInRange<int>(-10, 0) : count;
      for (int i = 0; i < count; ++i)
      {
        VstEvent& ev = events[(size_t) i];
        ev.type = fdp.ConsumeBool() ? kVstMidiType : fdp.ConsumeIntegralInRange<int>(-1, 8);
        ev.byteSize = (VstInt32) sizeof(VstEvent);
        ev.deltaFrames = fdp.ConsumeIntegral<VstInt32>();
        for (char& c : ev.data) c = (char) fdp.ConsumeIntegral<uint8_t>();
        slots[i] = fdp.ConsumeIntegralInRange<int>(0, 9) == 0 ? nullptr : &ev;
      }
      Dispatch(e, op, index, value, list, opt);
      return;
    }
    case effGetInputProperties:
    case effGetOutputProperties:
    {
      VstPinProperties pin;
      std::memset(&pin, kGuardByte, sizeof pin);
      if (Dispatch(e, op, index, value, &pin, opt) == 1)
        Require(std::memchr(pin.label, 0, sizeof pin.label) != nullptr, "a pin label without its end");
      return;
    }
    case effSetSpeakerArrangement:
    {
      VstSpeakerArrangement in = {}, out = {};
      in.numChannels = fdp.ConsumeIntegralInRange<int>(-3, 10);
      out.numChannels = fdp.ConsumeIntegralInRange<int>(-3, 10);
      Dispatch(e, op, index, fdp.ConsumeBool() ? (VstIntPtr) &in : 0, fdp.ConsumeBool() ? &out : nullptr, opt);
      return;
    }
    case effGetSpeakerArrangement:
    {
      VstSpeakerArrangement* in = nullptr;
      VstSpeakerArrangement* out = nullptr;
      Dispatch(e, op, index, fdp.ConsumeBool() ? (VstIntPtr) &in : 0, fdp.ConsumeBool() ? &out : nullptr, opt);
      return;
    }
    case effGetMidiKeyName:
    {
      MidiKeyName key;
      std::memset(&key, kGuardByte, sizeof key);
      key.thisProgramIndex = index;
      key.thisKeyNumber = fdp.ConsumeIntegral<VstInt32>();
      Dispatch(e, op, index, value, &key, opt);
      Require(std::memchr(key.keyName, 0, sizeof key.keyName) != nullptr, "a key name without its end");
      return;
    }
    case effEditOpen:
      // The headless window system opens no window unless a test enables it: the dispatcher must
      // report that.
      Require(Dispatch(e, op, index, value, nullptr, opt) == 0, "an editor window opened without a window system");
      return;
    default:
    {
      // Texts and everything else: a 256-byte text (the input for effSetProgramName and effCanDo)
      // with a guard behind it, or no pointer at all.
      TextBuffer text;
      text.Fill(fdp);
      const bool withPtr = fdp.ConsumeIntegralInRange<int>(0, 7) != 0;
      Dispatch(e, op, index, value, withPtr ? text.bytes : nullptr, opt);
      text.Check();
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > 8192) return 0;
  FuzzedDataProvider fdp(data, size);
  AEffect* e = Create();
  Require(e != nullptr, "no instance");
  if (fdp.ConsumeBool()) Dispatch(e, effOpen);
  for (int step = 0; step < 64 && fdp.remaining_bytes() > 0; ++step)
  {
    switch (fdp.ConsumeIntegralInRange<int>(0, 9))
    {
      case 0: case 1: case 2:
        AudioBlock(e, fdp);
        break;
      case 3:
        e->setParameter(e, PickIndex(fdp), PickFloat(fdp));
        break;
      case 4:
      {
        const float v = e->getParameter(e, PickIndex(fdp));
        Require(v >= 0.0f && v <= 1.0f, "getParameter outside 0..1");
        break;
      }
      default:
        DispatcherCall(e, fdp);
        break;
    }
  }
  RequireParamsInRange(e);
  Dispatch(e, effSetBlockSize, 0, 512);
  RequireFiniteBlock(e, 512);
  Dispatch(e, effClose);
  return 0;
}
