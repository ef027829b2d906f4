#pragma once

#include <memory>

#include "graphics/GraphicsCore.h"

namespace kestro {

class PluginCore;

inline constexpr int kEditorWidth = 1020;
inline constexpr int kEditorHeight = 151;
inline constexpr int kEditorFrameRate = 25;

// KESTRO's editor: background, seven knobs, three switches, the
// gain-reduction meter, the version caption and the value read-out, in that
// order. meterControl receives the meter's index, which the signal path
// pushes its level to.
std::unique_ptr<GraphicsCore> BuildKestroEditor(PluginCore* plugin, int& meterControl);

}  // namespace kestro
