#include "tools/common/ParamArgument.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kestro {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string RangeText(const ParamDescription& p) {
  std::string text = p.title + " (id " + p.idText + ") takes a number from " + Number(p.minimum) + " to " +
                     Number(p.maximum);
  if (!p.units.empty()) text += " " + p.units;
  return text;
}

}  // namespace

bool SplitParamArgument(const std::string& argument, std::string& name, std::string& value, std::string& error) {
  const size_t eq = argument.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "--param wants NAME=VALUE, got '" + argument + "'";
    return false;
  }
  name = argument.substr(0, eq);
  value = argument.substr(eq + 1);
  return true;
}

bool ParsePlainNumber(const std::string& text, double& value) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;  // from_chars takes only '-'
  double parsed = 0.0;
  const auto [end, ec] = std::from_chars(first, last, parsed, std::chars_format::general);
  if (ec != std::errc() || end != last || first == last || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

const ParamDescription* FindParam(const std::vector<ParamDescription>& params, const std::string& name,
                                  std::string& error, const std::function<std::string(const std::string&)>& example) {
  std::vector<const ParamDescription*> matches;
  const std::string wanted = Lower(name);
  for (const ParamDescription& p : params) {
    if (Lower(p.title) == wanted) matches.push_back(&p);
  }
  if (matches.empty()) {
    for (const ParamDescription& p : params) {
      if (p.idText == name || std::to_string(p.id) == name) matches.push_back(&p);
    }
  }
  if (matches.empty()) {
    error = "unknown parameter '" + name + "'; the plug-in has:";
    for (size_t i = 0; i < params.size(); ++i) {
      error += (i == 0 ? " " : ", ") + params[i].title + " (" + params[i].idText + ")";
    }
    return nullptr;
  }
  if (matches.size() > 1) {
    error = "parameter name '" + name + "' is ambiguous: it names ids ";
    for (size_t i = 0; i < matches.size(); ++i) {
      error += i == 0 ? "" : i + 1 == matches.size() ? " and " : ", ";
      error += matches[i]->idText;
    }
    error += "; use the id";
    if (example) error += ", e.g. " + example(matches.back()->idText);
    return nullptr;
  }
  return matches.front();
}

bool ResolveParamArgument(const std::vector<ParamDescription>& params, const std::string& name,
                          const std::string& value, ParamChoice& choice, std::string& error) {
  const ParamDescription* found =
      FindParam(params, name, error, [&](const std::string& id) { return "--param " + id + "=" + value; });
  if (found == nullptr) return false;
  const ParamDescription& p = *found;
  double plain = 0.0;
  if (!ParsePlainNumber(value, plain)) {
    error = RangeText(p) + "; '" + value + "' is not a number";
    return false;
  }
  if (plain < p.minimum || plain > p.maximum) {
    error = RangeText(p) + "; " + value + " is outside that range";
    return false;
  }
  choice.param = &p;
  choice.plain = plain;
  choice.valueText = value;
  return true;
}

}  // namespace kestro
