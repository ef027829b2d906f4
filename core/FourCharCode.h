#pragma once

#include <cstdint>

namespace kestro {

// Packs a four-character code with the first character in the most
// significant byte ("Kro1" -> 0x4B726F31).
constexpr int32_t FourCharCode(const char (&code)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(code[3])));
}

// Packs a version as major.minor.patch into bits 16-31, 8-15 and 0-7.
constexpr int32_t PackVersion(int major, int minor, int patch) {
  return (major << 16) | ((minor & 0xFF) << 8) | (patch & 0xFF);
}

}  // namespace kestro
