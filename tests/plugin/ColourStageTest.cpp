#include "plugin/ColourStage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <iterator>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "plugin/ShaperTable.h"

namespace kestro {
namespace {

using Coefficients = std::array<double, ColourStage::kOrder + 1>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kScale = static_cast<double>(142.143f);
constexpr double kPreGain = 31.622776601683793;

// ---------------------------------------------------------------------------
// Plain scalar reference of one channel, written straight from the formulas
// (shifting histories, a full c0 x term at every sub-sample, branches). The
// product's two-lane SIMD path must match it bit for bit.

double ReferenceShape(double x) {
  const double u = std::fabs(x) * kScale;
  double t = kShaperTable[0];
  if (u < 2147483648.0) {
    const int i = static_cast<int>(u);
    if (i >= 199) {
      t = kShaperTable[199];
    } else {
      t = static_cast<double>(kShaperTable[i]) * (1.0 - (u - i)) + static_cast<double>(kShaperTable[i + 1]) * (u - i);
    }
  }
  return std::copysign(t, x);
}

struct ReferenceFilter {
  std::array<double, ColourStage::kOrder> h{};

  double Run(const Coefficients& c, double x) {
    double y = c[0] * x + c[1] * h[0];
    for (int k = 2; k <= ColourStage::kOrder; ++k) {
      y = y + c[k] * h[k - 1];
    }
    if (std::fabs(y) < 0x1p-54 || std::isinf(y) || std::isnan(y)) {
      y = 0.0;
    }
    for (int k = ColourStage::kOrder - 1; k > 0; --k) {
      h[k] = h[k - 1];
    }
    h[0] = y;
    return y;
  }
};

struct ReferenceChannel {
  ReferenceFilter interpolation;
  ReferenceFilter decimation;

