#include "TestImages.h"

#include <cstdarg>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>
#include <jpeglib.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testimg
{

int ChannelsOf(int colorType)
{
  switch (colorType)
  {
  case PNG_COLOR_TYPE_GRAY: return 1;
  case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
  case PNG_COLOR_TYPE_RGB: return 3;
  case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
  case PNG_COLOR_TYPE_PALETTE: return 1;
  default: return 0;
  }
}

namespace
{
void WriteToVector(png_structp png, png_bytep data, png_size_t n)
{
  auto* out = (std::vector<unsigned char>*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + n);
}
void FlushNothing(png_structp) {}
} // namespace

std::vector<unsigned char> EncodePng(const PngDesc& d)
{
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const int channels = ChannelsOf(d.colorType);
  const size_t rowBytes = ((size_t)d.width * channels * d.bitDepth + 7) / 8;
  std::vector<std::vector<unsigned char>> rows(d.height, std::vector<unsigned char>(rowBytes, 0));
  for (int y = 0; y < d.height; ++y)
  {
    unsigned char* r = rows[y].data();
    for (int x = 0; x < d.width; ++x)
      for (int c = 0; c < channels; ++c)
      {
        const unsigned v = d.samples[((size_t)y * d.width + x) * channels + c];
        const size_t index = (size_t)x * channels + c;
        if (d.bitDepth == 16)
        {
          r[index * 2] = (unsigned char)(v >> 8);
          r[index * 2 + 1] = (unsigned char)v;
        }
        else if (d.bitDepth == 8)
          r[index] = (unsigned char)v;
        else
        {
          const size_t bit = index * d.bitDepth;
          const int shift = 8 - d.bitDepth - (int)(bit % 8);
          r[bit / 8] |= (unsigned char)(v << shift);
        }
      }
  }
  std::vector<png_bytep> rowPtrs;
  for (auto& r : rows)
    rowPtrs.push_back(r.data());
  std::vector<png_color> pal;
  for (size_t i = 0; i + 2 < d.palette.size(); i += 3)
    pal.push_back(png_color{d.palette[i], d.palette[i + 1], d.palette[i + 2]});

  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, d.width, d.height, d.bitDepth, d.colorType,
               d.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (d.colorType == PNG_COLOR_TYPE_PALETTE)
  {
    png_set_PLTE(png, info, pal.data(), (int)pal.size());
    if (!d.paletteAlpha.empty())
      png_set_tRNS(png, info, d.paletteAlpha.data(), (int)d.paletteAlpha.size(), nullptr);
  }
  else if (d.hasTrnsColor)
  {
    png_color_16 key = {};
    key.gray = (png_uint_16)d.trnsGray;
    key.red = (png_uint_16)d.trnsRed;
    key.green = (png_uint_16)d.trnsGreen;
    key.blue = (png_uint_16)d.trnsBlue;
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  png_write_image(png, rowPtrs.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace
{
struct JpegEncodeError
{
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void EncodeErrorExit(j_common_ptr c) { longjmp(((JpegEncodeError*)c->err)->jump, 1); }
void EncodeSilent(j_common_ptr, int) {}
} // namespace

std::vector<unsigned char> EncodeJpeg(int width, int height, int components, const std::vector<unsigned char>& samples,
                                      int quality, bool progressive)
{
  jpeg_compress_struct cinfo;
  JpegEncodeError err;
  std::memset(&cinfo, 0, sizeof(cinfo));
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = EncodeErrorExit;
  err.pub.emit_message = EncodeSilent;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<unsigned char> out;
  if (setjmp(err.jump))
  {
    jpeg_destroy_compress(&cinfo);
    free(buffer);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = (JDIMENSION)width;
  cinfo.image_height = (JDIMENSION)height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : (components == 3 ? JCS_RGB : JCS_CMYK);
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive)
    jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height)
  {
    JSAMPROW row = (JSAMPROW)&samples[(size_t)cinfo.next_scanline * width * components];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  out.assign(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

void Fill(LiceBitmap& bm, Rng& rng)
{
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      At(bm, x, y) = rng.Next();
}

void FillWith(LiceBitmap& bm, const std::vector<LicePixel>& image)
{
  const int w = bm.GetWidth();
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < w; ++x)
      At(bm, x, y) = image[(size_t)y * w + x];
}

std::vector<LicePixel> Snapshot(LiceBitmap& bm)
{
  std::vector<LicePixel> out;
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
      out.push_back(At(bm, x, y));
  return out;
}

std::string Hex(LicePixel p)
{
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%08X", (unsigned)p);
  return buf;
}

std::string FormatCase(const char* fmt, ...)
{
  char buf[256];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

bool WriteFileUtf8(const std::string& path, const std::vector<unsigned char>& bytes)
{
#ifdef _WIN32
  wchar_t wide[2048];
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide, 2048) <= 0)
    return false;
  FILE* f = _wfopen(wide, L"wb");
#else
  FILE* f = std::fopen(path.c_str(), "wb");
#endif
  if (!f)
    return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  std::fclose(f);
  return ok;
}

void RemoveFileUtf8(const std::string& path)
{
#ifdef _WIN32
  wchar_t wide[2048];
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide, 2048) > 0)
    _wremove(wide);
#else
  std::remove(path.c_str());
#endif
}

} // namespace testimg
