// Same sound everywhere: the DLL renders the cases of TestHost.h from the input stored in the
// reference file (written by the native module through torvo-make-reference) and must match
// the native renders. The file is named by the environment variable TORVO_REFERENCE.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/wine/HostSupport.h"

using namespace testhost;

namespace {

struct Reference
{
  std::vector<double> inL, inR;
  std::vector<std::vector<double>> outL, outR;  // per case
};

bool ReadReference(const std::string& path, Reference& ref, std::string& error)
{
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
  {
    error = "cannot open " + path;
    return false;
  }
  uint32_t header[4] = {};
  bool ok = std::fread(header, sizeof header, 1, f) == 1;
  if (!ok || header[0] != kRefMagic || header[1] != kRefVersion || header[2] != (uint32_t) kRefFrames ||
      header[3] != (uint32_t) RefCases().size())
  {
    std::fclose(f);
    error = "the header of " + path + " does not match this host's cases";
    return false;
  }
  auto readChannel = [&](std::vector<double>& v) {
    v.resize(kRefFrames);
    return std::fread(v.data(), sizeof(double), kRefFrames, f) == (size_t) kRefFrames;
  };
  ok = readChannel(ref.inL) && readChannel(ref.inR);
  ref.outL.resize(RefCases().size());
  ref.outR.resize(RefCases().size());
  for (size_t c = 0; ok && c < RefCases().size(); ++c)
    ok = readChannel(ref.outL[c]) && readChannel(ref.outR[c]);
  std::fclose(f);
  if (!ok)
    error = path + " is shorter than its header says";
  return ok;
}

// The first frame where out differs most from ref within the reference length (-1 where every
// frame is equal), with the size of that difference in *largest.
int WorstFrame(const std::vector<double>& out, const std::vector<double>& ref, double* largest)
{
  int worst = -1;
  *largest = 0.0;
  for (int i = 0; i < kRefFrames; ++i)
  {
    const double d = std::fabs(out[i] - ref[i]);
    if (!(d <= *largest))
    {
      *largest = d;
      worst = i;
    }
  }
  return worst;
}

}  // namespace

TEST(WineSound, DllMatchesTheNativeModule)
{
  const std::string refPath = EnvVar("TORVO_REFERENCE");
  if (refPath.empty())
  {
    GTEST_SKIP() << "TORVO_REFERENCE is not set: no native reference renders to compare with";
  }
  Reference ref;
  std::string error;
  ASSERT_TRUE(ReadReference(refPath, ref, error)) << error;

  // The inputs must be the ones this host would make: the signal is built from exact arithmetic.
  std::vector<double> inL, inR;
  MakeInput(inL, inR);
  ASSERT_EQ(inL, ref.inL) << "the native and Windows input signals differ";
  ASSERT_EQ(inR, ref.inR) << "the native and Windows input signals differ";

  // A fresh load of the DLL, so that its process-wide noise generator starts where the native
  // writer's did (a new process).
  {
    PluginModule check;
    ASSERT_TRUE(check.Loaded()) << check.error;
  }
  const bool freshLoad = GetModuleHandleA(EnvVar("TORVO_DLL").c_str()) == nullptr;
  PluginModule module;
  ASSERT_TRUE(module.Loaded()) << module.error;

  double overall = 0.0;
  size_t exactCases = 0;
  for (size_t c = 0; c < RefCases().size(); ++c)
  {
    const RefCase& rc = RefCases()[c];
    std::vector<double> outL, outR;
    ASSERT_TRUE(RenderCase(module.Entry(), rc, ref.inL, ref.inR, outL, outR)) << rc.name;
    double largest = 0.0;
    int worst = -1;
    for (int i = 0; i < kRefFrames; ++i)
    {
      ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << rc.name << ", frame " << i;
      ASSERT_EQ(outL[i], outR[i]) << rc.name << ": channels differ at frame " << i;
      const double d = std::fabs(outL[i] - ref.outL[c][i]);
      const double dr = std::fabs(outR[i] - ref.outR[c][i]);
      if (d > largest || dr > largest)
      {
        largest = d > dr ? d : dr;
        worst = i;
      }
    }
    // The comparison means something only if the renders carry sound: the effect path and the
    // bypass (the plain sum of the inputs) both give a clearly audible output.
    double energy = 0.0;
    for (int i = 0; i < kRefFrames; ++i)
      energy += ref.outL[c][i] * ref.outL[c][i];
    EXPECT_GT(energy / kRefFrames, 1e-4) << rc.name << ": the native render is (nearly) silent";
    if (rc.params[2] == 0.f)
    {
      for (int i = 0; i < kRefFrames; ++i)
      {
        const double sum = ref.inR[i] + ref.inL[i];
        ASSERT_EQ(outL[i], rc.doublePrecision ? sum : (double) (float) ((double) (float) ref.inR[i] +
                                                                        (double) (float) ref.inL[i]))
          << rc.name << ": bypass is not the plain sum at frame " << i;
      }
    }
    if (largest == 0.0)
      ++exactCases;
    overall = largest > overall ? largest : overall;
    std::printf("[ sound    ] %-40s max |DLL - native| = %.3g%s\n", rc.name, largest,
                largest == 0.0 ? " (exactly equal)" : "");
    EXPECT_LE(largest, 1e-9) << rc.name << ": worst frame " << worst << ", DLL " << outL[worst] << ", native "
                             << ref.outL[c][worst];
  }
  std::printf("[ sound    ] all %zu cases: largest absolute difference %.3g; %zu of %zu bit-identical%s\n",
              RefCases().size(), overall, exactCases, RefCases().size(),
              freshLoad ? "" : " (the DLL could not be unloaded before the run)");
  RecordProperty("max_abs_difference", testing::PrintToString(overall));
}

