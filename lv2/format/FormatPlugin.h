#pragma once

// The plug-in base class of the LV2 build. The plug-in's own sources are
// built once per format, each build finding its format's FormatPlugin.h.
#include "lv2/Lv2Plugin.h"

namespace kestro {
using FormatPlugin = Lv2Plugin;
}  // namespace kestro
