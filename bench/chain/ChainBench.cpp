// Cost of the effect's chain through the plug-in's own 32-bit replacing entry (two channels,
// "Effect" and "Cabinet" on, 44100 Hz, a minute of guitar-like input played block by block), at
// each instruction-set level, side by side with a straightforward reference: the same plug-in
// whose block reaction is replaced by the formulas evaluated sample by sample in the fixed order.
// Also: silence against signal, the work around the chain (mutex, channel binding, widening and
// narrowing), start-up of the first and later instances, the editor's redraw and bytes per
// instance. ./bench.sh turns the JSON output into one table (bench/chain/table.py).
//
// Benchmark names: Chain/<path>/<block>, Silence/<path>/<block>, Kernel/<path>/<block> (the chain
// alone on 64-bit buffers, no entry around it), Startup/*, Editor/*, Memory/*.

#include <benchmark/benchmark.h>

#include <png.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#ifndef TORVO_NO_EDITOR
#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsLice.h"
#include "effect/EditorLayout.h"
#endif
#include "effect/FilterBank.h"
#include "effect/FuzzKernel.h"
#include "effect/PlugExample.h"
#include "framework/SampleConvert.h"
#include "raster/LiceBitmap.h"
#include "raster/LiceBlit.h"
#include "raster/ModuleResources.h"
#include "vst/VstAbi.h"

// ---- Allocation counting (bytes per instance, nothing growing with use): AllocCount.cpp ----
extern std::atomic<long long> gAllocBytes;
extern std::atomic<long long> gAllocCount;

namespace {

constexpr int kRate = 44100;
const CpuLevel kBestConvertLevel = ActiveSampleConvertLevel();
constexpr int kMinute = 60 * kRate;

// ---- Input: a minute of plucked notes, two channels ----

struct Input
{
  std::vector<float> ch0, ch1;
};

const Input& GuitarMinute()
{
  static const Input input = [] {
    Input in;
    in.ch0.assign((size_t) kMinute, 0.0f);
    in.ch1.assign((size_t) kMinute, 0.0f);
    std::uint32_t seed = 2024;
    auto rnd = [&seed]() {
      seed = seed * 1664525u + 1013904223u;
      return (double) (seed >> 8) / 16777216.0;
    };
    const double pi = 3.14159265358979323846;
    size_t pos = 0;
    while (pos < (size_t) kMinute)
    {
      const size_t len = 4000 + (size_t) (rnd() * 20000);
      const double f = 82.4 * std::pow(2.0, std::floor(rnd() * 30) / 12);
      const double amp = 0.05 + 0.6 * rnd();
      const double decay = 1.0 / (3000 + 9000 * rnd());
      for (size_t i = 0; i < len && pos + i < (size_t) kMinute; ++i)
      {
        const double t = (double) i / kRate;
        const double env = amp * std::exp(-(double) i * decay);
        double v0 = 0, v1 = 0;
        for (int h = 1; h <= 4; ++h)
        {
          v0 += std::sin(2 * pi * f * h * t) / h;
          v1 += std::sin(2 * pi * f * 1.002 * h * t + 0.4) / h;
        }
        in.ch0[pos + i] = (float) (env * v0);
        in.ch1[pos + i] = (float) (0.7 * env * v1);
      }
      pos += len;
    }
    return in;
  }();
  return input;
}

// ---- The reference: the plug-in with the straightforward loop as its block reaction ----

class ReferencePlug : public PlugExample
{
public:
  using PlugExample::PlugExample;

