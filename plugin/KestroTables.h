#pragma once

namespace kestro {

// Stepped tables by position. They are neither monotone nor free of repeats
// (attack 5 is shorter than 1..4, release 0 equals 2, release 5 < 4), and
// sessions saved with these positions depend on exactly these values. The
// signal path and the editor's read-out both use them.
inline constexpr int kSteppedPositions = 6;
inline constexpr double kAttackTimes[kSteppedPositions] = {0.00005, 0.00015, 0.00045, 0.0006, 0.0009, 0.00012};
inline constexpr double kReleaseTimes[kSteppedPositions] = {0.15, 0.1, 0.15, 0.25, 0.35, 0.3};
inline constexpr double kRatios[kSteppedPositions] = {1.5, 2, 3, 4, 5, 10};

}  // namespace kestro
