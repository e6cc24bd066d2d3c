#pragma once
// The pedal's editor: a fixed picture of 213 x 326 pixels with the status LED, the cabinet toggle,
// the footswitch (through its StompSwitch link to a hidden "Effect" toggle), the two knobs and the
// about panel, in that order over the background.

#include <memory>

#include "editor/IGraphicsTypes.h"

class IPlugBase;
class StompSwitch;

namespace PedalLayout
{
constexpr int kWidth = 213;
constexpr int kHeight = 326;

// Image resources: id and the name that selects the decoder.
constexpr int kSwitchImageId = 100;  // footswitch cap, released and pressed
constexpr int kKnobImageId = 101;    // 65 rotation steps
constexpr int kBackgroundImageId = 102;
constexpr int kAboutImageId = 103;
constexpr int kLedImageId = 104;     // dark and lit
constexpr int kToggleImageId = 105;  // cabinet lever Off and On
constexpr const char* kSwitchImage = "img/torvomell_switch_02.png";
constexpr const char* kKnobImage = "img/torvomell_knob_01.png";
constexpr const char* kBackgroundImage = "img/background.png";
constexpr const char* kAboutImage = "img/torvomell_about.png";
constexpr const char* kLedImage = "img/torvomell_led.png";
constexpr const char* kToggleImage = "img/torvomell_switch_01.png";
constexpr int kKnobFrames = 65;

// Parameters the controls are linked to.
constexpr int kLevelParam = 0;
constexpr int kAttackParam = 1;
constexpr int kEffectParam = 2;
constexpr int kCabinetParam = 3;

// Control indices in the order they are added.
enum ControlIndex
{
  kBackgroundControl = 0,
  kLedControl,
  kCabinetToggleControl,
  kHiddenEffectControl,
  kFootswitchControl,
  kLevelKnobControl,
  kAttackKnobControl,
  kAboutPanelControl,
  kNumControls
};

// Positions.
constexpr int kLedX = 91, kLedY = 15;
constexpr int kToggleX = 80, kToggleY = 61;
constexpr int kFootswitchX = 80, kFootswitchY = 172;
constexpr int kLevelKnobX = 18, kLevelKnobY = 86;
constexpr int kAttackKnobX = 115, kAttackKnobY = 86;
constexpr int kAboutX = 5, kAboutY = 156;
constexpr double kKnobGearing = 4.0;
inline IRECT HiddenEffectRect() { return IRECT(80, 172, 110, 202); }
inline IRECT AboutTargetArea() { return IRECT(10, 35, 80, 55); }
}  // namespace PedalLayout

// Builds the editor for plug: the graphics object (with the plug-in module), the background and
// the controls, then hands the graphics object to the base with ConnectGraphics. Returns the LED
// control's index; *link receives the footswitch link, which the caller owns and must keep for as
// long as the graphics object lives.
int BuildPedalEditor(IPlugBase* plug, std::unique_ptr<StompSwitch>* link);
