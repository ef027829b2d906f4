// Whole-plugin processing cost: stereo noise at 48 kHz in 256-sample blocks
// (and in 32-sample blocks, as hosts use for low latency, where the work
// done once per block shows). Arguments: oversampling factor, block size.
// Counters: ns per stereo sample and percent of one core in real time
// (wall time of the timed loop). The serial floor in ColourStageBench.cpp
// is bound by latency and barely moves when the machine is shared; this
// path lives on the core's spare issue slots beside that chain, so it
// varies far more from run to run there: compare minima over several runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <mutex>
#include <random>
#include <vector>

#include "plugin/Kestro.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kBlocks = 188;  // about one second of material

class BenchKestro : public kestro::Kestro {
 public:
  explicit BenchKestro(int factor) {
    LoadPreset(0);
    SetSampleRate(kRate);
    // A musical bus setting: -20 dB threshold, 3:1, medium times, full mix.
    SetParamFromEditor(kestro::ParamThreshold, 0.6);
    SetParamFromEditor(kestro::ParamRatio, 0.4);
    SetParamFromEditor(kestro::ParamAttack, 0.6);
    SetParamFromEditor(kestro::ParamRelease, 0.4);
    SetParamFromEditor(kestro::ParamOversample, factor == 16 ? 1.0 : 0.0);
    ResetProcessing();
  }
  void Block(std::vector<double>& left, std::vector<double>& right, size_t offset, std::vector<double>& outL,
             std::vector<double>& outR, int frames = kBlock) {
    double* in[4] = {left.data() + offset, right.data() + offset, left.data() + offset, right.data() + offset};
    double* out[2] = {outL.data(), outR.data()};
    std::lock_guard lock(ParamsLock());
    ProcessDoubles(in, out, frames);
  }
};

std::vector<double> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-0.5, 0.5);
  std::vector<double> v(n);
  for (double& x : v) x = dist(rng);
  return v;
}

// Plain numbers rather than the library's inverted rates, which it would
// print with a seconds suffix.
void SetCounters(benchmark::State& state, std::chrono::steady_clock::duration elapsed, int block = kBlock) {
  const double samples = static_cast<double>(state.iterations()) * block;
  const double ns = std::chrono::duration<double, std::nano>(elapsed).count() / samples;
  state.counters["ns_per_sample"] = ns;
  state.counters["pct_core_48k"] = ns * kRate / 1e9 * 100.0;
}

void BM_Kestro(benchmark::State& state) {
  BenchKestro plugin(static_cast<int>(state.range(0)));
  const int frames = static_cast<int>(state.range(1));
  const size_t blocks = static_cast<size_t>(kBlock * kBlocks / frames);
  std::vector<double> left = Noise(kBlock * kBlocks, 1), right = Noise(kBlock * kBlocks, 2);
  std::vector<double> outL(kBlock), outR(kBlock);
  size_t block = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    plugin.Block(left, right, block * static_cast<size_t>(frames), outL, outR, frames);
    block = (block + 1) % blocks;
    benchmark::DoNotOptimize(outL.data());
  }
  SetCounters(state, std::chrono::steady_clock::now() - start, frames);
}
BENCHMARK(BM_Kestro)->ArgNames({"F", "block"})->Args({4, kBlock})->Args({16, kBlock})->Args({4, 32})->Args({16, 32});

// Silence after a loud passage, timed from one second into the silence:
// every state has decayed towards zero by then, which is where denormal
// arithmetic would show up. At 4x the colour stage's faint cycle is put to
// rest within the first block and the detectors and the gain have settled;
// at 16x the stage keeps its cycle and runs.
void BM_KestroSilenceAfterSignal(benchmark::State& state) {
  BenchKestro plugin(static_cast<int>(state.range(0)));
  std::vector<double> left = Noise(kBlock * kBlocks, 1), right = Noise(kBlock * kBlocks, 2);
  std::vector<double> outL(kBlock), outR(kBlock);
  for (int b = 0; b < kBlocks; ++b) plugin.Block(left, right, static_cast<size_t>(b) * kBlock, outL, outR);
  std::vector<double> silence(kBlock, 0.0);
  for (int b = 0; b < kBlocks; ++b) plugin.Block(silence, silence, 0, outL, outR);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    plugin.Block(silence, silence, 0, outL, outR);
    benchmark::DoNotOptimize(outL.data());
  }
  SetCounters(state, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_KestroSilenceAfterSignal)->Arg(4)->Arg(16);

// The same after ResetProcessing (as hosts do when they restart
// processing): the colour stage rests at once, and once the detectors and
// the gain have settled a silent block is one constant plus the meter's
// decay, at either factor.
void BM_KestroSilenceAfterReset(benchmark::State& state) {
  BenchKestro plugin(static_cast<int>(state.range(0)));
  std::vector<double> left = Noise(kBlock * kBlocks, 1), right = Noise(kBlock * kBlocks, 2);
  std::vector<double> outL(kBlock), outR(kBlock);
  for (int b = 0; b < kBlocks; ++b) plugin.Block(left, right, static_cast<size_t>(b) * kBlock, outL, outR);
  plugin.ResetProcessing();
  std::vector<double> silence(kBlock, 0.0);
  for (int b = 0; b < 4 * kBlocks; ++b) plugin.Block(silence, silence, 0, outL, outR);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    plugin.Block(silence, silence, 0, outL, outR);
    benchmark::DoNotOptimize(outL.data());
  }
  SetCounters(state, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_KestroSilenceAfterReset)->Arg(4)->Arg(16);

}  // namespace
