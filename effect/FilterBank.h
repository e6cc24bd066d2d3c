#pragma once
// The effect's bank of second-order recursive sections (biquads). The bank has room for 32
// sections; 0-11 are the fuzz chain (band-limiting pair and tone stack), 12-20 the cabinet
// voicing, 21-31 stay zero.
//
// Coefficients are normalised by a0; the recursion subtracts a1 and a2. Every section adds 1e-20
// to what it passes on, which keeps silent recursions away from denormal numbers.

constexpr int kFilterSections = 32;  // room in the bank
constexpr int kDesignedSections = 21;  // sections 0 .. 20 are designed and run

struct FilterBank
{
  double b0[kFilterSections];  // gain of the current input
  double b1[kFilterSections];  // gain of the input one sample back
  double b2[kFilterSections];  // gain of the input two samples back
  double a1[kFilterSections];  // gain of the output one sample back (subtracted)
  double a2[kFilterSections];  // gain of the output two samples back (subtracted)
  double x1[kFilterSections];  // state: input one sample back
  double x2[kFilterSections];  // state: input two samples back
  double y1[kFilterSections];  // state: output one sample back (without the 1e-20)
  double y2[kFilterSections];  // state: output two samples back
};

// One biquad step on loose coefficients and state: returns the output without the offset and
// shifts the state. The order of evaluation is fixed so every build computes the same samples:
// y = ((b1·x1 + b0·x) + b2·x2) − a1·y1 − a2·y2.
inline double BiquadStep(double b0, double b1, double b2, double a1, double a2, double& x1,
                         double& x2, double& y1, double& y2, double x)
{
  const double y = ((b1 * x1 + b0 * x) + b2 * x2) - a1 * y1 - a2 * y2;
  x2 = x1;
  x1 = x;
  y2 = y1;
  y1 = y;
  return y;
}

// Runs one sample through section k and returns its output plus 1e-20; the state keeps the
// output without the offset.
inline double ProcessSection(FilterBank& bank, int k, double x)
{
  return BiquadStep(bank.b0[k], bank.b1[k], bank.b2[k], bank.a1[k], bank.a2[k], bank.x1[k],
                    bank.x2[k], bank.y1[k], bank.y2[k], x)
         + 1e-20;
}

// Zeroes coefficients and state of all 32 sections.
void ClearFilterBank(FilterBank& bank);

// Computes b0 .. a2 of sections 0-20 for the sample rate, in index order; the state is left as it
// is. A section whose coefficients come out not finite, or whose poles are not strictly inside the
// unit circle (rates at or below twice a section's frequency, and non-positive or NaN rates),
// passes its input through unchanged instead (b0 = 1, the others 0). At every rate above 23000 Hz
// all sections are stable and the coefficients are those of the formulas.
void DesignFilterBank(FilterBank& bank, double rate);

// True when the five coefficients are finite and the poles lie strictly inside the unit circle.
bool IsStableSection(double b0, double b1, double b2, double a1, double a2);
