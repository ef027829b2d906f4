// The host boundary taken at its worst: blocks longer than announced,
// processing before any setup, missing or empty buses and buffers, and
// values outside 0..1 or not numbers at all. Nothing of this may crash; the
// sanitizer builds turn a stray read or write into a failure.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <typename Sample>
struct Malformed {
  const char* name;
  std::function<void(RawCall<Sample>&)> breakIt;
};

template <typename Sample>
std::vector<Malformed<Sample>> MalformedCalls() {
  static Sample* kOneChannel[1] = {};
  return {
      {"no input buses", [](RawCall<Sample>& c) { c.data.numInputs = 0; c.data.inputs = nullptr; }},
      {"no output buses", [](RawCall<Sample>& c) { c.data.numOutputs = 0; c.data.outputs = nullptr; }},
      {"no buses at all",
       [](RawCall<Sample>& c) {
         c.data.numInputs = 0;
         c.data.inputs = nullptr;
         c.data.numOutputs = 0;
         c.data.outputs = nullptr;
       }},
      {"input bus count without an array", [](RawCall<Sample>& c) { c.data.inputs = nullptr; }},
      {"output bus count without an array", [](RawCall<Sample>& c) { c.data.outputs = nullptr; }},
      {"main input without channel arrays", [](RawCall<Sample>& c) { SetChannels<Sample>(c.inputs[0], 2, nullptr); }},
      {"sidechain without channel arrays", [](RawCall<Sample>& c) { SetChannels<Sample>(c.inputs[1], 2, nullptr); }},
      {"output without channel arrays", [](RawCall<Sample>& c) { SetChannels<Sample>(c.outputs[0], 2, nullptr); }},
      {"null channel in the main input",
       [](RawCall<Sample>& c) { c.main.pointers[1] = nullptr; }},
      {"null channel in the output", [](RawCall<Sample>& c) { c.out.pointers[0] = nullptr; }},
      {"zero channels everywhere",
       [](RawCall<Sample>& c) {
         c.inputs[0].numChannels = 0;
         c.inputs[1].numChannels = 0;
         c.outputs[0].numChannels = 0;
       }},
      {"mono main input buffers",
       [](RawCall<Sample>& c) {
         kOneChannel[0] = c.main.pointers[0];
         SetChannels<Sample>(c.inputs[0], 1, kOneChannel);
       }},
      {"mono output buffers",
       [](RawCall<Sample>& c) {
         kOneChannel[0] = c.out.pointers[0];
         SetChannels<Sample>(c.outputs[0], 1, kOneChannel);
       }},
      {"only the main input bus", [](RawCall<Sample>& c) { c.data.numInputs = 1; }},
      {"more input buses than declared", [](RawCall<Sample>& c) { c.data.numInputs = 3; }},
      {"more output buses than declared", [](RawCall<Sample>& c) { c.data.numOutputs = 2; }},
      {"negative sample count", [](RawCall<Sample>& c) { c.data.numSamples = -5; }},
      {"negative bus counts",
       [](RawCall<Sample>& c) {
         c.data.numInputs = -1;
         c.data.numOutputs = -1;
       }},
  };
}

template <typename Sample>
class Boundary : public ::testing::Test {};
using SampleTypes = ::testing::Types<float, double>;
class SampleTypeNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return sizeof(T) == sizeof(double) ? "64bit" : "32bit";
  }
};
TYPED_TEST_SUITE(Boundary, SampleTypes, SampleTypeNames);

