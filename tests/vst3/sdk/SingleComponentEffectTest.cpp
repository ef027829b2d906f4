// SingleComponentEffect (our stand-in for the SDK class): reference counting,
// the interfaces it answers, its run-time type names, its bus lists and their
// arrangements, the processing setup and the SDK's default answers.
#include "TestEffect.h"

#include "public.sdk/source/vst/hosting/hostclasses.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/ivstunits.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// Owns one reference to a TestEffect and checks on destruction that no other
// reference was left behind by the test.
class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(TestEffect::liveCount, 1) << "an earlier test leaked an effect"; }
  void TearDown() override {
    if (effect != nullptr) {
      EXPECT_EQ(effect->release(), 0u);
    }
    EXPECT_EQ(TestEffect::liveCount, 0) << "a reference was leaked";
  }
  void Initialize() { ASSERT_EQ(effect->initialize(&host), kResultOk); }

  HostApplication host;
  TestEffect* effect = new TestEffect;
};

// --- Reference counting ----------------------------------------------------

TEST_F(EffectTest, ReferenceCountStartsAtOneAndAddRefReleaseReturnTheNewCount) {
  EXPECT_EQ(effect->getRefCount(), 1);
  EXPECT_EQ(effect->addRef(), 2u);
  EXPECT_EQ(effect->addRef(), 3u);
  EXPECT_EQ(effect->release(), 2u);
  EXPECT_EQ(effect->release(), 1u);
  EXPECT_EQ(TestEffect::liveCount, 1);
}

TEST_F(EffectTest, LastReleaseThroughAnyInterfaceDestroys) {
  IEditController* controller = nullptr;
  ASSERT_EQ(effect->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller)),
            kResultOk);
  EXPECT_EQ(effect->getRefCount(), 2);
  EXPECT_EQ(effect->release(), 1u);
  effect = nullptr;
  EXPECT_EQ(TestEffect::liveCount, 1);
  EXPECT_EQ(controller->release(), 0u);
  EXPECT_EQ(TestEffect::liveCount, 0);
}

// --- Interfaces --------------------------------------------------------------

struct InterfaceCase {
  const char* name;
  const TUID& iid;
  // The sub-object the query must return, from the object itself.
  void* (*expected)(TestEffect*);
};

template <class I, class Via = I>
void* As(TestEffect* e) {
  return static_cast<I*>(static_cast<Via*>(e));
}

// Built on first use: the interface ids are objects of other translation
// units, not yet constructed while this one is initialised.
const std::vector<InterfaceCase>& AnsweredInterfaces() {
  static const std::vector<InterfaceCase> cases = {
      {"FUnknown", FUnknown::iid, As<FUnknown, FObject>},
      {"FObject", FObject::iid, As<FObject>},
      {"IDependent", IDependent::iid, As<IDependent, FObject>},
      {"IPluginBase", IPluginBase::iid, As<IPluginBase, ComponentBase>},
      {"IConnectionPoint", IConnectionPoint::iid, As<IConnectionPoint>},
      {"IEditController", IEditController::iid, As<IEditController>},
      {"IEditController2", IEditController2::iid, As<IEditController2>},
      {"IUnitInfo", IUnitInfo::iid, As<IUnitInfo>},
      {"IComponent", IComponent::iid, As<IComponent>},
      {"IAudioProcessor", IAudioProcessor::iid, As<IAudioProcessor>},
  };
  return cases;
}

TEST_F(EffectTest, AnswersEveryInterfaceWithItsSubObjectAndOneReference) {
  for (const InterfaceCase& c : AnsweredInterfaces()) {
    SCOPED_TRACE(c.name);
    void* obj = nullptr;
    ASSERT_EQ(effect->queryInterface(c.iid, &obj), kResultOk);
    EXPECT_EQ(obj, c.expected(effect));
    EXPECT_EQ(effect->getRefCount(), 2);
    static_cast<FUnknown*>(obj)->release();
    EXPECT_EQ(effect->getRefCount(), 1);
  }
}

TEST_F(EffectTest, EveryInterfaceLeadsBackToTheSameIdentity) {
  // The COM identity rule hosts rely on to compare objects: FUnknown queried
  // through any interface is one and the same pointer.
  FUnknown* identity = nullptr;
  ASSERT_EQ(effect->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&identity)), kResultOk);
  for (const InterfaceCase& c : AnsweredInterfaces()) {
    SCOPED_TRACE(c.name);
    FUnknown* itf = nullptr;
    ASSERT_EQ(effect->queryInterface(c.iid, reinterpret_cast<void**>(&itf)), kResultOk);
    FUnknown* again = nullptr;
    ASSERT_EQ(itf->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&again)), kResultOk);
    EXPECT_EQ(again, identity);
    again->release();
    itf->release();
  }
  identity->release();
  EXPECT_EQ(effect->getRefCount(), 1);
}

