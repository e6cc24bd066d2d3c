// Loading the plug-in DLL as a Windows host does: both entry names, the effect record read
// through the real function pointers, independent instances.

#include <gtest/gtest.h>

#include "tests/wine/HostSupport.h"

using namespace testhost;

namespace {

void ExpectRecord(const AEffect* e, const char* entryName)
{
  SCOPED_TRACE(entryName);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, 16);
  EXPECT_EQ(e->numParams, 4);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0x1019) << "flags 0x" << std::hex << e->flags;
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->uniqueID, ('k' << 24) | ('v' << 16) | ('9' << 8) | 'e');
  EXPECT_EQ(e->version, 20300);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_NE(e->object, nullptr);
  EXPECT_EQ(e->user, nullptr);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_NE(e->setParameter, nullptr);
  EXPECT_NE(e->getParameter, nullptr);
  for (char c : e->future)
    EXPECT_EQ(c, 0);
}

}  // namespace

TEST(WineLoad, BothEntryPointsGiveTheRecord)
{
  PluginModule module;
  ASSERT_TRUE(module.handle) << module.error;
  ASSERT_NE(module.vstPluginMain, nullptr) << "no export VSTPluginMain";
  ASSERT_NE(module.mainEntry, nullptr) << "no export main";
  // The decorated or underscored names a wrong build would give must not be what a host finds.
  EXPECT_EQ(GetProcAddress(module.handle, "_VSTPluginMain"), nullptr);

  Instance a(module.vstPluginMain);
  ExpectRecord(a.effect, "VSTPluginMain");
  Instance b(module.mainEntry);
  ExpectRecord(b.effect, "main");
  EXPECT_NE(a.effect, b.effect);
  EXPECT_NE(a.effect->object, b.effect->object);

  ERect* rect = nullptr;
  EXPECT_EQ(a.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 326);
  EXPECT_EQ(rect->right, 213);
  EXPECT_EQ(a.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(a.Dispatch(effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(a.Text(effGetEffectName, 0), "Torvo-Mell");
  EXPECT_EQ(a.Text(effGetVendorString, 0), "quillbarrow");
}

TEST(WineLoad, InstancesAreIndependent)
{
  PluginModule module;
  ASSERT_TRUE(module.Loaded()) << module.error;
  Instance a(module.vstPluginMain), b(module.vstPluginMain);
  ASSERT_TRUE(a.effect && b.effect);
  a.StartLikeAHost();
  b.StartLikeAHost();

  a.Set(0, 0.25f);
  a.Set(1, 0.75f);
  a.Set(2, 0.f);
  a.Dispatch(effSetProgram, 0, 3);
  EXPECT_FLOAT_EQ(b.Get(0), 0.5f);
  EXPECT_FLOAT_EQ(b.Get(1), 0.5f);
  EXPECT_FLOAT_EQ(b.Get(2), 1.f);
  EXPECT_EQ(b.Dispatch(effGetProgram), 0);
  EXPECT_EQ(a.Dispatch(effGetProgram), 3);

  // Audio of one instance does not disturb the other: b in bypass-free default state renders
  // the same block whether or not a processes in between.
  Instance c(module.vstPluginMain);
  c.StartLikeAHost();
  std::vector<float> in(256), outB(256), outC(256), junk(256);
  for (int i = 0; i < 256; ++i)
    in[i] = (float) ((i % 50) - 25) / 50.f;
  float* ins[2] = {in.data(), in.data()};
  float* outsB[2] = {outB.data(), outB.data()};
  float* outsC[2] = {outC.data(), outC.data()};
  float* outsJunk[2] = {junk.data(), junk.data()};
  b.effect->processReplacing(b.effect, ins, outsB, 256);
  a.effect->processReplacing(a.effect, ins, outsJunk, 256);
  c.effect->processReplacing(c.effect, ins, outsC, 256);
  // b and c were set up the same way; c's noise table comes from a later point of the shared
  // noise generator, so only differences far below audibility are allowed.
  for (int i = 0; i < 256; ++i)
    ASSERT_NEAR(outB[i], outC[i], 1e-6) << "frame " << i;
}
