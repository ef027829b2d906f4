// Shared pieces of the host-side tests: the module under test (loaded once
// per test binary, from the built bundle), what a host knows of KESTRO from
// outside (class id, parameter ids and their published ranges), instances
// created and driven through VST3 only, and buffers.
#pragma once

#include "tools/host/HostMemoryStream.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/Utf16Text.h"
#include "tools/host/Vst3Module.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestro::test {

using Steinberg::int32;
using Steinberg::tresult;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

// The class id, byte for byte as it sits in memory.
constexpr std::array<std::uint8_t, 16> kClassIdBytes = {0x0D, 0xE7, 0xAE, 0xF2, 0xDE, 0x00, 0x4E, 0x4F,
                                                        'P',  'e',  'l',  'm',  'K',  'r',  'o',  '1'};
void ClassId(Steinberg::TUID out);

constexpr ParamID kPresetId = 0x70727374;  // 'prst'
constexpr ParamID kBypassId = 0x62706173;  // 'bpas'

enum : ParamID {
  kThreshold = 0,
  kOutput = 1,
  kAttack = 2,
  kRelease = 3,
  kRatio = 4,
  kSide = 5,
  kMix = 6,
  kPluginBypass = 7,
  kOversample = 8,
  kSidechainSource = 9,
};
constexpr int kPluginParams = 10;
constexpr size_t kStateBytes = 84;

// One exported parameter as a host sees it.
struct ExpectedParam {
  ParamID id;
  const char* title;
  const char* units;
  int32 steps;
  double defaultNormalized;
  int32 flags;
  // Plain range and default; only for the plug-in's own parameters.
  double minimum;
  double maximum;
  double defaultPlain;
  int precision;  // digits after the point in display texts
};
// In the order the controller enumerates them: prst, bpas, 0..9.
extern const std::array<ExpectedParam, 12> kParams;
// A plug-in parameter (0..9) by index.
const ExpectedParam& PluginParam(int index);

// The module loaded by the test environment.
Vst3Module& Module();
// A new reference to the module's factory, straight from GetPluginFactory.
Steinberg::IPtr<Steinberg::IPluginFactory> Factory();

// KESTRO created and initialised with a host application; fails the test
// (and returns null) when that is not possible.
std::unique_ptr<PluginInstance> NewInstance();
// The same, started: stereo in and out, the sidechain bus as asked.
std::unique_ptr<PluginInstance> StartedInstance(int32 sampleSize = Steinberg::Vst::kSample32, int32 maxBlock = 512,
                                                bool sidechainActive = false, double sampleRate = 44100.0);

// State through the controller.
std::vector<std::uint8_t> SaveState(Steinberg::Vst::IEditController* controller);
tresult LoadState(Steinberg::Vst::IEditController* controller, const std::vector<std::uint8_t>& bytes,
                  bool failShortReads = false);
// The ten plain values and the bypass field of a saved state.
std::array<double, kPluginParams> StateValues(const std::vector<std::uint8_t>& state);
std::int32_t StateBypass(const std::vector<std::uint8_t>& state);
std::vector<std::uint8_t> MakeState(const std::array<double, kPluginParams>& values, std::int32_t bypass);
std::array<double, kPluginParams> DefaultValues();

// The display text the controller gives for a value.
std::string ValueText(Steinberg::Vst::IEditController* controller, ParamID id, ParamValue normalized);

// Planar buffers with their pointer arrays, sized exactly, so that reading
// past a channel or a pointer array is an error the sanitizers see.
template <typename Sample>
struct Buffers {
  Buffers(int channels, int frames)
      : data(static_cast<size_t>(channels), std::vector<Sample>(static_cast<size_t>(frames), Sample(0))) {
    for (auto& channel : data) pointers.push_back(channel.data());
  }
  Sample** Pointers() { return pointers.data(); }
  int Frames() const { return data.empty() ? 0 : static_cast<int>(data[0].size()); }
  std::vector<std::vector<Sample>> data;
  std::vector<Sample*> pointers;
};

// A sine on every channel (the same phase), amplitude in linear units.
template <typename Sample>
Buffers<Sample> Sine(int channels, int frames, double frequency, double amplitude, double sampleRate = 44100.0,
                     int startFrame = 0) {
  Buffers<Sample> buffers(channels, frames);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(startFrame + i) / sampleRate;
    const auto v = static_cast<Sample>(amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * t));
    for (auto& channel : buffers.data) channel[static_cast<size_t>(i)] = v;
  }
  return buffers;
}

// RMS over channels and frames [from, to).
template <typename Sample>
double Rms(const Buffers<Sample>& buffers, int from, int to) {
  double sum = 0.0;
  long count = 0;
  for (const auto& channel : buffers.data) {
    for (int i = from; i < to; ++i) {
      sum += static_cast<double>(channel[static_cast<size_t>(i)]) * static_cast<double>(channel[static_cast<size_t>(i)]);
      ++count;
    }
  }
  return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

template <typename Sample>
bool AllFinite(const Buffers<Sample>& buffers) {
  for (const auto& channel : buffers.data) {
    for (Sample v : channel) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio); }

template <typename Sample>
constexpr Steinberg::int32 SampleSizeOf() {
  return sizeof(Sample) == sizeof(double) ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32;
}

template <typename Sample>
void SetChannels(Steinberg::Vst::AudioBusBuffers& bus, int32 channels, Sample** pointers) {
  bus.numChannels = channels;
  if constexpr (sizeof(Sample) == sizeof(double)) {
    bus.channelBuffers64 = pointers;
  } else {
    bus.channelBuffers32 = pointers;
  }
}

// One process call built by hand, as a well-behaved host lays it out: stereo
// main input (a sine), the stereo sidechain bus, stereo output. Tests that
// need the raw call change what they need (and spare buses are there to
// declare more buses than the plug-in has).
template <typename Sample>
struct RawCall {
  explicit RawCall(int frames)
      : main(Sine<Sample>(2, frames, 700.0, 0.5)), side(Sine<Sample>(2, frames, 900.0, 0.5)), out(2, frames) {
    SetChannels(inputs[0], 2, main.Pointers());
    SetChannels(inputs[1], 2, side.Pointers());
    SetChannels(inputs[2], 2, side.Pointers());
    SetChannels(outputs[0], 2, out.Pointers());
    SetChannels(outputs[1], 2, out.Pointers());
    data.symbolicSampleSize = SampleSizeOf<Sample>();
    data.numSamples = frames;
    data.numInputs = 2;
    data.numOutputs = 1;
    data.inputs = inputs;
    data.outputs = outputs;
  }
  RawCall(const RawCall&) = delete;
  RawCall& operator=(const RawCall&) = delete;

  Buffers<Sample> main, side, out;
  Steinberg::Vst::AudioBusBuffers inputs[3] = {};
  Steinberg::Vst::AudioBusBuffers outputs[2] = {};
  Steinberg::Vst::ProcessData data;
};

}  // namespace kestro::test
