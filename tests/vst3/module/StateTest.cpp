// The state a host saves in its project and restores: layout, round trips,
// short and damaged streams, and streams that fail.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Processes one short block carrying changes, to reach the bypass.
void Apply(PluginInstance& instance) {
  Buffers<float> in(2, 32), out(2, 32);
  ASSERT_EQ(instance.Process(32, in.Pointers(), nullptr, out.Pointers()), kResultOk);
}

// A state different from the defaults in every value.
const std::array<double, kPluginParams> kDistinct = {-12.5, 6.25, 3.0, 4.0, 2.0, 0.75, 40.0, 1.0, 1.0, 0.0};
// Another, different again in every value.
const std::array<double, kPluginParams> kOther = {-40.0, -3.5, 1.0, 2.0, 5.0, 0.5, 80.0, 0.0, 0.0, 1.0};

TEST(State, DefaultStateIs84BytesOfLittleEndianDefaults) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  const auto state = SaveState(instance->Controller());
  ASSERT_EQ(state.size(), kStateBytes);
  EXPECT_EQ(StateValues(state), DefaultValues());
  const std::vector<std::uint8_t> tail(state.end() - 4, state.end());
  EXPECT_EQ(tail, (std::vector<std::uint8_t>{0, 0, 0, 0}));
  // Mix 100.0 is 0x4059000000000000, stored least significant byte first.
  const std::vector<std::uint8_t> mix(state.begin() + 48, state.begin() + 56);
  EXPECT_EQ(mix, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x59, 0x40}));
}

TEST(State, BypassedStateEndsWithOne) {
  auto instance = StartedInstance();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kBypassId, 1.0);
  Apply(*instance);
  const auto state = SaveState(instance->Controller());
  ASSERT_EQ(state.size(), kStateBytes);
  const std::vector<std::uint8_t> tail(state.end() - 4, state.end());
  EXPECT_EQ(tail, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST(State, ValuesSetByTheHostAreSavedAsPlainValues) {
  auto instance = StartedInstance();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kThreshold, 0.8);  // -10 dB
  instance->Changes().Add(kMix, 0.25);
  instance->Changes().Add(kRelease, 0.4);
  Apply(*instance);
  const auto values = StateValues(SaveState(instance->Controller()));
  EXPECT_DOUBLE_EQ(values[kThreshold], -10.0);
  EXPECT_DOUBLE_EQ(values[kMix], 25.0);
  EXPECT_DOUBLE_EQ(values[kRelease], 2.0);
}

TEST(State, AFullStateRoundTripsIntoAFreshInstance) {
  auto source = NewInstance();
  auto target = NewInstance();
  ASSERT_TRUE(source && target);
  const auto written = MakeState(kDistinct, 1);
  ASSERT_EQ(LoadState(source->Controller(), written), kResultOk);
  const auto saved = SaveState(source->Controller());
  EXPECT_EQ(saved, written);
  ASSERT_EQ(LoadState(target->Controller(), saved), kResultOk);
  EXPECT_EQ(SaveState(target->Controller()), saved);
  for (int i = 0; i < kPluginParams; ++i) {
    EXPECT_DOUBLE_EQ(target->Controller()->getParamNormalized(static_cast<ParamID>(i)),
                     source->Controller()->getParamNormalized(static_cast<ParamID>(i)))
        << i;
  }
  EXPECT_EQ(target->Controller()->getParamNormalized(kBypassId), 1.0);
  // A restore is the host's own doing: echoing it back as edits would write
  // automation the user never made.
  EXPECT_TRUE(target->Handler().Calls().empty());
}

struct ShortStateCase {
  size_t length;
  tresult result;
  int restoredParams;  // parameters 0 .. restoredParams-1 take the stream's values
  bool bypassRestored;
};

// Each length with both kinds of stream end: a short read that reports
// success with a short count (the SDK's streams) and one that reports failure.
class ShortStates : public ::testing::TestWithParam<std::tuple<ShortStateCase, bool>> {};

