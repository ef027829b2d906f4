#pragma once

#include <array>
#include <span>
#include <string>

#include "plugin/KestroParams.h"

namespace kestro {

// One factory preset: its name as preset browsers show it and a plain value
// per parameter, in parameter order (decibels, stepped positions, percent,
// switches 0 and 1). The presets are written at build time as .vstpreset
// files; the plug-in's own preset list is not touched.
struct FactoryPreset {
  const char* name;
  std::array<double, kNumKestroParams> values;
};

// Every factory preset, in the order a browser lists them.
std::span<const FactoryPreset> FactoryPresets();

// The preset's file name: its name with the characters file systems refuse
// (":" and the like) as "-", and ".vstpreset". Browsers list presets by file
// name, so names should need no such change.
std::string FactoryPresetFileName(const FactoryPreset& preset);

}  // namespace kestro
