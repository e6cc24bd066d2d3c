#pragma once
// The sound of the effect: the asymmetric clipper, the fuzz chain (band-limiting pair, clipper
// cross-faded with the clean signal, tone stack, level), the cabinet voicing, the table of tiny
// noise added at the input, and the block loop that ties them together.
//
// Nothing here allocates, locks or calls a library function per sample.

#include <atomic>
#include <cstdint>

#include "effect/FilterBank.h"

constexpr int kNoiseTableSize = 44100;  // entries, whatever the sample rate

// The noise generator's state, one for the whole process and shared by every instance; starts at
// 1 when the library is loaded and is never re-seeded. A refill reads it once at its start and
// writes it once at its end, so two instances refilling at once may produce the same table but
// never tear the state.
extern std::atomic<std::uint32_t> noiseSeed;

// Rewrites all kNoiseTableSize entries of table: a single-precision random walk, starting at zero,
// of steps ±(1 + m/128)·2^-67 (about 6.8e-21 to 1.35e-20). Advances noiseSeed.
void RefillNoise(double* table);

// kNoiseTableSize zeros, one table for the whole process and never written: the noise of an
// instance that has not been reset yet. Its pages stay unmapped until something reads them.
const double* SilentNoise();

// The values the parameter reactions derive for the chain.
struct FuzzSettings
{
  double level = 0;   // output gain, 0..1
  double attack = 0;  // clean/clipped cross-fade position, 0..1
  double drive = 0;   // clipper drive, 25 × attack
};

inline double ClampTo(double v, double lo, double hi)
{
  return v > hi ? hi : (v < lo ? lo : v);
}

// Asymmetric clipper: a = u·d; the negative half passes a itself down to a hard limit at -0.5,
// the positive half is compressed softly into 0 .. k (3a - 7.5a² for k = 0.3, with zero slope
// where it meets k at a = 0.2).
inline double FuzzClip(double u, double k, double d)
{
  const double a = u * d;
  const double mag = a < 0 ? -a : a;
  double f;
  if (mag < 0.2)
    f = ((1 - mag / 0.4) * a) * k * 10;
  else
    f = (a >= 0 ? 0.1 : -0.1) * k * 10;
  return ClampTo(a, -0.5, 0) + ClampTo(f, 0, 0.5);
}

// Sections 0-1, the clipper cross-faded by attack, sections 2-11, times level.
inline double ProcessFuzzChain(FilterBank& bank, const FuzzSettings& s, double x)
{
  const double sHp = ProcessSection(bank, 0, x);
  const double u = ProcessSection(bank, 1, sHp);
  const double c = FuzzClip(u, 0.3, s.drive);
  const double e = ClampTo(s.attack - 0.5, -0.5, 0.5);
  double m = (0.5 - e) * (u * 5) + (e + 0.5) * c;
  for (int k = 2; k <= 11; ++k)
    m = ProcessSection(bank, k, m);
  return s.level * m;
}

// The cabinet voicing: sections 12-20 in order, no gain stage.
inline double ProcessCabinet(FilterBank& bank, double y)
{
  for (int k = 12; k <= 20; ++k)
    y = ProcessSection(bank, k, y);
  return y;
}

// One block. Reads inputs[0] and inputs[1], writes outputs[0] and outputs[1] (identical samples);
// an output may be the same memory as an input. Bypass (effectOn false) writes the plain sum of
// the inputs and leaves the bank untouched. The effect path adds noise[i] to position i; blocks
// longer than the table continue from its start. nFrames <= 0 writes nothing.
void ProcessEffectBlock(FilterBank& bank, const FuzzSettings& settings, const double* noise,
                        bool effectOn, bool cabinetOn, double** inputs, double** outputs,
                        int nFrames);
