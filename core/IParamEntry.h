#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/FixedText.h"

namespace kestro {

enum class ParamType : int32_t {
  None = 0,
  Boolean = 1,
  Integer = 2,
  Enumerated = 3,
  Double = 4,
};

using ParamText = FixedText<32>;

// A text shown instead of the number for one integer value.
struct DisplayTextEntry {
  int32_t value = 0;
  ParamText text;
};

// One plug-in parameter: its description, its plain value and the
// conversions between plain values, normalised values (0..1) and text.
class IParamEntry {
 public:
  IParamEntry() = default;
  IParamEntry(const IParamEntry&) = delete;
  IParamEntry& operator=(const IParamEntry&) = delete;

  void DefineDouble(const char* name, double defaultValue, double minimum, double maximum, double step,
                    const char* unitLabel = "", const char* group = "", double shape = 1.0);
  void DefineInteger(const char* name, int defaultValue, int minimum, int maximum, const char* unitLabel = "",
                     const char* group = "");
  void SetShapeExponent(double shape) { shape_ = shape; }
  void SetType(ParamType type) { type_ = type; }
  void SetNegateDisplay(bool negate) { negateDisplay_ = negate; }
  void SetCanAutomate(bool canAutomate) { canAutomate_ = canAutomate; }
  void AddDisplayText(int value, const char* text);

  void SetClamped(double plain);
  void SetFromNormalized(double normalized);
  // The plain value SetFromNormalized would store (stepped types rounded,
  // halves up); NaN gives the current value. Displays use it so that what a
  // host shows is what gets applied.
  double AppliedValue(double normalized) const;

  double FromNormalized(double normalized) const;
  double ToNormalized(double plain) const;
  double CurrentNormalized() const { return ToNormalized(Value()); }
  double DefaultNormalized() const;
  int StepCount() const;

  // The display text for the value's integer part, or "" when there is none.
  const char* DisplayTextFor(double plain) const;
  ParamText FormatValue(double plain) const;
  const char* UnitForHost() const;

  double Value() const { return value_.load(std::memory_order_relaxed); }
  int IntValue() const;

  ParamType Type() const { return type_; }
  const char* Name() const { return name_.c_str(); }
  const char* UnitLabel() const { return unitLabel_.c_str(); }
  const char* Group() const { return group_.c_str(); }
  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }
  double Step() const { return step_; }
  double Shape() const { return shape_; }
  double Default() const { return default_; }
  int DisplayPrecision() const { return displayPrecision_; }
  bool NegateDisplay() const { return negateDisplay_; }
  bool CanAutomate() const { return canAutomate_; }
  int DisplayTextCount() const { return static_cast<int>(displayTexts_.size()); }
  const DisplayTextEntry& DisplayTextAt(int i) const { return displayTexts_[static_cast<size_t>(i)]; }

 private:
  void Store(double plain) { value_.store(plain, std::memory_order_relaxed); }

  ParamType type_ = ParamType::None;
  // Writers hold the plug-in's parameter lock; the editor formats values
  // without it, so the value itself is atomic to keep those reads defined.
  std::atomic<double> value_{0.0};
  double minimum_ = 0.0;
  double maximum_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  double default_ = 0.0;
  int32_t displayPrecision_ = 0;
  ParamText name_;
  ParamText unitLabel_;
  ParamText group_;
  bool negateDisplay_ = false;
  bool canAutomate_ = true;
  std::vector<DisplayTextEntry> displayTexts_;
};

}  // namespace kestro
