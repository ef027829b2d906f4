#pragma once

#include <cstdint>

namespace kestro {

// A short MIDI message with its position in the block.
struct MidiMessage {
  int32_t sampleOffset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

}  // namespace kestro
