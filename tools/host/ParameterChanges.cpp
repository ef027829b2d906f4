#include "tools/host/ParameterChanges.h"

namespace kestro {

using namespace Steinberg;

void ParameterChanges::Add(Vst::ParamID id, Vst::ParamValue value, int32 sampleOffset) {
  int32 index = 0;
  Vst::IParamValueQueue* queue = addParameterData(id, index);
  int32 pointIndex = 0;
  queue->addPoint(sampleOffset, value, pointIndex);
}

ParameterValueQueue* ParameterChanges::Queue(int32 index) const {
  return index >= 0 && index < used_ ? queues_[static_cast<size_t>(index)].get() : nullptr;
}

int32 PLUGIN_API ParameterChanges::getParameterCount() { return used_; }

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index) { return Queue(index); }

Vst::IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const Vst::ParamID& id, int32& index) {
  for (int32 i = 0; i < used_; ++i) {
    if (queues_[static_cast<size_t>(i)]->getParameterId() == id) {
      index = i;
      return queues_[static_cast<size_t>(i)].get();
    }
  }
  if (static_cast<size_t>(used_) < queues_.size()) {
    queues_[static_cast<size_t>(used_)]->Reset(id);
  } else {
    queues_.push_back(std::make_unique<ParameterValueQueue>(id));
  }
  index = used_++;
  return queues_[static_cast<size_t>(index)].get();
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IParameterChanges::iid)) {
    addRef();
    *obj = static_cast<Vst::IParameterChanges*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API ParameterChanges::addRef() { return ++refs_; }

uint32 PLUGIN_API ParameterChanges::release() { return --refs_; }

}  // namespace kestro
