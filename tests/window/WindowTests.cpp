// The editor window driven through the headless window system: opening and closing, the timer,
// mouse, wheel and key messages, the value entry (text box and list box), typed-value parsing and
// the dialogs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/HeadlessWindowSystem.h"
#include "editor/IControl.h"
#include "editor/IGraphicsWin.h"
#include "framework/IPlugBase.h"

namespace
{
using namespace EditorMsg;

// A plug-in with a continuous "Level" (0..1, step 0.001) and a choice "Cabinet" (Off/On).
class TestPlug : public IPlugBase
{
public:
  TestPlug() : IPlugBase(2, "1-1", 1, "Test", "", "maker", 0x10000, 1, 2, 0, false, false, false)
  {
    GetParam(0)->InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
    GetParam(1)->InitChoice("Cabinet", 1, 2);
    GetParam(1)->AddValueText(0, "Off");
    GetParam(1)->AddValueText(1, "On");
  }
  void NotifyHostParamChange(int idx, double value) override { automated.push_back({idx, value}); }
  void NotifyHostEditBegin(int idx) override { edits.push_back("begin " + std::to_string(idx)); }
  void NotifyHostEditEnd(int idx) override { edits.push_back("end " + std::to_string(idx)); }
  void RefreshEditorRect(int w, int h) override { refreshed = IRECT(0, 0, w, h); }

  struct Automation
  {
    int idx;
    double value;
  };
  std::vector<Automation> automated;
  std::vector<std::string> edits;
  IRECT refreshed;
};

// A knob that records what reaches it.
class TestKnob : public IKnobControl
{
public:
  TestKnob(IPlugBase* plug, const IRECT& r, int param) : IKnobControl(plug, r, param) {}
  bool Draw(IGraphics*) override
  {
    ++draws;
    return true;
  }
  void OnKey(int x, int y, int key) override { keys.push_back({x, y, key}); }
  void OnWheel(int x, int y, const IMouseMod& mod, int notches) override
  {
    wheels.push_back({x, y, notches});
    IKnobControl::OnWheel(x, y, mod, notches);
  }
  struct Event
  {
    int x, y, v;
  };
  std::vector<Event> keys, wheels;
  int draws = 0;
};

// A switch linked to the choice parameter: a plain IControl that draws nothing.
class TestChoice : public IControl
{
public:
  TestChoice(IPlugBase* plug, const IRECT& r, int param) : IControl(plug, r, param) {}
  bool Draw(IGraphics*) override { return true; }
};

const IRECT kKnobRect(18, 86, 83, 151);
const IRECT kChoiceRect(80, 61, 120, 101);

class WindowTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    SetEditorWindowSystem(&sys);
    sys.EnableWindows(true);
    host = sys.CreateHostWindow(100, 50, 800, 600);
    plug.reset(new TestPlug);
    graphics = new IGraphicsWin(plug.get(), 213, 326, 0);
    graphics->SetModule(reinterpret_cast<HMODULE>(&moduleToken));
    knob = new TestKnob(plug.get(), kKnobRect, 0);
    choice = new TestChoice(plug.get(), kChoiceRect, 1);
    graphics->AddControl(knob);
    graphics->AddControl(choice);
    plug->ConnectGraphics(graphics);
  }
  void TearDown() override
  {
    plug.reset();
    SetEditorWindowSystem(nullptr);
  }

  HWND Open()
  {
    HWND w = graphics->OpenWindow(host);
    EXPECT_NE(w, nullptr);
    return w;
  }
  bool Tick() { return sys.FireTimer(graphics->WindowHandle(), IGraphicsWin::kTimerId); }
  void Press(unsigned msg, int x, int y, uintptr_t buttons)
  {
    sys.Send(graphics->WindowHandle(), msg, buttons, PackPoint(x, y));
  }
  void RightPressOn(const IRECT& r)
  {
    Press(kRButtonDown, (r.left + r.right) / 2, (r.top + r.bottom) / 2, kButtonRight);
    Press(kRButtonUp, (r.left + r.right) / 2, (r.top + r.bottom) / 2, 0);
  }
  std::string ChildText(HWND child)
  {
    char buf[256];
    sys.GetText(child, buf, (int) sizeof buf);
    return buf;
  }
  std::string Display(int param)
  {
    char buf[64];
    plug->GetParam(param)->FormatForHost(plug->GetParam(param)->Value(), false, buf, (int) sizeof buf);
    return buf;
  }

  int moduleToken = 0;
  HeadlessWindowSystem sys;
  HWND host = nullptr;
  std::unique_ptr<TestPlug> plug;
  IGraphicsWin* graphics = nullptr;  // owned by plug
  TestKnob* knob = nullptr;
  TestChoice* choice = nullptr;
};

// ---- Fixed rules ----

