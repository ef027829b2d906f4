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
  Record({Kind::kBeginEdit, id, 0.0, 0, 0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized) {
  Record({Kind::kPerformEdit, id, valueNormalized, 0, 0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::endEdit(Vst::ParamID id) {
  Record({Kind::kEndEdit, id, 0.0, 0, 0, 0});
  return kResultOk;
}

tresult PLUGIN_API RecordingComponentHandler::restartComponent(int32 flags) {
  Record({Kind::kRestart, 0, 0.0, flags, 0, 0});
  return kResultOk;
}

// A context menu with no items of its own that records its popup.
class RecordingComponentHandler::Menu : public Vst::IContextMenu {
 public:
  Menu(RecordingComponentHandler* owner, Vst::ParamID id) : owner_(owner), id_(id) { owner_->addRef(); }
  virtual ~Menu() { owner_->release(); }
  int32 PLUGIN_API getItemCount() override { return 0; }
  tresult PLUGIN_API getItem(int32, Item&, Vst::IContextMenuTarget**) override { return kResultFalse; }
  tresult PLUGIN_API addItem(const Item&, Vst::IContextMenuTarget*) override { return kResultOk; }
  tresult PLUGIN_API removeItem(const Item&, Vst::IContextMenuTarget*) override { return kResultOk; }
  tresult PLUGIN_API popup(UCoord x, UCoord y) override {
    owner_->Record({Kind::kContextMenu, id_, 0.0, 0, x, y});
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Vst::IContextMenu::iid)) {
      addRef();
      *obj = static_cast<Vst::IContextMenu*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  RecordingComponentHandler* owner_;
  Vst::ParamID id_;
  std::atomic<uint32> refs_{1};
};

Vst::IContextMenu* PLUGIN_API RecordingComponentHandler::createContextMenu(IPlugView*, const Vst::ParamID* paramId) {
  return new Menu(this, paramId != nullptr ? *paramId : 0);
}

tresult PLUGIN_API RecordingComponentHandler::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) {
    return kInvalidArgument;
  }
  if (FUnknownPrivate::iidEqual(iid, Vst::IComponentHandler3::iid)) {
    addRef();
    *obj = static_cast<Vst::IComponentHandler3*>(this);
    return kResultOk;
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
