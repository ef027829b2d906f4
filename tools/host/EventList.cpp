#include "tools/host/EventList.h"

namespace kestro {

using namespace Steinberg;

int32 PLUGIN_API EventList::getEventCount() { return static_cast<int32>(events_.size()); }

tresult PLUGIN_API EventList::getEvent(int32 index, Vst::Event& e) {
  if (index < 0 || index >= getEventCount()) {
    return kResultFalse;
  }
  e = events_[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Vst::Event& e) {
  events_.push_back(e);
  return kResultOk;
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IEventList::iid)) {
    addRef();
    *obj = static_cast<Vst::IEventList*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API EventList::addRef() { return ++refs_; }

uint32 PLUGIN_API EventList::release() { return --refs_; }

}  // namespace kestro