TEST(WindowRules, TimerIntervalIsTruncatedMilliseconds)
{
  struct Row { double fps; int ms; } rows[] = {{24, 41}, {30, 33}, {60, 16}, {1, 1000}, {7, 142}, {0, 41}};
  for (const Row& r : rows) EXPECT_EQ(IGraphicsWin::TimerIntervalMs(r.fps), r.ms) << "fps " << r.fps;
}

TEST(WindowRules, KeyTable)
{
  auto expected = [](int vk) {
    switch (vk)
    {
      case 32: return 0;
      case 38: return 1;
      case 40: return 2;
      case 37: return 3;
      case 39: return 4;
    }
    if (vk >= '0' && vk <= '9') return 5 + (vk - '0');
    if (vk >= 'A' && vk <= 'Z') return 15 + (vk - 'A');
    return -1;
  };
  for (int vk = 0; vk < 256; ++vk) EXPECT_EQ(IGraphicsWin::KeyCodeFor(vk), expected(vk)) << "vk " << vk;
  EXPECT_EQ(IGraphicsWin::KeyCodeFor('0'), 5);
  EXPECT_EQ(IGraphicsWin::KeyCodeFor('Z'), 40);
  EXPECT_EQ(IGraphicsWin::KeyCodeFor(13), -1);
}

TEST(WindowRules, WheelNotchesTruncateTowardsZero)
{
  struct Row { int delta; int notches; } rows[] = {
    {60, 0}, {-60, 0}, {240, 2}, {-240, -2}, {120, 1}, {-120, -1}, {119, 0}, {-359, -2}, {0, 0}};
  for (const Row& r : rows)
    EXPECT_EQ(IGraphicsWin::WheelNotches(PackWheel(r.delta, kKeyShift)), r.notches) << "delta " << r.delta;
}

TEST(WindowRules, DecoderChosenByExtension)
{
  struct Row { const char* name; int decoder; } rows[] = {
    {"img/background.png", 1}, {"a.PNG", 1}, {"b.Png", 1}, {"x.jpg", 2}, {"x.JPEG", 2}, {"x.Jpg", 2},
    {"x.jPeG", 2}, {"x.gif", 0}, {"x.png.gif", 0}, {"png", 0}, {"xpng", 1}, {".png", 1}, {"", 0},
    {"a.", 0}, {"a.pngx", 0}};
  for (const Row& r : rows) EXPECT_EQ(IGraphicsWin::DecoderForName(r.name), r.decoder) << r.name;
  EXPECT_EQ(IGraphicsWin::DecoderForName(nullptr), 0);
}

TEST(WindowRules, ParseTypedNumbers)
{
  IParam level;
  level.InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
  struct Row { const char* text; double value; } rows[] = {
    {"0.25", 0.25}, {"  -1e-1", -0.1}, {"abc", 0.0}, {"", 0.0}, {"+3", 3.0}, {".5", 0.5}, {"5.", 5.0},
    {"1e", 1.0}, {"1e+", 1.0}, {"2E2x", 200.0}, {"0x10", 0.0}, {"inf", 0.0}, {"nan", 0.0}, {"-", 0.0},
    {".", 0.0}, {"\t\n 7", 7.0}, {"1e-999", 0.0}, {"0.75 dB", 0.75}, {"1,5", 1.0}};
  for (const Row& r : rows)
    EXPECT_EQ(IGraphicsWin::ParseTypedValue(level, r.text), r.value) << "text \"" << r.text << "\"";
  EXPECT_EQ(IGraphicsWin::ParseTypedValue(level, "1e999"), HUGE_VAL);
  EXPECT_EQ(IGraphicsWin::ParseTypedValue(level, "-1e999"), -HUGE_VAL);
}

TEST(WindowRules, ParseTypedTextsOfAChoice)
{
  IParam cab;
  cab.InitChoice("Cabinet", 1, 2);
  cab.AddValueText(0, "Off");
  cab.AddValueText(1, "On");
  struct Row { const char* text; double value; } rows[] = {
    {"On", 1.0}, {"Off", 0.0}, {"on", 0.0}, {"On ", 0.0}, {"1", 0.0}, {"Maybe", 0.0}, {"", 0.0}};
  for (const Row& r : rows)
    EXPECT_EQ(IGraphicsWin::ParseTypedValue(cab, r.text), r.value) << "text \"" << r.text << "\"";
}

TEST(WindowRules, ParsingStopsAtTheTypedTextLimit)
{
  IParam level;
  level.InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
  // 31 digits fit; the exponent behind them is past the limit and must not be read.
  std::string text(31, '1');
  text += "e5";
  const double expected = std::strtod(std::string(31, '1').c_str(), nullptr);
  EXPECT_EQ(IGraphicsWin::ParseTypedValue(level, text.c_str()), expected);

  // A long text without a terminator inside the limit is still read only up to it.
  char unterminated[40];
  std::memset(unterminated, '9', sizeof unterminated);
  unterminated[39] = '\0';
  EXPECT_EQ(IGraphicsWin::ParseTypedValue(level, unterminated),
            std::strtod(std::string(31, '9').c_str(), nullptr));
}

