#include "tools/kestro-render/ParameterLookup.h"

#include "tools/host/Utf16Text.h"

#include <algorithm>
#include <cctype>

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Ids such as 'bpas' are four characters packed first-in-most-significant.
std::string IdText(ParamID id) {
  const char chars[4] = {static_cast<char>(id >> 24), static_cast<char>(id >> 16), static_cast<char>(id >> 8),
                         static_cast<char>(id)};
  const bool printable = std::all_of(chars, chars + 4, [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
  return printable && id > 0xFFFF ? std::string(chars, 4) : std::to_string(id);
}

}  // namespace

ParameterLookup::ParameterLookup(IEditController* controller) : controller_(controller) {
  const int32 count = controller_ != nullptr ? controller_->getParameterCount() : 0;
  for (int32 i = 0; i < count; ++i) {
    ParameterInfo info{};
    if (controller_->getParameterInfo(i, info) == kResultOk) {
      infos_.push_back(info);
    }
  }
}

std::string ParameterLookup::Show(const ParameterInfo& info, ParamValue normalized) const {
  String128 text{};
  if (controller_->getParamStringByValue(info.id, normalized, text) != kResultOk) {
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "%.4f (normalised)", normalized);
    return fallback;
  }
  std::string shown = ToUtf8(text);
  const std::string units = ToUtf8(info.units);
  if (!units.empty()) {
    shown += " " + units;
  }
  return shown;
}

bool ParameterLookup::Resolve(const std::string& key, const std::string& valueText, Setting& setting,
                              std::string& error) const {
  std::vector<const ParameterInfo*> matches;
  const std::string wanted = Lower(key);
  for (const ParameterInfo& info : infos_) {
    if (Lower(ToUtf8(info.title)) == wanted) {
      matches.push_back(&info);
    }
  }
  if (matches.empty()) {
    for (const ParameterInfo& info : infos_) {
      if ((AllDigits(key) && std::to_string(info.id) == key) || IdText(info.id) == key) {
        matches.push_back(&info);
      }
    }
  }
  if (matches.empty()) {
    error = "unknown parameter '" + key + "'; the plug-in has:";
    for (const ParameterInfo& info : infos_) {
      error += ' ';
      error += ToUtf8(info.title);
      error += " (";
      error += IdText(info.id);
      error += ')';
      if (&info != &infos_.back()) {
        error += ",";
      }
    }
    return false;
  }
  if (matches.size() > 1) {
    error = "parameter name '" + key + "' is ambiguous: it names ids ";
    for (size_t i = 0; i < matches.size(); ++i) {
      error += i == 0 ? "" : i + 1 == matches.size() ? " and " : ", ";
      error += IdText(matches[i]->id);
    }
    error += "; use the id, e.g. --param " + IdText(matches.back()->id) + "=" + valueText;
    return false;
  }
  const ParameterInfo& info = *matches.front();
  String128 text{};
  ToUtf16(valueText, text, 128);
  ParamValue normalized = 0.0;
  if (controller_->getParamValueByString(info.id, text, normalized) != kResultOk) {
    error = "the plug-in cannot read '" + valueText + "' as a value of " + ToUtf8(info.title);
    return false;
  }
  setting.id = info.id;
  setting.title = ToUtf8(info.title);
  setting.normalized = normalized;
  setting.shown = Show(info, normalized);
  return true;
}

void ParameterLookup::Print(std::FILE* out) const {
  std::fprintf(out, "%-6s %-14s %-6s %s\n", "id", "title", "steps", "default");
  for (const ParameterInfo& info : infos_) {
    std::fprintf(out, "%-6s %-14s %-6d %s\n", IdText(info.id).c_str(), ToUtf8(info.title).c_str(), info.stepCount,
                 Show(info, info.defaultNormalizedValue).c_str());
  }
}

}  // namespace kestro
