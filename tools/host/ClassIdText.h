#pragma once

#include <string>

#include "pluginterfaces/base/funknown.h"

namespace kestro {

// How a module's 16 class-id bytes read as text (32 hex digits, as preset
// files and module info carry them). Windows builds read the bytes as a COM
// GUID, whose first three fields are little-endian, so the same module
// source has another text there; a host on Windows writes and expects that.
// kLinux: the bytes in order, as Linux (and macOS) read them.
enum class ClassIdLayout { kThisPlatform, kWindows, kLinux };

// The text of cid as a host of that platform writes it.
std::string ClassIdText(const Steinberg::TUID cid, ClassIdLayout layout);

// The class id whose text on this platform is cid's text in layout: what to
// hand the SDK's preset writer to make another platform's files.
Steinberg::FUID ClassIdAs(const Steinberg::TUID cid, ClassIdLayout layout);

}  // namespace kestro
