// What a host finds after initialize: buses, the twelve parameters with their
// information, units, the program list, the values of preset 0, and the
// controller's conversions.
#include "ModuleTestSupport.h"

#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

class Initialized : public ::testing::Test {
 protected:
  void SetUp() override {
    instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    component = instance->Component();
    processor = instance->Processor();
    controller = instance->Controller();
  }

  std::unique_ptr<PluginInstance> instance;
  IComponent* component = nullptr;
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
};

TEST_F(Initialized, AudioBuses) {
  ASSERT_EQ(component->getBusCount(kAudio, kInput), 2);
  ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
  const struct {
    BusDirection direction;
    int32 index;
    const char* name;
    int32 channels;
    BusType type;
    uint32 flags;
  } cases[] = {
      {kInput, 0, "Main Input", 2, kMain, BusInfo::kDefaultActive},
      {kInput, 1, "Aux Input", 2, kAux, 0},
      {kOutput, 0, "Output", 2, kMain, BusInfo::kDefaultActive},
  };
  for (const auto& c : cases) {
    BusInfo info{};
    ASSERT_EQ(component->getBusInfo(kAudio, c.direction, c.index, info), kResultOk) << c.name;
    EXPECT_EQ(ToUtf8(info.name), c.name);
    EXPECT_EQ(info.mediaType, kAudio) << c.name;
    EXPECT_EQ(info.direction, c.direction) << c.name;
    EXPECT_EQ(info.channelCount, c.channels) << c.name;
    EXPECT_EQ(info.busType, c.type) << c.name;
    EXPECT_EQ(info.flags, c.flags) << c.name;
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(processor->getBusArrangement(c.direction, c.index, arrangement), kResultOk) << c.name;
    EXPECT_EQ(arrangement, SpeakerArr::kStereo) << c.name;
  }
}

TEST_F(Initialized, NoEventBusesAndNoBusesPastTheLast) {
  EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
  EXPECT_EQ(component->getBusCount(kEvent, kOutput), 0);
  BusInfo info{};
  EXPECT_NE(component->getBusInfo(kAudio, kInput, 2, info), kResultOk);
  EXPECT_NE(component->getBusInfo(kAudio, kOutput, 1, info), kResultOk);
  EXPECT_NE(component->getBusInfo(kAudio, kInput, -1, info), kResultOk);
}

TEST_F(Initialized, TwelveParametersInOrderWithTheirInformation) {
  ASSERT_EQ(controller->getParameterCount(), 12);
  for (int32 i = 0; i < 12; ++i) {
    const ExpectedParam& expected = kParams[static_cast<size_t>(i)];
    ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(i, info), kResultOk) << i;
    EXPECT_EQ(info.id, expected.id) << "position " << i;
    EXPECT_EQ(ToUtf8(info.title), expected.title) << "id " << expected.id;
    EXPECT_EQ(ToUtf8(info.shortTitle), "") << expected.title;
    EXPECT_EQ(ToUtf8(info.units), expected.units) << expected.title;
    EXPECT_EQ(info.stepCount, expected.steps) << expected.title;
    EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, expected.defaultNormalized) << expected.title;
    EXPECT_EQ(info.flags, expected.flags) << expected.title;
    EXPECT_EQ(info.unitId, kRootUnitId) << expected.title;
  }
}

TEST_F(Initialized, ParameterInfoPastTheListIsRefused) {
  // Hosts probe past the count; the answer is a result code (a C++
  // exception must never cross the module boundary).
  for (int32 index : {12, 13, -1, 1000}) {
    ParameterInfo info{};
    tresult result = kResultOk;
    try {
      result = controller->getParameterInfo(index, info);
    } catch (...) {
      ADD_FAILURE() << "getParameterInfo(" << index << ") threw through the module boundary";
      continue;
    }
    EXPECT_NE(result, kResultOk) << index;
  }
}

TEST_F(Initialized, PresetZeroIsLoaded) {
  for (int i = 0; i < kPluginParams; ++i) {
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(static_cast<ParamID>(i)), PluginParam(i).defaultNormalized)
        << PluginParam(i).title << " (" << i << ")";
  }
  EXPECT_EQ(controller->getParamNormalized(kPresetId), 0.0);
  EXPECT_EQ(controller->getParamNormalized(kBypassId), 0.0) << "a new instance is not bypassed";
  EXPECT_EQ(StateValues(SaveState(controller)), DefaultValues());
}

