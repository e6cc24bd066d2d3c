// PNG (libpng) and JPEG (libjpeg) decoders and the loader registry.
//
// Both libraries report errors by a non-local jump back into the decoder. Everything the error paths
// release is either set up before the jump point or held in a volatile local, so its value survives
// the jump.

#include "raster/LiceImageLoad.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <png.h>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "raster/ModuleResources.h"

namespace
{

// ---------------------------------------------------------------------------------------------
// Shared helpers

// Opens an image file for reading. On NT-family Windows the path is tried as UTF-8 first.
FILE* OpenImageFile(const char* path)
{
  if (!path)
    return nullptr;
#ifdef _WIN32
  if (!(GetVersion() & 0x80000000u))
  {
    wchar_t wide[2048];
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, 2048) > 0)
    {
      FILE* f = _wfopen(wide, L"rb");
      if (f)
        return f;
    }
  }
#endif
  return fopen(path, "rb");
}

// Sets the target bitmap to w x h, or makes a new memory bitmap; null when the bitmap does not take
// that size (a new one is then deleted). *created receives a bitmap the decoder made itself.
LiceBitmap* PrepareBitmap(LiceBitmap* target, int w, int h, LiceBitmap** created)
{
  *created = nullptr;
  LiceBitmap* bm = target;
  if (bm)
    bm->SetSize(w, h);
  else
  {
    bm = new (std::nothrow) LiceMemBitmap(w, h);
    if (!bm)
      return nullptr;
    *created = bm;
  }
  if (bm->GetWidth() != w || bm->GetHeight() != h || !bm->GetBits() || bm->GetRowSpan() < w)
  {
    delete *created;
    *created = nullptr;
    return nullptr;
  }
  return bm;
}

bool SizeFitsBitmap(unsigned long long w, unsigned long long h)
{
  return w > 0 && h > 0 && w * h * 4 <= (unsigned long long)INT_MAX;
}

LicePixel* MemoryRow(LiceBitmap* bm, int y)
{
  const int h = bm->GetHeight();
  const long long row = bm->IsFlipped() ? (long long)(h - 1 - y) : (long long)y;
  return bm->GetBits() + row * bm->GetRowSpan();
}

// ---------------------------------------------------------------------------------------------
// PNG

struct PngMemReader
{
  const unsigned char* next;
  int left;
};

// Reads n bytes; bytes past the end of the resource read as zeros.
void PngReadMemory(png_structp png, png_bytep out, png_size_t n)
{
  PngMemReader* r = (PngMemReader*)png_get_io_ptr(png);
  std::memset(out, 0, n);
  const size_t take = n < (size_t)r->left ? n : (size_t)r->left;
  if (take)
  {
    std::memcpy(out, r->next, take);
    r->next += take;
    r->left -= (int)take;
  }
}

// libpng's errors return through the jump buffer without printing anything; warnings are dropped.
void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

