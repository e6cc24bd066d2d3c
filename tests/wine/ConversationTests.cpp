// The conversation a Windows host has with the plug-in DLL: set-up, sample rates, block sizes,
// programs, state chunks, parameters and their texts, and the three audio entries.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "tests/wine/HostSupport.h"

using namespace testhost;

namespace {

class WineConversation : public ::testing::Test
{
protected:
  void SetUp() override { ASSERT_TRUE(module.Loaded()) << module.error; }

  // A stereo test signal for n frames: two different waves with a fixed pattern.
  static void Signal(int n, std::vector<float>& l, std::vector<float>& r, int seed = 0)
  {
    l.resize(n);
    r.resize(n);
    for (int i = 0; i < n; ++i)
    {
      l[i] = (float) (((i + seed) * 13) % 97 - 48) / 120.f;
      r[i] = (float) (((i + seed) * 5) % 61 - 30) / 150.f;
    }
  }

  PluginModule module;
};

bool AllFinite(const std::vector<float>& v)
{
  for (float x : v)
    if (!std::isfinite(x))
      return false;
  return true;
}

}  // namespace

TEST_F(WineConversation, LoadSequenceSampleRatesAndBlockSizes)
{
  Instance p(module.Entry());
  ASSERT_NE(p.effect, nullptr);
  ClearCalls();
  EXPECT_EQ(p.Dispatch(effOpen), 0);
  // Opening identifies the host by asking for its product name.
  bool askedProduct = false;
  for (const auto& c : Calls())
    askedProduct = askedProduct || c.opcode == audioMasterGetProductString;
  EXPECT_TRUE(askedProduct);

  struct Step
  {
    float rate;
    int block;
  };
  const Step steps[] = {{44100.f, 512}, {48000.f, 64}, {96000.f, 1024}, {44100.f, 4096}, {48000.f, 1}};
  for (const Step& s : steps)
  {
    SCOPED_TRACE(testing::Message() << "rate " << s.rate << " block " << s.block);
    p.Dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(p.Dispatch(effSetSampleRate, 0, 0, nullptr, s.rate), 0);
    EXPECT_EQ(p.Dispatch(effSetBlockSize, 0, s.block), 0);
    p.Dispatch(effMainsChanged, 0, 1);
    std::vector<float> l, r, oL(s.block, 9.f), oR(s.block, 9.f);
    float* ins[2];
    float* outs[2] = {oL.data(), oR.data()};
    // Several blocks, so filters settle into their steady behaviour.
    for (int b = 0; b < 8; ++b)
    {
      Signal(s.block, l, r, b * s.block);
      ins[0] = l.data();
      ins[1] = r.data();
      p.effect->processReplacing(p.effect, ins, outs, s.block);
      ASSERT_TRUE(AllFinite(oL) && AllFinite(oR));
      ASSERT_EQ(std::memcmp(oL.data(), oR.data(), s.block * sizeof(float)), 0) << "channels differ";
    }
  }
}

TEST_F(WineConversation, ProgramsAreSixteenFilledInitPrograms)
{
  Instance p(module.Entry());
  ASSERT_NE(p.effect, nullptr);
  p.StartLikeAHost();
  for (int i = 0; i < 16; ++i)
  {
    char name[64] = {};
    EXPECT_EQ(p.Dispatch(effGetProgramNameIndexed, i, 0, name), 1) << "program " << i << " is empty";
    EXPECT_STREQ(name, "Init") << "program " << i;
  }
  EXPECT_EQ(p.Dispatch(effGetProgram), 0);
  EXPECT_EQ(p.Text(effGetProgramName, 0), "Init");

  // Program 0 is made with Level 1.0, but the host's first switch stores the current values
  // (the defaults) into the program it leaves, so from a host program 0 reads like the others.
  p.Set(0, 0.3f);
  p.Dispatch(effSetProgram, 0, 5);
  EXPECT_EQ(p.Dispatch(effGetProgram), 5);
  EXPECT_FLOAT_EQ(p.Get(0), 0.5f);
  p.Dispatch(effSetProgram, 0, 0);
  EXPECT_NEAR(p.Get(0), 0.3f, 1e-6);
  EXPECT_FLOAT_EQ(p.Get(1), 0.5f);
  EXPECT_FLOAT_EQ(p.Get(2), 1.0f);
  EXPECT_FLOAT_EQ(p.Get(3), 1.0f);

  // Switching stores the current values in the program left, and renaming sticks.
  p.Set(1, 0.2f);
  char newName[] = "Crunch";
  p.Dispatch(effSetProgramName, 0, 0, newName);
  p.Dispatch(effSetProgram, 0, 7);
  EXPECT_FLOAT_EQ(p.Get(1), 0.5f);
  p.Dispatch(effSetProgram, 0, 0);
  EXPECT_NEAR(p.Get(1), 0.2f, 1e-6);
  EXPECT_EQ(p.Text(effGetProgramName, 0), "Crunch");
}

