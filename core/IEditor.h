#pragma once

namespace kestro {

// What the plug-in core needs of its editor. The graphics layer implements
// it; the core sees nothing else, so it never depends on the graphics code.
// Every call except PushControlValue runs with the parameter lock held or on
// the editor's own thread; PushControlValue comes from the audio thread and
// must only store the value and mark the control for redrawing.
class IEditor {
 public:
  virtual ~IEditor() = default;

  virtual int ControlCount() const = 0;
  // Parameter a control is bound to, or -1.
  virtual int ControlParamIndex(int control) const = 0;
  virtual int ControlAuxParamCount(int control) const = 0;
  virtual int ControlAuxParamIndex(int control, int aux) const = 0;
  // Shows a normalised value from the plug-in without telling the host.
  virtual void ReceivePluginValue(int control, double normalized) = 0;
  virtual void ReceiveAuxPluginValue(int control, int aux, double normalized) = 0;

  virtual void PrepareDrawing() = 0;
  // Updates every control bound to a parameter.
  virtual void ParamChangedFromPlugin(int param, double value, bool normalized) = 0;
  // Hands a value to one control by index; out-of-range indexes are ignored.
  virtual void PushControlValue(int control, double normalized) = 0;
};

}  // namespace kestro
