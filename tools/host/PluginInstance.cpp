#include "tools/host/PluginInstance.h"

#include "pluginterfaces/base/funknown.h"

#include <algorithm>
#include <cstring>

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string Describe(SpeakerArrangement arrangement) {
  const int32 channels = SpeakerArr::getChannelCount(arrangement);
  switch (channels) {
    case 0:
      return "no channels";
    case 1:
      return "mono";
    case 2:
      return "stereo";
    default:
      return std::to_string(channels) + " channels";
  }
}

// Points a bus at the given channel arrays, in the sample size's member.
void SetChannels(AudioBusBuffers& bus, std::vector<float*>& channels) {
  bus.numChannels = static_cast<int32>(channels.size());
  bus.silenceFlags = 0;
  bus.channelBuffers32 = channels.data();
}

void SetChannels(AudioBusBuffers& bus, std::vector<double*>& channels) {
  bus.numChannels = static_cast<int32>(channels.size());
  bus.silenceFlags = 0;
  bus.channelBuffers64 = channels.data();
}

}  // namespace

std::unique_ptr<PluginInstance> PluginInstance::Create(IPluginFactory* factory, const TUID classId,
                                                       std::string& error) {
  if (factory == nullptr) {
    error = "the module has no factory";
    return nullptr;
  }
  FUnknown* object = nullptr;
  if (factory->createInstance(classId, IComponent::iid, reinterpret_cast<void**>(&object)) != kResultOk ||
      object == nullptr) {
    error = "the factory cannot create the class as an audio component";
    return nullptr;
  }
  std::unique_ptr<PluginInstance> instance(new PluginInstance);
  instance->classId_ = Steinberg::FUID::fromTUID(classId);
  for (int32 i = 0; i < factory->countClasses(); ++i) {
    PClassInfo info{};
    if (factory->getClassInfo(i, &info) == kResultOk && Steinberg::FUID::fromTUID(info.cid) == instance->classId_) {
      instance->className_.assign(info.name, strnlen(info.name, PClassInfo::kNameSize));
    }
  }
  if (!instance->Initialize(factory, object, error)) {
    return nullptr;
  }
  return instance;
}

std::unique_ptr<PluginInstance> PluginInstance::CreateFirstEffect(IPluginFactory* factory, std::string& error) {
  if (factory == nullptr) {
    error = "the module has no factory";
    return nullptr;
  }
  const int32 count = factory->countClasses();
  for (int32 i = 0; i < count; ++i) {
    PClassInfo info{};
    if (factory->getClassInfo(i, &info) == kResultOk &&
        std::strncmp(info.category, kVstAudioEffectClass, PClassInfo::kCategorySize) == 0) {
      return Create(factory, info.cid, error);
    }
  }
  error = "the module has no audio effect class";
  return nullptr;
}

bool PluginInstance::Initialize(IPluginFactory* factory, FUnknown* object, std::string& error) {
  // createInstance handed over one reference.
  component_ = owned(static_cast<IComponent*>(object));
  handler_ = owned(new RecordingComponentHandler);
  if (component_->initialize(&host_) != kResultOk) {
    error = "the component refuses to initialise";
    return false;
  }
  initialized_ = true;
  processor_ = FUnknownPtr<IAudioProcessor>(component_);
  if (!processor_) {
    error = "the component is not an audio processor";
    return false;
  }
  controller_ = FUnknownPtr<IEditController>(component_);
  if (!controller_) {
    // A plug-in with a separate controller class names it.
    TUID controllerId{};
    FUnknown* controllerObject = nullptr;
    if (component_->getControllerClassId(controllerId) == kResultOk &&
        factory->createInstance(controllerId, IEditController::iid, reinterpret_cast<void**>(&controllerObject)) ==
            kResultOk &&
        controllerObject != nullptr) {
      controller_ = owned(static_cast<IEditController*>(controllerObject));
      if (controller_->initialize(&host_) != kResultOk) {
        controller_ = nullptr;
      } else {
        separateController_ = true;
      }
    }
  }
  if (controller_) {
    controller_->setComponentHandler(handler_);
  }
  return true;
}

PluginInstance::~PluginInstance() {
  Stop();
  if (controller_) {
    controller_->setComponentHandler(nullptr);
    if (separateController_) {
      controller_->terminate();
    }
  }
  controller_ = nullptr;
  processor_ = nullptr;
  if (component_ && initialized_) {
    component_->terminate();
  }
  component_ = nullptr;
}

