#pragma once

// The colour stage's SIMD kernel. This header is compiled twice: into the
// stage itself for SSE2, which every x86-64 processor has, and into a unit
// built for AVX, which runs all four filters in one 256-bit vector and so
// does the same arithmetic in half the filter instructions. Everything here
// has internal linkage so that the two compilations can never be mixed up
// at link time.

#include <array>
#include <cmath>
#include <utility>

#include "plugin/ColourKernel.h"
#include "plugin/ColourStage.h"
#include "plugin/ShaperTable.h"

#if !(defined(__SSE2__) || defined(_M_X64))
#error "ColourStage needs SSE2 (every x86-64 target has it)"
#endif
#include <emmintrin.h>
#if defined(__AVX__)
#include <immintrin.h>
#endif

namespace kestro {
namespace {

// Filter outputs this small are stored as 0: keeps the recursion out of
// denormals. (The rule flushes non-finite outputs too, but the kernel never
// makes any; see KeepMask.)
constexpr double kFlushLevel = 0x1p-54;

// Shaper: the table is indexed by |x| times this single-precision scale.
constexpr double kShaperScale = static_cast<double>(142.143f);
constexpr int kShaperLast = kShaperTableSize - 1;
// Scaled magnitudes from here on (and NaN) have no 32-bit index; the curve
// gives them its first entry.
constexpr double kIndexLimit = 2147483648.0;

// The table in double with t[199] repeated once more, so that a 16-byte
// load at entry i fetches both interpolation ends, t[i] and t[i + 1], for
// any i up to 199; a lane clamped to 199 then interpolates t[199] with
// t[199] and a zero fraction, which is exactly t[199].
constexpr std::array<double, kShaperTableSize + 1> MakeGuardedTable() {
  std::array<double, kShaperTableSize + 1> table{};
  for (int i = 0; i < kShaperTableSize; ++i) {
    table[i] = static_cast<double>(kShaperTable[i]);
  }
  table[kShaperTableSize] = table[kShaperLast];
  return table;
}
constexpr std::array<double, kShaperTableSize + 1> kGuardedTable = MakeGuardedTable();

#if defined(__GNUC__)
#define KESTRO_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KESTRO_ALWAYS_INLINE __forceinline
#endif

// Rows of four coefficient lanes (see ColourKernelState).
using LaneCoefficients = const double (*)[ColourKernelState::kLanes];
constexpr int kRow = ColourKernelState::kLanes;

// Re-reads the coefficient pointer as an unknown value. Without it the
// compiler keeps all eleven coefficients in registers for the whole call,
// leaving too few for the filter states, and then spills the one value on
// the serial path; as memory operands they cost only loads.
KESTRO_ALWAYS_INLINE LaneCoefficients Launder(LaneCoefficients c) {
#if defined(__GNUC__)
  asm("" : "+r"(c));
#endif
  return c;
}

// The vector operations the filters need, for two lanes (one filter pair)
// and, in the AVX build, four (both pairs).
struct TwoLanes {
  using V = __m128d;
  static V Load(const double* p) { return _mm_load_pd(p); }
  static void Store(double* p, V v) { _mm_store_pd(p, v); }
  static V Set1(double x) { return _mm_set1_pd(x); }
  static V Add(V a, V b) { return _mm_add_pd(a, b); }
  static V Mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V And(V a, V b) { return _mm_and_pd(a, b); }
  static V AndNot(V a, V b) { return _mm_andnot_pd(a, b); }
  static V GreaterEqual(V a, V b) { return _mm_cmpge_pd(a, b); }
};

#if defined(__AVX__)
struct FourLanes {
  using V = __m256d;
  static V Load(const double* p) { return _mm256_load_pd(p); }
  static void Store(double* p, V v) { _mm256_store_pd(p, v); }
  static V Set1(double x) { return _mm256_set1_pd(x); }
  static V Add(V a, V b) { return _mm256_add_pd(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V And(V a, V b) { return _mm256_and_pd(a, b); }
  static V AndNot(V a, V b) { return _mm256_andnot_pd(a, b); }
  static V GreaterEqual(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GE_OS); }
};
#endif

// Lane-wise mask of the outputs that are kept: |y| >= 2^-54; smaller ones
// are stored as +0. The test against infinity and NaN is left out: no sum
// can be non-finite, since the input is limited to 1e6 (SanitiseInput),
// both filters are stable with unity gain at 0 Hz, and the decimation
// filter only ever sees shaper outputs (|s| < 1).
template <class L>
KESTRO_ALWAYS_INLINE typename L::V KeepMask(typename L::V y) {
  const typename L::V magnitude = L::AndNot(L::Set1(-0.0), y);
  return L::GreaterEqual(magnitude, L::Set1(kFlushLevel));
}

// The shaper on both lanes, without branches. Clamping u to 199 before
// truncating makes saturated lanes interpolate t[199] with itself (minpd
// also turns a NaN into 199); lanes whose u has no 32-bit index (NaN, 2^31
// and beyond) are masked to t[0] = 0 at the end. Below 199 the arithmetic
// is the scalar formula's.
KESTRO_ALWAYS_INLINE __m128d ShapePair(__m128d x) {
  static_assert(kShaperTable[0] == 0.0f, "lanes without an index are masked to zero");
  const __m128d signMask = _mm_set1_pd(-0.0);
  const __m128d u = _mm_mul_pd(_mm_andnot_pd(signMask, x), _mm_set1_pd(kShaperScale));
  const __m128d clamped = _mm_min_pd(u, _mm_set1_pd(kShaperLast));
  const __m128i index = _mm_cvttpd_epi32(clamped);
  const __m128d fraction = _mm_sub_pd(clamped, _mm_cvtepi32_pd(index));
  // Indices are below 200: 16 bits each, lanes at words 0 and 2.
  const __m128d left = _mm_loadu_pd(&kGuardedTable[_mm_extract_epi16(index, 0)]);
  const __m128d right = _mm_loadu_pd(&kGuardedTable[_mm_extract_epi16(index, 2)]);
  const __m128d lower = _mm_unpacklo_pd(left, right);
  const __m128d upper = _mm_unpackhi_pd(left, right);
  const __m128d magnitude =
      _mm_add_pd(_mm_mul_pd(lower, _mm_sub_pd(_mm_set1_pd(1.0), fraction)), _mm_mul_pd(upper, fraction));
  const __m128d indexed = _mm_cmplt_pd(u, _mm_set1_pd(kIndexLimit));  // false for NaN
  return _mm_or_pd(_mm_and_pd(magnitude, indexed), _mm_and_pd(x, signMask));
}

// One run of filters (a pair of lanes, or all four) during one call: out[m]
// is the output of step m (kFirst <= m < kSteps), stored the rows of the ten
// outputs before step kFirst, newest first, starting at this run's lanes.
// Everything is addressed by compile-time indices, so "h_k at step m"
// resolves to one of them without any shifting.
template <class L, int kSteps, int kFirst, int kLane = 0>
struct FilterRun {
  using V = typename L::V;
  double* stored;  // rows kRow doubles apart
  V out[kSteps];   // flushed outputs: the history
  V sum[kSteps];   // the same before the flush
  V keep[kSteps];  // their keep masks

