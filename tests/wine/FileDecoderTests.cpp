// The raster layer's decoders on Windows: a file path with non-ASCII characters, given as UTF-8,
// opens through the wide-character route; the PNG resources inside the plug-in DLL decode to the
// sizes of the artwork.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <memory>
#include <string>

#include "raster/LiceImageLoad.h"
#include "tests/wine/HostSupport.h"

using namespace testhost;

namespace {

std::string ToUtf8(const std::wstring& w)
{
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1)
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  return s;
}

}  // namespace

TEST(WineFiles, NonAsciiUtf8PathOpensThroughTheDecoder)
{
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring dir = std::wstring(temp) + L"Torvo-P\u00e9dale-\u65e5\u672c";
  const std::wstring file = dir + L"\\\u00c4rger \u00fc\u00f1\u00ee\u00e7\u00f8d\u00e9 \u03a9.png";
  CreateDirectoryW(dir.c_str(), nullptr);

  // A 3 x 2 RGBA image with known pixels, written through a wide-character file name.
  const unsigned char rgba[2][3][4] = {
    {{255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 0}},
    {{10, 20, 30, 40}, {200, 150, 100, 255}, {1, 2, 3, 4}},
  };
  FILE* f = _wfopen(file.c_str(), L"wb");
  ASSERT_NE(f, nullptr) << "cannot create the test file";
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = 3;
  image.height = 2;
  image.format = PNG_FORMAT_RGBA;
  const bool written = png_image_write_to_stdio(&image, f, 0, rgba, 0, nullptr) != 0;
  std::fclose(f);
  ASSERT_TRUE(written);

  const std::string utf8 = ToUtf8(file);
  ASSERT_NE(utf8.find("\xc3\x84rger"), std::string::npos) << "the path is not UTF-8";
  std::unique_ptr<LiceBitmap> bmp(LiceLoadPNG(utf8.c_str()));
  ASSERT_NE(bmp, nullptr) << "LiceLoadPNG did not open " << utf8;
  ASSERT_EQ(bmp->GetWidth(), 3);
  ASSERT_EQ(bmp->GetHeight(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
    {
      const int row = bmp->IsFlipped() ? 1 - y : y;
      const LicePixel p = bmp->GetBits()[row * bmp->GetRowSpan() + x];
      const unsigned char* e = rgba[y][x];
      EXPECT_EQ(p, LiceRGBA(e[0], e[1], e[2], e[3])) << "pixel (" << x << ", " << y << ")";
    }

  // The same name with one character changed does not exist: null, nothing else.
  std::string missing = utf8;
  missing[missing.size() - 5] = 'x';
  EXPECT_EQ(LiceLoadPNG(missing.c_str()), nullptr);

  DeleteFileW(file.c_str());
  RemoveDirectoryW(dir.c_str());
}

TEST(WineFiles, ImageResourcesOfTheDllDecode)
{
  PluginModule module;
  ASSERT_TRUE(module.handle) << module.error;
  struct Row
  {
    int id, width, height;
  };
  const Row rows[] = {{100, 40, 80}, {101, 65, 4225}, {102, 213, 326}, {103, 181, 150}, {104, 18, 36}, {105, 40, 80}};
  for (const Row& r : rows)
  {
    std::unique_ptr<LiceBitmap> bmp(LiceLoadPNGFromResource(module.handle, r.id));
    ASSERT_NE(bmp, nullptr) << "resource " << r.id;
    EXPECT_EQ(bmp->GetWidth(), r.width) << "resource " << r.id;
    EXPECT_EQ(bmp->GetHeight(), r.height) << "resource " << r.id;
  }
  EXPECT_EQ(LiceLoadPNGFromResource(module.handle, 106), nullptr);
}
