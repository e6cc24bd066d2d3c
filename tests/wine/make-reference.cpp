// Writes the reference renders of the native plug-in module for the Windows test host.
//   torvo-make-reference <path of Torvo-Mell.so> <output file>
// The module is loaded with dlopen and driven through its effect record like a host; the file
// holds the fixed input signal and the outputs of every case of TestHost.h. Exit code 0 on success.

#include <dlfcn.h>

#include <cstdio>
#include <vector>

#include "tests/wine/TestHost.h"

namespace {

bool WriteWords(std::FILE* f, const uint32_t* words, size_t n)
{
  return std::fwrite(words, sizeof(uint32_t), n, f) == n;
}

bool WriteDoubles(std::FILE* f, const std::vector<double>& v)
{
  return std::fwrite(v.data(), sizeof(double), v.size(), f) == v.size();
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    std::fprintf(stderr, "usage: %s <Torvo-Mell.so> <reference file>\n", argv[0]);
    return 2;
  }
  void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!module)
  {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 1;
  }
  auto entry = (testhost::PluginEntry) dlsym(module, "VSTPluginMain");
  if (!entry)
    entry = (testhost::PluginEntry) dlsym(module, "main");
  if (!entry)
  {
    std::fprintf(stderr, "%s exports neither VSTPluginMain nor main\n", argv[1]);
    return 1;
  }

  std::vector<double> inL, inR;
  testhost::MakeInput(inL, inR);
  const auto& cases = testhost::RefCases();

  std::FILE* f = std::fopen(argv[2], "wb");
  if (!f)
  {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  const uint32_t header[4] = {testhost::kRefMagic, testhost::kRefVersion, (uint32_t) testhost::kRefFrames,
                              (uint32_t) cases.size()};
  bool ok = WriteWords(f, header, 4) && WriteDoubles(f, inL) && WriteDoubles(f, inR);
  for (const auto& c : cases)
  {
    std::vector<double> outL, outR;
    if (!testhost::RenderCase(entry, c, inL, inR, outL, outR))
    {
      std::fprintf(stderr, "the module did not give an effect record for case %s\n", c.name);
      ok = false;
      break;
    }
    ok = ok && WriteDoubles(f, outL) && WriteDoubles(f, outR);
  }
  ok = (std::fclose(f) == 0) && ok;
  // The module stays loaded until the process ends, as a host would keep it.
  if (!ok)
  {
    std::fprintf(stderr, "writing %s failed\n", argv[2]);
    return 1;
  }
  std::printf("%zu cases of %d frames written to %s\n", cases.size(), testhost::kRefFrames, argv[2]);
  return 0;
}
