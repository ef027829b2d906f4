// Colour stage cost against its floor: the one chain of dependent filter
// evaluations no implementation can shorten (one channel's interpolation
// filter, F steps per input sample, each waiting for the previous output).
// Stereo noise in 256-sample blocks as the signal path runs it (Prepare at
// every block start); the counter "per_sample" is the time per input sample
// (per stereo pair for the stage). Release build:
//   plugin_bench --benchmark_filter='Floor|ColourStage' --benchmark_repetitions=5
// The stage keeps the out-of-order window busy, so its figures vary more
// than the floor's when the machine is shared; compare minima.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "plugin/ColourStage.h"

namespace {

constexpr int kBlock = 256;
constexpr int kBlocks = 188;  // about one second at 48 kHz
constexpr int kOrder = kestro::ColourStage::kOrder;

struct StereoNoise {
  std::vector<double> left;
  std::vector<double> right;
};

// Programme-like level: mostly inside the shaper's table, sometimes beyond.
const StereoNoise& Noise() {
  static const StereoNoise noise = [] {
    StereoNoise n;
    std::mt19937 rng(1234);
    std::normal_distribution<double> dist(0.0, 0.03);
    for (int i = 0; i < kBlock * kBlocks; ++i) {
      n.left.push_back(dist(rng));
      n.right.push_back(dist(rng));
    }
    return n;
  }();
  return noise;
}

// The interpolation filter of one channel, written for latency alone: the
// same coefficients, summation order and branchless flush as the stage, and
// the same shortcuts on the serial path (c1 h1 from the unflushed sum under
// the flush mask; no c0 term for the zero-stuffed sub-samples). No shaper,
// no decimation, one lane used.
template <int F>
class InterpolationChain {
 public:
  InterpolationChain() {
    kestro::ColourStage design;
    design.Prepare(F);
    for (int k = 0; k <= kOrder; ++k) {
      c_[k] = _mm_set1_pd(design.Coefficients()[k]);
    }
    for (__m128d& h : history_) {
      h = _mm_setzero_pd();
    }
  }

  double Run(double x) {
    __m128d h[F + kOrder];  // outputs written downwards: no shifting
    for (int k = 0; k < kOrder; ++k) {
      h[F + k] = history_[k];
    }
    const __m128d input = _mm_set_sd(x);
    __m128d sum = _mm_setzero_pd();
    __m128d keep = _mm_setzero_pd();
#if defined(__clang__)
#pragma unroll
#elif defined(__GNUC__)
#pragma GCC unroll 16
#endif
    for (int j = 0; j < F; ++j) {
      const int at = F - j;
      __m128d y;
      if (j == 0) {
        y = _mm_add_pd(_mm_mul_pd(c_[0], input), _mm_mul_pd(c_[1], h[at]));
      } else {
        y = _mm_and_pd(_mm_mul_pd(c_[1], sum), keep);
      }
#if defined(__clang__)
#pragma unroll
#elif defined(__GNUC__)
#pragma GCC unroll 9
#endif
      for (int k = 2; k <= kOrder; ++k) {
        y = _mm_add_pd(y, _mm_mul_pd(c_[k], h[at + k - 1]));
      }
      const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), y);
      keep = _mm_and_pd(_mm_cmpge_pd(magnitude, _mm_set1_pd(0x1p-54)), _mm_cmplt_pd(magnitude, _mm_set1_pd(HUGE_VAL)));
      sum = y;
      h[at - 1] = _mm_and_pd(y, keep);
    }
    for (int k = 0; k < kOrder; ++k) {
      history_[k] = h[k];
    }
    return _mm_cvtsd_f64(h[F - 1]);
  }

 private:
  __m128d c_[kOrder + 1];
  __m128d history_[kOrder];
};

template <int F>
void RunFloor(benchmark::State& state) {
  const StereoNoise& noise = Noise();
  InterpolationChain<F> chain;
  std::array<double, kBlock> out{};
  int block = 0;
  for (auto _ : state) {
    const double* in = noise.left.data() + block * kBlock;
    for (int n = 0; n < kBlock; ++n) {
      out[n] = chain.Run(in[n]);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocks;
  }
  state.counters["per_sample"] =
      benchmark::Counter(kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_InterpolationFloor(benchmark::State& state) {
  if (state.range(0) == 16) {
    RunFloor<16>(state);
  } else {
    RunFloor<4>(state);
  }
}
BENCHMARK(BM_InterpolationFloor)->Arg(4)->Arg(16);

void RunStage(benchmark::State& state, bool baseline) {
  const StereoNoise& noise = Noise();
  const int factor = static_cast<int>(state.range(0));
  kestro::ColourStage stage;
  if (baseline) stage.UseBaselineKernel();
  state.SetLabel(stage.UsesAvx() ? "avx" : "sse2");
  std::array<double, kBlock> outL{};
  std::array<double, kBlock> outR{};
  int block = 0;
  for (auto _ : state) {
    stage.Prepare(factor);  // as the signal path does at every block start
    const double* inL = noise.left.data() + block * kBlock;
    const double* inR = noise.right.data() + block * kBlock;
    for (int n = 0; n < kBlock; ++n) {
      stage.Run(inL[n], inR[n], outL[n], outR[n]);
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
    benchmark::ClobberMemory();
    block = (block + 1) % kBlocks;
  }
  state.counters["per_sample"] =
      benchmark::Counter(kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// The kernel the processor gets (AVX encoding where available), and the
// plain SSE2 build every x86-64 processor can run.
void BM_ColourStage(benchmark::State& state) { RunStage(state, false); }
void BM_ColourStageSse2(benchmark::State& state) { RunStage(state, true); }
BENCHMARK(BM_ColourStage)->Arg(4)->Arg(16);
BENCHMARK(BM_ColourStageSse2)->Arg(4)->Arg(16);

}  // namespace

BENCHMARK_MAIN();
