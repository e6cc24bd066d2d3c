// The audio entries (32-bit accumulating and replacing, 64-bit replacing) and the parameter
// entries, driven through the record's function pointers.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/AllocationCounter.h"
#include "TestHost.h"
#include "TestPlug.h"

namespace
{

enum class Entry { Accumulating, Replacing, Double };
const char* EntryName(Entry e)
{
  return e == Entry::Accumulating ? "process" : e == Entry::Replacing ? "processReplacing" : "processDoubleReplacing";
}

// Host-side buffers for one block: channels of n frames, 32-bit and 64-bit copies, with guard
// samples after each channel.
struct Block
{
  static constexpr int kGuard = 8;
  static constexpr float kGuardValue = 1234.5f;

  Block(int channels, int frames) : n(frames)
  {
    for (int c = 0; c < channels; ++c) {
      inF.emplace_back(frames + kGuard, kGuardValue);
      outF.emplace_back(frames + kGuard, kGuardValue);
      inD.emplace_back(frames + kGuard, kGuardValue);
      outD.emplace_back(frames + kGuard, kGuardValue);
      for (int s = 0; s < frames; ++s) {
        // Values exact in 32 bits, different per channel and sample.
        const float v = (float) ((c + 1) * 0.125 + s / 1024.0);
        inF[c][s] = v;
        inD[c][s] = v;
      }
    }
    for (auto& v : inF) inPtrF.push_back(v.data());
    for (auto& v : outF) outPtrF.push_back(v.data());
    for (auto& v : inD) inPtrD.push_back(v.data());
    for (auto& v : outD) outPtrD.push_back(v.data());
  }

  void FillOutputs(double value)
  {
    for (auto& v : outF) std::fill(v.begin(), v.begin() + n, (float) value);
    for (auto& v : outD) std::fill(v.begin(), v.begin() + n, value);
  }

  void Run(AEffect* e, Entry entry, int frames)
  {
    switch (entry) {
      case Entry::Accumulating: e->process(e, inPtrF.data(), outPtrF.data(), frames); break;
      case Entry::Replacing: e->processReplacing(e, inPtrF.data(), outPtrF.data(), frames); break;
      case Entry::Double: e->processDoubleReplacing(e, inPtrD.data(), outPtrD.data(), frames); break;
    }
  }

  double Out(Entry entry, int c, int s) const { return entry == Entry::Double ? outD[c][s] : (double) outF[c][s]; }
  double In(int c, int s) const { return inD[c][s]; }
  bool GuardsIntact(Entry entry) const
  {
    for (size_t c = 0; c < outF.size(); ++c) {
      for (int s = n; s < n + kGuard; ++s) {
        if (Out(entry, (int) c, s) != kGuardValue) return false;
      }
    }
    return true;
  }

  int n;
  std::vector<std::vector<float>> inF, outF;
  std::vector<std::vector<double>> inD, outD;
  std::vector<float*> inPtrF, outPtrF;
  std::vector<double*> inPtrD, outPtrD;
};

const Entry kEntries[] = {Entry::Accumulating, Entry::Replacing, Entry::Double};

}  // namespace

TEST(AudioEntries, PassThroughAndAccumulation)
{
  // With the base's pass-through each output carries its input; the accumulating entry adds it to
  // what the host's output held (0.5 here).
  TestHost host;
  for (Entry entry : kEntries) {
    SCOPED_TRACE(EntryName(entry));
    PlugHandle p(new TestPlug(TestHost::Callback()));
    Block b(2, 256);
    b.FillOutputs(0.5);
    b.Run(p.effect, entry, 256);
    EXPECT_EQ(p->processCalls, 1);
    for (int c = 0; c < 2; ++c) {
      for (int s = 0; s < 256; ++s) {
        const double expect = entry == Entry::Accumulating ? (double) (0.5f + (float) b.In(c, s)) : b.In(c, s);
        ASSERT_EQ(b.Out(entry, c, s), expect) << "channel " << c << " sample " << s;
      }
    }
    EXPECT_TRUE(b.GuardsIntact(entry));
  }
}

TEST(AudioEntries, ConstantResultReplacesOrAdds)
{
  TestHost host;
  for (Entry entry : kEntries) {
    SCOPED_TRACE(EntryName(entry));
    PlugHandle p(new TestPlug(TestHost::Callback()));
    p->constantOutput = true;
    p->outputValue = 0.25;
    Block b(2, 64);
    b.FillOutputs(0.5);
    b.Run(p.effect, entry, 64);
    const double expect = entry == Entry::Accumulating ? 0.75 : 0.25;
    for (int c = 0; c < 2; ++c) {
      for (int s = 0; s < 64; ++s) ASSERT_EQ(b.Out(entry, c, s), expect) << c << " " << s;
    }
  }
}