// Decodes from the memory reader (mem) or the open file (fp).
LiceBitmap* DecodePng(PngMemReader* mem, FILE* fp, LiceBitmap* target)
{
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png)
    return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info)
  {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }

  LiceBitmap* volatile created = nullptr;
  png_bytep* volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_read_struct(&png, &info, nullptr);
    free(rows);
    delete created;
    return nullptr;
  }

  if (mem)
    png_set_read_fn(png, mem, PngReadMemory);
  else
    png_init_io(png, fp);

  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, &compression, &filter);

  // Every colour type ends as four 8-bit bytes per pixel: alpha (or an opaque filler), red, green, blue.
  const bool hasTRNS = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const bool gray = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
  if (colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
    png_set_expand(png);
  if (hasTRNS)
    png_set_tRNS_to_alpha(png);
  if (bitDepth == 16)
    png_set_strip_16(png);
  if (bitDepth < 8)
    png_set_packing(png);
  if (gray)
    png_set_gray_to_rgb(png);
  if ((colorType & PNG_COLOR_MASK_ALPHA) || hasTRNS)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  if (!SizeFitsBitmap(width, height) || png_get_rowbytes(png, info) != (size_t)width * 4)
  {
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  const int w = (int)width, h = (int)height;

  LiceBitmap* made = nullptr;
  LiceBitmap* bm = PrepareBitmap(target, w, h, &made);
  created = made;
  rows = bm ? (png_bytep*)malloc(sizeof(png_bytep) * (size_t)h) : nullptr;
  if (!rows)
  {
    png_destroy_read_struct(&png, &info, nullptr);
    delete created;
    return nullptr;
  }
  for (int y = 0; y < h; ++y)
    rows[y] = (png_bytep)MemoryRow(bm, y);

  png_read_image(png, rows);
  png_destroy_read_struct(&png, &info, nullptr);

  // Bytes A, R, G, B become the pixel word A << 24 | R << 16 | G << 8 | B.
  for (int y = 0; y < h; ++y)
  {
    unsigned char* p = rows[y];
    for (int x = 0; x < w; ++x, p += 4)
    {
      const LicePixel px = ((LicePixel)p[0] << 24) | ((LicePixel)p[1] << 16) | ((LicePixel)p[2] << 8) | p[3];
      std::memcpy(p, &px, 4);
    }
  }
  free(rows);
  return bm;
}

// ---------------------------------------------------------------------------------------------
// JPEG

struct JpegError
{
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) { longjmp(((JpegError*)cinfo->err)->jump, 1); }
void JpegEmitMessage(j_common_ptr, int) {}
void JpegOutputMessage(j_common_ptr) {}
void JpegFormatMessage(j_common_ptr, char* buffer)
{
  if (buffer)
    buffer[0] = 0;
}
void JpegResetError(j_common_ptr cinfo)
{
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

const JOCTET kEndOfImage[2] = {0xFF, 0xD9};

void JpegSourceNop(j_decompress_ptr) {}

// Past the end of the data the source keeps supplying an end-of-image marker.
boolean JpegFillInput(j_decompress_ptr cinfo)
{
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}

void JpegSkipInput(j_decompress_ptr cinfo, long n)
{
  if (n <= 0)
    return;
  jpeg_source_mgr* src = cinfo->src;
  const size_t step = (size_t)n < src->bytes_in_buffer ? (size_t)n : src->bytes_in_buffer;
  src->next_input_byte += step;
  src->bytes_in_buffer -= step;
}

// The decompressor and its error handler live in the caller's frame: the library changes them after
// the jump point, and only objects outside the function that calls setjmp keep defined values then.
struct JpegState
{
  jpeg_decompress_struct cinfo;
  JpegError err;
};

LiceBitmap* DecodeJpegWith(JpegState* st, const unsigned char* data, int size, FILE* fp, LiceBitmap* target)
{
  jpeg_decompress_struct& cinfo = st->cinfo;
  JpegError& err = st->err;
  std::memset(&cinfo, 0, sizeof(cinfo));
  std::memset(&err, 0, sizeof(err));
  err.pub.error_exit = JpegErrorExit;
  err.pub.emit_message = JpegEmitMessage;
  err.pub.output_message = JpegOutputMessage;
  err.pub.format_message = JpegFormatMessage;
  err.pub.reset_error_mgr = JpegResetError;
  cinfo.err = &err.pub;

  LiceBitmap* volatile created = nullptr;
  if (setjmp(err.jump))
  {
    jpeg_destroy_decompress(&cinfo);
    delete created;
    return nullptr;
  }

  jpeg_create_decompress(&cinfo);
  if (data)
  {
    jpeg_source_mgr* src = (jpeg_source_mgr*)(*cinfo.mem->alloc_small)((j_common_ptr)&cinfo, JPOOL_PERMANENT,
                                                                       sizeof(jpeg_source_mgr));
    src->next_input_byte = data;
    src->bytes_in_buffer = (size_t)size;
    src->init_source = JpegSourceNop;
    src->fill_input_buffer = JpegFillInput;
    src->skip_input_data = JpegSkipInput;
    src->resync_to_restart = jpeg_resync_to_restart;
    src->term_source = JpegSourceNop;
    cinfo.src = src;
  }
  else
    jpeg_stdio_src(&cinfo, fp);

  jpeg_read_header(&cinfo, TRUE);
  // Refuse sizes no bitmap can hold before the library allocates anything for the image.
  if (!SizeFitsBitmap(cinfo.image_width, cinfo.image_height))
  {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  jpeg_start_decompress(&cinfo);

  const int w = (int)cinfo.output_width, h = (int)cinfo.output_height, comps = cinfo.output_components;
  JSAMPARRAY line =
    (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, cinfo.output_width * (JDIMENSION)comps, 1);

  LiceBitmap* made = nullptr;
  LiceBitmap* bm = SizeFitsBitmap(cinfo.output_width, cinfo.output_height) ? PrepareBitmap(target, w, h, &made)
                                                                            : nullptr;
  created = made;
  if (!bm)
  {
    jpeg_destroy_decompress(&cinfo); // also abandons the unfinished decompression
    return nullptr;
  }

  while (cinfo.output_scanline < cinfo.output_height)
  {
    const int y = (int)cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, line, 1) != 1)
    {
      jpeg_destroy_decompress(&cinfo);
      delete created;
      return nullptr;
    }
    LicePixel* out = MemoryRow(bm, y);
    const JSAMPLE* in = line[0];
    if (comps == 3)
    {
      for (int x = 0; x < w; ++x, in += 3)
        out[x] = 0xFF000000u | ((LicePixel)in[0] << 16) | ((LicePixel)in[1] << 8) | (LicePixel)in[2];
    }
    else if (comps == 1)
    {
      for (int x = 0; x < w; ++x)
        out[x] = 0xFF000000u | ((LicePixel)in[x] << 16) | ((LicePixel)in[x] << 8) | (LicePixel)in[x];
    }
    else
      std::memset(out, 0, (size_t)w * 4);
  }

  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return bm;
}

// Decodes from memory (data, size) or the open file (fp).
LiceBitmap* DecodeJpeg(const unsigned char* data, int size, FILE* fp, LiceBitmap* target)
{
  JpegState state;
  return DecodeJpegWith(&state, data, size, fp, target);
}

// ---------------------------------------------------------------------------------------------
// Loader registry

bool SameTextIgnoringCase(const char* a, const char* b)
{
  for (;; ++a, ++b)
  {
    int ca = (unsigned char)*a, cb = (unsigned char)*b;
    if (ca >= 'A' && ca <= 'Z')
      ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z')
      cb += 'a' - 'A';
    if (ca != cb)
      return false;
    if (!ca)
      return true;
  }
}

const char* const kJpegExtensions[] = {".jpg", ".jpeg", ".jfif", nullptr};
const char* const kPngExtensions[] = {".png", nullptr};

LiceBitmap* LoadJpegEntry(const char* path, bool checkExtension, LiceBitmap* target)
{
  if (checkExtension && !LiceHasExtension(path, kJpegExtensions))
    return nullptr;
  return LiceLoadJPG(path, target);
}

LiceBitmap* LoadPngEntry(const char* path, bool checkExtension, LiceBitmap* target)
{
  if (checkExtension && !LiceHasExtension(path, kPngExtensions))
    return nullptr;
  return LiceLoadPNG(path, target);
}

const char* JpegFilter() { return "JPEG files (*.JPG;*.JPEG;*.JFIF)\0*.JPG;*.JPEG;*.JFIF\0"; }
const char* PngFilter() { return "PNG files (*.PNG)\0*.PNG\0"; }

LiceImageLoader g_jpegLoader = {LoadJpegEntry, JpegFilter, nullptr};
LiceImageLoader g_pngLoader = {LoadPngEntry, PngFilter, nullptr};

// JPEG is pushed first, then PNG, so the list reads PNG, JPEG.
struct LoaderRegistration
{
  LoaderRegistration()
  {
    g_jpegLoader.next = LiceImageLoaderList;
    LiceImageLoaderList = &g_jpegLoader;
    g_pngLoader.next = LiceImageLoaderList;
    LiceImageLoaderList = &g_pngLoader;
  }
};

} // namespace