TEST(WindowRules, EntryGeometry)
{
  IParam level;
  level.InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
  EntryChildSpec box = IGraphicsWin::EntryGeometry(kKnobRect, level, "0.500");
  EXPECT_FALSE(box.listBox);
  EXPECT_EQ(box.width, 65);
  EXPECT_EQ(box.height, 65);
  EXPECT_EQ(box.x, 50 - 32);  // centre trunc(101 / 2) = 50, half width 32
  EXPECT_EQ(box.y, 118 - 32);
  EXPECT_STREQ(box.text, "0.500");

  // A small control gets the minimum size 36 x 16, still centred.
  EntryChildSpec small = IGraphicsWin::EntryGeometry(IRECT(10, 10, 20, 14), level, "1");
  EXPECT_EQ(small.width, 36);
  EXPECT_EQ(small.height, 16);
  EXPECT_EQ(small.x, 15 - 18);
  EXPECT_EQ(small.y, 12 - 8);

  IParam many;
  many.InitChoice("Mode", 2, 3);
  many.AddValueText(0, "A");
  many.AddValueText(1, "Longest");
  many.AddValueText(2, "Longest");
  EntryChildSpec list = IGraphicsWin::EntryGeometry(IRECT(-9, 0, 0, 9), many, "Longest");
  EXPECT_TRUE(list.listBox);
  EXPECT_EQ(list.width, 8 * 7 + 24);
  EXPECT_EQ(list.height, 36 * 4);
  EXPECT_EQ(list.x, -4 - 40);  // centre trunc(-4.5) = -4
  EXPECT_EQ(list.y, 4);
  EXPECT_EQ(list.selected, 2);  // a later equal text wins
  ASSERT_EQ(list.items.size(), 3u);
  EXPECT_STREQ(list.items[1], "Longest");
  EXPECT_EQ(IGraphicsWin::EntryGeometry(IRECT(0, 0, 9, 9), many, "none").selected, -1);
}

// ---- Opening and closing ----

TEST(WindowDefaults, NativeHostGetsNoWindowUnlessEnabled)
{
  HeadlessWindowSystem fresh;
  SetEditorWindowSystem(&fresh);
  {
    TestPlug plug;
    IGraphicsWin* g = new IGraphicsWin(&plug, 213, 326, 0);
    plug.ConnectGraphics(g);
    EXPECT_EQ(g->OpenWindow(fresh.CreateHostWindow(0, 0, 10, 10)), nullptr);
    EXPECT_FALSE(g->IsWindowOpen());
    EXPECT_EQ(IGraphicsWin::RegistrationCount(), 0);
    EXPECT_FALSE(fresh.ClassRegistered());
  }
  SetEditorWindowSystem(nullptr);
  EXPECT_FALSE(HeadlessWindowSystem::Instance().WindowsEnabled());
}

TEST_F(WindowTest, OpenStartsTheTimerAndRegistersTheClassOnce)
{
  HWND w = Open();
  HeadlessWindowSystem::Window* rec = sys.Find(w);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->parent, host);
  EXPECT_EQ(rec->rect, IRECT(0, 0, 213, 326));
  EXPECT_EQ(rec->timers.at(2), 41);
  EXPECT_EQ(rec->userData, graphics);
  EXPECT_EQ(graphics->WindowHandle(), w);
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 1);
  EXPECT_EQ(IGraphicsWin::TimerFrameRate(), 24.0);

  // A second editor shares the registration.
  TestPlug other;
  IGraphicsWin* g2 = new IGraphicsWin(&other, 50, 60, 0);
  other.ConnectGraphics(g2);
  ASSERT_NE(g2->OpenWindow(host), nullptr);
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 2);
  EXPECT_EQ(sys.ClassRegistrations(), 1);
  g2->CloseWindow();
  EXPECT_EQ(sys.ClassUnregistrations(), 0);
  graphics->CloseWindow();
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 0);
  EXPECT_EQ(sys.ClassUnregistrations(), 1);
  EXPECT_FALSE(sys.Exists(w));
  EXPECT_FALSE(graphics->IsWindowOpen());
}

TEST_F(WindowTest, FirstTickDrawsEverythingAndPresentsIt)
{
  Open();
  sys.presented.clear();
  EXPECT_TRUE(Tick());
  ASSERT_EQ(sys.presented.size(), 1u);
  EXPECT_EQ(sys.presented[0], kKnobRect.Union(kChoiceRect));
  EXPECT_GE(knob->draws, 1);
  // Nothing dirty: nothing drawn (the redraw-again flag of the first value may ask for one more).
  Tick();
  sys.presented.clear();
  Tick();
  EXPECT_TRUE(sys.presented.empty());
}

