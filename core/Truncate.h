#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kestro {

// Truncates toward zero to a 32-bit integer. A plain cast is undefined for
// values outside the int32 range and for NaN; those saturate here instead
// (NaN gives 0), so a corrupt value can never turn into undefined behaviour.
inline int32_t TruncateToInt32(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace kestro
