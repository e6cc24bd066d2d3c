#pragma once
// Shared by the decoder fuzz targets: the input is registered as an embedded resource and decoded
// twice, into a new bitmap and into a target bitmap. Images above kMaxPixels are skipped before
// decoding, so a few header bytes cannot make a run allocate gigabytes (the decoders accept any size
// a bitmap can hold; the fuzzer's memory limit cannot).

#include <cstddef>
#include <cstdint>

#include "raster/LiceBitmap.h"
#include "raster/ModuleResources.h"

namespace fuzzraster
{
const unsigned long long kMaxPixels = 1ull << 18;

// A target bitmap that refuses sizes above the limit (the decoder must then give null).
class CappedBitmap : public LiceMemBitmap
{
public:
  bool SetSize(int w, int h) override
  {
    if ((unsigned long long)(w > 0 ? w : 0) * (unsigned long long)(h > 0 ? h : 0) > kMaxPixels)
      return false;
    return LiceMemBitmap::SetSize(w, h);
  }
};

inline void RegisterInput(const char* type, const uint8_t* data, size_t size)
{
  const EmbeddedResource r = {type, 1, data, (int)size};
  RegisterEmbeddedResources(&r, 1);
}
} // namespace fuzzraster
