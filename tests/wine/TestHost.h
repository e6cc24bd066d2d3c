#pragma once
// A minimal VST 2 host side shared by the Windows test host and the native reference writer:
// the host callback (which records every call the plug-in makes on it), the fixed input signal,
// the table of rendering cases and the routine that renders one case through an effect record.
// Everything here goes through the AEffect function pointers only, exactly as a host does, so the
// same code drives the Windows DLL and the native module.

#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

#include "vst/VstAbi.h"

namespace testhost {

// ---- The host callback and its record of calls ----

struct HostCall
{
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

inline std::mutex& CallMutex()
{
  static std::mutex m;
  return m;
}

inline std::vector<HostCall>& CallLog()
{
  static std::vector<HostCall> log;
  return log;
}

inline void ClearCalls()
{
  std::lock_guard<std::mutex> lock(CallMutex());
  CallLog().clear();
}

inline std::vector<HostCall> Calls()
{
  std::lock_guard<std::mutex> lock(CallMutex());
  return CallLog();
}

constexpr const char* kHostProductName = "Torvo Test Host";

inline VstIntPtr VSTCALLBACK HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt)
{
  {
    std::lock_guard<std::mutex> lock(CallMutex());
    CallLog().push_back(HostCall{opcode, index, value, opt});
  }
  switch (opcode)
  {
    case 1:  // audioMasterVersion
      return 2400;
    case audioMasterGetTime:
    {
      static VstTimeInfo info;
      std::memset(&info, 0, sizeof info);
      info.sampleRate = 44100.0;
      info.tempo = 120.0;
      info.timeSigNumerator = 4;
      info.timeSigDenominator = 4;
      info.flags = kVstTempoValid | kVstTimeSigValid;
      return (VstIntPtr) &info;
    }
    case audioMasterGetProductString:
      if (ptr)
        std::strcpy((char*) ptr, kHostProductName);
      return 1;
    case audioMasterGetVendorVersion:
      return 1000;
    default:
      return 0;
  }
}

// ---- The fixed input signal ----
// Built from integer and basic IEEE arithmetic only (no library functions), so both platforms
// produce bit-identical inputs. The first 512 frames are silence, which lets the tiny input noise
// table of the effect show up in the comparison too.

constexpr int kRefFrames = 8192;
constexpr int kRefBlock = 300;  // 27 full blocks and one of 92 frames
constexpr int kRefSilentFrames = 512;

inline void MakeInput(std::vector<double>& left, std::vector<double>& right)
{
  left.assign(kRefFrames, 0.0);
  right.assign(kRefFrames, 0.0);
  uint32_t state = 12345u;
  for (int i = kRefSilentFrames; i < kRefFrames; ++i)
  {
    state = state * 1664525u + 1013904223u;
    const double noise = ((double) (int32_t) (state >> 8) - 8388608.0) / 8388608.0;  // -1..1
    const double saw = (double) ((i * 7) % 200) / 100.0 - 1.0;
    const int t = i % 160;
    const double tri = (t < 80 ? (double) t : (double) (160 - t)) / 40.0 - 1.0;
    const double env = (double) (i % 4096) / 4096.0;
    left[i] = 0.3 * saw * env + 0.02 * noise;
    right[i] = 0.2 * tri * (1.0 - env);
  }
}

// ---- The rendering cases ----

struct RefCase
{
  const char* name;
  float sampleRate;
  bool doublePrecision;
  float params[4];  // normalised values of Level, Attack, Effect, Cabinet
};

inline const std::vector<RefCase>& RefCases()
{
  static const std::vector<RefCase> cases = {
    {"defaults, 44100 Hz, 32-bit", 44100.f, false, {0.5f, 0.5f, 1.f, 1.f}},
    {"defaults, 44100 Hz, 64-bit", 44100.f, true, {0.5f, 0.5f, 1.f, 1.f}},
    {"Attack 1 Cabinet Off, 44100 Hz, 32-bit", 44100.f, false, {0.5f, 1.f, 1.f, 0.f}},
    {"Attack 1 Cabinet Off, 44100 Hz, 64-bit", 44100.f, true, {0.5f, 1.f, 1.f, 0.f}},
    {"Effect Off, 44100 Hz, 32-bit", 44100.f, false, {0.5f, 0.5f, 0.f, 1.f}},
    {"Effect Off, 44100 Hz, 64-bit", 44100.f, true, {0.5f, 0.5f, 0.f, 1.f}},
    {"defaults, 48000 Hz, 32-bit", 48000.f, false, {0.5f, 0.5f, 1.f, 1.f}},
    {"defaults, 48000 Hz, 64-bit", 48000.f, true, {0.5f, 0.5f, 1.f, 1.f}},
    {"Attack 1 Cabinet Off, 48000 Hz, 32-bit", 48000.f, false, {0.5f, 1.f, 1.f, 0.f}},
    {"Attack 1 Cabinet Off, 48000 Hz, 64-bit", 48000.f, true, {0.5f, 1.f, 1.f, 0.f}},
    {"Effect Off, 48000 Hz, 32-bit", 48000.f, false, {0.5f, 0.5f, 0.f, 1.f}},
    {"Effect Off, 48000 Hz, 64-bit", 48000.f, true, {0.5f, 0.5f, 0.f, 1.f}},
  };
  return cases;
}

typedef AEffect*(VSTCALLBACK* PluginEntry)(audioMasterCallback);

// Where the host's block buffers lie. By default each is its own allocation of exactly one block,
// as most hosts have them. With a margin, each buffer sits inside a larger allocation whose other
// elements hold `guard`, so reads outside the block show up as changed samples and writes outside
// it as damaged guards; alignOffset >= 0 then puts the buffers that many samples past a 64-byte
// boundary.
struct RenderLayout
{
  bool margin = false;
  int alignOffset = -1;
  double guard = 0.0;
  // Block sizes used in turn (the host's block size is their largest); empty: kRefBlock throughout.
  std::vector<int> blocks;
};

// Renders one case through a fresh instance made by `entry`, the way a host sets an effect up:
// open, sample rate, block size, mains on, parameters, then the blocks; mains off and close.
// The outputs come back as doubles (a 32-bit case's floats widened exactly). The native writer
// and the Windows host call this in the same order, so the effect's process-wide noise generator
// walks the same sequence on both sides. guardsIntact (if given) tells whether every element
// outside the blocks kept its guard value.
inline bool RenderCase(PluginEntry entry, const RefCase& c, const std::vector<double>& inL,
                       const std::vector<double>& inR, std::vector<double>& outL, std::vector<double>& outR,
                       const RenderLayout& layout = RenderLayout(), bool* guardsIntact = nullptr)
{
  AEffect* e = entry(HostCallback);
  if (!e || e->magic != kEffectMagic)
    return false;
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, c.sampleRate);
  int blockSize = kRefBlock;
  if (!layout.blocks.empty())
  {
    blockSize = 1;
    for (int b : layout.blocks)
      blockSize = b > blockSize ? b : blockSize;
  }
  e->dispatcher(e, effSetBlockSize, 0, blockSize, nullptr, 0.f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.f);
  for (int p = 0; p < 4; ++p)
    e->setParameter(e, p, c.params[p]);