  // Takes over the designed bank and the noise table (after the last Reset).
  void Capture()
  {
    refBank = Bank();
    std::memcpy(refNoise, NoiseTable(), sizeof refNoise);
  }

  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override
  {
    const double lvl = Level();
    const double drv = Drive();
    double e = Attack() - 0.5;
    e = e > 0.5 ? 0.5 : (e < -0.5 ? -0.5 : e);
    const bool cabinet = CabinetOn();
    for (int i = 0; i < nFrames; ++i)
    {
      if (!EffectOn())
      {
        const double v = inputs[1][i] + inputs[0][i];
        outputs[1][i] = v;
        outputs[0][i] = v;
        continue;
      }
      const double x = (inputs[1][i] + inputs[0][i]) + refNoise[i % kNoiseTableSize];
      const double u = Section(1, Section(0, x));
      const double a = u * drv;
      const double mag = std::fabs(a);
      double f;
      if (mag < 0.2)
        f = ((1 - mag / 0.4) * a) * 0.3 * 10;
      else
        f = (a >= 0 ? 0.1 : -0.1) * 0.3 * 10;
      const double c = (a > 0 ? 0 : (a < -0.5 ? -0.5 : a)) + (f > 0.5 ? 0.5 : (f < 0 ? 0 : f));
      double y = (0.5 - e) * (u * 5) + (e + 0.5) * c;
      for (int k = 2; k <= 11; ++k)
        y = Section(k, y);
      y = lvl * y;
      if (cabinet)
        for (int k = 12; k <= 20; ++k)
          y = Section(k, y);
      outputs[1][i] = y;
      outputs[0][i] = y;
    }
  }

private:
  double Section(int k, double x)
  {
    FilterBank& b = refBank;
    const double y = ((b.b1[k] * b.x1[k] + b.b0[k] * x) + b.b2[k] * b.x2[k]) - b.a1[k] * b.y1[k]
                     - b.a2[k] * b.y2[k];
    b.x2[k] = b.x1[k];
    b.x1[k] = x;
    b.y2[k] = b.y1[k];
    b.y1[k] = y;
    return y + 1e-20;
  }

