// A mixing session's bus compressors: 32 instances of the built module
// (build/<preset>/KESTRO.vst3), loaded and driven through VST3 as a host
// does, on one thread in 256-sample blocks of 32-bit audio at 48 kHz. Each
// gets a second of stereo noise at -10 dBFS RMS; then only some keep
// playing and the rest get digital silence, as most tracks of a session do
// most of the time. The counter pct_core_48k is the whole session's share
// of one core in real time, from the thread's CPU time (on a shared machine
// wall time also counts the other programs' turns).
//   session_bench --benchmark_repetitions=5   (compare minima; pin with taskset)
//   session_bench --module=/path/to/KESTRO.vst3   (another build, for before/after)
// Arguments: oversampling factor, instances still playing.
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"

namespace {

using namespace kestro;

constexpr double kRate = 48000.0;
constexpr int kBlock = 256;
constexpr int kInstances = 32;
constexpr int kNoiseBlocks = 188;  // about one second

// Parameter ids and normalised values: -20 dB threshold, 3:1, medium times.
constexpr Steinberg::Vst::ParamID kThreshold = 0, kAttack = 2, kRelease = 3, kRatio = 4, kOversample = 8;

std::string gModulePath = KESTRO_BUNDLE_PATH;

struct Session {
  std::unique_ptr<Vst3Module> module;
  std::vector<std::unique_ptr<PluginInstance>> instances;
};

double ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

std::vector<float> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  // Uniform noise of RMS -10 dBFS: amplitude sqrt(3) * 10^(-10/20).
  std::uniform_real_distribution<float> dist(-0.5477226f, 0.5477226f);
  std::vector<float> v(n);
  for (float& x : v) x = dist(rng);
  return v;
}

void BM_Session(benchmark::State& state) {
  const int factor = static_cast<int>(state.range(0));
  const int playing = static_cast<int>(state.range(1));
  std::string error;
  Session session;
  session.module = Vst3Module::Load(gModulePath, error);
  if (!session.module) {
    state.SkipWithError(error.c_str());
    return;
  }
  PluginInstance::Setup setup;
  setup.sampleSize = Steinberg::Vst::kSample32;
  setup.sampleRate = kRate;
  setup.maxBlock = kBlock;
  for (int i = 0; i < kInstances; ++i) {
    auto instance = PluginInstance::CreateFirstEffect(session.module->Factory(), error);
    if (!instance || !instance->Start(setup, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    instance->Changes().Add(kThreshold, 0.6);
    instance->Changes().Add(kRatio, 0.4);
    instance->Changes().Add(kAttack, 0.6);
    instance->Changes().Add(kRelease, 0.4);
    instance->Changes().Add(kOversample, factor == 16 ? 1.0 : 0.0);
    session.instances.push_back(std::move(instance));
  }

  // Each instance its own stretch of noise.
  const std::vector<float> left = Noise(static_cast<size_t>(kBlock) * kNoiseBlocks * 2, 1);
  const std::vector<float> right = Noise(static_cast<size_t>(kBlock) * kNoiseBlocks * 2, 2);
  const std::vector<float> silence(kBlock, 0.0f);
  std::vector<float> outL(kBlock), outR(kBlock);
  float* out[2] = {outL.data(), outR.data()};
  long block = 0;
  auto processAll = [&](bool passage) {
    for (int i = 0; i < kInstances; ++i) {
      const float* main[2];
      if (passage || i < playing) {
        const size_t at = static_cast<size_t>(((block + i * 7) % kNoiseBlocks) * kBlock);
        main[0] = left.data() + at;
        main[1] = right.data() + at;
      } else {
        main[0] = silence.data();
        main[1] = silence.data();
      }
      session.instances[static_cast<size_t>(i)]->Process(kBlock, const_cast<float* const*>(main), nullptr, out);
    }
    ++block;
  };
  // The passage of signal, then two seconds of the mix before timing.
  for (int b = 0; b < kNoiseBlocks; ++b) processAll(true);
  for (int b = 0; b < 2 * kNoiseBlocks; ++b) processAll(false);

  const double start = ThreadCpuNs();
  for (auto _ : state) {
    processAll(false);
    benchmark::DoNotOptimize(outL.data());
  }
  const double ns = (ThreadCpuNs() - start) / static_cast<double>(state.iterations());
  const double blockNs = kBlock / kRate * 1e9;
  state.counters["pct_core_48k"] = ns / blockNs * 100.0;
  state.counters["instances"] = kInstances;
  state.counters["playing"] = playing;
}
BENCHMARK(BM_Session)->ArgNames({"F", "playing"})->Args({4, 8})->Args({16, 8})->Args({4, 32})->Args({4, 0});

}  // namespace

int main(int argc, char** argv) {
  const std::string option = "--module=";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind(option, 0) == 0) {
      gModulePath = arg.substr(option.size());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
