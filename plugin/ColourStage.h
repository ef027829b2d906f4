#pragma once

#include <array>

#include "plugin/ColourKernel.h"

namespace kestro {

// The oversampled saturation that colours both main channels: per input
// sample and channel, F sub-samples (zero-stuffed) through a 10th-order
// all-pole interpolation low-pass, a table shaper and a matching decimation
// low-pass. Left and right share coefficients but never state; they run
// together in the lanes of one vector (with AVX, the interpolation and the
// decimation filters of both channels in one 256-bit vector), each lane
// doing exactly the operations of the scalar formula in the same order, so
// the results are those of the plain scalar computation bit for bit.
//
// Per call the serial interpolation chain sets the pace; the shaper and the
// decimation filter trail it by a few sub-samples, and the trailing work of
// a sample's last sub-samples is done at the start of the next call (with
// the design that sample was run with). That is invisible from outside:
// each call returns its own sample's colour value.
class ColourStage {
 public:
  static constexpr int kOrder = ColourKernelState::kOrder;
  static constexpr int kFactorLow = 4;
  static constexpr int kFactorHigh = 16;

  // Designed for the low factor with cleared histories.
  ColourStage();

  // Designs the coefficients for the factor (16 selects 16, anything else 4).
  // Histories are kept across factor changes.
  void Prepare(int factor);

  // One input sample per channel in, one colour value per channel out.
  void Run(double inLeft, double inRight, double& colourLeft, double& colourRight);

  // Run for a factor the caller already knows (F == Factor()), saving the
  // dispatch in a loop that runs many samples at one factor.
  template <int F>
  void RunAt(double inLeft, double inRight, double& colourLeft, double& colourRight) {
    if (avx_) {
      RunColourKernelAvx<F>(kernel_, inLeft, inRight, colourLeft, colourRight);
    } else {
      RunColourKernelSse2<F>(kernel_, inLeft, inRight, colourLeft, colourRight);
    }
  }

  // Zeroes all four filter histories (and the work carried between calls).
  void Clear();

  int Factor() const { return kernel_.factor; }

  // True when all four histories and the work carried between calls are
  // exactly +0. A run on +0 input then leaves them so and gives +0 colour
  // in both channels: every filter sum is a signed zero, flushed to +0.
  // (After a signal this is rare: the flush keeps a faint limit cycle going
  // in the filters, far below anything audible, that need never die out.
  // Clear brings the stage to rest.)
  bool AtRest() const;
  // True at the low factor when every history and every value carried
  // between calls is at most kRestLevel in magnitude. After a signal that
  // is the faint cycle above: silence then keeps every colour value below
  // kFaintColour, so clearing it changes the colour by no more than that.
  // A signal's decay passes this level within some 50 samples of silence.
  // (At the high factor the filters keep a cycle about 10^5 times larger,
  // which silence never takes below it.)
  bool Faded() const;
  static constexpr double kRestLevel = 1e-12;
  static constexpr double kFaintColour = 6e-13;  // 5.5e-13 is the largest seen
  // Stands for Run on +0 input while AtRest(): the only thing such a run
  // changes is which factor the (zero) carried work belongs to.
  void SkipSilence() { kernel_.carriedFactor = kernel_.factor; }

  // For sample loops that inline the kernel (SignalBlock.h).
  ColourKernelState& KernelState() { return kernel_; }

  // The kernel runs on 256-bit AVX vectors where the processor has them
  // (fewer instructions, identical results); this keeps it on plain SSE2,
  // for comparisons.
  void UseBaselineKernel() { avx_ = false; }
  bool UsesAvx() const { return avx_; }

  // c0 (input gain) and c1..c10 (feedback), shared by all four filters.
  const std::array<double, kOrder + 1>& Coefficients() const { return coefficients_; }

  // The shaper: table curve with the magnitude of x and its sign; saturates
  // at |x| = 1.4, and gives 0 for NaN or beyond the 32-bit index range.
  static double Shape(double x);

 private:
  std::array<double, kOrder + 1> coefficients_{};
  ColourKernelState kernel_;
  bool avx_ = false;
};

}  // namespace kestro