  KESTRO_ALWAYS_INLINE V Stored(int k) const { return L::Load(stored + k * kRow); }
  KESTRO_ALWAYS_INLINE static V Coefficient(LaneCoefficients c, int k) { return L::Load(c[k] + kLane); }

  template <int J, int K>
  KESTRO_ALWAYS_INLINE V History() const {
    if constexpr (J - K >= kFirst) {
      return out[J - K];
    } else {
      return Stored(K - (J - kFirst) - 1);
    }
  }

  // Step J: y = c0 x + c1 h1 + c2 h2 + ... + c10 h10, summed strictly left
  // to right, then flushed. Two rewrites keep the serial path (previous
  // output to this one) short without changing a stored bit:
  // - c1 h1 is formed as c1 times the unflushed sum, masked by the keep
  //   mask, so the multiply need not wait for the flush. For a flushed h1
  //   both give a zero, at most of the other sign.
  // - Without input (zero stuffing) c0 * 0 + c1 h1 differs from c1 h1 at
  //   most in the sign of a zero.
  // A zero's sign only survives into y if every term is zero, and then the
  // flush of y turns it into +0.
  template <int J, bool kHasInput, int... K>
  KESTRO_ALWAYS_INLINE void Step(LaneCoefficients c, V input, std::integer_sequence<int, K...>) {
    V y;
    if constexpr (J == kFirst) {
      y = L::Mul(Coefficient(c, 1), Stored(0));
    } else {
      y = L::And(L::Mul(Coefficient(c, 1), sum[J - 1]), keep[J - 1]);
    }
    if constexpr (kHasInput) {
      y = L::Add(L::Mul(Coefficient(c, 0), input), y);
    }
    ((y = L::Add(y, L::Mul(Coefficient(c, K + 2), History<J, K + 2>()))), ...);
    sum[J] = y;
    keep[J] = KeepMask<L>(y);
    out[J] = L::And(y, keep[J]);
  }

  template <int J, bool kHasInput>
  KESTRO_ALWAYS_INLINE void Step(LaneCoefficients c, V input) {
    Step<J, kHasInput>(c, input, std::make_integer_sequence<int, ColourStage::kOrder - 1>());
  }

