#pragma once

#include "core/IParamEntry.h"
#include "public.sdk/source/vst/vstparameters.h"

namespace kestro {

// One plug-in parameter as the host's controller sees it. The core's entry
// owns the value; this object only describes it and converts for the host.
class Vst3Parameter : public Steinberg::Vst::Parameter {
 public:
  Vst3Parameter(IParamEntry& entry, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unit);

  void toString(Steinberg::Vst::ParamValue normalized, Steinberg::Vst::String128 text) const override;
  bool fromString(const Steinberg::Vst::TChar* text, Steinberg::Vst::ParamValue& normalized) const override;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue normalized) const override;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plain) const override;

  OBJ_METHODS(Vst3Parameter, Parameter)

 private:
  IParamEntry& entry_;
};

}  // namespace kestro
