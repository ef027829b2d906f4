#pragma once

#include "tools/host/ParameterValueQueue.h"

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <atomic>
#include <memory>
#include <vector>

namespace kestro {

// The parameter changes of one block: one queue per parameter, in the order
// they were first added. Clearing keeps the queues' storage, so a host that
// reuses one container per block allocates only while it grows. Owned by the
// host; the reference count is for checking plug-ins, as in the queue.
class ParameterChanges : public Steinberg::Vst::IParameterChanges {
 public:
  ParameterChanges() = default;
  virtual ~ParameterChanges() = default;
  ParameterChanges(const ParameterChanges&) = delete;
  ParameterChanges& operator=(const ParameterChanges&) = delete;

  // Adds one point to the queue of id, making the queue when needed.
  void Add(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value, Steinberg::int32 sampleOffset = 0);
  void Clear() { used_ = 0; }
  bool Empty() const { return used_ == 0; }
  Steinberg::uint32 RefCount() const { return refs_.load(); }
  // The queue at index, for checking its own count.
  ParameterValueQueue* Queue(Steinberg::int32 index) const;

  Steinberg::int32 PLUGIN_API getParameterCount() override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
  Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  std::vector<std::unique_ptr<ParameterValueQueue>> queues_;
  Steinberg::int32 used_ = 0;
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace kestro
