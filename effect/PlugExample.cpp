#include "effect/PlugExample.h"

#include "effect/FuzzKernel.h"
#include "effect/FuzzKernelPlain.h"

#ifndef TORVO_NO_EDITOR
#include "effect/EditorLayout.h"
#include "effect/StompSwitch.h"
#endif

namespace {

constexpr int FourCC(char a, char b, char c, char d)
{
  return (int) (((unsigned) (unsigned char) a << 24) | ((unsigned) (unsigned char) b << 16)
                | ((unsigned) (unsigned char) c << 8) | (unsigned) (unsigned char) d);
}

constexpr int kVendorVersion = 0x00020300;  // 2.3.0
constexpr int kUniqueID = FourCC('k', 'v', '9', 'e');
constexpr int kMfrID = FourCC('N', 'x', 'l', 'o');

// Truncation toward zero of a stored choice value, without converting out-of-range values:
// 0 for (-1, 1), 1 for [1, 2), -1 for anything else (NaN included).
int ChoiceOf(double value)
{
  if (value > -1 && value < 1)
    return 0;
  if (value >= 1 && value < 2)
    return 1;
  return -1;
}

}  // namespace

PlugExample::PlugExample(audioMasterCallback hostCallback)
    : IPlugVST(hostCallback, kNumParams, "1-1 2-2", kNumPresets, "Torvo-Mell", "", "quillbarrow",
               kVendorVersion, kUniqueID, kMfrID, 0, false, false, false)
{
  GetParam(kLevel)->InitContinuous("Level", 0.5, 0.0, 1.0, 0.001, "");
  GetParam(kAttack)->InitContinuous("Attack", 0.5, 0.0, 1.0, 0.001, "");
  GetParam(kEffect)->InitChoice("Effect", 1, 2);
  GetParam(kEffect)->AddValueText(0, "Off");
  GetParam(kEffect)->AddValueText(1, "On");
  GetParam(kCabinet)->InitChoice("Cabinet", 1, 2);
  GetParam(kCabinet)->AddValueText(0, "Off");
  GetParam(kCabinet)->AddValueText(1, "On");

  // Preset 0 is louder; the other fifteen hold the defaults.
  AddPreset("Init", 1.0, 0.5, 1, 1);
  FillPresets("Init", kNumPresets - 1);

#ifndef TORVO_NO_EDITOR
  // ---- Editor ----
  // The pedal's editor is built here: its graphics object and controls, the LED's index kept in
  // ledControlIndex, and the finished graphics handed to the base with ConnectGraphics.
  ledControlIndex = BuildPedalEditor(this, &stompSwitch);
#endif
}

PlugExample::~PlugExample() = default;

void PlugExample::OnParamChange(int paramIdx)
{
  IMutexLock lock(this);
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  const double value = param->Value();
  switch (paramIdx)
  {
    case kLevel:
      level = value;
      break;
    case kAttack:
      attack = value;
      drive = value * 25;
      break;
    case kEffect:
    {
      const int v = ChoiceOf(value);
      if (v == 0 || v == 1)
      {
        // The LED follows first, then the effect itself.
        if (IGraphicsLink* graphics = GetGraphics())
          graphics->SetControlValue(ledControlIndex, v == 1 ? 1.0 : 0.0);
        effectOn = v == 1;
      }
      break;
    }
    case kCabinet:
    {
      const int v = ChoiceOf(value);
      if (v == 0 || v == 1)
        cabinetOn = v == 1;
      break;
    }
    default:
      break;
  }
}

void PlugExample::Reset()
{
  IMutexLock lock(this);
  rate = GetSampleRate();
  RefillNoise(ownNoise->v);
  noise = ownNoise->v;
  if (!(rate == designedRate))
  {
    designedRate = rate;
    ClearFilterBank(bank);
    DesignFilterBank(bank, rate);
  }
}

void PlugExample::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames)
{
  if (effectOn && nFrames > 0)
  {
    // The chain at the fastest instruction-set level of this processor (same samples as the
    // plain loop, bit for bit); the shortest blocks take the plain loop right here.
    if (nFrames < kFuzzScheduleShortest)
      RunFuzzPlainInline(
          MakeFuzzJob(bank, noise, cabinetOn, level, attack, drive, inputs, outputs, nFrames));
    else
      RunFuzzKernel(bank, noise, cabinetOn, level, attack, drive, inputs, outputs, nFrames);
    return;
  }
  FuzzSettings settings;
  settings.level = level;
  settings.attack = attack;
  settings.drive = drive;
  ProcessEffectBlock(bank, settings, noise, effectOn, cabinetOn, inputs, outputs, nFrames);
}

IPlugVST* MakePlug(audioMasterCallback hostCallback)
{
  return new PlugExample(hostCallback);
}
