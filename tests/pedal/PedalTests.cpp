// The pedal's editor as the effect builds it: the control list, the footswitch link and its LED,
// the about panel, the knobs, and the composed picture against a reference image.
//
// The reference image is tests/pedal/golden/editor.png. After an intended change of the artwork
// or the drawing code, regenerate it on purpose with
//   TORVO_UPDATE_GOLDEN=1 <build>/tests/pedal/pedal_tests --gtest_filter='PedalGolden.*'
// and look at the new file before committing it (torvo-editor-snapshot writes the same picture).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "EditorSnapshot.h"
#include "editor/HeadlessWindowSystem.h"
#include "editor/IControl.h"
#include "editor/IGraphicsWin.h"
#include "effect/EditorLayout.h"
#include "effect/PlugExample.h"
#include "effect/StompSwitch.h"

namespace
{
using namespace EditorMsg;
using namespace PedalLayout;

struct HostEvent
{
  int opcode;
  int index;
  float value;
};
std::vector<HostEvent> gHostEvents;

VstIntPtr VSTCALLBACK RecordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
  if (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
    gHostEvents.push_back({opcode, index, opt});
  if (opcode == 1 /* audioMasterVersion */) return 2400;
  return 0;
}

class PedalTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    SetEditorWindowSystem(&sys);
    sys.EnableWindows(true);
    host = sys.CreateHostWindow(200, 100, 640, 480);
    gHostEvents.clear();
    plug.reset(new PlugExample(RecordingHost));
    effect = plug->GetAEffect();
    graphics = dynamic_cast<IGraphicsWin*>(plug->GetGraphics());
    ASSERT_NE(graphics, nullptr);
  }
  void TearDown() override
  {
    plug.reset();
    SetEditorWindowSystem(nullptr);
  }

  VstIntPtr Dispatch(VstInt32 op, VstInt32 idx = 0, VstIntPtr value = 0, void* ptr = nullptr)
  {
    return effect->dispatcher(effect, op, idx, value, ptr, 0.0f);
  }
  HWND OpenEditor()
  {
    EXPECT_EQ(Dispatch(effEditOpen, 0, 0, host), 1);
    return graphics->WindowHandle();
  }
  void Tick() { ASSERT_TRUE(sys.FireTimer(graphics->WindowHandle())); }
  void Mouse(unsigned msg, int x, int y, uintptr_t buttons)
  {
    sys.Send(graphics->WindowHandle(), msg, buttons, PackPoint(x, y));
  }
  // A left press and release on the footswitch across ticks: press, tick, release, tick.
  void StompAcrossTicks()
  {
    Mouse(kLButtonDown, 100, 192, kButtonLeft);
    Tick();
    Mouse(kLButtonUp, 100, 192, 0);
    Tick();
  }
  IControl* Control(int idx) { return graphics->GetControl(idx); }
  double Led() { return Control(plug->LedControlIndex())->GetValue(); }
  double Effect() { return plug->GetParam(kEffectParam)->Value(); }
  std::vector<HostEvent> EventsFor(int index)
  {
    std::vector<HostEvent> out;
    for (const HostEvent& e : gHostEvents)
      if (e.index == index) out.push_back(e);
    return out;
  }

  HeadlessWindowSystem sys;
  HWND host = nullptr;
  std::unique_ptr<PlugExample> plug;
  AEffect* effect = nullptr;
  IGraphicsWin* graphics = nullptr;
};

