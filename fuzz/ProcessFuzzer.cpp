// Processing through the built module as hosts of every quality drive it:
// bus proposals (accepted and refused), bus activation, processing setups,
// activation and processing switches, then blocks of any length in either
// precision, with missing and null buffers, bus buffers that disagree with
// the arrangement, and parameter queues with points at any offset and any
// value (NaN, out of range, the bypass, the preset, unknown ids, the
// oversampling factor). Every buffer is allocated at exactly the size the
// block claims, so AddressSanitizer sees any access outside it; the output
// of an accepted block must be finite.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/ModuleUnderFuzz.h"
#include "tools/host/ParameterChanges.h"

namespace kestro::fuzz {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr ParamID kBypassId = 0x62706173;  // 'bpas'
constexpr ParamID kPresetId = 0x70727374;  // 'prst'

// What a host proposes for one bus; the last entry takes eight raw bytes.
SpeakerArrangement Arrangement(FuzzInput& in) {
  constexpr SpeakerArrangement kArrangements[] = {SpeakerArr::kEmpty, SpeakerArr::kMono, SpeakerArr::kStereo,
                                                   SpeakerArr::k30Cine, SpeakerArr::k40Music, SpeakerArr::k51,
                                                   SpeakerArr::k71CineFullFront};
  const int pick = in.Pick(0, 7);
  return pick < 7 ? kArrangements[pick] : static_cast<SpeakerArrangement>(in.Qword());
}

double HostValue(FuzzInput& in) {
  constexpr double kValues[] = {0.0, 1.0, 0.5, 0.25, 0.75, -1.0, 2.0, INFINITY, -INFINITY, NAN};
  const int pick = in.Pick(0, 11);
  if (pick < 10) return kValues[pick];
  return pick == 10 ? in.Byte() / 255.0 : in.Double();
}

// One instance and the setup the host last had accepted.
class Session {
 public:
  explicit Session(FuzzInput& in) : in_(in), instance_(NewInstance()) {
    component_ = instance_->Component();
    processor_ = instance_->Processor();
  }
  ~Session() {
    // Hosts switch off before they let go; the instance's own teardown
    // follows.
    processor_->setProcessing(false);
    component_->setActive(false);
  }

  void Step() {
    switch (in_.Pick(0, 9)) {
      case 0:
        ProposeBuses();
        break;
      case 1:
        component_->activateBus(in_.Bool() ? kAudio : kEvent, in_.Bool() ? kInput : kOutput, in_.Pick(-1, 2),
                                in_.Bool());
        break;
      case 2:
        Setup();
        break;
      case 3:
        component_->setActive(in_.Bool());
        break;
      case 4:
        processor_->setProcessing(in_.Bool());
        break;
      default:
        Process();
        break;
    }
  }

 private:
  void ProposeBuses() {
    std::vector<SpeakerArrangement> ins(static_cast<size_t>(in_.Pick(0, 3)));
    std::vector<SpeakerArrangement> outs(static_cast<size_t>(in_.Pick(0, 2)));
    for (auto& a : ins) a = Arrangement(in_);
    for (auto& a : outs) a = Arrangement(in_);
    processor_->setBusArrangements(ins.empty() ? nullptr : ins.data(), static_cast<int32>(ins.size()),
                                   outs.empty() ? nullptr : outs.data(), static_cast<int32>(outs.size()));
  }

  void Setup() {
    constexpr int32 kBlocks[] = {-1, 0, 1, 7, 64, 256, 512, 1024};
    constexpr double kRates[] = {44100.0, 48000.0, 96000.0, 192000.0, 22050.0, 8000.0, 384000.0, 0.0, -48000.0, NAN};
    ProcessSetup setup{};
    setup.processMode = in_.Pick(0, 2);
    const int size = in_.Pick(0, 2);
    setup.symbolicSampleSize = size == 0 ? kSample32 : size == 1 ? kSample64 : 7;
    setup.maxSamplesPerBlock = kBlocks[in_.Pick(0, 7)];
    setup.sampleRate = kRates[in_.Pick(0, 9)];
    if (processor_->setupProcessing(setup) == kResultOk) sampleSize_ = setup.symbolicSampleSize;
  }

  // One bus of buffers: channel count, pointer array and channels as the
  // script says, each channel exactly frames long.
  struct BusBuffers {
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<double>> doubles;
    std::vector<float*> floatPointers;
    std::vector<double*> doublePointers;
  };

