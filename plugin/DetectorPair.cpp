#include "plugin/DetectorPair.h"

namespace kestro {

DetectorPair::DetectorPair(DetectorFilter& left, DetectorFilter& right) : left_(left), right_(right) { Reload(); }

void DetectorPair::Reload() {
  paired_ = left_.SameSettings(right_);
  w1_ = _mm_setr_ps(left_.w1_, right_.w1_, 0.0f, 0.0f);
  w2_ = _mm_setr_ps(left_.w2_, right_.w2_, 0.0f, 0.0f);
  Broadcast();
}

void DetectorPair::Broadcast() {
  broadcastP_ = left_.coefficientsP_;
  a1_ = _mm_set1_ps(left_.a1_);
  a2_ = _mm_set1_ps(left_.a2_);
  a0_ = _mm_set1_ps(left_.a0_);
  b0_ = _mm_set1_ps(left_.b0_);
  b1_ = _mm_set1_ps(left_.b1_);
  t2_ = _mm_set1_ps(left_.t2_);
}

void DetectorPair::Store() {
  if (!paired_) return;  // the filters ran on their own
  alignas(16) float w1[4];
  alignas(16) float w2[4];
  _mm_store_ps(w1, w1_);
  _mm_store_ps(w2, w2_);
  left_.w1_ = w1[0];
  right_.w1_ = w1[1];
  left_.w2_ = w2[0];
  right_.w2_ = w2[1];
  // The right filter's control and coefficients followed the left's.
  right_.p_ = left_.p_;
  right_.coefficientsP_ = left_.coefficientsP_;
  right_.a1_ = left_.a1_;
  right_.a2_ = left_.a2_;
  right_.a0_ = left_.a0_;
  right_.b0_ = left_.b0_;
  right_.b1_ = left_.b1_;
}

}  // namespace kestro
