#include "tools/kestro-render/LevelMeter.h"

#include <cmath>

namespace kestro {

void LevelMeter::Reset() {
  peak_ = 0.0;
  sumSquares_ = 0.0;
  count_ = 0;
}

double LevelMeter::Rms() const {
  return count_ > 0 ? std::sqrt(sumSquares_ / static_cast<double>(count_)) : 0.0;
}

double LevelMeter::ToDb(double level, double floorDb) {
  if (!(level > 0.0)) {
    return floorDb;
  }
  const double db = 20.0 * std::log10(level);
  return db < floorDb ? floorDb : db;
}

}  // namespace kestro
