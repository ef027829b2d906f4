#include "graphics/Control.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/PluginCore.h"
#include "graphics/GraphicsCore.h"
#include "graphics/TextControl.h"

namespace kestro {

Control::Control(PluginCore* plugin, const PixelRect& rect, int paramIndex, BlendSpec blend)
    : plugin_(plugin), rect_(rect), targetRect_(rect), paramIndex_(paramIndex), blend_(blend) {}

Control::~Control() = default;

void Control::HandleMouseDown(int, int, const MouseModifiers& mods) {
  if (mods.right) PromptForValue();
}

void Control::HandleMouseUp(int, int, const MouseModifiers&) {}
void Control::HandleMouseDrag(int, int, int, int, const MouseModifiers&) {}

void Control::HandleDoubleClick(int, int, const MouseModifiers&) {
  const double def = DefaultValue();
  if (def >= 0.0) {
    SetValue(def);
    MarkDirty(true);
  }
}

void Control::HandleWheel(int, int, const MouseModifiers&, int) {}
bool Control::HandleKeyDown(int, int, int) { return false; }
void Control::HandleMouseOver(int, int, const MouseModifiers&) {}
void Control::HandleMouseOut() {}

void Control::ReceivePluginValue(double normalized) {
  if (DefaultValue() < 0.0) {
    // The first value from the plug-in is the control's default; it is
    // what the editor shows from the start, so nothing needs redrawing.
    SetValue(normalized);
    defaultValue_.store(normalized, std::memory_order_relaxed);
    return;
  }
  if (ValuesDiffer(normalized, Value())) {
    SetValue(normalized);
    MarkDirty(false);
    SetPendingRedraw();
  }
}

void Control::ApplyUserValue(double normalized) {
  if (ValuesDiffer(normalized, Value())) {
    SetValue(normalized);
    MarkDirty(true);
    SetPendingRedraw();
  }
}

void Control::HandleTextEntry(const char*) {}

void Control::SetHidden(bool hidden) {
  hidden_ = hidden;
  SetPendingRedraw();
  MarkDirty(false);
}

void Control::SetGrayed(bool grayed) {
  grayed_ = grayed;
  blend_.weight = grayed ? 0.25f : 1.0f;
  MarkDirty(false);
}

bool Control::HitTest(int x, int y) const { return targetRect_.Contains(x, y); }

void Control::MarkDirty(bool push) {
  // NaN compares false both ways and would survive min/max: it becomes the
  // low end, so frames and the plug-in always see a number in range.
  double v = Value();
  if (!(v >= clampLow_)) {
    v = clampLow_;
  } else {
    v = std::min(v, clampHigh_);
  }
  SetValue(v);
  SetDirtyFlag();
  if (!push || plugin_ == nullptr || paramIndex_ < 0) return;

  plugin_->SetParamFromEditor(paramIndex_, v);
  const IParamEntry* param = plugin_->ParamAt(paramIndex_);
  if (param == nullptr) return;
  if (valueDisplay_ != nullptr) {
    const double plain = param->Value();
    std::string text = param->FormatValue(plain).c_str();
    // A value shown by name needs no unit after it.
    const char* named = param->DisplayTextFor(plain);
    if (named == nullptr || named[0] == '\0') {
      text += ' ';
      text += param->UnitLabel();
    }
    valueDisplay_->ReceivePluginText(text.c_str());
  }
  if (nameDisplay_ != nullptr) nameDisplay_->ReceivePluginText(param->Name());
}

void Control::MarkClean() {
  dirty_.store(pendingRedraw_.exchange(false, std::memory_order_relaxed), std::memory_order_relaxed);
}

bool Control::NeedsRedraw() const { return dirty_.load(std::memory_order_relaxed); }

void Control::ReceiveAuxPluginValue(int aux, double normalized) {
  if (aux < 0 || aux >= AuxParamCount()) return;
  AuxBinding& binding = aux_[static_cast<size_t>(aux)];
  if (ValuesDiffer(normalized, binding.value)) {
    binding.value = normalized;
    MarkDirty(false);
    SetPendingRedraw();
  }
}

void Control::PromptForValue() {
  if (paramIndex_ < 0 || promptDisabled_ || plugin_ == nullptr || graphics_ == nullptr) return;
  const IParamEntry* param = plugin_->ParamAt(paramIndex_);
  if (param == nullptr) return;
  PixelRect area = rect_;
  if (param->DisplayTextCount() == 0) {
    // A small box centred on the control for typing a number.
    const int cx = static_cast<int>((rect_.left + rect_.right) * 0.5);
    const int cy = static_cast<int>((rect_.top + rect_.bottom) * 0.5);
    area = {cx - 20, cy - 8, cx + 20, cy + 8};
  }
  graphics_->PromptParamInput(this, paramIndex_, area);
  SetPendingRedraw();
}

void Control::SetClamp(double low, double high) {
  clampLow_ = low;
  clampHigh_ = high;
}

}  // namespace kestro
