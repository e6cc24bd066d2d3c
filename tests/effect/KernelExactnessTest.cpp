// The block loop's fast forms against a slow, straightforward evaluation written here: every
// output sample and the filter state after every block must be bit-identical, at every
// instruction-set level this processor offers, for every block size, settings, in-place buffers
// and blocks longer than the noise table. Also: no subnormal number anywhere after a loud burst
// followed by a minute of silence.
//
// Block sizes checked per level and cabinet setting: every size 1..64, every power of two up to
// 4096 with its neighbours (2^k - 1, 2^k, 2^k + 1), every 7th size from 65 to 512 and every 61st
// from 513 to 4096. Each size runs over a signal of max(4500, 2 × size + 17) frames, so every
// size sees at least two whole blocks and a partial one. The schedules are also run directly on
// the short blocks (1 .. 40 frames) that the dispatcher hands to the plain loop.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "effect/FilterBank.h"
#include "effect/FuzzChain.h"
#include "effect/FuzzKernel.h"
#include "effect/FuzzKernelClip.h"
#include "effect/PlugExample.h"

namespace {

constexpr int kTable = 44100;

// ---- The straightforward evaluation: one sample through the whole chain at a time ----

double RefSection(FilterBank& b, int k, double x)
{
  double y = b.b1[k] * b.x1[k];
  y = y + b.b0[k] * x;
  y = y + b.b2[k] * b.x2[k];
  y = y - b.a1[k] * b.y1[k];
  y = y - b.a2[k] * b.y2[k];
  b.x2[k] = b.x1[k];
  b.x1[k] = x;
  b.y2[k] = b.y1[k];
  b.y1[k] = y;
  return y + 1e-20;
}

double RefClip(double u, double k, double d)
{
  const double a = u * d;
  double f;
  if (std::fabs(a) < 0.2)
    f = ((1 - std::fabs(a) / 0.4) * a) * k * 10;
  else
    f = (a >= 0 ? 0.1 : -0.1) * k * 10;
  const double lo = a > 0 ? 0.0 : (a < -0.5 ? -0.5 : a);
  const double hi = f > 0.5 ? 0.5 : (f < 0 ? 0.0 : f);
  return lo + hi;
}

struct Settings
{
  double level;
  double attack;
  bool cabinet;
};

// One block, positions 0 .. n-1 taking noise entries 0 .. n-1 (wrapping past the table).
void RefBlock(FilterBank& b, const Settings& s, const std::vector<double>& noise, const double* in0,
              const double* in1, double* out0, double* out1, int n)
{
  for (int i = 0; i < n; ++i)
  {
    const double x = (in1[i] + in0[i]) + noise[(size_t) (i % kTable)];
    const double u = RefSection(b, 1, RefSection(b, 0, x));
    const double c = RefClip(u, 0.3, 25 * s.attack);
    double e = s.attack - 0.5;
    if (e > 0.5)
      e = 0.5;
    if (e < -0.5)
      e = -0.5;
    double y = (0.5 - e) * (u * 5) + (e + 0.5) * c;
    for (int k = 2; k <= 11; ++k)
      y = RefSection(b, k, y);
    y = s.level * y;
    if (s.cabinet)
      for (int k = 12; k <= 20; ++k)
        y = RefSection(b, k, y);
    out1[i] = y;
    out0[i] = y;
  }
}

// ---- Inputs ----

// Plucked notes with a few decaying harmonics, loud enough to drive the clipper into both of its
// branches and its hard limit, with quiet stretches between; the second input a softer copy with
// its own detuning.
void GuitarLike(std::vector<double>& in0, std::vector<double>& in1, std::uint32_t seed)
{
  const size_t n = in0.size();
  auto rnd = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return (double) (seed >> 8) / 16777216.0;
  };
  const double pi = 3.14159265358979323846;
  size_t pos = 0;
  for (double& v : in0)
    v = 0;
  for (double& v : in1)
    v = 0;
  while (pos < n)
  {
    const size_t len = 600 + (size_t) (rnd() * 6000);
    const double f = 82.4 * std::pow(2.0, std::floor(rnd() * 30) / 12);
    const double amp = rnd() < 0.2 ? 0.002 : 0.05 + 0.9 * rnd();
    const double decay = 1.0 / (800 + 4000 * rnd());
    for (size_t i = 0; i < len && pos + i < n; ++i)
    {
      const double t = (double) i / 44100;
      const double env = amp * std::exp(-(double) i * decay);
      double v0 = 0, v1 = 0;
      for (int h = 1; h <= 4; ++h)
      {
        v0 += std::sin(2 * pi * f * h * t) / h;
        v1 += std::sin(2 * pi * f * 1.003 * h * t + 0.3) / h;
      }
      in0[pos + i] = env * v0 + 1e-4 * (rnd() - 0.5);
      in1[pos + i] = 0.6 * env * v1;
    }
    pos += len;
  }
}

