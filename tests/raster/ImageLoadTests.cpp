// PNG and JPEG decoding of images made at test time, from embedded resources and from files; the
// loader registry and its extension test.

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#ifdef _WIN32
#include <process.h>
#define TORVO_GETPID _getpid
#else
#include <unistd.h>
#define TORVO_GETPID getpid
#endif

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "TestImages.h"
#include "raster/LiceImageLoad.h"
#include "raster/ModuleResources.h"

using testimg::At;
using testimg::Hex;

namespace
{

int Chan(LicePixel p, int k) { return (int)((p >> (8 * k)) & 0xFF); }

#ifndef _WIN32
// Keeps the bytes of every registered test resource alive for the whole run.
std::vector<std::unique_ptr<std::vector<unsigned char>>>& Store()
{
  static std::vector<std::unique_ptr<std::vector<unsigned char>>> store;
  return store;
}

std::atomic<int> g_nextId{2000};

// Registers bytes as a resource of the type and returns its id.
int Register(const char* type, const std::vector<unsigned char>& bytes)
{
  Store().push_back(std::make_unique<std::vector<unsigned char>>(bytes));
  const int id = g_nextId++;
  const EmbeddedResource r = {type, id, Store().back()->data(), (int)Store().back()->size()};
  RegisterEmbeddedResources(&r, 1);
  return id;
}
#endif

// Names carry the process id: several test processes (and build trees) may run at once.
std::string TempPath(const std::string& name)
{
  return testing::TempDir() + std::to_string((long)TORVO_GETPID()) + "_" + name;
}

// Decodes bytes as a resource where resources can be registered, else through a file.
LiceBitmap* DecodePngBytes(const std::vector<unsigned char>& bytes, LiceBitmap* target = nullptr)
{
#ifndef _WIN32
  return LiceLoadPNGFromResource(nullptr, Register("PNG", bytes), target);
#else
  const std::string path = TempPath("torvo_raster_decode.png");
  testimg::WriteFileUtf8(path, bytes);
  LiceBitmap* bm = LiceLoadPNG(path.c_str(), target);
  testimg::RemoveFileUtf8(path);
  return bm;
#endif
}

LiceBitmap* DecodeJpegBytes(const std::vector<unsigned char>& bytes, LiceBitmap* target = nullptr)
{
#ifndef _WIN32
  return LiceLoadJPGFromResource(nullptr, Register("JPG", bytes), target);
#else
  const std::string path = TempPath("torvo_raster_decode.jpg");
  testimg::WriteFileUtf8(path, bytes);
  LiceBitmap* bm = LiceLoadJPG(path.c_str(), target);
  testimg::RemoveFileUtf8(path);
  return bm;
#endif
}

// ---- PNG ----

// A PNG description with its expected decoded pixels.
struct PngFixture
{
  std::string name;
  testimg::PngDesc desc;
  std::vector<LicePixel> expected;
};

unsigned Scale(unsigned v, int depth) // to 8 bits the way the decoder does: expand low depths, strip 16
{
  if (depth == 16)
    return v >> 8;
  if (depth == 8)
    return v;
  return v * 255 / ((1u << depth) - 1);
}

std::vector<PngFixture> PngFixtures()
{
  std::vector<PngFixture> out;
  const int w = 7, h = 5;
  testimg::Rng rng(1234);
  auto make = [&](const std::string& name, int colorType, int depth) {
    PngFixture f;
    f.name = name;
    f.desc.width = w;
    f.desc.height = h;
    f.desc.colorType = colorType;
    f.desc.bitDepth = depth;
    const int channels = testimg::ChannelsOf(colorType);
    const unsigned maxv = (1u << depth) - 1;
    for (int i = 0; i < w * h * channels; ++i)
      f.desc.samples.push_back(i < channels ? maxv : rng.Next() & maxv); // first pixel all maximal
    return f;
  };
  auto expectFromSamples = [&](PngFixture& f) {
    const int channels = testimg::ChannelsOf(f.desc.colorType);
    const int depth = f.desc.bitDepth;
    for (int i = 0; i < w * h; ++i)
    {
      const unsigned* s = &f.desc.samples[(size_t)i * channels];
      unsigned r, g, b, a = 255;
      switch (f.desc.colorType)
      {
      case PNG_COLOR_TYPE_GRAY:
        r = g = b = Scale(s[0], depth);
        if (f.desc.hasTrnsColor && s[0] == f.desc.trnsGray)
          a = 0;
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        r = g = b = Scale(s[0], depth);
        a = Scale(s[1], depth);
        break;
      case PNG_COLOR_TYPE_RGB:
        r = Scale(s[0], depth);
        g = Scale(s[1], depth);
        b = Scale(s[2], depth);
        if (f.desc.hasTrnsColor && s[0] == f.desc.trnsRed && s[1] == f.desc.trnsGreen && s[2] == f.desc.trnsBlue)
          a = 0;
        break;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        r = Scale(s[0], depth);
        g = Scale(s[1], depth);
        b = Scale(s[2], depth);
        a = Scale(s[3], depth);
        break;
      default: // palette
        r = f.desc.palette[s[0] * 3];
        g = f.desc.palette[s[0] * 3 + 1];
        b = f.desc.palette[s[0] * 3 + 2];
        a = s[0] < f.desc.paletteAlpha.size() ? f.desc.paletteAlpha[s[0]] : 255;
        break;
      }
      f.expected.push_back(LiceRGBA((int)r, (int)g, (int)b, (int)a));
    }
  };

  out.push_back(make("RGB 8", PNG_COLOR_TYPE_RGB, 8));
  out.push_back(make("RGBA 8", PNG_COLOR_TYPE_RGB_ALPHA, 8));
  out.push_back(make("RGBA 16", PNG_COLOR_TYPE_RGB_ALPHA, 16));
  out.push_back(make("RGB 16", PNG_COLOR_TYPE_RGB, 16));
  {
    PngFixture f = make("RGBA 8 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8);
    f.desc.samples = out[1].desc.samples; // the twin of "RGBA 8"
    f.desc.interlaced = true;
    out.push_back(f);
  }
  for (int depth : {1, 2, 4, 8})
  {
    PngFixture f = make("palette " + std::to_string(depth), PNG_COLOR_TYPE_PALETTE, depth);
    const int entries = 1 << depth;
    for (int i = 0; i < entries * 3; ++i)
      f.desc.palette.push_back((unsigned char)(rng.Next() & 0xFF));
    out.push_back(f);
  }
  {
    PngFixture f = make("palette 4 with tRNS", PNG_COLOR_TYPE_PALETTE, 4);
    for (int i = 0; i < 16 * 3; ++i)
      f.desc.palette.push_back((unsigned char)(rng.Next() & 0xFF));
    f.desc.paletteAlpha = {0, 128, 255, 7, 60}; // the remaining entries are opaque
    out.push_back(f);
  }
  for (int depth : {1, 2, 4, 8, 16})
    out.push_back(make("gray " + std::to_string(depth), PNG_COLOR_TYPE_GRAY, depth));
  {
    PngFixture f = make("gray 4 with tRNS", PNG_COLOR_TYPE_GRAY, 4);
    f.desc.hasTrnsColor = true;
    f.desc.trnsGray = f.desc.samples[3];
    out.push_back(f);
  }
  out.push_back(make("gray-alpha 8", PNG_COLOR_TYPE_GRAY_ALPHA, 8));
  out.push_back(make("gray-alpha 16", PNG_COLOR_TYPE_GRAY_ALPHA, 16));
  {
    PngFixture f = make("RGB 8 with tRNS", PNG_COLOR_TYPE_RGB, 8);
    f.desc.hasTrnsColor = true;
    f.desc.trnsRed = f.desc.samples[9]; // the key colour of pixel 3, repeated at pixel 10
    f.desc.trnsGreen = f.desc.samples[10];
    f.desc.trnsBlue = f.desc.samples[11];
    for (int c = 0; c < 3; ++c)
      f.desc.samples[30 + c] = f.desc.samples[9 + c];
    out.push_back(f);
  }
  for (PngFixture& f : out)
    expectFromSamples(f);
  return out;
}

TEST(PngDecode, EveryColourTypeAndDepthGivesStraightARGB)
{
  for (const PngFixture& f : PngFixtures())
  {
    SCOPED_TRACE(f.name);
    const auto bytes = testimg::EncodePng(f.desc);
    ASSERT_FALSE(bytes.empty());
    std::unique_ptr<LiceBitmap> bm(DecodePngBytes(bytes));
    ASSERT_NE(bm, nullptr);
    ASSERT_EQ(bm->GetWidth(), f.desc.width);
    ASSERT_EQ(bm->GetHeight(), f.desc.height);
    const auto got = testimg::Snapshot(*bm);
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(Hex(got[i]), Hex(f.expected[i])) << "pixel " << i;
    // Memory order of a pixel: blue, green, red, alpha.
    unsigned char bytes0[4];
    std::memcpy(bytes0, bm->GetBits(), 4);
    EXPECT_EQ(bytes0[0], Chan(f.expected[0], 0));
    EXPECT_EQ(bytes0[3], Chan(f.expected[0], 3));
  }
}

// Independent decode through libpng's simplified reader, straight 8-bit B, G, R, A in memory, which
// is the pixel layout. Empty on failure.
std::vector<LicePixel> SimpleRead(const std::vector<unsigned char>& bytes, int* w, int* h)
{
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
    return {};
  image.format = PNG_FORMAT_BGRA;
  std::vector<LicePixel> out((size_t)image.width * image.height);
  if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
  {
    png_image_free(&image);
    return {};
  }
  *w = (int)image.width;
  *h = (int)image.height;
  return out;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
  std::vector<unsigned char> out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return out;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
    out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

TEST(PngDecode, AgreesWithTheLibrarysSimpleReader)
{
  for (const PngFixture& f : PngFixtures())
  {
    if (f.desc.bitDepth == 16)
      continue; // the simple reader rounds 16-bit channels, the decoder keeps the high byte
    const auto bytes = testimg::EncodePng(f.desc);
    int w = 0, h = 0;
    const auto expected = SimpleRead(bytes, &w, &h);
    ASSERT_FALSE(expected.empty()) << f.name;
    std::unique_ptr<LiceBitmap> bm(DecodePngBytes(bytes));
    ASSERT_NE(bm, nullptr) << f.name;
    EXPECT_EQ(testimg::Snapshot(*bm), expected) << f.name;
  }
}

// The editor's artwork, where the source tree is at hand.
TEST(PngDecode, ArtworkDecodesLikeTheSimpleReader)
{
  const char* names[] = {"background.png", "torvomell_about.png", "torvomell_knob_01.png",
                         "torvomell_led.png", "torvomell_switch_01.png", "torvomell_switch_02.png"};
  int found = 0;
  for (const char* name : names)
  {
    const auto bytes = ReadWholeFile(std::string(TORVO_RASTER_ART_DIR) + "/" + name);
    if (bytes.empty())
      continue;
    ++found;
    int w = 0, h = 0;
    const auto expected = SimpleRead(bytes, &w, &h);
    ASSERT_FALSE(expected.empty()) << name;
    std::unique_ptr<LiceBitmap> bm(DecodePngBytes(bytes));
    ASSERT_NE(bm, nullptr) << name;
    EXPECT_EQ(bm->GetWidth(), w) << name;
    EXPECT_EQ(bm->GetHeight(), h) << name;
    EXPECT_TRUE(testimg::Snapshot(*bm) == expected) << name;
  }
  if (!found)
    GTEST_SKIP() << "artwork not found under " << TORVO_RASTER_ART_DIR;
}

TEST(PngDecode, InterlacedImageEqualsItsTwin)
{
  const auto fixtures = PngFixtures();
  const PngFixture* plain = nullptr;
  const PngFixture* interlaced = nullptr;
  for (const auto& f : fixtures)
  {
    if (f.name == "RGBA 8")
      plain = &f;
    if (f.name == "RGBA 8 interlaced")
      interlaced = &f;
  }
  ASSERT_TRUE(plain && interlaced);
  std::unique_ptr<LiceBitmap> a(DecodePngBytes(testimg::EncodePng(plain->desc)));
  std::unique_ptr<LiceBitmap> b(DecodePngBytes(testimg::EncodePng(interlaced->desc)));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(testimg::Snapshot(*a), testimg::Snapshot(*b));
}

testimg::PngDesc SmallRgba(int w, int h)
{
  testimg::PngDesc d;
  d.width = w;
  d.height = h;
  d.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  testimg::Rng rng(99);
  for (int i = 0; i < w * h * 4; ++i)
    d.samples.push_back(rng.Next() & 0xFF);
  return d;
}

std::vector<unsigned char> Cut(std::vector<unsigned char> v, size_t n)
{
  v.resize(n);
  return v;
}

// Offset of the first byte of the first IDAT chunk's data.
size_t IdatDataOffset(const std::vector<unsigned char>& png)
{
  for (size_t i = 8; i + 8 <= png.size(); ++i)
    if (std::memcmp(&png[i + 4], "IDAT", 4) == 0)
      return i + 8;
  return 0;
}

TEST(PngDecode, BrokenInputGivesNull)
{
  const auto good = testimg::EncodePng(SmallRgba(16, 16));
  const size_t idat = IdatDataOffset(good);
  ASSERT_GT(idat, 0u);
  auto badSignature = good;
  badSignature[0] = 0x88;
  auto badHeaderCrc = good;
  badHeaderCrc[29] ^= 0xFF; // inside the IHDR checksum
  // An image header claiming 30000 x 30000 (3.6e9 bytes of pixels) with the rest of a small image.
  auto huge = good;
  const unsigned char big[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
  std::memcpy(&huge[16], big, 8);
  const unsigned long crc = crc32(crc32(0, nullptr, 0), &huge[12], 17);
  huge[29] = (unsigned char)(crc >> 24);
  huge[30] = (unsigned char)(crc >> 16);
  huge[31] = (unsigned char)(crc >> 8);
  huge[32] = (unsigned char)crc;

  struct Case
  {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  const Case cases[] = {
    {"7 bytes", Cut(good, 7)},
    {"bad signature", badSignature},
    {"signature only", Cut(good, 8)},
    {"cut inside the header", Cut(good, 20)},
    {"cut inside the image data", Cut(good, idat + 10)},
    {"cut before the end chunk", Cut(good, good.size() - 20)},
    {"bad header checksum", badHeaderCrc},
    {"too large for a bitmap", huge},
  };
  for (const Case& c : cases)
  {
    LiceBitmap* bm = DecodePngBytes(c.bytes);
    EXPECT_EQ(bm, nullptr) << c.what;
    delete bm;
    // With a target the failure is the same; the target is left to its owner.
    LiceMemBitmap target(3, 3);
    EXPECT_EQ(DecodePngBytes(c.bytes, &target), nullptr) << c.what << " (target)";
  }
}

TEST(PngDecode, TargetBitmapIsResizedAndFilled)
{
  const auto desc = SmallRgba(9, 6);
  const auto bytes = testimg::EncodePng(desc);
  std::unique_ptr<LiceBitmap> ref(DecodePngBytes(bytes));
  ASSERT_NE(ref, nullptr);

  LiceMemBitmap target(40, 2);
  EXPECT_EQ(DecodePngBytes(bytes, &target), &target);
  EXPECT_EQ(target.GetWidth(), 9);
  EXPECT_EQ(target.GetHeight(), 6);
  EXPECT_EQ(testimg::Snapshot(target), testimg::Snapshot(*ref));

  testimg::FlippedBitmap flipped(1, 1); // rows go bottom-up in memory, the picture stays upright
  EXPECT_EQ(DecodePngBytes(bytes, &flipped), &flipped);
  EXPECT_EQ(testimg::Snapshot(flipped), testimg::Snapshot(*ref));

  LiceSysBitmap surface(20, 20); // wider rows than the image
  EXPECT_EQ(DecodePngBytes(bytes, &surface), &surface);
  EXPECT_EQ(surface.GetRowSpan(), 20);
  EXPECT_EQ(testimg::Snapshot(surface), testimg::Snapshot(*ref));
}

// A target that refuses every size: the decoder gives null and leaves it alone.
class RefusingBitmap : public LiceMemBitmap
{
public:
  bool SetSize(int, int) override { return false; }
};

TEST(PngDecode, TargetThatDoesNotTakeTheSizeGivesNull)
{
  RefusingBitmap target;
  EXPECT_EQ(DecodePngBytes(testimg::EncodePng(SmallRgba(4, 4)), &target), nullptr);
  std::vector<unsigned char> jpegSamples(4 * 4 * 3, 100);
  EXPECT_EQ(DecodeJpegBytes(testimg::EncodeJpeg(4, 4, 3, jpegSamples), &target), nullptr);
}

#ifndef _WIN32
TEST(PngDecode, MissingResourceAndWrongTypeGiveNull)
{
  EXPECT_EQ(LiceLoadPNGFromResource(nullptr, 999999, nullptr), nullptr);
  const int id = Register("JPG", testimg::EncodePng(SmallRgba(2, 2)));
  EXPECT_EQ(LiceLoadPNGFromResource(nullptr, id, nullptr), nullptr); // a JPG resource is not a PNG
}
#endif

// ---- JPEG ----

std::vector<unsigned char> SmoothSamples(int w, int h, int comps)
{
  std::vector<unsigned char> s;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < comps; ++c)
        s.push_back((unsigned char)((40 + x * 4 + y * 3 + c * 30) % 256)); // smooth for images up to 24 x 16
  return s;
}

TEST(JpegDecode, RgbAndGrayAreOpaqueAndCloseToTheOriginal)
{
  const int w = 24, h = 16;
  for (int comps : {3, 1})
    for (bool progressive : {false, true})
    {
      SCOPED_TRACE(testing::Message() << comps << " components, progressive " << progressive);
      const auto samples = SmoothSamples(w, h, comps);
      std::unique_ptr<LiceBitmap> bm(DecodeJpegBytes(testimg::EncodeJpeg(w, h, comps, samples, 100, progressive)));
      ASSERT_NE(bm, nullptr);
      ASSERT_EQ(bm->GetWidth(), w);
      ASSERT_EQ(bm->GetHeight(), h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
          const LicePixel p = At(*bm, x, y);
          ASSERT_EQ(Chan(p, 3), 255);
          const unsigned char* s = &samples[((size_t)y * w + x) * comps];
          if (comps == 1)
          {
            ASSERT_EQ(Chan(p, 0), Chan(p, 1));
            ASSERT_EQ(Chan(p, 1), Chan(p, 2));
            ASSERT_NEAR(Chan(p, 0), s[0], 6) << x << "," << y;
          }
          else
          {
            ASSERT_NEAR(Chan(p, 2), s[0], 8) << "red " << x << "," << y;
            ASSERT_NEAR(Chan(p, 1), s[1], 8) << "green " << x << "," << y;
            ASSERT_NEAR(Chan(p, 0), s[2], 8) << "blue " << x << "," << y;
          }
        }
    }
}

TEST(JpegDecode, FourComponentImageGivesTransparentBlackOfTheRightSize)
{
  const auto bytes = testimg::EncodeJpeg(10, 6, 4, SmoothSamples(10, 6, 4));
  ASSERT_FALSE(bytes.empty());
  std::unique_ptr<LiceBitmap> bm(DecodeJpegBytes(bytes));
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(bm->GetWidth(), 10);
  EXPECT_EQ(bm->GetHeight(), 6);
  EXPECT_EQ(testimg::Snapshot(*bm), std::vector<LicePixel>(60, 0));
}

TEST(JpegDecode, CutDataStillGivesTheFullImageButCutHeadersGiveNull)
{
  const int w = 32, h = 32;
  const auto bytes = testimg::EncodeJpeg(w, h, 3, SmoothSamples(w, h, 3), 90);
  // Start of scan: the compressed data follows its header.
  size_t sos = 0;
  for (size_t i = 2; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA)
    {
      sos = i;
      break;
    }
  ASSERT_GT(sos, 0u);
  {
    std::unique_ptr<LiceBitmap> bm(DecodeJpegBytes(Cut(bytes, sos + 40)));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->GetWidth(), w);
    EXPECT_EQ(bm->GetHeight(), h);
    EXPECT_EQ(Chan(At(*bm, w - 1, h - 1), 3), 255);
  }
  const auto progressive = testimg::EncodeJpeg(w, h, 3, SmoothSamples(w, h, 3), 90, true);
  {
    std::unique_ptr<LiceBitmap> bm(DecodeJpegBytes(Cut(progressive, progressive.size() / 2)));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->GetWidth(), w);
  }
  std::vector<unsigned char> garbage(200);
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = (unsigned char)(i * 37 + 11);
  auto notJpeg = bytes;
  notJpeg[1] = 0x00; // no start-of-image marker
  for (const auto& broken : {Cut(bytes, 7), Cut(bytes, 40), Cut(bytes, sos), garbage, notJpeg})
  {
    LiceBitmap* bm = DecodeJpegBytes(broken);
    EXPECT_EQ(bm, nullptr) << broken.size() << " bytes";
    delete bm;
  }
}

TEST(JpegDecode, TargetBitmapIsResizedAndFlippedRowsStayUpright)
{
  const auto bytes = testimg::EncodeJpeg(12, 7, 1, SmoothSamples(12, 7, 1), 100);
  std::unique_ptr<LiceBitmap> ref(DecodeJpegBytes(bytes));
  ASSERT_NE(ref, nullptr);
  LiceMemBitmap target(3, 30);
  EXPECT_EQ(DecodeJpegBytes(bytes, &target), &target);
  EXPECT_EQ(testimg::Snapshot(target), testimg::Snapshot(*ref));
  testimg::FlippedBitmap flipped(12, 7);
  EXPECT_EQ(DecodeJpegBytes(bytes, &flipped), &flipped);
  EXPECT_EQ(testimg::Snapshot(flipped), testimg::Snapshot(*ref));
}

// ---- files and the loader registry ----

TEST(Loaders, RegistryOrderAndFilterTexts)
{
  LiceImageLoader* first = LiceImageLoaderList;
  ASSERT_NE(first, nullptr);
  LiceImageLoader* second = first->next;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->next, nullptr);
  const char* png = first->Filter();
  const char* jpg = second->Filter();
  EXPECT_STREQ(png, "PNG files (*.PNG)");
  EXPECT_STREQ(png + std::strlen(png) + 1, "*.PNG");
  EXPECT_EQ(png[std::strlen(png) + 1 + 5 + 1], '\0'); // the extra terminator
  EXPECT_STREQ(jpg, "JPEG files (*.JPG;*.JPEG;*.JFIF)");
  EXPECT_STREQ(jpg + std::strlen(jpg) + 1, "*.JPG;*.JPEG;*.JFIF");
  EXPECT_EQ(jpg[std::strlen(jpg) + 1 + std::strlen("*.JPG;*.JPEG;*.JFIF") + 1], '\0');
}

TEST(Loaders, ExtensionTest)
{
  const char* const jpeg[] = {".jpg", ".jpeg", ".jfif", nullptr};
  struct Case
  {
    const char* path;
    bool accepted;
  };
  const Case cases[] = {
    {"a.jpg", true},          {"DIR/B.JPEG", true},     {"c:\\x\\PIC.JFIF", true}, {".jpg", true},
    {"photo.jpg.png", false}, {"x.png", false},         {"jpg", false},            {"", false},
    {"dir.jpg/file", false},  {"dir.jpg\\file", false}, {"a.jpgx", false},         {"a.jp", false},
    {"name.JpEg", true},      {"trailingdot.", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LiceHasExtension(c.path, jpeg), c.accepted) << c.path;
  EXPECT_FALSE(LiceHasExtension(nullptr, jpeg));
}

TEST(Loaders, FilesLoadThroughTheEntriesWithAndWithoutTheExtensionCheck)
{
  const auto pngBytes = testimg::EncodePng(SmallRgba(5, 4));
  const auto jpgBytes = testimg::EncodeJpeg(6, 3, 3, SmoothSamples(6, 3, 3));
  const std::string pngPath = TempPath("torvo_raster_entry.png");
  const std::string jfifPath = TempPath("torvo_raster_entry.JFIF");
  const std::string datPath = TempPath("torvo_raster_entry.dat");
  ASSERT_TRUE(testimg::WriteFileUtf8(pngPath, pngBytes));
  ASSERT_TRUE(testimg::WriteFileUtf8(jfifPath, jpgBytes));
  ASSERT_TRUE(testimg::WriteFileUtf8(datPath, pngBytes));
  LiceImageLoader* pngEntry = LiceImageLoaderList;
  LiceImageLoader* jpgEntry = pngEntry->next;

  std::unique_ptr<LiceBitmap> a(pngEntry->Load(pngPath.c_str(), true, nullptr));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetWidth(), 5);
  std::unique_ptr<LiceBitmap> b(jpgEntry->Load(jfifPath.c_str(), true, nullptr));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetWidth(), 6);
  EXPECT_EQ(jpgEntry->Load(pngPath.c_str(), true, nullptr), nullptr);  // refused by name
  EXPECT_EQ(pngEntry->Load(datPath.c_str(), true, nullptr), nullptr);  // refused by name
  std::unique_ptr<LiceBitmap> c(pngEntry->Load(datPath.c_str(), false, nullptr)); // any name when unchecked
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(testimg::Snapshot(*c), testimg::Snapshot(*a));
  EXPECT_EQ(jpgEntry->Load(pngPath.c_str(), false, nullptr), nullptr); // tried, but not a JPEG

