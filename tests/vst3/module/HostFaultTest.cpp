// Faults a host can provoke at the boundary and hear or see: input that goes
// missing for a few calls, a refused bus proposal, an impossible processing
// setup, a block in the wrong precision, and the display of values hosts
// send unquantised.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

template <typename Sample>
class MissingInput : public ::testing::Test {};
using SampleTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(MissingInput, SampleTypes);

// After a normal block, a call whose main input lacks channels must output
// silence in them (Mix 0 passes the input through untouched), never the
// previous block's input again.
TYPED_TEST(MissingInput, ReadsSilenceEveryCall) {
  using Sample = TypeParam;
  struct Case {
    const char* name;
    std::function<void(RawCall<Sample>&)> narrow;
    int silentFrom;  // first output channel that must be silent
  };
  static Sample* oneChannel[1] = {};
  const std::vector<Case> cases = {
      {"no input bus", [](RawCall<Sample>& c) { c.data.numInputs = 0; c.data.inputs = nullptr; }, 0},
      {"main bus of 0 channels", [](RawCall<Sample>& c) { c.inputs[0].numChannels = 0; }, 0},
      {"main bus of 1 channel",
       [](RawCall<Sample>& c) {
         oneChannel[0] = c.main.pointers[0];
         SetChannels<Sample>(c.inputs[0], 1, oneChannel);
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto instance = StartedInstance(SampleSizeOf<Sample>(), 256);
    ASSERT_NE(instance, nullptr);
    instance->Changes().Add(kMix, 0.0);
    auto in = Sine<Sample>(2, 256, 440.0, 0.5);
    Buffers<Sample> out(2, 256);
    ASSERT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk);
    ASSERT_GT(Rms(out, 0, 256), 0.1);

    for (int call = 0; call < 2; ++call) {
      RawCall<Sample> raw(256);
      c.narrow(raw);
      ASSERT_EQ(instance->Processor()->process(raw.data), kResultOk);
      for (int ch = c.silentFrom; ch < 2; ++ch) {
        const auto& samples = raw.out.data[static_cast<size_t>(ch)];
        const Sample peak = *std::max_element(samples.begin(), samples.end(),
                                              [](Sample a, Sample b) { return std::abs(a) < std::abs(b); });
        EXPECT_EQ(std::abs(peak), Sample(0)) << "channel " << ch << ", call " << call;
      }
    }
  }
}

// A block in the other precision than the one set up: read as set up, the
// float arrays would be read as doubles, twice their length. The block is
// refused with silence in its own precision; its parameter changes count.
TEST(OtherPrecision, BlocksAreRefusedWithSilence) {
  auto instance = StartedInstance(kSample64, 256);
  ASSERT_NE(instance, nullptr);
  RawCall<float> raw(256);
  std::fill(raw.out.data[0].begin(), raw.out.data[0].end(), 0.25f);
  ParameterChanges changes;
  changes.Add(kMix, 0.5);
  raw.data.inputParameterChanges = &changes;
  EXPECT_EQ(instance->Processor()->process(raw.data), kInvalidArgument);
  for (const auto& channel : raw.out.data) {
    EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float x) { return x == 0.0f; }));
  }
  EXPECT_DOUBLE_EQ(instance->Controller()->getParamNormalized(kMix), 0.5);
  // The setup's own precision still works.
  RawCall<double> right(256);
  EXPECT_EQ(instance->Processor()->process(right.data), kResultOk);
}

TEST(BusProposal, RefusedProposalKeepsTheBusesAndLaterOnesAreAccepted) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IAudioProcessor* processor = instance->Processor();
  IComponent* component = instance->Component();
  // 4 in / 2 out is a legal configuration, but no 4-channel main input plus
  // a sidechain is.
  SpeakerArrangement quad[2] = {SpeakerArr::k40Cine, SpeakerArr::kStereo};
  SpeakerArrangement stereoOut[1] = {SpeakerArr::kStereo};
  EXPECT_EQ(processor->setBusArrangements(quad, 2, stereoOut, 1), kResultFalse);
  ASSERT_EQ(component->getBusCount(kAudio, kInput), 2);
  for (int32 bus : {0, 1}) {
    SpeakerArrangement arrangement = 0;
    processor->getBusArrangement(kInput, bus, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo) << "input bus " << bus;
  }

  SpeakerArrangement stereoAndSide[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
  EXPECT_EQ(processor->setBusArrangements(stereoAndSide, 2, stereoOut, 1), kResultOk);
  SpeakerArrangement monoSide[2] = {SpeakerArr::kStereo, SpeakerArr::kMono};
  EXPECT_EQ(processor->setBusArrangements(monoSide, 2, stereoOut, 1), kResultOk);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 2);
}

TEST(ProcessSetup, BlockSizesBelowOneAreRefused) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  for (int32 block : {0, -1}) {
    ProcessSetup setup{kRealtime, kSample32, block, 48000.0};
    EXPECT_EQ(instance->Processor()->setupProcessing(setup), kResultFalse) << block;
  }
  ProcessSetup setup{kRealtime, kSample32, 1, 48000.0};
  EXPECT_EQ(instance->Processor()->setupProcessing(setup), kResultOk);
}

// The display of any normalised value names the step that value applies.
TEST(SteppedDisplay, ShowsTheStepThatIsApplied) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IEditController* controller = instance->Controller();
  for (ParamID id : {kAttack, kRelease, kRatio}) {
    for (double v = 0.0; v <= 1.0; v += 1.0 / 64) {
      SCOPED_TRACE(::testing::Message() << "parameter " << id << " at " << v);
      const std::string shown = ValueText(controller, id, v);
      ASSERT_EQ(controller->setParamNormalized(id, v), kResultOk);
      EXPECT_EQ(ValueText(controller, id, controller->getParamNormalized(id)), shown);
    }
  }
  // The reported case: 0.5 of six positions applies position 3.
  EXPECT_EQ(ValueText(controller, kAttack, 0.5), ValueText(controller, kAttack, 0.6));
}

}  // namespace
}  // namespace kestro::test
