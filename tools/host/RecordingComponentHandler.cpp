#include "tools/host/RecordingComponentHandler.h"

namespace kestro {

using namespace Steinberg;

std::vector<RecordingComponentHandler::Call> RecordingComponentHandler::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

void RecordingComponentHandler::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void RecordingComponentHandler::Record(const Call& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

tresult PLUGIN_API RecordingComponentHandler::beginEdit(Vst::ParamID id) {
  Record({Kind::kBeginEdit, id, 0.0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized) {
  Record({Kind::kPerformEdit, id, valueNormalized, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::endEdit(Vst::ParamID id) {
  Record({Kind::kEndEdit, id, 0.0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent(int32 flags) {
  Record({Kind::kRestart, 0, 0.0, flags});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IComponentHandler::iid)) {
    addRef();
    *obj = static_cast<Vst::IComponentHandler*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API RecordingComponentHandler::addRef() { return ++refs_; }

uint32 PLUGIN_API RecordingComponentHandler::release() {
  const uint32 left = --refs_;
  if (left == 0) {
    delete this;
  }
  return left;
}

}  // namespace kestro
