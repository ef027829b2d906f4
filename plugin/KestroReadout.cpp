#include "plugin/KestroReadout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plugin/KestroParams.h"
#include "plugin/KestroTables.h"

namespace kestro {

namespace {

// A stepped value is its position truncated toward zero, kept in the table.
int Position(double value) {
  if (!(value >= 0.0)) return 0;  // NaN too
  return std::min(static_cast<int>(value), kSteppedPositions - 1);
}

bool SwitchedOn(double value) { return value >= 0.5; }

// Printf into a string; the texts are short and built on the editor thread.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// Rounds away the sign of values that print as zero ("-0.00").
double Printable(double value, double resolution) { return std::fabs(value) < resolution / 2 ? 0.0 : value; }

}  // namespace

std::string KestroReadout(int param, double value) {
  switch (param) {
    case ParamThreshold:
      return Format("Threshold %.2f dB", Printable(value, 0.01));
    case ParamOutput:
      return Format("Make-up %+.2f dB", Printable(value, 0.01));
    case ParamAttack:
      return Format("Attack %.2f ms", kAttackTimes[Position(value)] * 1000.0);
    case ParamRelease:
      return Format("Release %.2f s", kReleaseTimes[Position(value)]);
    case ParamRatio:
      return Format("Ratio %g:1", kRatios[Position(value)]);
    case ParamSide:
      return Format("Side %.2f", value);
    case ParamMix:
      return Format("Mix %.0f %%", Printable(value, 1.0));
    case ParamBypass:
      return SwitchedOn(value) ? "Compressor in" : "Compressor out";
    case ParamOversample:
      return SwitchedOn(value) ? "Oversampling 16x" : "Oversampling 4x";
    case ParamSidechain:
      return SwitchedOn(value) ? "Detector: main input" : "Detector: external sidechain";
    default:
      return "";
  }
}

}  // namespace kestro
