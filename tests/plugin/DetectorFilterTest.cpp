#include "plugin/DetectorFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace kestro {
namespace {

constexpr double kRate = 44100.0;

// Lets the smoothed control reach the side amount (time constant ~142 samples).
void SettleControl(DetectorFilter& filter, double side) {
  for (int n = 0; n < 5000; ++n) {
    filter.Run(0.0, side);
  }
}

// Steady-state gain in dB for a unit sine: settle, then correlate whole
// cycles of the output with the input frequency.
double SineGainDb(double rate, double side, double frequency) {
  DetectorFilter filter;
  filter.UpdateRate(rate);
  SettleControl(filter, side);
  const double omega = 2.0 * std::numbers::pi * frequency / rate;
  const int settle = static_cast<int>(rate / 2);
  for (int n = 0; n < settle; ++n) {
    filter.Run(std::sin(omega * n), side);
  }
  const int cycles = std::max(1, static_cast<int>(frequency));  // about one second
  const int length = static_cast<int>(std::lround(cycles * rate / frequency));
  std::complex<double> sum = 0.0;
  for (int n = settle; n < settle + length; ++n) {
    sum += filter.Run(std::sin(omega * n), side) * std::polar(1.0, -omega * n);
  }
  return 20.0 * std::log10(2.0 * std::abs(sum) / length);
}

struct CornerCase {
  double side;
  double cornerHz;  // -6 dB point
  double gain20Db;  // gain at 20 Hz
};

class DetectorResponse : public ::testing::TestWithParam<CornerCase> {};

TEST_P(DetectorResponse, SixDecibelCornerAt44100) {
  const CornerCase& c = GetParam();
  EXPECT_NEAR(SineGainDb(kRate, c.side, c.cornerHz), -6.02, 0.05);
}

TEST_P(DetectorResponse, GainAt20HzAt44100) {
  const CornerCase& c = GetParam();
  EXPECT_NEAR(SineGainDb(kRate, c.side, 20.0), c.gain20Db, 0.1);
}

TEST_P(DetectorResponse, CornerDoesNotDependOnRateUpTo192000) {
  const CornerCase& c = GetParam();
  for (const double rate : {48000.0, 96000.0, 192000.0}) {
    EXPECT_NEAR(SineGainDb(rate, c.side, c.cornerHz), -6.02, 0.05) << rate;
  }
}

INSTANTIATE_TEST_SUITE_P(SideAmounts, DetectorResponse,
                         ::testing::Values(CornerCase{0.3, 41.3, -14.4}, CornerCase{0.5, 54.7, -18.6},
                                           CornerCase{0.99, 262.2, -44.8}));

TEST(DetectorFilter, TenKilohertzFullScalePassesWithinOneTenthPercent) {
  for (const double rate : {44100.0, 48000.0, 96000.0}) {
    for (const double side : {0.3, 0.5, 0.75, 0.99}) {
      const double gain = std::pow(10.0, SineGainDb(rate, side, 10000.0) / 20.0);
      EXPECT_NEAR(gain, 1.0, 0.001) << rate << " Hz, side " << side;
    }
  }
}

TEST(DetectorFilter, ConstantInputDecaysToZero) {
  for (const double side : {0.3, 0.99}) {
    DetectorFilter filter;
    filter.UpdateRate(kRate);
    SettleControl(filter, side);
    // A step passes at first (high-pass), then dies away.
    EXPECT_GT(filter.Run(1.0, side), 0.5);
    double last = 1.0;
    for (int n = 0; n < static_cast<int>(kRate); ++n) {
      last = filter.Run(1.0, side);
    }
    EXPECT_LT(std::fabs(last), 1e-6) << side;
  }
}

TEST(DetectorFilter, ControlCoversSixtyThreePercentInAbout142Samples) {
  for (const double rate : {22050.0, 44100.0, 192000.0}) {
    for (const double side : {0.3, 0.99}) {
      DetectorFilter filter;
      filter.UpdateRate(rate);
      const double target = 1.0 - side;
      for (int n = 0; n < 135; ++n) {
        filter.Run(0.0, side);
      }
      EXPECT_LT(filter.SmoothedControl(), 0.632 * target);
      for (int n = 135; n < 150; ++n) {
        filter.Run(0.0, side);
      }
      EXPECT_GT(filter.SmoothedControl(), 0.632 * target);
      SettleControl(filter, side);
      EXPECT_NEAR(filter.SmoothedControl(), target, 1e-4);
    }
  }
}

std::vector<double> Noise(int length, unsigned seed) {
  std::vector<double> out(length);
  unsigned state = seed;
  for (double& v : out) {
    state = state * 1664525u + 1013904223u;
    v = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 1.5;
  }
  return out;
}

std::vector<double> Filtered(double rate, const std::vector<double>& in, double side) {
  DetectorFilter filter;
  std::vector<double> out;
  for (const double x : in) {
    filter.UpdateRate(rate);
    out.push_back(filter.Run(x, side));
  }
  return out;
}

TEST(DetectorFilter, RatesAbove192000UseThe192000Coefficients) {
  const std::vector<double> in = Noise(4000, 7);
  const std::vector<double> reference = Filtered(192000.0, in, 0.5);
  for (const double rate : {192000.9, 250000.0, 384000.0, 1e12, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(Filtered(rate, in, 0.5), reference) << rate;
  }
  // So the corner scales with the rate: at twice 192000 it is twice as high.
  EXPECT_NEAR(SineGainDb(384000.0, 0.3, 82.6), -6.02, 0.05);
  EXPECT_LT(SineGainDb(384000.0, 0.3, 41.3), -12.0);
}

TEST(DetectorFilter, RatesBelowOneOrNotANumberUseRateOne) {
  const std::vector<double> in = Noise(2000, 11);
  const std::vector<double> reference = Filtered(1.0, in, 0.5);
  for (const double rate :
       {1.9, 0.5, 0.0, -44100.0, -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(Filtered(rate, in, 0.5), reference) << rate;
  }
  for (const double y : reference) {
    ASSERT_TRUE(std::isfinite(y));
  }
}

TEST(DetectorFilter, InstancesNeverShareState) {
  DetectorFilter left;
  DetectorFilter right;
  DetectorFilter alone;
  const std::vector<double> in = Noise(3000, 5);
  for (const double x : in) {
    left.UpdateRate(kRate);
    right.UpdateRate(kRate);
    alone.UpdateRate(kRate);
    const double l = left.Run(x, 0.4);
    EXPECT_EQ(right.Run(0.0, 0.4), 0.0);
    EXPECT_EQ(l, alone.Run(x, 0.4));
  }
}

struct BadSample {
  const char* name;
  double value;
};

class DetectorRecovery : public ::testing::TestWithParam<BadSample> {};

// One non-finite (or float-overflowing) input must not leave the filter
// non-finite: the next finite input gives a finite output at once, and the
// output then converges to that of a filter that saw 0 instead. (Two single-
// precision runs of this filter that differ only in their past keep a
// rounding-noise difference of up to about 1e-3 for seconds before they
// happen to coincide, so closeness is all that can be asked.)
TEST_P(DetectorRecovery, RecoversAfterOneBadSample) {
  const std::vector<double> in = Noise(static_cast<int>(kRate), 9);
  DetectorFilter hit;
  DetectorFilter clean;
  const int bad = 1000;
  const int settled = bad + static_cast<int>(kRate / 10);
  double transient = 0.0;
  for (int n = 0; n < static_cast<int>(in.size()); ++n) {
    hit.UpdateRate(kRate);
    clean.UpdateRate(kRate);
    const double y = hit.Run(n == bad ? GetParam().value : in[n], 0.3);
    const double reference = clean.Run(n == bad ? 0.0 : in[n], 0.3);
    ASSERT_TRUE(std::isfinite(hit.SmoothedControl()));
    if (n > bad) {
      ASSERT_TRUE(std::isfinite(y)) << n;
    }
    if (n > bad && n <= settled) {
      transient = std::max(transient, std::fabs(y - reference));
    }
    if (n > settled) {
      ASSERT_NEAR(y, reference, 1e-3) << n;
    }
  }
  EXPECT_GT(transient, 0.01);  // the bad sample did disturb the filter
}

INSTANTIATE_TEST_SUITE_P(Inputs, DetectorRecovery,
                         ::testing::Values(BadSample{"NaN", std::numeric_limits<double>::quiet_NaN()},
                                           BadSample{"PlusInfinity", std::numeric_limits<double>::infinity()},
                                           BadSample{"MinusInfinity", -std::numeric_limits<double>::infinity()},
                                           BadSample{"BeyondFloat", 1e300}),
                         [](const ::testing::TestParamInfo<BadSample>& info) { return std::string(info.param.name); });

TEST(DetectorFilter, NonFiniteSideAmountKeepsTheControl) {
  DetectorFilter filter;
  filter.UpdateRate(kRate);
  SettleControl(filter, 0.5);
  const float before = filter.SmoothedControl();
  filter.Run(0.1, std::numeric_limits<double>::quiet_NaN());
  filter.Run(0.1, std::numeric_limits<double>::infinity());
  EXPECT_EQ(filter.SmoothedControl(), before);
  EXPECT_TRUE(std::isfinite(filter.Run(0.1, 0.5)));
}

// The filter's single-precision arithmetic, its evaluation orders and the
// double-precision subtraction included, decides the exact output. These
// values pin it: any reordering or change of precision moves low bits.
TEST(DetectorFilter, PinnedOutputOfTheExactArithmetic) {
  const std::vector<double> in = Noise(2001, 21);
  const struct {
    int n;
    double y;
  } pinned[] = {{0, -0x1.7b1232p-2},  {1, -0x1.bb831p-2},   {2, -0x1.87f40ep-2},
                {3, -0x1.6a7c78p-12}, {150, 0x1.1d639cp-5}, {2000, 0x1.9284bcp-2}};
  DetectorFilter filter;
  std::vector<double> out;
  for (const double x : in) {
    filter.UpdateRate(48000.0);
    out.push_back(filter.Run(x, 0.5));
  }
  for (const auto& p : pinned) {
    EXPECT_EQ(out[p.n], p.y) << p.n;
  }
}

}  // namespace
}  // namespace kestro
