#include "plugin/DetectorPair.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

namespace kestro {
namespace {

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Inputs that exercise the recursion's corners: noise, huge values, zeros
// of both signs, infinities and NaNs on one channel or both.
double Input(int n, int channel, std::mt19937& rng) {
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const double specials[] = {kNaN, kInf, -kInf, 1e30, -0.0, 1e-300};
  if ((n + channel) % 97 == 0) return specials[(n / 97 + channel) % std::size(specials)];
  return noise(rng) * (n % 500 < 250 ? 0.5 : 1e-6);
}

// The pair must give each filter's own output bit for bit and leave both
// filters exactly as two separate runs would, across rate and side changes.
TEST(DetectorPair, MatchesTwoSingleFiltersBitForBit) {
  struct Case {
    double rate;
    std::vector<double> sides;  // cycled per sample
  };
  const Case cases[] = {{44100.0, {0.3}}, {48000.0, {0.5, 0.99}}, {192000.0, {0.99, 0.3, 0.7}}, {8000.0, {0.42}}};
  std::mt19937 rng(3);
  for (const Case& c : cases) {
    DetectorFilter left, right, singleLeft, singleRight;
    for (DetectorFilter* f : {&left, &right, &singleLeft, &singleRight}) f->UpdateRate(c.rate);
    for (int block = 0; block < 8; ++block) {
      DetectorPair pair(left, right);
      ASSERT_TRUE(pair.Paired());
      for (int n = 0; n < 700; ++n) {
        const double side = c.sides[n % c.sides.size()];
        const double xl = Input(n, 0, rng);
        const double xr = Input(n, 1, rng);
        double yl = 0.0;
        double yr = 0.0;
        pair.Run(xl, xr, side, yl, yr);
        ASSERT_EQ(Bits(yl), Bits(singleLeft.Run(xl, side))) << c.rate << " block " << block << " n " << n;
        ASSERT_EQ(Bits(yr), Bits(singleRight.Run(xr, side))) << c.rate << " block " << block << " n " << n;
      }
      pair.Store();
      // After the store both filters continue exactly like the singles.
      for (int n = 0; n < 5; ++n) {
        ASSERT_EQ(Bits(left.Run(0.25, 0.5)), Bits(singleLeft.Run(0.25, 0.5)));
        ASSERT_EQ(Bits(right.Run(-0.5, 0.5)), Bits(singleRight.Run(-0.5, 0.5)));
      }
    }
  }
}

// Filters with different settings are run one after the other, with the
// same results as running them alone.
TEST(DetectorPair, UnequalFiltersRunSeparately) {
  DetectorFilter left, right, singleLeft, singleRight;
  left.UpdateRate(48000.0);
  singleLeft.UpdateRate(48000.0);
  right.UpdateRate(96000.0);
  singleRight.UpdateRate(96000.0);
  EXPECT_FALSE(left.SameSettings(right));
  DetectorPair pair(left, right);
  EXPECT_FALSE(pair.Paired());
  for (int n = 0; n < 200; ++n) {
    double yl = 0.0;
    double yr = 0.0;
    const double x = (n % 7) * 0.1 - 0.3;
    pair.Run(x, -x, 0.6, yl, yr);
    ASSERT_EQ(Bits(yl), Bits(singleLeft.Run(x, 0.6)));
    ASSERT_EQ(Bits(yr), Bits(singleRight.Run(-x, 0.6)));
  }
  pair.Store();
  EXPECT_EQ(Bits(left.Run(0.1, 0.6)), Bits(singleLeft.Run(0.1, 0.6)));
  EXPECT_EQ(Bits(right.Run(0.1, 0.6)), Bits(singleRight.Run(0.1, 0.6)));
}

// Replaced filters (a reset after damaged input) are taken up by Reload.
TEST(DetectorPair, ReloadTakesReplacedFilters) {
  DetectorFilter left, right, fresh;
  DetectorPair pair(left, right);
  double yl = 0.0;
  double yr = 0.0;
  for (int n = 0; n < 50; ++n) pair.Run(0.9, -0.9, 0.3, yl, yr);
  left = DetectorFilter();
  right = DetectorFilter();
  pair.Reload();
  pair.Run(0.5, 0.5, 0.3, yl, yr);
  const double expected = fresh.Run(0.5, 0.3);
  EXPECT_EQ(Bits(yl), Bits(expected));
  EXPECT_EQ(Bits(yr), Bits(expected));
}

}  // namespace
}  // namespace kestro