LiceImageLoader* LiceImageLoaderList = nullptr;

namespace
{
LoaderRegistration g_loaderRegistration;
}

bool LiceHasExtension(const char* path, const char* const* extensions)
{
  if (!path || !*path || !extensions)
    return false;
  const char* p = path + std::strlen(path) - 1;
  while (p > path && *p != '.' && *p != '/' && *p != '\\')
    --p;
  for (; *extensions; ++extensions)
    if (SameTextIgnoringCase(p, *extensions))
      return true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// Entry points

LiceBitmap* LiceLoadPNGFromResource(HMODULE module, int resourceId, LiceBitmap* target)
{
  ModuleResourceData res;
  if (!FindModuleResource(module, resourceId, "PNG", &res) || res.size < 8 || !res.data)
    return nullptr;
  if (png_sig_cmp((png_const_bytep)res.data, 0, 8) != 0)
    return nullptr;
  PngMemReader reader = {res.data, res.size};
  return DecodePng(&reader, nullptr, target);
}

LiceBitmap* LiceLoadJPGFromResource(HMODULE module, int resourceId, LiceBitmap* target)
{
  ModuleResourceData res;
  if (!FindModuleResource(module, resourceId, "JPG", &res) || res.size < 8 || !res.data)
    return nullptr;
  return DecodeJpeg(res.data, res.size, nullptr, target);
}

LiceBitmap* LiceLoadPNG(const char* path, LiceBitmap* target)
{
  FILE* fp = OpenImageFile(path);
  if (!fp)
    return nullptr;
  LiceBitmap* bm = DecodePng(nullptr, fp, target);
  fclose(fp);
  return bm;
}

LiceBitmap* LiceLoadJPG(const char* path, LiceBitmap* target)
{
  FILE* fp = OpenImageFile(path);
  if (!fp)
    return nullptr;
  LiceBitmap* bm = DecodeJpeg(nullptr, 0, fp, target);
  fclose(fp);
  return bm;
}