  // A file decodes to the same pixels as the same bytes as a resource.
  std::unique_ptr<LiceBitmap> viaMemory(DecodePngBytes(pngBytes));
  ASSERT_NE(viaMemory, nullptr);
  EXPECT_EQ(testimg::Snapshot(*viaMemory), testimg::Snapshot(*a));

  EXPECT_EQ(LiceLoadPNG(TempPath("torvo_raster_missing.png").c_str(), nullptr), nullptr);
  EXPECT_EQ(LiceLoadJPG(TempPath("torvo_raster_missing.jpg").c_str(), nullptr), nullptr);
  EXPECT_EQ(LiceLoadPNG(nullptr, nullptr), nullptr);
  testimg::RemoveFileUtf8(pngPath);
  testimg::RemoveFileUtf8(jfifPath);
  testimg::RemoveFileUtf8(datPath);
}

TEST(Loaders, NonAsciiUtf8PathOpens)
{
  // "Gerät-ñ-東.png" in UTF-8.
  const std::string path = TempPath("torvo_Ger\xC3\xA4t-\xC3\xB1-\xE6\x9D\xB1.png");
  const auto bytes = testimg::EncodePng(SmallRgba(3, 2));
  ASSERT_TRUE(testimg::WriteFileUtf8(path, bytes));
  std::unique_ptr<LiceBitmap> bm(LiceLoadPNG(path.c_str(), nullptr));
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(bm->GetWidth(), 3);
  testimg::RemoveFileUtf8(path);
}

