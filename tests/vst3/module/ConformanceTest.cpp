// What a VST3 validator checks of any plug-in: the host's call order repeated,
// text round trips of every parameter, long random automation, and many
// instances alive at once.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

template <typename Sample>
void FillNoise(Buffers<Sample>& buffers, std::mt19937& rng, double amplitude) {
  std::uniform_real_distribution<double> noise(-amplitude, amplitude);
  for (auto& channel : buffers.data) {
    for (auto& v : channel) v = static_cast<Sample>(noise(rng));
  }
}

template <typename Sample>
void RunCycle(PluginInstance& instance, const ProcessSetup& setup, std::mt19937& rng) {
  IComponent* component = instance.Component();
  IAudioProcessor* processor = instance.Processor();
  ProcessSetup copy = setup;
  ASSERT_EQ(processor->setupProcessing(copy), kResultOk);
  ASSERT_EQ(component->setActive(true), kResultOk);
  const tresult processing = processor->setProcessing(true);
  EXPECT_TRUE(processing == kResultOk || processing == kNotImplemented) << processing;
  RawCall<Sample> call(setup.maxSamplesPerBlock);
  for (int block = 0; block < 20; ++block) {
    FillNoise(call.main, rng, 0.5);
    ASSERT_EQ(processor->process(call.data), kResultOk);
    ASSERT_TRUE(AllFinite(call.out));
  }
  ASSERT_GT(Rms(call.out, 0, setup.maxSamplesPerBlock), 0.01);
  const tresult stopped = processor->setProcessing(false);
  EXPECT_TRUE(stopped == kResultOk || stopped == kNotImplemented) << stopped;
  ASSERT_EQ(component->setActive(false), kResultOk);
}

TEST(Conformance, TheHostsCallOrderRepeatedWithChangingSetups) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  std::mt19937 rng(7);
  SpeakerArrangement inputs[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  SpeakerArrangement outputs[1] = {SpeakerArr::kStereo};
  ASSERT_EQ(instance->Processor()->setBusArrangements(inputs, 2, outputs, 1), kResultOk);
  // Buses start inactive; a host activates the ones it uses.
  ASSERT_EQ(instance->Component()->activateBus(kAudio, kInput, 0, true), kResultOk);
  ASSERT_EQ(instance->Component()->activateBus(kAudio, kOutput, 0, true), kResultOk);
  const ProcessSetup setups[] = {
      {kRealtime, kSample32, 512, 44100.0}, {kRealtime, kSample64, 256, 48000.0},
      {kOffline, kSample32, 2048, 96000.0}, {kRealtime, kSample64, 64, 22050.0},
      {kPrefetch, kSample32, 1, 44100.0},
  };
  for (const ProcessSetup& setup : setups) {
    SCOPED_TRACE(::testing::Message() << setup.sampleRate << " Hz, " << setup.maxSamplesPerBlock << " samples, "
                                      << (setup.symbolicSampleSize == kSample64 ? 64 : 32) << " bit");
    if (setup.symbolicSampleSize == kSample64) {
      RunCycle<double>(*instance, setup, rng);
    } else {
      RunCycle<float>(*instance, setup, rng);
    }
  }
  // Activation without processing, twice, as hosts do while scanning.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(instance->Component()->setActive(true), kResultOk);
    EXPECT_EQ(instance->Component()->setActive(false), kResultOk);
  }
  EXPECT_EQ(instance->Component()->terminate(), kResultOk);
  EXPECT_EQ(instance->Controller()->getParameterCount(), 0) << "terminate removes the parameters";
  EXPECT_EQ(instance->Component()->getBusCount(kAudio, kInput), 0) << "terminate removes the buses";
}

// For every exported parameter the controller offers a text: reading it back
// gives a value whose text is the same, and for the plug-in's own parameters
// a plain value within the display's rounding.
TEST(Conformance, EveryParameterTextRoundTrips) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IEditController* controller = instance->Controller();
  const int32 count = controller->getParameterCount();
  for (int32 index = 0; index < count; ++index) {
    ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(index, info), kResultOk);
    std::vector<double> values;
    for (int k = 0; k <= 20; ++k) values.push_back(k / 20.0);
    for (int32 step = 0; step <= info.stepCount; ++step) {
      values.push_back(info.stepCount > 0 ? static_cast<double>(step) / info.stepCount : 0.0);
    }
    for (double value : values) {
      String128 text{};
      if (controller->getParamStringByValue(info.id, value, text) != kResultOk) {
        continue;  // hosts fall back to their own display
      }
      ParamValue back = -1.0;
      ASSERT_EQ(controller->getParamValueByString(info.id, text, back), kResultOk)
          << ToUtf8(info.title) << ": '" << ToUtf8(text) << "'";
      EXPECT_GE(back, 0.0);
      EXPECT_LE(back, 1.0);
      EXPECT_EQ(ValueText(controller, info.id, back), ToUtf8(text)) << ToUtf8(info.title) << " at " << value;
      if (info.id < static_cast<ParamID>(kPluginParams)) {
        const ExpectedParam& expected = PluginParam(static_cast<int>(info.id));
        const double plain = controller->normalizedParamToPlain(info.id, value);
        const double plainBack = controller->normalizedParamToPlain(info.id, back);
        if (expected.precision == 0) {
          // Stepped values show (and apply) the nearest step, halves up.
          EXPECT_EQ(std::trunc(plainBack), std::floor(plain + 0.5)) << expected.title << " at " << value;
        } else {
          EXPECT_NEAR(plainBack, plain, 0.5 * std::pow(10.0, -expected.precision) + 1e-9) << expected.title << " at " << value;
        }
      }
    }
  }
}