TEST_F(Initialized, DisplayTexts) {
  const struct {
    ParamID id;
    double normalized;
    const char* text;
  } cases[] = {
      {kThreshold, 0.8, "-10.00"}, {kThreshold, 1.0, "0.00"},  {kThreshold, 0.0, "-50.00"},
      {kOutput, 1.0, "30.00"},     {kOutput, 0.0, "-30.00"},   {kOutput, 0.5, "0.00"},
      {kSide, 0.0, "0.30"},        {kSide, 1.0, "0.99"},       {kMix, 0.5, "50.00"},
      {kAttack, 0.4, "2"},         {kAttack, 0.5, "3"},  // 2.5 applies position 3
      {kRelease, 1.0, "5"},        {kRatio, 0.0, "0"},         {kPluginBypass, 0.0, "0"},
      {kPluginBypass, 1.0, "1"},   {kOversample, 1.0, "1"},    {kSidechainSource, 0.0, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueText(controller, c.id, c.normalized), c.text) << "id " << c.id << " at " << c.normalized;
  }
  String128 text{};
  EXPECT_EQ(controller->getParamStringByValue(kBypassId, 1.0, text), kResultFalse);
  EXPECT_EQ(controller->getParamStringByValue(kPresetId, 0.0, text), kResultFalse);
  EXPECT_EQ(controller->getParamStringByValue(12345, 0.0, text), kResultFalse);
}

TEST_F(Initialized, TextToValue) {
  const struct {
    ParamID id;
    const char* text;
    double normalized;
  } cases[] = {
      {kThreshold, "-10", 0.8}, {kThreshold, "-10.00 %", 0.8}, {kThreshold, "-100", 0.0},
      {kThreshold, "abc", 1.0},  // no number reads as 0 dB, the top of the range
      {kOutput, "30", 1.0},     {kOutput, "-15", 0.25},        {kAttack, "3", 0.6},
      {kMix, "50", 0.5},        {kSide, "0.3", 0.0},           {kPluginBypass, "0", 0.0},
  };
  for (const auto& c : cases) {
    String128 text{};
    ToUtf16(c.text, text, 128);
    ParamValue normalized = -1.0;
    EXPECT_EQ(controller->getParamValueByString(c.id, text, normalized), kResultOk) << c.text;
    EXPECT_NEAR(normalized, c.normalized, 1e-12) << "id " << c.id << " from '" << c.text << "'";
  }
}

TEST_F(Initialized, PlainAndNormalizedConversions) {
  EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kThreshold, 0.5), -25.0);
  EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kOutput, 0.25), -15.0);
  EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kAttack, 0.5), 2.5) << "no rounding to the step";
  EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kThreshold, -25.0), 0.5);
  EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kAttack, 7.0), 1.0) << "limited to the range";
  EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kMix, -5.0), 0.0) << "limited to the range";
  EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(12345, 7.0), 7.0) << "unknown ids pass through";
}