  // The ten newest outputs after the call, newest first.
  template <int K>
  KESTRO_ALWAYS_INLINE V Newest() const {
    if constexpr (kSteps - 1 - K >= kFirst) {
      return out[kSteps - 1 - K];
    } else {
      return Stored(K - (kSteps - kFirst));
    }
  }

  // Writes them back in place of the stored rows.
  template <int... K>
  KESTRO_ALWAYS_INLINE void StoreHistory(std::integer_sequence<int, K...>) const {
    // Read everything before writing: the history feeds itself.
    const V newest[] = {Newest<K>()...};
    ((L::Store(stored + K * kRow, newest[K])), ...);
  }
  KESTRO_ALWAYS_INLINE void StoreHistory() const {
    StoreHistory(std::make_integer_sequence<int, ColourStage::kOrder>());
  }
};

// How far the shaper and the decimation step trail the interpolation step
// in program order (in sub-samples). The interpolation chain is the serial
// path; issuing its next step before the shaper and decimation work that
// waits for its previous outputs keeps that work from crowding it out of
// the out-of-order window. The trailing work of a sample's last sub-samples
// is carried into the next call, so the pipeline never drains between
// samples. Both kernels keep the same lags, so that they leave the state
// in the same form.
constexpr int kShaperLag = 2;
constexpr int kDecimationLag = 1;
constexpr int kTrail = kShaperLag + kDecimationLag;

// Drive into the shaper: 10^1.5.
constexpr double kPreGain = 31.622776601683793;

// What one call of either kernel starts from.
template <int F>
struct SampleStart {
  static_assert(F > kTrail, "the colour value (sub-sample 0) must be finished in its own call");
  static_assert((F & (F - 1)) == 0, "F must be a power of two for the exact gain folding below");

  LaneCoefficients c;
  LaneCoefficients carriedC;  // for the previous sample's trailing work
  __m128d shaperGain;         // a F
  __m128d carriedShaperGain;  // a F of the previous sample
  const double (*carriedShaped)[2];

  explicit SampleStart(ColourKernelState& state) : c(state.coefficients), carriedShaped(state.carriedShaped) {
    static_assert(kDecimationLag <= ColourKernelState::kCarriedShaped);
    shaperGain = _mm_set1_pd(kPreGain * F);
    if (state.carriedFactor == F) {
      carriedC = state.coefficients;
      carriedShaperGain = shaperGain;
    } else {
      carriedC = state.transitionCoefficients;
      carriedShaperGain = _mm_set1_pd(kPreGain * state.carriedFactor);
      state.carriedFactor = F;
    }
  }

  // Shaper input a v with v = F y. F is a power of two, so a (F y) and
  // (a F) y are the same number. Sub-sample M - kShaperLag; negative ones
  // belong to the previous input sample, whose interpolation outputs are
  // the newest stored ones.
  template <int M>
  KESTRO_ALWAYS_INLINE __m128d Shape(__m128d interpolated) const {
    return ShapePair(_mm_mul_pd(M >= kShaperLag ? shaperGain : carriedShaperGain, interpolated));
  }
};

// One input sample at factor F with the filter pairs in separate 128-bit
// vectors. Iteration m issues the interpolation step of sub-sample m, the
// shaper for sub-sample m - kShaperLag and the decimation step for
// sub-sample m - kTrail; negative sub-samples belong to the previous input
// sample and use the coefficients and gain it was run with.
template <int F>
struct PairRun : SampleStart<F> {
  using SampleStart<F>::SampleStart;
  using SampleStart<F>::c;
  using SampleStart<F>::carriedC;
  using SampleStart<F>::carriedShaped;

  __m128d x;
  FilterRun<TwoLanes, F, 0, ColourKernelState::kInterpolationLanes> interpolation;
  FilterRun<TwoLanes, F, 0, ColourKernelState::kDecimationLanes> decimation;
  __m128d shaped[F];

  template <int M>
  KESTRO_ALWAYS_INLINE void Issue() {
    const LaneCoefficients coefficients = Launder(c);
    interpolation.template Step<M, M == 0>(coefficients, x);
    if constexpr (M >= kShaperLag) {
      shaped[M] = this->template Shape<M>(interpolation.out[M - kShaperLag]);
    } else {
      shaped[M] = this->template Shape<M>(interpolation.Stored(kShaperLag - 1 - M));
    }
    if constexpr (M >= kDecimationLag) {
      const LaneCoefficients dc = M >= kTrail ? coefficients : Launder(carriedC);
      decimation.template Step<M, true>(dc, shaped[M - kDecimationLag]);
    } else {
      decimation.template Step<M, true>(Launder(carriedC), _mm_load_pd(carriedShaped[M]));
    }
  }

