#pragma once
// PNG and JPEG decoding into raster bitmaps.
//
// Every decoder returns either the target bitmap passed in (resized to the image with SetSize) or,
// with a null target, a new LiceMemBitmap of the image's size that the caller owns. Pixels are
// LicePixel words: alpha in the top byte, straight colour. Any failure returns null and reports
// nothing else: a missing resource or file, fewer than 8 bytes, a wrong PNG signature, an error inside
// the image library, a target that does not take the image's size, or pixels that cannot be allocated
// (a bitmap made by the decoder is then deleted; a target passed in may already have been resized).
//
// PNG: every colour type and bit depth comes out as 8-bit alpha, red, green, blue: palette and gray
// images are expanded, 16-bit channels reduced to 8 bits, a tRNS chunk becomes alpha, images without
// alpha are opaque. No gamma or colour management is applied.
// JPEG: three components give opaque RGB, one component opaque gray; any other component count (CMYK)
// gives rows of 0. Compressed data that ends early is completed by an end-of-image marker, so a cut
// image still decodes to its full size.

#include "framework/Platform.h"
#include "raster/LiceBitmap.h"

// Resource of type "PNG" / "JPG" with this id in the module (see raster/ModuleResources.h).
LiceBitmap* LiceLoadPNGFromResource(HMODULE module, int resourceId, LiceBitmap* target = nullptr);
LiceBitmap* LiceLoadJPGFromResource(HMODULE module, int resourceId, LiceBitmap* target = nullptr);

// Files; the path is UTF-8 or ANSI (on Windows NT-family systems it is tried as UTF-8 first).
LiceBitmap* LiceLoadPNG(const char* path, LiceBitmap* target = nullptr);
LiceBitmap* LiceLoadJPG(const char* path, LiceBitmap* target = nullptr);

// One image format in the loader registry.
struct LiceImageLoader
{
  // Loads the file; with checkExtension set, a path without one of the format's extensions gives null.
  LiceBitmap* (*Load)(const char* path, bool checkExtension, LiceBitmap* target);
  // File-dialog filter: description, NUL, pattern, NUL, NUL.
  const char* (*Filter)();
  LiceImageLoader* next;
};

// Head of the registry, filled at static initialisation: PNG first, then JPEG.
extern LiceImageLoader* LiceImageLoaderList;

// The extension test of the loader entries: the text from the last '.', '/' or '\\' (or from the start)
// to the end must equal one of the extensions (each with its dot), ignoring case. A null-terminated
// array of extensions.
bool LiceHasExtension(const char* path, const char* const* extensions);
