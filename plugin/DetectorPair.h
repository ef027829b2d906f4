#pragma once

#include <emmintrin.h>

#include <cmath>

#include "plugin/DetectorFilter.h"

namespace kestro {

// Runs the two detector filters of a stereo signal side by side in the
// lanes of one vector: each lane does exactly the operations of
// DetectorFilter::Run, so the outputs and states are the filters' own bit
// for bit, at about half the instructions. The signal state lives here
// while the pair runs; Store writes it back. Filters whose settings differ
// (never the case for two that are made, reset and fed together) are simply
// run one after the other.
class DetectorPair {
 public:
  DetectorPair(DetectorFilter& left, DetectorFilter& right);

  // Filters one sample per channel.
  void Run(double left, double right, double sideAmount, double& outLeft, double& outRight);

  // Writes the signal state and the control back to both filters.
  void Store();

  // Takes the filters' states anew, after they were replaced.
  void Reload();

  bool Paired() const { return paired_; }

 private:
  void Broadcast();

  DetectorFilter& left_;
  DetectorFilter& right_;
  bool paired_ = false;
  // Lane 0 left, lane 1 right (lanes 2 and 3 unused).
  __m128 w1_{};
  __m128 w2_{};
  __m128 a1_{}, a2_{}, a0_{}, b0_{}, b1_{}, t2_{};
  float broadcastP_ = 0.0f;  // the control the coefficients above belong to
};

// Always inlined: the sample loop is built for several instruction sets,
// and an out-of-line copy from one of those builds must never be shared
// with the others.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void DetectorPair::Run(double left, double right, double sideAmount, double& outLeft, double& outRight) {
  if (!paired_) {
    outLeft = left_.Run(left, sideAmount);
    outRight = right_.Run(right, sideAmount);
    return;
  }
  // One control for both: they start equal and see the same side amount.
  left_.SmoothControl(sideAmount);
  if (left_.coefficientsP_ != broadcastP_) Broadcast();

  const __m128 feedback = _mm_div_ps(_mm_add_ps(_mm_mul_ps(a1_, w1_), _mm_mul_ps(a2_, w2_)), a0_);
  const __m128d x = _mm_set_pd(right, left);
  const __m128 w = _mm_cvtpd_ps(_mm_sub_pd(x, _mm_cvtps_pd(feedback)));
  const __m128 y = _mm_mul_ps(
      _mm_div_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(b1_, w1_), _mm_mul_ps(w, b0_)), _mm_mul_ps(w2_, b0_)), a0_), t2_);
  w2_ = w1_;
  // Non-finite values leave the recursion as in the single filter.
  const __m128 finite = _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), w), _mm_set1_ps(HUGE_VALF));
  w1_ = _mm_and_ps(w, finite);

  const __m128d out = _mm_cvtps_pd(y);
  outLeft = _mm_cvtsd_f64(out);
  outRight = _mm_cvtsd_f64(_mm_unpackhi_pd(out, out));
}

}  // namespace kestro
