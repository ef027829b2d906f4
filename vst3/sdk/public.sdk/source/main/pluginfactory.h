//------------------------------------------------------------------------
// Stand-in for the VST3 SDK's public.sdk/source/main/pluginfactory.h, which
// the copy of the SDK in Debian's juce-modules-source-data lacks. Written from
// the factory contracts in pluginterfaces/base/ipluginbase.h, with the SDK's
// names, so that the SDK's own file can replace it unchanged.
//------------------------------------------------------------------------

#pragma once

#include "pluginterfaces/base/ipluginbase.h"

#include <vector>

namespace Steinberg {

//------------------------------------------------------------------------
/** Default class factory: the object a module's GetPluginFactory returns.

It holds the factory information and a list of registered classes, each with
its 8-bit and wide class information, its creation function and that
function's context. Reference counted; created with a count of 1.
*/
class CPluginFactory : public IPluginFactory3
{
public:
//------------------------------------------------------------------------
	CPluginFactory (const PFactoryInfo& info);
	virtual ~CPluginFactory ();

	/** Registers a class with class information version 1; true for success. */
	bool registerClass (const PClassInfo* info, FUnknown* (*createFunc) (void*),
	                    void* context = nullptr);
	/** Registers a class with class information version 2; true for success. */
	bool registerClass (const PClassInfo2* info, FUnknown* (*createFunc) (void*),
	                    void* context = nullptr);
	/** Registers a class with the wide class information; true for success. */
	bool registerClass (const PClassInfoW* info, FUnknown* (*createFunc) (void*),
	                    void* context = nullptr);

	/** Whether a class with this class id is registered. */
	bool isClassRegistered (const FUID& cid);

	/** Removes all classes (the factory then exports none). */
	void removeAllClasses ();

	//---from FUnknown------
	tresult PLUGIN_API queryInterface (const TUID _iid, void** obj) SMTG_OVERRIDE;
	uint32 PLUGIN_API addRef () SMTG_OVERRIDE;
	uint32 PLUGIN_API release () SMTG_OVERRIDE;

	//---from IPluginFactory------
	tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) SMTG_OVERRIDE;
	int32 PLUGIN_API countClasses () SMTG_OVERRIDE;
	tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) SMTG_OVERRIDE;
	tresult PLUGIN_API createInstance (FIDString cid, FIDString _iid, void** obj) SMTG_OVERRIDE;

	//---from IPluginFactory2-----
	tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) SMTG_OVERRIDE;

	//---from IPluginFactory3-----
	tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) SMTG_OVERRIDE;
	tresult PLUGIN_API setHostContext (FUnknown* context) SMTG_OVERRIDE;

//------------------------------------------------------------------------
protected:
	/** One registered class. A class registered with wide information only
	has no 8-bit information (isUnicode). */
	struct PClassEntry
	{
		PClassInfo2 info8;
		PClassInfoW info16;

		FUnknown* (*createFunc) (void*);
		void* context;
		bool isUnicode;
	};

	/** The entry at index, or nullptr when index is out of range. */
	const PClassEntry* entryAt (int32 index) const;

	int32 refCount;
	PFactoryInfo factoryInfo;
	std::vector<PClassEntry> classes;
};

//------------------------------------------------------------------------
} // namespace Steinberg

/** The module's factory, as GetPluginFactory keeps it: cleared when the
factory it points to is destroyed, so that the next GetPluginFactory builds a
new one. */
extern Steinberg::CPluginFactory* gPluginFactory;