TEST_F(WindowTest, FailedCreationUndoesTheRegistration)
{
  sys.FailNextCreate();
  EXPECT_EQ(graphics->OpenWindow(host), nullptr);
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 0);
  EXPECT_FALSE(sys.ClassRegistered());
  EXPECT_NE(graphics->OpenWindow(host), nullptr);
}

TEST_F(WindowTest, ReopenKeepsThePositionInTheHostWindow)
{
  HWND first = Open();
  sys.MoveWindow(first, 30, 40);
  HWND second = graphics->OpenWindow(host);
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(sys.Exists(first));
  EXPECT_EQ(sys.Find(second)->rect, IRECT(30, 40, 30 + 213, 40 + 326));
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 1);
}

TEST_F(WindowTest, ReopenInAFramedParentKeepsThePosition)
{
  // A host that gives its framed top-level window itself: children start below the caption.
  HWND framed = sys.CreateHostWindow(300, 200, 500, 400, 8, 31);
  HWND first = graphics->OpenWindow(framed);
  ASSERT_NE(first, nullptr);
  IRECT screen;
  ASSERT_TRUE(sys.GetScreenRect(first, &screen));
  EXPECT_EQ(screen.left, 308);
  EXPECT_EQ(screen.top, 231);
  sys.MoveWindow(first, 20, 30);
  HWND second = graphics->OpenWindow(framed);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(sys.Find(second)->rect, IRECT(20, 30, 20 + 213, 30 + 326));
  second = graphics->OpenWindow(framed);
  EXPECT_EQ(sys.Find(second)->rect, IRECT(20, 30, 20 + 213, 30 + 326));
}

TEST_F(WindowTest, CloseMessageClosesTheWindow)
{
  HWND w = Open();
  EXPECT_TRUE(sys.Send(w, kClose));
  EXPECT_FALSE(graphics->IsWindowOpen());
  EXPECT_FALSE(sys.Exists(w));
  EXPECT_EQ(IGraphicsWin::RegistrationCount(), 0);
}

TEST_F(WindowTest, UnknownMessagesGoToTheDefaultProcedure)
{
  HWND w = Open();
  EXPECT_FALSE(sys.Send(w, kRButtonDblClk, 0, PackPoint(20, 90)));
  EXPECT_FALSE(sys.Send(w, 0x0005 /* size */));
  EXPECT_TRUE(sys.Send(w, kTimer, 7));  // another timer: ours, but no tick
}

// ---- Mouse and keys ----

TEST_F(WindowTest, PressDragReleaseWithCapture)
{
  HWND w = Open();
  Press(kLButtonDown, 40, 120, kButtonLeft);
  EXPECT_EQ(sys.GetCapture(), w);
  EXPECT_EQ(graphics->CaptureIndex(), 0);
  Press(kMouseMove, 40, 107, kButtonLeft);  // 13 pixels up
  EXPECT_NEAR(knob->GetValue(), 0.5 + 13.0 / 65.0 / 4.0, 1e-12);
  Press(kLButtonUp, 40, 107, 0);
  EXPECT_EQ(sys.GetCapture(), nullptr);
  EXPECT_EQ(plug->edits, (std::vector<std::string>{"begin 0", "end 0"}));

  // Moves without a button, or without the capture, drag nothing.
  const double v = knob->GetValue();
  Press(kMouseMove, 40, 90, 0);
  Press(kLButtonDown, 40, 120, kButtonLeft);
  sys.ReleaseCapture();
  Press(kMouseMove, 40, 90, kButtonLeft);
  EXPECT_EQ(knob->GetValue(), v);
}

TEST_F(WindowTest, WheelPositionIsConvertedFromTheScreen)
{
  HWND w = Open();
  sys.MoveWindow(w, 5, 7);
  // The knob's centre on the screen: host (100, 50) + window (5, 7) + (50, 118).
  sys.Send(w, kMouseWheel, PackWheel(240, 0), PackPoint(155, 175));
  ASSERT_EQ(knob->wheels.size(), 1u);
  EXPECT_EQ(knob->wheels[0].x, 50);
  EXPECT_EQ(knob->wheels[0].y, 118);
  EXPECT_EQ(knob->wheels[0].v, 2);
  EXPECT_NEAR(plug->GetParam(0)->Value(), 0.52, 1e-12);
  sys.Send(w, kMouseWheel, PackWheel(-60, 0), PackPoint(155, 175));
  EXPECT_EQ(knob->wheels.back().v, 0);
}

