// Processing through the VST3 process call in both precisions: the signal,
// host bypass and the plug-in's own switch, parameter changes with their
// blocks, program changes, the sidechain bus, and blocks of 0 samples.
#include "ModuleTestSupport.h"

#include "tools/host/EventList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

template <typename Sample>
class Processing : public ::testing::Test {
 protected:
  static constexpr int32 kSize = SampleSizeOf<Sample>();

  std::unique_ptr<PluginInstance> Start(bool sidechain = false, int32 maxBlock = 512) {
    return StartedInstance(kSize, maxBlock, sidechain);
  }

  // Processes in in blocks of block samples; returns the output.
  static Buffers<Sample> Run(PluginInstance& instance, Buffers<Sample>& in, int block = 512,
                             Buffers<Sample>* side = nullptr) {
    Buffers<Sample> out(2, in.Frames());
    for (int at = 0; at < in.Frames(); at += block) {
      const int n = std::min(block, in.Frames() - at);
      Sample* inPointers[2] = {in.data[0].data() + at, in.data[1].data() + at};
      Sample* outPointers[2] = {out.data[0].data() + at, out.data[1].data() + at};
      Sample* sidePointers[2] = {};
      if (side != nullptr) {
        sidePointers[0] = side->data[0].data() + at;
        sidePointers[1] = side->data[1].data() + at;
      }
      EXPECT_EQ(instance.Process(n, inPointers, side != nullptr ? sidePointers : nullptr, outPointers), kResultOk);
    }
    return out;
  }

  static bool BitExact(const Buffers<Sample>& a, const Buffers<Sample>& b) {
    return a.data == b.data;
  }
};

using SampleTypes = ::testing::Types<float, double>;
class SampleTypeNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return sizeof(T) == sizeof(double) ? "64bit" : "32bit";
  }
};
TYPED_TEST_SUITE(Processing, SampleTypes, SampleTypeNames);

// A test signal with values a float cannot hold exactly in the 64-bit case,
// so that any trip through single precision shows.
template <typename Sample>
Buffers<Sample> Program(int frames) {
  auto buffers = Sine<Sample>(2, frames, 997.0, 0.5);
  for (int i = 0; i < frames; ++i) {
    buffers.data[1][static_cast<size_t>(i)] = static_cast<Sample>(0.3 * std::sin(0.0123 * i) + 1e-10 * (i % 7));
    buffers.data[0][static_cast<size_t>(i)] += static_cast<Sample>(1e-11 * (i % 5));
  }
  return buffers;
}

// Settings under which the compressor clearly works on Program().
void Compress(ParameterChanges& changes) {
  changes.Add(kThreshold, 0.4);  // -30 dB
  changes.Add(kRatio, 1.0);      // 10:1
  changes.Add(kOutput, 0.6);     // +6 dB
}

TYPED_TEST(Processing, DefaultsLeaveTheSignalNearlyUnchanged) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  auto in = Program<TypeParam>(8192);
  auto out = this->Run(*instance, in);
  double worst = 0.0;
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < 8192; ++i) {
      worst = std::max(worst, std::abs(static_cast<double>(out.data[c][i]) - static_cast<double>(in.data[c][i])));
    }
  }
  // Threshold 0 switches compression off; only the faint colour remains.
  EXPECT_LT(worst, 1e-3);
}

TYPED_TEST(Processing, CompressionLowersALoudSignal) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kThreshold, 0.4);  // -30 dB
  instance->Changes().Add(kRatio, 1.0);      // 10:1
  auto in = Sine<TypeParam>(2, 22050, 1000.0, 0.5);
  auto out = this->Run(*instance, in);
  ASSERT_TRUE(AllFinite(out));
  const double reduction = Db(Rms(out, 11025, 22050) / Rms(in, 11025, 22050));
  EXPECT_LT(reduction, -15.0) << "a -6 dBFS sine 24 dB over a 10:1 threshold";
  EXPECT_GT(reduction, -30.0);
}

TYPED_TEST(Processing, HostBypassPassesTheInputBitExact) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  Compress(instance->Changes());
  instance->Changes().Add(kBypassId, 1.0);
  auto in = Program<TypeParam>(4096);
  auto out = this->Run(*instance, in);
  EXPECT_TRUE(this->BitExact(in, out));
  EXPECT_EQ(instance->Controller()->getParamNormalized(kBypassId), 1.0);
}

