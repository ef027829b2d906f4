#include "core/IParamEntry.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/Truncate.h"

namespace kestro {

void IParamEntry::DefineDouble(const char* name, double defaultValue, double minimum, double maximum, double step,
                               const char* unitLabel, const char* group, double shape) {
  if (type_ == ParamType::None) type_ = ParamType::Double;
  name_.Set(name);
  unitLabel_.Set(unitLabel);
  group_.Set(group);
  minimum_ = minimum;
  step_ = step;
  default_ = defaultValue;
  Store(defaultValue);
  maximum_ = std::max(maximum, minimum + step);

  // Enough decimals to show one step; capped so that no step needs more than 6.
  displayPrecision_ = 0;
  for (double s = step; s != std::floor(s) && displayPrecision_ < 6; s *= 10.0) ++displayPrecision_;

  if (shape != 0.0) shape_ = shape;
}

void IParamEntry::DefineInteger(const char* name, int defaultValue, int minimum, int maximum, const char* unitLabel,
                                const char* group) {
  if (type_ == ParamType::None) type_ = ParamType::Integer;
  DefineDouble(name, defaultValue, minimum, maximum, 1.0, unitLabel, group, 1.0);
}

void IParamEntry::AddDisplayText(int value, const char* text) {
  DisplayTextEntry entry;
  entry.value = value;
  entry.text.Set(text);
  displayTexts_.push_back(entry);
}

void IParamEntry::SetClamped(double plain) {
  // A NaN can only come from damaged stored state; the default is the one
  // value that is certainly meaningful for this parameter.
  if (std::isnan(plain)) plain = default_;
  Store(std::min(std::max(plain, minimum_), maximum_));
}

void IParamEntry::SetFromNormalized(double normalized) {
  // Hosts and validators send NaN; it leaves the value alone.
  if (std::isnan(normalized)) return;
  Store(AppliedValue(normalized));
}

double IParamEntry::AppliedValue(double normalized) const {
  if (std::isnan(normalized)) return Value();
  normalized = std::min(std::max(normalized, 0.0), 1.0);
  double plain = FromNormalized(normalized);
  if (type_ != ParamType::Double) plain = std::floor(plain / step_ + 0.5) * step_;  // halves round up
  return std::min(plain, maximum_);
}

double IParamEntry::FromNormalized(double normalized) const {
  return minimum_ + std::pow(normalized, shape_) * (maximum_ - minimum_);
}

double IParamEntry::ToNormalized(double plain) const {
  double w = plain;
  if (w < minimum_) {
    w = minimum_;
  } else if (w > maximum_) {
    w = maximum_;
  }
  return std::pow((w - minimum_) / (maximum_ - minimum_), 1.0 / shape_);
}

double IParamEntry::DefaultNormalized() const {
  return std::pow((default_ - minimum_) / (maximum_ - minimum_), 1.0 / shape_);
}

int IParamEntry::StepCount() const {
  if (type_ == ParamType::Double) return 0;
  return TruncateToInt32(maximum_ - minimum_);
}

const char* IParamEntry::DisplayTextFor(double plain) const {
  const int32_t key = TruncateToInt32(plain);
  for (const DisplayTextEntry& entry : displayTexts_) {
    if (entry.value == key) return entry.text.c_str();
  }
  return "";
}

ParamText IParamEntry::FormatValue(double plain) const {
  ParamText result;
  const char* text = DisplayTextFor(plain);
  if (text[0] != '\0') {
    result.Set(text);
    return result;
  }
  if (negateDisplay_) plain = -plain;
  // Formatted without the C locale machinery: a host that switches the
  // process to a locale with decimal commas must still see "-10.00". The
  // buffer holds any double in fixed notation; the field then cuts it.
  char digits[512];
  std::to_chars_result end{};
  if (displayPrecision_ > 0) {
    end = std::to_chars(digits, digits + sizeof digits - 1, plain, std::chars_format::fixed, displayPrecision_);
  } else {
    end = std::to_chars(digits, digits + sizeof digits - 1, TruncateToInt32(plain));
  }
  *(end.ec == std::errc() ? end.ptr : digits) = '\0';
  result.Set(digits);
  return result;
}

const char* IParamEntry::UnitForHost() const {
  return DisplayTextFor(Value())[0] != '\0' ? "" : unitLabel_.c_str();
}

int IParamEntry::IntValue() const { return TruncateToInt32(Value()); }

}  // namespace kestro