TEST_F(WineConversation, ChunksRestoreIntoAFreshInstance)
{
  Instance a(module.Entry());
  ASSERT_NE(a.effect, nullptr);
  a.StartLikeAHost();
  a.Set(0, 0.125f);
  a.Set(1, 0.875f);
  a.Set(2, 0.f);
  a.Set(3, 0.f);

  for (int index : {0, 1})  // bank, then program
  {
    SCOPED_TRACE(index == 0 ? "bank chunk" : "program chunk");
    void* data = nullptr;
    const VstIntPtr size = a.Dispatch(effGetChunk, index, 0, &data);
    ASSERT_EQ(size, 40);
    ASSERT_NE(data, nullptr);
    std::vector<char> saved((const char*) data, (const char*) data + size);
    EXPECT_EQ(std::memcmp(saved.data(), "tffp", 4), 0);

    Instance b(module.Entry());
    b.StartLikeAHost(48000.f, 256);
    EXPECT_EQ(b.Dispatch(effSetChunk, index, size, saved.data()), 1);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(b.Get(i), a.Get(i)) << "parameter " << i;
    EXPECT_EQ(b.Text(effGetParamDisplay, 2), "Off");

    // The restored instance sounds like the original: Effect Off passes the sum.
    std::vector<float> l, r, o(64);
    Signal(64, l, r);
    float* ins[2] = {l.data(), r.data()};
    float* outs[2] = {o.data(), o.data()};
    b.effect->processReplacing(b.effect, ins, outs, 64);
    for (int i = 0; i < 64; ++i)
      ASSERT_EQ(o[i], (float) ((double) r[i] + (double) l[i])) << "frame " << i;
  }
}

TEST_F(WineConversation, ParametersFromTheHostAndTheirTexts)
{
  Instance p(module.Entry());
  ASSERT_NE(p.effect, nullptr);
  p.StartLikeAHost();

  const char* names[] = {"Level", "Attack", "Effect", "Cabinet"};
  for (int i = 0; i < 4; ++i)
  {
    EXPECT_EQ(p.Text(effGetParamName, i), names[i]);
    EXPECT_EQ(p.Text(effGetParamLabel, i), "");
    EXPECT_EQ(p.Dispatch(effCanBeAutomated, i), 1);
  }

  struct Row
  {
    int index;
    float value;
    float readBack;
    const char* display;
  };
  const Row rows[] = {
    {0, 0.5f, 0.5f, "0.500"}, {0, 0.25f, 0.25f, "0.250"}, {1, 1.f, 1.f, "1.000"}, {1, 0.f, 0.f, "0"},
    {2, 1.f, 1.f, "On"},      {2, 0.f, 0.f, "Off"},       {2, 0.6f, 1.f, "On"},   {3, 0.f, 0.f, "Off"},
    {3, 1.f, 1.f, "On"},
  };
  for (const Row& row : rows)
  {
    SCOPED_TRACE(testing::Message() << "parameter " << row.index << " set to " << row.value);
    p.Set(row.index, row.value);
    EXPECT_NEAR(p.Get(row.index), row.readBack, 1e-6);
    EXPECT_EQ(p.Text(effGetParamDisplay, row.index), row.display);
  }
  // Indexes outside the four parameters read 0 and change nothing.
  EXPECT_EQ(p.Get(-1), 0.f);
  EXPECT_EQ(p.Get(4), 0.f);
  p.Set(4, 0.3f);
  EXPECT_EQ(p.Text(effGetParamDisplay, 4), "");
  // The host's own change of a parameter is not reported back to it.
  ClearCalls();
  p.Set(0, 0.75f);
  for (const auto& c : Calls())
    EXPECT_NE(c.opcode, audioMasterAutomate);
}

