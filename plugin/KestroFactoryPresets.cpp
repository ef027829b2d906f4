#include "plugin/KestroFactoryPresets.h"

#include <cstring>

namespace kestro {

namespace {

// Threshold dB, make-up dB, attack position (0.05 0.15 0.45 0.6 0.9 0.12 ms),
// release position (0.15 0.1 0.15 0.25 0.35 0.3 s), ratio position (1.5 2 3
// 4 5 10 :1), side (detector high-pass, 0.3 = 41 Hz to 0.99 = 262 Hz), mix %,
// compressor in, 16x oversampling, detector on the main input (0: the
// external sidechain).
constexpr FactoryPreset kPresets[] = {
    {"Drum Bus Glue", {-18.0, 3.0, 2, 3, 3, 0.45, 100.0, 1, 0, 1}},
    {"Drum Bus Smash", {-32.0, 6.0, 0, 1, 5, 0.3, 100.0, 1, 0, 1}},
    {"Gentle Mix Bus", {-12.0, 1.5, 4, 3, 1, 0.6, 100.0, 1, 0, 1}},
    {"Mix Bus Punch", {-16.0, 2.5, 4, 1, 2, 0.5, 100.0, 1, 0, 1}},
    {"Parallel Crush", {-40.0, 8.0, 0, 1, 5, 0.3, 35.0, 1, 0, 1}},
    {"Parallel Drums", {-30.0, 5.0, 1, 2, 4, 0.35, 50.0, 1, 0, 1}},
    {"Vocal Bus", {-20.0, 4.0, 2, 4, 2, 0.7, 100.0, 1, 0, 1}},
    {"Mastering Glue", {-10.0, 1.0, 4, 5, 0, 0.65, 100.0, 1, 1, 1}},
    {"Bass Bus Control", {-16.0, 2.0, 3, 4, 2, 0.3, 100.0, 1, 0, 1}},
    {"Sidechain Pump", {-30.0, 4.0, 0, 3, 4, 0.3, 100.0, 1, 0, 0}},
    {"16x Colour", {-6.0, 0.5, 4, 3, 0, 0.3, 100.0, 1, 1, 1}},
    {"Room Mics Squash", {-36.0, 7.0, 0, 4, 5, 0.5, 60.0, 1, 1, 1}},
};

}  // namespace

std::span<const FactoryPreset> FactoryPresets() { return kPresets; }

std::string FactoryPresetFileName(const FactoryPreset& preset) {
  std::string name = preset.name;
  for (char& c : name) {
    if (std::strchr("<>:\"/\\|?*", c) != nullptr || static_cast<unsigned char>(c) < 0x20) c = '-';
  }
  return name + ".vstpreset";
}

}  // namespace kestro
