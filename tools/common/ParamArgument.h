#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestro {

// One parameter as a command line addresses it.
struct ParamDescription {
  unsigned id = 0;
  std::string idText;  // "0", "bpas"...
  std::string title;
  std::string units;
  double minimum = 0.0;
  double maximum = 1.0;
};

// A --param NAME=VALUE the tools accept: a known parameter and a plain value
// inside its range.
struct ParamChoice {
  const ParamDescription* param = nullptr;
  double plain = 0.0;
  std::string valueText;  // as typed
};

// Splits NAME=VALUE at the first '='.
bool SplitParamArgument(const std::string& argument, std::string& name, std::string& value, std::string& error);

// Reads text as a finite decimal number, all of it: "abc", "3 dB", "" and
// "nan" are not numbers.
bool ParsePlainNumber(const std::string& text, double& value);

// Finds name (a title in any case, a decimal id or a four-character id); a
// title several parameters share is refused, the error ending with
// example(id) of the form that works. Null on failure, with the reason.
const ParamDescription* FindParam(const std::vector<ParamDescription>& params, const std::string& name,
                                  std::string& error,
                                  const std::function<std::string(const std::string&)>& example = {});

// Finds name as FindParam does and reads value as a number in the parameter's range. A title several
// parameters share is refused, as are non-numbers and values outside the
// range: a tool that guessed would render something the user did not ask
// for. The error names the parameter and its range.
bool ResolveParamArgument(const std::vector<ParamDescription>& params, const std::string& name,
                          const std::string& value, ParamChoice& choice, std::string& error);

}  // namespace kestro
