#pragma once

#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace kestro {

// The host context our tools hand to plug-ins: the SDK's HostApplication
// (messages, attribute lists, the interface-support query) under our own
// name. getName is our own as well because the SDK's converts through one
// process-wide converter, which races when several threads initialise
// instances at the same time.
class HostContext : public Steinberg::Vst::HostApplication {
 public:
  static constexpr const char* kName = "KESTRO host tools";

  Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
};

}  // namespace kestro
