// Several host threads and the editor's thread drive one instance at once, for a bounded time,
// through the effect record only: an audio thread, an automation thread, a thread switching
// programs, moving state chunks and changing the sample rate, block size and activation, and the
// editor's thread ticking and making gestures (knob drags, footswitch presses, typed values) on
// the headless window system. Run under ThreadSanitizer in the sanitizer tree, so any data race
// fails it there; everywhere it checks that every output sample is finite, that the gestures
// reached the host as exactly as many automations, and that the final state reloads unchanged.
//
// Seeded: TORVO_STRESS_SEED replays one schedule of operations (the interleaving still varies),
// TORVO_STRESS_SECONDS sets the length.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "StressHost.h"
#include "StressSupport.h"

using namespace stress;

namespace
{

using Clock = std::chrono::steady_clock;

unsigned Seed()
{
  if (const char* env = std::getenv("TORVO_STRESS_SEED")) return (unsigned) std::strtoul(env, nullptr, 10);
  return 20261211u;
}

// Finite-output bookkeeping shared by the audio thread and the test.
struct AudioReport
{
  std::atomic<long> blocks{0};
  std::atomic<long> badSamples{0};
  std::atomic<int> firstBadBlockFrames{-1};
};

void AudioThread(AEffect* effect, const std::atomic<bool>& stop, unsigned seed, AudioReport& report)
{
  constexpr int kMax = 6000;  // above the largest block size the host thread sets
  std::mt19937 rng(seed);
  std::vector<float> inF0(kMax), inF1(kMax), outF0(kMax), outF1(kMax);
  std::vector<double> inD0(kMax), inD1(kMax), outD0(kMax), outD1(kMax);
  for (int i = 0; i < kMax; ++i)
  {
    inD0[i] = 0.8 * std::sin(i * 0.031);
    inD1[i] = 0.3 * std::sin(i * 0.0047);
    inF0[i] = (float) inD0[i];
    inF1[i] = (float) inD1[i];
  }
  float* inF[2] = {inF0.data(), inF1.data()};
  float* outF[2] = {outF0.data(), outF1.data()};
  double* inD[2] = {inD0.data(), inD1.data()};
  double* outD[2] = {outD0.data(), outD1.data()};

  while (!stop.load())
  {
    const int pick = (int) (rng() % 10);
    const int n = pick == 0 ? 0 : (int) (rng() % (pick == 1 ? kMax : 1025));
    long bad = 0;
    switch (rng() % 3)
    {
      case 0:
        effect->processReplacing(effect, inF, outF, n);
        for (int i = 0; i < n; ++i) bad += !std::isfinite(outF0[i]) + !std::isfinite(outF1[i]);
        break;
      case 1:
        effect->processDoubleReplacing(effect, inD, outD, n);
        for (int i = 0; i < n; ++i) bad += !std::isfinite(outD0[i]) + !std::isfinite(outD1[i]);
        break;
      default:
        std::fill(outF0.begin(), outF0.end(), 0.0f);
        std::fill(outF1.begin(), outF1.end(), 0.0f);
        effect->process(effect, inF, outF, n);
        for (int i = 0; i < n; ++i) bad += !std::isfinite(outF0[i]) + !std::isfinite(outF1[i]);
        break;
    }
    ++report.blocks;
    if (bad)
    {
      int expected = -1;
      report.firstBadBlockFrames.compare_exchange_strong(expected, n);
      report.badSamples += bad;
    }
  }
}

// Host automation, including values no host should send: out of 0..1, infinite, NaN, and indexes
// outside the list.
void AutomationThread(AEffect* effect, const std::atomic<bool>& stop, unsigned seed, std::atomic<int>& badReads)
{
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float values[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.7f, 0.2f, 1.5f, -0.5f, nan, inf, -inf};
  std::mt19937 rng(seed);
  while (!stop.load())
  {
    const int idx = (int) (rng() % 6) - 1;  // -1 .. 4
    effect->setParameter(effect, idx, values[rng() % (sizeof values / sizeof values[0])]);
    for (int i = -1; i <= 4; ++i)
    {
      const float v = effect->getParameter(effect, i);
      if (!(v >= 0.0f && v <= 1.0f)) ++badReads;
    }
  }
}

// Builds a state chunk: the header, then the values; damaged variants cut it short or spoil it.
std::vector<unsigned char> MakeChunk(std::mt19937& rng)
{
  std::vector<unsigned char> bytes;
  const unsigned char header[8] = {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00};
  const bool withHeader = rng() % 4 != 0;
  if (withHeader) bytes.insert(bytes.end(), header, header + 8);
  const double choices[] = {0.0, 0.125, 0.5, 1.0, 7.5, -3.0, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
  for (int i = 0; i < 4; ++i)
  {
    const double v = choices[rng() % 8];
    unsigned char raw[8];
    std::memcpy(raw, &v, 8);
    bytes.insert(bytes.end(), raw, raw + 8);
  }
  switch (rng() % 4)
  {
    case 0: bytes.resize(rng() % (bytes.size() + 1)); break;  // cut anywhere
    case 1: if (!bytes.empty()) bytes[rng() % bytes.size()] ^= (unsigned char) (1u << (rng() % 8)); break;
    default: break;
  }
  return bytes;
}

// Programs, chunks, sample rate, block size and activation from the host's other thread.
void HostThread(AEffect* effect, const std::atomic<bool>& stop, unsigned seed, std::atomic<int>& failures)
{
  std::mt19937 rng(seed);
  const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f, 8000.0f, 192000.0f, 11025.0f, 0.0f, -1.0f,
                         std::numeric_limits<float>::quiet_NaN(), 1.0f, 3.0f};
  const VstIntPtr blockSizes[] = {1, 7, 64, 512, 1024, 4096, 0, -7};
  while (!stop.load())
  {
    switch (rng() % 8)
    {
      case 0:
        Dispatch(effect, effSetProgram, 0, (VstIntPtr) (rng() % 18) - 1);
        break;
      case 1:
      {
        const VstIntPtr p = Dispatch(effect, effGetProgram);
        if (p < 0 || p >= effect->numPrograms) ++failures;
        break;
      }
      case 2:
      {
        // A round trip of the current state through a host-side copy.
        const VstInt32 index = (VstInt32) (rng() % 2);
        void* data = nullptr;
        const VstIntPtr size = Dispatch(effect, effGetChunk, index, 0, &data);
        if (size != 40 || !data)
        {
          ++failures;
          break;
        }
        std::vector<unsigned char> copy((unsigned char*) data, (unsigned char*) data + size);
        if (Dispatch(effect, effSetChunk, index, size, copy.data()) != 1) ++failures;
        break;
      }
      case 3:
      {
        std::vector<unsigned char> chunk = MakeChunk(rng);
        chunk.reserve(chunk.size() + 1);
        Dispatch(effect, effSetChunk, (VstInt32) (rng() % 2), (VstIntPtr) chunk.size(),
                 chunk.empty() ? (void*) "" : chunk.data());
        break;
      }
      case 4:
        Dispatch(effect, effSetSampleRate, 0, 0, nullptr, rates[rng() % (sizeof rates / sizeof rates[0])]);
        break;
      case 5:
        Dispatch(effect, effSetBlockSize, 0, blockSizes[rng() % (sizeof blockSizes / sizeof blockSizes[0])]);
        break;
      case 6:
        Dispatch(effect, effMainsChanged, 0, (VstIntPtr) (rng() % 2));
        break;
      default:
      {
        char text[256];
        const VstInt32 idx = (VstInt32) (rng() % 6) - 1;
        Dispatch(effect, effGetParamDisplay, idx, 0, text);
        Dispatch(effect, effGetProgramName, 0, 0, text);
        Dispatch(effect, effGetProgramNameIndexed, idx * 4, 0, text);
        break;
      }
    }
  }
}

#ifndef TORVO_NO_EDITOR
// Gestures on the pedal's editor, made on the editor's thread as the window system delivers them.
struct EditorCounts
{
  int drags = 0;         // knob moves on "Attack", each one automation
  int dragGestures = 0;  // press-to-release on the knob
  int entries = 0;       // values typed into "Level"
  int stomps = 0;        // footswitch presses seen at a tick
  int reopenings = 0;
  std::string problem;   // first thing that did not go as the window system said
};

class PedalHand
{
public:
  PedalHand(AEffect* effect, HeadlessWindowSystem& hs, HWND host) : mEffect(effect), mHs(hs), mHost(host) {}

