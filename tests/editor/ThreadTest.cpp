// A host thread sets parameters while the window thread runs redraw ticks: the fields that cross
// the two threads are atomics, so this runs clean under ThreadSanitizer, and the last value pushed
// is the one the editor ends up showing.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EditorTestSupport.h"

using namespace edtest;

TEST(EditorThreads, HostValuesReachTheWindowThreadAtTheNextTick)
{
  TestPlug plug;
  TestGraphics* g = new TestGraphics(&plug, 100, 80);
  TestGraphics::Resources()[7401] = std::make_pair(100, 80);
  g->AddBackground(7401, "img/background.png");
  const IBitmap knob = LoadGenerated(g, 7402, 20, 20 * 11, 11);
  g->AddControl(new IKnobMultiControl(&plug, 10, 10, 0, knob));
  g->AddControl(new IKnobMultiControl(&plug, 40, 10, 1, knob));
  g->AddControl(new IHiddenToggleControl(&plug, IRECT(70, 10, 90, 30), 2));
  g->HideParamControls(2, true);
  plug.ConnectGraphics(g);

  const int kSteps = 3000;
  std::atomic<bool> done{false};
  std::thread host([&] {
    for (int i = 0; i <= kSteps; ++i)
    {
      IMutexLock lock(&plug);
      g->OnParamFromPlugin(0, (i % 11) / 10.0, true);
      g->OnParamFromPlugin(1, 10.0 * ((i * 7) % 11) / 10.0, false);
      g->OnParamFromPlugin(2, (double) (i % 2), true);
      g->SetControlValue(3, 1.0 - (i % 2));
    }
    done = true;
  });
  int ticks = 0;
  while (!done || ticks < 10)
  {
    IRECT r;
    if (g->CollectDirty(r)) g->DrawRegion(r);
    g->MouseWheel(15, 15, IMouseMod(), 0);
    ++ticks;
  }
  host.join();
  for (int i = 0; i < 3; ++i)
  {
    IRECT r;
    if (g->CollectDirty(r)) g->DrawRegion(r);
  }

  EXPECT_EQ(g->GetControl(1)->GetValue(), (kSteps % 11) / 10.0);
  EXPECT_NEAR(g->GetControl(2)->GetValue(), ((kSteps * 7) % 11) / 10.0, 1e-12);
  EXPECT_EQ(g->GetControl(3)->GetValue(), 1.0 - (kSteps % 2));
  for (int i = 0; i < g->NControls(); ++i) EXPECT_FALSE(g->GetControl(i)->IsDirty()) << i;
  // The first knob shows the frame of its last value.
  const int frame = (kSteps % 11) + 1;
  EXPECT_EQ(g->Surface()->GetBits()[15 * g->Surface()->GetRowSpan() + 12], PatternPixel(2, 5 + 20 * (frame - 1)));
}
