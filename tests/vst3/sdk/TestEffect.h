// A minimal effect on the SDK stand-ins, for the tests of SingleComponentEffect
// and CPluginFactory: one stereo input and one stereo output bus, made by
// initialize as a real effect makes them, and counters that let the tests see
// constructions and destructions.
#pragma once

#include "public.sdk/source/vst/vstsinglecomponenteffect.h"

#include <cstddef>
#include <string>

namespace kestro::test {

using String16 = std::basic_string<Steinberg::char16>;

class TestEffect : public Steinberg::Vst::SingleComponentEffect {
 public:
  TestEffect() { ++liveCount; }
  ~TestEffect() override { --liveCount; }

  // Creation function in the form the factory registers.
  static Steinberg::FUnknown* createInstance(void* context) {
    lastContext = context;
    ++createCount;
    return static_cast<Steinberg::Vst::IAudioProcessor*>(new TestEffect);
  }

  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) override {
    const Steinberg::tresult result = SingleComponentEffect::initialize(context);
    if (result != Steinberg::kResultOk) return result;
    addAudioInput(STR16("Stereo In"), Steinberg::Vst::SpeakerArr::kStereo);
    addAudioOutput(STR16("Stereo Out"), Steinberg::Vst::SpeakerArr::kStereo);
    return Steinberg::kResultOk;
  }

  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& /*data*/) override {
    return Steinberg::kResultOk;
  }

  // Views of the protected SDK state the tests check.
  const Steinberg::Vst::ProcessSetup& currentSetup() const { return processSetup; }
  Steinberg::Vst::Bus* audioInput(std::size_t index) { return audioInputs.at(index); }
  Steinberg::Vst::Bus* audioOutput(std::size_t index) { return audioOutputs.at(index); }
  Steinberg::Vst::ParameterContainer& params() { return parameters; }

  OBJ_METHODS(TestEffect, SingleComponentEffect)

  static inline int liveCount = 0;
  static inline int createCount = 0;
  static inline void* lastContext = nullptr;
};

}  // namespace kestro::test
