// Built with AVX enabled (see CMakeLists.txt); only ever called after a
// run-time check.
#include "plugin/ColourKernelImpl.h"

namespace kestro {

template <int F>
void RunColourKernelAvx(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                        double& colourRight) {
  RunColourKernel<F>(state, inLeft, inRight, colourLeft, colourRight);
}

template void RunColourKernelAvx<ColourStage::kFactorLow>(ColourKernelState&, double, double, double&, double&);
template void RunColourKernelAvx<ColourStage::kFactorHigh>(ColourKernelState&, double, double, double&, double&);

}  // namespace kestro
