// The controls' arithmetic: switches and their wrap, the overlay's target area, the contact's
// release, knob drags and the wheel, plug-in and user values, hiding, greying, dirty and clean.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "EditorTestSupport.h"

using namespace edtest;
typedef TestPlug::Event Ev;

namespace
{

class EditorControls : public ::testing::Test
{
protected:
  TestPlug plug;
  TestGraphics* g = new TestGraphics(&plug, 213, 326);

  void SetUp() override
  {
    // Connected, so that the controls reach the graphics object through the plug-in.
    plug.ConnectGraphics(g);
  }
  IBitmap Image(int id, int w, int h, int frames) { return LoadGenerated(g, id, w, h, frames); }
  // The value of every 'C' (change from the editor) event, in order.
  std::vector<double> Pushed(int idx) const
  {
    std::vector<double> v;
    for (const Ev& e : plug.events)
      if (e.kind == 'C' && e.idx == idx) v.push_back(e.value);
    return v;
  }
};

const IMouseMod kLeft(true);
const IMouseMod kRight(false, true);

}  // namespace

TEST_F(EditorControls, BitmapControlsTakeOneFrameAsTheirRectangle)
{
  struct Case { int x, y, w, h, frames; IRECT expected; };
  const Case cases[] = {
    {91, 15, 18, 36, 2, IRECT(91, 15, 109, 33)},
    {18, 86, 65, 4225, 65, IRECT(18, 86, 83, 151)},
    {5, 156, 181, 150, 1, IRECT(5, 156, 186, 306)},
    {0, 0, 10, 10, 3, IRECT(0, 0, 10, 3)},  // integer division
  };
  int id = 7100;
  for (const Case& c : cases)
  {
    IBitmapControl ctl(&plug, c.x, c.y, -1, Image(id++, c.w, c.h, c.frames));
    EXPECT_EQ(ctl.GetRECT(), c.expected);
    EXPECT_EQ(ctl.GetTargetRECT(), c.expected);
  }
}

TEST_F(EditorControls, FrameSelectionMatchesTheRoundedValue)
{
  // Reference: the frame whose centre value is nearest, halves rounding up.
  for (int frames : {1, 2, 3, 4, 65})
  {
    IBitmapControl ctl(&plug, 0, 0, -1, Image(7110 + frames, 10, 10 * frames, frames));
    for (int i = 0; i <= 1000; ++i)
    {
      const double v = i / 1000.0;
      ctl.SetValueFromUser(v);
      int expected = 1;
      if (frames > 1)
      {
        double best = 1e9;
        for (int k = 1; k <= frames; ++k)
        {
          const double centre = (k - 1) / (double) (frames - 1);
          const double d = v - centre;
          // A value halfway between two frames shows the upper one.
          if (std::fabs(d) < best - 1e-12 || (std::fabs(std::fabs(d) - best) <= 1e-12 && d <= 0))
          {
            best = std::fabs(d);
            expected = k;
          }
        }
      }
      ASSERT_EQ(ctl.FrameForValue(), expected) << "frames " << frames << " value " << v;
    }
  }
}

TEST_F(EditorControls, SwitchStepsThroughItsFramesAndWraps)
{
  struct Case { int frames; std::vector<double> afterPresses; };
  const Case cases[] = {
    {1, {1.0, 0.0, 1.0}},
    {2, {1.0, 0.0, 1.0, 0.0}},
    {3, {0.5, 1.0, 0.0, 0.5}},
    {4, {1.0 / 3, 2.0 / 3, 1.0, 0.0}},  // the 1.001 limit absorbs the rounding of the sum
  };
  int id = 7120;
  for (const Case& c : cases)
  {
    ISwitchControl sw(&plug, 0, 0, 3, Image(id++, 40, 40 * c.frames, c.frames));
    plug.events.clear();
    for (size_t i = 0; i < c.afterPresses.size(); ++i)
    {
      sw.OnPress(5, 5, kLeft);
      EXPECT_NEAR(sw.GetValue(), c.afterPresses[i], 1e-12) << "frames " << c.frames << " press " << i + 1;
    }
    EXPECT_EQ(Pushed(3).size(), c.afterPresses.size()) << "every press is pushed";
  }
}

TEST_F(EditorControls, RightPressOnASwitchOpensTheEntryAndPushesTheSameValue)
{
  ISwitchControl sw(&plug, 0, 0, 3, Image(7130, 40, 80, 2));
  sw.OnPress(5, 5, kLeft);
  plug.events.clear();
  sw.OnPress(5, 5, kRight);
  EXPECT_EQ(sw.GetValue(), 1.0);
  EXPECT_EQ(g->entryCount, 1);
  EXPECT_EQ(g->entryControl, &sw);
  EXPECT_EQ(g->entryParam, plug.GetParam(3));
  EXPECT_TRUE(sw.RedrawAgain());
  EXPECT_EQ(Pushed(3), std::vector<double>({1.0}));
}

