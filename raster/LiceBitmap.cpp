#include "raster/LiceBitmap.h"

#include <climits>
#include <cstdlib>

namespace
{
// Bytes for a w x h bitmap, or 0 when the size holds no pixels (a side <= 0) or the byte count
// would not fit the 32-bit capacity field.
int ByteCount(int w, int h, bool* tooLarge)
{
  *tooLarge = false;
  if (w <= 0 || h <= 0)
    return 0;
  const long long bytes = (long long)w * (long long)h * 4;
  if (bytes > INT_MAX)
  {
    *tooLarge = true;
    return 0;
  }
  return (int)bytes;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// LiceMemBitmap

LiceMemBitmap::LiceMemBitmap() : m_pixels(nullptr), m_width(0), m_height(0), m_capacity(0) {}

LiceMemBitmap::LiceMemBitmap(int width, int height)
  : m_pixels(nullptr), m_width(width), m_height(height), m_capacity(0)
{
  bool tooLarge = false;
  const int bytes = ByteCount(width, height, &tooLarge);
  m_capacity = bytes;
  if (bytes > 0)
    m_pixels = (LicePixel*)malloc((size_t)bytes);
  if (!m_pixels)
  {
    m_width = 0;
    m_height = 0;
  }
}

LiceMemBitmap::~LiceMemBitmap() { free(m_pixels); }

bool LiceMemBitmap::SetSize(int width, int height)
{
  if (width == m_width && height == m_height)
    return false;

  m_width = width;
  m_height = height;
  bool tooLarge = false;
  const int bytes = ByteCount(width, height, &tooLarge);

  if (bytes <= 0)
  {
    free(m_pixels);
    m_pixels = nullptr;
    m_capacity = 0;
  }
  else if (!m_pixels)
  {
    m_capacity = bytes;
    m_pixels = (LicePixel*)malloc((size_t)bytes);
  }
  else if (m_capacity < bytes)
  {
    // 25 % headroom; computed wide so a size near the limit cannot overflow.
    long long grown = (long long)bytes + bytes / 4;
    if (grown > INT_MAX)
      grown = bytes;
    LicePixel* p = (LicePixel*)realloc(m_pixels, (size_t)grown);
    if (p)
    {
      m_pixels = p;
      m_capacity = (int)grown;
    }
    else
    {
      free(m_pixels);
      m_capacity = bytes;
      m_pixels = (LicePixel*)malloc((size_t)bytes);
    }
  }
  // else: the buffer is large enough and stays as it is.

  if (!m_pixels)
  {
    m_width = 0;
    m_height = 0;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// LiceSysBitmap

#ifdef _WIN32

LiceSysBitmap::LiceSysBitmap(int width, int height)
  : m_width(0), m_height(0), m_dc(nullptr), m_pixels(nullptr), m_allocWidth(0), m_allocHeight(0),
    m_section(nullptr), m_previous(nullptr)
{
  m_dc = CreateCompatibleDC(nullptr);
  SetSize(width, height);
}

LiceSysBitmap::~LiceSysBitmap()
{
  if (m_previous && m_dc)
    SelectObject(m_dc, m_previous);
  if (m_section)
    DeleteObject(m_section);
  if (m_dc)
    DeleteDC(m_dc);
}

HDC LiceSysBitmap::GetDeviceContext() { return m_dc; }

bool LiceSysBitmap::HasContext() const { return m_dc != nullptr; }

void LiceSysBitmap::ReleaseSection()
{
  if (m_previous)
  {
    SelectObject(m_dc, m_previous);
    m_previous = nullptr;
  }
  if (m_section)
  {
    DeleteObject(m_section);
    m_section = nullptr;
  }
  m_pixels = nullptr;
}

#else // native stand-in

LiceSysBitmap::LiceSysBitmap(int width, int height)
  : m_width(0), m_height(0), m_hasContext(true), m_pixels(nullptr), m_allocWidth(0), m_allocHeight(0),
    m_section(nullptr)
{
  SetSize(width, height);
}

LiceSysBitmap::~LiceSysBitmap() { free(m_section); }

HDC LiceSysBitmap::GetDeviceContext() { return nullptr; }

bool LiceSysBitmap::HasContext() const { return m_hasContext; }

void LiceSysBitmap::ReleaseSection()
{
  free(m_section);
  m_section = nullptr;
  m_pixels = nullptr;
}

#endif

bool LiceSysBitmap::SetSize(int width, int height)
{
  if (!HasContext())
  {
    m_width = 0;
    m_height = 0;
    m_pixels = nullptr;
    return false;
  }
  if (width == m_width && height == m_height)
    return false;

  m_width = width;
  m_height = height;

  if (width != 0 && height != 0 && width <= m_allocWidth && height <= m_allocHeight && m_pixels)
    return true; // the current section still holds the new size

  m_allocWidth = width;
  m_allocHeight = height;
  ReleaseSection();

  if (width == 0 || height == 0)
    return false;

  // A negative side (or a byte count beyond 32 bits) gives no section: a negative height would
  // otherwise turn the section bottom-up behind a bitmap that answers "not flipped".
  bool tooLarge = false;
  const bool sizeOk = ByteCount(width, height, &tooLarge) > 0;

#ifdef _WIN32
  if (sizeOk)
  {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = IsFlipped() ? height : -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (m_section)
    {
      m_pixels = (LicePixel*)bits;
      m_previous = SelectObject(m_dc, m_section);
    }
  }
#else
  if (sizeOk)
  {
    m_section = (LicePixel*)malloc((size_t)width * (size_t)height * 4);
    m_pixels = m_section;
  }
#endif

  if (!m_pixels)
  {
    m_width = 0;
    m_height = 0;
  }
  return true;
}