  bool Open()
  {
    if (Dispatch(mEffect, effEditOpen, 0, 0, mHost) != 1) return false;
    mWindow = EditorOf(mEffect)->WindowHandle();
    Tick();  // the first paint: every control drawn once
    return mWindow != nullptr;
  }
  void Close()
  {
    Dispatch(mEffect, effEditClose);
    mWindow = nullptr;
  }
  void Tick() { mHs.FireTimer(mWindow); }

  void Drag(std::mt19937& rng, EditorCounts& c)
  {
    int x = 147, y = 118;  // the "Attack" knob's centre
    mHs.Send(mWindow, EditorMsg::kLButtonDown, EditorMsg::kButtonLeft, EditorMsg::PackPoint(x, y));
    const int moves = 1 + (int) (rng() % 5);
    for (int i = 0; i < moves; ++i)
    {
      int dy = 1 + (int) (rng() % 12);
      if (rng() % 2) dy = -dy;
      y += dy;
      mHs.Send(mWindow, EditorMsg::kMouseMove, EditorMsg::kButtonLeft, EditorMsg::PackPoint(x, y));
      ++c.drags;
    }
    mHs.Send(mWindow, EditorMsg::kLButtonUp, 0, EditorMsg::PackPoint(x, y));
    ++c.dragGestures;
    if (rng() % 2) Tick();
  }