FilterBank DesignedBank()
{
  FilterBank b;
  ClearFilterBank(b);
  DesignFilterBank(b, 44100);
  return b;
}

std::vector<double> NoiseTable()
{
  std::vector<double> t((size_t) kTable);
  RefillNoise(t.data());
  return t;
}

std::string Hex(double v)
{
  char buf[64];
  std::snprintf(buf, sizeof buf, "%a (%.17g)", v, v);
  return buf;
}

// Compares the state arrays (and that the coefficients and the unused sections stayed as they
// were); returns an empty text when equal.
std::string BankDifference(const FilterBank& want, const FilterBank& got)
{
  const struct
  {
    const char* name;
    const double* w;
    const double* g;
  } arrays[] = {{"b0", want.b0, got.b0}, {"b1", want.b1, got.b1}, {"b2", want.b2, got.b2},
                {"a1", want.a1, got.a1}, {"a2", want.a2, got.a2}, {"x1", want.x1, got.x1},
                {"x2", want.x2, got.x2}, {"y1", want.y1, got.y1}, {"y2", want.y2, got.y2}};
  for (const auto& a : arrays)
    for (int k = 0; k < kFilterSections; ++k)
      if (std::memcmp(&a.w[k], &a.g[k], sizeof(double)) != 0)
        return std::string(a.name) + "[" + std::to_string(k) + "]: expected " + Hex(a.w[k])
               + ", got " + Hex(a.g[k]);
  return "";
}

std::vector<FuzzKernelLevel> AllLevels()
{
  return {FuzzKernelLevel::kPlain, FuzzKernelLevel::kSse2, FuzzKernelLevel::kAvx2,
          FuzzKernelLevel::kAvx512};
}

// The levels this processor and build run; the others are named once on standard output.
std::vector<FuzzKernelLevel> RunnableLevels()
{
  std::vector<FuzzKernelLevel> levels;
  for (FuzzKernelLevel l : AllLevels())
  {
    if (FuzzKernelLevelSupported(l))
      levels.push_back(l);
    else
      std::printf("[ skipped  ] level %s: not available on this processor or in this build\n",
                  FuzzKernelLevelName(l));
  }
  return levels;
}

std::vector<int> BlockSizes()
{
  std::set<int> sizes;
  for (int b = 1; b <= 64; ++b)
    sizes.insert(b);
  for (int p = 2; p <= 4096; p *= 2)
  {
    sizes.insert(p - 1);
    sizes.insert(p);
    if (p + 1 <= 4096)
      sizes.insert(p + 1);
  }
  for (int b = 65; b <= 512; b += 7)
    sizes.insert(b);
  for (int b = 513; b <= 4096; b += 61)
    sizes.insert(b);
  return std::vector<int>(sizes.begin(), sizes.end());
}

