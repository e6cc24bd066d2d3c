#include "EditorSnapshot.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "editor/HeadlessWindowSystem.h"
#include "editor/IGraphicsWin.h"
#include "effect/EditorLayout.h"
#include "effect/PlugExample.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceImageLoad.h"

namespace
{
// A point inside the about panel's trigger area (the logo).
constexpr int kLogoX = 45;
constexpr int kLogoY = 45;

void ReadSurface(IGraphicsWin* graphics, EditorSnapshotImage* out)
{
  LiceSysBitmap* surface = graphics->Surface();
  out->width = surface->GetWidth();
  out->height = surface->GetHeight();
  out->pixels.resize((size_t) out->width * (size_t) out->height);
  const std::uint32_t* bits = graphics->SurfacePixels();
  const int span = surface->GetRowSpan();
  for (int y = 0; y < out->height; ++y)
  {
    const int row = surface->IsFlipped() ? out->height - 1 - y : y;
    for (int x = 0; x < out->width; ++x)
      out->pixels[(size_t) y * (size_t) out->width + (size_t) x] = bits[(size_t) row * (size_t) span + (size_t) x];
  }
}
}  // namespace

bool ComposeEditorSnapshot(bool showAbout, EditorSnapshotImage* out)
{
  HeadlessWindowSystem system;
  SetEditorWindowSystem(&system);
  system.EnableWindows(true);
  bool ok = false;
  {
    std::unique_ptr<PlugExample> plug(new PlugExample(nullptr));
    AEffect* effect = plug->GetAEffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    IGraphicsWin* graphics = dynamic_cast<IGraphicsWin*>(plug->GetGraphics());
    HWND host = system.CreateHostWindow(0, 0, PedalLayout::kWidth, PedalLayout::kHeight);
    if (graphics && effect->dispatcher(effect, effEditOpen, 0, 0, host, 0.0f) == 1 &&
        graphics->SurfacePixels())
    {
      HWND window = graphics->WindowHandle();
      system.FireTimer(window);  // the first paint: every control
      if (showAbout)
      {
        using namespace EditorMsg;
        system.Send(window, kLButtonDown, kButtonLeft, PackPoint(kLogoX, kLogoY));
        system.Send(window, kLButtonUp, 0, PackPoint(kLogoX, kLogoY));
        system.FireTimer(window);
      }
      ReadSurface(graphics, out);
      ok = true;
      effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }
  }
  SetEditorWindowSystem(nullptr);
  return ok;
}

bool WriteSnapshotPNG(const std::string& path, const EditorSnapshotImage& image)
{
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != (size_t) image.width * (size_t) image.height)
    return false;
  std::vector<png_byte> rgba(image.pixels.size() * 4);
  for (size_t i = 0; i < image.pixels.size(); ++i)
  {
    const std::uint32_t p = image.pixels[i];
    rgba[i * 4 + 0] = (png_byte) ((p >> 16) & 0xFF);
    rgba[i * 4 + 1] = (png_byte) ((p >> 8) & 0xFF);
    rgba[i * 4 + 2] = (png_byte) (p & 0xFF);
    rgba[i * 4 + 3] = (png_byte) (p >> 24);
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info)
  {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, (png_uint_32) image.width, (png_uint_32) image.height, 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) png_write_row(png, &rgba[(size_t) y * (size_t) image.width * 4]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

bool ReadSnapshotPNG(const std::string& path, EditorSnapshotImage* image)
{
  std::unique_ptr<LiceBitmap> bitmap(LiceLoadPNG(path.c_str()));
  if (!bitmap) return false;
  image->width = bitmap->GetWidth();
  image->height = bitmap->GetHeight();
  image->pixels.resize((size_t) image->width * (size_t) image->height);
  const LicePixel* bits = bitmap->GetBits();
  const int span = bitmap->GetRowSpan();
  for (int y = 0; y < image->height; ++y)
  {
    const int row = bitmap->IsFlipped() ? image->height - 1 - y : y;
    for (int x = 0; x < image->width; ++x)
      image->pixels[(size_t) y * (size_t) image->width + (size_t) x] = bits[(size_t) row * (size_t) span + (size_t) x];
  }
  return true;
}
