#pragma once

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

 private:
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

}  // namespace kestro
