#include "plugin/GainComputer.h"

namespace kestro {

namespace {
// 2 pi x 10 Hz, to eight decimals: the level detector's smoothing corner.
constexpr double kLevelOmega = 62.83185307;
}  // namespace

void GainComputer::Prepare(double sampleRate, double thresholdDb, double kneeWidthDb, double ratio, double attackTime,
                           double releaseTime) {
  f_ = std::exp(-kLevelOmega / sampleRate);
  threshold_ = thresholdDb;
  kneeLow_ = thresholdDb - kneeWidthDb / 2.0;
  kneeHigh_ = thresholdDb + kneeWidthDb / 2.0;
  slope_ = 1.0 / ratio - 1.0;
  kneeScale_ = slope_ / (2.0 * kneeWidthDb);
  attack_ = attackTime == 0.0 ? 0.0 : std::exp(-1.0 / (attackTime * sampleRate));
  release_ = releaseTime == 0.0 ? 0.0 : std::exp(-1.0 / (releaseTime * sampleRate));
  // For e > 2 (1 - f), sqrt((1 - f) e) < e / sqrt(2): no rounding can
  // reverse the comparison.
  peakOnlyAbove_ = 2.0 * (1.0 - f_);
  // Levels below this are more than 1e-6 dB under the knee's lower edge,
  // far beyond any rounding of the logarithm: their gain is exactly 1.
  belowKneeUnder_ = std::pow(10.0, (kneeLow_ - 1e-6) / 20.0);
}

}  // namespace kestro
