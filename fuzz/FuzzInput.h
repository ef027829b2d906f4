#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kestro::fuzz {

// The fuzzer's input read front to back as a script of host calls. Past the
// end every read gives zeros, so any byte string is a valid script and the
// committed seeds stay easy to write by hand.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return position_ >= size_; }
  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  // Little-endian; each byte read in its own statement, in order.
  uint16_t Word() {
    const unsigned low = Byte();
    return static_cast<uint16_t>(low | (static_cast<unsigned>(Byte()) << 8));
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | (static_cast<uint32_t>(Word()) << 16);
  }
  uint64_t Qword() {
    const uint64_t low = Dword();
    return low | (static_cast<uint64_t>(Dword()) << 32);
  }
  // A number from lo to hi (one byte's worth of choice; hi - lo below 256).
  int Pick(int lo, int hi) { return lo + Byte() % (hi - lo + 1); }
  double Double() {
    const uint64_t bits = Qword();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Up to count bytes: fewer when the input ends first.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = position_ < size_ ? (count < size_ - position_ ? count : size_ - position_) : 0;
    std::vector<uint8_t> bytes(data_ + position_, data_ + position_ + n);
    position_ += n;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace kestro::fuzz