TYPED_TEST(Boundary, MalformedProcessCallsDoNotCrashOrBreakTheInstance) {
  for (bool sidechainActive : {false, true}) {
    for (const auto& malformed : MalformedCalls<TypeParam>()) {
      SCOPED_TRACE(::testing::Message() << malformed.name << (sidechainActive ? ", sidechain active" : ""));
      auto instance = StartedInstance(SampleSizeOf<TypeParam>(), 512, sidechainActive);
      ASSERT_NE(instance, nullptr);
      RawCall<TypeParam> call(512);
      malformed.breakIt(call);
      instance->Processor()->process(call.data);
      for (const auto& channel : call.out.data) {
        for (TypeParam v : channel) ASSERT_TRUE(std::isfinite(v));
      }
      // A proper call afterwards processes as usual.
      auto in = Sine<TypeParam>(2, 512, 440.0, 0.5);
      Buffers<TypeParam> out(2, 512);
      ASSERT_EQ(instance->Process(512, in.Pointers(), nullptr, out.Pointers()), kResultOk);
      ASSERT_TRUE(AllFinite(out));
      EXPECT_NEAR(Db(Rms(out, 256, 512) / Rms(in, 256, 512)), 0.0, 0.1);
    }
  }
}

TYPED_TEST(Boundary, BlocksLongerThanAnnouncedAreProcessedOrSilenced) {
  auto instance = StartedInstance(SampleSizeOf<TypeParam>(), 64);
  ASSERT_NE(instance, nullptr);
  for (int frames : {65, 1000, 8192}) {
    RawCall<TypeParam> call(frames);
    instance->Processor()->process(call.data);
    bool silent = true;
    for (const auto& channel : call.out.data) {
      for (TypeParam v : channel) {
        ASSERT_TRUE(std::isfinite(v)) << frames;
        silent = silent && v == TypeParam(0);
      }
    }
    if (!silent) {
      // Processed: the defaults pass the signal nearly unchanged.
      EXPECT_NEAR(Db(Rms(call.out, frames / 2, frames) / Rms(call.main, frames / 2, frames)), 0.0, 0.1) << frames;
    }
  }
}

TYPED_TEST(Boundary, ProcessingBeforeAnySetupDoesNotCrash) {
  // Some hosts (and validators) call process on an instance that was only
  // initialised, or activated without a processing setup.
  for (bool activate : {false, true}) {
    auto instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    if (activate) instance->Component()->setActive(true);
    RawCall<TypeParam> call(1024);
    instance->Processor()->process(call.data);
    ASSERT_TRUE(AllFinite(call.out)) << (activate ? "active" : "inactive");
    if (activate) instance->Component()->setActive(false);
  }
}

// A parameter-changes container as a careless host might fill it: counts
// that promise more queues than there are, absent queues, empty queues.
class CarelessChanges : public ParameterChanges {
 public:
  int32 PLUGIN_API getParameterCount() override { return ParameterChanges::getParameterCount() + 3; }
  IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
    return index % 2 == 1 ? nullptr : ParameterChanges::getParameterData(index / 2);
  }
};

TYPED_TEST(Boundary, AbsentAndEmptyQueuesAreSkipped) {
  auto instance = StartedInstance(SampleSizeOf<TypeParam>(), 256);
  ASSERT_NE(instance, nullptr);
  CarelessChanges changes;
  changes.Add(kMix, 0.5);
  int32 index = 0;
  changes.addParameterData(kThreshold, index);  // an empty queue
  changes.Add(kRelease, 0.6);
  RawCall<TypeParam> call(256);
  call.data.inputParameterChanges = &changes;
  EXPECT_EQ(instance->Processor()->process(call.data), kResultOk);
  EXPECT_TRUE(AllFinite(call.out));
  const auto values = StateValues(SaveState(instance->Controller()));
  EXPECT_DOUBLE_EQ(values[kMix], 50.0);
  EXPECT_DOUBLE_EQ(values[kThreshold], 0.0) << "an empty queue changed the value";
  EXPECT_DOUBLE_EQ(values[kRelease], 3.0);
}

struct OddValue {
  const char* name;
  double value;
  bool applies;     // false: ignored, the value stays
  double toRange;   // when applied: 0 limits to the minimum, 1 to the maximum
};

const OddValue kOddValues[] = {
    {"1.5", 1.5, true, 1.0},  {"-0.5", -0.5, true, 0.0}, {"+inf", kInf, true, 1.0},
    {"-inf", -kInf, true, 0.0}, {"NaN", kNaN, false, 0.0},
};