  double Run(const Coefficients& c, int factor, double x) {
    // Damaged input enters the stage as silence (NaN) or at +-1e6.
    if (!(std::fabs(x) <= 1e6)) x = std::isnan(x) ? 0.0 : std::copysign(1e6, x);
    double colour = 0.0;
    for (int j = 0; j < factor; ++j) {
      const double v = factor * interpolation.Run(c, j == 0 ? x : 0.0);
      const double d = decimation.Run(c, ReferenceShape(kPreGain * v));
      if (j == 0) {
        colour = d;
      }
    }
    return colour;
  }
};

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

std::string FactorName(int factor) { return factor == 16 ? "F16" : "F4"; }

struct Lcg {
  std::uint32_t state;
  double Next() {  // uniform in [-1, 1)
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }
};

// ---------------------------------------------------------------------------
// Filter design

struct DesignCase {
  int factor;
  double c0;
  double c0Tolerance;
  double minus3DbPoint;  // in units of the input rate
  double nyquistDb;      // response at half the input rate
};

// Magnitude of c0 / (1 - sum c_k z^-k) at omega radians per oversampled sample.
double Magnitude(const Coefficients& c, double omega) {
  std::complex<double> denominator = 1.0;
  for (int k = 1; k <= ColourStage::kOrder; ++k) {
    denominator -= c[k] * std::polar(1.0, -omega * k);
  }
  return std::abs(c[0] / denominator);
}

class ColourDesign : public ::testing::TestWithParam<DesignCase> {
 protected:
  Coefficients Designed() const {
    ColourStage stage;
    stage.Prepare(GetParam().factor);
    EXPECT_EQ(stage.Factor(), GetParam().factor);
    return stage.Coefficients();
  }
  // Frequency (fraction of the input rate) -> radians per oversampled sample.
  double Omega(double fraction) const { return 2.0 * std::numbers::pi * fraction / GetParam().factor; }
};

TEST_P(ColourDesign, InputGain) { EXPECT_NEAR(Designed()[0], GetParam().c0, GetParam().c0Tolerance); }

TEST_P(ColourDesign, UnityGainAtZeroHertz) { EXPECT_NEAR(Magnitude(Designed(), 0.0), 1.0, 1e-6); }

TEST_P(ColourDesign, MinusThreeDecibelPoint) {
  const Coefficients c = Designed();
  double low = 0.0;
  double high = 0.5;
  for (int i = 0; i < 50; ++i) {
    const double mid = 0.5 * (low + high);
    (Magnitude(c, Omega(mid)) > std::sqrt(0.5) ? low : high) = mid;
  }
  EXPECT_NEAR(low, GetParam().minus3DbPoint, 0.0005);
}

TEST_P(ColourDesign, ResponseAtHalfTheInputRate) {
  EXPECT_NEAR(20.0 * std::log10(Magnitude(Designed(), Omega(0.5))), GetParam().nyquistDb, 0.5);
}

// The same poles multiplied out another way, as five real second-order
// sections z^2 - 2 r cos(theta) z + r^2: the coefficients must agree to
// rounding, which pins the pole mapping (radius e^(sigma w), angle beta w).
TEST_P(ColourDesign, MatchesRealSecondOrderSections) {
  constexpr double kPoles[5][2] = {{-1.927619691324482, 0.2416234709451774},
                                   {-1.8421962445659017, 0.7272575977534836},
                                   {-1.6618102413500957, 1.221100218591516},
                                   {-1.3606922783857325, 1.73350574265843},
                                   {-0.8657569017089488, 2.2926048309837426}};
  const double omega = Omega(0.2);
  std::array<long double, ColourStage::kOrder + 1> a{1.0L};
  int degree = 0;
  for (const auto& pole : kPoles) {
    const long double r = std::exp(static_cast<long double>(pole[0]) * omega);
    const long double section[3] = {1.0L, -2.0L * r * std::cos(static_cast<long double>(pole[1]) * omega), r * r};
    std::array<long double, ColourStage::kOrder + 1> product{};
    for (int i = 0; i <= degree; ++i) {
      for (int k = 0; k < 3; ++k) {
        product[i + k] += a[i] * section[k];
      }
    }
    a = product;
    degree += 2;
  }
  const Coefficients c = Designed();
  long double sum = 0.0L;
  for (int k = 0; k <= ColourStage::kOrder; ++k) {
    sum += a[k];
  }
  // |A(1)| is a sum with heavy cancellation at F = 16.
  EXPECT_NEAR(c[0], static_cast<double>(sum), 1e-5 * c[0]);
  for (int k = 1; k <= ColourStage::kOrder; ++k) {
    EXPECT_NEAR(c[k], -static_cast<double>(a[k]), 1e-11 * std::fabs(c[k])) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Factors, ColourDesign,
                         ::testing::Values(DesignCase{4, 0.0015785, 0.0000001, 0.2127, -20.0},
                                           DesignCase{16, 9.0e-9, 0.05e-9, 0.2007, -22.0}),
                         [](const ::testing::TestParamInfo<DesignCase>& info) {
                           return FactorName(info.param.factor);
                         });

TEST(ColourStage, FactorOtherThan16MeansFour) {
  ColourStage stage;
  EXPECT_EQ(stage.Factor(), 4);
  const Coefficients four = stage.Coefficients();
  stage.Prepare(16);
  EXPECT_EQ(stage.Factor(), 16);
  EXPECT_NE(stage.Coefficients(), four);
  for (const int factor : {0, 1, 8, -16, 17}) {
    stage.Prepare(16);
    stage.Prepare(factor);
    EXPECT_EQ(stage.Factor(), 4) << factor;
    EXPECT_EQ(stage.Coefficients(), four) << factor;
  }
}

// ---------------------------------------------------------------------------
// Shaper table

TEST(ShaperTable, ListedEntriesAreExact) {
  const struct {
    int k;
    float value;
  } listed[] = {{0, 0.0f},         {1, 0.0042153304f}, {10, 0.042137984f}, {50, 0.21037602f},
                {100, 0.4200618f}, {150, 0.6290998f},  {198, 0.8291715f},  {199, 0.8333333f}};
  for (const auto& entry : listed) {
    EXPECT_EQ(kShaperTable[entry.k], entry.value) << entry.k;
  }
}

TEST(ShaperTable, StrictlyIncreasingAndGentlyCompressing) {
  for (int k = 1; k < kShaperTableSize; ++k) {
    ASSERT_GT(kShaperTable[k], kShaperTable[k - 1]) << k;
  }
  // The slope falls steadily: no kinks at the listed entries.
  for (int k = 1; k + 1 < kShaperTableSize; ++k) {
    const double before = kShaperTable[k] - kShaperTable[k - 1];
    const double after = kShaperTable[k + 1] - kShaperTable[k];
    ASSERT_LT(after, before) << k;
  }
}

TEST(ShaperTable, SlopeAtBothEnds) {
  auto slope = [](int k) { return (kShaperTable[k + 1] - kShaperTable[k]) * kScale; };
  for (int k = 0; k < 5; ++k) {
    EXPECT_NEAR(slope(k), 0.5992, 0.0003) << k;
  }
  for (int k = 194; k < 199; ++k) {
    EXPECT_NEAR(slope(k), 0.5916, 0.0003) << k;
  }
}

TEST(ShaperTable, FollowsTheQuadratic) {
  for (int k = 0; k < kShaperTableSize; ++k) {
    const double x = k / kScale;
    EXPECT_NEAR(kShaperTable[k], 0.59898 * x - 0.002682 * x * x, 0.00002) << k;
  }
}

// ---------------------------------------------------------------------------
// Shaper

struct ShapeCase {
  const char* name;
  double x;
  double expected;
  double tolerance;  // 0: exact, sign of zero included
};

class Shaper : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(Shaper, Value) {
  const ShapeCase& c = GetParam();
  const double y = ColourStage::Shape(c.x);
  if (c.tolerance == 0.0) {
    EXPECT_EQ(Bits(y), Bits(c.expected)) << y;
  } else {
    EXPECT_NEAR(y, c.expected, c.tolerance);
  }
}

const double kTop = static_cast<double>(0.8333333f);
const double kJustBelowLast = std::nextafter(199.0 / kScale, 0.0);
const double kIndexLimitInput = 2147483648.0 / kScale;

INSTANTIATE_TEST_SUITE_P(
    Inputs, Shaper,
    ::testing::Values(ShapeCase{"Zero", 0.0, 0.0, 0.0}, ShapeCase{"NegativeZero", -0.0, -0.0, 0.0},
                      ShapeCase{"FirstEntry", 0.007035, 0.0042153, 1e-7},
                      ShapeCase{"FirstEntryNegative", -0.007035, -0.0042153, 1e-7},
                      ShapeCase{"Mid", 0.703517, 0.4200618, 1e-6}, ShapeCase{"Saturated", 2.0, kTop, 0.0},
                      ShapeCase{"SaturatedNegative", -2.0, -kTop, 0.0}, ShapeCase{"AtTopEntry", 1.4, kTop, 0.0},
                      ShapeCase{"JustBelowTopEntry", kJustBelowLast, kTop, 1e-7},
                      ShapeCase{"JustBelowIndexLimit", (1.0 - 1e-9) * kIndexLimitInput, kTop, 0.0},
                      ShapeCase{"AtIndexLimit", (1.0 + 1e-12) * kIndexLimitInput, 0.0, 0.0},
                      ShapeCase{"Huge", 1e300, 0.0, 0.0}, ShapeCase{"HugeNegative", -1e300, -0.0, 0.0},
                      ShapeCase{"Infinity", kInf, 0.0, 0.0}, ShapeCase{"NaN", kNaN, 0.0, 0.0}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

// A magnitude that scales to exactly 2^31 has no 32-bit index any more: it
// takes the first entry, like everything beyond it.
TEST(ShaperCurve, ExactlyAtTheIndexLimit) {
  double x = 2147483648.0 / kScale;
  for (int i = 0; i < 64 && x * kScale != 2147483648.0; ++i) {
    x = std::nextafter(x, x * kScale < 2147483648.0 ? kInf : 0.0);
  }
  ASSERT_EQ(x * kScale, 2147483648.0);
  EXPECT_EQ(ColourStage::Shape(x), 0.0);
  EXPECT_EQ(ColourStage::Shape(std::nextafter(x, 0.0)), kTop);
}

TEST(ShaperCurve, MatchesTheReference) {
  Lcg rng{42};
  for (int n = 0; n < 200000; ++n) {
    const double x = rng.Next() * 1.5;
    ASSERT_EQ(Bits(ColourStage::Shape(x)), Bits(ReferenceShape(x))) << x;
  }
}

// ---------------------------------------------------------------------------
// Colour stage

void RunBlock(ColourStage& stage, const std::vector<double>& left, const std::vector<double>& right,
              std::vector<double>& outLeft, std::vector<double>& outRight) {
  outLeft.resize(left.size());
  outRight.resize(left.size());
  for (size_t n = 0; n < left.size(); ++n) {
    stage.Run(left[n], right[n], outLeft[n], outRight[n]);
  }
}

std::vector<double> Noise(int length, std::uint32_t seed, double level) {
  Lcg rng{seed};
  std::vector<double> out(length);
  for (double& v : out) {
    v = rng.Next() * level;
  }
  return out;
}

class ColourRun : public ::testing::TestWithParam<int> {};

TEST_P(ColourRun, ZeroInputGivesZeroForEver) {
  ColourStage stage;
  stage.Prepare(GetParam());
  stage.Clear();
  for (int n = 0; n < 20000; ++n) {
    double l = 1.0;
    double r = 1.0;
    stage.Run(0.0, 0.0, l, r);
    ASSERT_EQ(Bits(l), Bits(0.0)) << n;
    ASSERT_EQ(Bits(r), Bits(0.0)) << n;
  }
}

TEST_P(ColourRun, SmallConstantSettlesNear0599TimesPreGain) {
  ColourStage stage;
  stage.Prepare(GetParam());
  stage.Clear();
  const double left = 0.001;
  const double right = -0.0004;
  double l = 0.0;
  double r = 0.0;
  for (int n = 0; n < 4000; ++n) {
    stage.Run(left, right, l, r);
  }
  EXPECT_NEAR(l / left, 18.9, 0.1);
  EXPECT_NEAR(r / right, 18.9, 0.1);
  EXPECT_NEAR(l, 0.599 * kPreGain * left, 0.001 * std::fabs(left) * kPreGain);
}

TEST_P(ColourRun, ClearedStageRepeatsItself) {
  ColourStage stage;
  stage.Prepare(GetParam());
  const std::vector<double> left = Noise(512, 1, 0.05);
  const std::vector<double> right = Noise(512, 2, 0.5);
  std::vector<double> firstL, firstR, secondL, secondR, freshL, freshR;
  stage.Clear();
  RunBlock(stage, left, right, firstL, firstR);
  RunBlock(stage, left, right, secondL, secondR);
  EXPECT_NE(firstL, secondL);  // the histories carried over
  stage.Clear();
  RunBlock(stage, left, right, secondL, secondR);
  EXPECT_EQ(firstL, secondL);
  EXPECT_EQ(firstR, secondR);
  ColourStage fresh;
  fresh.Prepare(GetParam());
  RunBlock(fresh, left, right, freshL, freshR);
  EXPECT_EQ(firstL, freshL);
  EXPECT_EQ(firstR, freshR);
}

TEST_P(ColourRun, ChannelsNeverInfluenceEachOther) {
  const std::vector<double> signal = Noise(2000, 3, 0.2);
  const std::vector<double> silence(signal.size(), 0.0);
  const std::vector<double> other = Noise(2000, 4, 3.0);
  ColourStage a;
  ColourStage b;
  a.Prepare(GetParam());
  b.Prepare(GetParam());
  std::vector<double> aL, aR, bL, bR;
  RunBlock(a, signal, silence, aL, aR);
  RunBlock(b, other, signal, bL, bR);
  for (const double v : aR) {
    ASSERT_EQ(Bits(v), Bits(0.0));
  }
  EXPECT_EQ(aL, bR);  // the same signal on either side, whatever the other carries
}

TEST_P(ColourRun, StaysBoundedAndFiniteOnAnyInput) {
  ColourStage stage;
  stage.Prepare(GetParam());
  const double inputs[] = {1.0, -1.0, 100.0, 1e10, 1e300, -1e300, kInf, -kInf, kNaN, 1e-320, 0.0};
  Lcg rng{5};
  for (int n = 0; n < 6000; ++n) {
    const double x = n % 7 == 0 ? inputs[(n / 7) % std::size(inputs)] : rng.Next();
    double l = 0.0;
    double r = 0.0;
    stage.Run(x, -x, l, r);
    ASSERT_TRUE(std::isfinite(l) && std::isfinite(r)) << n;
    ASSERT_LT(std::fabs(l), 0.9) << n;
    ASSERT_LT(std::fabs(r), 0.9) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Factors, ColourRun, ::testing::Values(4, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return FactorName(info.param); });

// ---------------------------------------------------------------------------
// SIMD path against the scalar reference, bit for bit

struct Segment {
  const char* name;
  int factor;
  int length;
  // Produces the left and right input of sample n.
  void (*signal)(int n, Lcg& rng, double& left, double& right);
};

void Quiet(int, Lcg& rng, double& l, double& r) {
  l = rng.Next() * 0.01;
  r = rng.Next() * 0.03;
}
void Programme(int, Lcg& rng, double& l, double& r) {
  l = rng.Next() * 0.5;
  r = rng.Next() * 0.9;
}
void Loud(int n, Lcg& rng, double& l, double& r) {
  l = (n / 37) % 2 ? 1.0 : -1.0;  // square wave deep into saturation
  r = rng.Next() * 1e6;           // beyond the shaper's index range
}
void Silence(int, Lcg&, double& l, double& r) {
  l = 0.0;
  r = -0.0;
}
void Tiny(int, Lcg& rng, double& l, double& r) {
  l = rng.Next() * 1e-15;  // the flush level decides here
  r = rng.Next() * 1e-310;
}
void NonFinite(int n, Lcg& rng, double& l, double& r) {
  const double specials[] = {kNaN, kInf, -kInf, 1e308, -1e308, 1e300};
  l = n % 5 == 0 ? specials[n % std::size(specials)] : rng.Next() * 0.1;
  r = n % 3 == 0 ? specials[(n + 2) % std::size(specials)] : rng.Next();
}

const Segment kSegments[] = {
    {"Quiet4", 4, 3000, Quiet},
    {"Programme4", 4, 3000, Programme},
    {"Loud4", 4, 2000, Loud},
    {"Silence4", 4, 3000, Silence},
    {"Tiny4", 4, 1000, Tiny},
    {"Programme16", 16, 1500, Programme},
    {"NonFinite16", 16, 500, NonFinite},
    {"Silence16", 16, 2000, Silence},
    {"Quiet16", 16, 1000, Quiet},
    {"Loud16", 16, 800, Loud},
    {"NonFinite4", 4, 700, NonFinite},
    {"Tiny16", 16, 600, Tiny},
    {"Programme4Again", 4, 700, Programme},
};

// Both builds of the kernel: plain SSE2 and, where the processor has it,
// AVX; each must give the reference's bits.
class ColourKernel : public ::testing::TestWithParam<bool> {
 protected:
  static ColourStage MakeStage() {
    ColourStage stage;
    if (GetParam()) stage.UseBaselineKernel();
    return stage;
  }
};

INSTANTIATE_TEST_SUITE_P(Builds, ColourKernel, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Sse2" : (CpuHasAvx() ? "Avx" : "AvxUnavailable");
                         });

// Blocks of varying size with the factor switching between segments: the
// histories must carry across every switch exactly as the reference's do.
TEST_P(ColourKernel, MatchesScalarReferenceBitForBit) {
  ColourStage stage = MakeStage();
  ReferenceChannel left;
  ReferenceChannel right;
  Lcg rng{77};
  for (const Segment& segment : kSegments) {
    stage.Prepare(segment.factor);
    ASSERT_EQ(stage.Factor(), segment.factor);
    const Coefficients c = stage.Coefficients();
    for (int n = 0; n < segment.length; ++n) {
      if (n % 61 == 0) {
        stage.Prepare(segment.factor);  // block start
      }
      double inL = 0.0;
      double inR = 0.0;
      segment.signal(n, rng, inL, inR);
      double outL = 0.0;
      double outR = 0.0;
      stage.Run(inL, inR, outL, outR);
      ASSERT_EQ(Bits(outL), Bits(left.Run(c, segment.factor, inL))) << segment.name << " sample " << n;
      ASSERT_EQ(Bits(outR), Bits(right.Run(c, segment.factor, inR))) << segment.name << " sample " << n;
    }
  }
}

// Factor changes and clears in every order, with and without samples in
// between: each sample must be computed completely with the design of the
// factor it was run at.
TEST_P(ColourKernel, FactorFlipsAndClearsFollowTheReference) {
  ColourStage stage = MakeStage();
  ReferenceChannel left;
  ReferenceChannel right;
  Lcg rng{31};
  const ColourStage four;
  ColourStage sixteen;
  sixteen.Prepare(16);
  int factor = 4;
  auto run = [&](int samples) {
    const Coefficients& c = factor == 16 ? sixteen.Coefficients() : four.Coefficients();
    for (int n = 0; n < samples; ++n) {
      const double inL = rng.Next() * 0.3;
      const double inR = rng.Next() * 0.05;
      double outL = 0.0;
      double outR = 0.0;
      stage.Run(inL, inR, outL, outR);
      ASSERT_EQ(Bits(outL), Bits(left.Run(c, factor, inL))) << factor << " " << n;
      ASSERT_EQ(Bits(outR), Bits(right.Run(c, factor, inR))) << factor << " " << n;
    }
  };
  auto prepare = [&](int f) {
    stage.Prepare(f);
    factor = f;
  };
  auto clear = [&] {
    stage.Clear();
    left = ReferenceChannel{};
    right = ReferenceChannel{};
  };
  run(100);
  prepare(16);
  prepare(4);
  run(30);
  prepare(16);
  run(1);
  prepare(4);
  run(1);
  prepare(16);
  prepare(4);
  prepare(16);
  run(40);
  prepare(4);
  clear();
  run(20);
  prepare(16);
  run(3);
  clear();
  prepare(4);
  run(20);
  clear();
  run(5);
}

// An output of exactly 2^-54 is kept, only smaller ones are flushed: start
// from silence with an input whose first interpolation output c0 x is
// exactly 2^-54, then follow with quiet noise that makes the difference
// visible in the bits. (Such an x need not exist for every c0.)
TEST(ColourStageSimd, FlushLevelItselfIsKept) {
  int tested = 0;
  for (const int factor : {4, 16}) {
    ColourStage stage;
    stage.Prepare(factor);
    const Coefficients c = stage.Coefficients();
    double x = std::nextafter(0x1p-54 / c[0], 0.0);
    for (int i = 0; i < 8 && c[0] * x != 0x1p-54; ++i) {
      x = std::nextafter(x, kInf);
    }
    if (c[0] * x != 0x1p-54) {
      continue;
    }
    ++tested;
    ReferenceChannel reference;
    Lcg rng{12};
    for (int n = 0; n < 200; ++n) {
      const double in = n == 0 ? x : rng.Next() * 1e-3;
      double l = 0.0;
      double r = 0.0;
      stage.Run(in, in, l, r);
      ASSERT_EQ(Bits(l), Bits(reference.Run(c, factor, in))) << factor << " " << n;
    }
  }
  EXPECT_GE(tested, 1);
}

TEST(ColourStage, SwitchingFactorKeepsHistories) {
  const std::vector<double> warm = Noise(400, 9, 0.3);
  const std::vector<double> after = Noise(50, 10, 0.3);
  ColourStage switched;
  ColourStage fresh;
  fresh.Prepare(16);
  std::vector<double> l, r, switchedL, freshL;
  RunBlock(switched, warm, warm, l, r);
  switched.Prepare(16);
  RunBlock(switched, after, after, switchedL, r);
  RunBlock(fresh, after, after, freshL, r);
  EXPECT_EQ(switched.Coefficients(), fresh.Coefficients());
  EXPECT_NE(switchedL[0], freshL[0]);  // the F = 4 past still sounds
  EXPECT_NEAR(switchedL.back(), freshL.back(), 1e-3);
}

// The rest rule the silent signal path relies on: after signals of any
// level the low factor's faint cycle passes the rest level within a block
// of silence and, left running, keeps every colour value below
// kFaintColour, which stays below 1e-15 at the output (the colour's gain
// of 10^-4.5 and +30 dB). The high factor never counts as faded, and a
// NaN in a history counts as large.
TEST(ColourStage, TheFaintCycleAfterASignalStaysBelowWhatRestingDrops) {
  EXPECT_LT(ColourStage::kFaintColour * 3.16227766016837933e-5 * std::pow(10.0, 30.0 / 20.0), 1e-15);
  double largest = 0.0;
  for (const double level : {1e-4, 1e-2, 0.3, 1.0, 3.0}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      ColourStage stage;
      const std::vector<double> loud = Noise(24000, seed, level);
      double l = 0.0;
      double r = 0.0;
      for (const double x : loud) stage.Run(x, -x, l, r);
      int silent = 0;
      while (!stage.Faded() && silent < 256) {
        stage.Run(0.0, 0.0, l, r);
        ++silent;
      }
      ASSERT_TRUE(stage.Faded()) << level << " " << seed;
      for (int n = 0; n < 96000; ++n) {
        stage.Run(0.0, 0.0, l, r);
        largest = std::max({largest, std::fabs(l), std::fabs(r)});
      }
      ASSERT_LT(largest, ColourStage::kFaintColour) << level << " " << seed;
    }
  }
  EXPECT_GT(largest, 0.0);  // the cycle is there: the full loop never rests

  // The high factor's cycle is far too large to drop.
  ColourStage high;
  high.Prepare(16);
  const std::vector<double> loud = Noise(24000, 4, 0.5);
  double l = 0.0;
  double r = 0.0;
  for (const double x : loud) high.Run(x, x, l, r);
  double highest = 0.0;
  for (int n = 0; n < 96000; ++n) {
    high.Run(0.0, 0.0, l, r);
    if (n >= 48000) highest = std::max({highest, std::fabs(l), std::fabs(r)});
    ASSERT_FALSE(high.Faded()) << n;
  }
  EXPECT_GT(highest, 1e3 * ColourStage::kFaintColour);

  ColourStage damaged;
  damaged.KernelState().history[3][1] = kNaN;
  EXPECT_FALSE(damaged.Faded());
}

}  // namespace
}  // namespace kestro