TEST(AudioEntries, DoublePathUsesTheHostArrays)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  Block b(2, 32);
  b.Run(p.effect, Entry::Double, 32);
  EXPECT_EQ(p->lastInputs[0], b.inPtrD[0]);
  EXPECT_EQ(p->lastOutputs[0], b.outPtrD[0]);
}

TEST(AudioEntries, ZeroAndNegativeFrameCounts)
{
  TestHost host;
  struct Case { int frames; int expectCalls; };
  for (Entry entry : kEntries) {
    for (Case c : {Case{0, 1}, Case{-1, 0}, Case{-100000, 0}}) {
      SCOPED_TRACE(std::string(EntryName(entry)) + " frames " + std::to_string(c.frames));
      PlugHandle p(new TestPlug(TestHost::Callback()));
      Block b(2, 16);
      b.FillOutputs(0.5);
      b.Run(p.effect, entry, c.frames);
      EXPECT_EQ(p->processCalls, c.expectCalls);
      if (c.expectCalls) {
        EXPECT_EQ(p->processFrames, std::vector<int>{0});
      }
      for (int ch = 0; ch < 2; ++ch) {
        for (int s = 0; s < 16; ++s) ASSERT_EQ(b.Out(entry, ch, s), 0.5) << "outputs untouched";
      }
    }
  }
}

// A 32-bit block longer than the host's block size goes through in slices of the block size; the
// result is the same as in one piece and nothing is allocated.
TEST(AudioEntries, LongBlocksInSlices)
{
  TestHost host;
  struct Case { int blockSize; int frames; std::vector<int> slices; };
  const Case cases[] = {
    {64, 1000, {64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 40}},
    {64, 128, {64, 64}},
    {64, 64, {64}},
    {1, 3, {1, 1, 1}},
    {512, 100, {100}},
  };
  for (Entry entry : {Entry::Accumulating, Entry::Replacing}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(EntryName(entry)) + " block " + std::to_string(c.blockSize) + " frames " +
                   std::to_string(c.frames));
      PlugHandle p(new TestPlug(TestHost::Callback()));
      Dispatch(p.effect, effSetBlockSize, 0, c.blockSize);
      Block b(2, c.frames);
      b.FillOutputs(0.0);
      long allocations = 0;
      {
        AllocationCounter count;
        b.Run(p.effect, entry, c.frames);
        allocations = count.Count();
      }
      EXPECT_EQ(allocations, 0);
      EXPECT_EQ(p->processFrames, c.slices);
      for (int ch = 0; ch < 2; ++ch) {
        for (int s = 0; s < c.frames; ++s) ASSERT_EQ(b.Out(entry, ch, s), b.In(ch, s)) << ch << " " << s;
      }
      EXPECT_TRUE(b.GuardsIntact(entry));
    }
  }
}

