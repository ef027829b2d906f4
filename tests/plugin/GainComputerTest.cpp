#include "plugin/GainComputer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace kestro {
namespace {

GainComputer Make(double threshold, double knee, double ratio, double attack = 0.00005, double release = 0.15,
                  double fs = 44100.0) {
  GainComputer gc;
  gc.Prepare(fs, threshold, knee, ratio, attack, release);
  return gc;
}

TEST(GainComputer, Regions) {
  struct Case {
    double threshold, knee, ratio, levelDb, gainDb;
  };
  const double third = 1.0 / 1.5 - 1.0;
  for (Case c : {
           Case{-20, 1, 10, -10, (-10 + 20) * (0.1 - 1)},      // above the knee: -9 dB
           Case{-20, 20, 1.5, -10, third / 40 * 20 * 20},      // knee upper edge, knee formula
           Case{-20, 20, 1.5, -30, 0.0},                       // knee lower edge
           Case{-20, 20, 1.5, -30.0001, 0.0},                  // below the knee
           Case{-20, 20, 1.5, -20, third / 40 * 10 * 10},      // middle of the knee
           Case{-20, 6, 5, -17, (0.2 - 1) / 12 * 6 * 6},       // knee upper edge for 5:1
           Case{-20, 6, 5, -16.9, (-16.9 + 20) * (0.2 - 1)},   // just above
           Case{-50, 20, 2, 0, 50 * (0.5 - 1)},
       }) {
    GainComputer gc = Make(c.threshold, c.knee, c.ratio);
    EXPECT_NEAR(gc.GainDb(c.levelDb), c.gainDb, 1e-12) << c.threshold << " " << c.knee << " " << c.levelDb;
  }
  // The knee meets the straight part at its upper edge.
  GainComputer gc = Make(-20, 20, 1.5);
  EXPECT_NEAR(gc.GainDb(-10), (-10 + 20) * third, 1e-12);
  EXPECT_NEAR(gc.GainDb(-10), -3.3333333333, 1e-9);
}

TEST(GainComputer, TargetGain) {
  GainComputer gc = Make(-20, 1, 10);
  EXPECT_EQ(gc.TargetGain(0.0), 1.0);
  EXPECT_EQ(gc.TargetGain(0.001), 1.0);
  EXPECT_NEAR(gc.TargetGain(std::pow(10.0, -0.5)), std::pow(10.0, -9.0 / 20.0), 1e-12);
  EXPECT_EQ(gc.TargetGain(std::numeric_limits<double>::infinity()), 0.0);
}

TEST(GainComputer, LevelMeasuresPeaksAboveOneMinusF) {
  GainComputer gc = Make(-20, 1, 10);
  const double f = std::exp(-62.83185307 / 44100.0);
  EXPECT_EQ(gc.LevelCoefficient(), f);
  EXPECT_NEAR(1.0 - f, 0.00142, 0.00001);
  struct Case {
    double e;
    double level;
  };
  for (Case c : {Case{0.5, 0.5}, Case{1.0, 1.0}, Case{0.0015, 0.0015}, Case{0.0014, std::sqrt((1 - f * f) * 0.0014)},
                 Case{1e-6, std::sqrt((1 - f * f) * 1e-6)}, Case{0.0, 0.0}}) {
    EXPECT_NEAR(gc.Level(c.e), c.level, 1e-15) << c.e;
  }
  EXPECT_GT(gc.Level(0.0014), 0.0014);
}

TEST(GainComputer, BallisticsLimitEachStep) {
  GainComputer gc = Make(-20, 1, 10, 0.00005, 0.15);
  const double a = std::exp(-1.0 / (0.00005 * 44100.0));
  const double r = std::exp(-1.0 / (0.15 * 44100.0));
  EXPECT_EQ(gc.AttackCoefficient(), a);
  EXPECT_NEAR(20 * std::log10(a), -3.94, 0.01);  // about 3.9 dB per sample
  struct Case {
    double g, target, next;
  };
  for (Case c : {Case{1.0, 0.1, a}, Case{1.0, 0.9, 0.9}, Case{0.5, 1.0, 0.5 / r}, Case{0.5, 0.5000001, 0.5000001},
                 Case{0.5, 0.5, 0.5}}) {
    EXPECT_EQ(gc.Step(c.g, c.target), c.next) << c.g << " -> " << c.target;
  }
  GainComputer instant = Make(-20, 1, 10, 0.0, 0.0);
  EXPECT_EQ(instant.Step(1.0, 0.1), 0.1);
  EXPECT_EQ(instant.Step(0.1, 1.0), 1.0);
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// The plain formulas, without the shortcuts the gain computer takes.
double PlainLevel(double e, double f) {
  const double y = (1.0 - f) * e;
  return e > std::sqrt(y) ? e : std::sqrt(y + f * y);
}

double PlainTarget(const GainComputer& gc, double level) {
  if (!(level > 0.0)) return 1.0;
  const double g = gc.GainDb(20.0 * std::log10(level));
  return g == 0.0 ? 1.0 : std::pow(10.0, g / 20.0);
}

TEST(GainComputer, ShortcutsGiveExactlyTheFormulasResults) {
  struct Setting {
    double threshold, knee, ratio, fs;
  };
  for (Setting s : {Setting{-20, 12, 3, 44100}, Setting{-50, 20, 1.5, 48000}, Setting{-0.5, 1, 10, 192000},
                    Setting{-35, 9, 4, 8000}}) {
    GainComputer gc = Make(s.threshold, s.knee, s.ratio, 0.00005, 0.15, s.fs);
    const double f = gc.LevelCoefficient();
    std::vector<double> levels = {0.0, 1e-300, 1.0 - f, 2.0 * (1.0 - f), std::pow(10.0, (s.threshold - s.knee / 2) / 20.0),
                                  std::pow(10.0, (s.threshold + s.knee / 2) / 20.0), 1.0, 4.0};
    for (size_t i = 0, n = levels.size(); i < n; ++i) {
      double below = levels[i], above = levels[i];
      for (int k = 0; k < 64; ++k) {  // a few ulps either side of each edge
        below = std::nextafter(below, 0.0);
        above = std::nextafter(above, 10.0);
        levels.push_back(below);
        levels.push_back(above);
      }
    }
    for (double x = 1e-9; x < 3.0; x *= 1.0007) levels.push_back(x);
    // Just inside the knee, where the reduction is tiny but not zero.
    for (double db : {1e-9, 1e-8, 1e-7, 5e-7, 2e-6}) {
      levels.push_back(std::pow(10.0, (s.threshold - s.knee / 2 + db) / 20.0));
    }
    for (double e : levels) {
      ASSERT_EQ(gc.Level(e), PlainLevel(e, f)) << e;
      ASSERT_EQ(gc.TargetGain(e), PlainTarget(gc, e)) << e;
    }
  }
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// The estimate may only ever save work: the step must be exactly the step
// towards the exact target, also right at the attack and release limits.
TEST(GainComputer, EstimatedStepsEqualExactSteps) {
  struct Setting {
    double threshold, knee, ratio, attack, release;
  };
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (Setting s : {Setting{-20, 12, 3, 0.00045, 0.25}, Setting{-50, 20, 1.5, 0.00005, 0.15},
                    Setting{-5, 1, 10, 0.0009, 0.1}, Setting{-30, 6, 5, 0.0, 0.35}, Setting{-30, 6, 5, 0.0006, 0.0}}) {
    GainComputer gc = Make(s.threshold, s.knee, s.ratio, s.attack, s.release, 48000.0);
    const double a = gc.AttackCoefficient(), r = gc.ReleaseCoefficient();
    for (int n = 0; n < 20000; ++n) {
      const double level = std::pow(10.0, -4.0 + 4.5 * unit(rng));  // -80 .. +10 dBFS
      const double k = gc.TargetGain(level);
      const float estimate = gc.EstimateTarget(level);
      if (estimate > 0.0f) {
        ASSERT_NEAR(estimate / k, 1.0, 1e-5) << level;
      }
      // Gains at random, and right at and around both limits.
      std::vector<double> gains = {unit(rng), k, k * r, a > 0 ? k / a : 1.0};
      for (size_t i = 1, m = gains.size(); i < m; ++i) {
        for (double f : {1 - 1e-4, 1 - 1e-5, 1 - 1e-9, 1 + 1e-9, 1 + 1e-5, 1 + 1e-4}) gains.push_back(gains[i] * f);
      }
      for (double g : gains) ASSERT_EQ(gc.StepTowards(g, level, estimate), gc.Step(g, k)) << g << " " << level;
    }
  }
}

// The estimate is within 1e-5 of the exact target wherever it is made, for
// every knee and ratio, from far below the knee to the top of the float
// range; it is made for all ordinary levels, and levels it cannot hold get
// none (0) rather than a wrong one.
TEST(GainComputer, EstimateIsCloseOrAbsent) {
  const double ratios[] = {1.5, 2, 3, 4, 5, 10};
  const double knees[] = {20, 15, 12, 9, 6, 1};
  for (int position = 0; position < 6; ++position) {
    for (double threshold : {-50.0, -20.0, -0.01}) {
      GainComputer gc = Make(threshold, knees[position], ratios[position], 0.0006, 0.25, 48000.0);
      std::vector<double> levels;
      for (double x = 1e-7; x < 1e35; x *= 1.003) levels.push_back(x);
      // Right around both knee edges and the threshold.
      for (double edge : {threshold - knees[position] / 2, threshold, threshold + knees[position] / 2}) {
        for (double db = -1e-3; db <= 1e-3; db += 1e-5) levels.push_back(std::pow(10.0, (edge + db) / 20.0));
      }
      while (levels.size() % 4 != 3) levels.push_back(0.5);  // a count that is not a multiple of 4
      std::vector<double> padded = levels;
      padded.resize(levels.size() + 4, 0.0);
      std::vector<float> estimates(padded.size(), -1.0f);
      gc.EstimateTargets(padded.data(), estimates.data(), static_cast<int>(levels.size()));
      for (size_t i = 0; i < levels.size(); ++i) {
        const double exact = gc.TargetGain(levels[i]);
        const float estimate = estimates[i];
        ASSERT_EQ(estimate, gc.EstimateTarget(levels[i])) << levels[i];
        if (levels[i] < 1e29 && exact > 1e-29) {
          ASSERT_GT(estimate, 0.0f) << "no estimate for " << levels[i];
        }
        if (estimate != 0.0f) {
          ASSERT_NEAR(estimate / exact, 1.0, 1e-5) << "level " << levels[i] << " position " << position;
        }
      }
    }
  }
  GainComputer gc = Make(-20, 12, 3, 0.0006, 0.25, 48000.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double level : {0.0, 1e-310, 1e30, 1e300, std::numeric_limits<double>::max(), nan}) {
    const float estimate = gc.EstimateTarget(level);
    EXPECT_TRUE(estimate == 0.0f || estimate == 1.0f) << level << " " << estimate;
    if (level < 1.0) {
      EXPECT_EQ(estimate, 1.0f) << level;
    }
    if (level >= 1e30 || std::isnan(level)) {
      EXPECT_EQ(estimate, 0.0f) << level;
    }
  }
}

}  // namespace
}  // namespace kestro
