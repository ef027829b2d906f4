#include "plugin/DetectorFilter.h"

#include <cmath>
#include <limits>

namespace kestro {

namespace {

constexpr double kDefaultRate = 44100.0;
constexpr double kMaxRate = 192000.0;

// Rate polynomial constants. Each is the float nearest the decimal written.
constexpr float kR4 = 1.5958936e-11f;
constexpr float kR6 = 2.6788213e-10f;
constexpr float kR8 = 1.1241482e-09f;
constexpr float kR1Offset = 9.463351e-33f;
constexpr float kR1 = 2.2482964e-09f;
constexpr float kR2 = 5.3576427e-10f;
constexpr float kR3 = 3.191787e-11f;
constexpr float kR5R10 = 2.8498242e-08f;
constexpr float kR7R11 = 2.3918167e-07f;
constexpr float kR9R12 = 6.9189555e-21f;
constexpr float kR9R12Offset = 4.7316755e-33f;

// Control smoothing: new share in double (float(0.007) widened), old share in float.
constexpr double kSmoothNew = 0.007000000216066837;
constexpr float kSmoothOld = 0.993f;

// Feedback polynomial constants.
constexpr float kA1P = 9.814121e-19f;
constexpr float kA1Const = 2.5444731e-05f;
constexpr float kA2P = 4.9070603e-19f;
constexpr float kA2Const = 1.2722366e-05f;

// Feed-forward polynomial constants (b1 is -2 b0 up to rounding).
constexpr float kB0P2 = 1.124137e-09f;
constexpr float kB0P = 2.6787947e-10f;
constexpr float kB0Const = 1.5958776e-11f;
constexpr float kB1P2 = 2.248274e-09f;
constexpr float kB1P = 5.3575894e-10f;
constexpr float kB1Const = 3.1917552e-11f;

}  // namespace

DetectorFilter::DetectorFilter() { UpdateRate(kDefaultRate); }

void DetectorFilter::UpdateRate(double sampleRate) {
  // Limit before truncating: converting a NaN or a rate beyond the int range
  // to an integer would be undefined, and any rate above the top is the top.
  double limited = 1.0;
  if (sampleRate >= kMaxRate) {
    limited = kMaxRate;
  } else if (sampleRate >= 1.0) {
    limited = sampleRate;
  }
  const int rate = static_cast<int>(limited);
  const float t = static_cast<float>(rate);
  if (t == t_ && coefficientsValid_) return;  // called every block; usually unchanged
  coefficientsValid_ = true;
  coefficientsP_ = std::numeric_limits<float>::quiet_NaN();  // the rate terms change the polynomials
  const float t2 = t * t;
  t_ = t;
  t2_ = t2;

  r4_ = t * kR4;
  r6_ = t * kR6;
  r8_ = t * kR8;
  r1_ = kR1Offset - t2 * kR1;
  r2_ = t2 * kR2;
  r3_ = t2 * kR3;
  r5_ = (r4_ - kR5R10) * t;
  r10_ = (r4_ + kR5R10) * t;
  r7_ = (r6_ - kR7R11) * t;
  r11_ = (r6_ + kR7R11) * t;
  r9_ = (r8_ + kR9R12) * t + kR9R12Offset;
  r12_ = (r8_ - kR9R12) * t + kR9R12Offset;
}

double DetectorFilter::Run(double x, double sideAmount) {
  const float smoothed = static_cast<float>((1.0 - sideAmount) * kSmoothNew) + kSmoothOld * p_;
  // A non-finite side amount would poison p, and with it the filter, for ever.
  if (std::isfinite(smoothed)) {
    p_ = smoothed;
  }
  const float p = p_;

  // The polynomials depend on p and the rate alone; once p has settled they
  // give the same numbers every sample, so they are only evaluated anew
  // when p or the rate changed.
  if (p != coefficientsP_) {
    coefficientsP_ = p;
    a1_ = (((p * r1_ - kA1P) - r2_) * p + kA1Const) - r3_;
    a2_ = (((p * r9_ - kA2P) + r7_) * p + kA2Const) + r5_;
    a0_ = (((p * r12_ - kA2P) + r11_) * p + kA2Const) + r10_;
    b0_ = (p * kB0P2 + kB0P) * p + kB0Const;
    b1_ = ((0.0f - p * kB1P2) - kB1P) * p - kB1Const;
  }
  const float a1 = a1_, a2 = a2_, a0 = a0_, b0 = b0_, b1 = b1_;

  const float feedback = (a1 * w1_ + a2 * w2_) / a0;
  const float w = static_cast<float>(x - static_cast<double>(feedback));

  const float y = ((b1 * w1_ + w * b0) + w2_ * b0) / a0 * t2_;

  w2_ = w1_;
  // A NaN or infinite input must not stay in the recursion: this sample's
  // output may be non-finite, the following ones start from silence.
  w1_ = std::isfinite(w) ? w : 0.0f;
  return y;
}

}  // namespace kestro