bool PluginInstance::Start(const Setup& setup, std::string& error) {
  Stop();
  setup_ = setup;
  inputBuses_ = component_->getBusCount(kAudio, kInput);
  outputBuses_ = component_->getBusCount(kAudio, kOutput);
  if (outputBuses_ < 1) {
    error = "the plug-in has no audio output";
    return false;
  }

  // One arrangement per bus: ours for the main buses and the sidechain, the
  // plug-in's own for any further bus.
  std::vector<SpeakerArrangement> inputs(static_cast<size_t>(inputBuses_));
  std::vector<SpeakerArrangement> outputs(static_cast<size_t>(outputBuses_));
  for (int32 b = 0; b < inputBuses_; ++b) {
    SpeakerArrangement current = SpeakerArr::kEmpty;
    processor_->getBusArrangement(kInput, b, current);
    inputs[static_cast<size_t>(b)] = b == 0 ? setup.main : b == 1 ? setup.sidechain : current;
  }
  for (int32 b = 0; b < outputBuses_; ++b) {
    SpeakerArrangement current = SpeakerArr::kEmpty;
    processor_->getBusArrangement(kOutput, b, current);
    outputs[static_cast<size_t>(b)] = b == 0 ? setup.output : current;
  }
  if (processor_->setBusArrangements(inputs.data(), inputBuses_, outputs.data(), outputBuses_) != kResultOk) {
    error = "the plug-in refuses " + Describe(setup.main) + " input and " + Describe(setup.output) + " output";
    if (inputBuses_ > 1 && setup.sidechainActive) {
      error += " with a " + Describe(setup.sidechain) + " sidechain";
    }
    return false;
  }
  // The plug-in may have answered with buses of its own; take what it has now.
  inputBusChannels_.assign(static_cast<size_t>(inputBuses_), 0);
  outputBusChannels_.assign(static_cast<size_t>(outputBuses_), 0);
  for (int32 b = 0; b < inputBuses_; ++b) {
    SpeakerArrangement arrangement = SpeakerArr::kEmpty;
    processor_->getBusArrangement(kInput, b, arrangement);
    inputBusChannels_[static_cast<size_t>(b)] = SpeakerArr::getChannelCount(arrangement);
    component_->activateBus(kAudio, kInput, b, b == 0 || (b == 1 && setup.sidechainActive));
  }
  for (int32 b = 0; b < outputBuses_; ++b) {
    SpeakerArrangement arrangement = SpeakerArr::kEmpty;
    processor_->getBusArrangement(kOutput, b, arrangement);
    outputBusChannels_[static_cast<size_t>(b)] = SpeakerArr::getChannelCount(arrangement);
    component_->activateBus(kAudio, kOutput, b, b == 0);
  }
  mainChannels_ = inputBuses_ > 0 ? inputBusChannels_[0] : 0;
  sidechainChannels_ = inputBuses_ > 1 ? inputBusChannels_[1] : 0;
  outputChannels_ = outputBusChannels_[0];

  ProcessSetup processSetup{setup.processMode, setup.sampleSize, setup.maxBlock, setup.sampleRate};
  if (setup.maxBlock < 1 || processor_->setupProcessing(processSetup) != kResultOk) {
    error = "the plug-in refuses the processing setup (" + std::to_string(setup.sampleRate) + " Hz, " +
            (setup.sampleSize == kSample64 ? "64" : "32") + " bit, blocks of " + std::to_string(setup.maxBlock) + ")";
    return false;
  }
  if (component_->setActive(true) != kResultOk) {
    error = "the plug-in refuses to become active";
    return false;
  }
  active_ = true;
  const tresult processing = processor_->setProcessing(true);
  if (processing != kResultOk && processing != kNotImplemented) {
    error = "the plug-in refuses to start processing";
    Stop();
    return false;
  }
  processing_ = true;

  // Scratch for every channel the caller does not supply: input buses after
  // the main one and output buses after the first.
  size_t scratchChannels = 0;
  for (int32 b = 1; b < inputBuses_; ++b) {
    scratchChannels += static_cast<size_t>(inputBusChannels_[static_cast<size_t>(b)]);
  }
  for (int32 b = 1; b < outputBuses_; ++b) {
    scratchChannels += static_cast<size_t>(outputBusChannels_[static_cast<size_t>(b)]);
  }
  scratch32_.assign(setup.sampleSize == kSample32 ? scratchChannels : 0,
                    std::vector<float>(static_cast<size_t>(setup.maxBlock)));
  scratch64_.assign(setup.sampleSize == kSample64 ? scratchChannels : 0,
                    std::vector<double>(static_cast<size_t>(setup.maxBlock)));

  context_ = ProcessContext{};
  context_.sampleRate = setup.sampleRate;
  context_.tempo = 120.0;
  context_.timeSigNumerator = 4;
  context_.timeSigDenominator = 4;
  context_.state = ProcessContext::kPlaying | ProcessContext::kTempoValid | ProcessContext::kTimeSigValid;
  return true;
}

