// The host's proposals of bus arrangements: what is accepted, what is
// refused, what the buses look like afterwards, and that an instance still
// works after a refusal.
#include "ModuleTestSupport.h"

#include "pluginterfaces/vst/ivstcomponent.h"

#include <gtest/gtest.h>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

struct ExpectedBus {
  const char* name;
  SpeakerArrangement arrangement;
  BusType type;
};

struct ArrangementCase {
  const char* name;
  std::vector<SpeakerArrangement> inputs;
  std::vector<SpeakerArrangement> outputs;
  tresult result;
  // Input buses afterwards; only checked when the proposal is accepted.
  std::vector<ExpectedBus> inputBuses;
};

const SpeakerArrangement kMono = SpeakerArr::kMono;
const SpeakerArrangement kStereo = SpeakerArr::kStereo;

class BusArrangements : public ::testing::TestWithParam<ArrangementCase> {};

TEST_P(BusArrangements, AreAcceptedOrRefused) {
  const ArrangementCase& c = GetParam();
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IAudioProcessor* processor = instance->Processor();
  IComponent* component = instance->Component();
  auto inputs = c.inputs;
  auto outputs = c.outputs;
  EXPECT_EQ(processor->setBusArrangements(inputs.empty() ? nullptr : inputs.data(), static_cast<int32>(inputs.size()),
                                          outputs.empty() ? nullptr : outputs.data(),
                                          static_cast<int32>(outputs.size())),
            c.result);
  if (c.result == kResultOk) {
    ASSERT_EQ(component->getBusCount(kAudio, kInput), static_cast<int32>(c.inputBuses.size()));
    for (size_t b = 0; b < c.inputBuses.size(); ++b) {
      BusInfo info{};
      ASSERT_EQ(component->getBusInfo(kAudio, kInput, static_cast<int32>(b), info), kResultOk);
      EXPECT_EQ(ToUtf8(info.name), c.inputBuses[b].name) << "input bus " << b;
      EXPECT_EQ(info.busType, c.inputBuses[b].type) << "input bus " << b;
      EXPECT_EQ(info.channelCount, SpeakerArr::getChannelCount(c.inputBuses[b].arrangement)) << "input bus " << b;
      SpeakerArrangement arrangement = 0;
      processor->getBusArrangement(kInput, static_cast<int32>(b), arrangement);
      EXPECT_EQ(arrangement, c.inputBuses[b].arrangement) << "input bus " << b;
    }
    SpeakerArrangement output = 0;
    processor->getBusArrangement(kOutput, 0, output);
    EXPECT_EQ(output, kStereo);
  }

  // Whatever happened, a host that then proposes the plug-in's own layout
  // can run it.
  PluginInstance::Setup setup;
  std::string error;
  ASSERT_TRUE(instance->Start(setup, error)) << error;
  auto in = Sine<float>(2, 256, 1000.0, 0.5);
  Buffers<float> out(2, 256);
  EXPECT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk);
  EXPECT_TRUE(AllFinite(out));
  EXPECT_GT(Rms(out, 0, 256), 0.1) << "no output after the proposal";
}

INSTANTIATE_TEST_SUITE_P(
    Vst3Module, BusArrangements,
    ::testing::Values(
        ArrangementCase{"StereoWithStereoSidechain",
                        {kStereo, kStereo},
                        {kStereo},
                        kResultOk,
                        {{"Main Input", kStereo, kMain}, {"Aux Input", kStereo, kAux}}},
        ArrangementCase{"MonoSidechainRenamesTheInputs",
                        {kStereo, kMono},
                        {kStereo},
                        kResultOk,
                        {{"Input", kStereo, kMain}, {"Sidechain Input", kMono, kAux}}},
        ArrangementCase{"MonoMainInput", {kMono, kStereo}, {kStereo}, kResultFalse, {}},
        ArrangementCase{"MonoOutput", {kStereo, kStereo}, {kMono}, kResultFalse, {}},
        ArrangementCase{"SurroundMainInput", {SpeakerArr::k51, kStereo}, {kStereo}, kResultFalse, {}},
        ArrangementCase{"OnlyOneInputArrangement", {kStereo}, {kStereo}, kResultFalse, {}},
        ArrangementCase{"ThreeInputArrangements", {kStereo, kStereo, kStereo}, {kStereo}, kResultFalse, {}},
        ArrangementCase{"NoInputArrangement", {}, {kStereo}, kResultFalse, {}},
        ArrangementCase{"NoOutputArrangement", {kStereo, kStereo}, {}, kResultFalse, {}},
        ArrangementCase{"NoArrangementsAtAll", {}, {}, kResultFalse, {}}),
    [](const ::testing::TestParamInfo<ArrangementCase>& info) { return std::string(info.param.name); });

// With a mono sidechain the sidechain bus has one channel: the plug-in must
// read only that one, in both precisions.
template <typename Sample>
void ProcessWithMonoSidechain() {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  PluginInstance::Setup setup;
  setup.sampleSize = SampleSizeOf<Sample>();
  setup.sidechain = kMono;
  setup.sidechainActive = true;
  std::string error;
  ASSERT_TRUE(instance->Start(setup, error)) << error;
  ASSERT_EQ(instance->SidechainChannels(), 1);
  instance->Changes().Add(kSidechainSource, 0.0);  // detect from the sidechain
  instance->Changes().Add(kThreshold, 0.2);        // -40 dB
  auto in = Sine<Sample>(2, 4096, 440.0, 0.25);
  auto side = Sine<Sample>(1, 4096, 1000.0, 0.9);
  Buffers<Sample> out(2, 4096);
  EXPECT_EQ(instance->Process(4096, in.Pointers(), side.Pointers(), out.Pointers()), kResultOk);
  EXPECT_TRUE(AllFinite(out));
  EXPECT_LT(Rms(out, 2048, 4096), Rms(in, 2048, 4096) * 0.5) << "the mono sidechain does not drive the detector";
}

TEST(MonoSidechain, Processes32) { ProcessWithMonoSidechain<float>(); }
TEST(MonoSidechain, Processes64) { ProcessWithMonoSidechain<double>(); }

}  // namespace
}  // namespace kestro::test
