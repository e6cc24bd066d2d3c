// Instances made and destroyed in bulk, as a host does when it loads a project with many tracks
// and closes it again. The sanitizer tree runs this with leak detection on, so anything one
// instance leaves behind fails it there; everywhere it checks that the process-wide image cache
// decodes each of the six images once, however many instances and editors use them, and that the
// editors give back the window class.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "StressHost.h"
#include "StressSupport.h"

#ifndef TORVO_NO_EDITOR
#include "editor/IGraphicsLice.h"
#endif

using namespace stress;

namespace
{
constexpr int kImages = 6;

// One instance through its whole life: open, configure, a few blocks, a state round trip, close.
void LiveAndClose(bool withEditor, bool closeEditorFirst, HWND hostWindow)
{
  AEffect* e = CreateEffect(StressHost::Callback());
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(e, effSetBlockSize, 0, 256);
  Dispatch(e, effMainsChanged, 0, 1);
  float in[256] = {}, out0[256], out1[256];
  float* ins[2] = {in, in};
  float* outs[2] = {out0, out1};
  e->processReplacing(e, ins, outs, 256);
  void* data = nullptr;
  const VstIntPtr size = Dispatch(e, effGetChunk, 0, 0, &data);
  std::vector<unsigned char> copy((unsigned char*) data, (unsigned char*) data + size);
  EXPECT_EQ(Dispatch(e, effSetChunk, 0, size, copy.data()), 1);
#ifndef TORVO_NO_EDITOR
  if (withEditor)
  {
    EXPECT_EQ(Dispatch(e, effEditOpen, 0, 0, hostWindow), 1);
    HWND window = EditorOf(e)->WindowHandle();
    HeadlessWindowSystem::Instance().FireTimer(window);
    // A value entry left open when the editor closes goes with it.
    HeadlessWindowSystem::Instance().Send(window, EditorMsg::kRButtonDown, EditorMsg::kButtonRight,
                                          EditorMsg::PackPoint(50, 118));
    HeadlessWindowSystem::Instance().Send(window, EditorMsg::kRButtonUp, 0, EditorMsg::PackPoint(50, 118));
    EXPECT_NE(HeadlessWindowSystem::Instance().EntryChildOf(window), nullptr);
    if (closeEditorFirst) Dispatch(e, effEditClose);  // else effClose takes the open editor with it
  }
#endif
  Dispatch(e, effMainsChanged, 0, 0);
  Dispatch(e, effClose);
}
}  // namespace

TEST(Lifecycle, AHundredInstancesWithAndWithoutEditorLeaveNothingBehind)
{
  StressHost host;
#ifndef TORVO_NO_EDITOR
  HeadlessWindowSystem& hs = Windows();
  const HWND hostWindow = hs.CreateHostWindow(10, 10, 400, 500);
#else
  const HWND hostWindow = nullptr;
#endif
  for (int i = 0; i < 100; ++i) LiveAndClose(false, false, hostWindow);
#ifndef TORVO_NO_EDITOR
  EXPECT_EQ(BitmapCache::Instance().Size(), kImages) << "each image decoded once";
  for (int i = 0; i < 100; ++i) LiveAndClose(true, i % 2 == 0, hostWindow);
  EXPECT_EQ(BitmapCache::Instance().Size(), kImages) << "each image decoded once";
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 0) << "every editor gave the window class back";
  EXPECT_FALSE(hs.ClassRegistered());
  EXPECT_EQ(hs.Children(hostWindow).size(), 0u) << "no editor window left in the host's";
  hs.DestroyWindow(hostWindow);
#endif
}

// Two hosts' threads create and destroy instances at the same time: the creation mutex and the
// image cache's lock keep each image decoded once (ThreadSanitizer checks the locking).
TEST(Lifecycle, InstancesMadeOnFourThreadsAtOnceShareOneDecodeOfEachImage)
{
  StressHost host;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
  {
    threads.emplace_back([] {
      for (int i = 0; i < 25; ++i)
      {
        AEffect* e = CreateEffect(StressHost::Callback());
        if (!e) continue;
        float in[64] = {}, out[64];
        float* ins[2] = {in, in};
        float* outs[2] = {out, out};
        e->processReplacing(e, ins, outs, 64);
        Dispatch(e, effClose);
      }
    });
  }
  for (std::thread& t : threads) t.join();
#ifndef TORVO_NO_EDITOR
  EXPECT_EQ(BitmapCache::Instance().Size(), kImages);
#endif
}
