#include "effect/FilterBank.h"

#include <cmath>
#include <cstring>

namespace {

enum SectionType { kHighPass, kLowPass, kPeaking, kHighShelf, kLowShelfSpecial };

constexpr double kTwoPi = 6.283185307179586;            // 2π
constexpr double kLn2Half = 0.69314718055994530942 / 2;  // ln 2 / 2

struct SectionDesign
{
  SectionType type;
  double twoPiF0;  // 2π · f0, f0 the centre or corner frequency in Hz
  double gainDb;   // peaking and shelves
  double bwConst;  // (ln 2 / 2) · bandwidth in octaves; high-pass, low-pass and peaking
};

constexpr SectionDesign Section(SectionType type, double f0, double gainDb, double octaves)
{
  return SectionDesign{type, kTwoPi * f0, gainDb, kLn2Half * octaves};
}

// Sections 0-1: band-limiting pair before the clipper; 2-11: tone; 12-20: cabinet.
constexpr SectionDesign kSections[kDesignedSections] = {
  Section(kHighPass, 500, 0, 1),
  Section(kLowPass, 2000, 0, 1),
  Section(kLowShelfSpecial, 100, -19.5, 0),
  Section(kPeaking, 100, -2.4, 3),
  Section(kPeaking, 500, -10.5, 1.1),
  Section(kPeaking, 750, -4.5, 1),
  Section(kPeaking, 1500, -11.4, 2.1),
  Section(kPeaking, 2400, 13.2, 1),
  Section(kPeaking, 1000, 9, 1),
  Section(kPeaking, 6000, 19.5, 1.7),
  Section(kHighShelf, 11500, -30, 0),
  Section(kHighShelf, 11200, -30, 0),
  Section(kPeaking, 200, -3.9, 0.4),
  Section(kPeaking, 1500, 4.5, 1),
  Section(kPeaking, 500, -2.4, 1),
  Section(kPeaking, 750, 2.7, 1),
  Section(kPeaking, 1200, -8.1, 0.2),
  Section(kPeaking, 2500, -4.5, 0.2),
  Section(kPeaking, 3110, -8.7, 0.1),
  Section(kPeaking, 4300, 11.1, 0.8),
  Section(kPeaking, 5800, -30, 1),
};

void DesignSection(FilterBank& bank, int k, const SectionDesign& d, double rate)
{
  const double w0 = d.twoPiF0 / rate;
  const double sn = std::sin(w0);
  const double cs = std::cos(w0);
  double a0 = 1, b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

  switch (d.type)
  {
    case kHighPass:
    case kLowPass:
    case kPeaking:
    {
      const double alpha = sn * std::sinh(d.bwConst * w0 / sn);
      if (d.type == kHighPass)
      {
        a0 = 1 + alpha;
        b0 = (1 + cs) * 0.5;
        b1 = -(1 + cs);
        b2 = (1 + cs) * 0.5;
        a1 = -2 * cs;
        a2 = 1 - alpha;
      }
      else if (d.type == kLowPass)
      {
        a0 = 1 + alpha;
        b0 = (1 - cs) * 0.5;
        b1 = 1 - cs;
        b2 = (1 - cs) * 0.5;
        a1 = -2 * cs;
        a2 = 1 - alpha;
      }
      else
      {
        const double A = std::pow(10.0, d.gainDb / 40);
        a0 = 1 + alpha / A;
        b0 = 1 + alpha * A;
        b1 = -2 * cs;
        b2 = 1 - alpha * A;
        a1 = -2 * cs;
        a2 = 1 - alpha / A;
      }
      break;
    }
    case kHighShelf:
    {
      const double A = std::pow(10.0, d.gainDb / 40);
      const double t = std::sqrt(2 * A) * sn;
      a0 = (A + 1) - (A - 1) * cs + t;
      b0 = A * ((A + 1) + (A - 1) * cs + t);
      b1 = -2 * A * ((A - 1) + (A + 1) * cs);
      b2 = A * ((A + 1) + (A - 1) * cs - t);
      a1 = 2 * ((A - 1) - (A + 1) * cs);
      a2 = (A + 1) - (A - 1) * cs - t;
      break;
    }
    case kLowShelfSpecial:
    {
      // The tone stack's bass shelf: the cosine is taken of 0.41 · w0, the sine of w0 itself,
      // and the slope term uses 1.41.
      const double A = std::pow(10.0, d.gainDb / 40);
      const double c = std::cos(0.41 * w0);
      const double t = std::sqrt(A) / 1.41 * sn;
      a0 = (A + 1) + (A - 1) * c + t;
      b0 = A * ((A + 1) - (A - 1) * c + t);
      b1 = 2 * A * ((A - 1) - (A + 1) * c);
      b2 = A * ((A + 1) - (A - 1) * c - t);
      a1 = -2 * ((A - 1) + (A + 1) * c);
      a2 = (A + 1) + (A - 1) * c - t;
      break;
    }
  }

  b0 /= a0;
  b1 /= a0;
  b2 /= a0;
  a1 /= a0;
  a2 /= a0;

  if (!IsStableSection(b0, b1, b2, a1, a2))
  {
    // Not a usable filter at this rate: pass the signal through unchanged.
    b0 = 1;
    b1 = b2 = a1 = a2 = 0;
  }
  bank.b0[k] = b0;
  bank.b1[k] = b1;
  bank.b2[k] = b2;
  bank.a1[k] = a1;
  bank.a2[k] = a2;
}

}  // namespace

bool IsStableSection(double b0, double b1, double b2, double a1, double a2)
{
  if (!(std::isfinite(b0) && std::isfinite(b1) && std::isfinite(b2) && std::isfinite(a1)
        && std::isfinite(a2)))
    return false;
  // Both roots of z² + a1·z + a2 strictly inside the unit circle (the stability triangle).
  return std::fabs(a2) < 1 && std::fabs(a1) < 1 + a2;
}

void ClearFilterBank(FilterBank& bank)
{
  std::memset(&bank, 0, sizeof bank);
}

void DesignFilterBank(FilterBank& bank, double rate)
{
  for (int k = 0; k < kDesignedSections; ++k)
    DesignSection(bank, k, kSections[k], rate);
}
