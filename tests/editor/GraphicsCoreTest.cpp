// The graphics core: control list and indices, parameter links, dirty collection and redraw, and
// the routing of mouse and key events with capture and the host's edit brackets.

#include <gtest/gtest.h>

#include <climits>

#include "EditorTestSupport.h"

using namespace edtest;
typedef TestPlug::Event Ev;

namespace
{

class EditorCore : public ::testing::Test
{
protected:
  // Declared in this order so that controls logging their destruction still have the journal.
  std::vector<std::string> journal;
  TestPlug plug;
  std::unique_ptr<TestGraphics> owned{new TestGraphics(&plug, 100, 80)};
  TestGraphics* g = owned.get();

  LogControl* Add(const IRECT& r, int paramIdx, const std::string& name)
  {
    LogControl* c = new LogControl(&plug, r, paramIdx, &journal, name);
    g->AddControl(c);
    return c;
  }
  // Draws everything once so that every control is clean.
  void Settle()
  {
    for (int i = 0; i < 3; ++i)
    {
      IRECT r;
      if (g->CollectDirty(r)) g->DrawRegion(r);
    }
    journal.clear();
    g->presented.clear();
  }
};

}  // namespace

TEST(EditorCoreConstruction, FrameRateDefaultsTo24)
{
  struct Case { int given, expected; };
  const Case cases[] = {{0, 24}, {-3, 24}, {30, 30}, {1, 1}};
  for (const Case& c : cases)
  {
    TestPlug plug;
    TestGraphics g(&plug, 213, 326, c.given);
    EXPECT_EQ(g.FramesPerSecond(), c.expected) << "given " << c.given;
    EXPECT_EQ(g.Width(), 213);
    EXPECT_EQ(g.Height(), 326);
    EXPECT_TRUE(g.DrawRect().IsEmpty());
    EXPECT_EQ(g.CaptureIndex(), -1);
  }
}

TEST_F(EditorCore, AddControlReturnsTheIndexAndAddBackgroundShiftsEveryIndex)
{
  LogControl* a = Add(IRECT(10, 10, 20, 20), -1, "a");
  EXPECT_EQ(g->AddControl(new LogControl(&plug, IRECT(30, 10, 40, 20), -1, &journal, "b")), 1);
  LoadGenerated(g, 7001, 100, 80, 1);  // the resource the background loads
  g->AddBackground(7001, "img/background.png");

  ASSERT_EQ(g->NControls(), 3);
  EXPECT_EQ(g->GetControl(1), a);
  IBitmapControl* bg = dynamic_cast<IBitmapControl*>(g->GetControl(0));
  ASSERT_NE(bg, nullptr);
  EXPECT_EQ(bg->GetRECT(), IRECT(0, 0, 100, 80));
  EXPECT_EQ(bg->ParamIdx(), -1);
  EXPECT_EQ(bg->Blend()->method, BlendCopy);
  EXPECT_EQ(bg->GetBitmap().frames, 1);

  // The index 0 the caller kept for "a" now addresses the background.
  g->SetControlValue(0, 0.7);
  EXPECT_EQ(bg->GetValue(), 0.7);
  EXPECT_EQ(a->GetValue(), 0.0);
}

TEST_F(EditorCore, SetControlValueOutsideTheListIsIgnored)
{
  LogControl* a = Add(IRECT(10, 10, 20, 20), -1, "a");
  LogControl* b = Add(IRECT(30, 10, 40, 20), -1, "b");
  Settle();
  for (int idx : {-1, 2, 100, INT_MIN, INT_MAX})
  {
    g->SetControlValue(idx, 0.3);
    EXPECT_FALSE(a->IsDirty()) << idx;
    EXPECT_FALSE(b->IsDirty()) << idx;
    EXPECT_EQ(a->GetValue() + b->GetValue(), 0.0) << idx;
  }
  g->SetControlValue(1, 0.3);
  EXPECT_EQ(b->GetValue(), 0.3);
  EXPECT_TRUE(b->IsDirty());
  EXPECT_TRUE(plug.events.empty()) << "never reported back: " << Describe(plug.events);
}

