// The plug-in class: identity, parameters, presets, the parameter reactions, Reset and the block
// reaction, the latter compared bit for bit with the reference evaluation.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/AllocationCounter.h"
#include "EffectReference.h"
#include "effect/PlugExample.h"

namespace {

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::unique_ptr<PlugExample> NewPlug()
{
  return std::make_unique<PlugExample>(nullptr);
}

// What the base does when a value arrives: store it, then run the reaction.
void SetPlain(PlugExample& plug, int idx, double value)
{
  plug.GetParam(idx)->SetValue(value);
  plug.OnParamChange(idx);
}

// The host opening the effect at a rate.
std::unique_ptr<PlugExample> OpenedPlug(double rate = 44100)
{
  auto plug = NewPlug();
  plug->NotifyAllParamsChanged();
  plug->UpdateSampleRate(rate);
  plug->Reset();
  return plug;
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

std::vector<double> SineBurst(size_t n, double amp, double hz)
{
  std::vector<double> v(n, 0.0);
  for (size_t i = 0; i < n / 2; ++i)
    v[i] = amp * std::sin(2 * 3.14159265358979 * hz * (double) i / 44100.0);
  return v;
}

void RunBlock(PlugExample& plug, std::vector<double>& in0, std::vector<double>& in1,
         std::vector<double>& out0, std::vector<double>& out1)
{
  double* ins[2] = {in0.data(), in1.data()};
  double* outs[2] = {out0.data(), out1.data()};
  plug.ProcessDoubleReplacing(ins, outs, (int) in0.size());
}

// A stand-in for the editor's graphics object: records the LED writes and what the effect looked
// like at that moment.
struct FakeGraphics : IGraphicsLink
{
  PlugExample* plug = nullptr;
  std::vector<std::pair<int, double>> controlWrites;
  std::vector<bool> effectOnAtWrite;

  void OnParamFromPlugin(int, double, bool) override {}
  void SetControlValue(int controlIdx, double normalizedValue) override
  {
    controlWrites.emplace_back(controlIdx, normalizedValue);
    effectOnAtWrite.push_back(plug->EffectOn());
  }
  void CreateSurface() override {}
  int Width() const override { return 213; }
  int Height() const override { return 326; }
  HWND OpenWindow(HWND) override { return nullptr; }
  void CloseWindow() override {}
};

}  // namespace

TEST(PlugExample, IdentityParametersAndPresets)
{
  auto plug = NewPlug();
  EXPECT_STREQ(plug->GetEffectName(), "Torvo-Mell");
  EXPECT_STREQ(plug->GetProductName(), "");
  EXPECT_STREQ(plug->GetMfrName(), "quillbarrow");
  EXPECT_EQ(plug->EffectVersion(false), 131840);
  EXPECT_EQ(plug->EffectVersion(true), 20300);
  EXPECT_EQ(plug->GetUniqueID(), 0x6B763965);  // 'kv9e'
  EXPECT_EQ(plug->GetMfrID(), 0x4E786C6F);     // 'Nxlo'
  EXPECT_EQ(plug->GetAEffect()->uniqueID, 0x6B763965);
  EXPECT_EQ(plug->GetLatency(), 0);
  EXPECT_FALSE(plug->DoesMidi());
  EXPECT_FALSE(plug->DoesStateChunks());
  EXPECT_FALSE(plug->IsInstrument());
  EXPECT_TRUE(plug->LegalIO(1, 1));
  EXPECT_TRUE(plug->LegalIO(2, 2));
  EXPECT_FALSE(plug->LegalIO(2, 1));
  EXPECT_EQ(plug->NInChannels(), 2);
  EXPECT_EQ(plug->NOutChannels(), 2);

  ASSERT_EQ(plug->NParams(), 4);
  struct Row { const char* name; IParam::EParamType type; double def, min, max, step; };
  const Row rows[] = {
    {"Level", IParam::kTypeDouble, 0.5, 0.0, 1.0, 0.001},
    {"Attack", IParam::kTypeDouble, 0.5, 0.0, 1.0, 0.001},
    {"Effect", IParam::kTypeEnum, 1, 0, 1, 1},
    {"Cabinet", IParam::kTypeEnum, 1, 0, 1, 1},
  };
  for (int i = 0; i < 4; ++i)
  {
    const IParam* p = plug->GetParam(i);
    EXPECT_STREQ(p->Name(), rows[i].name);
    EXPECT_EQ(p->Type(), rows[i].type) << rows[i].name;
    EXPECT_EQ(p->Value(), rows[i].def) << rows[i].name;
    EXPECT_EQ(p->Min(), rows[i].min) << rows[i].name;
    EXPECT_EQ(p->Max(), rows[i].max) << rows[i].name;
    EXPECT_EQ(p->Step(), rows[i].step) << rows[i].name;
    EXPECT_STREQ(p->Label(), "") << rows[i].name;
  }
  for (int i : {PlugExample::kEffect, PlugExample::kCabinet})
  {
    EXPECT_EQ(plug->GetParam(i)->ValueTextCount(), 2);
    EXPECT_STREQ(plug->GetParam(i)->ValueTextFor(0), "Off");
    EXPECT_STREQ(plug->GetParam(i)->ValueTextFor(1), "On");
  }

  ASSERT_EQ(plug->NPresets(), 16);
  for (int k = 0; k < 16; ++k)
    EXPECT_STREQ(plug->PresetName(k), "Init") << "preset " << k;
  for (int k : {0, 1, 7, 15, 0})
  {
    SetPlain(*plug, PlugExample::kLevel, 0.123);
    SetPlain(*plug, PlugExample::kAttack, 0.9);
    SetPlain(*plug, PlugExample::kEffect, 0);
    SetPlain(*plug, PlugExample::kCabinet, 0);
    ASSERT_TRUE(plug->LoadPreset(k));
    EXPECT_EQ(plug->GetParam(0)->Value(), k == 0 ? 1.0 : 0.5) << "preset " << k;
    EXPECT_EQ(plug->GetParam(1)->Value(), 0.5) << "preset " << k;
    EXPECT_EQ(plug->GetParam(2)->Value(), 1.0) << "preset " << k;
    EXPECT_EQ(plug->GetParam(3)->Value(), 1.0) << "preset " << k;
    // Loading runs the reactions.
    EXPECT_EQ(plug->Level(), k == 0 ? 1.0 : 0.5) << "preset " << k;
    EXPECT_EQ(plug->Drive(), 12.5) << "preset " << k;
    EXPECT_TRUE(plug->EffectOn());
    EXPECT_TRUE(plug->CabinetOn());
  }
}

TEST(PlugExample, StartsAtZeroAndOpeningRunsEveryReaction)
{
  auto plug = NewPlug();
  EXPECT_EQ(plug->Level(), 0.0);
  EXPECT_EQ(plug->Attack(), 0.0);
  EXPECT_EQ(plug->Drive(), 0.0);
  EXPECT_FALSE(plug->EffectOn());
  EXPECT_FALSE(plug->CabinetOn());
  EXPECT_EQ(plug->DesignedRate(), 0.0);
  for (int i = 0; i < kNoiseTableSize; ++i)
    ASSERT_EQ(plug->NoiseTable()[i], 0.0);

  plug->NotifyAllParamsChanged();
  EXPECT_EQ(plug->Level(), 0.5);
  EXPECT_EQ(plug->Attack(), 0.5);
  EXPECT_EQ(plug->Drive(), 12.5);
  EXPECT_TRUE(plug->EffectOn());
  EXPECT_TRUE(plug->CabinetOn());

  // Before any Reset every section passes on only its offset: silence of the order of 1e-20.
  std::vector<double> in0 = Noise(300, 0.9, 4), in1 = Noise(300, 0.9, 5), o0(300), o1(300);
  RunBlock(*plug, in0, in1, o0, o1);
  for (int i = 0; i < 300; ++i)
    ASSERT_LT(std::fabs(o0[i]), 1e-18) << "position " << i;
}

TEST(PlugExample, ParameterReactions)
{
  auto plug = NewPlug();
  plug->NotifyAllParamsChanged();

  SetPlain(*plug, PlugExample::kAttack, 0.4);
  EXPECT_EQ(plug->Attack(), 0.4);
  EXPECT_EQ(plug->Drive(), 10.0);
  SetPlain(*plug, PlugExample::kAttack, 0.0);
  EXPECT_EQ(plug->Drive(), 0.0);
  SetPlain(*plug, PlugExample::kLevel, 0.25);
  EXPECT_EQ(plug->Level(), 0.25);

  // Choices truncate toward zero; values other than 0 and 1 change nothing.
  struct Row { double value; bool expected; };
  const Row rows[] = {
    {0, false}, {1, true}, {0.9, false}, {1.7, true}, {-0.5, false}, {2, false},
    {-1, false}, {std::numeric_limits<double>::quiet_NaN(), false}, {1e300, false},
  };
  for (int idx : {PlugExample::kEffect, PlugExample::kCabinet})
  {
    for (bool start : {false, true})
      for (const Row& r : rows)
      {
        SetPlain(*plug, idx, start ? 1 : 0);
        SetPlain(*plug, idx, r.value);
        const bool changes = (r.value > -1 && r.value < 2);
        const bool now = idx == PlugExample::kEffect ? plug->EffectOn() : plug->CabinetOn();
        EXPECT_EQ(now, changes ? r.expected : start)
            << "parameter " << idx << " from " << start << " value " << r.value;
      }
  }

  // Indexes outside 0-3 change nothing.
  SetPlain(*plug, PlugExample::kLevel, 0.3);
  SetPlain(*plug, PlugExample::kAttack, 0.6);
  for (int idx : {-1, 4, 5, 1000, -2147483647 - 1})
  {
    plug->OnParamChange(idx);
    EXPECT_EQ(plug->Level(), 0.3);
    EXPECT_EQ(plug->Attack(), 0.6);
    EXPECT_EQ(plug->Drive(), 0.6 * 25);
  }
}

TEST(PlugExample, EffectSwitchesTheLedFirst)
{
  auto plug = NewPlug();
  auto* graphics = new FakeGraphics;  // owned by the plug-in once connected
  graphics->plug = plug.get();
  plug->ConnectGraphics(graphics);
  ASSERT_EQ(plug->GetGraphics(), graphics);

  SetPlain(*plug, PlugExample::kEffect, 1);
  SetPlain(*plug, PlugExample::kEffect, 0);
  SetPlain(*plug, PlugExample::kEffect, 5);  // not a choice: no LED write
  SetPlain(*plug, PlugExample::kCabinet, 0);  // not the LED's business
  ASSERT_EQ(graphics->controlWrites.size(), 2u);
  EXPECT_EQ(graphics->controlWrites[0], std::make_pair(plug->LedControlIndex(), 1.0));
  EXPECT_EQ(graphics->controlWrites[1], std::make_pair(plug->LedControlIndex(), 0.0));
  // At each write the effect still had its previous state.
  EXPECT_FALSE(graphics->effectOnAtWrite[0]);
  EXPECT_TRUE(graphics->effectOnAtWrite[1]);
  EXPECT_FALSE(plug->EffectOn());
}

TEST(PlugExample, EffectOffPassesTheSumAndOnRestoresTheEffect)
{
  auto plug = OpenedPlug();
  std::vector<double> in0 = Noise(700, 0.5, 11), in1 = Noise(700, 0.25, 12), o0(700), o1(700);
  RunBlock(*plug, in0, in1, o0, o1);
  const FilterBank before = plug->Bank();

  SetPlain(*plug, PlugExample::kEffect, 0);
  RunBlock(*plug, in0, in1, o0, o1);
  for (int i = 0; i < 700; ++i)
  {
    ASSERT_TRUE(SameBits(o0[i], in0[i] + in1[i])) << "position " << i;
    ASSERT_TRUE(SameBits(o1[i], in0[i] + in1[i])) << "position " << i;
  }
  EXPECT_EQ(std::memcmp(&before, &plug->Bank(), sizeof before), 0) << "bypass left the bank";

  SetPlain(*plug, PlugExample::kEffect, 1);
  RunBlock(*plug, in0, in1, o0, o1);
  int differing = 0;
  for (int i = 0; i < 700; ++i)
    differing += !SameBits(o0[i], in0[i] + in1[i]);
  EXPECT_GT(differing, 600);
  EXPECT_NE(std::memcmp(&before, &plug->Bank(), sizeof before), 0);
}

TEST(PlugExample, ResetDesignsOnlyForANewRate)
{
  auto plug = NewPlug();
  plug->NotifyAllParamsChanged();
  // The first Reset designs, at the base's 44100 even without a rate from the host.
  plug->Reset();
  EXPECT_EQ(plug->Rate(), 44100.0);
  EXPECT_EQ(plug->DesignedRate(), 44100.0);
  for (int k = 0; k < kDesignedSections; ++k)
  {
    const ref::Coeffs c = ref::Design(k, 44100);
    EXPECT_TRUE(SameBits(plug->Bank().b0[k], c.b0) && SameBits(plug->Bank().a2[k], c.a2))
        << "section " << k;
  }

  std::vector<double> in0 = Noise(900, 0.5, 1), in1 = Noise(900, 0.5, 2), o0(900), o1(900);
  RunBlock(*plug, in0, in1, o0, o1);
  const FilterBank played = plug->Bank();
  std::vector<double> noiseBefore(plug->NoiseTable(), plug->NoiseTable() + kNoiseTableSize);

  // Same rate: coefficients and state kept, the noise refilled.
  plug->Reset();
  EXPECT_EQ(std::memcmp(&played, &plug->Bank(), sizeof played), 0);
  EXPECT_NE(std::memcmp(noiseBefore.data(), plug->NoiseTable(), kNoiseTableSize * sizeof(double)),
            0);

  // A new rate: state zeroed, redesigned.
  plug->UpdateSampleRate(48000);
  plug->Reset();
  EXPECT_EQ(plug->DesignedRate(), 48000.0);
  for (int k = 0; k < kFilterSections; ++k)
  {
    EXPECT_EQ(plug->Bank().x1[k], 0.0);
    EXPECT_EQ(plug->Bank().x2[k], 0.0);
    EXPECT_EQ(plug->Bank().y1[k], 0.0);
    EXPECT_EQ(plug->Bank().y2[k], 0.0);
  }
  for (int k = 0; k < kDesignedSections; ++k)
    EXPECT_TRUE(SameBits(plug->Bank().b1[k], ref::Design(k, 48000).b1)) << "section " << k;

  // A rate that is not a number never counts as designed: every Reset starts the filters anew.
  plug->UpdateSampleRate(std::numeric_limits<double>::quiet_NaN());
  plug->Reset();
  RunBlock(*plug, in0, in1, o0, o1);
  EXPECT_NE(plug->Bank().y1[0], 0.0);
  plug->Reset();
  EXPECT_EQ(plug->Bank().y1[0], 0.0);
  for (int i = 0; i < 900; ++i)
    ASSERT_TRUE(std::isfinite(o0[i])) << "position " << i;

  // Sections 21-31 stay empty through it all.
  const double* arrays[9] = {plug->Bank().b0, plug->Bank().b1, plug->Bank().b2,
                             plug->Bank().a1, plug->Bank().a2, plug->Bank().x1,
                             plug->Bank().x2, plug->Bank().y1, plug->Bank().y2};
  for (const double* a : arrays)
    for (int k = kDesignedSections; k < kFilterSections; ++k)
      EXPECT_TRUE(SameBits(a[k], 0.0)) << "section " << k;
}

TEST(PlugExample, NoiseIsSharedByInstancesAndRepeatsEveryBlock)
{
  auto a = NewPlug();
  auto b = NewPlug();
  std::uint32_t seed = noiseSeed.load();
  a->Reset();
  b->Reset();
  const std::vector<double> first = ref::Noise(seed);
  const std::vector<double> second = ref::Noise(seed);
  EXPECT_EQ(std::memcmp(a->NoiseTable(), first.data(), kNoiseTableSize * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(b->NoiseTable(), second.data(), kNoiseTableSize * sizeof(double)), 0);
  EXPECT_EQ(noiseSeed.load(), seed);

  // Blocks do not move the table: two blocks see the same noise at the same positions.
  std::vector<double> table(a->NoiseTable(), a->NoiseTable() + kNoiseTableSize);
  std::vector<double> z0(1000, 0.0), z1(1000, 0.0), o0(1000), o1(1000);
  a->NotifyAllParamsChanged();
  RunBlock(*a, z0, z1, o0, o1);
  RunBlock(*a, z0, z1, o0, o1);
  EXPECT_EQ(std::memcmp(a->NoiseTable(), table.data(), kNoiseTableSize * sizeof(double)), 0);
}

// Until its first Reset an instance reads zeros that every fresh instance shares; Reset fills a
// table of the instance's own, which no other instance's Reset touches.
TEST(PlugExample, NoiseIsZeroUntilTheFirstResetAndOwnAfterIt)
{
  auto isSilent = [](const PlugExample& p) {
    for (int i = 0; i < kNoiseTableSize; ++i)
      if (!SameBits(p.NoiseTable()[i], 0.0))
        return false;
    return true;
  };
  auto a = NewPlug();
  auto b = NewPlug();
  std::uint32_t seed = noiseSeed.load();
  a->Reset();
  const std::vector<double> first = ref::Noise(seed);
  const std::vector<double> second = ref::Noise(seed);
  EXPECT_EQ(std::memcmp(a->NoiseTable(), first.data(), kNoiseTableSize * sizeof(double)), 0);
  EXPECT_TRUE(isSilent(*b)) << "made before the other's Reset";
  EXPECT_TRUE(isSilent(*NewPlug())) << "made after the other's Reset";

  b->Reset();
  EXPECT_EQ(std::memcmp(b->NoiseTable(), second.data(), kNoiseTableSize * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(a->NoiseTable(), first.data(), kNoiseTableSize * sizeof(double)), 0)
      << "the other's Reset changed this table";
  EXPECT_TRUE(isSilent(*NewPlug())) << "made after both Resets";
}

TEST(PlugExample, InstancesResettingOnTwoThreads)
{
  auto a = OpenedPlug();
  auto b = OpenedPlug();
  auto work = [](PlugExample* plug) {
    std::vector<double> in(256, 0.1), o(256);
    double* ins[2] = {in.data(), in.data()};
    double* outs[2] = {o.data(), o.data()};
    for (int i = 0; i < 30; ++i)
    {
      plug->Reset();
      IMutexLock lock(plug);
      plug->ProcessDoubleReplacing(ins, outs, 256);
    }
  };
  std::thread ta(work, a.get()), tb(work, b.get());
  ta.join();
  tb.join();
  for (PlugExample* p : {a.get(), b.get()})
    for (int i = 0; i < kNoiseTableSize; ++i)
      ASSERT_LT(std::fabs(p->NoiseTable()[i]), 44100 * 1.36e-20);
}

TEST(PlugExample, SoundMatchesTheReferenceBitForBit)
{
  const size_t n = 5000;
  struct Signal { const char* name; std::vector<double> in0, in1; };
  const Signal signals[] = {
    {"sine burst", SineBurst(n, 0.5, 330), SineBurst(n, 0.2, 110)},
    {"noise", Noise(n, 0.3, 31), Noise(n, 0.3, 32)},
    {"silence", std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)},
  };
  const int blocks[] = {512, 1, 1024, 99, 2048, 1316};
  for (const Signal& sig : signals)
    for (double attack : {0.0, 0.5, 1.0})
      for (int cabinet : {0, 1})
      {
        auto plug = NewPlug();
        plug->NotifyAllParamsChanged();
        SetPlain(*plug, PlugExample::kLevel, 0.7);
        SetPlain(*plug, PlugExample::kAttack, attack);
        SetPlain(*plug, PlugExample::kCabinet, cabinet);
        std::uint32_t seed = noiseSeed.load();
        plug->Reset();
        ref::Pedal pedal(44100, seed);
        pedal.level = 0.7;
        pedal.attack = attack;
        pedal.cabinetOn = cabinet == 1;

        size_t pos = 0;
        bool ok = true;
        for (int len : blocks)
        {
          std::vector<double> i0(sig.in0.begin() + pos, sig.in0.begin() + pos + len);
          std::vector<double> i1(sig.in1.begin() + pos, sig.in1.begin() + pos + len);
          std::vector<double> o0(len), o1(len);
          RunBlock(*plug, i0, i1, o0, o1);
          for (int i = 0; i < len && ok; ++i)
          {
            const double expected = pedal.Sample(i, i0[i], i1[i]);
            ok = SameBits(o0[i], expected) && SameBits(o1[i], expected);
            EXPECT_TRUE(ok) << sig.name << ", attack " << attack << ", cabinet " << cabinet
                            << ": position " << pos + i << " inputs " << i0[i] << ", " << i1[i]
                            << " expected " << expected << " actual " << o0[i] << " / " << o1[i];
          }
          pos += (size_t) len;
        }
      }
}

TEST(PlugExample, InPlaceProcessingEqualsOutOfPlace)
{
  auto a = OpenedPlug();
  auto b = OpenedPlug();
  std::memcpy(const_cast<double*>(b->NoiseTable()), a->NoiseTable(),
              kNoiseTableSize * sizeof(double));
  for (int block = 0; block < 3; ++block)
  {
    std::vector<double> in0 = Noise(1024, 0.6, 40 + block), in1 = SineBurst(1024, 0.3, 220);
    std::vector<double> o0(1024), o1(1024);
    RunBlock(*a, in0, in1, o0, o1);
    RunBlock(*b, in0, in1, in0, in1);  // outputs over the inputs
    for (int i = 0; i < 1024; ++i)
    {
      ASSERT_TRUE(SameBits(o0[i], o1[i])) << "block " << block << " position " << i;
      ASSERT_TRUE(SameBits(in0[i], o0[i]) && SameBits(in1[i], o0[i]))
          << "block " << block << " position " << i << " expected " << o0[i] << " actual "
          << in0[i] << " / " << in1[i];
    }
  }
}

TEST(PlugExample, EveryRateGivesFiniteSoundForALoudInput)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double rates[] = {0, -1, nan, 16000, 22050, 1000, 8000, 96000, 192000, 44100};
  for (double rate : rates)
    for (double attack : {0.0, 1.0})
    {
      auto plug = OpenedPlug(44100);
      SetPlain(*plug, PlugExample::kLevel, 1.0);
      SetPlain(*plug, PlugExample::kAttack, attack);
      plug->UpdateSampleRate(rate);
      plug->Reset();
      for (int block = 0; block < 8; ++block)
      {
        std::vector<double> in0 = Noise(2048, 10.0, 50 + block), in1 = SineBurst(2048, 10.0, 1000);
        std::vector<double> o0(2048), o1(2048);
        RunBlock(*plug, in0, in1, o0, o1);
        for (int i = 0; i < 2048; ++i)
          ASSERT_TRUE(std::isfinite(o0[i]) && std::isfinite(o1[i]))
              << "rate " << rate << " attack " << attack << " block " << block << " position "
              << i << ": " << o0[i];
      }
    }
}

TEST(PlugExample, LongBlocksWrapTheNoiseAndStayFinite)
{
  auto plug = OpenedPlug();
  std::uint32_t seed = noiseSeed.load();
  plug->Reset();
  ref::Pedal pedal(44100, seed);
  pedal.level = 0.5;
  pedal.attack = 0.5;
  const size_t n = 100000;
  std::vector<double> in0(n, 0.0), in1 = Noise(n, 0.1, 77), o0(n), o1(n);
  RunBlock(*plug, in0, in1, o0, o1);
  for (size_t i = 0; i < n; ++i)
  {
    const double expected = pedal.Sample((int) i, in0[i], in1[i]);
    ASSERT_TRUE(SameBits(o0[i], expected))
        << "position " << i << " expected " << expected << " actual " << o0[i];
  }
}

TEST(PlugExample, TheBlockReactionAllocatesNothing)
{
  auto plug = OpenedPlug();
  std::vector<double> in0 = Noise(4096, 0.5, 3), in1 = Noise(4096, 0.5, 4), o0(4096), o1(4096);
  for (int effect : {1, 0})
  {
    SetPlain(*plug, PlugExample::kEffect, effect);
    AllocationCounter counter;
    RunBlock(*plug, in0, in1, o0, o1);
    RunBlock(*plug, in0, in1, in0, in1);
    EXPECT_EQ(counter.Count(), 0) << "effect " << effect;
  }
}