TEST_F(WindowTest, MappedKeysReachTheControlUnderThePointer)
{
  HWND w = Open();
  sys.SetCursorScreen(100 + 30, 50 + 100);
  sys.Send(w, kKeyDown, 'A');
  sys.Send(w, kKeyDown, 13);  // not in the table
  sys.Send(w, kKeyDown, 38);
  ASSERT_EQ(knob->keys.size(), 2u);
  EXPECT_EQ(knob->keys[0].x, 30);
  EXPECT_EQ(knob->keys[0].y, 100);
  EXPECT_EQ(knob->keys[0].v, 15);
  EXPECT_EQ(knob->keys[1].v, 1);
}

TEST_F(WindowTest, AltKeyAndButtonBitsMakeTheModifiers)
{
  HWND w = Open();
  sys.SetAltDown(true);
  // Shift: a tenth of the gearing, so the same move counts ten times as much.
  Press(kLButtonDown, 40, 120, kButtonLeft | kKeyShift);
  Press(kMouseMove, 40, 119, kButtonLeft | kKeyShift);
  EXPECT_NEAR(knob->GetValue(), 0.5 + 1.0 / 65.0 / 0.4, 1e-12);
  Press(kLButtonUp, 40, 119, 0);
  (void) w;
}

// ---- Value entry ----

TEST_F(WindowTest, RightPressOnAKnobOpensACentredTextBox)
{
  HWND w = Open();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(sys.EntryChildOf(w), child);
  HeadlessWindowSystem::Window* rec = sys.Find(child);
  EXPECT_FALSE(rec->listBox);
  EXPECT_TRUE(rec->entryProcInstalled);
  EXPECT_TRUE(rec->hasFont);
  EXPECT_EQ(rec->rect, IRECT(18, 86, 83, 151));
  EXPECT_EQ(ChildText(child), "0.500");
  EXPECT_EQ(ChildText(child), Display(0));
  EXPECT_EQ(graphics->EntryControl(), knob);
  EXPECT_EQ(graphics->GetEntryState(), EntryIdle);
  EXPECT_EQ(sys.Focused(), nullptr);  // the box does not take the focus by itself

  // A second request while one exists does nothing.
  graphics->OpenValueEntry(choice, plug->GetParam(1));
  EXPECT_EQ(graphics->EntryWindow(), child);
}

TEST_F(WindowTest, TypingAndEnterCommitsAtTheNextTick)
{
  Open();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  sys.Focus(child);
  EXPECT_EQ(graphics->GetEntryState(), EntryFocused);
  sys.Type(child, "0.25");
  sys.PressKey(child, 'X');  // an ordinary key goes on to the box itself
  EXPECT_EQ(graphics->GetEntryState(), EntryFocused);
  sys.PressKey(child, kVirtualKeyReturn);
  EXPECT_EQ(graphics->GetEntryState(), EntryCommit);
  plug->automated.clear();
  Tick();
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.25);
  EXPECT_EQ(knob->GetValue(), 0.25);
  ASSERT_EQ(plug->automated.size(), 1u);
  EXPECT_EQ(plug->automated[0].idx, 0);
  EXPECT_EQ(plug->automated[0].value, 0.25);
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
  EXPECT_FALSE(sys.Exists(child));
  EXPECT_EQ(graphics->GetEntryState(), EntryIdle);
}

TEST_F(WindowTest, TypedTextIsLimitedTo31Characters)
{
  Open();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  sys.Focus(child);
  // 31 characters fit: "0.1" and 28 zeros; the digits behind them are never read.
  std::string typed = "0.1" + std::string(28, '0') + "999999";
  sys.Type(child, typed.c_str());
  sys.PressKey(child, kVirtualKeyReturn);
  Tick();
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.1);
}

TEST_F(WindowTest, UnparsableTextCommitsZero)
{
  Open();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  sys.Type(child, "loud");
  sys.PressKey(child, kVirtualKeyReturn);  // Enter also works without the focus state
  Tick();
  EXPECT_EQ(plug->GetParam(0)->Value(), 0.0);
}

TEST_F(WindowTest, ListBoxForAChoiceSelectsTheCurrentTextAndCommitsAChoice)
{
  Open();
  RightPressOn(kChoiceRect);
  HWND child = graphics->EntryWindow();
  ASSERT_NE(child, nullptr);
  HeadlessWindowSystem::Window* rec = sys.Find(child);
  EXPECT_TRUE(rec->listBox);
  EXPECT_EQ(rec->items, (std::vector<std::string>{"Off", "On"}));
  EXPECT_EQ(rec->selected, 1);
  // width max(24, 8 * 3 + 24) = 48, height 36 * 3, top on the vertical centre.
  EXPECT_EQ(rec->rect, IRECT(100 - 24, 81, 100 + 24, 81 + 108));

  sys.Focus(child);
  sys.Choose(child, 0);
  EXPECT_EQ(graphics->GetEntryState(), EntryCommit);
  Tick();
  EXPECT_EQ(plug->GetParam(1)->Value(), 0.0);
  EXPECT_EQ(choice->GetValue(), 0.0);
  EXPECT_FALSE(sys.Exists(child));

  // Reopened, the list now selects "Off".
  RightPressOn(kChoiceRect);
  EXPECT_EQ(sys.Find(graphics->EntryWindow())->selected, 0);
}