TEST(AudioEntries, DoubleBlocksLongerThanTheBlockSize)
{
  TestHost host;
  {
    // All channels connected: the effect gets the host's arrays in one piece.
    PlugHandle p(new TestPlug(TestHost::Callback()));
    Dispatch(p.effect, effSetBlockSize, 0, 64);
    Block b(2, 1000);
    AllocationCounter count;
    b.Run(p.effect, Entry::Double, 1000);
    EXPECT_EQ(count.Count(), 0);
    EXPECT_EQ(p->processFrames, std::vector<int>{1000});
    for (int s = 0; s < 1000; ++s) ASSERT_EQ(b.Out(Entry::Double, 1, s), b.In(1, s)) << s;
  }
  {
    // One input not connected reads its one-block scratch: slices keep it inside.
    PlugHandle p(new TestPlug(TestHost::Callback()));
    Dispatch(p.effect, effSetBlockSize, 0, 64);
    VstSpeakerArrangement in = {}, out = {};
    in.numChannels = 1;
    out.numChannels = 2;
    Dispatch(p.effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    Block b(2, 200);
    b.inPtrD.resize(1);
    b.Run(p.effect, Entry::Double, 200);
    EXPECT_EQ(p->processFrames, (std::vector<int>{64, 64, 64, 8}));
    for (int s = 0; s < 200; ++s) {
      ASSERT_EQ(b.Out(Entry::Double, 0, s), b.In(0, s)) << s;
      ASSERT_EQ(b.Out(Entry::Double, 1, s), 0.0) << s;
    }
  }
}

// With a single input connected, the second input reads its scratch: zeros after the block size
// was set.
TEST(AudioEntries, UnconnectedInputReadsItsScratch)
{
  TestHost host;
  for (Entry entry : kEntries) {
    SCOPED_TRACE(EntryName(entry));
    PlugHandle p(new TestPlug(TestHost::Callback()));
    Dispatch(p.effect, effSetBlockSize, 0, 128);
    VstSpeakerArrangement in = {}, out = {};
    in.numChannels = 1;
    out.numChannels = 2;
    Dispatch(p.effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    Block b(2, 128);
    b.inPtrF.resize(1);
    b.inPtrD.resize(1);
    b.FillOutputs(0.0);
    b.Run(p.effect, entry, 128);
    for (int s = 0; s < 128; ++s) {
      ASSERT_EQ(b.Out(entry, 0, s), b.In(0, s)) << s;
      ASSERT_EQ(b.Out(entry, 1, s), 0.0) << s;
    }
  }
}

// Missing channel arrays are absent channels: silence in, nowhere out; nothing crashes.
TEST(AudioEntries, MissingChannelArrays)
{
  struct Case
  {
    const char* what;
    bool inputsArray, outputsArray;
    bool in0, in1, out0, out1;
  };
  const Case cases[] = {
    {"no input array", false, true, true, true, true, true},
    {"no output array", true, false, true, true, true, true},
    {"neither array", false, false, true, true, true, true},
    {"input 1 missing", true, true, true, false, true, true},
    {"output 0 missing", true, true, true, true, false, true},
    {"everything missing inside", true, true, false, false, false, false},
  };
  TestHost host;
  for (Entry entry : kEntries) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(EntryName(entry)) + ": " + c.what);
      PlugHandle p(new TestPlug(TestHost::Callback()));
      Dispatch(p.effect, effSetBlockSize, 0, 64);
      Block b(2, 100);  // longer than the block size on purpose
      b.FillOutputs(0.0);
      if (!c.in0) b.inPtrF[0] = nullptr, b.inPtrD[0] = nullptr;
      if (!c.in1) b.inPtrF[1] = nullptr, b.inPtrD[1] = nullptr;
      if (!c.out0) b.outPtrF[0] = nullptr, b.outPtrD[0] = nullptr;
      if (!c.out1) b.outPtrF[1] = nullptr, b.outPtrD[1] = nullptr;
      switch (entry) {
        case Entry::Accumulating:
          p.effect->process(p.effect, c.inputsArray ? b.inPtrF.data() : nullptr,
                            c.outputsArray ? b.outPtrF.data() : nullptr, 100);
          break;
        case Entry::Replacing:
          p.effect->processReplacing(p.effect, c.inputsArray ? b.inPtrF.data() : nullptr,
                                     c.outputsArray ? b.outPtrF.data() : nullptr, 100);
          break;
        case Entry::Double:
          p.effect->processDoubleReplacing(p.effect, c.inputsArray ? b.inPtrD.data() : nullptr,
                                           c.outputsArray ? b.outPtrD.data() : nullptr, 100);
          break;
      }
      const bool inPresent[2] = {c.inputsArray && c.in0, c.inputsArray && c.in1};
      const bool outPresent[2] = {c.outputsArray && c.out0, c.outputsArray && c.out1};
      for (int ch = 0; ch < 2; ++ch) {
        if (!outPresent[ch]) {
          EXPECT_EQ(b.Out(entry, ch, 0), 0.0) << "untouched output " << ch;
          continue;
        }
        for (int s = 0; s < 100; ++s) {
          ASSERT_EQ(b.Out(entry, ch, s), inPresent[ch] ? b.In(ch, s) : 0.0) << "channel " << ch << " sample " << s;
        }
      }
      EXPECT_TRUE(b.GuardsIntact(entry));
    }
  }
}

TEST(AudioEntries, MidiRequestBeforeEachBlock)
{
  for (bool midi : {false, true}) {
    for (Entry entry : kEntries) {
      SCOPED_TRACE(std::string(EntryName(entry)) + (midi ? " with MIDI" : " without MIDI"));
      TestHost host;
      TestPlugConfig config;
      config.midi = midi;
      PlugHandle p(new TestPlug(TestHost::Callback(), config));
      Dispatch(p.effect, effSetBlockSize, 0, 32);
      Block b(2, 100);
      b.Run(p.effect, entry, 100);  // several slices, one request
      b.Run(p.effect, entry, 10);
      EXPECT_EQ(host.Count(audioMasterWantMidi), midi ? 2 : 0);
    }
  }
}

