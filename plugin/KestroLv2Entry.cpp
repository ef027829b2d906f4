// What KESTRO's LV2 module announces to hosts, and how it makes an instance.
#include <cstdio>
#include <string>

#include "lv2/Lv2PluginInfo.h"
#include "plugin/Kestro.h"
#include "plugin/KestroTables.h"

namespace kestro {

namespace {

// Port symbols and honest units, in parameter order. (The VST3 module
// shows "%" for Threshold and Output, as it always has.)
constexpr Lv2PluginInfo::Param kParams[kNumKestroParams] = {
    {"threshold", "db"}, {"output", "db"},        {"attack", nullptr},    {"release", nullptr},
    {"ratio", nullptr},  {"side", nullptr},       {"mix", "pc"},          {"compressor", nullptr},
    {"oversample", nullptr}, {"detector", nullptr},
};

std::string Printed(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The real value behind each step, as the editor's read-out says it.
std::string StepText(int param, double value) {
  const int position = value >= 0.0 && value < kSteppedPositions ? static_cast<int>(value) : 0;
  const bool on = value >= 0.5;
  switch (param) {
    case ParamAttack:
      return Printed("%.2f ms", kAttackTimes[position] * 1000.0);
    case ParamRelease:
      return Printed("%.2f s", kReleaseTimes[position]);
    case ParamRatio:
      return Printed("%g:1", kRatios[position]);
    case ParamBypass:
      return on ? "In" : "Out";
    case ParamOversample:
      return on ? "16x" : "4x";
    case ParamSidechain:
      return on ? "Main input" : "External sidechain";
    default:
      return Printed("%g", value);
  }
}

double MeterLevel(const PluginCore& plugin) { return static_cast<const Kestro&>(plugin).MeterLevel(); }

int MeterControl(const PluginCore& plugin) { return static_cast<const Kestro&>(plugin).MeterControl(); }

PluginCore* CreateKestro() { return new Kestro(); }

}  // namespace

const Lv2PluginInfo& PluginLv2Info() {
  static const Lv2PluginInfo info{
      "https://pelmaracoustics.example/plugins/kestro",
      "KESTRO.so",
      "https://pelmaracoustics.example/plugins/kestro#ui",
      "KESTRO_ui.so",
      "CompressorPlugin",
      "http://usefulinc.com/doap/licenses/gpl",
      "PelmarAcoustics",
      "https://pelmaracoustics.example",
      "support@pelmaracoustics.example",
      kParams,
      &StepText,
      "gain_reduction",
      "Gain reduction",
      0.0,
      1.0,
      &MeterLevel,
      &MeterControl,
      &CreateKestro,
  };
  return info;
}

}  // namespace kestro
