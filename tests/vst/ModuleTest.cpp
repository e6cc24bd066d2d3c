// The built plug-in module, loaded and driven the way a host does it: look up the entry, create
// the effect, read its record, open it, process audio, save and restore its state.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestHost.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{

typedef AEffect*(VSTCALLBACK* EntryProc)(audioMasterCallback);

class Module
{
public:
  explicit Module(const char* path)
  {
#ifdef _WIN32
    // The build tree's path is a Unix one when the tests run under a compatibility layer; its
    // drive Z: is the root of that file system.
    std::string file = path;
    if (!file.empty() && file[0] == '/') file = "Z:" + file;
    mHandle = (void*) LoadLibraryA(file.c_str());
#else
    mHandle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~Module()
  {
    if (!mHandle) return;
#ifdef _WIN32
    FreeLibrary((HMODULE) mHandle);
#else
    dlclose(mHandle);
#endif
  }
  bool Loaded() const { return mHandle != nullptr; }
  EntryProc Entry(const char* name) const
  {
#ifdef _WIN32
    return reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress((HMODULE) mHandle, name)));
#else
    return reinterpret_cast<EntryProc>(dlsym(mHandle, name));
#endif
  }

private:
  void* mHandle = nullptr;
};

std::string Text(AEffect* e, VstInt32 opcode, VstInt32 index)
{
  char buffer[256];
  std::memset(buffer, 0, sizeof(buffer));
  Dispatch(e, opcode, index, 0, buffer);
  return buffer;
}

class PluginModule : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(module.Loaded()) << TORVO_PLUGIN_PATH;
    entry = module.Entry("VSTPluginMain");
    ASSERT_NE(entry, nullptr);
  }
  Module module{TORVO_PLUGIN_PATH};
  EntryProc entry = nullptr;
};

}  // namespace

TEST_F(PluginModule, BothEntriesMakeIndependentEffects)
{
  TestHost host;
  EntryProc alias = module.Entry("main");
  ASSERT_NE(alias, nullptr);
  AEffect* a = entry(TestHost::Callback());
  AEffect* b = alias(TestHost::Callback());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  a->setParameter(a, 0, 0.2f);
  EXPECT_EQ(a->getParameter(a, 0), 0.2f);
  EXPECT_EQ(b->getParameter(b, 0), 0.5f);
  Dispatch(a, effClose);
  Dispatch(b, effClose);
}

#ifndef _WIN32
// Only the two entry symbols leave the module.
TEST_F(PluginModule, ExportsOnlyTheEntries)
{
  const std::string command = std::string("nm -D --defined-only '") + TORVO_PLUGIN_PATH + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof(line), pipe)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const size_t space = s.rfind(' ');
    names.push_back(space == std::string::npos ? s : s.substr(space + 1));
  }
  const int status = pclose(pipe);
  if (status != 0 && names.empty()) GTEST_SKIP() << "nm not available";
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"VSTPluginMain", "main"}));
}
#endif

TEST_F(PluginModule, RecordOfTheEffect)
{
  TestHost host;
  AEffect* e = entry(TestHost::Callback());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, 16);
  EXPECT_EQ(e->numParams, 4);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
#ifdef TORVO_NO_EDITOR
  EXPECT_EQ(e->flags, 0x1018);
#else
  EXPECT_EQ(e->flags | 1, 0x1019) << "the editor flag is the only optional one";
#endif
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->uniqueID, ('k' << 24) | ('v' << 16) | ('9' << 8) | 'e');
  EXPECT_EQ(e->version, 20300);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_NE(e->object, nullptr);
  EXPECT_EQ(host.calls.size(), 0u) << "creation asks the host nothing";

  EXPECT_EQ(Text(e, effGetEffectName, 0), "Torvo-Mell");
  EXPECT_EQ(Text(e, effGetVendorString, 0), "quillbarrow");
  EXPECT_EQ(Text(e, effGetProductString, 0), "");
  const char* names[] = {"Level", "Attack", "Effect", "Cabinet"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Text(e, effGetParamName, i), names[i]);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Text(e, effGetProgramNameIndexed, i), "Init") << i;

  if (e->flags & effFlagsHasEditor) {
    ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(e, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 326);
    EXPECT_EQ(rect->right, 213);
  }
  Dispatch(e, effClose);
}