void PluginInstance::Stop() {
  if (processing_) {
    processor_->setProcessing(false);
    processing_ = false;
  }
  if (active_) {
    component_->setActive(false);
    active_ = false;
  }
}

template <>
std::vector<std::vector<float>>& PluginInstance::Scratch<float>() {
  return scratch32_;
}

template <>
std::vector<std::vector<double>>& PluginInstance::Scratch<double>() {
  return scratch64_;
}

template <typename Sample>
tresult PluginInstance::ProcessImpl(int32 frames, Sample* const* main, Sample* const* sidechain,
                                    Sample* const* out) {
  constexpr int32 kSize = sizeof(Sample) == sizeof(double) ? kSample64 : kSample32;
  if (!active_ || setup_.sampleSize != kSize || frames < 0 || main == nullptr || out == nullptr) {
    return kInvalidArgument;
  }
  auto& scratch = Scratch<Sample>();
  std::vector<AudioBusBuffers> inputBuffers(static_cast<size_t>(inputBuses_));
  std::vector<AudioBusBuffers> outputBuffers(static_cast<size_t>(outputBuses_));
  // Pointer arrays, one per bus, rebuilt for every piece.
  std::vector<std::vector<Sample*>> inputPointers(static_cast<size_t>(inputBuses_));
  std::vector<std::vector<Sample*>> outputPointers(static_cast<size_t>(outputBuses_));

  tresult result = kResultOk;
  int32 done = 0;
  do {
    const int32 n = std::min(frames - done, setup_.maxBlock);
    size_t next = 0;  // next scratch channel
    for (int32 b = 0; b < inputBuses_; ++b) {
      const auto channels = static_cast<size_t>(inputBusChannels_[static_cast<size_t>(b)]);
      auto& pointers = inputPointers[static_cast<size_t>(b)];
      pointers.resize(channels);
      for (size_t c = 0; c < channels; ++c) {
        if (b == 0) {
          pointers[c] = main[c] + done;
        } else if (b == 1 && sidechain != nullptr) {
          pointers[c] = sidechain[c] + done;
        } else {
          std::fill(scratch[next].begin(), scratch[next].end(), Sample(0));
          pointers[c] = scratch[next].data();
        }
        if (b != 0) {
          ++next;
        }
      }
      SetChannels(inputBuffers[static_cast<size_t>(b)], pointers);
    }
    for (int32 b = 0; b < outputBuses_; ++b) {
      const auto channels = static_cast<size_t>(outputBusChannels_[static_cast<size_t>(b)]);
      auto& pointers = outputPointers[static_cast<size_t>(b)];
      pointers.resize(channels);
      for (size_t c = 0; c < channels; ++c) {
        pointers[c] = b == 0 ? out[c] + done : scratch[next++].data();
      }
      SetChannels(outputBuffers[static_cast<size_t>(b)], pointers);
    }

    ProcessData data;
    data.processMode = setup_.processMode;
    data.symbolicSampleSize = kSize;
    data.numSamples = n;
    data.numInputs = inputBuses_;
    data.numOutputs = outputBuses_;
    data.inputs = inputBuses_ > 0 ? inputBuffers.data() : nullptr;
    data.outputs = outputBuffers.data();
    data.inputParameterChanges = done == 0 ? &changes_ : nullptr;
    data.processContext = &context_;
    const tresult r = processor_->process(data);
    if (r != kResultOk && result == kResultOk) {
      result = r;
    }
    context_.projectTimeSamples += n;
    context_.continousTimeSamples += n;
    done += n;
  } while (done < frames);
  changes_.Clear();
  return result;
}

tresult PluginInstance::Process(int32 frames, float* const* main, float* const* sidechain, float* const* out) {
  return ProcessImpl<float>(frames, main, sidechain, out);
}

tresult PluginInstance::Process(int32 frames, double* const* main, double* const* sidechain, double* const* out) {
  return ProcessImpl<double>(frames, main, sidechain, out);
}

}  // namespace kestro
