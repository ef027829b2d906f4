#pragma once

#include "core/PluginCore.h"
#include "plugin/KestroParams.h"

namespace kestro {

// The compressor: its parameters, the values derived from them and its
// signal path.
class Kestro : public PluginCore {
 public:
  // Values the parameter hook derives for the signal path.
  struct InternalValues {
    double threshold = -10.0;  // dB
    double outputGain = 0.0;   // linear factor
    double attackTime = 0.0;   // seconds
    double releaseTime = 0.0;  // seconds
    double ratio = 0.0;
    double sideAmount = 0.0;  // 0.3..0.99
    double mix = 0.0;         // percent
    int oversampling = 4;     // colour stage factor, 4 or 16
  };

  Kestro();

  void ResetProcessing() override;
  void ParamChanged(int index) override;

  const InternalValues& Internal() const { return internal_; }
  double GainState() const { return gainState_; }
  double MeterLevel() const { return meterLevel_; }

 private:
  void DefineParameters();

  InternalValues internal_;
  double gainState_ = 1.0;
  double meterLevel_ = 1.0;
};

}  // namespace kestro
