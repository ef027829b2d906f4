#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plugin/ColourStage.h"
#include "plugin/DetectorFilter.h"
#include "plugin/GainComputer.h"
#include "tests/plugin/KestroHarness.h"

namespace kestro {
namespace {

constexpr double kColourGain = 3.16227766016837933e-5;
constexpr double kFs = 44100.0;

TEST(SignalPath, DefaultsAddTheScaledColourAtUnityGain) {
  KestroHarness k;
  const std::vector<double> left = Noise(4096, 0.5, 1), right = Noise(4096, 0.5, 2);
  std::vector<double> outL, outR;
  k.Process(left, right, outL, outR, 100);

  ColourStage colour;
  colour.Prepare(4);
  for (size_t n = 0; n < left.size(); ++n) {
    double cL = 0, cR = 0;
    colour.Run(left[n], right[n], cL, cR);
    ASSERT_EQ(outL[n], ((kColourGain * cL + left[n]) * 1.0 * 1.0 + left[n] * 0.0) * 1.0) << n;
    ASSERT_EQ(outR[n], ((kColourGain * cR + right[n]) * 1.0 * 1.0 + right[n] * 0.0) * 1.0) << n;
  }
  EXPECT_EQ(k.GainState(), 1.0);
}

TEST(SignalPath, BypassParameterPassesInputBitForBit) {
  KestroHarness k;
  k.Set(ParamThreshold, 0.2);
  k.Set(ParamOutput, 0.9);
  k.Set(ParamRatio, 1.0);
  k.Set(ParamMix, 0.5);
  k.Set(ParamBypass, 0.0);
  const std::vector<double> left = Noise(2000, 1.0, 3), right = Noise(2000, 1.0, 4);
  std::vector<double> outL, outR;
  k.Process(left, right, outL, outR, 64);
  EXPECT_EQ(outL, left);
  EXPECT_EQ(outR, right);
  EXPECT_LT(k.GainState(), 1.0);  // the compressor keeps running underneath
}

TEST(SignalPath, MixZeroGivesInputTimesOutputGain) {
  KestroHarness k;
  k.Set(ParamThreshold, 0.2);
  k.Set(ParamMix, 0.0);
  k.Set(ParamOutput, 0.75);  // +15 dB
  const double gain = k.Internal().outputGain;
  const std::vector<double> left = Noise(2000, 1.0, 5), right = Noise(2000, 1.0, 6);
  std::vector<double> outL, outR;
  k.Process(left, right, outL, outR);
  for (size_t n = 0; n < left.size(); ++n) {
    ASSERT_EQ(outL[n], left[n] * gain);
    ASSERT_EQ(outR[n], right[n] * gain);
  }
}

TEST(SignalPath, SteadyLevelSettlesOnTheComputedGain) {
  struct Case {
    int ratioPosition;
    double gainDb;
  };
  for (Case c : {Case{5, -9.0}, Case{0, -10.0 / 3.0}, Case{3, 10 * (0.25 - 1) + 0.0}}) {
    KestroHarness k;
    k.SetPlain(ParamThreshold, -20);
    k.SetPlain(ParamRatio, c.ratioPosition);
    // A Nyquist-rate square at -10 dB passes the detector's high-pass as it
    // is, so the measured level stays at -10 dB.
    const std::vector<double> level = Nyquist(20000, Db(-10));
    k.Run(level, level);
    EXPECT_NEAR(20 * std::log10(k.GainState()), c.gainDb, 0.001) << c.ratioPosition;
  }
}

// Runs single samples and records the gain state after each.
std::vector<double> GainTrace(KestroHarness& k, const std::vector<double>& signal) {
  std::vector<double> trace;
  for (double x : signal) {
    k.Run({x}, {x}, 1);
    trace.push_back(k.GainState());
  }
  return trace;
}

TEST(SignalPath, AttackAndReleaseLimitTheGainPerSample) {
  const double attack[] = {0.00005, 0.00015, 0.00045, 0.0006, 0.0009, 0.00012};
  const double release[] = {0.15, 0.1, 0.15, 0.25, 0.35, 0.3};
  for (int pos = 0; pos < 6; ++pos) {
    KestroHarness k;
    k.SetPlain(ParamThreshold, -30);
    k.SetPlain(ParamRatio, 5);
    k.SetPlain(ParamAttack, pos);
    k.SetPlain(ParamRelease, pos);
    const double a = std::exp(-1.0 / (attack[pos] * kFs));
    const double r = std::exp(-1.0 / (release[pos] * kFs));
    // Loud: the gain may only fall by the attack factor per sample.
    std::vector<double> trace = GainTrace(k, Nyquist(3, 1.0));
    EXPECT_DOUBLE_EQ(trace[0], a) << pos;
    EXPECT_DOUBLE_EQ(trace[1], a * a) << pos;
    // Settle, then drop far below the knee: it rises by the inverse
    // release factor (once the detector's transient has passed).
    k.Run(Nyquist(4001, 1.0), Nyquist(4001, 1.0));
    EXPECT_NEAR(20 * std::log10(k.GainState()), -27.0, 0.01);
    trace = GainTrace(k, Nyquist(12, 0.001));
    for (size_t i = 8; i < 12; ++i) EXPECT_DOUBLE_EQ(trace[i], trace[i - 1] / r) << pos << " " << i;
  }
  // The tables are not monotone: attack 5 is faster than attack 1.
  EXPECT_LT(attack[5], attack[1]);
}

TEST(SignalPath, ThresholdZeroSwitchesCompressionOff) {
  KestroHarness k;
  k.SetPlain(ParamRatio, 5);
  k.Run(Nyquist(44100, 1.0), Nyquist(44100, 1.0));
  EXPECT_EQ(k.GainState(), 1.0);
  EXPECT_LT(k.MeterLevel(), 0.001);  // no reduction: the meter falls to rest
}

TEST(SignalPath, SilentSidechainLetsTheGainRecover) {
  KestroHarness k;
  k.SetPlain(ParamThreshold, -40);
  k.SetPlain(ParamRatio, 5);
  const std::vector<double> loud = Nyquist(4000, 0.5);
  k.Run(loud, loud);
  const double reduced = k.GainState();
  ASSERT_LT(reduced, 0.1);

  k.SetPlain(ParamSidechain, 0);  // detector listens to the (silent) sidechain
  const double r = std::exp(-1.0 / (0.15 * kFs));
  std::vector<double> trace = GainTrace(k, Nyquist(12, 0.5));
  for (size_t i = 8; i < 12; ++i) EXPECT_DOUBLE_EQ(trace[i], trace[i - 1] / r) << i;
  EXPECT_GT(trace[11], reduced);

  // A loud sidechain compresses a quiet main signal.
  KestroHarness s;
  s.SetPlain(ParamThreshold, -40);
  s.SetPlain(ParamSidechain, 0);
  const std::vector<double> quiet = Nyquist(4000, 0.001), key = Nyquist(4000, 0.5);
  std::vector<double> outL, outR;
  s.Process(quiet, quiet, outL, outR, 256, &key, &key);
  EXPECT_LT(s.GainState(), 0.5);
}

TEST(SignalPath, MeterFollowsTheReductionWithOvershoot) {
  KestroHarness k;
  k.SetPlain(ParamThreshold, -20);
  k.SetPlain(ParamRatio, 5);  // 10:1, 9 dB of reduction at -10 dB
  EXPECT_EQ(k.MeterLevel(), 1.0);
  const size_t n = static_cast<size_t>(kFs * 0.2);
  k.Run(Nyquist(n, Db(-10)), Nyquist(n, Db(-10)));
  const double m = 1.0 - k.GainState();
  ASSERT_NEAR(m, 1.0 - Db(-9), 0.001);
  // Falling from 1.0 towards 0.9875 m with 99 % of a step every 0.3 s.
  const double target = m * 0.9875;
  const double remaining = std::pow(0.01, 0.2 / 0.3);
  EXPECT_NEAR(k.MeterLevel(), target + (1.0 - target) * remaining, 0.0005);
  // It then settles around m, within the overshoot band.
  const std::vector<double> more = Nyquist(static_cast<size_t>(kFs * 2), Db(-10));
  k.Run(more, more);
  EXPECT_NEAR(k.MeterLevel(), m, 0.0125 * m);
  EXPECT_NE(k.MeterLevel(), m);
}

TEST(SignalPath, ResetProcessingRepeatsTheColourButNotTheGain) {
  KestroHarness k;
  const std::vector<double> left = Noise(1024, 0.3, 7), right = Noise(1024, 0.3, 8);
  std::vector<double> first, second, unused;
  k.Process(left, right, first, unused);
  k.ResetProcessing();
  k.Process(left, right, second, unused);
  EXPECT_EQ(first, second);
  k.Process(left, right, second, unused);  // without a reset the histories differ
  EXPECT_NE(first, second);
}

TEST(SignalPath, OversampleFactorChangesTheColour) {
  KestroHarness four, sixteen;
  sixteen.Set(ParamOversample, 1.0);
  const std::vector<double> left = Noise(512, 0.9, 9), right = Noise(512, 0.9, 10);
  std::vector<double> a, b, unused;
  four.Process(left, right, a, unused);
  sixteen.Process(left, right, b, unused);
  EXPECT_NE(a, b);
  for (size_t n = 0; n < a.size(); ++n) ASSERT_NEAR(a[n], b[n], 1e-4);
}

TEST(SignalPath, DamagedInputHealsWithinABlockAndConverges) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {nan, inf, -inf, 1e300}) {
    KestroHarness damaged;
    damaged.SetPlain(ParamThreshold, -30);
    damaged.SetPlain(ParamRatio, 3);
    damaged.Run(Noise(4096, 0.5, 11), Noise(4096, 0.5, 12));
    // A long run of damage, as from a broken upstream plug-in.
    std::vector<double> bads(4096, bad);
    damaged.Run(bads, bads);

    KestroHarness fresh;
    fresh.SetPlain(ParamThreshold, -30);
    fresh.SetPlain(ParamRatio, 3);
    const size_t n = static_cast<size_t>(kFs * 2.5);
    const std::vector<double> left = Noise(n, 0.5, 13), right = Noise(n, 0.5, 14);
    std::vector<double> dL, dR, fL, fR;
    damaged.Process(left, right, dL, dR);
    fresh.Process(left, right, fL, fR);
    for (size_t i = 256; i < n; ++i) {
      ASSERT_TRUE(std::isfinite(dL[i]) && std::isfinite(dR[i])) << i;
    }
    EXPECT_TRUE(std::isfinite(damaged.GainState()));
    EXPECT_TRUE(std::isfinite(damaged.MeterLevel()));
    for (size_t i = static_cast<size_t>(kFs * 2); i < n; ++i) {
      ASSERT_NEAR(dL[i], fL[i], 1e-9) << bad << " at " << i;
      ASSERT_NEAR(dR[i], fR[i], 1e-9) << bad << " at " << i;
    }
  }
}

