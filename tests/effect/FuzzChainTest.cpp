// The clipper, the noise table and the block loop of the effect, compared with the reference
// evaluation of the formulas.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "EffectReference.h"
#include "effect/FilterBank.h"
#include "effect/FuzzChain.h"

namespace {

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

TEST(FuzzClip, KnownValues)
{
  struct Row { double u, k, d, expected; };
  const Row rows[] = {
    {0.004, 0.3, 25, 0.225},   // a = 0.1: 3a - 7.5a²
    {-0.004, 0.3, 25, -0.1},   // negative half passes a
    {0.02, 0.3, 25, 0.3},      // a = 0.5: soft limit k
    {0.008, 0.3, 25, 0.3},     // a = 0.2 meets the limit
    {-0.04, 0.3, 25, -0.5},    // a = -1: hard limit
    {-0.02, 0.3, 25, -0.5},    // a = -0.5
    {1000, 0.3, 25, 0.3},
    {-1000, 0.3, 25, -0.5},
    {0.1, 0.3, 1, 0.225},
    {0.05, 1.0, 1, 0.4375},    // k = 1: (1 - 0.125)·0.05·10
    {0.1, 1.0, 1, 0.5},        // k = 1: 0.75 limited to 0.5
    {0.3, 1.0, 1, 0.5},        // f = 1 limited to 0.5
    {0.0, 0.3, 25, 0.0},
  };
  for (const Row& r : rows)
    EXPECT_NEAR(FuzzClip(r.u, r.k, r.d), r.expected, 1e-15)
        << "FuzzClip(" << r.u << ", " << r.k << ", " << r.d << ")";
}

TEST(FuzzClip, NoDriveGivesSilenceAndTheShapeFollowsTheFormula)
{
  for (double u : {-1e300, -5.0, -0.3, -1e-9, 0.0, 1e-9, 0.3, 5.0, 1e300})
    EXPECT_EQ(FuzzClip(u, 0.3, 0), 0.0) << "u " << u;
  for (int i = -2000; i <= 2000; ++i)
  {
    const double a = i * 0.0005;  // -1 .. 1
    double expected = a >= 0.2 ? 0.3 : (a >= 0 ? 3 * a - 7.5 * a * a : (a >= -0.5 ? a : -0.5));
    EXPECT_NEAR(FuzzClip(a, 0.3, 1), expected, 1e-15) << "a " << a;
    EXPECT_TRUE(SameBits(FuzzClip(a, 0.3, 1), ref::Clip(a, 0.3, 1))) << "a " << a;
  }
}

TEST(NoiseTable, FollowsTheGeneratorAndStaysNearTenToTheMinusTwenty)
{
  std::vector<double> table(kNoiseTableSize);
  std::uint32_t seed = noiseSeed.load();
  RefillNoise(table.data());
  const std::vector<double> expected = ref::Noise(seed);
  EXPECT_EQ(noiseSeed.load(), seed) << "the state advances by one step per entry";
  for (int i = 0; i < kNoiseTableSize; ++i)
    ASSERT_TRUE(SameBits(table[i], expected[i]))
        << "entry " << i << " expected " << expected[i] << " actual " << table[i];

  // The first entry is the first step itself: sign, exponent field 0x3C, seven mantissa bits,
  // magnitude (1 + m/128)·2^-67.
  const float first = (float) table[0];
  EXPECT_EQ((double) first, table[0]);
  std::uint32_t bits;
  std::memcpy(&bits, &first, 4);
  EXPECT_EQ((bits >> 23) & 0xFFu, 0x3Cu) << std::hex << bits;
  EXPECT_EQ(bits & 0xFFFFu, 0u) << std::hex << bits;
  EXPECT_GE(std::fabs(table[0]), std::ldexp(1.0, -67));
  EXPECT_LE(std::fabs(table[0]), std::ldexp(2.0 - 1.0 / 128, -67));
  // Every step is one such value: consecutive entries differ by roughly 6.8e-21 .. 1.35e-20.
  for (int i = 1; i < kNoiseTableSize; ++i)
  {
    const double step = std::fabs(table[i] - table[i - 1]);
    ASSERT_GT(step, 6.0e-21) << "entry " << i;
    ASSERT_LT(step, 1.5e-20) << "entry " << i;
  }
  // A walk of 44100 steps stays far below anything audible.
  for (double v : table)
    ASSERT_LT(std::fabs(v), 44100 * 1.36e-20);
}

TEST(NoiseTable, EveryRefillMovesOnAndInstancesShareTheState)
{
  std::vector<double> a(kNoiseTableSize), b(kNoiseTableSize);
  std::uint32_t seed = noiseSeed.load();
  RefillNoise(a.data());
  RefillNoise(b.data());
  EXPECT_NE(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
  // The second refill continues where the first left the shared state.
  ref::Noise(seed);
  const std::vector<double> second = ref::Noise(seed);
  EXPECT_EQ(std::memcmp(b.data(), second.data(), b.size() * sizeof(double)), 0);
}

TEST(NoiseTable, ConcurrentRefillsKeepValidTables)
{
  // Two instances resetting at once on two threads: each table must still be one whole walk
  // (a torn or racing state would show under the thread sanitizer).
  std::vector<double> a(kNoiseTableSize), b(kNoiseTableSize);
  auto work = [](std::vector<double>* t) {
    for (int i = 0; i < 20; ++i)
      RefillNoise(t->data());
  };
  std::thread ta(work, &a), tb(work, &b);
  ta.join();
  tb.join();
  for (const std::vector<double>* t : {&a, &b})
  {
    float first = (float) (*t)[0];
    std::uint32_t bits;
    std::memcpy(&bits, &first, 4);
    EXPECT_EQ((bits >> 23) & 0xFF, 0x3Cu);
    for (double v : *t)
      ASSERT_LT(std::fabs(v), 44100 * 1.36e-20);
  }
}

namespace {

// One block run of both the production loop and the reference.
struct ChainRig
{
  std::unique_ptr<FilterBank> bank = std::make_unique<FilterBank>();
  std::vector<double> noise = std::vector<double>(kNoiseTableSize);
  FuzzSettings settings;
  bool effectOn = true;
  bool cabinetOn = true;
  ref::Pedal pedal;

  ChainRig(double rate, double level, double attack, bool cabinet)
      : pedal(rate, noiseSeed.load())
  {
    ClearFilterBank(*bank);
    DesignFilterBank(*bank, rate);
    RefillNoise(noise.data());
    settings.level = level;
    settings.attack = attack;
    settings.drive = attack * 25;
    cabinetOn = cabinet;
    pedal.level = level;
    pedal.attack = attack;
    pedal.cabinetOn = cabinet;
  }

  // Runs in0/in1 in blocks of the given sizes and compares every sample bit for bit.
  ::testing::AssertionResult Compare(const std::vector<double>& in0,
                                     const std::vector<double>& in1,
                                     const std::vector<int>& blocks)
  {
    size_t pos = 0;
    for (int n : blocks)
    {
      std::vector<double> i0(in0.begin() + pos, in0.begin() + pos + n);
      std::vector<double> i1(in1.begin() + pos, in1.begin() + pos + n);
      std::vector<double> o0(n, -7.0), o1(n, -7.0);
      double* ins[2] = {i0.data(), i1.data()};
      double* outs[2] = {o0.data(), o1.data()};
      ProcessEffectBlock(*bank, settings, noise.data(), effectOn, cabinetOn, ins, outs, n);
      for (int i = 0; i < n; ++i)
      {
        const double expected = pedal.Sample(i, i0[i], i1[i]);
        if (!SameBits(o0[i], expected) || !SameBits(o1[i], expected))
          return ::testing::AssertionFailure()
                 << "position " << pos + i << " (block position " << i << ") inputs " << i0[i]
                 << ", " << i1[i] << ": expected " << expected << " actual " << o0[i] << " / "
                 << o1[i];
      }
      pos += n;
    }
    return ::testing::AssertionSuccess();
  }
};

std::vector<double> SineBurst(size_t n, double amp)
{
  std::vector<double> v(n, 0.0);
  for (size_t i = 0; i < n * 2 / 3; ++i)
    v[i] = amp * std::sin(2 * 3.14159265358979 * 220.0 * (double) i / 44100.0);
  return v;
}

std::vector<double> Noise(size_t n, double amp, std::uint32_t seed)
{
  std::vector<double> v(n);
  for (double& x : v)
  {
    seed = seed * 1664525u + 1013904223u;
    x = amp * ((double) (seed >> 8) / 8388608.0 - 1.0);
  }
  return v;
}

}  // namespace

TEST(ProcessEffectBlock, MatchesTheReferenceBitForBit)
{
  const size_t n = 6000;
  struct Signal { const char* name; std::vector<double> in0, in1; };
  const Signal signals[] = {
    {"sine burst", SineBurst(n, 0.4), SineBurst(n, 0.1)},
    {"noise", Noise(n, 0.5, 1), Noise(n, 0.05, 2)},
    {"silence", std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)},
    {"loud", Noise(n, 8.0, 3), SineBurst(n, 4.0)},
  };
  const std::vector<int> blocks = {1, 511, 512, 37, 2048, 2891};
  for (double rate : {44100.0, 48000.0, 16000.0})
    for (const Signal& sig : signals)
      for (double attack : {0.0, 0.5, 1.0, 0.25})
        for (bool cabinet : {false, true})
        {
          ChainRig rig(rate, 0.8, attack, cabinet);
          EXPECT_TRUE(rig.Compare(sig.in0, sig.in1, blocks))
              << sig.name << ", rate " << rate << ", attack " << attack << ", cabinet "
              << cabinet;
        }
}

TEST(ProcessEffectBlock, BlocksLongerThanTheNoiseTableWrapToItsStart)
{
  const size_t n = 2 * kNoiseTableSize + 1234;
  for (bool cabinet : {false, true})
  {
    ChainRig rig(44100, 1.0, 1.0, cabinet);
    const std::vector<double> zero(n, 0.0);
    EXPECT_TRUE(rig.Compare(zero, zero, {(int) n})) << "silence, cabinet " << cabinet;
    ChainRig loud(44100, 1.0, 0.5, cabinet);
    EXPECT_TRUE(loud.Compare(Noise(n + 3, 1.0, 9), Noise(n + 3, 0.5, 10), {(int) n, 3}))
        << "noise, cabinet " << cabinet;
  }
}

TEST(ProcessEffectBlock, BypassWritesThePlainSumAndLeavesTheBankAlone)
{
  ChainRig rig(44100, 1.0, 0.5, true);
  const std::vector<double> in0 = Noise(3000, 0.7, 5), in1 = Noise(3000, 0.3, 6);
  rig.Compare(in0, in1, {1000});  // give the sections some state
  FilterBank before = *rig.bank;
  std::vector<double> o0(3000), o1(3000);
  double* ins[2] = {const_cast<double*>(in0.data()), const_cast<double*>(in1.data())};
  double* outs[2] = {o0.data(), o1.data()};
  ProcessEffectBlock(*rig.bank, rig.settings, rig.noise.data(), false, true, ins, outs, 3000);
  for (int i = 0; i < 3000; ++i)
  {
    ASSERT_TRUE(SameBits(o0[i], in0[i] + in1[i])) << "position " << i;
    ASSERT_TRUE(SameBits(o1[i], in0[i] + in1[i])) << "position " << i;
  }
  EXPECT_EQ(std::memcmp(&before, rig.bank.get(), sizeof before), 0);
}

TEST(ProcessEffectBlock, NoFramesWriteNothing)
{
  ChainRig rig(44100, 1.0, 0.5, true);
  FilterBank before = *rig.bank;
  double in = 0.5, out0 = -3, out1 = -3;
  double* ins[2] = {&in, &in};
  double* outs[2] = {&out0, &out1};
  for (bool on : {false, true})
    for (int n : {0, -1, -44100})
      ProcessEffectBlock(*rig.bank, rig.settings, rig.noise.data(), on, true, ins, outs, n);
  EXPECT_EQ(out0, -3);
  EXPECT_EQ(out1, -3);
  EXPECT_EQ(std::memcmp(&before, rig.bank.get(), sizeof before), 0);
}

TEST(ProcessEffectBlock, InPlaceEqualsOutOfPlace)
{
  const int n = 4000;
  const std::vector<double> in0 = Noise(n, 0.6, 21), in1 = SineBurst(n, 0.3);
  for (bool on : {true, false})
  {
    // Out of place.
    ChainRig a(44100, 0.7, 0.6, true);
    std::vector<double> o0(n), o1(n);
    {
      double* ins[2] = {const_cast<double*>(in0.data()), const_cast<double*>(in1.data())};
      double* outs[2] = {o0.data(), o1.data()};
      ProcessEffectBlock(*a.bank, a.settings, a.noise.data(), on, true, ins, outs, n);
    }
    // Outputs on the inputs, crossed (output 0 on input 1 and output 1 on input 0).
    ChainRig b(44100, 0.7, 0.6, true);
    b.noise = a.noise;
    std::vector<double> p0 = in0, p1 = in1;
    {
      double* ins[2] = {p0.data(), p1.data()};
      double* outs[2] = {p1.data(), p0.data()};
      ProcessEffectBlock(*b.bank, b.settings, b.noise.data(), on, true, ins, outs, n);
    }
    // Both outputs on input 0.
    ChainRig c(44100, 0.7, 0.6, true);
    c.noise = a.noise;
    std::vector<double> q0 = in0, q1 = in1;
    {
      double* ins[2] = {q0.data(), q1.data()};
      double* outs[2] = {q0.data(), q0.data()};
      ProcessEffectBlock(*c.bank, c.settings, c.noise.data(), on, true, ins, outs, n);
    }
    for (int i = 0; i < n; ++i)
    {
      ASSERT_TRUE(SameBits(o0[i], o1[i])) << "position " << i;
      ASSERT_TRUE(SameBits(p0[i], o0[i]) && SameBits(p1[i], o0[i]))
          << "effect " << on << " position " << i << " expected " << o0[i] << " actual " << p0[i]
          << " / " << p1[i];
      ASSERT_TRUE(SameBits(q0[i], o0[i])) << "effect " << on << " position " << i;
    }
  }
}

TEST(ProcessEffectBlock, EqualsThePerSampleChainAndLeavesTheSameState)
{
  // The block loop works in passes of a few sections; sample by sample through ProcessFuzzChain
  // and ProcessCabinet must give the same samples and the same filter memory.
  const int n = 3000;
  const std::vector<double> in0 = Noise(n, 0.8, 61), in1 = SineBurst(n, 0.5);
  for (bool cabinet : {false, true})
  {
    ChainRig rig(44100, 0.9, 0.7, cabinet);
    auto bank = std::make_unique<FilterBank>(*rig.bank);
    std::vector<double> o0(n), o1(n);
    double* ins[2] = {const_cast<double*>(in0.data()), const_cast<double*>(in1.data())};
    double* outs[2] = {o0.data(), o1.data()};
    int pos = 0;
    for (int len : {700, 256, 257, 1, 1786})
    {
      double* bi[2] = {ins[0] + pos, ins[1] + pos};
      double* bo[2] = {outs[0] + pos, outs[1] + pos};
      ProcessEffectBlock(*rig.bank, rig.settings, rig.noise.data(), true, cabinet, bi, bo, len);
      for (int i = 0; i < len; ++i)
      {
        const double x = (in1[pos + i] + in0[pos + i]) + rig.noise[i];
        double y = ProcessFuzzChain(*bank, rig.settings, x);
        if (cabinet)
          y = ProcessCabinet(*bank, y);
        ASSERT_TRUE(SameBits(o0[pos + i], y))
            << "cabinet " << cabinet << " position " << pos + i << " expected " << y
            << " actual " << o0[pos + i];
      }
      pos += len;
      ASSERT_EQ(std::memcmp(bank.get(), rig.bank.get(), sizeof(FilterBank)), 0)
          << "cabinet " << cabinet << " after position " << pos;
    }
  }
}
