// libFuzzer target: arbitrary bytes as a program or bank state chunk. Whatever the bytes, the
// parameters end inside their ranges, the audio stays finite, and the state the plug-in then
// writes reloads to exactly the same values and bytes (a stable round trip).
//
// Input: byte 0 chooses the chunk kind (bit 0: bank), whether the host claims fewer bytes than it
// passes (bit 1; byte 1 then says how many fewer) and whether it claims a negative size (bit 2);
// the rest is the chunk.

#include <cstring>

#include "FuzzPlugin.h"

using namespace fuzzplug;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 2 || size > 4096) return 0;
  const uint8_t flags = data[0];
  const VstInt32 index = (flags & 1) ? 0 : 1;  // index 0 is the bank
  std::vector<unsigned char> bytes(data + 2, data + size);
  VstIntPtr claimed = (VstIntPtr) bytes.size();
  if (flags & 2) claimed -= data[1] % (bytes.size() + 1);
  if (flags & 4) claimed = -claimed - 1;

  AEffect* e = Create();
  Require(e != nullptr, "no instance");
  Dispatch(e, effOpen);
  Dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  Dispatch(e, effMainsChanged, 0, 1);

  unsigned char none = 0;
  const VstIntPtr result = Dispatch(e, effSetChunk, index, claimed, bytes.empty() ? &none : bytes.data());
  Require(result == 0 || result == 1, "effSetChunk answered neither 0 nor 1");
  Require(claimed >= 0 || result == 0, "a negative size was accepted");
  RequireParamsInRange(e);
  RequireFiniteBlock(e, 300);

  // The state written now must come back unchanged, through both kinds of chunk.
  for (VstInt32 kind : {1, 0})
  {
    void* out = nullptr;
    const VstIntPtr n = Dispatch(e, effGetChunk, kind, 0, &out);
    Require(n == 40 && out != nullptr, "effGetChunk did not give 40 bytes");
    const std::vector<unsigned char> first((unsigned char*) out, (unsigned char*) out + n);
    Require(std::memcmp(first.data(), "tffp", 4) == 0, "a written chunk without its header");
    std::vector<double> before;
    for (int i = 0; i < 4; ++i) before.push_back(PlugOf(e)->GetParam(i)->Value());

    std::vector<unsigned char> copy = first;
    Require(Dispatch(e, effSetChunk, kind, n, copy.data()) == 1, "the plug-in's own chunk was refused");
    for (int i = 0; i < 4; ++i)
      Require(PlugOf(e)->GetParam(i)->Value() == before[(size_t) i], "a round trip changed a value");
    Require(Dispatch(e, effGetChunk, kind, 0, &out) == 40, "effGetChunk did not give 40 bytes");
    Require(std::memcmp(out, first.data(), 40) == 0, "a round trip changed the bytes");
  }
  RequireParamsInRange(e);
  Dispatch(e, effClose);
  return 0;
}