TYPED_TEST(Processing, PluginSwitchOffPassesTheInputBitExact) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  Compress(instance->Changes());
  instance->Changes().Add(kPluginBypass, 0.0);
  auto in = Program<TypeParam>(4096);
  auto out = this->Run(*instance, in);
  EXPECT_TRUE(this->BitExact(in, out));
}

TYPED_TEST(Processing, BypassFollowsEachBlockAndSwitchesAboveOneHalf) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  Compress(instance->Changes());
  auto in = Program<TypeParam>(512);
  const double sequence[] = {0.9, 0.9, 0.5, 0.51, 0.2, 1.0, 0.0};
  for (double value : sequence) {
    instance->Changes().Add(kBypassId, value);
    auto out = this->Run(*instance, in);
    const bool bypassed = value > 0.5;
    EXPECT_EQ(this->BitExact(in, out), bypassed) << "bpas " << value;
    EXPECT_EQ(instance->Controller()->getParamNormalized(kBypassId), bypassed ? 1.0 : 0.0) << value;
    EXPECT_EQ(StateBypass(SaveState(instance->Controller())), bypassed ? 1 : 0) << value;
  }
}

TYPED_TEST(Processing, SixtyFourBitOutputIsTheInputTimesTheOutputGainAtMixZero) {
  // At mix 0 the output is the dry input times the output gain; in 64 bits
  // that product must be exact, which it cannot be after any float step.
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kMix, 0.0);
  instance->Changes().Add(kOutput, 1.0);  // +30 dB
  auto in = Program<TypeParam>(1024);
  auto out = this->Run(*instance, in);
  const double gain = std::pow(10.0, 30.0 / 20.0);
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < 1024; ++i) {
      const double expected = static_cast<double>(in.data[c][i]) * gain;
      if constexpr (sizeof(TypeParam) == sizeof(double)) {
        ASSERT_DOUBLE_EQ(out.data[c][i], expected) << "channel " << c << " sample " << i;
      } else {
        ASSERT_FLOAT_EQ(out.data[c][i], static_cast<float>(expected)) << "channel " << c << " sample " << i;
      }
    }
  }
}

TYPED_TEST(Processing, InPlaceProcessingGivesTheSameOutput) {
  // The plug-in reads each sample before it writes it, so a host may hand it
  // the same arrays for input and output.
  auto separate = this->Start();
  auto inPlace = this->Start();
  ASSERT_TRUE(separate && inPlace);
  Compress(separate->Changes());
  Compress(inPlace->Changes());
  auto in = Program<TypeParam>(4096);
  auto expected = this->Run(*separate, in);
  auto shared = Program<TypeParam>(4096);
  for (int at = 0; at < 4096; at += 512) {
    TypeParam* pointers[2] = {shared.data[0].data() + at, shared.data[1].data() + at};
    ASSERT_EQ(inPlace->Process(512, pointers, nullptr, pointers), kResultOk);
  }
  EXPECT_TRUE(this->BitExact(expected, shared));
}

TYPED_TEST(Processing, TheLastPointOfAQueueTakesEffectForTheWholeBlock) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kRelease, 0.2, 0);
  instance->Changes().Add(kRelease, 0.8, 100);
  instance->Changes().Add(kOutput, 0.3, 0);
  instance->Changes().Add(kOutput, 1.0, 300);
  instance->Changes().Add(kMix, 0.0, 0);
  auto in = Program<TypeParam>(512);
  auto out = this->Run(*instance, in);
  EXPECT_NEAR(instance->Controller()->getParamNormalized(kRelease), 0.8, 1e-12);
  // +30 dB from the first sample on, not from offset 300.
  EXPECT_NEAR(static_cast<double>(out.data[0][10]), static_cast<double>(in.data[0][10]) * std::pow(10.0, 1.5), 1e-5);
}

TYPED_TEST(Processing, ABlockOfZeroSamplesAppliesItsChanges) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  instance->Changes().Add(kThreshold, 0.3);
  instance->Changes().Add(kAttack, 0.8);
  instance->Changes().Add(kBypassId, 1.0);
  Buffers<TypeParam> in(2, 1);
  Buffers<TypeParam> out(2, 1);
  ASSERT_EQ(instance->Process(0, in.Pointers(), nullptr, out.Pointers()), kResultOk);
  EXPECT_NEAR(instance->Controller()->getParamNormalized(kThreshold), 0.3, 1e-12);
  EXPECT_NEAR(instance->Controller()->getParamNormalized(kAttack), 0.8, 1e-12);
  EXPECT_EQ(instance->Controller()->getParamNormalized(kBypassId), 1.0);
  const auto values = StateValues(SaveState(instance->Controller()));
  EXPECT_NEAR(values[kThreshold], -35.0, 1e-9);
  EXPECT_EQ(values[kAttack], 4.0);
}