  outL.assign(kRefFrames, 0.0);
  outR.assign(kRefFrames, 0.0);
  const size_t lead = layout.margin ? 64 : 0;
  const size_t room = layout.margin ? blockSize + 2 * lead : blockSize;
  std::vector<float> fStore[4];
  std::vector<double> dStore[4];
  size_t fAt[4], dAt[4];  // index of each block's first sample in its store
  auto place = [&](auto& store, size_t& at, auto guard) {
    store.assign(room, guard);
    at = lead;
    if (layout.margin && layout.alignOffset >= 0)
    {
      while (((uintptr_t) (store.data() + at)) % 64 != 0)
        ++at;
      at += (size_t) layout.alignOffset;
    }
  };
  for (int k = 0; k < 4; ++k)
  {
    place(fStore[k], fAt[k], (float) layout.guard);
    place(dStore[k], dAt[k], layout.guard);
  }
  float* const fInL = fStore[0].data() + fAt[0];
  float* const fInR = fStore[1].data() + fAt[1];
  float* const fOutL = fStore[2].data() + fAt[2];
  float* const fOutR = fStore[3].data() + fAt[3];
  double* const dInL = dStore[0].data() + dAt[0];
  double* const dInR = dStore[1].data() + dAt[1];
  double* const dOutL = dStore[2].data() + dAt[2];
  double* const dOutR = dStore[3].data() + dAt[3];

  size_t turn = 0;
  for (int start = 0, n = 0; start < kRefFrames; start += n)
  {
    n = layout.blocks.empty() ? kRefBlock : layout.blocks[turn++ % layout.blocks.size()];
    n = kRefFrames - start < n ? kRefFrames - start : n;
    if (c.doublePrecision)
    {
      for (int i = 0; i < n; ++i)
      {
        dInL[i] = inL[start + i];
        dInR[i] = inR[start + i];
      }
      double* ins[2] = {dInL, dInR};
      double* outs[2] = {dOutL, dOutR};
      e->processDoubleReplacing(e, ins, outs, n);
      for (int i = 0; i < n; ++i)
      {
        outL[start + i] = dOutL[i];
        outR[start + i] = dOutR[i];
      }
    }
    else
    {
      for (int i = 0; i < n; ++i)
      {
        fInL[i] = (float) inL[start + i];
        fInR[i] = (float) inR[start + i];
      }
      float* ins[2] = {fInL, fInR};
      float* outs[2] = {fOutL, fOutR};
      e->processReplacing(e, ins, outs, n);
      for (int i = 0; i < n; ++i)
      {
        outL[start + i] = fOutL[i];
        outR[start + i] = fOutR[i];
      }
    }
  }
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);

  if (guardsIntact)
  {
    // Bit patterns are compared, so a NaN guard counts as kept.
    bool intact = true;
    const float fGuard = (float) layout.guard;
    for (int k = 0; k < 4; ++k)
      for (size_t i = 0; i < room; ++i)
      {
        if (i < fAt[k] || i >= fAt[k] + blockSize)
          intact = intact && std::memcmp(&fStore[k][i], &fGuard, sizeof fGuard) == 0;
        if (i < dAt[k] || i >= dAt[k] + blockSize)
          intact = intact && std::memcmp(&dStore[k][i], &layout.guard, sizeof(double)) == 0;
      }
    *guardsIntact = intact;
  }
  return true;
}

// ---- The reference file ----
// "TMRF", version, frame count, case count (32-bit little-endian each), then the two input
// channels, then per case its two output channels, all as 64-bit doubles.

constexpr uint32_t kRefMagic = 0x46524D54;  // "TMRF" read as a little-endian word
constexpr uint32_t kRefVersion = 1;

}  // namespace testhost
