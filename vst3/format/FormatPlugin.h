#pragma once

// The plug-in base class of the VST3 build. The plug-in's own sources are
// built once per format, each build finding its format's FormatPlugin.h.
#include "vst3/Vst3Plugin.h"

namespace kestro {
using FormatPlugin = Vst3Plugin;
}  // namespace kestro