TEST_F(EditorControls, ValueEntryOnlyForLinkedControlsThatAllowIt)
{
  struct Case { int paramIdx; bool noEntry; int expectedCount; };
  const Case cases[] = {{0, false, 1}, {-1, false, 0}, {0, true, 0}};
  for (const Case& c : cases)
  {
    g->entryCount = 0;
    IKnobMultiControl knob(&plug, 0, 0, c.paramIdx, Image(7135, 65, 650, 10));
    knob.SetNoValueEntry(c.noEntry);
    knob.OnPress(1, 1, kRight);
    knob.OnPress(1, 1, kLeft);  // a left press never opens it
    EXPECT_EQ(g->entryCount, c.expectedCount) << c.paramIdx << " " << c.noEntry;
  }
}

TEST_F(EditorControls, OverlaySwitchesItsHitAreaWhenDrawn)
{
  const IRECT area(10, 35, 80, 55);
  IBitmapOverlayControl about(&plug, 5, 156, -1, Image(7140, 181, 150, 1), area);
  const IRECT full(5, 156, 186, 306);
  EXPECT_EQ(about.GetTargetRECT(), full);  // until the first Draw

  g->SetDrawRect(IRECT(0, 0, 213, 326));
  g->draws.clear();
  EXPECT_TRUE(about.Draw(g));
  EXPECT_TRUE(g->draws.empty()) << "off: draws nothing";
  EXPECT_EQ(about.GetTargetRECT(), area);
  EXPECT_TRUE(about.HitTest(20, 40));
  EXPECT_FALSE(about.HitTest(100, 200));

  about.OnPress(20, 40, kLeft);
  EXPECT_EQ(about.GetValue(), 1.0);
  EXPECT_TRUE(about.Draw(g));
  ASSERT_EQ(g->draws.size(), 1u);
  EXPECT_EQ(g->draws[0].dest, full);
  EXPECT_EQ(about.GetTargetRECT(), full);
  EXPECT_TRUE(about.HitTest(100, 200));
  EXPECT_FALSE(about.HitTest(20, 40)) << "the logo area lies outside the panel";

  about.OnPress(100, 200, kLeft);
  EXPECT_EQ(about.GetValue(), 0.0);
  about.Draw(g);
  EXPECT_EQ(about.GetTargetRECT(), area);
  EXPECT_EQ(about.Blend()->method, BlendNormal);
}

TEST_F(EditorControls, ContactReturnsToZeroOnReleaseAndItsDoubleClickIsAPress)
{
  IContactControlNoDblClick foot(&plug, 80, 172, -1, Image(7150, 40, 80, 2));
  EXPECT_TRUE(foot.DoubleClickAsPress());
  EXPECT_EQ(foot.GetRECT(), IRECT(80, 172, 120, 212));
  g->AddControl(new IContactControlNoDblClick(&plug, 80, 172, 0, Image(7150, 40, 80, 2)));
  IControl* linked = g->GetControl(0);

  g->MouseDown(90, 180, kLeft);
  EXPECT_EQ(linked->GetValue(), 1.0);
  g->MouseUp(150, 250, kLeft);  // released outside
  EXPECT_EQ(linked->GetValue(), 0.0);
  EXPECT_TRUE(g->MouseDoubleClick(90, 180, kLeft));
  EXPECT_EQ(linked->GetValue(), 1.0) << "pressed again, not restored to a default";
  g->MouseUp(90, 180, kLeft);
  EXPECT_EQ(linked->GetValue(), 0.0);
  EXPECT_EQ(Pushed(0), std::vector<double>({1.0, 0.0, 1.0, 0.0}));

  foot.OnPress(1, 1, kRight);  // a right press adds nothing
  EXPECT_EQ(foot.GetValue(), 0.0);
  foot.OnPress(1, 1, kLeft);
  foot.OnRelease(1, 1, kLeft);
  EXPECT_EQ(foot.GetValue(), 0.0);
}