// Runs the signal through block by block at one level; returns the first mismatch (empty if none)
// against the expected outputs and the expected bank after every block.
struct Expected
{
  std::vector<double> out;
  std::vector<FilterBank> banks;  // after each block
};

Expected Reference(const FilterBank& start, const Settings& s, const std::vector<double>& noise,
                   const std::vector<double>& in0, const std::vector<double>& in1, int block)
{
  Expected e;
  FilterBank b = start;
  const int n = (int) in0.size();
  e.out.assign((size_t) n, 0);
  std::vector<double> other((size_t) n);
  for (int pos = 0; pos < n; pos += block)
  {
    const int len = n - pos < block ? n - pos : block;
    RefBlock(b, s, noise, in0.data() + pos, in1.data() + pos, e.out.data() + pos,
             other.data() + pos, len);
    e.banks.push_back(b);
  }
  return e;
}

std::string RunAndCompare(FuzzKernelLevel level, const FilterBank& start, const Settings& s,
                          const std::vector<double>& noise, const std::vector<double>& in0,
                          const std::vector<double>& in1, int block, const Expected& want)
{
  FilterBank b = start;
  const int n = (int) in0.size();
  std::vector<double> out0((size_t) n, -7), out1((size_t) n, -7);
  int blockIndex = 0;
  for (int pos = 0; pos < n; pos += block, ++blockIndex)
  {
    const int len = n - pos < block ? n - pos : block;
    double* ins[2] = {const_cast<double*>(in0.data()) + pos, const_cast<double*>(in1.data()) + pos};
    double* outs[2] = {out0.data() + pos, out1.data() + pos};
    RunFuzzKernelAt(level, b, noise.data(), s.cabinet, s.level, s.attack, 25 * s.attack, ins, outs,
                    len);
    for (int i = pos; i < pos + len; ++i)
    {
      if (std::memcmp(&out0[(size_t) i], &want.out[(size_t) i], sizeof(double)) != 0
          || std::memcmp(&out1[(size_t) i], &want.out[(size_t) i], sizeof(double)) != 0)
        return "frame " + std::to_string(i) + " (block " + std::to_string(blockIndex)
               + ", position " + std::to_string(i - pos) + "): input " + Hex(in0[(size_t) i])
               + " + " + Hex(in1[(size_t) i]) + ", expected " + Hex(want.out[(size_t) i])
               + ", got out0 " + Hex(out0[(size_t) i]) + " out1 " + Hex(out1[(size_t) i]);
    }
    const std::string diff = BankDifference(want.banks[(size_t) blockIndex], b);
    if (!diff.empty())
      return "state after block " + std::to_string(blockIndex) + ": " + diff;
  }
  return "";
}

std::string Describe(FuzzKernelLevel level, const Settings& s, int block)
{
  char buf[160];
  std::snprintf(buf, sizeof buf, "level %s, cabinet %s, Level %.17g, Attack %.17g, block %d",
                FuzzKernelLevelName(level), s.cabinet ? "on" : "off", s.level, s.attack, block);
  return buf;
}

// A bank that has already run: non-zero state in every section.
FilterBank WarmBank(const std::vector<double>& noise)
{
  FilterBank b = DesignedBank();
  std::vector<double> a(777), c(777), o(777), p(777);
  GuitarLike(a, c, 99);
  RefBlock(b, Settings{0.8, 0.6, true}, noise, a.data(), c.data(), o.data(), p.data(), 777);
  return b;
}

}  // namespace

TEST(KernelExactness, EveryBlockSizeAtEveryLevel)
{
  const std::vector<FuzzKernelLevel> levels = RunnableLevels();
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  for (bool cabinet : {true, false})
  {
    const Settings s{0.7, 0.62, cabinet};
    for (int block : BlockSizes())
    {
      const size_t n = (size_t) std::max(4500, 2 * block + 17);
      std::vector<double> in0(n), in1(n);
      GuitarLike(in0, in1, 1234u + (std::uint32_t) block);
      const Expected want = Reference(start, s, noise, in0, in1, block);
      for (FuzzKernelLevel level : levels)
      {
        const std::string diff = RunAndCompare(level, start, s, noise, in0, in1, block, want);
        ASSERT_EQ(diff, "") << Describe(level, s, block);
      }
    }
  }
}

