// Cost of the effect's block reaction: Effect and Cabinet on (all 21 sections per sample), blocks
// of 512 frames at 44100 Hz, reported in nanoseconds per sample.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "effect/FilterBank.h"
#include "effect/FuzzChain.h"
#include "effect/PlugExample.h"

namespace {

std::vector<double> TestSignal(std::size_t n, std::uint32_t seed)
{
  std::vector<double> v(n);
  for (double& x : v)
  {
    seed = seed * 1664525u + 1013904223u;
    x = 0.4 * ((double) (seed >> 8) / 8388608.0 - 1.0);
  }
  return v;
}

void RunPlug(benchmark::State& state, bool effect, bool cabinet, double amplitude)
{
  const int frames = (int) state.range(0);
  auto plug = std::make_unique<PlugExample>(nullptr);
  plug->NotifyAllParamsChanged();
  plug->GetParam(PlugExample::kEffect)->SetValue(effect ? 1 : 0);
  plug->OnParamChange(PlugExample::kEffect);
  plug->GetParam(PlugExample::kCabinet)->SetValue(cabinet ? 1 : 0);
  plug->OnParamChange(PlugExample::kCabinet);
  plug->UpdateSampleRate(44100);
  plug->Reset();

  std::vector<double> in0 = TestSignal((std::size_t) frames, 1);
  std::vector<double> in1 = TestSignal((std::size_t) frames, 2);
  for (std::size_t i = 0; i < in0.size(); ++i)
  {
    in0[i] *= amplitude;
    in1[i] *= amplitude;
  }
  std::vector<double> out0((std::size_t) frames), out1((std::size_t) frames);
  double* ins[2] = {in0.data(), in1.data()};
  double* outs[2] = {out0.data(), out1.data()};
  for (auto _ : state)
  {
    plug->ProcessDoubleReplacing(ins, outs, frames);
    benchmark::DoNotOptimize(out0.data());
    benchmark::ClobberMemory();
  }
  const double samples = (double) state.iterations() * frames;
  state.SetItemsProcessed((int64_t) samples);
  state.counters["ns_per_sample"] =
      benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ProcessDoubleReplacing_EffectCabinet(benchmark::State& state)
{
  RunPlug(state, true, true, 1.0);
}
BENCHMARK(BM_ProcessDoubleReplacing_EffectCabinet)->Arg(512);

// Silence: the anti-denormal measures must keep the cost where it is for a live signal.
void BM_ProcessDoubleReplacing_EffectCabinetSilence(benchmark::State& state)
{
  RunPlug(state, true, true, 0.0);
}
BENCHMARK(BM_ProcessDoubleReplacing_EffectCabinetSilence)->Arg(512);

void BM_ProcessDoubleReplacing_EffectOnly(benchmark::State& state)
{
  RunPlug(state, true, false, 1.0);
}
BENCHMARK(BM_ProcessDoubleReplacing_EffectOnly)->Arg(512);

void BM_ProcessDoubleReplacing_Bypass(benchmark::State& state)
{
  RunPlug(state, false, true, 1.0);
}
BENCHMARK(BM_ProcessDoubleReplacing_Bypass)->Arg(512);

// The portable block loop of the DSP library on its own (passes of a few sections), same setup.
void BM_ProcessEffectBlock_EffectCabinet(benchmark::State& state)
{
  const int frames = (int) state.range(0);
  auto bank = std::make_unique<FilterBank>();
  ClearFilterBank(*bank);
  DesignFilterBank(*bank, 44100);
  std::vector<double> noise(kNoiseTableSize);
  RefillNoise(noise.data());
  FuzzSettings settings;
  settings.level = 0.5;
  settings.attack = 0.5;
  settings.drive = 12.5;
  std::vector<double> in0 = TestSignal((std::size_t) frames, 1);
  std::vector<double> in1 = TestSignal((std::size_t) frames, 2);
  std::vector<double> out0((std::size_t) frames), out1((std::size_t) frames);
  double* ins[2] = {in0.data(), in1.data()};
  double* outs[2] = {out0.data(), out1.data()};
  for (auto _ : state)
  {
    ProcessEffectBlock(*bank, settings, noise.data(), true, true, ins, outs, frames);
    benchmark::DoNotOptimize(out0.data());
    benchmark::ClobberMemory();
  }
  const double samples = (double) state.iterations() * frames;
  state.SetItemsProcessed((int64_t) samples);
  state.counters["ns_per_sample"] =
      benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessEffectBlock_EffectCabinet)->Arg(512);

}  // namespace

BENCHMARK_MAIN();
