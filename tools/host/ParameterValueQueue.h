#pragma once

#include "pluginterfaces/vst/ivstparameterchanges.h"

#include <atomic>
#include <vector>

namespace kestro {

// The points of one parameter for one block, ordered by sample offset. The
// host owns the queue (inside a ParameterChanges); the reference count only
// lets a test check that a plug-in keeps its addRef and release in pairs.
class ParameterValueQueue : public Steinberg::Vst::IParamValueQueue {
 public:
  explicit ParameterValueQueue(Steinberg::Vst::ParamID id);
  virtual ~ParameterValueQueue() = default;

  // Empties the queue and gives it a new id, keeping its storage.
  void Reset(Steinberg::Vst::ParamID id);
  Steinberg::uint32 RefCount() const { return refs_.load(); }

  Steinberg::Vst::ParamID PLUGIN_API getParameterId() override;
  Steinberg::int32 PLUGIN_API getPointCount() override;
  Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                         Steinberg::Vst::ParamValue& value) override;
  // Keeps the points sorted; a second point at the same offset replaces the
  // first, as a host merging automation would. Values are taken as given, so
  // tests can send what a careless host sends.
  Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset, Steinberg::Vst::ParamValue value,
                                         Steinberg::int32& index) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override;
  Steinberg::uint32 PLUGIN_API release() override;

 private:
  struct Point {
    Steinberg::int32 offset;
    Steinberg::Vst::ParamValue value;
  };

  Steinberg::Vst::ParamID id_;
  std::vector<Point> points_;
  std::atomic<Steinberg::uint32> refs_{1};
};

}  // namespace kestro