  FilterBank refBank = {};
  double refNoise[kNoiseTableSize] = {};
};

// Paths: 0 reference, then the kernel levels.
constexpr int kPathCount = 5;
const char* const kPathNames[kPathCount] = {"reference", "plain", "sse2", "avx2", "avx512"};
const FuzzKernelLevel kPathLevels[kPathCount] = {FuzzKernelLevel::kPlain, FuzzKernelLevel::kPlain,
                                                 FuzzKernelLevel::kSse2, FuzzKernelLevel::kAvx2,
                                                 FuzzKernelLevel::kAvx512};
// The channel glue's conversions at the same level as the path: "sse2" stands for a processor
// without AVX, so its glue converts with SSE2 too; the reference and the plain loop run with the
// glue this processor picks.
CpuLevel ConvertLevelOf(int path)
{
  switch (kPathLevels[path])
  {
    case FuzzKernelLevel::kSse2:
      return CpuLevel::kBaseline;
    case FuzzKernelLevel::kAvx2:
      return CpuLevel::kAvx2;
    case FuzzKernelLevel::kAvx512:
      return CpuLevel::kAvx512;
    default:
      return kBestConvertLevel;
  }
}

struct Host
{
  std::unique_ptr<PlugExample> plug;
  AEffect* effect = nullptr;
};

Host MakeHost(int path, int block)
{
  Host h;
  if (path == 0)
    h.plug = std::make_unique<ReferencePlug>(nullptr);
  else
    h.plug = std::make_unique<PlugExample>(nullptr);
  h.effect = h.plug->GetAEffect();
  h.effect->dispatcher(h.effect, effOpen, 0, 0, nullptr, 0.0f);
  h.effect->dispatcher(h.effect, effSetSampleRate, 0, 0, nullptr, (float) kRate);
  h.effect->dispatcher(h.effect, effSetBlockSize, 0, block, nullptr, 0.0f);
  h.effect->setParameter(h.effect, PlugExample::kLevel, 0.8f);
  h.effect->setParameter(h.effect, PlugExample::kAttack, 0.6f);
  h.effect->setParameter(h.effect, PlugExample::kEffect, 1.0f);
  h.effect->setParameter(h.effect, PlugExample::kCabinet, 1.0f);
  h.effect->dispatcher(h.effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  if (path == 0)
    static_cast<ReferencePlug*>(h.plug.get())->Capture();
  return h;
}

bool SelectPath(benchmark::State& state, int path)
{
  if (!FuzzKernelLevelSupported(kPathLevels[path]))
  {
    state.SkipWithError("level not available on this processor");
    return false;
  }
  SetFuzzKernelLevel(kPathLevels[path]);
  SetSampleConvertLevel(ConvertLevelOf(path));
  return true;
}

void RestoreLevels()
{
  SetFuzzKernelLevel(BestFuzzKernelLevel());
  SetSampleConvertLevel(kBestConvertLevel);
}

// The whole entry: one host block per iteration, walking through the minute (and around again).
void RunEntry(benchmark::State& state, int path, bool silent)
{
  const int block = (int) state.range(0);
  if (!SelectPath(state, path))
    return;
  Host h = MakeHost(path, block);
  const Input& in = GuitarMinute();
  std::vector<float> zeros((size_t) block, 0.0f);
  std::vector<float> out0((size_t) block), out1((size_t) block);
  float* outs[2] = {out0.data(), out1.data()};
  if (silent)
  {
    // A loud stretch first, so the filters ring out into the silence that is measured.
    for (int pos = 0; pos + block <= kRate; pos += block)
    {
      float* ins[2] = {const_cast<float*>(in.ch0.data()) + pos, const_cast<float*>(in.ch1.data()) + pos};
      h.effect->processReplacing(h.effect, ins, outs, block);
    }
  }
  int pos = 0;
  for (auto _ : state)
  {
    if (pos + block > kMinute)
      pos = 0;
    float* ins[2] = {const_cast<float*>(in.ch0.data()) + pos, const_cast<float*>(in.ch1.data()) + pos};
    if (silent)
    {
      ins[0] = zeros.data();
      ins[1] = zeros.data();
    }
    h.effect->processReplacing(h.effect, ins, outs, block);
    benchmark::DoNotOptimize(out0.data());
    benchmark::ClobberMemory();
    pos += block;
  }
  state.counters["frames"] = block;
  state.SetItemsProcessed(state.iterations() * block);
  RestoreLevels();
}

// The chain alone: the block reaction on 64-bit buffers, called directly (no mutex, no binding,
// no widening or narrowing). The difference to Chain/<path>/<block> is the work around the chain.
void RunKernel(benchmark::State& state, int path)
{
  const int block = (int) state.range(0);
  if (!SelectPath(state, path))
    return;
  Host h = MakeHost(path, block);
  const Input& in = GuitarMinute();
  std::vector<double> in0((size_t) kMinute), in1((size_t) kMinute);
  for (size_t i = 0; i < in0.size(); ++i)
  {
    in0[i] = in.ch0[i];
    in1[i] = in.ch1[i];
  }
  std::vector<double> out0((size_t) block), out1((size_t) block);
  double* outs[2] = {out0.data(), out1.data()};
  int pos = 0;
  for (auto _ : state)
  {
    if (pos + block > kMinute)
      pos = 0;
    double* ins[2] = {in0.data() + pos, in1.data() + pos};
    h.plug->ProcessDoubleReplacing(ins, outs, block);
    benchmark::DoNotOptimize(out0.data());
    benchmark::ClobberMemory();
    pos += block;
  }
  state.counters["frames"] = block;
  state.SetItemsProcessed(state.iterations() * block);
  RestoreLevels();
}

void RegisterChain()
{
  const int blocks[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64, 128, 256, 512, 1024, 2048, 4096};
  for (int path = 0; path < kPathCount; ++path)
  {
    const std::string name = kPathNames[path];
    for (int block : blocks)
      benchmark::RegisterBenchmark(("Chain/" + name).c_str(),
                                   [path](benchmark::State& s) { RunEntry(s, path, false); })
          ->Arg(block);
    for (int block : {64, 512})
    {
      benchmark::RegisterBenchmark(("Silence/" + name).c_str(),
                                   [path](benchmark::State& s) { RunEntry(s, path, true); })
          ->Arg(block);
      benchmark::RegisterBenchmark(("Kernel/" + name).c_str(),
                                   [path](benchmark::State& s) { RunKernel(s, path); })
          ->Arg(block);
    }
  }
}

// ---- Bytes per instance, and nothing growing with use ----

// The editor surface's pixel memory: malloc natively, a device-independent section on Windows,
// so the operator new counter does not see it.
long long SurfaceBytes(PlugExample& plug)
{
#ifndef TORVO_NO_EDITOR
  if (auto* graphics = dynamic_cast<IGraphicsLice*>(plug.GetGraphics()))
    if (LiceSysBitmap* surface = graphics->Surface())
      return 4LL * surface->GetAllocatedWidth() * surface->GetAllocatedHeight();
#endif
  (void) plug;
  return 0;
}

void BM_MemoryPerInstance(benchmark::State& state)
{
  // The input and the process-wide shared parts (the editor's decoded images in the bitmap cache)
  // exist before the measured instance: what is counted is what each further instance costs.
  const Input& in = GuitarMinute();
  Host first = MakeHost(1, 512);
  long long bytes = 0, surface = 0, growth = 0, count = 0;
  for (auto _ : state)
  {
    const long long before = gAllocBytes.load();
    Host h = MakeHost(1, 4096);
    const long long made = gAllocBytes.load();
    // A stretch of use: blocks of changing size within the host's block size, parameter changes,
    // resets at the same rate.
    std::vector<float> o0(4096), o1(4096);
    float* outs[2] = {o0.data(), o1.data()};
    const long long countBefore = gAllocCount.load();
    const long long bytesBefore = gAllocBytes.load();
    for (int round = 0; round < 400; ++round)
    {
      const int block = 32 << (round % 8);  // up to the block size set above
      if (round % 50 == 0)
        h.effect->dispatcher(h.effect, effSetSampleRate, 0, 0, nullptr, (float) kRate);
      h.effect->setParameter(h.effect, PlugExample::kAttack, (float) (round % 10) / 10);
      float* ins[2] = {const_cast<float*>(in.ch0.data()) + 64 * round,
                       const_cast<float*>(in.ch1.data()) + 64 * round};
      h.effect->processReplacing(h.effect, ins, outs, block);
    }
    growth = gAllocBytes.load() - bytesBefore;
    count = gAllocCount.load() - countBefore;
    // The object itself is among the counted allocations (MakeHost makes it with operator new).
    surface = SurfaceBytes(*h.plug);
    bytes = (made - before) + surface;
  }
  // The object and its noise table (which lives outside it) at the least: less means the count
  // missed an allocation.
  if (bytes - surface < (long long) (sizeof(PlugExample) + kNoiseTableSize * sizeof(double)))
  {
    state.SkipWithError("the instance's noise table was not counted");
    return;
  }
  state.counters["object_bytes"] = (double) sizeof(PlugExample);
  state.counters["surface_bytes"] = (double) surface;
  state.counters["bytes_per_instance"] = (double) bytes;
  state.counters["noise_table_bytes"] = (double) (kNoiseTableSize * sizeof(double));
  state.counters["heap_growth_in_use"] = (double) growth;
  state.counters["allocations_in_use"] = (double) count;
}

#ifndef TORVO_NO_EDITOR
// ---- Editor: a full redraw against the raster floor, and a tick with nothing dirty ----

struct Editor
{
  Host host = MakeHost(1, 512);
  IGraphics* graphics = dynamic_cast<IGraphics*>(host.plug->GetGraphics());
};

void BM_EditorFullRedraw(benchmark::State& state)
{
  Editor e;
  if (!e.graphics)
  {
    state.SkipWithError("no editor in this build");
    return;
  }
  const IRECT all(0, 0, e.graphics->Width(), e.graphics->Height());
  for (auto _ : state)
  {
    e.graphics->MarkAllDirty();
    IRECT dirty;
    e.graphics->CollectDirty(dirty);
    e.graphics->DrawRegion(dirty);
    benchmark::ClobberMemory();
  }
}

// The floor: one opaque copy of the background, then each visible control's picture blended over
// it by its own alpha, written as the simplest tight loops (a row copy, an integer blend per
// channel), onto a surface of the editor's size.
void BM_EditorRasterFloor(benchmark::State& state)
{
  Editor e;
  if (!e.graphics)
  {
    state.SkipWithError("no editor in this build");
    return;
  }
  const int width = PedalLayout::kWidth, height = PedalLayout::kHeight;
  std::vector<std::uint32_t> surface((size_t) width * height);
  struct Piece
  {
    LiceBitmap* image;
    IRECT rect;
  };
  std::vector<Piece> pieces;
  // The visible pictures over the background: LED, cabinet toggle, footswitch and the two knobs
  // (the about panel draws nothing until it is opened; the hidden "Effect" control has none).
  const int ids[] = {PedalLayout::kLedImageId, PedalLayout::kToggleImageId,
                     PedalLayout::kSwitchImageId, PedalLayout::kKnobImageId,
                     PedalLayout::kKnobImageId};
  const int controls[] = {PedalLayout::kLedControl, PedalLayout::kCabinetToggleControl,
                          PedalLayout::kFootswitchControl, PedalLayout::kLevelKnobControl,
                          PedalLayout::kAttackKnobControl};
  LiceBitmap* background = BitmapCache::Instance().Find(PedalLayout::kBackgroundImageId);
  for (int i = 0; i < 5; ++i)
  {
    IControl* c = e.graphics->GetControl(controls[i]);
    LiceBitmap* image = BitmapCache::Instance().Find(ids[i]);
    if (c && image && !c->IsHidden())
      pieces.push_back(Piece{image, c->GetRECT()});
  }
  if (!background || background->GetWidth() < width || background->GetHeight() < height)
  {
    state.SkipWithError("background not in the bitmap cache");
    return;
  }
  for (auto _ : state)
  {
    const LicePixel* bg = background->GetBits();
    for (int y = 0; y < height; ++y)
      std::memcpy(surface.data() + (size_t) y * width, bg + (size_t) y * background->GetRowSpan(),
                  sizeof(std::uint32_t) * (size_t) width);
    for (const Piece& p : pieces)
    {
      const int w = std::min(p.rect.right - p.rect.left, p.image->GetWidth());
      const int h = std::min(p.rect.bottom - p.rect.top, p.image->GetHeight());
      for (int y = 0; y < h; ++y)
      {
        const LicePixel* src = p.image->GetBits() + (size_t) y * p.image->GetRowSpan();
        std::uint32_t* dst = surface.data() + (size_t) (p.rect.top + y) * width + p.rect.left;
        for (int x = 0; x < w; ++x)
        {
          const std::uint32_t s = src[x], d = dst[x];
          const std::uint32_t a = s >> 24;
          std::uint32_t r = 0;
          for (int shift = 0; shift < 24; shift += 8)
          {
            const int sc = (int) ((s >> shift) & 0xFF), dc = (int) ((d >> shift) & 0xFF);
            r |= (std::uint32_t) (dc + (((sc - dc) * (int) a) >> 8)) << shift;
          }
          dst[x] = r | (d & 0xFF000000u);
        }
      }
    }
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.counters["controls"] = (double) pieces.size();
}

void BM_EditorIdleTick(benchmark::State& state)
{
  Editor e;
  if (!e.graphics)
  {
    state.SkipWithError("no editor in this build");
    return;
  }
  IRECT dirty;
  e.graphics->MarkAllDirty();
  e.graphics->CollectDirty(dirty);
  for (auto _ : state)
  {
    IRECT r;
    benchmark::DoNotOptimize(e.graphics->CollectDirty(r));
  }
}

#endif  // TORVO_NO_EDITOR

BENCHMARK(BM_MemoryPerInstance)->Iterations(1);
#ifndef TORVO_NO_EDITOR
BENCHMARK(BM_EditorFullRedraw);
BENCHMARK(BM_EditorRasterFloor);
BENCHMARK(BM_EditorIdleTick);
#endif

// ---- Start-up: each measured in a fresh process (the bitmap cache is process-wide) ----

struct PngMemory
{
  const unsigned char* data;
  size_t size, pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
  PngMemory* m = static_cast<PngMemory*>(png_get_io_ptr(png));
  if (m->pos + n > m->size)
    png_error(png, "short");
  std::memcpy(out, m->data + m->pos, n);
  m->pos += n;
}

// One resource decoded by libpng alone to 8-bit ARGB rows, as the editor needs it.
bool DecodeWithLibpng(int id)
{
  ModuleResourceData res;
  if (!FindModuleResource(nullptr, id, "PNG", &res))
    return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngMemory mem{res.data, (size_t) res.size, 0};
  std::vector<unsigned char> pixels;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png)))
  {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &mem, ReadFromMemory);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_read_update_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info);
  const png_uint_32 h = png_get_image_height(png, info);
  pixels.resize((size_t) w * h * 4);
  rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y)
    rows[y] = pixels.data() + (size_t) y * w * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  benchmark::DoNotOptimize(pixels.data());
  return true;
}