TEST(AudioEntries, MissingRecord)
{
  float* none[2] = {};
  double* noneD[2] = {};
  IPlugVST::VSTProcess(nullptr, none, none, 16);
  IPlugVST::VSTProcessReplacing(nullptr, none, none, 16);
  IPlugVST::VSTProcessDoubleReplacing(nullptr, noneD, noneD, 16);
  EXPECT_EQ(IPlugVST::VSTGetParameter(nullptr, 0), 0.0f);
  IPlugVST::VSTSetParameter(nullptr, 0, 0.5f);
}

TEST(ParameterEntries, SetAndGet)
{
  struct Case
  {
    const char* what;
    VstInt32 idx;
    float value;
    bool changes;
    double plain;      // the parameter's plain value afterwards
    float normalized;  // getParameter afterwards
  };
  const Case cases[] = {
    {"Level", 0, 0.3f, true, (double) 0.3f, 0.3f},
    {"Attack at 0", 1, 0.0f, true, 0.0, 0.0f},
    {"Effect snaps to 1", 2, 0.6f, true, 1.0, 1.0f},
    {"Effect snaps to 0", 2, 0.4f, true, 0.0, 0.0f},
    {"Cabinet", 3, 0.0f, true, 0.0, 0.0f},
    {"index 4", 4, 0.5f, false, 0, 0.0f},
    {"index -1", -1, 0.5f, false, 0, 0.0f},
    {"NaN", 0, std::nanf(""), false, 0.5, 0.5f},
  };
  TestHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PlugHandle p(new TestPlug(TestHost::Callback()));
    auto* graphics = new FakeGraphics(213, 326, true);
    p->ConnectGraphics(graphics);
    graphics->pushes.clear();
    const std::vector<double> before = {0.5, 0.5, 1.0, 1.0};
    p.effect->setParameter(p.effect, c.idx, c.value);
    if (c.changes) {
      EXPECT_EQ(p->paramChanges, std::vector<int>{c.idx});
      ASSERT_EQ(graphics->pushes.size(), 1u);
      EXPECT_EQ(graphics->pushes[0].idx, c.idx);
      EXPECT_EQ(graphics->pushes[0].value, (double) c.value);
      EXPECT_TRUE(graphics->pushes[0].normalized);
      EXPECT_EQ(p->GetParam(c.idx)->Value(), c.plain);
    } else {
      EXPECT_TRUE(p->paramChanges.empty());
      EXPECT_TRUE(graphics->pushes.empty());
    }
    for (int i = 0; i < 4; ++i) {
      if (i != c.idx || !c.changes) {
        EXPECT_EQ(p->GetParam(i)->Value(), before[(size_t) i]) << i;
      }
    }
    EXPECT_EQ(p.effect->getParameter(p.effect, c.idx), c.normalized);
    EXPECT_EQ(host.Count(audioMasterAutomate), 0) << "the host is not told back";
  }
}

// Every entry holds the plug-in mutex: blocks on one thread never overlap the reactions that
// parameter, program and state changes run on another.
TEST(AudioEntries, EntriesNeverOverlap)
{
  TestHost host;
  PlugHandle p(new TestPlug(TestHost::Callback()));
  p->trackOverlaps = true;
  p->processFrames.clear();
  p->processFrames.shrink_to_fit();  // nothing recorded per block from here on
  Dispatch(p.effect, effSetBlockSize, 0, 64);
  void* data = nullptr;
  const VstIntPtr size = Dispatch(p.effect, effGetChunk, 1, 0, &data);
  std::vector<unsigned char> chunk((unsigned char*) data, (unsigned char*) data + size);

  std::atomic<bool> go{false}, done{false};
  std::thread audio([&]() {
    Block b(2, 100);
    while (!go) std::this_thread::yield();
    for (int i = 0; i < 3000; ++i) b.Run(p.effect, kEntries[i % 3], 100);
    done = true;
  });
  go = true;
  for (int i = 0; i < 100000 && (i < 3000 || !done); ++i) {
    p.effect->setParameter(p.effect, i % 4, (float) ((i % 10) / 10.0));
    if (i % 3 == 0) Dispatch(p.effect, effSetChunk, 1, (VstIntPtr) chunk.size(), chunk.data());
    if (i % 7 == 0) Dispatch(p.effect, effSetProgram, 0, i % 16);
  }
  audio.join();
  EXPECT_EQ(p->overlaps.load(), 0);
  EXPECT_EQ(p->processCalls, 1000 * 2 + 1000 * 2 + 1000);  // 32-bit blocks in two slices
}
