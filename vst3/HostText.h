#pragma once

#include "pluginterfaces/vst/vsttypes.h"

namespace kestro {

// Texts cross the VST3 boundary as UTF-16 made from our 8-bit texts one
// unit per byte, at most 127 characters plus the terminator.
constexpr int kHostTextChars = 127;

// Widens into a String128-sized array; always terminated.
void WidenText(const char* text, Steinberg::Vst::TChar* out);
// Narrows by keeping the low byte of each unit, stopping at the terminator
// or after maxChars units; out holds maxChars + 1 bytes.
void NarrowText(const Steinberg::Vst::TChar* text, char* out, int maxChars);

}  // namespace kestro