TEST_F(EffectTest, RefusesOtherInterfacesWithNullAndNoReference) {
  const TUID kUnknownIid = INLINE_UID(0x12345678, 0x9ABCDEF0, 0x0FEDCBA9, 0x87654321);
  const struct {
    const char* name;
    const TUID& iid;
  } refused[] = {
      {"IPluginFactory", IPluginFactory::iid},
      {"IPlugView", IPlugView::iid},
      {"IMidiMapping", IMidiMapping::iid},
      {"IProcessContextRequirements", IProcessContextRequirements::iid},
      {"IBStream", IBStream::iid},
      {"unknown", kUnknownIid},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    int sentinel = 0;
    void* obj = &sentinel;
    EXPECT_EQ(effect->queryInterface(c.iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(effect->getRefCount(), 1);
  }
}

// --- Run-time type names -------------------------------------------------------

TEST_F(EffectTest, TypeQueriesFollowTheClassChain) {
  EXPECT_STREQ(effect->isA(), "TestEffect");
  EXPECT_STREQ(SingleComponentEffect::getFClassID(), "SingleComponentEffect");
  const struct {
    const char* name;
    bool withBases;
    bool exactly;
  } cases[] = {
      {"TestEffect", true, true},
      {"SingleComponentEffect", true, false},
      {"EditControllerEx1", true, false},
      {"EditController", true, false},
      {"ComponentBase", true, false},
      {"FObject", true, false},
      {"Component", false, false},
      {"AudioEffect", false, false},
      {"Vst::Bus", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(effect->isTypeOf(c.name, true), c.withBases);
    EXPECT_EQ(effect->isTypeOf(c.name, false), c.exactly);
    EXPECT_EQ(effect->isA(c.name), c.exactly);
  }
}

// An effect that does not name itself is a SingleComponentEffect.
class UnnamedEffect : public SingleComponentEffect {
 public:
  tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
};

TEST(SingleComponentEffect, UnnamedDerivedClassReportsTheBaseName) {
  auto* e = new UnnamedEffect;
  EXPECT_STREQ(e->isA(), "SingleComponentEffect");
  FUnknown* unknown = static_cast<IComponent*>(e);
  EXPECT_EQ(FCast<SingleComponentEffect>(unknown), e);
  EXPECT_EQ(FCast<EditControllerEx1>(unknown), e);
  EXPECT_EQ(FCast<Vst::Parameter>(unknown), nullptr);
  EXPECT_EQ(e->release(), 0u);
}

// --- Life cycle ------------------------------------------------------------------

TEST_F(EffectTest, InitializeStoresTheHostContextOnce) {
  EXPECT_EQ(effect->getHostContext(), nullptr);
  Initialize();
  EXPECT_EQ(effect->getHostContext(), static_cast<FUnknown*>(&host));

  HostApplication other;
  EXPECT_EQ(effect->initialize(&other), kResultFalse);
  EXPECT_EQ(effect->getHostContext(), static_cast<FUnknown*>(&host));
  EXPECT_EQ(effect->getBusCount(kAudio, kInput), 1) << "a refused initialize made buses";
}

TEST_F(EffectTest, TerminateRemovesBusesParametersAndContext) {
  Initialize();
  effect->addEventInput(STR16("MIDI In"));
  effect->addEventOutput(STR16("MIDI Out"));
  effect->params().addParameter(STR16("Gain"), nullptr, 0, 0.5, ParameterInfo::kCanAutomate, 7);
  ASSERT_EQ(effect->getParameterCount(), 1);

  EXPECT_EQ(effect->terminate(), kResultOk);
  for (MediaType type : {kAudio, kEvent})
    for (BusDirection dir : {kInput, kOutput}) EXPECT_EQ(effect->getBusCount(type, dir), 0);
  EXPECT_EQ(effect->getParameterCount(), 0);
  EXPECT_EQ(effect->getHostContext(), nullptr);

  // Initialised again, it makes its buses again.
  Initialize();
  EXPECT_EQ(effect->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(effect->getBusCount(kAudio, kOutput), 1);
}

// --- Buses ---------------------------------------------------------------------------

TEST_F(EffectTest, BusCounts) {
  for (MediaType type : {kAudio, kEvent})
    for (BusDirection dir : {kInput, kOutput}) EXPECT_EQ(effect->getBusCount(type, dir), 0);
  Initialize();
  effect->addEventInput(STR16("MIDI In"), 4);
  const struct {
    MediaType type;
    BusDirection dir;
    int32 count;
  } cases[] = {
      {kAudio, kInput, 1}, {kAudio, kOutput, 1}, {kEvent, kInput, 1}, {kEvent, kOutput, 0},
      {7, kInput, 0},      {kAudio, 2, 0},       {kEvent, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " dir " << c.dir);
    EXPECT_EQ(effect->getBusCount(c.type, c.dir), c.count);
  }
}

TEST_F(EffectTest, BusInfoOfEachBus) {
  Initialize();
  effect->addEventInput(STR16("MIDI In"), 4, kAux, 0);
  effect->addEventOutput(STR16("MIDI Out"));
  const struct {
    MediaType type;
    BusDirection dir;
    const char16* name;
    int32 channels;
    BusType busType;
    uint32 flags;
  } cases[] = {
      {kAudio, kInput, STR16("Stereo In"), 2, kMain, BusInfo::kDefaultActive},
      {kAudio, kOutput, STR16("Stereo Out"), 2, kMain, BusInfo::kDefaultActive},
      {kEvent, kInput, STR16("MIDI In"), 4, kAux, 0},
      {kEvent, kOutput, STR16("MIDI Out"), 16, kMain, BusInfo::kDefaultActive},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " dir " << c.dir);
    BusInfo info {};
    info.mediaType = -1;
    info.direction = -1;
    ASSERT_EQ(effect->getBusInfo(c.type, c.dir, 0, info), kResultTrue);
    EXPECT_EQ(info.mediaType, c.type);
    EXPECT_EQ(info.direction, c.dir);
    EXPECT_EQ(String16(info.name), String16(c.name));
    EXPECT_EQ(info.channelCount, c.channels);
    EXPECT_EQ(info.busType, c.busType);
    EXPECT_EQ(info.flags, c.flags);
  }
}

TEST_F(EffectTest, BusInfoAndActivationRefuseMissingBuses) {
  Initialize();
  const struct {
    MediaType type;
    BusDirection dir;
    int32 index;
  } cases[] = {
      {kAudio, kInput, -1}, {kAudio, kInput, 1}, {kAudio, kOutput, 1}, {kEvent, kInput, 0},
      {kEvent, kOutput, 0}, {7, kInput, 0},      {kAudio, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " dir " << c.dir << " index " << c.index);
    BusInfo info {};
    EXPECT_EQ(effect->getBusInfo(c.type, c.dir, c.index, info), kInvalidArgument);
    EXPECT_EQ(effect->activateBus(c.type, c.dir, c.index, true), kInvalidArgument);
  }
}

TEST_F(EffectTest, BusesStartInactiveUntilTheHostActivatesThem) {
  Initialize();
  // kDefaultActive is advice to the host; the bus itself starts inactive.
  EXPECT_FALSE(effect->audioInput(0)->isActive());
  EXPECT_FALSE(effect->audioOutput(0)->isActive());

  EXPECT_EQ(effect->activateBus(kAudio, kInput, 0, true), kResultTrue);
  EXPECT_TRUE(effect->audioInput(0)->isActive());
  EXPECT_FALSE(effect->audioOutput(0)->isActive());

  EXPECT_EQ(effect->activateBus(kAudio, kOutput, 0, true), kResultTrue);
  EXPECT_TRUE(effect->audioOutput(0)->isActive());

  EXPECT_EQ(effect->activateBus(kAudio, kInput, 0, false), kResultTrue);
  EXPECT_FALSE(effect->audioInput(0)->isActive());
}

TEST_F(EffectTest, AddedBusesAppendInOrder) {
  AudioBus* first = effect->addAudioInput(STR16("A"), SpeakerArr::kMono);
  AudioBus* second = effect->addAudioInput(STR16("B"), SpeakerArr::k51, kAux, 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(effect->audioInput(0), first);
  EXPECT_EQ(effect->audioInput(1), second);
  BusInfo info {};
  ASSERT_EQ(effect->getBusInfo(kAudio, kInput, 1, info), kResultTrue);
  EXPECT_EQ(String16(info.name), String16(STR16("B")));
  EXPECT_EQ(info.channelCount, 6);
  EXPECT_EQ(info.busType, kAux);
  EXPECT_EQ(info.flags, 0u);
  // The list holds the only reference to each bus.
  EXPECT_EQ(first->getRefCount(), 1);
}

TEST_F(EffectTest, RemoveAudioAndEventBuses) {
  Initialize();
  effect->addEventInput(STR16("MIDI In"));
  EXPECT_EQ(effect->removeAudioBusses(), kResultOk);
  EXPECT_EQ(effect->getBusCount(kAudio, kInput), 0);
  EXPECT_EQ(effect->getBusCount(kAudio, kOutput), 0);
  EXPECT_EQ(effect->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(effect->removeEventBusses(), kResultOk);
  EXPECT_EQ(effect->getBusCount(kEvent, kInput), 0);
}

// --- Arrangements --------------------------------------------------------------------

TEST_F(EffectTest, BusArrangementOfTheAudioBuses) {
  Initialize();
  const struct {
    BusDirection dir;
    int32 index;
    tresult result;
    SpeakerArrangement arr;
  } cases[] = {
      {kInput, 0, kResultTrue, SpeakerArr::kStereo},
      {kOutput, 0, kResultTrue, SpeakerArr::kStereo},
      {kInput, 1, kInvalidArgument, 0},
      {kOutput, -1, kInvalidArgument, 0},
      {2, 0, kInvalidArgument, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "dir " << c.dir << " index " << c.index);
    SpeakerArrangement arr = 0xDEAD;
    EXPECT_EQ(effect->getBusArrangement(c.dir, c.index, arr), c.result);
    EXPECT_EQ(arr, c.result == kResultTrue ? c.arr : SpeakerArrangement{0xDEAD});
  }
}

TEST_F(EffectTest, SetBusArrangementsAcceptsOneArrangementPerBus) {
  Initialize();
  SpeakerArrangement in = SpeakerArr::kMono;
  SpeakerArrangement out = SpeakerArr::k51;
  EXPECT_EQ(effect->setBusArrangements(&in, 1, &out, 1), kResultTrue);
  SpeakerArrangement arr = 0;
  EXPECT_EQ(effect->getBusArrangement(kInput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::kMono);
  EXPECT_EQ(effect->getBusArrangement(kOutput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::k51);
  BusInfo info {};
  ASSERT_EQ(effect->getBusInfo(kAudio, kOutput, 0, info), kResultTrue);
  EXPECT_EQ(info.channelCount, 6);
}

TEST_F(EffectTest, SetBusArrangementsRefusals) {
  Initialize();
  SpeakerArrangement two[] = {SpeakerArr::kMono, SpeakerArr::kMono};
  const struct {
    const char* name;
    SpeakerArrangement* inputs;
    int32 numIns;
    SpeakerArrangement* outputs;
    int32 numOuts;
    tresult result;
  } cases[] = {
      {"more inputs than buses", two, 2, two, 1, kResultFalse},
      {"more outputs than buses", two, 1, two, 2, kResultFalse},
      {"negative input count", two, -1, two, 1, kInvalidArgument},
      {"negative output count", two, 1, two, -1, kInvalidArgument},
      {"missing input array", nullptr, 1, two, 1, kInvalidArgument},
      {"missing output array", two, 1, nullptr, 1, kInvalidArgument},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(effect->setBusArrangements(c.inputs, c.numIns, c.outputs, c.numOuts), c.result);
    SpeakerArrangement arr = 0;
    EXPECT_EQ(effect->getBusArrangement(kInput, 0, arr), kResultTrue);
    EXPECT_EQ(arr, SpeakerArr::kStereo) << "a refused proposal changed a bus";
    EXPECT_EQ(effect->getBusArrangement(kOutput, 0, arr), kResultTrue);
    EXPECT_EQ(arr, SpeakerArr::kStereo) << "a refused proposal changed a bus";
  }
}

TEST_F(EffectTest, SetBusArrangementsWithFewerArrangementsSetsTheLeadingBuses) {
  Initialize();
  SpeakerArrangement in = SpeakerArr::kMono;
  EXPECT_EQ(effect->setBusArrangements(&in, 1, nullptr, 0), kResultTrue);
  SpeakerArrangement arr = 0;
  EXPECT_EQ(effect->getBusArrangement(kInput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::kMono);
  EXPECT_EQ(effect->getBusArrangement(kOutput, 0, arr), kResultTrue);
  EXPECT_EQ(arr, SpeakerArr::kStereo);
}

// --- Processing setup ----------------------------------------------------------------

TEST_F(EffectTest, InitialProcessingSetup) {
  const ProcessSetup& setup = effect->currentSetup();
  EXPECT_EQ(setup.processMode, kRealtime);
  EXPECT_EQ(setup.symbolicSampleSize, kSample32);
  EXPECT_EQ(setup.maxSamplesPerBlock, 1024);
  EXPECT_EQ(setup.sampleRate, 44100.0);
}

TEST_F(EffectTest, CanProcessOnly32BitSamplesByDefault) {
  const struct {
    int32 size;
    tresult result;
  } cases[] = {{kSample32, kResultTrue}, {kSample64, kResultFalse}, {2, kResultFalse}, {-1, kResultFalse}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(effect->canProcessSampleSize(c.size), c.result);
  }
}

TEST_F(EffectTest, SetupProcessingStoresTheWholeSetup) {
  ProcessSetup setup {kOffline, kSample32, 512, 96000.0};
  EXPECT_EQ(effect->setupProcessing(setup), kResultOk);
  const ProcessSetup& stored = effect->currentSetup();
  EXPECT_EQ(stored.processMode, kOffline);
  EXPECT_EQ(stored.symbolicSampleSize, kSample32);
  EXPECT_EQ(stored.maxSamplesPerBlock, 512);
  EXPECT_EQ(stored.sampleRate, 96000.0);
}

TEST_F(EffectTest, SetupProcessingRefusesAnUnsupportedSampleSizeAndKeepsTheOldSetup) {
  for (int32 size : {int32{kSample64}, int32{2}}) {
    SCOPED_TRACE(size);
    ProcessSetup setup {kPrefetch, size, 64, 22050.0};
    EXPECT_EQ(effect->setupProcessing(setup), kResultFalse);
    const ProcessSetup& stored = effect->currentSetup();
    EXPECT_EQ(stored.processMode, kRealtime);
    EXPECT_EQ(stored.symbolicSampleSize, kSample32);
    EXPECT_EQ(stored.maxSamplesPerBlock, 1024);
    EXPECT_EQ(stored.sampleRate, 44100.0);
  }
}

// An effect that also processes 64-bit samples: setupProcessing must ask the
// overridden check, not the base's.
class DoubleEffect : public TestEffect {
 public:
  tresult PLUGIN_API canProcessSampleSize(int32 size) override {
    return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
  }
};

TEST(SingleComponentEffect, SetupProcessingAsksTheDerivedSampleSizeCheck) {
  auto* e = new DoubleEffect;
  ProcessSetup setup {kRealtime, kSample64, 256, 48000.0};
  EXPECT_EQ(e->setupProcessing(setup), kResultOk);
  EXPECT_EQ(e->currentSetup().symbolicSampleSize, kSample64);
  EXPECT_EQ(e->release(), 0u);
}

// --- Default answers -----------------------------------------------------------------

TEST_F(EffectTest, DefaultAnswers) {
  Initialize();
  IComponent* component = effect;
  IAudioProcessor* processor = effect;
  IEditController* controller = effect;
  TUID cid {};
  RoutingInfo in {};
  RoutingInfo out {};
  const struct {
    const char* name;
    tresult actual;
    tresult expected;
  } cases[] = {
      {"IComponent::getControllerClassId", component->getControllerClassId(cid), kNotImplemented},
      {"IComponent::setIoMode", component->setIoMode(kAdvanced), kNotImplemented},
      {"IComponent::getRoutingInfo", component->getRoutingInfo(in, out), kNotImplemented},
      {"IComponent::setActive (true)", component->setActive(true), kResultOk},
      {"IComponent::setActive (false)", component->setActive(false), kResultOk},
      {"IComponent::setState", component->setState(nullptr), kNotImplemented},
      {"IComponent::getState", component->getState(nullptr), kNotImplemented},
      {"IEditController::setState", controller->setState(nullptr), kNotImplemented},
      {"IEditController::getState", controller->getState(nullptr), kNotImplemented},
      {"IAudioProcessor::setProcessing", processor->setProcessing(true), kNotImplemented},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.actual, c.expected);
  }
  EXPECT_EQ(processor->getLatencySamples(), 0u);
  EXPECT_EQ(processor->getTailSamples(), kNoTail);
}

// A derived state override answers through both interfaces: IComponent and
// IEditController declare the same function.
class StatefulEffect : public TestEffect {
 public:
  tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }
  tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
};

TEST(SingleComponentEffect, OneStateOverrideServesComponentAndController) {
  auto* e = new StatefulEffect;
  EXPECT_EQ(static_cast<IComponent*>(e)->getState(nullptr), kResultOk);
  EXPECT_EQ(static_cast<IEditController*>(e)->getState(nullptr), kResultOk);
  EXPECT_EQ(static_cast<IComponent*>(e)->setState(nullptr), kResultOk);
  EXPECT_EQ(static_cast<IEditController*>(e)->setState(nullptr), kResultOk);
  EXPECT_EQ(e->release(), 0u);
}

}  // namespace
}  // namespace kestro::test