TEST_F(Initialized, SetParamNormalizedStoresStepsAndRefusesHostParameters) {
  const struct {
    ParamID id;
    double value;
    tresult result;
    double stored;
  } cases[] = {
      {kAttack, 0.55, kResultOk, 0.6},  // 2.75 rounds to position 3
      {kRatio, 0.1, kResultOk, 0.2},    // 0.5 rounds up
      {kRatio, 0.09, kResultOk, 0.0},   {kThreshold, 0.123, kResultOk, 0.123},
      {kPluginBypass, 0.4, kResultOk, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(controller->setParamNormalized(c.id, c.value), c.result) << "id " << c.id;
    EXPECT_NEAR(controller->getParamNormalized(c.id), c.stored, 1e-12) << "id " << c.id << " set to " << c.value;
  }
  EXPECT_EQ(controller->setParamNormalized(kBypassId, 1.0), kResultFalse);
  EXPECT_EQ(controller->getParamNormalized(kBypassId), 0.0);
  EXPECT_EQ(controller->setParamNormalized(kPresetId, 0.0), kResultFalse);
  EXPECT_EQ(controller->setParamNormalized(12345, 0.5), kResultFalse);
  EXPECT_EQ(controller->getParamNormalized(12345), 0.0);
}

TEST_F(Initialized, OneRootUnit) {
  FUnknownPtr<IUnitInfo> units(component);
  ASSERT_TRUE(units);
  EXPECT_EQ(units->getUnitCount(), 1);
  UnitInfo info{};
  ASSERT_EQ(units->getUnitInfo(0, info), kResultOk);
  EXPECT_EQ(info.id, kRootUnitId);
  EXPECT_EQ(info.parentUnitId, kNoParentUnitId);
  EXPECT_EQ(ToUtf8(info.name), "Root Unit");
  EXPECT_EQ(info.programListId, kNoProgramListId);
  EXPECT_EQ(units->getUnitInfo(1, info), kResultFalse);
  EXPECT_EQ(units->getUnitInfo(-1, info), kResultFalse);
  EXPECT_EQ(units->getSelectedUnit(), kRootUnitId);
}

TEST_F(Initialized, FactoryPresetsProgramList) {
  FUnknownPtr<IUnitInfo> units(component);
  ASSERT_TRUE(units);
  EXPECT_EQ(units->getProgramListCount(), 0);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(list.id, static_cast<ProgramListID>(kPresetId));
  EXPECT_EQ(ToUtf8(list.name), "Factory Presets");
  EXPECT_EQ(list.programCount, 1);
  EXPECT_EQ(units->getProgramListInfo(1, list), kResultFalse);

  String128 name{};
  ASSERT_EQ(units->getProgramName(kPresetId, 0, name), kResultOk);
  EXPECT_EQ(ToUtf8(name), "-");
  name[0] = 'x';
  EXPECT_EQ(units->getProgramName(kPresetId, 1, name), kResultOk);
  EXPECT_EQ(ToUtf8(name), "") << "past the presets the name is empty";
  EXPECT_EQ(units->getProgramName(1234, 0, name), kResultFalse);
}

TEST_F(Initialized, ComponentStateIsNoneOrTheSameStateAndThereIsNoControllerClass) {
  // One object is component and controller: the state travels through the
  // controller. A component state, if offered, must be that same state, so
  // that a host restoring both gets one result.
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  const tresult saved = component->getState(stream);
  if (saved != kNotImplemented) {
    EXPECT_EQ(saved, kResultOk);
    EXPECT_EQ(stream->Bytes(), SaveState(controller));
  }
  EXPECT_EQ(controller->setComponentState(stream), kNotImplemented);
  TUID controllerId{};
  EXPECT_NE(component->getControllerClassId(controllerId), kResultOk);
}

TEST_F(Initialized, SampleSizes) {
  EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultOk);
  EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultOk);
  EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
  ProcessSetup setup{kRealtime, 2, 512, 44100.0};
  EXPECT_EQ(processor->setupProcessing(setup), kResultFalse);
  setup.symbolicSampleSize = kSample64;
  EXPECT_EQ(processor->setupProcessing(setup), kResultOk);
  EXPECT_EQ(processor->getLatencySamples(), 0u);
}

TEST_F(Initialized, ASecondInitializeIsRefusedAndAddsNothing) {
  HostApplication host;
  EXPECT_EQ(component->initialize(&host), kResultFalse);
  EXPECT_EQ(controller->getParameterCount(), 12);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 2);
  EXPECT_EQ(component->getBusCount(kAudio, kOutput), 1);
}

TEST_F(Initialized, InitializeAfterTerminateStartsFromPresetZeroAgain) {
  ASSERT_EQ(controller->setParamNormalized(kThreshold, 0.5), kResultOk);
  ASSERT_EQ(component->terminate(), kResultOk);
  // The plug-in keeps the context until it is terminated again, after this test.
  static HostApplication host;
  ASSERT_EQ(component->initialize(&host), kResultOk);
  EXPECT_EQ(controller->getParameterCount(), 12);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 2);
  EXPECT_DOUBLE_EQ(controller->getParamNormalized(kThreshold), 1.0);
}

// A context that answers no interface at all, as a minimal host might give.
class BareContext : public FUnknown {
 public:
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }
};

TEST(Initialize, SucceedsWithOrWithoutAHostApplication) {
  HostApplication host;
  BareContext bare;
  const struct {
    const char* name;
    FUnknown* context;
  } cases[] = {{"host application", &host}, {"context without interfaces", &bare}, {"no context", nullptr}};
  TUID cid;
  ClassId(cid);
  for (const auto& c : cases) {
    IComponent* component = nullptr;
    ASSERT_EQ(Factory()->createInstance(cid, IComponent::iid, reinterpret_cast<void**>(&component)), kResultOk);
    EXPECT_EQ(component->initialize(c.context), kResultOk) << c.name;
    FUnknownPtr<IEditController> controller(component);
    ASSERT_TRUE(controller) << c.name;
    EXPECT_EQ(controller->getParameterCount(), 12) << c.name;
    EXPECT_EQ(component->getBusCount(kAudio, kInput), 2) << c.name;
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kMix), 1.0) << c.name << ": preset 0 loaded";
    EXPECT_EQ(component->terminate(), kResultOk) << c.name;
    controller = nullptr;
    EXPECT_EQ(component->release(), 0u) << c.name;
  }
}

}  // namespace
}  // namespace kestro::test