TEST_F(EditorCore, ParamFromPluginReachesEveryLinkedControlAndNeverGoesBack)
{
  LogControl* a = Add(IRECT(10, 10, 20, 20), 1, "a");
  LogControl* b = Add(IRECT(30, 10, 40, 20), 1, "b");
  LogControl* other = Add(IRECT(50, 10, 60, 20), 0, "other");

  g->OnParamFromPlugin(1, 2.5, false);  // plain value of the 0..10 parameter
  EXPECT_DOUBLE_EQ(a->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(b->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(a->GetDefaultValue(), 0.25);  // the first value becomes the default
  EXPECT_EQ(other->GetValue(), 0.0);
  EXPECT_EQ(other->GetDefaultValue(), -1.0);

  g->OnParamFromPlugin(1, 0.8, true);
  EXPECT_EQ(a->GetValue(), 0.8);
  EXPECT_EQ(b->GetValue(), 0.8);
  EXPECT_DOUBLE_EQ(b->GetDefaultValue(), 0.25);
  EXPECT_TRUE(plug.events.empty()) << Describe(plug.events);
}

TEST_F(EditorCore, ControlAtTakesTheTopmostVisibleActiveControl)
{
  Add(IRECT(0, 0, 100, 80), -1, "bg");             // 0
  Add(IRECT(10, 10, 50, 50), -1, "a");             // 1
  Add(IRECT(30, 30, 70, 70), -1, "b");             // 2
  Add(IRECT(60, 0, 100, 40), -1, "greyed");        // 3
  Add(IRECT(0, 0, 100, 80), 2, "hidden");          // 4
  g->GetControl(3)->GreyOut(true);
  g->HideParamControls(2, true);
  EXPECT_TRUE(g->GetControl(4)->IsHidden());

  struct Case { int x, y, expected; };
  const Case cases[] = {
    {40, 40, 2},   // a and b overlap: the later one is on top
    {20, 20, 1},
    {80, 60, 0},   // the hidden cover is skipped
    {65, 10, 0},   // the greyed control is skipped
    {99, 79, 0},
    {100, 79, -1}, // right edge is outside
    {-1, 5, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(g->ControlAt(c.x, c.y), c.expected) << c.x << "," << c.y;

  g->MouseDown(65, 10, IMouseMod(true));  // falls through to the background
  EXPECT_EQ(Join(journal), "bg:press@65,10 ");
}

TEST_F(EditorCore, CaptureDeliversDragAndReleaseOutsideToThePressedControl)
{
  Add(IRECT(10, 10, 30, 30), 1, "knob");
  Add(IRECT(50, 10, 70, 30), 0, "other");
  const IMouseMod left(true);

  g->MouseDown(15, 15, left);
  EXPECT_EQ(g->CaptureIndex(), 0);
  EXPECT_EQ(g->ControlAt(60, 20), 0);  // captured, wherever the point is
  g->MouseDrag(60, 20, left);
  g->MouseUp(60, 20, left);
  EXPECT_EQ(Join(journal), "knob:press@15,15 knob:drag@60,20d45,5 knob:release@60,20 ");
  EXPECT_EQ(plug.events, (std::vector<Ev>{{'B', 1, 0.0}, {'E', 1, 0.0}})) << Describe(plug.events);
  EXPECT_EQ(g->CaptureIndex(), -1);
  EXPECT_EQ(g->ControlAt(60, 20), 1);

  // Without a press nothing is captured: a drag is dropped, a release over nothing too.
  journal.clear();
  g->MouseDrag(20, 20, left);
  g->MouseUp(90, 70, left);
  EXPECT_EQ(Join(journal), "");
}

TEST_F(EditorCore, RepeatedDragPositionsAreDropped)
{
  Add(IRECT(10, 10, 30, 30), -1, "c");
  const IMouseMod left(true);
  g->MouseDown(15, 15, left);
  g->MouseDrag(15, 15, left);  // same as the press
  g->MouseDrag(16, 13, left);
  g->MouseDrag(16, 13, left);  // same as the last step
  g->MouseDrag(15, 15, left);
  EXPECT_EQ(Join(journal), "c:press@15,15 c:drag@16,13d1,-2 c:drag@15,15d-1,2 ");
}

TEST_F(EditorCore, DoubleClickEitherRestoresOrActsAsAPress)
{
  struct Case
  {
    bool asPress;
    bool expectedCapture;
    const char* expectedJournal;
  };
  const Case cases[] = {
    {false, false, "c:dbl@12,12 "},
    {true, true, "c:press@12,12 "},
  };
  for (const Case& c : cases)
  {
    TestPlug p;
    std::vector<std::string> j;
    TestGraphics gr(&p, 50, 50);
    LogControl* ctl = new LogControl(&p, IRECT(10, 10, 20, 20), 0, &j, "c");
    ctl->SetDoubleClickAsPress(c.asPress);
    gr.AddControl(ctl);
    EXPECT_EQ(gr.MouseDoubleClick(12, 12, IMouseMod(true)), c.expectedCapture);
    EXPECT_EQ(gr.CaptureIndex(), c.expectedCapture ? 0 : -1);
    EXPECT_EQ(Join(j), c.expectedJournal);
    EXPECT_TRUE(p.events.empty()) << "no edit begin on a double click: " << Describe(p.events);
    EXPECT_FALSE(gr.MouseDoubleClick(40, 40, IMouseMod(true)));  // nothing there
  }
}

// The host hears begin and end in pairs: the release that follows a double click did not start
// with a begin of ours, so no end goes out for it.
TEST_F(EditorCore, EditBeginAndEndStayPairedAcrossDoubleClicks)
{
  LogControl* c = Add(IRECT(10, 10, 30, 30), 1, "c");
  const IMouseMod left(true);
  g->MouseDown(15, 15, left);
  g->MouseUp(15, 15, left);
  g->MouseDoubleClick(15, 15, left);
  g->MouseUp(15, 15, left);
  c->SetDoubleClickAsPress(true);
  g->MouseDoubleClick(15, 15, left);
  g->MouseUp(15, 15, left);
  // A release arriving from a press that began outside the editor.
  g->MouseUp(20, 20, left);
  EXPECT_EQ(plug.events, (std::vector<Ev>{{'B', 1, 0.0}, {'E', 1, 0.0}})) << Describe(plug.events);
  EXPECT_EQ(Join(journal), "c:press@15,15 c:release@15,15 c:dbl@15,15 c:release@15,15 c:press@15,15 "
                           "c:release@15,15 c:release@20,20 ");

  // A second button during a gesture ends the first gesture before beginning the next.
  plug.events.clear();
  Add(IRECT(50, 10, 70, 30), 0, "d");
  g->MouseDown(15, 15, left);
  g->MouseDown(55, 15, IMouseMod(false, true));
  g->MouseUp(55, 15, left);
  g->MouseUp(55, 15, IMouseMod(false, true));
  EXPECT_EQ(plug.events, (std::vector<Ev>{{'B', 1, 0.0}, {'E', 1, 0.0}, {'B', 0, 0.0}, {'E', 0, 0.0}}))
    << Describe(plug.events);
}

TEST_F(EditorCore, WheelAndKeysGoToTheControlUnderThePointOrTheCapturedOne)
{
  Add(IRECT(10, 10, 30, 30), -1, "a");
  Add(IRECT(50, 10, 70, 30), -1, "b");
  g->MouseWheel(55, 15, IMouseMod(), -2);
  g->KeyDown(15, 15, 7);
  g->KeyDown(90, 70, 7);  // nothing there
  g->MouseDown(15, 15, IMouseMod(true));
  g->MouseWheel(55, 15, IMouseMod(), 1);
  EXPECT_EQ(Join(journal), "b:wheel-2 a:key7 a:press@15,15 a:wheel1 ");
}

TEST_F(EditorCore, CollectDirtyUnitesDirtyRectanglesAndRedrawAgainKeepsOneMorePass)
{
  Add(IRECT(0, 0, 100, 80), -1, "bg");
  LogControl* a = Add(IRECT(10, 10, 30, 30), -1, "a");
  Add(IRECT(20, 20, 40, 40), -1, "b");
  Add(IRECT(60, 60, 70, 70), -1, "far");

  IRECT r;
  ASSERT_TRUE(g->CollectDirty(r));  // everything starts dirty
  EXPECT_EQ(r, IRECT(0, 0, 100, 80));
  g->DrawRegion(r);
  EXPECT_EQ(Join(journal), "bg:draw a:draw b:draw far:draw ");
  r = IRECT();
  EXPECT_FALSE(g->CollectDirty(r));
  EXPECT_TRUE(r.IsEmpty());

  // A value from the plug-in sets redrawAgain: drawn in two consecutive passes, then clean.
  a->SetValueFromPlugin(0.3);
  for (int pass = 0; pass < 2; ++pass)
  {
    journal.clear();
    r = IRECT();
    ASSERT_TRUE(g->CollectDirty(r)) << "pass " << pass;
    EXPECT_EQ(r, a->GetRECT());
    EXPECT_TRUE(g->DrawRegion(r));
    EXPECT_EQ(Join(journal), "bg:draw a:draw b:draw ") << "pass " << pass;
    EXPECT_EQ(g->presented.back(), a->GetRECT());
    EXPECT_EQ(g->DrawRect(), a->GetRECT());
  }
  r = IRECT();
  EXPECT_FALSE(g->CollectDirty(r));

  // Plain MarkDirty: one pass only. A dirty control outside the region is cleaned undrawn.
  g->GetControl(3)->MarkDirty(false);
  g->DrawRegion(IRECT(0, 0, 5, 5));
  EXPECT_FALSE(g->GetControl(3)->IsDirty());
}

TEST_F(EditorCore, RedrawTouchingEdgesFollowMeets)
{
  LogControl* c = Add(IRECT(20, 20, 30, 30), -1, "c");
  struct Case { IRECT region; bool drawn; };
  const Case cases[] = {
    {IRECT(30, 20, 40, 30), false},  // region's left edge on the control's right edge
    {IRECT(20, 30, 30, 40), false},  // region's top edge on the control's bottom edge
    {IRECT(30, 30, 40, 40), false},
    {IRECT(10, 20, 20, 30), true},   // region's right edge on the control's left edge
    {IRECT(20, 10, 30, 20), true},   // region's bottom edge on the control's top edge
    {IRECT(0, 0, 20, 20), true},
    {IRECT(25, 25, 26, 26), true},
  };
  for (const Case& k : cases)
  {
    journal.clear();
    c->MarkDirty(false);
    EXPECT_TRUE(g->DrawRegion(k.region));
    EXPECT_EQ(Join(journal), k.drawn ? "c:draw " : "")
      << k.region.left << "," << k.region.top << "," << k.region.right << "," << k.region.bottom;
    EXPECT_FALSE(c->IsDirty());
    EXPECT_EQ(g->presented.back(), k.region);
  }
}

TEST_F(EditorCore, HiddenControlsAreCollectedButNotDrawn)
{
  LogControl* c = Add(IRECT(20, 20, 30, 30), 2, "c");
  Settle();
  g->HideParamControls(2, true);
  g->OnParamFromPlugin(2, 1.0, true);  // still follows its parameter
  EXPECT_EQ(c->GetValue(), 1.0);
  IRECT r;
  ASSERT_TRUE(g->CollectDirty(r));
  EXPECT_EQ(r, c->GetRECT());
  g->DrawRegion(r);
  g->DrawRegion(r);
  EXPECT_EQ(Join(journal), "");
  EXPECT_FALSE(c->IsDirty());
}

TEST_F(EditorCore, DrawRegionWithoutControlsPresentsNothing)
{
  EXPECT_TRUE(g->DrawRegion(IRECT(0, 0, 10, 10)));
  EXPECT_TRUE(g->presented.empty());
  EXPECT_TRUE(g->DrawRect().IsEmpty());
}

namespace
{
struct ValueObserver : IObserverInterface
{
  explicit ValueObserver(IControl* c) : control(c) {}
  void OnSubjectChanged() override { seen.push_back(control->GetValue()); }
  IControl* control;
  std::vector<double> seen;
};
}  // namespace

TEST_F(EditorCore, ObserversSeeTheValueAtTheTickOncePerTick)
{
  LoadGenerated(g, 7002, 40, 80, 2);
  IContactControlNoDblClick* contact =
    new IContactControlNoDblClick(&plug, 10, 10, -1, g->LoadBitmap(7002, "img/switch.png", 2));
  g->AddControl(contact);
  ValueObserver obs(contact);
  contact->AddObserver(&obs);
  contact->AddObserver(&obs);  // once only
  const IMouseMod left(true);
  auto tick = [&] {
    IRECT r;
    if (g->CollectDirty(r)) g->DrawRegion(r);
  };

  tick();  // the first dirty collection: never marked through MarkDirty yet
  EXPECT_TRUE(obs.seen.empty());

  g->MouseDown(15, 15, left);
  g->MouseUp(15, 15, left);
  tick();
  EXPECT_EQ(obs.seen, std::vector<double>({0.0})) << "press and release between two ticks";

  tick();
  EXPECT_EQ(obs.seen.size(), 1u) << "nothing changed";

  g->MouseDown(15, 15, left);
  tick();
  g->MouseUp(15, 15, left);
  tick();
  EXPECT_EQ(obs.seen, std::vector<double>({0.0, 1.0, 0.0}));
}

TEST_F(EditorCore, ResizeDropsEveryControlLastFirstAndTellsThePlugin)
{
  Add(IRECT(10, 10, 30, 30), 1, "a");
  Add(IRECT(50, 10, 70, 30), -1, "b");
  g->MouseDown(55, 15, IMouseMod(true));
  journal.clear();
  g->Resize(120, 90);
  EXPECT_EQ(Join(journal), "b:destroyed a:destroyed ");
  EXPECT_EQ(g->NControls(), 0);
  EXPECT_EQ(g->CaptureIndex(), -1);
  EXPECT_EQ(g->Width(), 120);
  EXPECT_EQ(g->Height(), 90);
  EXPECT_EQ(plug.events, (std::vector<Ev>{{'R', 120, 90.0}})) << Describe(plug.events);
  EXPECT_EQ(g->ControlAt(15, 15), -1);
}

TEST_F(EditorCore, DestructionDestroysControlsLastAddedFirst)
{
  Add(IRECT(0, 0, 1, 1), -1, "first");
  Add(IRECT(0, 0, 1, 1), -1, "second");
  Add(IRECT(0, 0, 1, 1), -1, "third");
  owned.reset();
  EXPECT_EQ(Join(journal), "third:destroyed second:destroyed first:destroyed ");
}
