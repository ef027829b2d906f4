#include "plugin/GainComputer.h"

#include <emmintrin.h>

namespace kestro {

namespace {
// 2 pi x 10 Hz, to eight decimals: the level detector's smoothing corner.
constexpr double kLevelOmega = 62.83185307;
// Decibels per octave of level: 20 log10(2).
constexpr double kDbPerOctave = 6.020599913279624;

// log2(m) = s (c1 + c3 s^2 + c5 s^4 + c7 s^6) with s = (m - 1) / (m + 1):
// the atanh series times 2 log2(e). For m within [1/sqrt 2, sqrt 2], |s| <
// 0.172 and the first term left out is below 5e-8.
constexpr float kLog2C1 = 2.8853900817779268f;
constexpr float kLog2C3 = 0.9617966939259756f;
constexpr float kLog2C5 = 0.5770780163555854f;
constexpr float kLog2C7 = 0.41219858311113244f;
constexpr float kSqrt2 = 1.4142135623730951f;

// 2^f for |f| <= 1/2 by its Taylor series to f^6 (error below 2e-7).
constexpr float kExp2C1 = 0.6931471805599453f;
constexpr float kExp2C2 = 0.2402265069591007f;
constexpr float kExp2C3 = 0.05550410866482158f;
constexpr float kExp2C4 = 0.009618129107628477f;
constexpr float kExp2C5 = 0.0013333558146428443f;
constexpr float kExp2C6 = 0.00015403530393381606f;

// Targets below 2^-99 (about 1.6e-30) get no estimate, nor do levels from
// 1e30 on, which a float would not hold.
constexpr float kLowestOctave = -99.0f;
constexpr double kHighestLevel = 1e30;
}  // namespace

void GainComputer::Prepare(double sampleRate, double thresholdDb, double kneeWidthDb, double ratio, double attackTime,
                           double releaseTime) {
  f_ = std::exp(-kLevelOmega / sampleRate);
  threshold_ = thresholdDb;
  kneeLow_ = thresholdDb - kneeWidthDb / 2.0;
  kneeHigh_ = thresholdDb + kneeWidthDb / 2.0;
  slope_ = 1.0 / ratio - 1.0;
  kneeScale_ = slope_ / (2.0 * kneeWidthDb);
  attack_ = attackTime == 0.0 ? 0.0 : std::exp(-1.0 / (attackTime * sampleRate));
  release_ = releaseTime == 0.0 ? 0.0 : std::exp(-1.0 / (releaseTime * sampleRate));
  // For e > 2 (1 - f), sqrt((1 - f) e) < e / sqrt(2): no rounding can
  // reverse the comparison.
  peakOnlyAbove_ = 2.0 * (1.0 - f_);
  // Levels below this are more than 1e-6 dB under the knee's lower edge,
  // far beyond any rounding of the logarithm: their gain is exactly 1.
  belowKneeUnder_ = std::pow(10.0, (kneeLow_ - 1e-6) / 20.0);

  // In octaves the gain is slope (u - threshold) above the knee and
  // kneeScale dB/oct (u - kneeLow)^2 inside it.
  octKneeLow_ = static_cast<float>(kneeLow_ / kDbPerOctave);
  octKneeHigh_ = static_cast<float>(kneeHigh_ / kDbPerOctave);
  octThreshold_ = static_cast<float>(threshold_ / kDbPerOctave);
  octSlope_ = static_cast<float>(slope_);
  octKneeScale_ = static_cast<float>(kneeScale_ * kDbPerOctave);
}

void GainComputer::EstimateTargets(const double* level, float* estimate, int count) const {
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128d highest = _mm_set1_pd(kHighestLevel);
  for (int i = 0; i < count; i += 4) {
    // Levels beyond the float range are limited here and get no estimate
    // below; minpd also turns a NaN into the limit.
    const __m128 x = _mm_movelh_ps(_mm_cvtpd_ps(_mm_min_pd(_mm_loadu_pd(level + i), highest)),
                                   _mm_cvtpd_ps(_mm_min_pd(_mm_loadu_pd(level + i + 2), highest)));

    // x = m 2^e with m within [1/sqrt 2, sqrt 2).
    const __m128i bits = _mm_castps_si128(x);
    __m128i exponent = _mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127));
    __m128 m = _mm_castsi128_ps(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007fffff)), _mm_castps_si128(one)));
    const __m128 large = _mm_cmpge_ps(m, _mm_set1_ps(kSqrt2));
    m = _mm_or_ps(_mm_andnot_ps(large, m), _mm_and_ps(large, _mm_mul_ps(m, _mm_set1_ps(0.5f))));
    exponent = _mm_sub_epi32(exponent, _mm_castps_si128(large));  // the mask is -1: one octave up
    const __m128 s = _mm_div_ps(_mm_sub_ps(m, one), _mm_add_ps(m, one));
    const __m128 s2 = _mm_mul_ps(s, s);
    __m128 log2m = _mm_add_ps(_mm_mul_ps(s2, _mm_set1_ps(kLog2C7)), _mm_set1_ps(kLog2C5));
    log2m = _mm_add_ps(_mm_mul_ps(s2, log2m), _mm_set1_ps(kLog2C3));
    log2m = _mm_add_ps(_mm_mul_ps(s2, log2m), _mm_set1_ps(kLog2C1));
    log2m = _mm_mul_ps(s, log2m);
    const __m128 octaves = _mm_cvtepi32_ps(exponent);
    const __m128 u = _mm_add_ps(octaves, log2m);

    // Gain in octaves; the integer part is subtracted first to keep the
    // small differences accurate.
    const __m128 aboveThreshold = _mm_add_ps(_mm_sub_ps(octaves, _mm_set1_ps(octThreshold_)), log2m);
    const __m128 intoKnee = _mm_add_ps(_mm_sub_ps(octaves, _mm_set1_ps(octKneeLow_)), log2m);
    const __m128 aboveGain = _mm_mul_ps(aboveThreshold, _mm_set1_ps(octSlope_));
    const __m128 kneeGain = _mm_mul_ps(_mm_mul_ps(intoKnee, intoKnee), _mm_set1_ps(octKneeScale_));
    const __m128 isAbove = _mm_cmpgt_ps(u, _mm_set1_ps(octKneeHigh_));
    const __m128 isKnee = _mm_andnot_ps(isAbove, _mm_cmpge_ps(u, _mm_set1_ps(octKneeLow_)));
    const __m128 v = _mm_or_ps(_mm_and_ps(isAbove, aboveGain), _mm_and_ps(isKnee, kneeGain));

    // 2^v = 2^n 2^f with n = round(v), |f| <= 1/2 (v is at most 0 here).
    const __m128i n = _mm_cvttps_epi32(_mm_sub_ps(v, _mm_set1_ps(0.5f)));
    const __m128 f = _mm_sub_ps(v, _mm_cvtepi32_ps(n));
    __m128 p = _mm_add_ps(_mm_mul_ps(f, _mm_set1_ps(kExp2C6)), _mm_set1_ps(kExp2C5));
    p = _mm_add_ps(_mm_mul_ps(f, p), _mm_set1_ps(kExp2C4));
    p = _mm_add_ps(_mm_mul_ps(f, p), _mm_set1_ps(kExp2C3));
    p = _mm_add_ps(_mm_mul_ps(f, p), _mm_set1_ps(kExp2C2));
    p = _mm_add_ps(_mm_mul_ps(f, p), _mm_set1_ps(kExp2C1));
    p = _mm_add_ps(_mm_mul_ps(f, p), one);
    const __m128 power = _mm_castsi128_ps(_mm_add_epi32(_mm_castps_si128(p), _mm_slli_epi32(n, 23)));

    // No estimate for a target too small, a level too large, or a gain that
    // is not a reduction (false for NaN too).
    const __m128 valid = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(v, _mm_set1_ps(kLowestOctave)), _mm_cmple_ps(v, _mm_setzero_ps())),
                                    _mm_cmplt_ps(x, _mm_set1_ps(static_cast<float>(kHighestLevel))));
    __m128 result = _mm_and_ps(valid, power);
    // Below the knee's lower edge the exact target is 1.
    const __m128 below = _mm_cmplt_ps(u, _mm_set1_ps(octKneeLow_));
    result = _mm_or_ps(_mm_andnot_ps(below, result), _mm_and_ps(below, one));
    _mm_storeu_ps(estimate + i, result);
  }
}

float GainComputer::EstimateTarget(double level) const {
  double levels[4] = {level, 0.0, 0.0, 0.0};
  float estimates[4];
  EstimateTargets(levels, estimates, 1);
  return estimates[0];
}

}  // namespace kestro