TEST_P(ShortStates, RestoreWhatTheyHoldAndReportTheRest) {
  const auto& [c, failShortReads] = GetParam();
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(LoadState(instance->Controller(), MakeState(kOther, 0)), kResultOk);
  auto bytes = MakeState(kDistinct, 1);
  bytes.resize(c.length);
  // A value cut short: its bytes differ from the old value's, so a restore
  // that spliced them onto it would show.
  for (size_t i = c.length / 8 * 8; i < c.length && c.length < 80; ++i) bytes[i] = 0xAB;
  EXPECT_EQ(LoadState(instance->Controller(), bytes, failShortReads), c.result);
  const auto after = SaveState(instance->Controller());
  const auto values = StateValues(after);
  for (int i = 0; i < kPluginParams; ++i) {
    const double expected = i < c.restoredParams ? kDistinct[static_cast<size_t>(i)] : kOther[static_cast<size_t>(i)];
    EXPECT_DOUBLE_EQ(values[static_cast<size_t>(i)], expected) << "parameter " << i;
  }
  EXPECT_EQ(StateBypass(after), c.bypassRestored ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Vst3Module, ShortStates,
                         ::testing::Combine(::testing::Values(ShortStateCase{84, kResultOk, 10, true},
                                                              ShortStateCase{80, kResultFalse, 10, false},
                                                              ShortStateCase{82, kResultFalse, 10, false},
                                                              ShortStateCase{40, kResultFalse, 5, false},
                                                              // Ends inside Output and inside Oversample:
                                                              // those keep their values whole.
                                                              ShortStateCase{11, kResultFalse, 1, false},
                                                              ShortStateCase{67, kResultFalse, 8, false},
                                                              ShortStateCase{3, kResultFalse, 0, false},
                                                              ShortStateCase{0, kResultFalse, 0, false}),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param).length) + "Bytes" +
                                  (std::get<1>(info.param) ? "FailingShortReads" : "ShortCountReads");
                         });

TEST(State, AStreamThatDeliversAFewBytesAtATimeRestoresEverything) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  const auto written = MakeState(kDistinct, 1);
  for (int32 limit : {1, 5, 13}) {
    ASSERT_EQ(LoadState(instance->Controller(), MakeState(kOther, 0)), kResultOk);
    IPtr<HostMemoryStream> stream = owned(new HostMemoryStream(written));
    stream->SetMaxReadBytes(limit);
    EXPECT_EQ(instance->Controller()->setState(stream), kResultOk) << limit << " bytes a read";
    EXPECT_EQ(SaveState(instance->Controller()), written) << limit << " bytes a read";
  }
}

TEST(State, AnyNonZeroBypassFieldRestoresAsBypassed) {
  const struct {
    std::int32_t field;
    bool bypassed;
  } cases[] = {{0, false}, {1, true}, {7, true}, {-1, true}};
  for (const auto& c : cases) {
    auto instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(LoadState(instance->Controller(), MakeState(DefaultValues(), c.field)), kResultOk);
    EXPECT_EQ(instance->Controller()->getParamNormalized(kBypassId), c.bypassed ? 1.0 : 0.0) << c.field;
  }
}

TEST(State, StoredValuesAreLimitedToTheirRangesAndNaNIsTheDefault) {
  const struct {
    int index;
    double stored;
    double restored;
  } cases[] = {
      {kThreshold, 10.0, 0.0},  {kThreshold, -1000.0, -50.0}, {kOutput, 31.0, 30.0},   {kMix, 1000.0, 100.0},
      {kMix, -1.0, 0.0},        {kAttack, 7.0, 5.0},          {kAttack, -3.0, 0.0},    {kSide, 0.0, 0.3},
      {kSide, 5.0, 0.99},       {kOversample, 2.0, 1.0},      {kThreshold, kInf, 0.0}, {kThreshold, -kInf, -50.0},
      {kAttack, 2.6, 2.6},  // not rounded to the step
      // A damaged value that is not a number restores as the default.
      {kThreshold, kNaN, 0.0},  {kOutput, kNaN, 0.0},         {kSide, kNaN, 0.3},      {kMix, kNaN, 100.0},
      {kPluginBypass, kNaN, 1.0},
  };
  for (const auto& c : cases) {
    auto instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    ASSERT_EQ(LoadState(instance->Controller(), MakeState(kOther, 0)), kResultOk);
    auto values = kOther;
    values[static_cast<size_t>(c.index)] = c.stored;
    ASSERT_EQ(LoadState(instance->Controller(), MakeState(values, 0)), kResultOk);
    EXPECT_DOUBLE_EQ(StateValues(SaveState(instance->Controller()))[static_cast<size_t>(c.index)], c.restored)
        << "parameter " << c.index << " stored as " << c.stored;
  }
}