TYPED_TEST(Processing, ChangesOfSteppedParametersRoundToTheStep) {
  const struct {
    ParamID id;
    double value;
    double plain;
  } cases[] = {{kRatio, 0.1, 1.0}, {kRatio, 0.09, 0.0}, {kAttack, 0.55, 3.0}, {kOversample, 0.5, 1.0},
               {kOversample, 0.49, 0.0}, {kThreshold, 0.123, -50.0 + 0.123 * 50.0}};
  for (const auto& c : cases) {
    auto instance = this->Start();
    ASSERT_NE(instance, nullptr);
    instance->Changes().Add(c.id, c.value);
    Buffers<TypeParam> in(2, 16), out(2, 16);
    ASSERT_EQ(instance->Process(16, in.Pointers(), nullptr, out.Pointers()), kResultOk);
    EXPECT_NEAR(StateValues(SaveState(instance->Controller()))[c.id], c.plain, 1e-9) << "id " << c.id << " " << c.value;
  }
}

TYPED_TEST(Processing, ProgramChangeZeroLoadsPresetZeroAndOneChangesNothing) {
  const struct {
    double value;
    bool loads;
  } cases[] = {{0.0, true}, {0.4, true}, {1.0, false}};
  for (const auto& c : cases) {
    auto instance = this->Start();
    ASSERT_NE(instance, nullptr);
    instance->Changes().Add(kThreshold, 0.3);
    instance->Changes().Add(kRatio, 0.6);
    Buffers<TypeParam> in(2, 16), out(2, 16);
    ASSERT_EQ(instance->Process(16, in.Pointers(), nullptr, out.Pointers()), kResultOk);
    const auto before = SaveState(instance->Controller());
    instance->Changes().Add(kPresetId, c.value);
    ASSERT_EQ(instance->Process(16, in.Pointers(), nullptr, out.Pointers()), kResultOk);
    const auto after = SaveState(instance->Controller());
    if (c.loads) {
      EXPECT_EQ(StateValues(after), DefaultValues()) << "prst " << c.value;
      EXPECT_DOUBLE_EQ(instance->Controller()->getParamNormalized(kThreshold), 1.0) << "prst " << c.value;
    } else {
      EXPECT_EQ(after, before) << "prst " << c.value;
    }
  }
}

TYPED_TEST(Processing, UnknownParameterIdsAreIgnored) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  const auto before = SaveState(instance->Controller());
  for (ParamID id : {ParamID{10}, ParamID{11}, ParamID{999}, ParamID{0x61626364}, ParamID{0xFFFFFFFF}}) {
    instance->Changes().Add(id, 0.77);
  }
  Buffers<TypeParam> in(2, 64), out(2, 64);
  ASSERT_EQ(instance->Process(64, in.Pointers(), nullptr, out.Pointers()), kResultOk);
  EXPECT_EQ(SaveState(instance->Controller()), before);
}

TYPED_TEST(Processing, ThePlugInKeepsNoReferenceToTheHostsBlockObjects) {
  auto instance = this->Start();
  ASSERT_NE(instance, nullptr);
  ParameterChanges changes;
  changes.Add(kThreshold, 0.5);
  changes.Add(kMix, 0.5);
  EventList events;
  Event note{};
  note.type = Event::kNoteOnEvent;
  note.noteOn.pitch = 60;
  note.noteOn.velocity = 1.0f;
  events.addEvent(note);
  RawCall<TypeParam> call(64);
  call.data.inputParameterChanges = &changes;
  call.data.inputEvents = &events;
  ASSERT_EQ(instance->Processor()->process(call.data), kResultOk);
  EXPECT_EQ(changes.RefCount(), 1u);
  EXPECT_EQ(changes.Queue(0)->RefCount(), 1u);
  EXPECT_EQ(changes.Queue(1)->RefCount(), 1u);
  EXPECT_EQ(events.RefCount(), 1u);
  EXPECT_NEAR(instance->Controller()->getParamNormalized(kMix), 0.5, 1e-12);
}