TEST_F(PedalTest, EightControlsInLayoutOrder)
{
  EXPECT_EQ(graphics->Width(), 213);
  EXPECT_EQ(graphics->Height(), 326);
  EXPECT_EQ(graphics->FramesPerSecond(), 24);
  ASSERT_EQ(graphics->NControls(), 8);
  EXPECT_EQ(plug->LedControlIndex(), 1);

  struct Row
  {
    const char* what;
    IRECT rect;
    int param;
    int frames;  // 0: no bitmap
  } rows[] = {
    {"background", IRECT(0, 0, 213, 326), -1, 1},
    {"LED", IRECT(91, 15, 109, 33), -1, 2},
    {"cabinet toggle", IRECT(80, 61, 120, 101), 3, 2},
    {"hidden effect toggle", IRECT(80, 172, 110, 202), 2, 0},
    {"footswitch", IRECT(80, 172, 120, 212), -1, 2},
    {"level knob", IRECT(18, 86, 83, 151), 0, 65},
    {"attack knob", IRECT(115, 86, 180, 151), 1, 65},
    {"about panel", IRECT(5, 156, 186, 306), -1, 1},
  };
  for (int i = 0; i < 8; ++i)
  {
    SCOPED_TRACE(rows[i].what);
    IControl* c = Control(i);
    EXPECT_EQ(c->GetRECT(), rows[i].rect);
    EXPECT_EQ(c->ParamIdx(), rows[i].param);
    EXPECT_EQ(c->IsHidden(), i == kHiddenEffectControl);
    if (auto* b = dynamic_cast<IBitmapControl*>(c))
    {
      EXPECT_EQ(b->GetBitmap().frames, rows[i].frames);
      EXPECT_NE(b->GetBitmap().image, nullptr);
    }
    else if (auto* k = dynamic_cast<IKnobMultiControl*>(c))
    {
      EXPECT_EQ(k->GetBitmap().frames, rows[i].frames);
      EXPECT_EQ(k->Direction(), Vertical);
      EXPECT_EQ(k->Gearing(), 4.0);
    }
    else
    {
      EXPECT_EQ(rows[i].frames, 0);
    }
  }
  EXPECT_EQ(Control(0)->Blend()->method, BlendCopy);
  EXPECT_EQ(Control(1)->Blend()->method, BlendNormal);
  EXPECT_NE(dynamic_cast<ISwitchControl*>(Control(2)), nullptr);
  EXPECT_NE(dynamic_cast<IHiddenToggleControl*>(Control(3)), nullptr);
  auto* contact = dynamic_cast<IContactControlNoDblClick*>(Control(4));
  ASSERT_NE(contact, nullptr);
  EXPECT_TRUE(contact->DoubleClickAsPress());
  auto* about = dynamic_cast<IBitmapOverlayControl*>(Control(7));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->TargetArea(), IRECT(10, 35, 80, 55));

  // Linked controls took their parameters' values; the others keep their own.
  EXPECT_EQ(Control(kLevelKnobControl)->GetValue(), 0.5);
  EXPECT_EQ(Control(kAttackKnobControl)->GetValue(), 0.5);
  EXPECT_EQ(Control(kCabinetToggleControl)->GetValue(), 1.0);
  EXPECT_EQ(Control(kHiddenEffectControl)->GetValue(), 1.0);
  EXPECT_EQ(Control(kFootswitchControl)->GetValue(), 0.0);
  EXPECT_EQ(Control(kAboutPanelControl)->GetValue(), 0.0);
}

TEST_F(PedalTest, FootswitchTogglesEffectAndLed)
{
  Dispatch(effOpen);
  EXPECT_EQ(Led(), 1.0);
  EXPECT_TRUE(plug->EffectOn());
  OpenEditor();
  Tick();
  gHostEvents.clear();

  StompAcrossTicks();
  EXPECT_EQ(Effect(), 0.0);
  EXPECT_FALSE(plug->EffectOn());
  EXPECT_EQ(Led(), 0.0);
  EXPECT_EQ(Control(kHiddenEffectControl)->GetValue(), 0.0);
  std::vector<HostEvent> events = EventsFor(kEffectParam);
  ASSERT_EQ(events.size(), 1u);  // automation only: no gesture brackets for the footswitch
  EXPECT_EQ(events[0].opcode, audioMasterAutomate);
  EXPECT_EQ(events[0].value, 0.0f);

  StompAcrossTicks();
  EXPECT_EQ(Effect(), 1.0);
  EXPECT_TRUE(plug->EffectOn());
  EXPECT_EQ(Led(), 1.0);
  events = EventsFor(kEffectParam);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].value, 1.0f);
}

TEST_F(PedalTest, PressAndReleaseBetweenTwoTicksIsNotSeen)
{
  Dispatch(effOpen);
  OpenEditor();
  Tick();
  Mouse(kLButtonDown, 100, 192, kButtonLeft);
  Mouse(kLButtonUp, 100, 192, 0);
  Tick();
  Tick();
  EXPECT_EQ(Effect(), 1.0);
  EXPECT_EQ(Led(), 1.0);
  EXPECT_TRUE(EventsFor(kEffectParam).empty());
}

TEST_F(PedalTest, FootswitchNeedsTheWindowTimer)
{
  Dispatch(effOpen);
  // Without an open window nothing notifies the link.
  Control(kFootswitchControl)->OnPress(100, 192, IMouseMod(true));
  Control(kFootswitchControl)->OnRelease(100, 192, IMouseMod());
  EXPECT_EQ(Effect(), 1.0);
}