TEST(State, RestoredValuesTakeEffectInTheNextBlock) {
  auto instance = StartedInstance(kSample64);
  ASSERT_NE(instance, nullptr);
  auto values = DefaultValues();
  values[kMix] = 0.0;
  values[kOutput] = 30.0;
  ASSERT_EQ(LoadState(instance->Controller(), MakeState(values, 0)), kResultOk);
  auto in = Sine<double>(2, 256, 500.0, 0.01);
  Buffers<double> out(2, 256);
  ASSERT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk);
  EXPECT_DOUBLE_EQ(out.data[0][100], in.data[0][100] * std::pow(10.0, 1.5));
}

TEST(State, PluginSwitchRestoredAsAFractionReadsAsOff) {
  // 0.7 for the plug-in's own switch is kept as stored and reads as 0: off.
  auto instance = StartedInstance(kSample64);
  ASSERT_NE(instance, nullptr);
  auto values = DefaultValues();
  values[kThreshold] = -40.0;
  values[kOutput] = 12.0;
  values[kPluginBypass] = 0.7;
  ASSERT_EQ(LoadState(instance->Controller(), MakeState(values, 0)), kResultOk);
  auto in = Sine<double>(2, 1024, 500.0, 0.5);
  Buffers<double> out(2, 1024);
  ASSERT_EQ(instance->Process(1024, in.Pointers(), nullptr, out.Pointers()), kResultOk);
  EXPECT_EQ(out.data, in.data);
}

TEST(State, GetStateIntoAFailingStreamReportsFailure) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  stream->SetFailWrites(true);
  EXPECT_NE(instance->Controller()->getState(stream), kResultOk) << "a lost state must not look saved";
}

TEST(State, SetStateFromAFailingStreamChangesNothing) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(LoadState(instance->Controller(), MakeState(kDistinct, 1)), kResultOk);
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream(MakeState(kOther, 0)));
  stream->SetFailReads(true);
  EXPECT_EQ(instance->Controller()->setState(stream), kResultFalse);
  EXPECT_EQ(SaveState(instance->Controller()), MakeState(kDistinct, 1));
}

TEST(State, NullStreamsAreRefused) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  EXPECT_NE(instance->Controller()->getState(nullptr), kResultOk);
  EXPECT_NE(instance->Controller()->setState(nullptr), kResultOk);
  EXPECT_EQ(SaveState(instance->Controller()), MakeState(DefaultValues(), 0));
}

TEST(State, AHugeStreamRestoresItsFirstBytes) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  auto bytes = MakeState(kDistinct, 1);
  bytes.resize(4u << 20, 0xFF);  // a project chunk far larger than ours
  EXPECT_EQ(LoadState(instance->Controller(), bytes), kResultOk);
  EXPECT_EQ(SaveState(instance->Controller()), MakeState(kDistinct, 1));
}

TEST(State, AllOnesRestoreAsDefaultsAndBypassed) {
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  // Every double is a NaN, the bypass field is -1.
  EXPECT_EQ(LoadState(instance->Controller(), std::vector<std::uint8_t>(kStateBytes, 0xFF)), kResultOk);
  EXPECT_EQ(SaveState(instance->Controller()), MakeState(DefaultValues(), 1));
}

TEST(State, RandomBytesNeverLeaveAValueOutOfRange) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 200);
  auto instance = StartedInstance(kSample32, 256);
  ASSERT_NE(instance, nullptr);
  auto in = Sine<float>(2, 256, 300.0, 0.8);
  Buffers<float> out(2, 256);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bytes(static_cast<size_t>(length(rng)));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    LoadState(instance->Controller(), bytes, round % 2 == 0);
    const auto values = StateValues(SaveState(instance->Controller()));
    for (int i = 0; i < kPluginParams; ++i) {
      const ExpectedParam& expected = PluginParam(i);
      ASSERT_GE(values[static_cast<size_t>(i)], expected.minimum) << "round " << round << ", parameter " << i;
      ASSERT_LE(values[static_cast<size_t>(i)], expected.maximum) << "round " << round << ", parameter " << i;
    }
    ASSERT_EQ(instance->Process(256, in.Pointers(), nullptr, out.Pointers()), kResultOk);
    ASSERT_TRUE(AllFinite(out)) << "round " << round;
  }
}

}  // namespace
}  // namespace kestro::test