  void MakeBus(AudioBusBuffers& bus, BusBuffers& store, bool doubles, int32 frames, bool input) {
    const int channels = in_.Pick(0, 4);
    const uint8_t nullMask = in_.Byte();  // bit 7: no pointer array at all
    bus.numChannels = channels;
    bus.silenceFlags = in_.Bool() ? ~uint64_t{0} : 0;
    store.floats.assign(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
    store.doubles.assign(static_cast<size_t>(channels), std::vector<double>(static_cast<size_t>(frames)));
    store.floatPointers.assign(static_cast<size_t>(channels), nullptr);
    store.doublePointers.assign(static_cast<size_t>(channels), nullptr);
    for (int c = 0; c < channels; ++c) {
      if ((nullMask >> c) & 1) continue;
      if (input) {
        for (int32 s = 0; s < frames; ++s) {
          const double x = amplitude_ * noise_(random_);
          store.floats[static_cast<size_t>(c)][static_cast<size_t>(s)] = static_cast<float>(x);
          store.doubles[static_cast<size_t>(c)][static_cast<size_t>(s)] = x;
        }
      }
      store.floatPointers[static_cast<size_t>(c)] = store.floats[static_cast<size_t>(c)].data();
      store.doublePointers[static_cast<size_t>(c)] = store.doubles[static_cast<size_t>(c)].data();
    }
    const bool noArray = (nullMask & 0x80) != 0 || channels == 0;
    if (doubles) {
      bus.channelBuffers64 = noArray ? nullptr : store.doublePointers.data();
    } else {
      bus.channelBuffers32 = noArray ? nullptr : store.floatPointers.data();
    }
  }

  void Process() {
    const uint8_t flags = in_.Byte();
    // Mostly the precision of the setup, sometimes the other one.
    const bool mismatch = (flags & 1) != 0 && (flags & 2) != 0;
    const bool doubles = (sampleSize_ == kSample64) != mismatch;
    const int32 frames = (flags & 4) != 0 ? in_.Word() % 5000 : in_.Word() % 1025;
    constexpr double kAmplitudes[] = {0.0, 1e-30, 1e-6, 0.1, 0.5, 1.0, 4.0, 1000.0};
    amplitude_ = kAmplitudes[in_.Pick(0, 7)];
    random_.seed(in_.Dword());

    const int numInputs = in_.Pick(0, 3);
    const int numOutputs = in_.Pick(0, 2);
    std::vector<AudioBusBuffers> inputs(static_cast<size_t>(numInputs));
    std::vector<AudioBusBuffers> outputs(static_cast<size_t>(numOutputs));
    std::vector<BusBuffers> inputStore(inputs.size()), outputStore(outputs.size());
    for (size_t b = 0; b < inputs.size(); ++b) MakeBus(inputs[b], inputStore[b], doubles, frames, true);
    for (size_t b = 0; b < outputs.size(); ++b) MakeBus(outputs[b], outputStore[b], doubles, frames, false);

    ParameterChanges changes;
    const int points = (flags & 8) != 0 ? in_.Pick(1, 8) : 0;
    constexpr ParamID kIds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, kBypassId, kPresetId, 0x7FFFFFFF};
    for (int p = 0; p < points; ++p) {
      const ParamID id = kIds[in_.Pick(0, 13)];
      const double value = HostValue(in_);
      const auto offset = static_cast<int32>(static_cast<int16_t>(in_.Word()));
      changes.Add(id, value, offset);
    }
    ProcessContext context{};
    if ((flags & 16) != 0) {
      context.state = in_.Dword();
      context.sampleRate = HostValue(in_);
      context.tempo = HostValue(in_);
      context.projectTimeSamples = static_cast<int64>(in_.Qword());
    }

    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = doubles ? kSample64 : kSample32;
    data.numSamples = (flags & 32) != 0 && (flags & 64) != 0 ? -frames : frames;
    data.numInputs = numInputs;
    data.numOutputs = numOutputs;
    data.inputs = (flags & 128) != 0 && (flags & 64) != 0 ? nullptr : inputs.data();
    data.outputs = outputs.data();
    data.inputParameterChanges = points > 0 ? &changes : nullptr;
    data.processContext = (flags & 16) != 0 ? &context : nullptr;
    if (processor_->process(data) != kResultOk) return;

    for (const BusBuffers& bus : outputStore) {
      for (size_t c = 0; c < bus.floats.size(); ++c) {
        if (doubles ? bus.doublePointers[c] == nullptr : bus.floatPointers[c] == nullptr) continue;
        for (size_t s = 0; s < static_cast<size_t>(frames); ++s) {
          Require(std::isfinite(doubles ? bus.doubles[c][s] : bus.floats[c][s]), "output samples are finite");
        }
      }
    }
  }

  FuzzInput& in_;
  std::unique_ptr<PluginInstance> instance_;
  IComponent* component_ = nullptr;
  IAudioProcessor* processor_ = nullptr;
  int32 sampleSize_ = kSample32;
  double amplitude_ = 0.0;
  std::minstd_rand random_;
  std::uniform_real_distribution<double> noise_{-1.0, 1.0};
};

}  // namespace
}  // namespace kestro::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kestro::fuzz::FuzzInput in(data, size);
  kestro::fuzz::Session session(in);
  for (int step = 0; step < 24 && !in.Empty(); ++step) session.Step();
  return 0;
}
