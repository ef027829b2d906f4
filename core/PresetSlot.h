#pragma once

#include "core/FixedText.h"
#include "core/StateChunk.h"

namespace kestro {

// One named stored state of the plug-in.
struct PresetSlot {
  bool initialised = false;
  FixedText<256> name{"empty"};
  StateChunk state;
};

}  // namespace kestro
