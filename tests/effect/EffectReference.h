#pragma once
// A slow, straightforward evaluation of the effect written from the formulas, independent of the
// production code: its own section table, coefficient design, biquad loop, clipper and noise
// generator. The production code must match it bit for bit.

#include <algorithm>
#include <initializer_list>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ref {

enum Kind { HP, LP, PK, HS, LS };

struct Row
{
  Kind kind;
  double f0;
  double gainDb;
  double octaves;
};

// Section k of the bank is row k.
inline const std::vector<Row>& Table()
{
  static const std::vector<Row> rows = {
    {HP, 500, 0, 1},      {LP, 2000, 0, 1},     {LS, 100, -19.5, 0},  {PK, 100, -2.4, 3},
    {PK, 500, -10.5, 1.1}, {PK, 750, -4.5, 1},  {PK, 1500, -11.4, 2.1}, {PK, 2400, 13.2, 1},
    {PK, 1000, 9, 1},     {PK, 6000, 19.5, 1.7}, {HS, 11500, -30, 0}, {HS, 11200, -30, 0},
    {PK, 200, -3.9, 0.4}, {PK, 1500, 4.5, 1},   {PK, 500, -2.4, 1},   {PK, 750, 2.7, 1},
    {PK, 1200, -8.1, 0.2}, {PK, 2500, -4.5, 0.2}, {PK, 3110, -8.7, 0.1}, {PK, 4300, 11.1, 0.8},
    {PK, 5800, -30, 1},
  };
  return rows;
}

struct Coeffs
{
  double b0, b1, b2, a1, a2;
};

// The section design formulas exactly as written, with no guard of any kind.
inline Coeffs PlainDesign(int k, double rate)
{
  const Row& r = Table()[k];
  const double pi = 3.14159265358979323846;
  const double w0 = (2 * pi * r.f0) / rate;
  const double sinw = std::sin(w0);
  const double cosw = std::cos(w0);
  const double A = std::pow(10.0, r.gainDb / 40);
  double a0 = 0, b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
  if (r.kind == HP || r.kind == LP || r.kind == PK)
  {
    const double alpha = sinw * std::sinh((std::log(2.0) / 2) * r.octaves * w0 / sinw);
    if (r.kind == HP)
    {
      a0 = 1 + alpha; b0 = (1 + cosw) * 0.5; b1 = -(1 + cosw); b2 = (1 + cosw) * 0.5;
      a1 = -2 * cosw; a2 = 1 - alpha;
    }
    else if (r.kind == LP)
    {
      a0 = 1 + alpha; b0 = (1 - cosw) * 0.5; b1 = 1 - cosw; b2 = (1 - cosw) * 0.5;
      a1 = -2 * cosw; a2 = 1 - alpha;
    }
    else
    {
      a0 = 1 + alpha / A; b0 = 1 + alpha * A; b1 = -2 * cosw; b2 = 1 - alpha * A;
      a1 = -2 * cosw; a2 = 1 - alpha / A;
    }
  }
  else if (r.kind == HS)
  {
    const double t = std::sqrt(2 * A) * sinw;
    a0 = (A + 1) - (A - 1) * cosw + t;
    b0 = A * ((A + 1) + (A - 1) * cosw + t);
    b1 = -2 * A * ((A - 1) + (A + 1) * cosw);
    b2 = A * ((A + 1) + (A - 1) * cosw - t);
    a1 = 2 * ((A - 1) - (A + 1) * cosw);
    a2 = (A + 1) - (A - 1) * cosw - t;
  }
  else
  {
    const double c = std::cos(0.41 * w0);
    const double t = std::sqrt(A) / 1.41 * sinw;
    a0 = (A + 1) + (A - 1) * c + t;
    b0 = A * ((A + 1) - (A - 1) * c + t);
    b1 = 2 * A * ((A - 1) - (A + 1) * c);
    b2 = A * ((A + 1) - (A - 1) * c - t);
    a1 = -2 * ((A - 1) + (A + 1) * c);
    a2 = (A + 1) + (A - 1) * c - t;
  }
  return Coeffs{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// Finite and both poles strictly inside the unit circle.
inline bool Usable(const Coeffs& c)
{
  for (double v : {c.b0, c.b1, c.b2, c.a1, c.a2})
    if (std::isnan(v) || std::isinf(v))
      return false;
  const double r2 = c.a2;  // product of the poles
  return std::abs(r2) < 1 && std::abs(c.a1) < 1 + r2;
}

// What the effect must run: the formulas where they give a usable section, else a plain wire.
inline Coeffs Design(int k, double rate)
{
  const Coeffs c = PlainDesign(k, rate);
  return Usable(c) ? c : Coeffs{1, 0, 0, 0, 0};
}

struct Biquad
{
  Coeffs c{0, 0, 0, 0, 0};
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  double Run(double x)
  {
    double y = c.b1 * x1;
    y = y + c.b0 * x;
    y = y + c.b2 * x2;
    y = y - c.a1 * y1;
    y = y - c.a2 * y2;
    x2 = x1; x1 = x;
    y2 = y1; y1 = y;
    return y + 1e-20;
  }
};

inline double Clip(double u, double k, double d)
{
  const double a = u * d;
  double f = (a >= 0 ? 0.1 : -0.1) * k * 10;
  if (std::fabs(a) < 0.2)
    f = ((1 - std::fabs(a) / 0.4) * a) * k * 10;
  return std::min(std::max(a, -0.5), 0.0) + std::min(std::max(f, 0.0), 0.5);
}

// One refill of the 44100-entry noise table from seed; seed is advanced.
inline std::vector<double> Noise(std::uint32_t& seed)
{
  std::vector<double> table(44100);
  float acc = 0.0f;
  for (double& v : table)
  {
    seed = (std::uint32_t) (seed * 1234567ull + 890123ull);
    std::uint32_t bits = (seed & 0x9E7F0000u) | 0x1E000000u;
    float r;
    std::memcpy(&r, &bits, 4);
    acc = acc + r;
    v = (double) acc;
  }
  return table;
}

// The whole effect for one rate and fixed settings.
struct Pedal
{
  Biquad sec[21];
  std::vector<double> noise;
  double level = 0, attack = 0;
  bool effectOn = true, cabinetOn = true;

  Pedal(double rate, std::uint32_t noiseSeedBefore)
  {
    for (int k = 0; k < 21; ++k)
      sec[k].c = Design(k, rate);
    noise = Noise(noiseSeedBefore);
  }

  // Sample i of a block.
  double Sample(int i, double in0, double in1)
  {
    if (!effectOn)
      return in1 + in0;
    const double x = (in1 + in0) + noise[i % 44100];
    const double u = sec[1].Run(sec[0].Run(x));
    const double c = Clip(u, 0.3, 25 * attack);
    double e = attack - 0.5;
    if (e > 0.5) e = 0.5;
    if (e < -0.5) e = -0.5;
    double y = (0.5 - e) * (u * 5) + (e + 0.5) * c;
    for (int k = 2; k <= 11; ++k)
      y = sec[k].Run(y);
    y = level * y;
    if (cabinetOn)
      for (int k = 12; k <= 20; ++k)
        y = sec[k].Run(y);
    return y;
  }
};

}  // namespace ref