// Attack over its range and beyond it (the cross-fade limits E to -0.5 .. 0.5), Level 0 and 1,
// and a drive that is not 25 × attack (the kernel takes the drive as given).
TEST(KernelExactness, SettingsAtEveryLevel)
{
  const std::vector<FuzzKernelLevel> levels = RunnableLevels();
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  const Settings table[] = {
    {1.0, 0.0, true},  {1.0, 1.0, true},   {0.5, 0.5, false}, {0.0, 0.8, true},
    {0.0, 0.3, false}, {0.9, 0.999, true}, {0.3, 1.7, true},  {0.6, -0.4, false},
    {1.0, 0.25, false},
  };
  std::vector<double> in0(5000), in1(5000);
  GuitarLike(in0, in1, 77);
  for (const Settings& s : table)
  {
    for (int block : {1, 7, 64, 300, 5000})
    {
      const Expected want = Reference(start, s, noise, in0, in1, block);
      for (FuzzKernelLevel level : levels)
      {
        const std::string diff = RunAndCompare(level, start, s, noise, in0, in1, block, want);
        ASSERT_EQ(diff, "") << Describe(level, s, block);
      }
    }
  }
}

// Outputs that are the inputs' own memory, in every pairing a host may use, give the same samples
// as separate buffers.
TEST(KernelExactness, InPlaceBuffersAtEveryLevel)
{
  const std::vector<FuzzKernelLevel> levels = RunnableLevels();
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  const Settings s{0.8, 0.7, true};
  const int n = 3000;
  std::vector<double> in0((size_t) n), in1((size_t) n);
  GuitarLike(in0, in1, 5);
  for (int block : {5, 64, 1000})
  {
    const Expected want = Reference(start, s, noise, in0, in1, block);
    for (FuzzKernelLevel level : levels)
    {
      for (int pairing = 0; pairing < 3; ++pairing)
      {
        std::vector<double> a = in0, b = in1;
        FilterBank bank = start;
        for (int pos = 0; pos < n; pos += block)
        {
          const int len = n - pos < block ? n - pos : block;
          double* ins[2] = {a.data() + pos, b.data() + pos};
          double* outs[2] = {a.data() + pos, b.data() + pos};  // out0 = in0, out1 = in1
          if (pairing == 1)
          {
            outs[0] = b.data() + pos;  // crossed: out0 = in1, out1 = in0
            outs[1] = a.data() + pos;
          }
          else if (pairing == 2)
          {
            outs[1] = a.data() + pos;  // both outputs on input 0
          }
          RunFuzzKernelAt(level, bank, noise.data(), s.cabinet, s.level, s.attack, 25 * s.attack,
                          ins, outs, len);
        }
        for (int i = 0; i < n; ++i)
          ASSERT_EQ(std::memcmp(&a[(size_t) i], &want.out[(size_t) i], sizeof(double)), 0)
              << Describe(level, s, block) << ", pairing " << pairing << ", frame " << i
              << ": expected " << Hex(want.out[(size_t) i]) << ", got " << Hex(a[(size_t) i]);
        ASSERT_EQ(BankDifference(want.banks.back(), bank), "")
            << Describe(level, s, block) << ", pairing " << pairing;
      }
    }
  }
}

// A block longer than the noise table continues from the table's start.
TEST(KernelExactness, BlockLongerThanTheNoiseTable)
{
  const std::vector<FuzzKernelLevel> levels = RunnableLevels();
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  const Settings s{0.9, 0.4, true};
  const int n = kTable + 321;
  std::vector<double> in0((size_t) n), in1((size_t) n);
  GuitarLike(in0, in1, 8);
  const Expected want = Reference(start, s, noise, in0, in1, n);
  for (FuzzKernelLevel level : levels)
    ASSERT_EQ(RunAndCompare(level, start, s, noise, in0, in1, n, want), "")
        << Describe(level, s, n);
}

