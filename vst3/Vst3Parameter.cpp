#include "vst3/Vst3Parameter.h"

#include <charconv>
#include <cmath>

#include "vst3/HostText.h"

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// Reads a leading decimal number the way users type it: leading blanks
// and a '+' are allowed, a decimal point always means '.', whatever locale
// the host has set. No number (or NaN) reads as 0.
double ReadLeadingNumber(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  const char* end = text;
  while (*end != '\0') ++end;
  double value = 0.0;
  const std::from_chars_result r = std::from_chars(text, end, value, std::chars_format::general);
  if (r.ec != std::errc() || std::isnan(value)) return 0.0;
  return value;
}

}  // namespace

Vst3Parameter::Vst3Parameter(IParamEntry& entry, ParamID id, UnitID unit) : entry_(entry) {
  info.id = id;
  WidenText(entry.Name(), info.title);
  info.shortTitle[0] = 0;
  WidenText(entry.UnitForHost(), info.units);
  info.stepCount = entry.StepCount();
  info.defaultNormalizedValue = entry.DefaultNormalized();
  info.unitId = unit;
  info.flags = entry.CanAutomate() ? ParameterInfo::kCanAutomate : 0;
  valueNormalized = info.defaultNormalizedValue;
  precision = entry.DisplayPrecision();
}

void Vst3Parameter::toString(ParamValue normalized, String128 text) const {
  WidenText(entry_.FormatValue(entry_.AppliedValue(normalized)).c_str(), text);
}

bool Vst3Parameter::fromString(const TChar* text, ParamValue& normalized) const {
  char narrow[kHostTextChars + 1];
  NarrowText(text, narrow, kHostTextChars);
  normalized = entry_.ToNormalized(ReadLeadingNumber(narrow));
  return true;
}

ParamValue Vst3Parameter::toPlain(ParamValue normalized) const { return entry_.FromNormalized(normalized); }

ParamValue Vst3Parameter::toNormalized(ParamValue plain) const { return entry_.ToNormalized(plain); }

}  // namespace kestro
