//------------------------------------------------------------------------
// Interface ids of the plug-in view interfaces.
//
// The SDK declares these ids in its headers (DECLARE_CLASS_IID) and defines
// them in public.sdk/source/common/commoniids.cpp, which the copy of the SDK in
// Debian's juce-modules-source-data leaves out (JUCE defines them in its own
// wrapper). Without them, the SDK's pluginview.cpp (CPluginView, the base of
// every editor view) does not link.
//------------------------------------------------------------------------

#include "pluginterfaces/base/funknown.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"

namespace Steinberg {

DEF_CLASS_IID (IPlugView)
DEF_CLASS_IID (IPlugFrame)
DEF_CLASS_IID (IPlugViewContentScaleSupport)

#if SMTG_OS_LINUX
DEF_CLASS_IID (Linux::IEventHandler)
DEF_CLASS_IID (Linux::ITimerHandler)
DEF_CLASS_IID (Linux::IRunLoop)
#endif

} // Steinberg