TEST_F(PedalTest, RightPressOnTheFootswitchChangesNothing)
{
  Dispatch(effOpen);
  OpenEditor();
  Tick();
  Mouse(kRButtonDown, 100, 192, kButtonRight);
  Tick();
  Mouse(kRButtonUp, 100, 192, 0);
  Tick();
  EXPECT_EQ(Effect(), 1.0);
  EXPECT_EQ(Led(), 1.0);
  EXPECT_EQ(graphics->EntryWindow(), nullptr);  // no parameter, no value entry
  EXPECT_TRUE(EventsFor(kEffectParam).empty());
}

TEST_F(PedalTest, AboutPanelCoversTheFootswitch)
{
  Dispatch(effOpen);
  OpenEditor();
  Tick();
  IControl* about = Control(kAboutPanelControl);
  // Off, only the logo is hit: a press on the footswitch below still reaches the footswitch.
  EXPECT_EQ(graphics->ControlAt(100, 192), kFootswitchControl);
  Mouse(kLButtonDown, 45, 45, kButtonLeft);
  Mouse(kLButtonUp, 45, 45, 0);
  EXPECT_EQ(about->GetValue(), 1.0);
  Tick();
  EXPECT_EQ(graphics->ControlAt(100, 192), kAboutPanelControl);

  StompAcrossTicks();
  EXPECT_EQ(about->GetValue(), 0.0);  // the click hid the panel
  EXPECT_EQ(Effect(), 1.0);
  EXPECT_EQ(Led(), 1.0);
  Tick();
  EXPECT_EQ(graphics->ControlAt(100, 192), kFootswitchControl);
  StompAcrossTicks();
  EXPECT_EQ(Effect(), 0.0);
}

TEST_F(PedalTest, LedFollowsEffectFromEverySource)
{
  // Opening runs every reaction.
  Dispatch(effOpen);
  EXPECT_EQ(Led(), 1.0);

  // The host automates "Effect": LED and hidden toggle move with it.
  effect->setParameter(effect, kEffectParam, 0.0f);
  EXPECT_EQ(Led(), 0.0);
  EXPECT_EQ(Control(kHiddenEffectControl)->GetValue(), 0.0);
  effect->setParameter(effect, kEffectParam, 1.0f);
  EXPECT_EQ(Led(), 1.0);

  // A stored state.
  effect->setParameter(effect, kEffectParam, 0.0f);
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, 1, 0, &data);
  ASSERT_GT(size, 0);
  std::vector<unsigned char> saved((const unsigned char*) data, (const unsigned char*) data + size);
  effect->setParameter(effect, kEffectParam, 1.0f);
  EXPECT_EQ(Led(), 1.0);
  Dispatch(effSetChunk, 1, size, saved.data());
  EXPECT_EQ(Effect(), 0.0);
  EXPECT_EQ(Led(), 0.0);

  // Presets: program 1 holds the defaults; program 0 keeps what was current when we left it.
  Dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(Led(), 1.0);
  Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(Effect(), 0.0);
  EXPECT_EQ(Led(), 0.0);

  // The footswitch then toggles from the current value.
  OpenEditor();
  Tick();
  StompAcrossTicks();
  EXPECT_EQ(Effect(), 1.0);
  EXPECT_EQ(Led(), 1.0);
}

TEST_F(PedalTest, KnobFullHeightDragRaisesByAQuarter)
{
  Dispatch(effOpen);
  OpenEditor();
  for (int knob : {kLevelKnobControl, kAttackKnobControl})
  {
    SCOPED_TRACE(knob);
    const IRECT r = Control(knob)->GetRECT();
    const int x = (r.left + r.right) / 2;
    const int param = Control(knob)->ParamIdx();
    const double start = plug->GetParam(param)->Value();
    gHostEvents.clear();
    Mouse(kLButtonDown, x, 140, kButtonLeft);
    for (int step = 1; step <= 13; ++step) Mouse(kMouseMove, x, 140 - 5 * step, kButtonLeft);
    Mouse(kLButtonUp, x, 140 - 65, 0);
    EXPECT_NEAR(Control(knob)->GetValue(), start + 0.25, 1e-12);
    EXPECT_NEAR(plug->GetParam(param)->Value(), start + 0.25, 1e-12);
    std::vector<HostEvent> events = EventsFor(param);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(events.back().opcode, audioMasterEndEdit);
  }
  EXPECT_NEAR(plug->Drive(), 0.75 * 25, 1e-9);
}