// ---- module resources ----

#ifdef _WIN32
// The decoders on real module resources of this test program (RasterTestResources.rc): the same
// pixels as the files the resources were made from.
TEST(ModuleResources, WindowsResourcesDecodeLikeTheirFiles)
{
  HMODULE self = GetModuleHandleA(nullptr);
  ModuleResourceData res = {};
  ASSERT_TRUE(FindModuleResource(self, 1, "PNG", &res));
  EXPECT_GT(res.size, 8);
  EXPECT_FALSE(FindModuleResource(self, 3, "PNG", &res)); // id 3 is a JPG
  EXPECT_FALSE(FindModuleResource(self, 77, "PNG", &res));
  const std::string corpus = TORVO_RASTER_CORPUS_DIR;
  struct Case
  {
    int id;
    bool jpeg;
    const char* file;
  };
  const Case cases[] = {{1, false, "/png/rgb8.png"}, {2, false, "/png/palette4-trns.png"}, {3, true, "/jpeg/rgb.jpg"}};
  for (const Case& c : cases)
  {
    std::unique_ptr<LiceBitmap> fromRes(c.jpeg ? LiceLoadJPGFromResource(self, c.id, nullptr)
                                               : LiceLoadPNGFromResource(self, c.id, nullptr));
    ASSERT_NE(fromRes, nullptr) << c.file;
    const std::string path = corpus + c.file;
    std::unique_ptr<LiceBitmap> fromFile(c.jpeg ? LiceLoadJPG(path.c_str(), nullptr) : LiceLoadPNG(path.c_str(), nullptr));
    if (!fromFile)
      continue; // the source tree is not reachable from this machine
    EXPECT_EQ(testimg::Snapshot(*fromRes), testimg::Snapshot(*fromFile)) << c.file;
  }
  // The id's low 16 bits name the resource.
  std::unique_ptr<LiceBitmap> high(LiceLoadPNGFromResource(self, 0x10001, nullptr));
  EXPECT_NE(high, nullptr);
}
#endif

