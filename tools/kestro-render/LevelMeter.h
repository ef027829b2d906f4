#pragma once

#include <cstdint>

namespace kestro {

// Peak and RMS over every sample of every channel fed to it.
class LevelMeter {
 public:
  void Add(double sample) {
    const double magnitude = sample < 0.0 ? -sample : sample;
    if (magnitude > peak_) {
      peak_ = magnitude;
    }
    sumSquares_ += sample * sample;
    ++count_;
  }
  void Reset();

  double Peak() const { return peak_; }
  double Rms() const;
  std::int64_t Count() const { return count_; }

  // dBFS of a linear level, floored so that silence prints as a number.
  static double ToDb(double level, double floorDb = -120.0);

 private:
  double peak_ = 0.0;
  double sumSquares_ = 0.0;
  std::int64_t count_ = 0;
};

}  // namespace kestro