// The schedules themselves, called directly, for the short blocks the dispatcher gives to the
// plain loop (1 .. 40 frames): filling and draining overlap there, and every lane is masked.
TEST(KernelExactness, SchedulesOnShortBlocks)
{
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  struct Entry
  {
    FuzzKernelLevel level;
    void (*run)(const FuzzKernelJob&);
  };
  std::vector<Entry> entries;
  if (FuzzKernelLevelSupported(FuzzKernelLevel::kSse2))
    entries.push_back({FuzzKernelLevel::kSse2, RunFuzzScheduleSse2});
#if defined(__x86_64__)
  if (FuzzKernelLevelSupported(FuzzKernelLevel::kAvx2))
    entries.push_back({FuzzKernelLevel::kAvx2, RunFuzzScheduleAvx2});
  if (FuzzKernelLevelSupported(FuzzKernelLevel::kAvx512))
    entries.push_back({FuzzKernelLevel::kAvx512, RunFuzzScheduleAvx512});
#endif
  std::vector<double> in0(400), in1(400);
  GuitarLike(in0, in1, 11);
  for (bool cabinet : {true, false})
  {
    const Settings s{0.75, 0.55, cabinet};
    for (int block = 1; block <= 40; ++block)
    {
      const Expected want = Reference(start, s, noise, in0, in1, block);
      for (const Entry& e : entries)
      {
        FilterBank b = start;
        std::vector<double> out0(in0.size()), out1(in0.size());
        size_t blockIndex = 0;
        for (int pos = 0; pos < (int) in0.size(); pos += block, ++blockIndex)
        {
          const int len = (int) in0.size() - pos < block ? (int) in0.size() - pos : block;
          double el = s.attack - 0.5;
          el = el > 0.5 ? 0.5 : (el < -0.5 ? -0.5 : el);
          FuzzKernelJob job;
          job.bank = &b;
          job.noise = noise.data();
          job.in0 = in0.data() + pos;
          job.in1 = in1.data() + pos;
          job.out0 = out0.data() + pos;
          job.out1 = out1.data() + pos;
          job.frames = len;
          job.cabinetOn = s.cabinet;
          job.level = s.level;
          job.drive = 25 * s.attack;
          job.clean = 0.5 - el;
          job.clipped = el + 0.5;
          e.run(job);
          for (int i = pos; i < pos + len; ++i)
            ASSERT_TRUE(std::memcmp(&out0[(size_t) i], &want.out[(size_t) i], sizeof(double)) == 0
                        && std::memcmp(&out1[(size_t) i], &want.out[(size_t) i], sizeof(double)) == 0)
                << Describe(e.level, s, block) << ", frame " << i << ": expected "
                << Hex(want.out[(size_t) i]) << ", got " << Hex(out0[(size_t) i]) << " / "
                << Hex(out1[(size_t) i]);
          ASSERT_EQ(BankDifference(want.banks[blockIndex], b), "") << Describe(e.level, s, block);
        }
      }
    }
  }
}

// Zero frames (and a negative count) write nothing and leave the state alone.
TEST(KernelExactness, EmptyBlockAtEveryLevel)
{
  const std::vector<double> noise = NoiseTable();
  const FilterBank start = WarmBank(noise);
  for (FuzzKernelLevel level : RunnableLevels())
  {
    for (int frames : {0, -3})
    {
      FilterBank b = start;
      double in[4] = {0.5, 0.5, 0.5, 0.5}, out[4] = {9, 9, 9, 9};
      double* ins[2] = {in, in + 2};
      double* outs[2] = {out, out + 2};
      RunFuzzKernelAt(level, b, noise.data(), true, 1, 0.5, 12.5, ins, outs, frames);
      EXPECT_EQ(BankDifference(start, b), "") << FuzzKernelLevelName(level);
      for (double v : out)
        EXPECT_EQ(v, 9.0) << FuzzKernelLevelName(level);
    }
  }
}

