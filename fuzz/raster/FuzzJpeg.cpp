// libFuzzer target: JPEG decoding from a module resource.

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "FuzzCommon.h"
#include "raster/LiceImageLoad.h"

namespace
{
struct HeaderError
{
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void HeaderErrorExit(j_common_ptr c) { longjmp(((HeaderError*)c->err)->jump, 1); }
void HeaderSilent(j_common_ptr, int) {}
void HeaderNoOutput(j_common_ptr) {}

// Pixel count from the frame header, or 0 when the header cannot be read.
unsigned long long ImagePixels(const uint8_t* data, size_t size)
{
  jpeg_decompress_struct cinfo;
  HeaderError err;
  std::memset(&cinfo, 0, sizeof(cinfo));
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = HeaderErrorExit;
  err.pub.emit_message = HeaderSilent;
  err.pub.output_message = HeaderNoOutput;
  if (setjmp(err.jump))
  {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, (unsigned long)size);
  jpeg_read_header(&cinfo, TRUE);
  const unsigned long long pixels = (unsigned long long)cinfo.image_width * cinfo.image_height;
  jpeg_destroy_decompress(&cinfo);
  return pixels;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (size_t)INT_MAX || size == 0)
    return 0;
  if (ImagePixels(data, size) > fuzzraster::kMaxPixels)
    return 0;
  fuzzraster::RegisterInput("JPG", data, size);
  delete LiceLoadJPGFromResource(nullptr, 1, nullptr);
  fuzzraster::CappedBitmap target;
  LiceLoadJPGFromResource(nullptr, 1, &target);
  fuzzraster::RegisterInput("JPG", nullptr, 0);
  return 0;
}
