//------------------------------------------------------------------------
// Stand-in for the VST3 SDK's public.sdk/source/main/pluginfactory.cpp
// (see the header).
//------------------------------------------------------------------------

#include "public.sdk/source/main/pluginfactory.h"

#include <cstring>

//------------------------------------------------------------------------
Steinberg::CPluginFactory* gPluginFactory = nullptr;

namespace Steinberg {

//------------------------------------------------------------------------
namespace {

//------------------------------------------------------------------------
/** The wide class information for 8-bit class information, converted by the
SDK (PClassInfoW::fromAscii). fromAscii's str8ToStr16 writes a terminator one
unit past a text field whose 8-bit text fills the whole field (no terminator
of its own): into the next field, and for sdkVersion past the end of the
record. The copy it converts is therefore terminated inside each field, which
cuts such a full-width text by its last character in the wide record only. */
void toWideClassInfo (PClassInfoW& wide, const PClassInfo2& ascii)
{
	PClassInfo2 terminated (ascii);
	terminated.name[PClassInfo::kNameSize - 1] = 0;
	terminated.vendor[PClassInfo2::kVendorSize - 1] = 0;
	terminated.version[PClassInfo2::kVersionSize - 1] = 0;
	terminated.sdkVersion[PClassInfo2::kVersionSize - 1] = 0;
	wide.fromAscii (terminated);
}

} // anonymous

//------------------------------------------------------------------------
// CPluginFactory implementation
//------------------------------------------------------------------------
CPluginFactory::CPluginFactory (const PFactoryInfo& info) : refCount (1), factoryInfo (info)
{
}

//------------------------------------------------------------------------
CPluginFactory::~CPluginFactory ()
{
	if (gPluginFactory == this)
		gPluginFactory = nullptr;
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::queryInterface (const TUID _iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	if (_iid == nullptr)
	{
		*obj = nullptr;
		return kInvalidArgument;
	}

	// The SDK compares ids as two 64-bit words; a host's id need not be
	// aligned for that, so compare an aligned copy.
	alignas (8) TUID iid;
	memcpy (iid, _iid, sizeof (TUID));

	QUERY_INTERFACE (iid, obj, FUnknown::iid, IPluginFactory)
	QUERY_INTERFACE (iid, obj, IPluginFactory::iid, IPluginFactory)
	QUERY_INTERFACE (iid, obj, IPluginFactory2::iid, IPluginFactory2)
	QUERY_INTERFACE (iid, obj, IPluginFactory3::iid, IPluginFactory3)
	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
uint32 PLUGIN_API CPluginFactory::addRef ()
{
	return static_cast<uint32> (FUnknownPrivate::atomicAdd (refCount, 1));
}

//------------------------------------------------------------------------
uint32 PLUGIN_API CPluginFactory::release ()
{
	// Only the value the atomic decrement produced may be used: after another
	// thread's decrement to 0 the object is gone.
	const int32 remaining = FUnknownPrivate::atomicAdd (refCount, -1);
	if (remaining == 0)
	{
		delete this;
		return 0;
	}
	return static_cast<uint32> (remaining);
}

//------------------------------------------------------------------------
bool CPluginFactory::registerClass (const PClassInfo* info, FUnknown* (*createFunc) (void*),
                                    void* context)
{
	if (info == nullptr || createFunc == nullptr)
		return false;

	// Version 1 information is the leading part of version 2; the rest stays
	// empty.
	PClassInfo2 info2;
	memcpy (info2.cid, info->cid, sizeof (TUID));
	info2.cardinality = info->cardinality;
	memcpy (info2.category, info->category, sizeof (info2.category));
	memcpy (info2.name, info->name, sizeof (info2.name));
	return registerClass (&info2, createFunc, context);
}

//------------------------------------------------------------------------
bool CPluginFactory::registerClass (const PClassInfo2* info, FUnknown* (*createFunc) (void*),
                                    void* context)
{
	if (info == nullptr || createFunc == nullptr)
		return false;

	PClassEntry entry {};
	entry.info8 = *info;
	toWideClassInfo (entry.info16, *info);
	entry.createFunc = createFunc;
	entry.context = context;
	entry.isUnicode = false;
	classes.push_back (entry);
	return true;
}

//------------------------------------------------------------------------
bool CPluginFactory::registerClass (const PClassInfoW* info, FUnknown* (*createFunc) (void*),
                                    void* context)
{
	if (info == nullptr || createFunc == nullptr)
		return false;

	PClassEntry entry {};
	entry.info16 = *info;
	entry.createFunc = createFunc;
	entry.context = context;
	entry.isUnicode = true;
	classes.push_back (entry);
	return true;
}

//------------------------------------------------------------------------
bool CPluginFactory::isClassRegistered (const FUID& cid)
{
	for (const auto& entry : classes)
	{
		if (memcmp (entry.info16.cid, cid.toTUID (), sizeof (TUID)) == 0)
			return true;
	}
	return false;
}

//------------------------------------------------------------------------
void CPluginFactory::removeAllClasses ()
{
	classes.clear ();
}

//------------------------------------------------------------------------
const CPluginFactory::PClassEntry* CPluginFactory::entryAt (int32 index) const
{
	if (index < 0 || index >= static_cast<int32> (classes.size ()))
		return nullptr;
	return &classes[static_cast<size_t> (index)];
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::getFactoryInfo (PFactoryInfo* info)
{
	if (info == nullptr)
		return kInvalidArgument;

	*info = factoryInfo;
	return kResultOk;
}

//------------------------------------------------------------------------
int32 PLUGIN_API CPluginFactory::countClasses ()
{
	return static_cast<int32> (classes.size ());
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::getClassInfo (int32 index, PClassInfo* info)
{
	const PClassEntry* entry = entryAt (index);
	if (info == nullptr || entry == nullptr)
		return kInvalidArgument;

	if (entry->isUnicode)
	{
		// Registered with wide information only: there is no 8-bit record.
		*info = PClassInfo ();
		return kResultFalse;
	}

	memcpy (info->cid, entry->info8.cid, sizeof (TUID));
	info->cardinality = entry->info8.cardinality;
	memcpy (info->category, entry->info8.category, sizeof (info->category));
	memcpy (info->name, entry->info8.name, sizeof (info->name));
	return kResultOk;
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::getClassInfo2 (int32 index, PClassInfo2* info)
{
	const PClassEntry* entry = entryAt (index);
	if (info == nullptr || entry == nullptr)
		return kInvalidArgument;

	if (entry->isUnicode)
	{
		*info = PClassInfo2 ();
		return kResultFalse;
	}

	*info = entry->info8;
	return kResultOk;
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::getClassInfoUnicode (int32 index, PClassInfoW* info)
{
	const PClassEntry* entry = entryAt (index);
	if (info == nullptr || entry == nullptr)
		return kInvalidArgument;

	*info = entry->info16;
	return kResultOk;
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::createInstance (FIDString cid, FIDString _iid, void** obj)
{
	if (obj == nullptr)
		return kInvalidArgument;
	*obj = nullptr;
	if (cid == nullptr || _iid == nullptr)
		return kInvalidArgument;

	// Class ids from the host need not be aligned: compare them byte-wise.
	for (const auto& entry : classes)
	{
		if (memcmp (entry.info16.cid, cid, sizeof (TUID)) != 0)
			continue;

		FUnknown* instance = entry.createFunc (entry.context);
		if (instance == nullptr)
			break;

		// On success the query holds the host's reference; either way the
		// creation reference goes, which destroys an instance nobody holds.
		// The SDK's queries compare ids as two 64-bit words: pass an aligned
		// copy of the host's id.
		alignas (8) TUID iid;
		memcpy (iid, _iid, sizeof (TUID));
		const tresult result = instance->queryInterface (iid, obj);
		instance->release ();
		if (result == kResultOk && *obj != nullptr)
			return kResultOk;
		break;
	}

	*obj = nullptr;
	return kNoInterface;
}

//------------------------------------------------------------------------
tresult PLUGIN_API CPluginFactory::setHostContext (FUnknown* /*context*/)
{
	return kNotImplemented;
}

//------------------------------------------------------------------------
} // namespace Steinberg