// The plug-in itself at each forced level: the whole effect through its block reaction, blocks of
// changing length, settings switched between blocks, against the straightforward evaluation.
TEST(KernelExactness, PlugInAtEveryForcedLevel)
{
  const FuzzKernelLevel before = ActiveFuzzKernelLevel();
  std::vector<double> in0(6000), in1(6000);
  GuitarLike(in0, in1, 31);
  const int blocks[] = {1, 2, 3, 17, 64, 65, 128, 255, 256, 512, 1000, 1024, 31, 4};
  for (FuzzKernelLevel level : RunnableLevels())
  {
    ASSERT_TRUE(SetFuzzKernelLevel(level));
    EXPECT_EQ(ActiveFuzzKernelLevel(), level);
    PlugExample plug(nullptr);
    plug.NotifyAllParamsChanged();
    plug.UpdateSampleRate(44100);
    plug.Reset();
    std::vector<double> noise(plug.NoiseTable(), plug.NoiseTable() + kTable);
    FilterBank ref = plug.Bank();
    int pos = 0;
    for (int round = 0; pos < (int) in0.size(); ++round)
    {
      const int want = blocks[round % (sizeof blocks / sizeof blocks[0])];
      const int len = (int) in0.size() - pos < want ? (int) in0.size() - pos : want;
      // Switch the cabinet and move the knobs now and then.
      plug.GetParam(PlugExample::kCabinet)->SetValue(round % 5 == 3 ? 0 : 1);
      plug.OnParamChange(PlugExample::kCabinet);
      plug.GetParam(PlugExample::kAttack)->SetValue(0.1 * (round % 11));
      plug.OnParamChange(PlugExample::kAttack);
      const Settings s{plug.Level(), plug.Attack(), plug.CabinetOn()};
      std::vector<double> o0((size_t) len), o1((size_t) len), r0((size_t) len), r1((size_t) len);
      double* ins[2] = {in0.data() + pos, in1.data() + pos};
      double* outs[2] = {o0.data(), o1.data()};
      plug.ProcessDoubleReplacing(ins, outs, len);
      RefBlock(ref, s, noise, in0.data() + pos, in1.data() + pos, r0.data(), r1.data(), len);
      for (int i = 0; i < len; ++i)
        ASSERT_TRUE(std::memcmp(&o0[(size_t) i], &r0[(size_t) i], sizeof(double)) == 0
                    && std::memcmp(&o1[(size_t) i], &r0[(size_t) i], sizeof(double)) == 0)
            << Describe(level, s, len) << ", frame " << pos + i << ": expected "
            << Hex(r0[(size_t) i]) << ", got " << Hex(o0[(size_t) i]) << " / "
            << Hex(o1[(size_t) i]);
      ASSERT_EQ(BankDifference(ref, plug.Bank()), "") << Describe(level, s, len);
      pos += len;
    }
  }
  SetFuzzKernelLevel(before);
}

