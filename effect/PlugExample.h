#pragma once
// The Torvo-Mell fuzz pedal: the one concrete plug-in. Its constructor gives the base the
// plug-in's identity, defines the four parameters and the sixteen presets and builds the editor;
// the base then drives it through OnParamChange, Reset and ProcessDoubleReplacing.

#include <memory>

#include "effect/FilterBank.h"
#include "effect/FuzzChain.h"
#include "vst/IPlugVST.h"

class StompSwitch;

class PlugExample : public IPlugVST
{
public:
  enum EParams { kLevel = 0, kAttack, kEffect, kCabinet, kNumParams };
  static constexpr int kNumPresets = 16;

  explicit PlugExample(audioMasterCallback hostCallback);
  ~PlugExample() override;

  // Under the plug-in mutex: takes the base's sample rate, refills the instance's own noise table
  // (the effect reads it from then on) and, when the rate differs from the one the bank was
  // designed for (NaN always differs), clears and redesigns the filter bank. At an unchanged rate
  // the filters keep their memory.
  void Reset() override;
  // Under the plug-in mutex: updates the values derived from the changed parameter. "Effect"
  // also switches the footswitch LED, before the effect itself.
  void OnParamChange(int paramIdx) override;
  // Sums inputs 0 and 1, runs the fuzz chain (and the cabinet) or bypasses, and writes the same
  // samples to outputs 0 and 1. The base holds the mutex around it; no lock, allocation or library
  // call inside.
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

  // ---- Read access to the derived state ----
  double Level() const { return level; }
  double Attack() const { return attack; }
  double Drive() const { return drive; }
  bool EffectOn() const { return effectOn; }
  bool CabinetOn() const { return cabinetOn; }
  int LedControlIndex() const { return ledControlIndex; }
  double Rate() const { return rate; }
  double DesignedRate() const { return designedRate; }
  // The noise the effect adds: all zeros until the first Reset, this instance's own table after it.
  const double* NoiseTable() const { return noise; }
  const FilterBank& Bank() const { return bank; }

private:
  double level = 0;      // output gain, the value of "Level"
  double attack = 0;     // the value of "Attack": clean/clipped cross-fade
  double drive = 0;      // clipper drive, 25 × "Attack"
  bool effectOn = false;   // false: bypass
  bool cabinetOn = false;
  int ledControlIndex = 0;  // the footswitch LED's index among the editor's controls
  double rate = 0;          // sample rate taken at the last Reset
  double designedRate = 0;  // rate the bank was last designed for
  // The instance's own noise table: allocated with the instance but left unwritten (default-
  // initialised) until the first Reset fills it, so that making an instance touches none of its
  // pages. Until then the effect reads the process's shared table of zeros.
  struct NoiseStorage
  {
    double v[kNoiseTableSize];
  };
  std::unique_ptr<NoiseStorage> ownNoise{new NoiseStorage};
  const double* noise = SilentNoise();  // what the effect reads
  FilterBank bank = {};
#ifndef TORVO_NO_EDITOR
  std::unique_ptr<StompSwitch> stompSwitch;  // the footswitch link; its control is the editor's
#endif
};