TEST(SignalPath, ZeroFramesOnlyPreparesTheColourStage) {
  KestroHarness k;
  k.Run({}, {}, 0);
  double* none[4] = {nullptr, nullptr, nullptr, nullptr};
  k.ProcessDoubles(none, none, 0);
  EXPECT_EQ(k.GainState(), 1.0);
  EXPECT_EQ(k.MeterLevel(), 1.0);
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// The signal path as one plain loop over samples, built from the same
// blocks. The plug-in processes in chunks and passes and skips work where
// it cannot matter; its output must equal this bit for bit.
class ReferencePath {
 public:
  ReferencePath(double fs, double threshold, double kneeWidth, double ratio, double attack, double release,
                double wet, double outputGain, int factor)
      : fs_(fs), threshold_(threshold), wet_(wet), outputGain_(outputGain) {
    gain_.Prepare(fs, threshold, kneeWidth, ratio, attack, release);
    colour_.Prepare(factor);
  }

  void Run(const std::vector<double>& left, const std::vector<double>& right, std::vector<double>& outL,
           std::vector<double>& outR) {
    outL.resize(left.size());
    outR.resize(left.size());
    for (size_t n = 0; n < left.size(); ++n) {
      detectors_[0].UpdateRate(fs_);
      detectors_[1].UpdateRate(fs_);
      const double e = std::max(std::fabs(detectors_[0].Run(left[n], 0.3)), std::fabs(detectors_[1].Run(right[n], 0.3)));
      g_ = gain_.Step(g_, gain_.TargetGain(gain_.Level(e)));
      if (threshold_ == 0.0) g_ = 1.0;
      double cL = 0, cR = 0;
      colour_.Run(left[n], right[n], cL, cR);
      outL[n] = ((kColourGain * cL + left[n]) * g_ * wet_ + left[n] * (1.0 - wet_)) * outputGain_;
      outR[n] = ((kColourGain * cR + right[n]) * g_ * wet_ + right[n] * (1.0 - wet_)) * outputGain_;
    }
  }

 private:
  double fs_, threshold_, wet_, outputGain_;
  GainComputer gain_;
  DetectorFilter detectors_[2];
  ColourStage colour_;
  double g_ = 1.0;
};

TEST(SignalPath, EqualsAPlainSampleLoopBitForBit) {
  struct Case {
    double threshold;
    int ratio, attack, release;
    double mixPercent, outputDb;
    int oversample;
    int block;  // odd sizes, whole chunks, single samples, a long block
  };
  const double ratios[] = {1.5, 2, 3, 4, 5, 10};
  const double knees[] = {20, 15, 12, 9, 6, 1};
  const double attacks[] = {0.00005, 0.00015, 0.00045, 0.0006, 0.0009, 0.00012};
  const double releases[] = {0.15, 0.1, 0.15, 0.25, 0.35, 0.3};
  for (Case c : {Case{-20, 2, 2, 3, 100, 6, 0, 77}, Case{-40, 5, 0, 1, 60, -3, 1, 16},
                 Case{-10, 0, 5, 4, 100, 0, 0, 1}, Case{0, 3, 1, 0, 100, 0, 0, 4097}}) {
    KestroHarness k(48000.0);
    k.SetPlain(ParamThreshold, c.threshold);
    k.SetPlain(ParamRatio, c.ratio);
    k.SetPlain(ParamAttack, c.attack);
    k.SetPlain(ParamRelease, c.release);
    k.SetPlain(ParamMix, c.mixPercent);
    k.SetPlain(ParamOutput, c.outputDb);
    k.SetPlain(ParamOversample, c.oversample);
    // Noise with loud bursts and quiet stretches, in odd block sizes.
    std::vector<double> left = Noise(24000, 0.6, 21), right = Noise(24000, 0.3, 22);
    for (size_t i = 0; i < left.size(); ++i) {
      const double envelope = (i / 3000) % 2 ? 1.0 : 0.02;
      left[i] *= envelope;
      right[i] *= envelope;
    }
    std::vector<double> outL, outR, refL, refR;
    k.Process(left, right, outL, outR, c.block);
    ReferencePath ref(48000.0, c.threshold, knees[c.ratio], ratios[c.ratio], attacks[c.attack], releases[c.release],
                      c.mixPercent / 100.0, std::pow(10.0, c.outputDb / 20.0), c.oversample ? 16 : 4);
    ref.Run(left, right, refL, refR);
    for (size_t i = 0; i < left.size(); ++i) {
      ASSERT_EQ(outL[i], refL[i]) << "threshold " << c.threshold << " block " << c.block << " sample " << i;
      ASSERT_EQ(outR[i], refR[i]) << "threshold " << c.threshold << " block " << c.block << " sample " << i;
    }
  }
}

}  // namespace
}  // namespace kestro
