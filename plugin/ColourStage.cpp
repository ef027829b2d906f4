#include "plugin/ColourStage.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <complex>
#include <iterator>

#include "plugin/ColourKernelImpl.h"
#include "plugin/ShaperTable.h"
#include "plugin/SignalBlock.h"

namespace kestro {

namespace {

// 10th-order Bessel low-pass prototype, -3 dB at 1 rad/s: five conjugate
// pole pairs sigma +- j beta.
struct PolePair {
  double sigma;
  double beta;
};
constexpr PolePair kBesselPoles[] = {
    {-1.927619691324482, 0.2416234709451774},  {-1.8421962445659017, 0.7272575977534836},
    {-1.6618102413500957, 1.221100218591516},  {-1.3606922783857325, 1.73350574265843},
    {-0.8657569017089488, 2.2926048309837426},
};
static_assert(2 * std::size(kBesselPoles) == ColourStage::kOrder);

constexpr double kTwoPi = 6.283185307179586;
// Cut-off in cycles per input-rate sample, whatever the factor.
constexpr double kCutoff = 0.2;

std::array<double, ColourStage::kOrder + 1> DesignAllPole(int factor) {
  using Complex = std::complex<double>;
  const double fc = kCutoff / factor;
  const double omega = kTwoPi * fc;

  // A(z) = product of (z - pole), coefficients from z^10 down; each pole of
  // a pair is mapped on its own, positive beta first.
  std::array<Complex, ColourStage::kOrder + 1> a{};
  a[0] = 1.0;
  int degree = 0;
  for (const PolePair& pair : kBesselPoles) {
    for (const double beta : {pair.beta, -pair.beta}) {
      const double radius = std::exp(pair.sigma * omega);
      const Complex pole = radius * Complex(std::cos(beta * omega), std::sin(beta * omega));
      ++degree;
      for (int i = degree; i >= 1; --i) {
        a[i] = a[i] - pole * a[i - 1];
      }
    }
  }

  // Unity gain at 0 Hz: c0 = |A(1)|.
  Complex sum = a[0];
  for (int i = 1; i <= ColourStage::kOrder; ++i) {
    sum = sum + a[i];
  }
  std::array<double, ColourStage::kOrder + 1> c{};
  c[0] = std::abs(sum);
  for (int i = 1; i <= ColourStage::kOrder; ++i) {
    c[i] = -a[i].real() / a[0].real();
  }
  return c;
}

}  // namespace

bool CpuHasAvx() {
#if defined(__GNUC__)
  // Checks the processor's flag and that the system saves the AVX registers.
  static const bool hasAvx = __builtin_cpu_supports("avx");
  return hasAvx;
#else
  return false;
#endif
}

bool CpuHasAvx512() {
#if defined(__GNUC__)
  static const bool hasAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
  return hasAvx512;
#else
  return false;
#endif
}

ColourStage::ColourStage() : avx_(CpuHasAvx()) {
  Prepare(kFactorLow);
  Clear();
}

void ColourStage::Prepare(int factor) {
  const int f = factor == kFactorHigh ? kFactorHigh : kFactorLow;
  if (f == kernel_.factor) {
    return;  // the design depends on the factor alone
  }
  // The last sample's trailing work still belongs to the factor it was run
  // with. (If there was no sample since the last change, the carried design
  // is already the right one.)
  if (kernel_.carriedFactor == kernel_.factor) {
    for (int k = 0; k <= kOrder; ++k) {
      kernel_.transitionCoefficients[k][ColourKernelState::kDecimationLanes] = kernel_.coefficients[k][0];
      kernel_.transitionCoefficients[k][ColourKernelState::kDecimationLanes + 1] = kernel_.coefficients[k][0];
    }
  }
  kernel_.factor = f;
  coefficients_ = DesignAllPole(f);
  for (int k = 0; k <= kOrder; ++k) {
    for (int lane = 0; lane < ColourKernelState::kLanes; ++lane) {
      kernel_.coefficients[k][lane] = coefficients_[k];
    }
    kernel_.transitionCoefficients[k][ColourKernelState::kInterpolationLanes] = coefficients_[k];
    kernel_.transitionCoefficients[k][ColourKernelState::kInterpolationLanes + 1] = coefficients_[k];
  }
}

void ColourStage::Clear() {
  // Trailing work on cleared histories yields zeros into zero histories: no
  // need to cancel it.
  for (auto& row : kernel_.history) {
    for (double& h : row) h = 0.0;
  }
  for (auto& shaped : kernel_.carriedShaped) {
    shaped[0] = 0.0;
    shaped[1] = 0.0;
  }
}

bool ColourStage::AtRest() const {
  // By bits: a negative zero would not stay as it is.
  std::uint64_t bits = 0;
  for (const auto& row : kernel_.history) {
    for (const double h : row) bits |= std::bit_cast<std::uint64_t>(h);
  }
  for (const auto& shaped : kernel_.carriedShaped) {
    bits |= std::bit_cast<std::uint64_t>(shaped[0]) | std::bit_cast<std::uint64_t>(shaped[1]);
  }
  return bits == 0;
}

bool ColourStage::Faded() const {
  if (kernel_.factor != kFactorLow) return false;
  bool below = true;  // written so that a NaN anywhere counts as large
  for (const auto& row : kernel_.history) {
    for (const double h : row) below = below && std::fabs(h) <= kRestLevel;
  }
  for (const auto& shaped : kernel_.carriedShaped) {
    below = below && std::fabs(shaped[0]) <= kRestLevel && std::fabs(shaped[1]) <= kRestLevel;
  }
  return below;
}

void ColourStage::Run(double inLeft, double inRight, double& colourLeft, double& colourRight) {
  if (kernel_.factor == kFactorHigh) {
    RunAt<kFactorHigh>(inLeft, inRight, colourLeft, colourRight);
  } else {
    RunAt<kFactorLow>(inLeft, inRight, colourLeft, colourRight);
  }
}

template <int F>
void RunColourKernelSse2(ColourKernelState& state, double inLeft, double inRight, double& colourLeft,
                         double& colourRight) {
  RunColourKernel<F>(state, inLeft, inRight, colourLeft, colourRight);
}

template void RunColourKernelSse2<ColourStage::kFactorLow>(ColourKernelState&, double, double, double&, double&);
template void RunColourKernelSse2<ColourStage::kFactorHigh>(ColourKernelState&, double, double, double&, double&);

double ColourStage::Shape(double x) {
  const double u = std::fabs(x) * kShaperScale;
  double magnitude = kShaperTable[0];
  if (u < kIndexLimit) {  // false for NaN too
    const int i = static_cast<int>(u);
    if (i >= kShaperLast) {
      magnitude = kShaperTable[kShaperLast];
    } else {
      const double fraction = u - i;
      magnitude =
          static_cast<double>(kShaperTable[i]) * (1.0 - fraction) + static_cast<double>(kShaperTable[i + 1]) * fraction;
    }
  }
  return std::copysign(magnitude, x);
}

}  // namespace kestro