// Every parameter text the effect produces fits in the classic 8-byte host buffer.
TEST_F(PluginModule, ParameterTextsFitEightBytes)
{
  TestHost host;
  AEffect* e = entry(TestHost::Callback());
  ASSERT_NE(e, nullptr);
  for (int idx = 0; idx < 4; ++idx) {
    EXPECT_LT(Text(e, effGetParamName, idx).size(), 8u);
    EXPECT_LT(Text(e, effGetParamLabel, idx).size(), 8u);
    for (int step = 0; step <= 1000; ++step) {
      e->setParameter(e, idx, step / 1000.0f);
      char wide[64];
      std::memset(wide, 'X', sizeof(wide));
      Dispatch(e, effGetParamDisplay, idx, 0, wide);
      ASSERT_LT(std::strlen(wide), 8u) << "param " << idx << " at " << step / 1000.0;
    }
  }
  char text[64] = {};
  e->setParameter(e, 0, 0.5f);
  Dispatch(e, effGetParamDisplay, 0, 0, text);
  EXPECT_STREQ(text, "0.500");
  e->setParameter(e, 2, 1.0f);
  Dispatch(e, effGetParamDisplay, 2, 0, text);
  EXPECT_STREQ(text, "On");
  Dispatch(e, effClose);
}

TEST_F(PluginModule, HostConversationAndAudio)
{
  TestHost host;
  host.productName = "REAPER";
  host.vendorVersion = 5012;
  AEffect* e = entry(TestHost::Callback());
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  EXPECT_EQ(host.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(host.Count(audioMasterGetVendorVersion), 1);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effSetBlockSize, 0, 512);
  Dispatch(e, effMainsChanged, 0, 1);
  Dispatch(e, effStartProcess);

  const int n = 512;
  std::vector<float> inL(n), inR(n), outL(n, 9.0f), outR(n, 9.0f);
  for (int s = 0; s < n; ++s) {
    inL[s] = (float) (0.5 * std::sin(2.0 * 3.14159265358979323846 * 220.0 * s / 44100.0));
    inR[s] = inL[s];
  }
  float* ins[] = {inL.data(), inR.data()};
  float* outs[] = {outL.data(), outR.data()};
  double energy = 0.0;
  for (int block = 0; block < 8; ++block) {
    e->processReplacing(e, ins, outs, n);
    for (int s = 0; s < n; ++s) {
      ASSERT_TRUE(std::isfinite(outL[s])) << block << " " << s;
      ASSERT_EQ(outL[s], outR[s]) << "both outputs carry the same signal";
      energy += outL[s] * (double) outL[s];
    }
  }
  EXPECT_GT(energy, 0.0);

  // Bypass: with "Effect" Off every output carries the sum of the inputs.
  e->setParameter(e, 2, 0.0f);
  e->processReplacing(e, ins, outs, n);
  for (int s = 0; s < n; ++s) ASSERT_NEAR(outL[s], inL[s] + inR[s], 1e-6) << s;

  Dispatch(e, effStopProcess);
  Dispatch(e, effMainsChanged, 0, 0);
  Dispatch(e, effClose);
}

TEST_F(PluginModule, StateSaveAndRestore)
{
  TestHost host;
  AEffect* e = entry(TestHost::Callback());
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  e->setParameter(e, 0, 0.25f);
  e->setParameter(e, 1, 0.75f);
  e->setParameter(e, 3, 0.0f);
  for (VstInt32 index : {0, 1}) {
    void* data = nullptr;
    const VstIntPtr size = Dispatch(e, effGetChunk, index, 0, &data);
    ASSERT_EQ(size, 40) << index;
    ASSERT_EQ(std::memcmp(data, "tffp", 4), 0);
    std::vector<unsigned char> saved((unsigned char*) data, (unsigned char*) data + size);

    AEffect* other = entry(TestHost::Callback());
    ASSERT_NE(other, nullptr);
    Dispatch(other, effOpen);
    EXPECT_EQ(Dispatch(other, effSetChunk, index, size, saved.data()), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(other->getParameter(other, i), e->getParameter(e, i)) << i;
    Dispatch(other, effClose);
  }
  Dispatch(e, effClose);
}

// A host that passes no callback still gets a working effect.
TEST_F(PluginModule, NoHostCallback)
{
  AEffect* e = entry(nullptr);
  ASSERT_NE(e, nullptr);
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(e, effSetBlockSize, 0, 64);
  Dispatch(e, effMainsChanged, 0, 1);
  std::vector<float> in(256, 0.25f), out(256, 0.0f);
  float* ins[] = {in.data(), in.data()};
  float* outs[] = {out.data(), out.data()};
  e->processReplacing(e, ins, outs, 256);  // longer than the block size
  for (float v : out) ASSERT_TRUE(std::isfinite(v));
  Dispatch(e, effClose);
}