TEST_F(EditorControls, KnobDragFollowsGearingDirectionAndModifiers)
{
  struct Case
  {
    int direction;
    double start;
    int dX, dY;
    IMouseMod mod;
    double expected;
  };
  const Case cases[] = {
    {Vertical, 0.5, 0, -13, IMouseMod(true), 0.55},                 // 13 px up on a 65-px knob
    {Vertical, 0.5, 0, 13, IMouseMod(true), 0.45},
    {Vertical, 0.5, 40, 0, IMouseMod(true), 0.5},
    {Vertical, 0.0, 0, -65, IMouseMod(true), 0.25},                 // full height: a quarter
    {Vertical, 0.5, 0, -13, IMouseMod(true, false, false, true), 1.0},  // control: ten times finer gearing
    {Vertical, 0.5, 0, 6, IMouseMod(true, false, true), 0.5 - 6.0 / 26.0},  // shift too
    {Vertical, 0.9, 0, -65, IMouseMod(true), 1.0},                  // limited at the end
    {Horizontal, 0.5, 0, -30, IMouseMod(true), 0.5},                // vertical movement ignored
    {Horizontal, 0.5, 13, 0, IMouseMod(true), 0.55},
    {7, 0.5, -13, 5, IMouseMod(true), 0.45},                        // any non-zero direction is horizontal
  };
  for (const Case& c : cases)
  {
    IKnobMultiControl knob(&plug, 18, 86, 0, Image(7160, 65, 4225, 65), c.direction, 4.0);
    knob.SetValueFromUser(c.start);
    plug.events.clear();
    knob.OnDrag(0, 0, c.dX, c.dY, c.mod);
    EXPECT_NEAR(knob.GetValue(), c.expected, 1e-12)
      << "direction " << c.direction << " start " << c.start << " d " << c.dX << "," << c.dY;
    EXPECT_EQ(Pushed(0).size(), 1u);
  }
}

TEST_F(EditorControls, KnobReversesAtOnceAfterRunningPastAnEnd)
{
  g->AddControl(new IKnobMultiControl(&plug, 18, 86, 1, Image(7160, 65, 4225, 65), Vertical, 4.0));
  IControl* knob = g->GetControl(0);
  knob->SetValueFromUser(0.9);
  g->MouseDown(50, 100, kLeft);
  g->MouseDrag(50, 50, kLeft);  // 50 px up: would be 0.9 + 0.19
  EXPECT_EQ(knob->GetValue(), 1.0);
  g->MouseDrag(50, 63, kLeft);  // 13 px back down acts at once
  EXPECT_NEAR(knob->GetValue(), 0.95, 1e-12);
  g->MouseUp(50, 63, kLeft);
  EXPECT_EQ(plug.events.front().kind, 'C');  // SetValueFromUser pushed first
  EXPECT_EQ(plug.events[1], (Ev{'B', 1, 0.0}));
  EXPECT_EQ(plug.events.back(), (Ev{'E', 1, 0.0}));
  EXPECT_NEAR(plug.GetParam(1)->Value(), 9.5, 1e-9);
}

TEST_F(EditorControls, WheelStepsAndLimits)
{
  struct Case { double start; int notches; IMouseMod mod; double expected; };
  const Case cases[] = {
    {0.98, 5, IMouseMod(), 1.0},
    {0.5, 3, IMouseMod(), 0.53},
    {0.5, -2, IMouseMod(false, false, false, true), 0.498},
    {0.5, 4, IMouseMod(false, false, true), 0.504},
    {0.0, -1, IMouseMod(), 0.0},
    {0.3, 0, IMouseMod(), 0.3},
  };
  for (const Case& c : cases)
  {
    IKnobMultiControl knob(&plug, 0, 0, 0, Image(7160, 65, 4225, 65));
    knob.SetValueFromUser(c.start);
    plug.events.clear();
    knob.OnWheel(0, 0, c.mod, c.notches);
    EXPECT_NEAR(knob.GetValue(), c.expected, 1e-12) << c.start << " + " << c.notches;
    ASSERT_EQ(Pushed(0).size(), 1u);
    EXPECT_EQ(Pushed(0)[0], knob.GetValue());
  }
}

TEST_F(EditorControls, DoubleClickRestoresTheDefaultOnlyAfterAPluginPush)
{
  IKnobMultiControl knob(&plug, 0, 0, 0, Image(7160, 65, 4225, 65));
  knob.OnDrag(0, 0, 0, -26, kLeft);
  EXPECT_NEAR(knob.GetValue(), 0.1, 1e-12);
  plug.events.clear();
  knob.OnDoubleClick(0, 0, kLeft);  // no default yet
  EXPECT_NEAR(knob.GetValue(), 0.1, 1e-12);
  EXPECT_TRUE(plug.events.empty());

  knob.SetValueFromPlugin(0.5);
  EXPECT_EQ(knob.GetDefaultValue(), 0.5);
  knob.OnDrag(0, 0, 0, -13, kLeft);
  knob.SetValueFromPlugin(0.7);  // later pushes do not move the default
  knob.OnDoubleClick(0, 0, kLeft);
  EXPECT_EQ(knob.GetValue(), 0.5);
  EXPECT_EQ(Pushed(0).back(), 0.5);
}