// The samples must not depend on where the host's arrays lie or on what lies around them, and
// nothing may be written outside them. Each rendering uses a fresh load of the DLL (so the noise
// generator starts alike) and is compared with the default layout: buffers at every sample offset
// from a 64-byte boundary inside a larger allocation, surrounded by zeros, by large values and by
// NaNs.
TEST(WineSound, ResultDoesNotDependOnWhereTheBuffersLie)
{
  std::vector<double> inL, inR;
  MakeInput(inL, inR);
  struct Layout
  {
    const char* what;
    RenderLayout layout;
  };
  std::vector<Layout> layouts;
  auto around = [](int offset, double guard) {
    RenderLayout l;
    l.margin = true;
    l.alignOffset = offset;
    l.guard = guard;
    return l;
  };
  for (int offset = 0; offset < 8; ++offset)
    layouts.push_back({"zeros around", around(offset, 0.0)});
  layouts.push_back({"large values around", around(3, 1e6)});
  layouts.push_back({"NaNs around", around(5, std::nan(""))});
  for (const RefCase& rc : {RefCases()[1], RefCases()[0]})  // defaults at 44100 Hz, 64-bit and 32-bit
  {
    std::vector<double> firstL, firstR;
    {
      PluginModule module;
      ASSERT_TRUE(module.Loaded()) << module.error;
      ASSERT_TRUE(RenderCase(module.Entry(), rc, inL, inR, firstL, firstR));
    }
    for (const Layout& l : layouts)
    {
      SCOPED_TRACE(testing::Message() << rc.name << ", " << l.what << ", " << l.layout.alignOffset
                                      << " samples past a 64-byte boundary");
      PluginModule module;
      ASSERT_TRUE(module.Loaded()) << module.error;
      std::vector<double> outL, outR;
      bool guardsIntact = false;
      ASSERT_TRUE(RenderCase(module.Entry(), rc, inL, inR, outL, outR, l.layout, &guardsIntact));
      EXPECT_TRUE(guardsIntact) << "the plug-in wrote outside the host's buffers";
      double largest = 0.0;
      const int worst = WorstFrame(outL, firstL, &largest);
      EXPECT_EQ(worst, -1) << "the output changed, worst at frame " << worst << " by " << largest << " ("
                           << outL[worst] << " instead of " << firstL[worst] << ")";
      EXPECT_EQ(outR, outL) << "channels differ";
    }
  }
}

// The block loop must give the same sound whatever the host's block sizes: short blocks run other
// code than long ones. The input noise table (about 1e-20) is added per position in the block, so
// other block boundaries flip the last bit of some input sums, and the filters' gain carries that
// to about 1e-13 at the output; anything above 1e-9 is a fault of the block processing.
TEST(WineSound, BlockSizesDoNotChangeTheSound)
{
  std::vector<double> inL, inR;
  MakeInput(inL, inR);
  const std::vector<std::vector<int>> patterns = {
    {1}, {7}, {8, 9}, {16, 3, 64, 65, 63}, {1000, 1, 2, 127, 128, 129}, {4096}};
  double overall = 0.0;
  for (const RefCase& rc : {RefCases()[1], RefCases()[0], RefCases()[3], RefCases()[9]})
  {
    std::vector<double> firstL, firstR;
    {
      PluginModule module;
      ASSERT_TRUE(module.Loaded()) << module.error;
      ASSERT_TRUE(RenderCase(module.Entry(), rc, inL, inR, firstL, firstR));
    }
    for (const auto& blocks : patterns)
    {
      SCOPED_TRACE(testing::Message() << rc.name << ", blocks " << testing::PrintToString(blocks));
      PluginModule module;
      ASSERT_TRUE(module.Loaded()) << module.error;
      RenderLayout layout;
      layout.blocks = blocks;
      std::vector<double> outL, outR;
      ASSERT_TRUE(RenderCase(module.Entry(), rc, inL, inR, outL, outR, layout));
      double largest = 0.0;
      const int worst = WorstFrame(outL, firstL, &largest);
      overall = largest > overall ? largest : overall;
      EXPECT_LE(largest, 1e-9) << "worst at frame " << worst << ": " << (worst >= 0 ? outL[worst] : 0.0)
                               << " instead of " << (worst >= 0 ? firstL[worst] : 0.0);
      EXPECT_EQ(outR, outL) << "channels differ";
    }
  }
  std::printf("[ sound    ] block sizes 1 to 4096 against blocks of %d: largest absolute difference %.3g\n",
              kRefBlock, overall);
}
