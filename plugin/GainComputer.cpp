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
}

}  // namespace kestro