TEST_F(WineConversation, AudioEntriesReplacingAccumulatingDoubleAndBypass)
{
  const int n = 512;
  std::vector<float> l, r;
  Signal(n, l, r);
  std::vector<double> dl(l.begin(), l.end()), dr(r.begin(), r.end());

  // Three instances set up alike render the same block through the three entries.
  Instance rep(module.Entry()), acc(module.Entry()), dbl(module.Entry());
  for (Instance* p : {&rep, &acc, &dbl})
  {
    ASSERT_NE(p->effect, nullptr);
    p->StartLikeAHost(44100.f, n);
    p->Set(1, 0.8f);
  }

  std::vector<float> rL(n, 7.f), rR(n, 7.f);
  float* fin[2] = {l.data(), r.data()};
  float* rOut[2] = {rL.data(), rR.data()};
  rep.effect->processReplacing(rep.effect, fin, rOut, n);
  ASSERT_TRUE(AllFinite(rL) && AllFinite(rR));
  ASSERT_EQ(std::memcmp(rL.data(), rR.data(), n * sizeof(float)), 0) << "channels differ";
  double energy = 0;
  for (float x : rL)
    energy += (double) x * x;
  EXPECT_GT(energy, 1e-6) << "the effect path produced silence";

  std::vector<float> aL(n, 0.5f), aR(n, -0.25f);
  float* aOut[2] = {aL.data(), aR.data()};
  acc.effect->process(acc.effect, fin, aOut, n);
  for (int i = 0; i < n; ++i)
  {
    ASSERT_EQ(aL[i], 0.5f + rL[i]) << "accumulating, left, frame " << i;
    ASSERT_EQ(aR[i], -0.25f + rR[i]) << "accumulating, right, frame " << i;
  }

  std::vector<double> oL(n, 7.0), oR(n, 7.0);
  double* din[2] = {dl.data(), dr.data()};
  double* dOut[2] = {oL.data(), oR.data()};
  dbl.effect->processDoubleReplacing(dbl.effect, din, dOut, n);
  for (int i = 0; i < n; ++i)
  {
    ASSERT_TRUE(std::isfinite(oL[i])) << "frame " << i;
    ASSERT_EQ(oL[i], oR[i]) << "64-bit channels differ at frame " << i;
    // The 32-bit path computes in 64 bits and narrows at the end; the noise tables of the
    // instances differ by a step of the shared generator only, far below a float's resolution.
    ASSERT_NEAR((double) rL[i], oL[i], 1e-6) << "frame " << i;
  }

  // Bypass: the plain sum of the inputs, exactly, in every entry.
  for (Instance* p : {&rep, &acc, &dbl})
    p->Set(2, 0.f);
  rep.effect->processReplacing(rep.effect, fin, rOut, n);
  std::fill(aL.begin(), aL.end(), 0.5f);
  acc.effect->process(acc.effect, fin, aOut, n);
  dbl.effect->processDoubleReplacing(dbl.effect, din, dOut, n);
  for (int i = 0; i < n; ++i)
  {
    const float sum = (float) ((double) r[i] + (double) l[i]);
    ASSERT_EQ(rL[i], sum) << "frame " << i;
    ASSERT_EQ(rR[i], sum) << "frame " << i;
    ASSERT_EQ(aL[i], 0.5f + sum) << "frame " << i;
    ASSERT_EQ(oL[i], dr[i] + dl[i]) << "frame " << i;
    ASSERT_EQ(oR[i], dr[i] + dl[i]) << "frame " << i;
  }
}
