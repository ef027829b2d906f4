//------------------------------------------------------------------------
// The SDK's pluginterfaces/base/funknown.cpp for Linux, with one function
// replaced.
//
// On Linux the SDK's FUnknownPrivate::atomicAdd adds with an atomic
// instruction but returns a second, unsynchronised read of the counter. Two
// threads releasing the last two references can then both read 0 and delete
// the object twice, or both read 1 and leak it, and ThreadSanitizer reports the
// read as a race. Everything else in funknown.cpp (FUID, string helpers) is the
// SDK's own and compiled unchanged: the SDK's definition of atomicAdd is
// renamed out of the way by the macro below and replaced by one that returns
// the value its own atomic operation produced.
//
// Built instead of funknown.cpp on Linux only (see cmake/Vst3Sdk.cmake).
//------------------------------------------------------------------------

// Declare the real name first, so that the rename below only touches the
// definition inside funknown.cpp (funknown.h is include-guarded).
#include "pluginterfaces/base/funknown.h"

#define atomicAdd atomicAddUnsynchronisedRead
#include "pluginterfaces/base/funknown.cpp"
#undef atomicAdd

namespace Steinberg {
namespace FUnknownPrivate {

//------------------------------------------------------------------------
int32 PLUGIN_API atomicAdd (int32& var, int32 d)
{
	return __atomic_add_fetch (&var, d, __ATOMIC_ACQ_REL);
}

} // FUnknownPrivate
} // Steinberg
