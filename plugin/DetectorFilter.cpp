#include "plugin/DetectorFilter.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
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

bool DetectorFilter::SameSettings(const DetectorFilter& other) const {
  // Bit by bit, so that a NaN marker equals itself.
  const float mine[] = {t_, t2_, r1_, r2_, r3_, r4_, r5_, r6_, r7_, r8_, r9_, r10_, r11_, r12_,
                        p_, coefficientsP_, a1_, a2_, a0_, b0_, b1_};
  const float theirs[] = {other.t_, other.t2_, other.r1_, other.r2_, other.r3_, other.r4_, other.r5_,
                          other.r6_, other.r7_, other.r8_, other.r9_, other.r10_, other.r11_, other.r12_,
                          other.p_, other.coefficientsP_, other.a1_, other.a2_, other.a0_, other.b0_, other.b1_};
  for (size_t i = 0; i < std::size(mine); ++i) {
    if (std::bit_cast<std::uint32_t>(mine[i]) != std::bit_cast<std::uint32_t>(theirs[i])) return false;
  }
  return coefficientsValid_ == other.coefficientsValid_;
}

bool DetectorFilter::SameState(const DetectorFilter& other) const {
  return SameSettings(other) && std::bit_cast<std::uint32_t>(w1_) == std::bit_cast<std::uint32_t>(other.w1_) &&
         std::bit_cast<std::uint32_t>(w2_) == std::bit_cast<std::uint32_t>(other.w2_);
}

}  // namespace kestro