  void Stomp(EditorCounts& c)
  {
    mHs.Send(mWindow, EditorMsg::kLButtonDown, EditorMsg::kButtonLeft, EditorMsg::PackPoint(100, 205));
    Tick();
    mHs.Send(mWindow, EditorMsg::kLButtonUp, 0, EditorMsg::PackPoint(100, 205));
    Tick();
    ++c.stomps;
  }

  // Right press on "Level", type a value no other source produces, Enter, and the tick commits it.
  void TypeValue(EditorCounts& c)
  {
    mHs.Send(mWindow, EditorMsg::kRButtonDown, EditorMsg::kButtonRight, EditorMsg::PackPoint(50, 118));
    mHs.Send(mWindow, EditorMsg::kRButtonUp, 0, EditorMsg::PackPoint(50, 118));
    HWND child = mHs.EntryChildOf(mWindow);
    if (!child)
    {
      if (c.problem.empty()) c.problem = "no value entry opened";
      return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "  0.%06d", 300001 + c.entries);
    mHs.Focus(child);
    mHs.Type(child, text);
    mHs.PressKey(child, EditorMsg::kVirtualKeyReturn);
    Tick();
    if (mHs.EntryChildOf(mWindow) && c.problem.empty()) c.problem = "the value entry stayed open";
    ++c.entries;
  }

private:
  AEffect* mEffect;
  HeadlessWindowSystem& mHs;
  HWND mHost;
  HWND mWindow = nullptr;
};
#endif

}  // namespace

