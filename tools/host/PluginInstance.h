#pragma once

#include "tools/host/HostContext.h"
#include "tools/host/ParameterChanges.h"
#include "tools/host/RecordingComponentHandler.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstprocesscontext.h"
#include "pluginterfaces/vst/vstspeaker.h"

#include <memory>
#include <string>
#include <vector>

namespace kestro {

// One plug-in instance driven the way a host drives it: created from the
// factory and initialised with a host context (an IHostApplication), then started (bus
// arrangements, bus activation, processing setup, activation, processing on),
// fed blocks, and stopped and terminated in the reverse order.
class PluginInstance {
 public:
  struct Setup {
    Steinberg::int32 sampleSize = Steinberg::Vst::kSample32;
    double sampleRate = 44100.0;
    Steinberg::int32 maxBlock = 1024;
    Steinberg::int32 processMode = Steinberg::Vst::kRealtime;
    Steinberg::Vst::SpeakerArrangement main = Steinberg::Vst::SpeakerArr::kStereo;
    Steinberg::Vst::SpeakerArrangement output = Steinberg::Vst::SpeakerArr::kStereo;
    // The second audio input bus, when the plug-in has one: the arrangement
    // proposed for it, and whether it is activated.
    Steinberg::Vst::SpeakerArrangement sidechain = Steinberg::Vst::SpeakerArr::kStereo;
    bool sidechainActive = false;
  };

  // Creates and initialises the class classId. Null on failure, with the
  // reason in error.
  static std::unique_ptr<PluginInstance> Create(Steinberg::IPluginFactory* factory, const Steinberg::TUID classId,
                                                std::string& error);
  // The same for the factory's first audio effect class.
  static std::unique_ptr<PluginInstance> CreateFirstEffect(Steinberg::IPluginFactory* factory, std::string& error);

  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  // The class the factory made this instance of.
  const Steinberg::FUID& ClassId() const { return classId_; }
  // Its name as the factory lists it.
  const std::string& ClassName() const { return className_; }
  Steinberg::Vst::IComponent* Component() const { return component_; }
  Steinberg::Vst::IAudioProcessor* Processor() const { return processor_; }
  Steinberg::Vst::IEditController* Controller() const { return controller_; }
  RecordingComponentHandler& Handler() const { return *handler_; }

  // Brings the instance to processing. Stops it first when it runs. False on
  // failure, with the reason in error; the instance is then stopped.
  bool Start(const Setup& setup, std::string& error);
  // Processing off, then inactive; nothing when not started.
  void Stop();
  bool Running() const { return active_; }
  const Setup& CurrentSetup() const { return setup_; }
  // Channel counts of the started buses.
  Steinberg::int32 MainChannels() const { return mainChannels_; }
  Steinberg::int32 SidechainChannels() const { return sidechainChannels_; }
  Steinberg::int32 OutputChannels() const { return outputChannels_; }

  // Changes sent with the next block, then cleared.
  ParameterChanges& Changes() { return changes_; }

  // Processes frames samples: main and out hold the started channel counts
  // (both required); sidechain may be null, which gives the second input bus
  // silence. Blocks
  // longer than the started maximum go in pieces, the changes with the
  // first. The precision must be the started one (kInvalidArgument if not).
  Steinberg::tresult Process(Steinberg::int32 frames, float* const* main, float* const* sidechain, float* const* out);
  Steinberg::tresult Process(Steinberg::int32 frames, double* const* main, double* const* sidechain,
                             double* const* out);

 private:
  PluginInstance() = default;

  bool Initialize(Steinberg::IPluginFactory* factory, Steinberg::FUnknown* object, std::string& error);
  template <typename Sample>
  Steinberg::tresult ProcessImpl(Steinberg::int32 frames, Sample* const* main, Sample* const* sidechain,
                                 Sample* const* out);
  template <typename Sample>
  std::vector<std::vector<Sample>>& Scratch();

  // Declared first so that it outlives the plug-in's reference to it.
  HostContext host_;
  Steinberg::FUID classId_;
  std::string className_;
  Steinberg::IPtr<RecordingComponentHandler> handler_;
  Steinberg::IPtr<Steinberg::Vst::IComponent> component_;
  Steinberg::IPtr<Steinberg::Vst::IAudioProcessor> processor_;
  Steinberg::IPtr<Steinberg::Vst::IEditController> controller_;
  bool separateController_ = false;
  bool initialized_ = false;
  bool active_ = false;
  bool processing_ = false;

  Setup setup_;
  Steinberg::int32 inputBuses_ = 0;
  Steinberg::int32 outputBuses_ = 0;
  Steinberg::int32 mainChannels_ = 0;
  Steinberg::int32 sidechainChannels_ = 0;
  Steinberg::int32 outputChannels_ = 0;
  std::vector<Steinberg::int32> inputBusChannels_;
  std::vector<Steinberg::int32> outputBusChannels_;
  // Silence for input buses the caller does not feed, and somewhere to put
  // the output of buses it does not read; one array per channel.
  std::vector<std::vector<float>> scratch32_;
  std::vector<std::vector<double>> scratch64_;

  ParameterChanges changes_;
  Steinberg::Vst::ProcessContext context_{};
};

}  // namespace kestro
