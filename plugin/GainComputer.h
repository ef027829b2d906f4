#pragma once

#include <algorithm>
#include <cmath>

namespace kestro {

// The compressor's level measurement, soft-knee gain computer and gain
// ballistics. Prepare once per block with the current settings; the
// per-sample operations are inline so the sample loop stays tight.
class GainComputer {
  // The estimate's relative error stays below 1e-5 wherever one is made;
  // decisions keep ten times that away from the limits.
  static constexpr double kEstimateMargin = 1e-4;

 public:
  void Prepare(double sampleRate, double thresholdDb, double kneeWidthDb, double ratio, double attackTime,
               double releaseTime);

  // Linked level of the rectified detector peak e: loud signals are
  // measured by their peak, quiet ones by sqrt((1 - f^2) e).
  double Level(double e) const {
    const double y = (1.0 - f_) * e;
    // Far above 1 - f the peak wins whatever the rounding of sqrt(y), so
    // the root is only taken where it can decide.
    if (e > peakOnlyAbove_) return e;
    return e > std::sqrt(y) ? e : std::sqrt(y + f_ * y);
  }

  // Target gain (linear) for a level. A level of 0 means no reduction.
  double TargetGain(double level) const {
    // Well below the knee the gain is 1 whatever the rounding of the
    // logarithm: skip it. Near the knee the exact comparison decides.
    if (!(level > belowKneeUnder_)) return 1.0;
    const double gainDb = GainDb(20.0 * std::log10(level));
    return gainDb == 0.0 ? 1.0 : std::pow(10.0, gainDb / 20.0);
  }

  // Gain reduction in dB (0 or negative) for a level in dB.
  double GainDb(double levelDb) const {
    if (kneeLow_ > levelDb) return 0.0;
    if (levelDb > kneeHigh_) return (levelDb - threshold_) * slope_;
    const double d = levelDb - kneeLow_;
    return kneeScale_ * (d * d);
  }

  // Moves the gain g towards the target by at most the attack factor down
  // or the inverse release factor up; a time of 0 jumps straight there.
  double Step(double g, double target) const {
    if (g > target) return std::max(target, attack_ * g);
    return release_ == 0.0 ? target : std::min(g / release_, target);
  }

  // Cheap estimates of TargetGain for a run of levels, within 1e-5 of it:
  // single-precision logarithm and power from the float's bits and short
  // polynomials, four levels at a time. 0 where no estimate is made (the
  // target would be below about 1.6e-30, or the level 1e30 or beyond). count is rounded
  // up to a multiple of 4: both arrays must have room for that many.
  void EstimateTargets(const double* level, float* estimate, int count) const;

  // The same for one level.
  float EstimateTarget(double level) const;

  // Step with the target of this level. Most samples are limited by the
  // attack or release factor, whatever the exact target: when the estimate
  // shows that clearly, the step needs no logarithm or power. Otherwise the
  // exact target decides, so the result is always Step(g, TargetGain(level)).
  double StepTowards(double g, double level, float estimate) const {
    if (estimate > 0.0f) {
      const double e = estimate;
      // Target at or above g / R (> g): the release limit applies.
      if (release_ > 0.0 && e * (1.0 - kEstimateMargin) >= g / release_) return g / release_;
      // Target at or below A g (< g): the attack limit applies.
      if (e * (1.0 + kEstimateMargin) <= attack_ * g) return attack_ * g;
    }
    return Step(g, TargetGain(level));
  }

  double LevelCoefficient() const { return f_; }
  double AttackCoefficient() const { return attack_; }
  double ReleaseCoefficient() const { return release_; }

 private:
  double f_ = 0.0;
  double threshold_ = 0.0;
  double kneeLow_ = 0.0;
  double kneeHigh_ = 0.0;
  double slope_ = 0.0;
  double kneeScale_ = 0.0;
  double attack_ = 0.0;
  double release_ = 0.0;
  double peakOnlyAbove_ = 0.0;   // 2 (1 - f): e surely beats sqrt((1 - f) e)
  double belowKneeUnder_ = 0.0;  // the knee's lower edge as a level, less a margin
  // The gain computer's corners and slopes in octaves (log2) for the estimate.
  float octKneeLow_ = 0.0f;
  float octKneeHigh_ = 0.0f;
  float octThreshold_ = 0.0f;
  float octSlope_ = 0.0f;
  float octKneeScale_ = 0.0f;
};

}  // namespace kestro