template <typename Sample>
void RandomAutomation(uint32_t seed) {
  auto instance = StartedInstance(SampleSizeOf<Sample>(), 256, true);
  ASSERT_NE(instance, nullptr);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> blockSize(1, 256);
  std::uniform_int_distribution<int> offset(0, 255);
  std::vector<ParamID> ids = {kPresetId, kBypassId};
  for (int i = 0; i < kPluginParams; ++i) ids.push_back(static_cast<ParamID>(i));
  Buffers<Sample> in(2, 256), side(2, 256), out(2, 256);
  double loudest = 0.0;
  for (int block = 0; block < 2500; ++block) {
    for (ParamID id : ids) {
      if (unit(rng) < 0.3) {
        const int points = 1 + static_cast<int>(unit(rng) * 3);
        for (int p = 0; p < points; ++p) instance->Changes().Add(id, unit(rng), offset(rng));
      }
    }
    // Noise, a loud burst now and then, and silence now and then.
    const double level = unit(rng) < 0.1 ? 0.0 : unit(rng) < 0.1 ? 1.0 : 0.3;
    FillNoise(in, rng, level);
    FillNoise(side, rng, unit(rng));
    const int n = blockSize(rng);
    ASSERT_EQ(instance->Process(n, in.Pointers(), side.Pointers(), out.Pointers()), kResultOk) << "block " << block;
    for (const auto& channel : out.data) {
      for (int i = 0; i < n; ++i) {
        const double v = static_cast<double>(channel[static_cast<size_t>(i)]);
        ASSERT_TRUE(std::isfinite(v)) << "block " << block << " sample " << i;
        loudest = std::max(loudest, std::abs(v));
      }
    }
  }
  // Full-scale input at +30 dB output gain is the loudest there can be.
  EXPECT_LT(loudest, 40.0);
  for (ParamID id : ids) {
    const double value = instance->Controller()->getParamNormalized(id);
    EXPECT_GE(value, 0.0) << id;
    EXPECT_LE(value, 1.0) << id;
  }
}

TEST(Conformance, RandomAutomationOfEveryParameter32) { RandomAutomation<float>(1); }
TEST(Conformance, RandomAutomationOfEveryParameter64) { RandomAutomation<double>(2); }

TEST(Conformance, SixteenInstancesAtOnceKeepTheirOwnSettings) {
  constexpr int kInstances = 16;
  std::vector<std::unique_ptr<PluginInstance>> instances;
  for (int i = 0; i < kInstances; ++i) {
    instances.push_back(StartedInstance(i % 2 == 0 ? kSample32 : kSample64, 256));
    ASSERT_NE(instances.back(), nullptr) << "instance " << i;
    // Output gain from -15 to +15 dB, mix 0: the output is the input times it.
    instances.back()->Changes().Add(kMix, 0.0);
    instances.back()->Changes().Add(kOutput, 0.25 + 0.5 * i / (kInstances - 1));
  }
  auto in32 = Sine<float>(2, 256, 220.0, 0.25);
  auto in64 = Sine<double>(2, 256, 220.0, 0.25);
  for (int round = 0; round < 4; ++round) {
    for (int i = 0; i < kInstances; ++i) {
      const double gainDb = -15.0 + 30.0 * i / (kInstances - 1);
      double ratio = 0.0;
      if (i % 2 == 0) {
        Buffers<float> out(2, 256);
        ASSERT_EQ(instances[static_cast<size_t>(i)]->Process(256, in32.Pointers(), nullptr, out.Pointers()), kResultOk);
        ratio = Rms(out, 0, 256) / Rms(in32, 0, 256);
      } else {
        Buffers<double> out(2, 256);
        ASSERT_EQ(instances[static_cast<size_t>(i)]->Process(256, in64.Pointers(), nullptr, out.Pointers()), kResultOk);
        ratio = Rms(out, 0, 256) / Rms(in64, 0, 256);
      }
      EXPECT_NEAR(Db(ratio), gainDb, 1e-3) << "instance " << i << ", round " << round;
    }
  }
  instances.clear();
}

}  // namespace
}  // namespace kestro::test
