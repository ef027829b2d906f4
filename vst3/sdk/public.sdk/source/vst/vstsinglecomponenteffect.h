//------------------------------------------------------------------------
// Stand-in for the VST3 SDK's public.sdk/source/vst/vstsinglecomponenteffect.h,
// which the copy of the SDK in Debian's juce-modules-source-data lacks.
// Written from the SDK's interface contracts (ivstcomponent.h,
// ivstaudioprocessor.h) and its helper classes that Debian does ship
// (vstcomponent.h, vsteditcontroller.h, vstbus.h), with the SDK's names, so
// that the SDK's own file can replace it unchanged.
//------------------------------------------------------------------------

#pragma once

#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

//------------------------------------------------------------------------
namespace Steinberg {
namespace Vst {

//------------------------------------------------------------------------
/** Default implementation for a non-distributable plug-in that is audio
component and edit controller in one object.

The host sees one object answering IComponent, IAudioProcessor and, through
EditControllerEx1, IEditController, IEditController2, IUnitInfo, IPluginBase
and IConnectionPoint; one reference count (FObject's, 1 at construction)
covers all of them. A derived class declares its buses in initialize() with
addAudioInput()/addAudioOutput()/addEventInput()/addEventOutput() and
implements process().

IComponent and IEditController both declare setState()/getState() with the
same signature, so one override here (and in a derived class) answers both.
*/
class SingleComponentEffect : public EditControllerEx1,
                              public IComponent,
                              public IAudioProcessor
{
public:
//------------------------------------------------------------------------
	SingleComponentEffect ();
	~SingleComponentEffect () override;

	//---from IPluginBase--------
	tresult PLUGIN_API initialize (FUnknown* context) SMTG_OVERRIDE;
	tresult PLUGIN_API terminate () SMTG_OVERRIDE;

	//---from IComponent-----------------------
	tresult PLUGIN_API getControllerClassId (TUID classID) SMTG_OVERRIDE;
	tresult PLUGIN_API setIoMode (IoMode mode) SMTG_OVERRIDE;
	int32 PLUGIN_API getBusCount (MediaType type, BusDirection dir) SMTG_OVERRIDE;
	tresult PLUGIN_API getBusInfo (MediaType type, BusDirection dir, int32 index,
	                               BusInfo& bus /*out*/) SMTG_OVERRIDE;
	tresult PLUGIN_API getRoutingInfo (RoutingInfo& inInfo, RoutingInfo& outInfo /*out*/) SMTG_OVERRIDE;
	tresult PLUGIN_API activateBus (MediaType type, BusDirection dir, int32 index,
	                                TBool state) SMTG_OVERRIDE;
	tresult PLUGIN_API setActive (TBool state) SMTG_OVERRIDE;

	//---from IComponent and IEditController---
	tresult PLUGIN_API setState (IBStream* state) SMTG_OVERRIDE;
	tresult PLUGIN_API getState (IBStream* state) SMTG_OVERRIDE;

	//---from IAudioProcessor-------------------
	tresult PLUGIN_API setBusArrangements (SpeakerArrangement* inputs, int32 numIns,
	                                       SpeakerArrangement* outputs, int32 numOuts) SMTG_OVERRIDE;
	tresult PLUGIN_API getBusArrangement (BusDirection dir, int32 index,
	                                      SpeakerArrangement& arr /*out*/) SMTG_OVERRIDE;
	tresult PLUGIN_API canProcessSampleSize (int32 symbolicSampleSize) SMTG_OVERRIDE;
	uint32 PLUGIN_API getLatencySamples () SMTG_OVERRIDE;
	tresult PLUGIN_API setupProcessing (ProcessSetup& setup) SMTG_OVERRIDE;
	tresult PLUGIN_API setProcessing (TBool state) SMTG_OVERRIDE;
	uint32 PLUGIN_API getTailSamples () SMTG_OVERRIDE;
	// process () is left to the derived class.

	//---Internal Methods-------
	/** Creates and adds a new audio input bus; the list keeps the reference. */
	AudioBus* addAudioInput (const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
	                         int32 flags = BusInfo::kDefaultActive);
	/** Creates and adds a new audio output bus; the list keeps the reference. */
	AudioBus* addAudioOutput (const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
	                          int32 flags = BusInfo::kDefaultActive);
	/** Creates and adds a new event input bus with the given MIDI channel count. */
	EventBus* addEventInput (const TChar* name, int32 channels = 16, BusType busType = kMain,
	                         int32 flags = BusInfo::kDefaultActive);
	/** Creates and adds a new event output bus with the given MIDI channel count. */
	EventBus* addEventOutput (const TChar* name, int32 channels = 16, BusType busType = kMain,
	                          int32 flags = BusInfo::kDefaultActive);

	/** Removes all audio buses (inputs and outputs). */
	tresult removeAudioBusses ();
	/** Removes all event buses (inputs and outputs). */
	tresult removeEventBusses ();

	//---Interface---------
	OBJ_METHODS (SingleComponentEffect, EditControllerEx1)
	DEFINE_INTERFACES
		DEF_INTERFACE (IComponent)
		DEF_INTERFACE (IAudioProcessor)
	END_DEFINE_INTERFACES (EditControllerEx1)
	REFCOUNT_METHODS (EditControllerEx1)

//------------------------------------------------------------------------
protected:
	/** The bus list for a media type and direction, or nullptr for an unknown one. */
	BusList* getBusList (MediaType type, BusDirection dir);
	/** Removes all audio and event buses. */
	tresult removeAllBusses ();

	ProcessSetup processSetup;

	BusList audioInputs;
	BusList audioOutputs;
	BusList eventInputs;
	BusList eventOutputs;
};

//------------------------------------------------------------------------
} // namespace Vst
} // namespace Steinberg