TEST_F(PedalTest, ValueEntryOnTheLevelKnobAndTheCabinetList)
{
  Dispatch(effOpen);
  OpenEditor();
  Tick();
  Mouse(kRButtonDown, 50, 118, kButtonRight);
  Mouse(kRButtonUp, 50, 118, 0);
  HWND box = graphics->EntryWindow();
  ASSERT_NE(box, nullptr);
  char text[64];
  sys.GetText(box, text, (int) sizeof text);
  EXPECT_STREQ(text, "0.500");
  sys.Focus(box);
  sys.Type(box, "0.25");
  sys.PressKey(box, kVirtualKeyReturn);
  Tick();
  EXPECT_EQ(plug->GetParam(kLevelParam)->Value(), 0.25);
  EXPECT_EQ(plug->Level(), 0.25);

  Mouse(kRButtonDown, 100, 81, kButtonRight);
  Mouse(kRButtonUp, 100, 81, 0);
  HWND list = graphics->EntryWindow();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(sys.Find(list)->items, (std::vector<std::string>{"Off", "On"}));
  EXPECT_EQ(sys.Find(list)->selected, 1);
  sys.Choose(list, 0);
  Tick();
  EXPECT_FALSE(plug->CabinetOn());
  EXPECT_EQ(Control(kCabinetToggleControl)->GetValue(), 0.0);
}

TEST_F(PedalTest, NativeHostGetsNoEditorWindowByDefault)
{
  HeadlessWindowSystem fresh;
  SetEditorWindowSystem(&fresh);
  PlugExample other(RecordingHost);
  AEffect* e = other.GetAEffect();
  EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, fresh.CreateHostWindow(0, 0, 10, 10), 0.0f), 0);
  SetEditorWindowSystem(&sys);
}

std::string GoldenPath() { return std::string(TORVO_PEDAL_GOLDEN_DIR) + "/editor.png"; }

TEST(PedalGolden, FirstPaintMatchesTheReferenceImage)
{
  EditorSnapshotImage actual;
  ASSERT_TRUE(ComposeEditorSnapshot(false, &actual));
  ASSERT_EQ(actual.width, 213);
  ASSERT_EQ(actual.height, 326);

  const char* update = std::getenv("TORVO_UPDATE_GOLDEN");
  if (update && std::strcmp(update, "1") == 0)
  {
    ASSERT_TRUE(WriteSnapshotPNG(GoldenPath(), actual)) << GoldenPath();
    GTEST_SKIP() << "reference image rewritten: " << GoldenPath();
  }

  EditorSnapshotImage expected;
  ASSERT_TRUE(ReadSnapshotPNG(GoldenPath(), &expected))
    << "missing " << GoldenPath() << " (TORVO_UPDATE_GOLDEN=1 writes it)";
  ASSERT_EQ(expected.width, actual.width);
  ASSERT_EQ(expected.height, actual.height);
  int differing = 0;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
    {
      const uint32_t a = actual.pixels[(size_t) (y * actual.width + x)];
      const uint32_t e = expected.pixels[(size_t) (y * actual.width + x)];
      if (a != e && ++differing <= 10)
        ADD_FAILURE() << "pixel (" << x << ", " << y << "): expected 0x" << std::hex << e << ", got 0x" << a
                      << std::dec;
    }
  EXPECT_EQ(differing, 0) << "pixels differ from " << GoldenPath();
}

TEST(PedalGolden, AboutPanelChangesOnlyItsRectangle)
{
  EditorSnapshotImage plain, about;
  ASSERT_TRUE(ComposeEditorSnapshot(false, &plain));
  ASSERT_TRUE(ComposeEditorSnapshot(true, &about));
  const IRECT panel(5, 156, 186, 306);
  int changedInside = 0, changedOutside = 0;
  for (int y = 0; y < plain.height; ++y)
    for (int x = 0; x < plain.width; ++x)
    {
      const bool changed = plain.pixels[(size_t) (y * plain.width + x)] != about.pixels[(size_t) (y * plain.width + x)];
      if (changed) (panel.Contains(x, y) ? changedInside : changedOutside) += 1;
    }
  EXPECT_GT(changedInside, panel.W() * panel.H() / 2);
  EXPECT_EQ(changedOutside, 0);
}
}  // namespace