  template <int... M>
  KESTRO_ALWAYS_INLINE void IssueAll(std::integer_sequence<int, M...>) {
    (Issue<M>(), ...);
  }

  KESTRO_ALWAYS_INLINE __m128d Run(ColourKernelState& state, __m128d input) {
    x = input;
    interpolation.stored = &state.history[0][ColourKernelState::kInterpolationLanes];
    decimation.stored = &state.history[0][ColourKernelState::kDecimationLanes];
    IssueAll(std::make_integer_sequence<int, F>());
    interpolation.StoreHistory();
    decimation.StoreHistory();
    for (int i = 0; i < kDecimationLag; ++i) {
      _mm_store_pd(state.carriedShaped[i], shaped[F - kDecimationLag + i]);
    }
    // The colour value is the decimation output of sub-sample 0.
    return decimation.out[kTrail];
  }
};

#if defined(__AVX__)
// The same schedule with both filter pairs in one 256-bit vector: step m
// runs the interpolation lanes for sub-sample m and the decimation lanes
// for sub-sample m - kTrail, so each filter operation is one instruction
// instead of two. The interpolation lanes take the input c0 v of their
// zero-stuffed sub-samples too (c0 * 0: at most the sign of a zero differs,
// as above), which makes their serial path as long as the decimation
// filter's, never longer.
template <int F>
struct QuadRun : SampleStart<F> {
  using SampleStart<F>::SampleStart;
  using SampleStart<F>::c;
  using SampleStart<F>::carriedC;
  using SampleStart<F>::carriedShaped;

  __m128d x;
  FilterRun<FourLanes, F, 0> filters;
  __m128d shaped[F];

  template <int M>
  KESTRO_ALWAYS_INLINE void Issue() {
    __m128d decimationInput;
    if constexpr (M >= kDecimationLag) {
      decimationInput = shaped[M - kDecimationLag];
    } else {
      decimationInput = _mm_load_pd(carriedShaped[M]);
    }
    const __m128d interpolationInput = M == 0 ? x : _mm_setzero_pd();
    const __m256d input = _mm256_insertf128_pd(_mm256_castpd128_pd256(interpolationInput), decimationInput, 1);
    // Until kTrail the decimation lanes still work for the previous sample.
    filters.template Step<M, true>(Launder(M >= kTrail ? c : carriedC), input);
    if constexpr (M >= kShaperLag) {
      shaped[M] = this->template Shape<M>(_mm256_castpd256_pd128(filters.out[M - kShaperLag]));
    } else {
      shaped[M] = this->template Shape<M>(_mm_load_pd(filters.stored + (kShaperLag - 1 - M) * kRow));
    }
  }

  template <int... M>
  KESTRO_ALWAYS_INLINE void IssueAll(std::integer_sequence<int, M...>) {
    (Issue<M>(), ...);
  }

  KESTRO_ALWAYS_INLINE __m128d Run(ColourKernelState& state, __m128d input) {
    x = input;
    filters.stored = &state.history[0][0];
    IssueAll(std::make_integer_sequence<int, F>());
    filters.StoreHistory();
    for (int i = 0; i < kDecimationLag; ++i) {
      _mm_store_pd(state.carriedShaped[i], shaped[F - kDecimationLag + i]);
    }
    return _mm256_extractf128_pd(filters.out[kTrail], 1);
  }
};
#endif

// Inputs beyond this (or not finite) are damaged audio, not signal. The
// filters are linear, so a run of them would drive the histories towards
// overflow; limited this way they stay far from it, decay as usual, and
// never hold anything but finite numbers.
constexpr double kInputLimit = 1e6;

KESTRO_ALWAYS_INLINE double SanitiseInput(double x) {
  if (std::fabs(x) <= kInputLimit) return x;  // false for NaN
  return std::isnan(x) ? 0.0 : std::copysign(kInputLimit, x);
}

// One input sample per channel through the oversampled stage at factor F.
template <int F>
KESTRO_ALWAYS_INLINE void RunColourKernel(ColourKernelState& state, double inLeft, double inRight,
                                          double& colourLeft, double& colourRight) {
  const __m128d input = _mm_set_pd(SanitiseInput(inRight), SanitiseInput(inLeft));
#if defined(__AVX__)
  QuadRun<F> run(state);
#else
  PairRun<F> run(state);
#endif
  const __m128d colour = run.Run(state, input);
  colourLeft = _mm_cvtsd_f64(colour);
  colourRight = _mm_cvtsd_f64(_mm_unpackhi_pd(colour, colour));
}

}  // namespace
}  // namespace kestro
