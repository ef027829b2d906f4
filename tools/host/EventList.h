#pragma once

#include "pluginterfaces/vst/ivstevents.h"

#include <atomic>
#include <vector>

namespace kestro {

// The events of one block, in the order added. Owned by the host, like the
// parameter changes.
class EventList : public Steinberg::Vst::IEventList {
 public:
  EventList() = default;
  virtual ~EventList() = default;
  EventList(const EventList&) = delete;
  EventList& operator=(const EventList&) = delete;

  void Clear() { events_.clear(); }
  Steinberg::uint32 RefCount() const { return refs_.load(); }

  Steinberg::int32 PLUGIN_API getEventCount() override;
  Steinberg::tresult PLUGIN_API getEvent(Steinberg::int32 index, Steinberg::Vst::Event& e) override;
  Steinberg::tresult PLUGIN_API addEvent(Steinberg::Vst::Event& e) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  std::vector<Steinberg::Vst::Event> events_;
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace kestro