TYPED_TEST(Boundary, QueueValuesOutsideZeroToOneAreLimitedAndNaNIgnored) {
  for (const OddValue& odd : kOddValues) {
    for (int i = 0; i < kPluginParams; ++i) {
      SCOPED_TRACE(::testing::Message() << "parameter " << i << " at " << odd.name);
      auto instance = StartedInstance(SampleSizeOf<TypeParam>(), 256);
      ASSERT_NE(instance, nullptr);
      const ExpectedParam& param = PluginParam(i);
      const double before = StateValues(SaveState(instance->Controller()))[static_cast<size_t>(i)];
      instance->Changes().Add(static_cast<ParamID>(i), odd.value);
      auto in = Sine<TypeParam>(2, 256, 500.0, 0.5);
      Buffers<TypeParam> out(2, 256);
      ASSERT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk);
      ASSERT_TRUE(AllFinite(out));
      const double after = StateValues(SaveState(instance->Controller()))[static_cast<size_t>(i)];
      const double expected = !odd.applies ? before : odd.toRange == 0.0 ? param.minimum : param.maximum;
      EXPECT_EQ(after, expected);
      const double normalized = instance->Controller()->getParamNormalized(static_cast<ParamID>(i));
      EXPECT_TRUE(normalized >= 0.0 && normalized <= 1.0) << normalized;
    }
  }
}

TYPED_TEST(Boundary, OddHostParameterValuesDoNotCrash) {
  for (const OddValue& odd : kOddValues) {
    auto instance = StartedInstance(SampleSizeOf<TypeParam>(), 256);
    ASSERT_NE(instance, nullptr);
    instance->Changes().Add(kPresetId, odd.value);
    instance->Changes().Add(kBypassId, odd.value);
    auto in = Sine<TypeParam>(2, 256, 500.0, 0.5);
    Buffers<TypeParam> out(2, 256);
    ASSERT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk) << odd.name;
    ASSERT_TRUE(AllFinite(out)) << odd.name;
    EXPECT_EQ(StateValues(SaveState(instance->Controller())), DefaultValues()) << odd.name;
    const double bypass = instance->Controller()->getParamNormalized(kBypassId);
    EXPECT_EQ(bypass, odd.value > 0.5 ? 1.0 : 0.0) << odd.name;
  }
}

TEST(Controller, SetParamNormalizedLimitsOddValuesAndIgnoresNaN) {
  for (const OddValue& odd : kOddValues) {
    for (int i = 0; i < kPluginParams; ++i) {
      SCOPED_TRACE(::testing::Message() << "parameter " << i << " at " << odd.name);
      auto instance = NewInstance();
      ASSERT_NE(instance, nullptr);
      const ExpectedParam& param = PluginParam(i);
      const double before = StateValues(SaveState(instance->Controller()))[static_cast<size_t>(i)];
      instance->Controller()->setParamNormalized(static_cast<ParamID>(i), odd.value);
      const double after = StateValues(SaveState(instance->Controller()))[static_cast<size_t>(i)];
      const double expected = !odd.applies ? before : odd.toRange == 0.0 ? param.minimum : param.maximum;
      EXPECT_EQ(after, expected);
    }
  }
}

TEST(Controller, ConversionsOfOddValuesStayFinite) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IEditController* controller = instance->Controller();
  for (const OddValue& odd : kOddValues) {
    for (int i = 0; i < kPluginParams; ++i) {
      const auto id = static_cast<ParamID>(i);
      const double normalized = controller->plainParamToNormalized(id, odd.value);
      EXPECT_TRUE(std::isnan(odd.value) || (normalized >= 0.0 && normalized <= 1.0)) << i << " " << odd.name;
      String128 text{};
      controller->getParamStringByValue(id, odd.value, text);  // must not crash
      controller->normalizedParamToPlain(id, odd.value);
    }
  }
}

}  // namespace
}  // namespace kestro::test
