#include "tools/host/ParameterValueQueue.h"

#include "pluginterfaces/base/funknown.h"

#include <algorithm>

namespace kestro {

using namespace Steinberg;

ParameterValueQueue::ParameterValueQueue(Vst::ParamID id) : id_(id) { points_.reserve(8); }

void ParameterValueQueue::Reset(Vst::ParamID id) {
  id_ = id;
  points_.clear();
}

Vst::ParamID PLUGIN_API ParameterValueQueue::getParameterId() { return id_; }

int32 PLUGIN_API ParameterValueQueue::getPointCount() { return static_cast<int32>(points_.size()); }

tresult PLUGIN_API ParameterValueQueue::getPoint(int32 index, int32& sampleOffset, Vst::ParamValue& value) {
  if (index < 0 || index >= getPointCount()) {
    return kResultFalse;
  }
  sampleOffset = points_[static_cast<size_t>(index)].offset;
  value = points_[static_cast<size_t>(index)].value;
  return kResultOk;
}

tresult PLUGIN_API ParameterValueQueue::addPoint(int32 sampleOffset, Vst::ParamValue value, int32& index) {
  auto at = std::lower_bound(points_.begin(), points_.end(), sampleOffset,
                             [](const Point& p, int32 offset) { return p.offset < offset; });
  if (at != points_.end() && at->offset == sampleOffset) {
    at->value = value;
  } else {
    at = points_.insert(at, Point{sampleOffset, value});
  }
  index = static_cast<int32>(at - points_.begin());
  return kResultOk;
}

tresult PLUGIN_API ParameterValueQueue::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IParamValueQueue::iid)) {
    addRef();
    *obj = static_cast<Vst::IParamValueQueue*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API ParameterValueQueue::addRef() { return ++refs_; }

uint32 PLUGIN_API ParameterValueQueue::release() { return --refs_; }

}  // namespace kestro