// Sidechain: detector on the sidechain input (parameter 9 at 0), a quiet main
// signal and a loud sidechain.
template <typename Sample>
struct SidechainScene {
  static constexpr int kFrames = 22050;  // 0.5 s
  Buffers<Sample> main = Sine<Sample>(2, kFrames, 440.0, 0.1);
  Buffers<Sample> side = Sine<Sample>(2, kFrames, 1000.0, 0.9);
};

void DetectFromSidechain(ParameterChanges& changes) {
  changes.Add(kSidechainSource, 0.0);
  changes.Add(kThreshold, 0.2);  // -40 dB
  changes.Add(kRatio, 1.0);      // 10:1
}

TYPED_TEST(Processing, AnActiveSidechainDrivesTheCompressor) {
  auto instance = this->Start(true);
  ASSERT_NE(instance, nullptr);
  DetectFromSidechain(instance->Changes());
  SidechainScene<TypeParam> scene;
  auto out = this->Run(*instance, scene.main, 512, &scene.side);
  const int half = scene.kFrames / 2;
  EXPECT_LT(Db(Rms(out, half, scene.kFrames) / Rms(scene.main, half, scene.kFrames)), -20.0);
}

TYPED_TEST(Processing, AnInactiveSidechainReadsAsSilenceWhateverTheHostPasses) {
  auto instance = this->Start(false);
  ASSERT_NE(instance, nullptr);
  DetectFromSidechain(instance->Changes());
  SidechainScene<TypeParam> scene;
  // A host may still pass arrays for an inactive bus; they must be ignored.
  auto out = this->Run(*instance, scene.main, 512, &scene.side);
  EXPECT_NEAR(Db(Rms(out, 0, scene.kFrames) / Rms(scene.main, 0, scene.kFrames)), 0.0, 0.1);
}

TYPED_TEST(Processing, DeactivatingTheSidechainStopsItsCompression) {
  auto instance = this->Start(true);
  ASSERT_NE(instance, nullptr);
  DetectFromSidechain(instance->Changes());
  SidechainScene<TypeParam> scene;
  auto compressed = this->Run(*instance, scene.main, 512, &scene.side);
  const int n = scene.kFrames;
  ASSERT_LT(Db(Rms(compressed, n / 2, n) / Rms(scene.main, n / 2, n)), -20.0);

  // The host deactivates the bus (while inactive, as the rules say) and
  // restarts; stale sidechain samples must not keep the compressor down.
  PluginInstance::Setup setup = instance->CurrentSetup();
  setup.sidechainActive = false;
  std::string error;
  ASSERT_TRUE(instance->Start(setup, error)) << error;
  Buffers<TypeParam> released(2, 0);
  for (int round = 0; round < 4; ++round) {  // 2 s: far longer than the release
    released = this->Run(*instance, scene.main, 512, &scene.side);
  }
  EXPECT_NEAR(Db(Rms(released, 0, n) / Rms(scene.main, 0, n)), 0.0, 0.1);
}

TEST(Precision, ThirtyTwoAndSixtyFourBitsAgree) {
  // The same signal path behind both bridges: the results differ only by
  // the float conversions at the boundary.
  auto single = StartedInstance(kSample32);
  auto twice = StartedInstance(kSample64);
  ASSERT_TRUE(single && twice);
  Compress(single->Changes());
  Compress(twice->Changes());
  auto in32 = Program<float>(8192);
  Buffers<double> in64(2, 8192);
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < 8192; ++i) in64.data[c][i] = in32.data[c][i];
  }
  Buffers<float> out32(2, 8192);
  Buffers<double> out64(2, 8192);
  ASSERT_EQ(single->Process(8192, in32.Pointers(), nullptr, out32.Pointers()), kResultOk);
  ASSERT_EQ(twice->Process(8192, in64.Pointers(), nullptr, out64.Pointers()), kResultOk);
  double worst = 0.0;
  for (int c = 0; c < 2; ++c) {
    for (size_t i = 0; i < 8192; ++i) {
      worst = std::max(worst, std::abs(static_cast<double>(out32.data[c][i]) - out64.data[c][i]));
    }
  }
  EXPECT_LT(worst, 1e-6);
}

}  // namespace
}  // namespace kestro::test
