#pragma once

#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "tools/common/ParamArgument.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kestro {

// Finds a plug-in's parameters by the names and ids a user types, checks the
// value is a number in the range the plug-in publishes, and turns it into a
// normalised value with the plug-in's own conversion.
class ParameterLookup {
 public:
  struct Setting {
    Steinberg::Vst::ParamID id = 0;
    std::string title;
    Steinberg::Vst::ParamValue normalized = 0.0;
    std::string shown;  // the value as the plug-in shows it, with its unit
  };

  explicit ParameterLookup(Steinberg::Vst::IEditController* controller);

  // key is a title (any case), a decimal id or a four-character id such as
  // "bpas". A title shared by several parameters is refused: which one the
  // user meant is a guess a renderer must not make.
  bool Resolve(const std::string& key, const std::string& valueText, Setting& setting, std::string& error) const;

  void Print(std::FILE* out) const;

 private:
  std::string Show(const Steinberg::Vst::ParameterInfo& info, Steinberg::Vst::ParamValue normalized) const;

  Steinberg::Vst::IEditController* controller_;
  std::vector<Steinberg::Vst::ParameterInfo> infos_;
  std::vector<ParamDescription> descriptions_;  // one per info, same order
};

}  // namespace kestro