TEST(ConcurrencyStress, HostThreadsAndEditorDriveOneInstanceAtOnce)
{
#ifndef TORVO_NO_EDITOR
  HeadlessWindowSystem& hs = Windows();
  const HWND hostWindow = hs.CreateHostWindow(100, 100, 400, 500);
#endif
  StressHost host;
  AEffect* effect = CreateEffect(StressHost::Callback());
  ASSERT_NE(effect, nullptr);
  Dispatch(effect, effOpen);
  Dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(effect, effSetBlockSize, 0, 512);
  Dispatch(effect, effMainsChanged, 0, 1);

  const unsigned seed = Seed();
  const double seconds = RunSeconds(3.0);
  std::atomic<bool> stop{false};
  AudioReport audio;
  std::atomic<int> badReads{0};
  std::atomic<int> hostFailures{0};
  std::thread audioThread(AudioThread, effect, std::cref(stop), seed + 1, std::ref(audio));
  std::thread automationThread(AutomationThread, effect, std::cref(stop), seed + 2, std::ref(badReads));
  std::thread hostThread(HostThread, effect, std::cref(stop), seed + 3, std::ref(hostFailures));

#ifndef TORVO_NO_EDITOR
  // This thread is the editor's: it opens the editor, as a host's user-interface thread does.
  EditorCounts counts;
  {
    PedalHand hand(effect, hs, hostWindow);
    std::mt19937 rng(seed + 4);
    const Clock::time_point end =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    ASSERT_TRUE(hand.Open());
    while (Clock::now() < end)
    {
      switch (rng() % 8)
      {
        case 0: case 1: hand.Drag(rng, counts); break;
        case 2: case 3: hand.Stomp(counts); break;
        case 4: hand.TypeValue(counts); break;
        case 5:
          hand.Close();
          ASSERT_TRUE(hand.Open());
          ++counts.reopenings;
          break;
        default: hand.Tick(); break;
      }
    }
    stop = true;
    audioThread.join();
    automationThread.join();
    hostThread.join();

    // With the host quiet, every footswitch press toggles "Effect", tells the host once and moves
    // the LED with it, whatever value the stress left (a damaged chunk may leave one between Off
    // and On, which counts as Off).
    PlugExample* plug = PlugOf(effect);
    IGraphicsWin* editor = EditorOf(effect);
    for (int i = 0; i < 6; ++i)
    {
      const bool wasOn = plug->EffectOn();
      const double before = plug->GetParam(PlugExample::kEffect)->Value();
      const int told = host.Count(audioMasterAutomate, PlugExample::kEffect);
      hand.Stomp(counts);
      EXPECT_EQ(plug->EffectOn(), !wasOn) << "press " << i << " from " << before;
      EXPECT_EQ(plug->GetParam(PlugExample::kEffect)->Value(), wasOn ? 0.0 : 1.0) << "press " << i << " from " << before;
      EXPECT_EQ(host.Count(audioMasterAutomate, PlugExample::kEffect), told + 1) << "press " << i << " from " << before;
      EXPECT_EQ(editor->GetControl(plug->LedControlIndex())->GetValue(), wasOn ? 0.0 : 1.0) << "press " << i;
    }
    hand.Close();
  }
  EXPECT_EQ(counts.problem, "");
  std::printf("[ stress   ] %.1f s: %ld audio blocks, %d knob moves in %d drags, %d typed values, %d footswitch "
              "presses, %d reopenings (seed %u)\n",
              seconds, audio.blocks.load(), counts.drags, counts.dragGestures, counts.entries, counts.stomps,
              counts.reopenings, seed);
#else
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  audioThread.join();
  automationThread.join();
  hostThread.join();
#endif

  EXPECT_GT(audio.blocks.load(), 0);
  EXPECT_EQ(audio.badSamples.load(), 0) << "first bad block had " << audio.firstBadBlockFrames.load() << " frames";
  EXPECT_EQ(badReads.load(), 0) << "getParameter answered outside 0..1";
  EXPECT_EQ(hostFailures.load(), 0) << "a program index or chunk round trip went wrong";

#ifndef TORVO_NO_EDITOR
  // Every gesture reached the host exactly once: knob moves and typed values always change the
  // value. A footswitch press under concurrent automation of "Effect" may meet the host's own change
  // of it (the host wins); it never tells the host more than once.
  EXPECT_EQ(host.Count(audioMasterAutomate, PlugExample::kAttack), counts.drags);
  EXPECT_EQ(host.Count(audioMasterAutomate, PlugExample::kLevel), counts.entries);
  EXPECT_LE(host.Count(audioMasterAutomate, PlugExample::kEffect), counts.stomps);
  EXPECT_EQ(host.Count(audioMasterAutomate, PlugExample::kCabinet), 0);
  EXPECT_EQ(host.Count(audioMasterAutomate),
            host.Count(audioMasterAutomate, 0) + host.Count(audioMasterAutomate, 1) +
              host.Count(audioMasterAutomate, 2));
  EXPECT_EQ(host.Count(audioMasterBeginEdit, PlugExample::kAttack), counts.dragGestures);
  EXPECT_EQ(host.Count(audioMasterBeginEdit, PlugExample::kLevel), counts.entries);
  EXPECT_EQ(host.Count(audioMasterBeginEdit), host.Count(audioMasterEndEdit));
  EXPECT_TRUE(host.GesturesPaired());
  for (const StressHost::Automation& a : host.Automations())
  {
    ASSERT_TRUE(a.value >= 0.0f && a.value <= 1.0f) << "automation of " << a.index << " with " << a.value;
  }
#endif

  // The final state reloads into a fresh instance with the same values.
  PlugExample* plug = PlugOf(effect);
  EXPECT_TRUE(ParamsInRange(plug));
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effect, effGetChunk, 1, 0, &data);
  ASSERT_EQ(size, 40);
  const std::vector<unsigned char> state((unsigned char*) data, (unsigned char*) data + size);
  const std::vector<double> values = ParamValues(plug);

  AEffect* fresh = CreateEffect(StressHost::Callback());
  ASSERT_NE(fresh, nullptr);
  Dispatch(fresh, effOpen);
  std::vector<unsigned char> copy = state;
  EXPECT_EQ(Dispatch(fresh, effSetChunk, 1, (VstIntPtr) copy.size(), copy.data()), 1);
  EXPECT_EQ(ParamValues(PlugOf(fresh)), values);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(fresh->getParameter(fresh, i), effect->getParameter(effect, i)) << i;
  EXPECT_EQ(PlugOf(fresh)->EffectOn(), plug->EffectOn());
  EXPECT_EQ(PlugOf(fresh)->CabinetOn(), plug->CabinetOn());
#ifndef TORVO_NO_EDITOR
  // The LED shows "Effect" in both.
  EXPECT_EQ(EditorOf(fresh)->GetControl(PlugOf(fresh)->LedControlIndex())->GetValue(), plug->EffectOn() ? 1.0 : 0.0);
  EXPECT_EQ(EditorOf(effect)->GetControl(plug->LedControlIndex())->GetValue(), plug->EffectOn() ? 1.0 : 0.0);
#endif

  Dispatch(fresh, effClose);
  Dispatch(effect, effClose);
#ifndef TORVO_NO_EDITOR
  hs.DestroyWindow(hostWindow);
#endif
}
