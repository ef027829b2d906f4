#include "tools/host/HostContext.h"

#include "tools/host/Utf16Text.h"

namespace kestro {

Steinberg::tresult PLUGIN_API HostContext::getName(Steinberg::Vst::String128 name) {
  if (name == nullptr) {
    return Steinberg::kInvalidArgument;
  }
  ToUtf16(kName, name, 128);
  return Steinberg::kResultOk;
}

}  // namespace kestro
