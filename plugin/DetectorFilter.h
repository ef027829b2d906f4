#pragma once

#include <cmath>
#include <limits>

namespace kestro {

// Second-order high-pass in front of the level detector, one instance per
// detector channel. It computes in single precision with fixed evaluation
// orders: its exact output (rounding included) is part of the compressor's
// behaviour, so every operation below is written out rather than simplified.
class DetectorFilter {
 public:
  // Coefficients for 44100 Hz until the first UpdateRate, so that a filter
  // run before it still computes something sensible.
  DetectorFilter();

  // Recomputes T, T2 and r1..r12 from the sample rate (limited to 1..192000).
  void UpdateRate(double sampleRate);

  // Filters one sample; sideAmount (0.3..0.99) sets the corner through the
  // smoothed control p.
  double Run(double x, double sideAmount);

  // The smoothed control p.
  float SmoothedControl() const { return p_; }

  // True when the other filter has the same rate, control and coefficients
  // (filters made, reset and fed side amounts together always do): then the
  // two differ in their signal state alone.
  bool SameSettings(const DetectorFilter& other) const;

  // SameSettings, and the same signal state bit for bit.
  bool SameState(const DetectorFilter& other) const;

 private:
  friend class DetectorPair;

  // Smooths the control towards the side amount and brings the polynomial
  // coefficients up to date with it.
  void SmoothControl(double sideAmount);

  // Control smoothing: new share in double (float(0.007) widened), old share in float.
  static constexpr double kSmoothNew = 0.007000000216066837;
  static constexpr float kSmoothOld = 0.993f;

  // Feedback polynomial constants.
  static constexpr float kA1P = 9.814121e-19f;
  static constexpr float kA1Const = 2.5444731e-05f;
  static constexpr float kA2P = 4.9070603e-19f;
  static constexpr float kA2Const = 1.2722366e-05f;

  // Feed-forward polynomial constants (b1 is -2 b0 up to rounding).
  static constexpr float kB0P2 = 1.124137e-09f;
  static constexpr float kB0P = 2.6787947e-10f;
  static constexpr float kB0Const = 1.5958776e-11f;
  static constexpr float kB1P2 = 2.248274e-09f;
  static constexpr float kB1P = 5.3575894e-10f;
  static constexpr float kB1Const = 3.1917552e-11f;

  float t_ = 1.0f;   // rate limited to 1..192000
  float t2_ = 1.0f;  // t_ * t_
  float r1_ = 0.0f, r2_ = 0.0f, r3_ = 0.0f, r4_ = 0.0f, r5_ = 0.0f, r6_ = 0.0f;
  float r7_ = 0.0f, r8_ = 0.0f, r9_ = 0.0f, r10_ = 0.0f, r11_ = 0.0f, r12_ = 0.0f;
  float p_ = 0.0f;
  // Feedback and feed-forward terms for coefficientsP_ (NaN: none yet).
  float coefficientsP_ = std::numeric_limits<float>::quiet_NaN();
  float a1_ = 0.0f, a2_ = 0.0f, a0_ = 1.0f, b0_ = 0.0f, b1_ = 0.0f;
  bool coefficientsValid_ = false;
  float w1_ = 0.0f;  // newest internal value
  float w2_ = 0.0f;
};

inline void DetectorFilter::SmoothControl(double sideAmount) {
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
}

inline double DetectorFilter::Run(double x, double sideAmount) {
  SmoothControl(sideAmount);
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
