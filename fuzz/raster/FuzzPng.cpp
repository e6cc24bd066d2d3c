// libFuzzer target: PNG decoding from a module resource.

#include <climits>

#include "FuzzCommon.h"
#include "raster/LiceImageLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (size_t)INT_MAX)
    return 0;
  if (size >= 24) // image header: width and height, big-endian, at bytes 16-23
  {
    const unsigned long long w = ((unsigned long long)data[16] << 24) | (data[17] << 16) | (data[18] << 8) | data[19];
    const unsigned long long h = ((unsigned long long)data[20] << 24) | (data[21] << 16) | (data[22] << 8) | data[23];
    if (w * h > fuzzraster::kMaxPixels)
      return 0;
  }
  fuzzraster::RegisterInput("PNG", data, size);
  delete LiceLoadPNGFromResource(nullptr, 1, nullptr);
  fuzzraster::CappedBitmap target;
  LiceLoadPNGFromResource(nullptr, 1, &target);
  fuzzraster::RegisterInput("PNG", nullptr, 0);
  return 0;
}
