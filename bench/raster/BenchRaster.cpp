// Raster layer speed: the blits the editor makes on every redraw, over an image of the editor's
// size (213 x 326), and decoding of PNG images like the editor's. The per_pixel counter is the time
// per pixel in seconds (printed with an SI prefix: 1.2n = 1.2 ns).

#include <benchmark/benchmark.h>

#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TestImages.h"
#include "raster/LiceBlit.h"
#include "raster/LiceImageLoad.h"
#include "raster/ModuleResources.h"

namespace
{

const int kW = 213, kH = 326;

// A picture with mixed alpha: a third transparent, a third opaque, a third in between, in runs the
// way artwork has them.
void FillArtwork(LiceBitmap& bm)
{
  testimg::Rng rng(5);
  for (int y = 0; y < bm.GetHeight(); ++y)
    for (int x = 0; x < bm.GetWidth(); ++x)
    {
      const int band = ((x / 16) + (y / 16)) % 3;
      const LicePixel colour = rng.Next() & 0xFFFFFF;
      const LicePixel alpha = band == 0 ? 0 : band == 1 ? 255 : 32 + (rng.Next() & 127);
      testimg::At(bm, x, y) = colour | alpha << 24;
    }
}

void Blit(benchmark::State& state, float weight, int mode)
{
  LiceMemBitmap src(kW, kH);
  LiceSysBitmap dst(kW, kH);
  FillArtwork(src);
  FillArtwork(dst);
  for (auto _ : state)
  {
    LiceBlit(&dst, &src, 0, 0, nullptr, weight, mode);
    benchmark::DoNotOptimize(dst.GetBits());
    benchmark::ClobberMemory();
  }
  state.counters["per_pixel"] =
    benchmark::Counter((double)kW * kH, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_OpaqueCopy(benchmark::State& s) { Blit(s, 1.0f, LiceModeCopy); }
void BM_SourceAlphaCopy(benchmark::State& s) { Blit(s, 1.0f, LiceModeCopy | LiceUseSourceAlpha); }
void BM_SourceAlphaCopyWeighted(benchmark::State& s) { Blit(s, 0.7f, LiceModeCopy | LiceUseSourceAlpha); }
void BM_HalfCopy(benchmark::State& s) { Blit(s, 0.5f, LiceModeCopy); }
void BM_SourceAlphaAdd(benchmark::State& s) { Blit(s, 1.0f, LiceModeAdd | LiceUseSourceAlpha); }
void BM_SourceAlphaDodge(benchmark::State& s) { Blit(s, 1.0f, LiceModeDodge | LiceUseSourceAlpha); }
BENCHMARK(BM_OpaqueCopy);
BENCHMARK(BM_SourceAlphaCopy);
BENCHMARK(BM_SourceAlphaCopyWeighted);
BENCHMARK(BM_HalfCopy);
BENCHMARK(BM_SourceAlphaAdd);
BENCHMARK(BM_SourceAlphaDodge);

// ---- decoding ----

std::vector<unsigned char> ReadFile(const std::string& path)
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

// The artwork if the source tree is at hand, else generated stand-ins of the same sizes and kinds.
std::vector<unsigned char> ImageBytes(const char* name, int w, int h, bool alpha)
{
  auto bytes = ReadFile(std::string(TORVO_RASTER_ART_DIR) + "/" + name);
  if (!bytes.empty())
    return bytes;
  testimg::PngDesc d;
  d.width = w;
  d.height = h;
  d.colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < (alpha ? 4 : 3); ++c)
        d.samples.push_back((unsigned)((x * 3 + y * 5 + c * 70 + (x * y) / 7) & 0xFF));
  return testimg::EncodePng(d);
}

void Decode(benchmark::State& state, const char* name, int w, int h, bool alpha)
{
  static std::vector<std::unique_ptr<std::vector<unsigned char>>> keep;
  keep.push_back(std::make_unique<std::vector<unsigned char>>(ImageBytes(name, w, h, alpha)));
  const int id = 3000 + (int)keep.size();
  const EmbeddedResource r = {"PNG", id, keep.back()->data(), (int)keep.back()->size()};
  RegisterEmbeddedResources(&r, 1);
  long long pixels = 0;
  for (auto _ : state)
  {
    std::unique_ptr<LiceBitmap> bm(LiceLoadPNGFromResource(nullptr, id, nullptr));
    if (!bm)
    {
      state.SkipWithError("decode failed");
      break;
    }
    pixels = (long long)bm->GetWidth() * bm->GetHeight();
    benchmark::DoNotOptimize(bm->GetBits());
  }
  state.counters["per_pixel"] =
    benchmark::Counter((double)pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["bytes"] = (double)keep.back()->size();
}

void BM_DecodeBackground(benchmark::State& s) { Decode(s, "background.png", 213, 326, false); }
void BM_DecodeKnobStrip(benchmark::State& s) { Decode(s, "torvomell_knob_01.png", 65, 4225, true); }
void BM_DecodeAbout(benchmark::State& s) { Decode(s, "torvomell_about.png", 181, 150, true); }
void BM_DecodeSwitch(benchmark::State& s) { Decode(s, "torvomell_switch_01.png", 40, 80, true); }
BENCHMARK(BM_DecodeBackground)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeKnobStrip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeAbout)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSwitch)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