TEST_F(WindowTest, RightPressAnywhereCancelsAtTheNextTick)
{
  for (bool focused : {false, true})
  {
    SCOPED_TRACE(focused ? "focused" : "not focused");
    if (!graphics->IsWindowOpen()) Open();
    RightPressOn(kKnobRect);
    HWND child = graphics->EntryWindow();
    ASSERT_NE(child, nullptr);
    if (focused) sys.Focus(child);
    sys.Type(child, "0.9");
    plug->automated.clear();
    Press(kRButtonDown, 200, 300, kButtonRight);
    EXPECT_EQ(graphics->GetEntryState(), EntryCancel);
    EXPECT_EQ(graphics->CaptureIndex(), -1);  // the press went to no control
    Tick();
    EXPECT_FALSE(sys.Exists(child));
    EXPECT_EQ(graphics->EntryWindow(), nullptr);
    EXPECT_EQ(graphics->GetEntryState(), EntryIdle);
    EXPECT_EQ(plug->GetParam(0)->Value(), 0.5);
    EXPECT_TRUE(plug->automated.empty());
    Press(kRButtonUp, 200, 300, 0);
  }
}

TEST_F(WindowTest, FocusedEntryBlocksRedrawAndMouse)
{
  Open();
  Tick();
  Tick();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  sys.Focus(child);

  // The host changes the level: the knob is dirty but nothing is drawn while the user types.
  graphics->OnParamFromPlugin(0, 0.75, true);
  plug->GetParam(0)->SetFromNormalized(0.75);
  sys.presented.clear();
  const int draws = knob->draws;
  EXPECT_FALSE(sys.Send(graphics->WindowHandle(), kTimer, 2));
  EXPECT_FALSE(sys.Send(graphics->WindowHandle(), kLButtonDown, kButtonLeft, PackPoint(40, 120)));
  EXPECT_TRUE(sys.presented.empty());
  EXPECT_EQ(knob->draws, draws);
  EXPECT_EQ(graphics->CaptureIndex(), -1);
  EXPECT_TRUE(plug->edits.empty() || plug->edits.back() != "begin 0");
  EXPECT_EQ(ChildText(child), "0.500");

  // Focus lost: the redraw happens, and the tick after it refreshes the box's text.
  sys.Unfocus(child);
  EXPECT_EQ(graphics->GetEntryState(), EntryIdle);
  Tick();
  EXPECT_FALSE(sys.presented.empty());
  EXPECT_EQ(graphics->GetEntryState(), EntryRefresh);
  Tick();
  EXPECT_EQ(graphics->GetEntryState(), EntryIdle);
  EXPECT_EQ(ChildText(child), "0.750");
  EXPECT_EQ(ChildText(child), Display(0));
}

TEST_F(WindowTest, ClosingWithAnEntryEndsItAndANewOneCanOpenLater)
{
  Open();
  RightPressOn(kKnobRect);
  HWND child = graphics->EntryWindow();
  sys.Focus(child);
  graphics->CloseWindow();
  EXPECT_FALSE(sys.Exists(child));
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
  EXPECT_EQ(graphics->EntryControl(), nullptr);
  EXPECT_EQ(graphics->EntryParam(), nullptr);
  EXPECT_EQ(graphics->GetEntryState(), EntryIdle);

  Open();
  RightPressOn(kKnobRect);
  ASSERT_NE(graphics->EntryWindow(), nullptr);
  EXPECT_EQ(sys.EntryChildOf(graphics->WindowHandle()), graphics->EntryWindow());

  // The same through the close message, and through a second open while open.
  sys.Send(graphics->WindowHandle(), kClose);
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
  Open();
  RightPressOn(kKnobRect);
  Open();
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
  RightPressOn(kKnobRect);
  EXPECT_NE(graphics->EntryWindow(), nullptr);
}

TEST_F(WindowTest, NoEntryWithoutAWindow)
{
  graphics->OpenValueEntry(knob, plug->GetParam(0));
  EXPECT_EQ(graphics->EntryWindow(), nullptr);
}

