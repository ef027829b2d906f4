//------------------------------------------------------------------------
// Stand-in for the VST3 SDK's public.sdk/source/vst/vstsinglecomponenteffect.cpp
// (see the header).
//------------------------------------------------------------------------

#include "public.sdk/source/vst/vstsinglecomponenteffect.h"

namespace Steinberg {
namespace Vst {

//------------------------------------------------------------------------
// SingleComponentEffect Implementation
//------------------------------------------------------------------------
SingleComponentEffect::SingleComponentEffect ()
: audioInputs (kAudio, kInput)
, audioOutputs (kAudio, kOutput)
, eventInputs (kEvent, kInput)
, eventOutputs (kEvent, kOutput)
{
	// What a host would most likely ask for first; it sends its own setup
	// through setupProcessing before processing starts.
	processSetup.processMode = kRealtime;
	processSetup.symbolicSampleSize = kSample32;
	processSetup.maxSamplesPerBlock = 1024;
	processSetup.sampleRate = 44100.0;
}

//------------------------------------------------------------------------
SingleComponentEffect::~SingleComponentEffect ()
{
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::initialize (FUnknown* context)
{
	// Stores the host context; refuses a second initialize without terminate.
	return EditControllerEx1::initialize (context);
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::terminate ()
{
	// Buses are made by initialize, so terminate takes them away again; the
	// controller part drops parameters, units and the host's interfaces.
	removeAllBusses ();
	return EditControllerEx1::terminate ();
}

//------------------------------------------------------------------------
BusList* SingleComponentEffect::getBusList (MediaType type, BusDirection dir)
{
	if (dir != kInput && dir != kOutput)
		return nullptr;
	if (type == kAudio)
		return dir == kInput ? &audioInputs : &audioOutputs;
	if (type == kEvent)
		return dir == kInput ? &eventInputs : &eventOutputs;
	return nullptr;
}

//------------------------------------------------------------------------
AudioBus* SingleComponentEffect::addAudioInput (const TChar* name, SpeakerArrangement arr,
                                                BusType busType, int32 flags)
{
	auto* newBus = new AudioBus (name, busType, flags, arr);
	audioInputs.push_back (IPtr<Vst::Bus> (newBus, false));
	return newBus;
}

//------------------------------------------------------------------------
AudioBus* SingleComponentEffect::addAudioOutput (const TChar* name, SpeakerArrangement arr,
                                                 BusType busType, int32 flags)
{
	auto* newBus = new AudioBus (name, busType, flags, arr);
	audioOutputs.push_back (IPtr<Vst::Bus> (newBus, false));
	return newBus;
}

//------------------------------------------------------------------------
EventBus* SingleComponentEffect::addEventInput (const TChar* name, int32 channels,
                                                BusType busType, int32 flags)
{
	auto* newBus = new EventBus (name, busType, flags, channels);
	eventInputs.push_back (IPtr<Vst::Bus> (newBus, false));
	return newBus;
}

//------------------------------------------------------------------------
EventBus* SingleComponentEffect::addEventOutput (const TChar* name, int32 channels,
                                                 BusType busType, int32 flags)
{
	auto* newBus = new EventBus (name, busType, flags, channels);
	eventOutputs.push_back (IPtr<Vst::Bus> (newBus, false));
	return newBus;
}

//------------------------------------------------------------------------
tresult SingleComponentEffect::removeAudioBusses ()
{
	audioInputs.clear ();
	audioOutputs.clear ();
	return kResultOk;
}

//------------------------------------------------------------------------
tresult SingleComponentEffect::removeEventBusses ()
{
	eventInputs.clear ();
	eventOutputs.clear ();
	return kResultOk;
}

//------------------------------------------------------------------------
tresult SingleComponentEffect::removeAllBusses ()
{
	removeAudioBusses ();
	removeEventBusses ();
	return kResultOk;
}

//------------------------------------------------------------------------
// IComponent
//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::getControllerClassId (TUID /*classID*/)
{
	// The controller is this object: there is no separate controller class.
	return kNotImplemented;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setIoMode (IoMode /*mode*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
int32 PLUGIN_API SingleComponentEffect::getBusCount (MediaType type, BusDirection dir)
{
	BusList* busList = getBusList (type, dir);
	return busList ? static_cast<int32> (busList->size ()) : 0;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::getBusInfo (MediaType type, BusDirection dir,
                                                      int32 index, BusInfo& info)
{
	BusList* busList = getBusList (type, dir);
	if (busList == nullptr || index < 0 || index >= static_cast<int32> (busList->size ()))
		return kInvalidArgument;

	Bus* bus = busList->at (static_cast<size_t> (index));
	info.mediaType = type;
	info.direction = dir;
	return bus->getInfo (info) ? kResultTrue : kResultFalse;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::getRoutingInfo (RoutingInfo& /*inInfo*/,
                                                          RoutingInfo& /*outInfo*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::activateBus (MediaType type, BusDirection dir,
                                                       int32 index, TBool state)
{
	BusList* busList = getBusList (type, dir);
	if (busList == nullptr || index < 0 || index >= static_cast<int32> (busList->size ()))
		return kInvalidArgument;

	busList->at (static_cast<size_t> (index))->setActive (state);
	return kResultTrue;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setActive (TBool /*state*/)
{
	return kResultOk;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setState (IBStream* /*state*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::getState (IBStream* /*state*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
// IAudioProcessor
//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setBusArrangements (SpeakerArrangement* inputs,
                                                              int32 numIns,
                                                              SpeakerArrangement* outputs,
                                                              int32 numOuts)
{
	if (numIns < 0 || numOuts < 0)
		return kInvalidArgument;
	if ((numIns > 0 && inputs == nullptr) || (numOuts > 0 && outputs == nullptr))
		return kInvalidArgument;

	// More arrangements than buses cannot be followed: refuse and keep the
	// buses as they are. Fewer set the leading buses only.
	if (numIns > static_cast<int32> (audioInputs.size ()) ||
	    numOuts > static_cast<int32> (audioOutputs.size ()))
		return kResultFalse;

	for (int32 index = 0; index < numIns; ++index)
	{
		if (auto* audioBus = FCast<Vst::AudioBus> (audioInputs[static_cast<size_t> (index)].get ()))
			audioBus->setArrangement (inputs[index]);
	}
	for (int32 index = 0; index < numOuts; ++index)
	{
		if (auto* audioBus = FCast<Vst::AudioBus> (audioOutputs[static_cast<size_t> (index)].get ()))
			audioBus->setArrangement (outputs[index]);
	}
	return kResultTrue;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::getBusArrangement (BusDirection dir, int32 index,
                                                             SpeakerArrangement& arr)
{
	BusList* busList = getBusList (kAudio, dir);
	if (busList == nullptr || index < 0 || index >= static_cast<int32> (busList->size ()))
		return kInvalidArgument;

	if (auto* audioBus = FCast<Vst::AudioBus> (busList->at (static_cast<size_t> (index)).get ()))
	{
		arr = audioBus->getArrangement ();
		return kResultTrue;
	}
	return kResultFalse;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize (int32 symbolicSampleSize)
{
	return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

//------------------------------------------------------------------------
uint32 PLUGIN_API SingleComponentEffect::getLatencySamples ()
{
	return 0;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setupProcessing (ProcessSetup& newSetup)
{
	// A setup whose sample size the effect cannot process is refused and not
	// stored; canProcessSampleSize is virtual, so an effect that adds 64-bit
	// processing gets it accepted here too.
	if (canProcessSampleSize (newSetup.symbolicSampleSize) != kResultTrue)
		return kResultFalse;

	processSetup = newSetup;
	return kResultOk;
}

//------------------------------------------------------------------------
tresult PLUGIN_API SingleComponentEffect::setProcessing (TBool /*state*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
uint32 PLUGIN_API SingleComponentEffect::getTailSamples ()
{
	return kNoTail;
}

//------------------------------------------------------------------------
} // namespace Vst
} // namespace Steinberg
