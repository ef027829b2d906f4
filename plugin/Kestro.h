#pragma once

#include "plugin/ColourStage.h"
#include "plugin/DetectorFilter.h"
#include "plugin/GainComputer.h"
#include "plugin/KestroParams.h"
#include "FormatPlugin.h"  // the format's base class, per build

namespace kestro {

// The compressor: its parameters, the values derived from them and its
// signal path, on the plug-in base class of the format it is built for.
class Kestro : public FormatPlugin {
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
  void ProcessDoubles(double** inputs, double** outputs, int frames) override;

  const InternalValues& Internal() const { return internal_; }
  double GainState() const { return gainState_; }
  double KneeWidth() const { return kneeWidth_; }
  double MeterLevel() const { return meterLevel_; }
  int MeterControl() const { return meterControl_; }

  // Runs every block through the full sample loop, even where silence lets
  // it be produced without the filters: for comparing the two.
  void DisableSilenceShortcut() { silenceShortcut_ = false; }
  // Which build of the sample loop runs: the widest the processor has, or
  // (for comparisons) a narrower one it also has.
  enum class SignalLoop { kWidest, kSse2, kAvx };
  void UseSignalLoop(SignalLoop loop) { signalLoop_ = loop; }

  // Blocks produced with the detectors and the gain standing still, and
  // those of them with the colour stage at rest too.
  long SettledBlocks() const { return settledBlocks_; }
  long RestingBlocks() const { return restingBlocks_; }
  // Times silence put a colour stage that had faded to rest.
  long ColourRests() const { return colourRests_; }

 private:
  void DefineParameters();
  // Hands the meter level to the editor's meter control.
  void PushMeter();
  // True when one sample of silent detector input would leave the detector
  // filters and the gain state exactly as they are.
  bool SettledUnderSilence(double sideAmount, bool compressing) const;

  InternalValues internal_;
  // Signal-path state; construction values, never reset (the colour stage
  // is the only part that ResetProcessing clears).
  double gainState_ = 1.0;
  double kneeWidth_ = 0.0;
  double meterLevel_ = 1.0;
  GainComputer gain_;
  DetectorFilter detectors_[2];
  ColourStage colour_;
  // Index of the gain-reduction meter among the editor's controls.
  int meterControl_ = -1;
  bool meterPushed_ = false;  // the control has had its first level
  bool silenceShortcut_ = true;
  SignalLoop signalLoop_ = SignalLoop::kWidest;
  long settledBlocks_ = 0;
  long restingBlocks_ = 0;
  long colourRests_ = 0;
};

}  // namespace kestro