TEST_F(WindowTest, ResizeEndsAnEntryAndGrowsTheHostWindows)
{
  HWND frame = sys.CreateHostWindow(0, 0, 400, 500);
  HWND inner = sys.CreateEntryChild(frame, EntryChildSpec(), nullptr, nullptr, nullptr);
  sys.Find(inner)->entry = false;
  sys.SetWindowSize(inner, 300, 400);
  HWND w = graphics->OpenWindow(inner);
  ASSERT_NE(w, nullptr);
  RightPressOn(kKnobRect);
  ASSERT_NE(graphics->EntryWindow(), nullptr);

  graphics->Resize(223, 346);
  EXPECT_EQ(graphics->EntryWindow(), nullptr);  // its control is gone
  EXPECT_EQ(graphics->NControls(), 0);
  EXPECT_EQ(plug->refreshed, IRECT(0, 0, 223, 346));
  EXPECT_EQ(sys.Find(w)->rect.W(), 223);
  EXPECT_EQ(sys.Find(w)->rect.H(), 346);
  EXPECT_EQ(sys.Find(inner)->rect.W(), 310);
  EXPECT_EQ(sys.Find(inner)->rect.H(), 420);
  // The parent is a child itself, so the grandparent grows too.
  EXPECT_EQ(sys.Find(frame)->rect.W(), 410);
  EXPECT_EQ(sys.Find(frame)->rect.H(), 520);
  IRECT waiting;
  ASSERT_TRUE(sys.GetUpdateRect(w, &waiting));
  EXPECT_EQ(waiting, IRECT(0, 0, 213, 326));
  // Painting without controls still validates the area (no endless repaint).
  sys.Update(w);
  EXPECT_FALSE(sys.GetUpdateRect(w, &waiting));
}

// ---- Text, folders and dialogs ----

TEST_F(WindowTest, TextFontIsSelectedOnceAndColourOnChange)
{
  ITextStyle style;
  style.size = 12;
  style.style = ITextStyle::kStyleBold;
  style.orientation = 90;
  std::snprintf(style.face, sizeof style.face, "%s", "Courier");
  EXPECT_TRUE(graphics->DrawTextInRect(style, nullptr, IRECT(0, 0, 10, 10)));
  EXPECT_EQ(sys.fontSelections, 0);

  graphics->DrawTextInRect(style, "a", IRECT(0, 0, 10, 10));
  EXPECT_EQ(sys.fontSelections, 1);
  EXPECT_EQ(sys.lastFontHeight, 12);
  EXPECT_EQ(sys.lastFontOrientation, 900);
  EXPECT_EQ(sys.lastFontWeight, 700);
  EXPECT_FALSE(sys.lastFontItalic);
  EXPECT_EQ(sys.lastFontFace, "Courier");
  ASSERT_EQ(sys.textColors.size(), 1u);  // set with the font even though it equals the cache

  style.style = ITextStyle::kStyleItalic;
  style.align = ITextStyle::kAlignFar;
  graphics->DrawTextInRect(style, "b", IRECT(0, 0, 10, 10));
  EXPECT_EQ(sys.fontSelections, 1);  // the first font stays
  EXPECT_EQ(sys.textColors.size(), 1u);
  style.color = IColorARGB(255, 1, 2, 3);
  style.align = ITextStyle::kAlignNear;
  graphics->DrawTextInRect(style, "c", IRECT(0, 0, 10, 10));
  ASSERT_EQ(sys.textColors.size(), 2u);
  EXPECT_EQ(sys.textColors[1], IColorARGB(255, 1, 2, 3));
  ASSERT_EQ(sys.texts.size(), 3u);
  EXPECT_EQ(sys.texts[0].format, kTextNoClip | kTextCenter);
  EXPECT_EQ(sys.texts[1].format, kTextNoClip | kTextRight);
  EXPECT_EQ(sys.texts[2].format, kTextNoClip | kTextLeft);
}

TEST_F(WindowTest, FoldersEndWithTheSeparator)
{
  struct Row { const char* name; const char* folder; } rows[] = {
    {"/opt/daw/bin/daw", "/opt/daw/bin/"}, {"/daw", "/"}, {"daw", ""}, {"/opt/daw/", ""}, {"", ""}};
  for (const Row& r : rows)
  {
    sys.moduleFileNames[nullptr] = r.name;
    std::string out = "stale";
    graphics->GetHostFolder(out);
    EXPECT_EQ(out, r.folder) << r.name;
  }
  sys.moduleFileNames[graphics->Module()] = "/usr/lib/vst/Torvo-Mell.so";
  std::string plugin;
  graphics->GetPluginFolder(plugin);
  EXPECT_EQ(plugin, "/usr/lib/vst/");
}

