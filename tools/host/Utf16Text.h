#pragma once

#include "pluginterfaces/vst/vsttypes.h"

#include <string>
#include <string_view>

namespace kestro {

// Texts cross the VST3 boundary as zero-terminated UTF-16; our tools speak
// UTF-8. Unpaired surrogates become U+FFFD rather than failing: a host must
// show whatever a plug-in sends.
std::string ToUtf8(const Steinberg::Vst::TChar* text);

// Writes at most capacity - 1 units and always terminates; a character that
// would not fit whole is left out.
void ToUtf16(std::string_view text, Steinberg::Vst::TChar* out, int capacity);

}  // namespace kestro
