#include "tools/kestro-render/ParameterLookup.h"

#include "tools/host/Utf16Text.h"

#include <algorithm>
#include <cctype>

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

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
      const double a = controller_->normalizedParamToPlain(info.id, 0.0);
      const double b = controller_->normalizedParamToPlain(info.id, 1.0);
      descriptions_.push_back({info.id, IdText(info.id), ToUtf8(info.title), ToUtf8(info.units), std::min(a, b),
                               std::max(a, b)});
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
  ParamChoice choice;
  if (!ResolveParamArgument(descriptions_, key, valueText, choice, error)) return false;
  const ParameterInfo& info = infos_[static_cast<size_t>(choice.param - descriptions_.data())];
  // The number is checked; the plug-in's own conversion turns it into the
  // normalised value, exactly as its host would.
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
