#include "plugin/Kestro.h"

#include <cmath>
#include <mutex>

#include "core/FourCharCode.h"

namespace kestro {

namespace {

// Stepped tables by position. They are neither monotone nor free of repeats
// (attack 5 is shorter than 1..4, release 0 equals 2, release 5 < 4), and
// sessions saved with these positions depend on exactly these values.
constexpr double kAttackTimes[6] = {0.00005, 0.00015, 0.00045, 0.0006, 0.0009, 0.00012};
constexpr double kReleaseTimes[6] = {0.15, 0.1, 0.15, 0.25, 0.35, 0.3};
constexpr double kRatios[6] = {1.5, 2, 3, 4, 5, 10};

constexpr int kNumPresets = 1;

// Looks up a stepped table; positions outside it leave the value unchanged.
void SetFromTable(double& target, const double (&table)[6], int position) {
  if (position >= 0 && position < 6) target = table[position];
}

}  // namespace

Kestro::Kestro()
    : PluginCore(kNumKestroParams, "2-2 4-2", kNumPresets, "KESTRO", "", "PelmarAcoustics", PackVersion(6, 1, 0),
                 FourCharCode("Kro1"), FourCharCode("Pelm")) {
  DefineParameters();
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

void Kestro::ResetProcessing() { std::lock_guard lock(ParamsLock()); }

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