TEST_F(EditorControls, ValuesFromThePluginAndFromTheUser)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  IKnobMultiControl knob(&plug, 0, 0, 0, Image(7160, 65, 4225, 65));
  knob.MarkClean();

  knob.SetValueFromPlugin(0.0);  // first value: taken as default even though equal
  EXPECT_EQ(knob.GetDefaultValue(), 0.0);
  EXPECT_TRUE(knob.IsDirty());
  EXPECT_TRUE(knob.RedrawAgain());
  knob.MarkClean();
  knob.MarkClean();
  knob.SetValueFromPlugin(0.0);  // equal now: nothing
  EXPECT_FALSE(knob.IsDirty());
  knob.SetValueFromPlugin(nan);  // not a number: nothing
  EXPECT_FALSE(knob.IsDirty());
  EXPECT_EQ(knob.GetValue(), 0.0);
  knob.SetValueFromPlugin(1.7);  // limited
  EXPECT_EQ(knob.GetValue(), 1.0);
  EXPECT_TRUE(Pushed(0).empty()) << "plug-in values never go back";

  knob.MarkClean();
  knob.MarkClean();
  knob.SetValueFromUser(1.0);  // the current value: no push, no redraw
  knob.SetValueFromUser(nan);
  EXPECT_FALSE(knob.IsDirty());
  EXPECT_TRUE(Pushed(0).empty());
  knob.SetValueFromUser(0.25);
  EXPECT_TRUE(knob.IsDirty());
  EXPECT_TRUE(knob.RedrawAgain());
  EXPECT_EQ(Pushed(0), std::vector<double>({0.25}));
}

TEST_F(EditorControls, MarkDirtyLimitsTheValueAndMarkCleanHonoursRedrawAgain)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case { double lo, hi, v, expected; };
  const Case cases[] = {
    {0.0, 1.0, 1.5, 1.0}, {0.0, 1.0, -0.5, 0.0}, {0.2, 0.8, 0.1, 0.2},
    {0.2, 0.8, 0.9, 0.8}, {0.2, 0.8, nan, 0.2},  {0.0, 1.0, 0.3, 0.3},
  };
  for (const Case& c : cases)
  {
    IHiddenToggleControl t(&plug, IRECT(0, 0, 10, 10), -1);
    t.SetClamp(c.lo, c.hi);
    t.SetValueFromPlugin(c.v);  // the first value always goes through to MarkDirty
    EXPECT_EQ(t.GetValue(), c.expected) << c.lo << ".." << c.hi << " value " << c.v;
  }

  IHiddenToggleControl t(&plug, IRECT(0, 0, 10, 10), -1);
  EXPECT_TRUE(t.IsDirty());  // dirty from the start
  t.MarkClean();
  EXPECT_FALSE(t.IsDirty());
  t.MarkDirty(false);
  EXPECT_TRUE(t.HasChanged());
  t.MarkClean();
  EXPECT_FALSE(t.IsDirty());
  t.Hide(true);  // sets redrawAgain: dirty for two cleans
  t.MarkClean();
  EXPECT_TRUE(t.IsDirty());
  t.MarkClean();
  EXPECT_FALSE(t.IsDirty());
}

TEST_F(EditorControls, GreyingOutSetsAQuarterWeightAndBackToFull)
{
  IBitmapControl led(&plug, 91, 15, -1, Image(7170, 18, 36, 2));
  led.GreyOut(true);
  EXPECT_EQ(led.Blend()->weight, 0.25f);
  EXPECT_TRUE(led.IsGrayed());
  led.GreyOut(false);
  EXPECT_EQ(led.Blend()->weight, 1.0f);
  EXPECT_FALSE(led.IsGrayed());
  EXPECT_TRUE(led.IsDirty());
}

TEST_F(EditorControls, HiddenToggleFlipsOnAnyButtonAndDrawsNothing)
{
  IHiddenToggleControl t(&plug, IRECT(80, 172, 110, 202), 2);
  EXPECT_TRUE(t.NoValueEntry());
  EXPECT_EQ(t.Blend()->method, BlendCopy);
  struct Step { IMouseMod mod; double expected; };
  const Step steps[] = {{kLeft, 1.0}, {kRight, 0.0}, {kRight, 1.0}, {kLeft, 0.0}};
  for (const Step& s : steps)
  {
    t.OnPress(85, 180, s.mod);
    EXPECT_EQ(t.GetValue(), s.expected);
  }
  EXPECT_EQ(g->entryCount, 0);
  EXPECT_EQ(Pushed(2), std::vector<double>({1.0, 0.0, 1.0, 0.0}));
  g->draws.clear();
  EXPECT_TRUE(t.Draw(g));
  EXPECT_TRUE(g->draws.empty());
}
