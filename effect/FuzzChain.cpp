#include "effect/FuzzChain.h"

#include <cstring>

std::atomic<std::uint32_t> noiseSeed{1};

void RefillNoise(double* table)
{
  std::uint32_t seed = noiseSeed.load(std::memory_order_relaxed);
  float acc = 0;
  for (int i = 0; i < kNoiseTableSize; ++i)
  {
    seed = seed * 1234567u + 890123u;
    // Keep the sign and the top seven mantissa bits, force the exponent field to 0x3C.
    const std::uint32_t bits = (seed & 0x9E7F0000u) | 0x1E000000u;
    float r;
    std::memcpy(&r, &bits, sizeof r);
    acc += r;
    table[i] = acc;
  }
  noiseSeed.store(seed, std::memory_order_relaxed);
}

namespace {

// Zero-initialised static storage (not const, so it costs the module no bytes of zeros).
double silentNoise[kNoiseTableSize];

}  // namespace

const double* SilentNoise()
{
  return silentNoise;
}

namespace {

// Samples per pass: the block is worked through in chunks of this size (or less), on the stack.
constexpr int kChunk = 256;

// Section coefficients and state copied out of the bank, so they live in registers (or at least
// where no output array can alias them) for a whole pass.
template <int N>
struct Sections
{
  double b0[N], b1[N], b2[N], a1[N], a2[N], x1[N], x2[N], y1[N], y2[N];

  void Load(const FilterBank& bank, int k0)
  {
    for (int j = 0; j < N; ++j)
    {
      b0[j] = bank.b0[k0 + j];
      b1[j] = bank.b1[k0 + j];
      b2[j] = bank.b2[k0 + j];
      a1[j] = bank.a1[k0 + j];
      a2[j] = bank.a2[k0 + j];
      x1[j] = bank.x1[k0 + j];
      x2[j] = bank.x2[k0 + j];
      y1[j] = bank.y1[k0 + j];
      y2[j] = bank.y2[k0 + j];
    }
  }

  void Store(FilterBank& bank, int k0) const
  {
    for (int j = 0; j < N; ++j)
    {
      bank.x1[k0 + j] = x1[j];
      bank.x2[k0 + j] = x2[j];
      bank.y1[k0 + j] = y1[j];
      bank.y2[k0 + j] = y2[j];
    }
  }

  // Section j of the group, exactly as ProcessSection.
  double Step(int j, double x)
  {
    return BiquadStep(b0[j], b1[j], b2[j], a1[j], a2[j], x1[j], x2[j], y1[j], y2[j], x) + 1e-20;
  }
};

// Sections k0 .. k0 + N - 1 in a row over buf. Each section sees the very samples, in the very
// order, it would see if every sample went through the whole chain before the next: running the
// chain in passes changes no result, but lets the processor overlap the sections' recursions.
template <int N>
void RunSections(FilterBank& bank, int k0, double* buf, int n)
{
  Sections<N> sec;
  sec.Load(bank, k0);
  for (int i = 0; i < n; ++i)
  {
    double v = buf[i];
    for (int j = 0; j < N; ++j)
      v = sec.Step(j, v);
    buf[i] = v;
  }
  sec.Store(bank, k0);
}

// The last pass: sections k0 .. k0 + N - 1 over buf, times gain when kGain, written to both
// outputs. Every input position of the chunk has been read by then, so the outputs may be the
// inputs' memory.
template <int N, bool kGain>
void RunSectionsToOutputs(FilterBank& bank, int k0, const double* buf, double gain, double* out0,
                          double* out1, int n)
{
  Sections<N> sec;
  sec.Load(bank, k0);
  for (int i = 0; i < n; ++i)
  {
    double v = buf[i];
    for (int j = 0; j < N; ++j)
      v = sec.Step(j, v);
    if (kGain)
      v = gain * v;
    out1[i] = v;
    out0[i] = v;
  }
  sec.Store(bank, k0);
}

// The input pass: sum of the inputs plus noise, sections 0-1, clipper and cross-fade.
void RunInputStage(FilterBank& bank, const FuzzSettings& s, const double* in0, const double* in1,
                   const double* noise, double* buf, int n)
{
  Sections<2> sec;
  sec.Load(bank, 0);
  const double e = ClampTo(s.attack - 0.5, -0.5, 0.5);
  const double clean = 0.5 - e;
  const double clipped = e + 0.5;
  for (int i = 0; i < n; ++i)
  {
    const double x = (in1[i] + in0[i]) + noise[i];
    const double u = sec.Step(1, sec.Step(0, x));
    const double c = FuzzClip(u, 0.3, s.drive);
    buf[i] = clean * (u * 5) + clipped * c;
  }
  sec.Store(bank, 0);
}

void RunChunk(FilterBank& bank, const FuzzSettings& s, bool cabinetOn, const double* noise,
              const double* in0, const double* in1, double* out0, double* out1, int n)
{
  double buf[kChunk];
  RunInputStage(bank, s, in0, in1, noise, buf, n);
  RunSections<2>(bank, 2, buf, n);
  RunSections<2>(bank, 4, buf, n);
  RunSections<2>(bank, 6, buf, n);
  RunSections<2>(bank, 8, buf, n);
  if (!cabinetOn)
  {
    RunSectionsToOutputs<2, true>(bank, 10, buf, s.level, out0, out1, n);
    return;
  }
  RunSections<2>(bank, 10, buf, n);
  for (int i = 0; i < n; ++i)
    buf[i] = s.level * buf[i];
  RunSections<3>(bank, 12, buf, n);
  RunSections<3>(bank, 15, buf, n);
  RunSectionsToOutputs<3, false>(bank, 18, buf, 1.0, out0, out1, n);
}

}  // namespace

void ProcessEffectBlock(FilterBank& bank, const FuzzSettings& settings, const double* noise,
                        bool effectOn, bool cabinetOn, double** inputs, double** outputs,
                        int nFrames)
{
  if (nFrames <= 0)
    return;
  const double* in0 = inputs[0];
  const double* in1 = inputs[1];
  double* out0 = outputs[0];
  double* out1 = outputs[1];

  if (!effectOn)
  {
    for (int i = 0; i < nFrames; ++i)
    {
      const double v = in1[i] + in0[i];
      out1[i] = v;
      out0[i] = v;
    }
    return;
  }

  const FuzzSettings s = settings;
  // Position i of the block takes noise entry i; past the end of the table it starts again.
  int noisePos = 0;
  for (int start = 0; start < nFrames;)
  {
    int n = nFrames - start;
    if (n > kChunk)
      n = kChunk;
    if (n > kNoiseTableSize - noisePos)
      n = kNoiseTableSize - noisePos;
    RunChunk(bank, s, cabinetOn, noise + noisePos, in0 + start, in1 + start, out0 + start,
             out1 + start, n);
    start += n;
    noisePos += n;
    if (noisePos == kNoiseTableSize)
      noisePos = 0;
  }
}
