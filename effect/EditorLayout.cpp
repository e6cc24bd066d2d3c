#include "effect/EditorLayout.h"

#include "editor/IControl.h"
#include "editor/IGraphicsWin.h"
#include "effect/StompSwitch.h"
#include "framework/IPlugBase.h"
#include "vst/ModuleHandle.h"

int BuildPedalEditor(IPlugBase* plug, std::unique_ptr<StompSwitch>* link)
{
  using namespace PedalLayout;

  // A redraw rate of 0 takes the default of 24 frames per second.
  IGraphicsWin* graphics = new IGraphicsWin(plug, kWidth, kHeight, 0);
  graphics->SetModule(PluginModule());

  graphics->AddBackground(kBackgroundImageId, kBackgroundImage);

  IBitmap led = graphics->LoadBitmap(kLedImageId, kLedImage, 2);
  const int ledIndex =
    graphics->AddControl(new IBitmapControl(plug, kLedX, kLedY, -1, led, BlendNormal));

  IBitmap toggle = graphics->LoadBitmap(kToggleImageId, kToggleImage, 2);
  graphics->AddControl(new ISwitchControl(plug, kToggleX, kToggleY, kCabinetParam, toggle, BlendNormal));

  IControl* hiddenEffect = new IHiddenToggleControl(plug, HiddenEffectRect(), kEffectParam);
  graphics->AddControl(hiddenEffect);
  graphics->HideParamControls(kEffectParam, true);

  IBitmap footswitch = graphics->LoadBitmap(kSwitchImageId, kSwitchImage, 2);
  link->reset(new StompSwitch(plug, graphics, kFootswitchX, kFootswitchY, footswitch, hiddenEffect));

  IBitmap knob = graphics->LoadBitmap(kKnobImageId, kKnobImage, kKnobFrames);
  graphics->AddControl(
    new IKnobMultiControl(plug, kLevelKnobX, kLevelKnobY, kLevelParam, knob, Vertical, kKnobGearing));
  graphics->AddControl(
    new IKnobMultiControl(plug, kAttackKnobX, kAttackKnobY, kAttackParam, knob, Vertical, kKnobGearing));

  IBitmap about = graphics->LoadBitmap(kAboutImageId, kAboutImage, 1);
  graphics->AddControl(new IBitmapOverlayControl(plug, kAboutX, kAboutY, -1, about, AboutTargetArea()));

  plug->ConnectGraphics(graphics);
  return ledIndex;
}
