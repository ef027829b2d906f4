#include "plugin/Kestro.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <type_traits>

#include "core/FourCharCode.h"
#include "plugin/DenormalGuard.h"
#include "plugin/DetectorPair.h"
#include "plugin/KestroEditor.h"
#include "plugin/KestroTables.h"
#include "plugin/SignalBlockImpl.h"

namespace kestro {

namespace {

constexpr int kNumPresets = 1;

// Soft-knee width in dB by ratio position: gentle ratios get a wide knee.
constexpr double kKneeWidths[6] = {20, 15, 12, 9, 6, 1};

// ln 100: the meter covers 99 % of a step in its time constant of 0.3 s.
constexpr double kMeterLn100 = 4.60517018599;
constexpr double kMeterTime = 0.3;

// Looks up a stepped table; positions outside it leave the value unchanged.
void SetFromTable(double& target, const double (&table)[6], int position) {
  if (position >= 0 && position < 6) target = table[position];
}

// Exact silence: every sample +0. Negative zeros and denormals do not count;
// they could leave a signed zero in a filter state, so the full loop takes
// them.
bool IsSilent(const double* x, int frames) {
  if (std::bit_cast<std::uint64_t>(x[0]) != 0) return false;  // the usual answer for signal
  std::uint64_t bits = 0;
  for (int n = 1; n < frames; ++n) bits |= std::bit_cast<std::uint64_t>(x[n]);
  return bits == 0;
}

// The meter recursion over a run of samples with a constant reduction m.
double AdvanceMeter(double meter, double m, double coefficient, int frames) {
  if (m == 0.0 && meter >= 0.0) {
    // The target is then +0 and each step is exactly meter * coefficient;
    // once that reaches 0 (flushed from the denormal range) it stays there.
    for (int n = 0; n < frames && meter != 0.0; ++n) meter *= coefficient;
    return meter;
  }
  for (int n = 0; n < frames; ++n) meter = MeterStep(meter, m, coefficient);
  return meter;
}

}  // namespace

Kestro::Kestro()
    : FormatPlugin(kNumKestroParams, "2-2 4-2", kNumPresets, "KESTRO", "", "PelmarAcoustics", PackVersion(6, 1, 0),
                 FourCharCode("Kro1"), FourCharCode("Pelm")) {
  DefineParameters();
  AttachEditor(BuildKestroEditor(this, meterControl_));
  StoreDefaultPreset("-");
}

void Kestro::DefineParameters() {
  // Threshold and Output are decibels but have always shown "%" to hosts.
  ParamAt(ParamBypass)->DefineInteger("Bypass", 1, 0, 1);
  ParamAt(ParamBypass)->SetShapeExponent(1.0);
  ParamAt(ParamOversample)->DefineInteger("Oversample", 0, 0, 1);
  ParamAt(ParamOversample)->SetShapeExponent(1.0);
  ParamAt(ParamSidechain)->DefineInteger("Sidechain", 1, 0, 1);
  ParamAt(ParamSidechain)->SetShapeExponent(1.0);
  ParamAt(ParamOutput)->DefineDouble("Output", 0.0, -30.0, 30.0, 0.01, "%", "", 1.0);
  ParamAt(ParamOutput)->SetShapeExponent(1.0);
  ParamAt(ParamThreshold)->DefineDouble("Threshold", 0.0, -50.0, 0.0, 0.01, "%", "", 1.0);
  ParamAt(ParamThreshold)->SetShapeExponent(1.0);
  ParamAt(ParamSide)->DefineDouble("Sidechain", 0.3, 0.3, 0.99, 0.01, "%", "", 1.0);
  ParamAt(ParamSide)->SetShapeExponent(1.0);
  ParamAt(ParamMix)->DefineDouble("Mix", 100.0, 0.0, 100.0, 0.01, "%", "", 1.0);
  ParamAt(ParamMix)->SetShapeExponent(1.0);
  ParamAt(ParamAttack)->DefineInteger("Attack", 0, 0, 5);
  ParamAt(ParamAttack)->SetShapeExponent(1.0);
  ParamAt(ParamRelease)->DefineInteger("Release", 0, 0, 5);
  ParamAt(ParamRelease)->SetShapeExponent(1.0);
  ParamAt(ParamRatio)->DefineInteger("Ratio", 0, 0, 5);
  ParamAt(ParamRatio)->SetShapeExponent(1.0);
}

void Kestro::ResetProcessing() {
  std::lock_guard lock(ParamsLock());
  colour_.Clear();
}

void Kestro::ProcessDoubles(double** inputs, double** outputs, int frames) {
  DenormalGuard denormals;
  colour_.Prepare(internal_.oversampling);
  if (frames < 1) return;

  // Everything below depends only on the sample rate and on values that
  // cannot change during the block (the caller holds the parameter lock), so
  // it is computed once per block; the results equal per-sample evaluation.
  const double fs = SampleRate();
  detectors_[0].UpdateRate(fs);
  detectors_[1].UpdateRate(fs);
  const int ratioPosition = ParamAt(ParamRatio)->IntValue();
  if (ratioPosition >= 0 && ratioPosition < 6) kneeWidth_ = kKneeWidths[ratioPosition];
  gain_.Prepare(fs, internal_.threshold, kneeWidth_, internal_.ratio, internal_.attackTime, internal_.releaseTime);
  const double meterCoefficient = std::exp(-kMeterLn100 / (fs * kMeterTime));
  const bool compressing = internal_.threshold != 0.0;  // threshold 0 switches compression off
  const bool processing = ParamAt(ParamBypass)->IntValue() != 0;
  const bool sidechain = ParamAt(ParamSidechain)->IntValue() == 0;
  const double wet = internal_.mix / 100.0;
  const double dry = 1.0 - wet;
  const double side = internal_.sideAmount;
  const double outputGain = internal_.outputGain;
  IEditor* editor = Editor();
  // The meter control keeps only the latest level, and the editor reads it
  // at 25 frames per second: one push per block shows it exactly as a push
  // per sample would, and marks it for redrawing when it moved. The very
  // first level ever pushed becomes the control's default, so that one is
  // still the first sample's.
  const bool firstPush = editor != nullptr && !meterPushed_;

  const double* inL = inputs[0];
  const double* inR = inputs[1];
  const double* detL = sidechain ? inputs[2] : inL;
  const double* detR = sidechain ? inputs[3] : inR;
  double* outL = outputs[0];
  double* outR = outputs[1];

  // Silence. Silent main input keeps a colour stage at rest there, with +0
  // colour, so it need not run. When the detector input is silent too and
  // the detectors and the gain have settled (they reach exact fixed points
  // once a signal's tails have decayed), those states stand still, and only
  // the colour stage (unless at rest) and the meter move.
  bool colourRuns = true;
  bool settled = false;
  if (silenceShortcut_ && IsSilent(inL, frames) && IsSilent(inR, frames)) {
    const bool detectorSilent = !sidechain || (IsSilent(detL, frames) && IsSilent(detR, frames));
    // After a signal the colour filters never quite come to rest (see
    // ColourStage::AtRest). Once all that is left is the faint cycle,
    // clearing it as a reset does changes no output sample by more than
    // kColourGain times its colour at +30 dB: below 1e-15.
    if (detectorSilent && !colour_.AtRest() && colour_.Faded()) {
      colour_.Clear();
      ++colourRests_;
    }
    colourRuns = !colour_.AtRest();
    settled = detectorSilent && !firstPush && SettledUnderSilence(side, compressing);
  }
  SignalBlock block{inL, inR, detL, detR, outL, outR, frames, colourRuns ? &colour_.KernelState() : nullptr,
                    detectors_, &gain_, fs, side, wet, dry, outputGain, meterCoefficient, compressing, processing,
                    firstPush ? editor : nullptr, meterControl_, gainState_, meterLevel_, settled};
  if (!colourRuns) colour_.SkipSilence();
  if (settled) ++settledBlocks_;
  if (settled && !colourRuns) {
    // Nothing moves but the meter: the block is one constant.
    ++restingBlocks_;
    std::fill_n(outL, frames, SettledOutput(block, 0.0));
    std::fill_n(outR, frames, SettledOutput(block, 0.0));
    meterLevel_ = AdvanceMeter(meterLevel_, std::fabs(1.0 - gainState_), meterCoefficient, frames);
    PushMeter();
    return;
  }

  // The same loop for the instruction sets the processor has; the colour
  // stage's switch for comparisons applies to all of it.
  if (!colour_.UsesAvx() || signalLoop_ == SignalLoop::kSse2) {
    RunSignalBlockSse2(block);
  } else if (CpuHasAvx512() && signalLoop_ == SignalLoop::kWidest) {
    RunSignalBlockAvx512(block);
  } else {
    RunSignalBlockAvx(block);
  }
  gainState_ = block.gainState;
  meterLevel_ = block.meterLevel;
  PushMeter();
}

void RunSignalBlockSse2(SignalBlock& block) { RunSignalBlock(block); }

bool Kestro::SettledUnderSilence(double sideAmount, bool compressing) const {
  // One sample on copies, exactly as the sample loop runs it.
  DetectorFilter trial[2] = {detectors_[0], detectors_[1]};
  DetectorPair pair(trial[0], trial[1]);
  double left = 0.0;
  double right = 0.0;
  pair.Run(0.0, 0.0, sideAmount, left, right);
  pair.Store();
  if (!trial[0].SameState(detectors_[0]) || !trial[1].SameState(detectors_[1])) return false;
  const double e = std::max(std::fabs(left), std::fabs(right));
  if (!std::isfinite(e)) return false;
  const double level = gain_.Level(e);
  const double g = compressing ? gain_.StepTowards(gainState_, level, gain_.EstimateTarget(level)) : 1.0;
  return std::bit_cast<std::uint64_t>(g) == std::bit_cast<std::uint64_t>(gainState_);
}

void Kestro::PushMeter() {
  if (IEditor* editor = Editor()) {
    editor->PushControlValue(meterControl_, meterLevel_);
    meterPushed_ = true;
  }
}

void Kestro::ParamChanged(int index) {
  std::lock_guard lock(ParamsLock());
  const IParamEntry* param = ParamAt(index);
  if (!param) return;
  switch (index) {
    case ParamThreshold:
      internal_.threshold = param->Value();
      break;
    case ParamOutput:
      internal_.outputGain = std::pow(10.0, param->Value() / 20.0);
      break;
    case ParamAttack:
      SetFromTable(internal_.attackTime, kAttackTimes, param->IntValue());
      break;
    case ParamRelease:
      SetFromTable(internal_.releaseTime, kReleaseTimes, param->IntValue());
      break;
    case ParamRatio:
      SetFromTable(internal_.ratio, kRatios, param->IntValue());
      break;
    case ParamSide:
      internal_.sideAmount = param->Value();
      break;
    case ParamMix:
      internal_.mix = param->Value();
      break;
    case ParamOversample:
      internal_.oversampling = param->IntValue() != 0 ? 16 : 4;
      break;
    default:  // Bypass and the detector source are read by the signal path itself.
      break;
  }
}

}  // namespace kestro