#ifndef _WIN32
TEST(ModuleResources, LaterRegistrationsReplaceEarlierOnes)
{
  static const unsigned char first[] = {1, 2, 3};
  static const unsigned char second[] = {9, 8};
  const EmbeddedResource a[] = {{"TESTBLOB", 4242, first, 3}, {"OTHER", 4242, second, 2}};
  RegisterEmbeddedResources(a, 2);
  ModuleResourceData found = {};
  ASSERT_TRUE(FindModuleResource(nullptr, 4242, "TESTBLOB", &found));
  EXPECT_EQ(found.data, first);
  EXPECT_EQ(found.size, 3);
  ASSERT_TRUE(FindModuleResource(nullptr, 4242, "testblob", &found)); // type names ignore case
  ASSERT_TRUE(FindModuleResource(nullptr, 4242 + 0x10000, "TESTBLOB", &found)); // the id's low 16 bits
  const EmbeddedResource b = {"TestBlob", 4242, second, 2};
  RegisterEmbeddedResources(&b, 1);
  ASSERT_TRUE(FindModuleResource(nullptr, 4242, "TESTBLOB", &found));
  EXPECT_EQ(found.data, second);
  EXPECT_EQ(found.size, 2);
  EXPECT_FALSE(FindModuleResource(nullptr, 4243, "TESTBLOB", &found));
  EXPECT_FALSE(FindModuleResource(nullptr, 4242, "NOPE", &found));
  EXPECT_FALSE(FindModuleResource(nullptr, 4242, nullptr, &found));
  RegisterEmbeddedResources(nullptr, 5);
}
#endif

} // namespace
