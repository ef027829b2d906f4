#pragma once

namespace kestro {

// Everything the colour stage's SIMD kernels read and update, owned by the
// ColourStage. Rows hold four lanes: left and right of the interpolation
// filters, then left and right of the decimation filters. The SSE2 kernel
// works on one pair of lanes at a time, the AVX kernel on all four at once.
struct ColourKernelState {
  static constexpr int kOrder = 10;
  static constexpr int kLanes = 4;
  static constexpr int kInterpolationLanes = 0;  // first lane of each pair
  static constexpr int kDecimationLanes = 2;
  // Upper bound of shaper outputs handed from one call to the next.
  static constexpr int kCarriedShaped = 2;

  int factor = 0;  // none designed yet
  // The design for the factor, the same in all four lanes.
  alignas(32) double coefficients[kOrder + 1][kLanes]{};
  // Histories of all four filters, newest first.
  alignas(32) double history[kOrder][kLanes]{};
  // Each call finishes the previous input sample's last shaper and
  // decimation steps (software pipelining across calls): the shaper outputs
  // waiting for decimation (left, right), and the factor that work belongs
  // to. When that factor differs from the current one, the decimation lanes
  // of transitionCoefficients hold its design and the interpolation lanes
  // the current one.
  alignas(16) double carriedShaped[kCarriedShaped][2]{};
  alignas(32) double transitionCoefficients[kOrder + 1][kLanes]{};
  int carriedFactor = 4;
};

// True when both the processor and the operating system support AVX.
bool CpuHasAvx();

// One input sample per channel through the kernel at factor F (state.factor
// must be F). The SSE2 build runs on every x86-64 processor; the AVX build
// runs the interpolation and decimation filters side by side in 256-bit
// vectors, with identical results, and may only be called where CpuHasAvx()
// is true.
template <int F>
void RunColourKernelSse2(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                         double& colourRight);
template <int F>
void RunColourKernelAvx(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                        double& colourRight);

}  // namespace kestro
