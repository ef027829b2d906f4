#include "plugin/ColourStage.h"

#include <cmath>
#include <complex>
#include <iterator>
#include <utility>

#include "plugin/ShaperTable.h"

#if !(defined(__SSE2__) || defined(_M_X64))
#error "ColourStage needs SSE2 (every x86-64 target has it)"
#endif
#include <emmintrin.h>

namespace kestro {

namespace {

// 10th-order Bessel low-pass prototype, -3 dB at 1 rad/s: five conjugate
// pole pairs sigma +- j beta.
struct PolePair {
  double sigma;
  double beta;
};
constexpr PolePair kBesselPoles[] = {
    {-1.927619691324482, 0.2416234709451774},  {-1.8421962445659017, 0.7272575977534836},
    {-1.6618102413500957, 1.221100218591516},  {-1.3606922783857325, 1.73350574265843},
    {-0.8657569017089488, 2.2926048309837426},
};
static_assert(2 * std::size(kBesselPoles) == ColourStage::kOrder);

constexpr double kTwoPi = 6.283185307179586;
// Cut-off in cycles per input-rate sample, whatever the factor.
constexpr double kCutoff = 0.2;
// Drive into the shaper: 10^1.5.
constexpr double kPreGain = 31.622776601683793;
// Filter outputs this small (or not finite) are stored as 0: keeps the
// recursion out of denormals and lets a NaN or infinity die out.
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

std::array<double, ColourStage::kOrder + 1> DesignAllPole(int factor) {
  using Complex = std::complex<double>;
  const double fc = kCutoff / factor;
  const double omega = kTwoPi * fc;

  // A(z) = product of (z - pole), coefficients from z^10 down; each pole of
  // a pair is mapped on its own, positive beta first.
  std::array<Complex, ColourStage::kOrder + 1> a{};
  a[0] = 1.0;
  int degree = 0;
  for (const PolePair& pair : kBesselPoles) {
    for (const double beta : {pair.beta, -pair.beta}) {
      const double radius = std::exp(pair.sigma * omega);
      const Complex pole = radius * Complex(std::cos(beta * omega), std::sin(beta * omega));
      ++degree;
      for (int i = degree; i >= 1; --i) {
        a[i] = a[i] - pole * a[i - 1];
      }
    }
  }

  // Unity gain at 0 Hz: c0 = |A(1)|.
  Complex sum = a[0];
  for (int i = 1; i <= ColourStage::kOrder; ++i) {
    sum = sum + a[i];
  }
  std::array<double, ColourStage::kOrder + 1> c{};
  c[0] = std::abs(sum);
  for (int i = 1; i <= ColourStage::kOrder; ++i) {
    c[i] = -a[i].real() / a[0].real();
  }
  return c;
}

#if defined(__GNUC__)
#define KESTRO_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define KESTRO_ALWAYS_INLINE __forceinline
#endif

using LaneCoefficients = const double (*)[2];

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

// Lane-wise mask of the outputs that are kept: 2^-54 <= |y| < infinity.
// Everything else (tiny, infinite, NaN) is stored as +0. The decimation
// filter only ever sees shaper outputs (|s| < 1) and is stable, so its sums
// are always finite and the test against infinity can be left out there.
template <bool kMayBeNonFinite>
KESTRO_ALWAYS_INLINE __m128d KeepMask(__m128d y) {
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), y);
  const __m128d large = _mm_cmpge_pd(magnitude, _mm_set1_pd(kFlushLevel));  // false for NaN
  if constexpr (kMayBeNonFinite) {
    return _mm_and_pd(large, _mm_cmplt_pd(magnitude, _mm_set1_pd(HUGE_VAL)));
  } else {
    return large;
  }
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

// One filter's outputs during one call: out[m] is the output of step m
// (kFirst <= m < kSteps), stored[] the ten outputs before step kFirst,
// newest first. Everything is addressed by compile-time indices, so "h_k at
// step m" resolves to one of them without any shifting.
template <int kSteps, int kFirst, bool kMayBeNonFinite>
struct FilterRun {
  const double (*stored)[2];
  __m128d out[kSteps];   // flushed outputs: the history
  __m128d sum[kSteps];   // the same before the flush
  __m128d keep[kSteps];  // their keep masks