// A loud burst, then a minute of digital silence in 512-frame blocks: no output sample and no
// filter state value may ever be subnormal, at any level.
TEST(KernelExactness, NoSubnormalAfterBurstAndSilence)
{
  const std::vector<double> noise = NoiseTable();
  const int block = 512;
  std::vector<double> burst0(4410), burst1(4410);
  GuitarLike(burst0, burst1, 3);
  for (double& v : burst0)
    v *= 4;
  const std::vector<double> silence((size_t) block, 0.0);
  for (FuzzKernelLevel level : RunnableLevels())
  {
    for (bool cabinet : {true, false})
    {
      FilterBank b = DesignedBank();
      std::vector<double> out0(burst0.size()), out1(burst0.size());
      double* ins[2] = {burst0.data(), burst1.data()};
      double* outs[2] = {out0.data(), out1.data()};
      RunFuzzKernelAt(level, b, noise.data(), cabinet, 1, 1, 25, ins, outs, (int) burst0.size());
      std::vector<double> o0((size_t) block), o1((size_t) block);
      int subnormalOut = 0;
      double firstBad = 0;
      for (int pos = 0; pos < 60 * 44100; pos += block)
      {
        double* sins[2] = {const_cast<double*>(silence.data()), const_cast<double*>(silence.data())};
        double* souts[2] = {o0.data(), o1.data()};
        RunFuzzKernelAt(level, b, noise.data(), cabinet, 1, 1, 25, sins, souts, block);
        for (int i = 0; i < block; ++i)
          if (std::fpclassify(o0[(size_t) i]) == FP_SUBNORMAL
              || std::fpclassify(o1[(size_t) i]) == FP_SUBNORMAL)
          {
            if (subnormalOut++ == 0)
              firstBad = o0[(size_t) i];
          }
        for (int k = 0; k < kFilterSections; ++k)
          for (double v : {b.x1[k], b.x2[k], b.y1[k], b.y2[k]})
            ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL)
                << FuzzKernelLevelName(level) << ", cabinet " << cabinet << ", section " << k
                << " after frame " << pos + block << ": " << Hex(v);
      }
      EXPECT_EQ(subnormalOut, 0) << FuzzKernelLevelName(level) << ", cabinet " << cabinet
                                 << ", first " << Hex(firstBad);
    }
  }
}

// The schedules' clipper works without branches, on two values at a time. Against the
// straightforward clipper, bit for bit (a NaN for a NaN), where a branch-free form could part from
// it: signed zeros, both sides of the knee and of the clamp limits, the smallest numbers,
// infinities and NaN, then a spread of ordinary values; with drives that make products of zeros
// and infinities too.
TEST(KernelExactness, ClipperOnSpecialValues)
{
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {0.0,    -0.0,   0.1,     -0.1,    1e-300, -1e-300,
                                1e300,  -1e300, inf,     -inf,    nan,    -nan,
                                std::numeric_limits<double>::denorm_min(),
                                -std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::min()};
  for (double limit : {0.2, 0.5, 0.4})
    for (double v : {limit, -limit})
    {
      values.push_back(v);
      values.push_back(std::nextafter(v, 0.0));
      values.push_back(std::nextafter(v, 2 * v));
    }
  std::uint32_t seed = 5;
  for (int i = 0; i < 4000; ++i)
  {
    seed = seed * 1664525u + 1013904223u;
    values.push_back(((double) (seed >> 8) / 16777216.0 - 0.5) * 6);
  }
  int checked = 0;
  for (double drive : {1.0, 25 * 0.62, 0.0, 1e-3})
    for (size_t i = 0; i + 1 < values.size(); ++i)
    {
      alignas(16) double got[2];
      _mm_store_pd(got, ScheduleClip2(_mm_set_pd(values[i + 1], values[i]), _mm_set1_pd(drive)));
      for (int lane = 0; lane < 2; ++lane)
      {
        const double u = values[i + (size_t) lane];
        const double want = RefClip(u, 0.3, drive);
        if (std::isnan(want))
        {
          EXPECT_TRUE(std::isnan(got[lane])) << "u " << u << " drive " << drive;
          continue;
        }
        std::uint64_t wantBits, gotBits;
        std::memcpy(&wantBits, &want, sizeof want);
        std::memcpy(&gotBits, &got[lane], sizeof want);
        EXPECT_EQ(gotBits, wantBits) << "u " << u << " drive " << drive << ": " << got[lane]
                                     << " instead of " << want;
        ++checked;
      }
    }
  EXPECT_GT(checked, 30000);
}
