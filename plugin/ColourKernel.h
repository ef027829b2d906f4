#pragma once

namespace kestro {

// Everything the colour stage's SIMD kernel reads and updates, owned by the
// ColourStage. Arrays are [index][lane], lane 0 left and lane 1 right.
struct ColourKernelState {
  static constexpr int kOrder = 10;
  // Upper bound of shaper outputs handed from one call to the next.
  static constexpr int kCarriedShaped = 2;

  int factor = 0;  // none designed yet
  // The design for the factor, each coefficient twice as the lanes load it.
  alignas(16) double coefficients[kOrder + 1][2]{};
  // Histories, newest first.
  alignas(16) double interpolationHistory[kOrder][2]{};
  alignas(16) double decimationHistory[kOrder][2]{};
  // Each call finishes the previous input sample's last shaper and
  // decimation steps (software pipelining across calls): the shaper outputs
  // waiting for decimation, and the factor and design that work belongs to
  // when the factor has changed in between.
  alignas(16) double carriedShaped[kCarriedShaped][2]{};
  alignas(16) double carriedCoefficients[kOrder + 1][2]{};
  int carriedFactor = 4;
};

// True when both the processor and the operating system support AVX.
bool CpuHasAvx();

// One input sample per channel through the kernel at factor F (state.factor
// must be F). The SSE2 build runs on every x86-64 processor; the AVX build
// does the same operations in fewer instructions, with identical results,
// and may only be called where CpuHasAvx() is true.
template <int F>
void RunColourKernelSse2(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                         double& colourRight);
template <int F>
void RunColourKernelAvx(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                        double& colourRight);

}  // namespace kestro