  template <int J, int K>
  KESTRO_ALWAYS_INLINE __m128d History() const {
    if constexpr (J - K >= kFirst) {
      return out[J - K];
    } else {
      return _mm_load_pd(stored[K - (J - kFirst) - 1]);
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
  KESTRO_ALWAYS_INLINE void Step(LaneCoefficients c, __m128d input, std::integer_sequence<int, K...>) {
    __m128d y;
    if constexpr (J == kFirst) {
      y = _mm_mul_pd(_mm_load_pd(c[1]), _mm_load_pd(stored[0]));
    } else {
      y = _mm_and_pd(_mm_mul_pd(_mm_load_pd(c[1]), sum[J - 1]), keep[J - 1]);
    }
    if constexpr (kHasInput) {
      y = _mm_add_pd(_mm_mul_pd(_mm_load_pd(c[0]), input), y);
    }
    ((y = _mm_add_pd(y, _mm_mul_pd(_mm_load_pd(c[K + 2]), History<J, K + 2>()))), ...);
    sum[J] = y;
    keep[J] = KeepMask<kMayBeNonFinite>(y);
    out[J] = _mm_and_pd(y, keep[J]);
  }

  template <int J, bool kHasInput>
  KESTRO_ALWAYS_INLINE void Step(LaneCoefficients c, __m128d input) {
    Step<J, kHasInput>(c, input, std::make_integer_sequence<int, ColourStage::kOrder - 1>());
  }

  // The ten newest outputs after the call, newest first.
  template <int K>
  KESTRO_ALWAYS_INLINE __m128d Newest() const {
    if constexpr (kSteps - 1 - K >= kFirst) {
      return out[kSteps - 1 - K];
    } else {
      return _mm_load_pd(stored[K - (kSteps - kFirst)]);
    }
  }

  template <int... K>
  KESTRO_ALWAYS_INLINE void StoreHistory(double (*history)[2], std::integer_sequence<int, K...>) const {
    // Read everything before writing: the history may feed itself.
    const __m128d newest[] = {Newest<K>()...};
    ((_mm_store_pd(history[K], newest[K])), ...);
  }
};

// How far the shaper and the decimation step trail the interpolation step
// in program order (in sub-samples). The interpolation chain is the serial
// path; issuing its next step before the shaper and decimation work that
// waits for its previous outputs keeps that work from crowding it out of
// the out-of-order window. The trailing work of a sample's last sub-samples
// is carried into the next call, so the pipeline never drains between
// samples.
constexpr int kShaperLag = 2;
constexpr int kDecimationLag = 1;
constexpr int kTrail = kShaperLag + kDecimationLag;

// One input sample at factor F. Iteration m issues the interpolation step
// of sub-sample m, the shaper for sub-sample m - kShaperLag and the
// decimation step for sub-sample m - kTrail; negative sub-samples belong to
// the previous input sample and use the coefficients and gain it was run
// with.
template <int F>
struct SampleRun {
  static_assert(F > kTrail, "the colour value (sub-sample 0) must be finished in its own call");
  static_assert((F & (F - 1)) == 0, "F must be a power of two for the exact gain folding below");

  LaneCoefficients c;
  LaneCoefficients carriedC;  // for the previous sample's trailing work
  __m128d x;
  __m128d shaperGain;         // a F
  __m128d carriedShaperGain;  // a F of the previous sample
  const double (*carriedShaped)[2];
  FilterRun<F, 0, true> interpolation;
  FilterRun<F, 0, false> decimation;
  __m128d shaped[F];

  template <int M>
  KESTRO_ALWAYS_INLINE void Issue() {
    const LaneCoefficients coefficients = Launder(c);
    interpolation.template Step<M, M == 0>(coefficients, x);
    // Shaper input a v with v = F y. F is a power of two, so a (F y) and
    // (a F) y are the same number.
    if constexpr (M >= kShaperLag) {
      shaped[M] = ShapePair(_mm_mul_pd(shaperGain, interpolation.out[M - kShaperLag]));
    } else {
      shaped[M] = ShapePair(_mm_mul_pd(carriedShaperGain, _mm_load_pd(interpolation.stored[kShaperLag - 1 - M])));
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
};

}  // namespace

ColourStage::ColourStage() {
  Prepare(kFactorLow);
  Clear();
}

void ColourStage::Prepare(int factor) {
  const int f = factor == kFactorHigh ? kFactorHigh : kFactorLow;
  if (f == factor_) {
    return;  // the design depends on the factor alone
  }
  // The last sample's trailing work still belongs to the factor it was run
  // with. (If there was no sample since the last change, the carried design
  // is already the right one.)
  if (carriedFactor_ == factor_) {
    for (int k = 0; k <= kOrder; ++k) {
      carriedCoefficients_[k][0] = laneCoefficients_[k][0];
      carriedCoefficients_[k][1] = laneCoefficients_[k][1];
    }
  }
  factor_ = f;
  coefficients_ = DesignAllPole(f);
  for (int k = 0; k <= kOrder; ++k) {
    laneCoefficients_[k][0] = coefficients_[k];
    laneCoefficients_[k][1] = coefficients_[k];
  }
}

void ColourStage::Clear() {
  // Trailing work on cleared histories yields zeros into zero histories: no
  // need to cancel it.
  for (int k = 0; k < kOrder; ++k) {
    for (int lane = 0; lane < 2; ++lane) {
      interpolationHistory_[k][lane] = 0.0;
      decimationHistory_[k][lane] = 0.0;
    }
  }
  for (auto& shaped : carriedShaped_) {
    shaped[0] = 0.0;
    shaped[1] = 0.0;
  }
}

// Inputs beyond this (or not finite) are damaged audio, not signal. The
// filters are linear, so a run of them drives the histories towards overflow,
// where the flush of infinities keeps the recursion from ever settling again;
// limited this way they stay far from it and decay as usual.
constexpr double kInputLimit = 1e6;

inline double SanitiseInput(double x) {
  if (std::fabs(x) <= kInputLimit) return x;  // false for NaN
  return std::isnan(x) ? 0.0 : std::copysign(kInputLimit, x);
}

void ColourStage::Run(double inLeft, double inRight, double& colourLeft, double& colourRight) {
  inLeft = SanitiseInput(inLeft);
  inRight = SanitiseInput(inRight);
  if (factor_ == kFactorHigh) {
    RunOversampled<kFactorHigh>(inLeft, inRight, colourLeft, colourRight);
  } else {
    RunOversampled<kFactorLow>(inLeft, inRight, colourLeft, colourRight);
  }
}

template <int F>
void ColourStage::RunOversampled(double inLeft, double inRight, double& colourLeft, double& colourRight) {
  static_assert(kDecimationLag <= kCarriedShaped);
  SampleRun<F> run;
  run.c = laneCoefficients_;
  run.x = _mm_set_pd(inRight, inLeft);
  run.shaperGain = _mm_set1_pd(kPreGain * F);
  if (carriedFactor_ == F) {
    run.carriedC = laneCoefficients_;
    run.carriedShaperGain = run.shaperGain;
  } else {
    run.carriedC = carriedCoefficients_;
    run.carriedShaperGain = _mm_set1_pd(kPreGain * carriedFactor_);
    carriedFactor_ = F;
  }
  run.carriedShaped = carriedShaped_;
  run.interpolation.stored = interpolationHistory_;
  run.decimation.stored = decimationHistory_;
  run.IssueAll(std::make_integer_sequence<int, F>());

  run.interpolation.StoreHistory(interpolationHistory_, std::make_integer_sequence<int, kOrder>());
  run.decimation.StoreHistory(decimationHistory_, std::make_integer_sequence<int, kOrder>());
  for (int i = 0; i < kDecimationLag; ++i) {
    _mm_store_pd(carriedShaped_[i], run.shaped[F - kDecimationLag + i]);
  }
  // The colour value is the decimation output of sub-sample 0.
  const __m128d colour = run.decimation.out[kTrail];
  colourLeft = _mm_cvtsd_f64(colour);
  colourRight = _mm_cvtsd_f64(_mm_unpackhi_pd(colour, colour));
}

double ColourStage::Shape(double x) {
  const double u = std::fabs(x) * kShaperScale;
  double magnitude = kShaperTable[0];
  if (u < kIndexLimit) {  // false for NaN too
    const int i = static_cast<int>(u);
    if (i >= kShaperLast) {
      magnitude = kShaperTable[kShaperLast];
    } else {
      const double fraction = u - i;
      magnitude =
          static_cast<double>(kShaperTable[i]) * (1.0 - fraction) + static_cast<double>(kShaperTable[i + 1]) * fraction;
    }
  }
  return std::copysign(magnitude, x);
}

}  // namespace kestro