TEST_F(WindowTest, AskForFileNeedsAWindowAndStartsInTheHostFolder)
{
  sys.moduleFileNames[nullptr] = "/opt/daw/bin/daw";
  sys.fileDialogConfirms = true;
  sys.fileDialogResult = "/home/u/a.png";
  std::string out = "stale";
  graphics->AskForFile(out, FileOpen);
  EXPECT_EQ(out, "");
  EXPECT_TRUE(sys.fileDialogs.empty());

  HWND w = Open();
  graphics->AskForFile(out, FileOpen);
  EXPECT_EQ(out, "/home/u/a.png");
  ASSERT_EQ(sys.fileDialogs.size(), 1u);
  EXPECT_EQ(sys.fileDialogs[0].owner, w);
  EXPECT_FALSE(sys.fileDialogs[0].save);
  EXPECT_EQ(sys.fileDialogs[0].flags, 0x1800u);
  EXPECT_EQ(sys.fileDialogs[0].initialDir, "/opt/daw/bin/");

  graphics->AskForFile(out, FileSave, "/tmp/x");
  EXPECT_TRUE(sys.fileDialogs[1].save);
  EXPECT_EQ(sys.fileDialogs[1].flags, 0x802u);
  EXPECT_EQ(sys.fileDialogs[1].initialDir, "/tmp/x");

  sys.fileDialogConfirms = false;
  graphics->AskForFile(out, FileOpen, "");
  EXPECT_EQ(out, "");
  EXPECT_EQ(sys.fileDialogs[2].initialDir, "/opt/daw/bin/");
}

TEST_F(WindowTest, AskForColorKeepsAlphaAndCustomColours)
{
  IColorARGB c(17, 300, 2, 3);
  EXPECT_FALSE(graphics->AskForColor(c, "Pick"));
  EXPECT_EQ(sys.colorDialogs, 0);
  Open();
  sys.colorDialogConfirms = true;
  sys.colorDialogResult[0] = 9;
  sys.colorDialogResult[1] = 8;
  sys.colorDialogResult[2] = 7;
  EXPECT_TRUE(graphics->AskForColor(c, "Pick"));
  EXPECT_EQ(c, IColorARGB(17, 9, 8, 7));
  EXPECT_EQ(sys.lastColorPrompt, "Pick");
  ASSERT_NE(sys.lastCustomColors, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sys.lastCustomColors[i], 0u);
  uint32_t* custom = sys.lastCustomColors;
  sys.colorDialogConfirms = false;
  EXPECT_FALSE(graphics->AskForColor(c));
  EXPECT_EQ(sys.lastCustomColors, custom);  // kept between calls
  EXPECT_EQ(c, IColorARGB(17, 9, 8, 7));
}

TEST_F(WindowTest, OpenLinkConfirmsLaunchesAndReportsFailure)
{
  Open();
  sys.yesNoAnswer = false;
  EXPECT_FALSE(graphics->OpenLink("https://example.invalid", "T", "Go?", "Failed"));
  EXPECT_TRUE(sys.openedLinks.empty());
  ASSERT_EQ(sys.messages.size(), 1u);  // the question only, no error
  EXPECT_TRUE(sys.messages[0].yesNo);

  sys.yesNoAnswer = true;
  EXPECT_TRUE(graphics->OpenLink("https://example.invalid", "T", "Go?", "Failed"));
  EXPECT_EQ(sys.openedLinks.size(), 1u);

  sys.shellResult = 32;
  sys.messages.clear();
  EXPECT_FALSE(graphics->OpenLink("u", "T", nullptr, "Failed"));
  ASSERT_EQ(sys.messages.size(), 1u);
  EXPECT_FALSE(sys.messages[0].yesNo);
  EXPECT_EQ(sys.messages[0].text, "Failed");
  EXPECT_EQ(sys.messages[0].caption, "T");

  sys.shellResult = 33;
  sys.internetConnected = false;
  sys.messages.clear();
  const size_t launched = sys.openedLinks.size();
  EXPECT_FALSE(graphics->OpenLink("u", "T", nullptr, nullptr));
  EXPECT_EQ(sys.openedLinks.size(), launched);
  EXPECT_TRUE(sys.messages.empty());
}

// A control whose double click counts as a press.
class TestContact : public IControl
{
public:
  TestContact(IPlugBase* plug, const IRECT& r) : IControl(plug, r, -1) { mDblAsPress = true; }
  bool Draw(IGraphics*) override { return true; }
  void OnPress(int, int, const IMouseMod&) override { ++presses; }
  int presses = 0;
};

TEST_F(WindowTest, DoubleClickTakesTheCaptureOnlyWhenItActsAsAPress)
{
  TestContact* contact = new TestContact(plug.get(), IRECT(150, 200, 190, 240));
  graphics->AddControl(contact);
  HWND w = Open();
  sys.Send(w, kLButtonDblClk, kButtonLeft, PackPoint(40, 120));
  EXPECT_EQ(sys.GetCapture(), nullptr);  // the knob restores its default instead
  sys.Send(w, kLButtonDblClk, kButtonLeft, PackPoint(160, 210));
  EXPECT_EQ(sys.GetCapture(), w);
  EXPECT_EQ(contact->presses, 1);
  sys.Send(w, kLButtonUp, 0, PackPoint(300, 300));
  EXPECT_EQ(sys.GetCapture(), nullptr);
}
}  // namespace
