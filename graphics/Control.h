#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "graphics/BlendSpec.h"
#include "graphics/MouseModifiers.h"
#include "graphics/PixelRect.h"
#include "graphics/TextStyle.h"

namespace kestro {

class GraphicsCore;
class PluginCore;
class TextControl;

// One rectangle of the editor. It may be bound to a plug-in parameter, holds
// that parameter's value normalised to 0..1, draws itself into the graphics
// core and reacts to the input the core routes to it.
//
// The value and the redraw flags are atomics: the gain-reduction meter
// receives its value from the audio thread while the editor thread reads
// them to draw. Everything else runs on the editor thread.
class Control {
 public:
  struct AuxBinding {
    double value = 0.0;
    int paramIndex = -1;
  };

  Control(PluginCore* plugin, const PixelRect& rect, int paramIndex = -1, BlendSpec blend = {});
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual void HandleMouseDown(int x, int y, const MouseModifiers& mods);
  virtual void HandleMouseUp(int x, int y, const MouseModifiers& mods);
  virtual void HandleMouseDrag(int x, int y, int dx, int dy, const MouseModifiers& mods);
  virtual void HandleDoubleClick(int x, int y, const MouseModifiers& mods);
  virtual void HandleWheel(int x, int y, const MouseModifiers& mods, int steps);
  // Whether HandleWheel edits the value (the editor wraps those edits in a
  // gesture for the host).
  virtual bool EditsOnWheel() const { return false; }
  virtual bool HandleKeyDown(int x, int y, int key);
  virtual void HandleMouseOver(int x, int y, const MouseModifiers& mods);
  virtual void HandleMouseOut();
  virtual bool Draw(GraphicsCore& graphics) = 0;
  // A value from the plug-in; the first one also becomes the default that a
  // double click restores. Safe to call from the audio thread.
  virtual void ReceivePluginValue(double normalized);
  // A value the user chose through a prompt.
  virtual void ApplyUserValue(double normalized);
  virtual void HandleTextEntry(const char* text);
  virtual void SetHidden(bool hidden);
  virtual void SetGrayed(bool grayed);
  virtual bool HitTest(int x, int y) const;
  // Clamps the value, marks the control for redrawing and, with push, sends
  // the value to the bound parameter.
  virtual void MarkDirty(bool push);
  virtual void MarkClean();
  virtual bool NeedsRedraw() const;
  virtual void ReceiveAuxPluginValue(int aux, double normalized);

  void PromptForValue();

  // The graphics core sets itself when the control is added.
  void SetGraphics(GraphicsCore* graphics) { graphics_ = graphics; }
  GraphicsCore* Graphics() const { return graphics_; }
  PluginCore* Plugin() const { return plugin_; }

  const PixelRect& Rect() const { return rect_; }
  const PixelRect& TargetRect() const { return targetRect_; }
  void SetTargetRect(const PixelRect& rect) { targetRect_ = rect; }
  int ParamIndex() const { return paramIndex_; }
  double Value() const { return value_.load(std::memory_order_relaxed); }
  void SetValue(double normalized) { value_.store(normalized, std::memory_order_relaxed); }
  double DefaultValue() const { return defaultValue_.load(std::memory_order_relaxed); }
  void SetClamp(double low, double high);
  const BlendSpec& Blend() const { return blend_; }
  TextStyle& Style() { return style_; }
  int TextEntryLength() const { return textEntryLength_; }

  bool IsHidden() const { return hidden_; }
  bool IsGrayed() const { return grayed_; }
  bool PromptDisabled() const { return promptDisabled_; }
  void SetPromptDisabled(bool disabled) { promptDisabled_ = disabled; }
  bool DoubleClickAsSingle() const { return doubleClickAsSingle_; }
  void SetDoubleClickAsSingle(bool on) { doubleClickAsSingle_ = on; }
  bool MouseOverWhenGrayed() const { return mouseOverWhenGrayed_; }
  void SetMouseOverWhenGrayed(bool on) { mouseOverWhenGrayed_ = on; }
  bool PendingRedraw() const { return pendingRedraw_.load(std::memory_order_relaxed); }

  int AuxParamCount() const { return static_cast<int>(aux_.size()); }
  const AuxBinding& AuxParam(int i) const { return aux_[static_cast<size_t>(i)]; }
  void AddAuxParam(int paramIndex) { aux_.push_back({0.0, paramIndex}); }

  void SetValueDisplay(TextControl* control) { valueDisplay_ = control; }
  void SetNameDisplay(TextControl* control) { nameDisplay_ = control; }
  const std::string& Tooltip() const { return tooltip_; }
  void SetTooltip(std::string text) { tooltip_ = std::move(text); }

 protected:
  void SetDirtyFlag() { dirty_.store(true, std::memory_order_relaxed); }
  void SetPendingRedraw() { pendingRedraw_.store(true, std::memory_order_relaxed); }
  void SetBlendWeight(float weight) { blend_.weight = weight; }

 private:
  int textEntryLength_ = 7;
  TextStyle style_;
  PluginCore* plugin_;
  GraphicsCore* graphics_ = nullptr;
  PixelRect rect_;
  PixelRect targetRect_;
  int paramIndex_;
  std::vector<AuxBinding> aux_;
  std::atomic<double> value_{0.0};
  std::atomic<double> defaultValue_{-1.0};
  double clampLow_ = 0.0;
  double clampHigh_ = 1.0;
  std::atomic<bool> dirty_{true};
  bool hidden_ = false;
  bool grayed_ = false;
  std::atomic<bool> pendingRedraw_{false};
  bool promptDisabled_ = true;
  bool doubleClickAsSingle_ = false;
  bool mouseOverWhenGrayed_ = false;
  BlendSpec blend_;
  TextControl* valueDisplay_ = nullptr;
  TextControl* nameDisplay_ = nullptr;
  std::string tooltip_;
};

// True when two values differ as doubles, also when either is not a number.
inline bool ValuesDiffer(double a, double b) { return !(a == b); }

}  // namespace kestro