bool DecodeSixWithLibpng()
{
  for (int id = 100; id <= 105; ++id)
    if (!DecodeWithLibpng(id))
      return false;
  return true;
}

double NowNs()
{
  return (double) std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// In a child process: what = 0 libpng alone, 1 first instance, 2 the mean of later instances.
double MeasureInChild(int what)
{
  int fds[2];
  if (pipe(fds) != 0)
    return -1;
  const pid_t pid = fork();
  if (pid == 0)
  {
    close(fds[0]);
    double ns = -1;
    if (what == 0)
    {
      const double t0 = NowNs();
      ns = DecodeSixWithLibpng() ? NowNs() - t0 : -1;
    }
    else
    {
      const double t0 = NowNs();
      auto first = std::make_unique<PlugExample>(nullptr);
      const double t1 = NowNs();
      if (what == 1)
        ns = t1 - t0;
      else
      {
        // A host stacking instances: each later one stays alive, as in a session.
        const int later = 20;
        std::vector<std::unique_ptr<PlugExample>> kept;
        kept.reserve(later);
        const double t2 = NowNs();
        for (int i = 0; i < later; ++i)
          kept.push_back(std::make_unique<PlugExample>(nullptr));
        ns = (NowNs() - t2) / later;
      }
    }
    if (write(fds[1], &ns, sizeof ns) != (ssize_t) sizeof ns)
      _exit(1);
    _exit(0);
  }
  close(fds[1]);
  double ns = -1;
  if (read(fds[0], &ns, sizeof ns) != (ssize_t) sizeof ns)
    ns = -1;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return ns;
}

// Measured at the very start of main, before this process has made any instance: each sample in
// a process of its own forked from that clean state, the three kinds interleaved.
constexpr int kStartupSamples = 15;
std::vector<double> gStartup[3];

void MeasureStartup()
{
  for (int i = 0; i < kStartupSamples; ++i)
    for (int what = 0; what < 3; ++what)
      gStartup[what].push_back(MeasureInChild(what));
}

void StartupBenchmark(benchmark::State& state, int what)
{
  size_t i = 0;
  for (auto _ : state)
  {
    const double ns = gStartup[what][i++ % gStartup[what].size()];
    if (ns < 0)
    {
      state.SkipWithError("child measurement failed");
      return;
    }
    state.SetIterationTime(ns * 1e-9);
  }
}

void RegisterStartup()
{
  const char* names[3] = {"Startup/libpng_six_images", "Startup/first_instance",
                          "Startup/later_instance"};
  for (int what = 0; what < 3; ++what)
    benchmark::RegisterBenchmark(names[what],
                                 [what](benchmark::State& s) { StartupBenchmark(s, what); })
        ->UseManualTime()
        ->Iterations(kStartupSamples);
}

}  // namespace

int main(int argc, char** argv)
{
  MeasureStartup();
  RegisterChain();
  RegisterStartup();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
