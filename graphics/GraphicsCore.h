#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/IEditor.h"
#include "graphics/ArgbColor.h"
#include "graphics/BlendSpec.h"
#include "graphics/Control.h"
#include "graphics/HostRunLoop.h"
#include "graphics/MouseModifiers.h"
#include "graphics/PixelRect.h"
#include "graphics/PopupMenuModel.h"
#include "graphics/ScaleMapping.h"
#include "graphics/TextStyle.h"
#include "graphics/raster/BitmapStrip.h"
#include "graphics/raster/SystemBitmap.h"

namespace kestro {

class PluginCore;

// The editor's model: an ordered list of controls over a fixed-size drawing
// bitmap. It decides what to redraw, routes mouse and keyboard input to the
// control under the pointer (or the one holding the capture) and links
// control values with plug-in parameters both ways.
//
// It owns no window. A platform class derived from it supplies the window,
// its timer, text entry, menus and dialogs through the virtual operations
// below, and calls CollectDirtyRect, DrawRegion and the input entries.
// Everything runs on the editor thread except PushControlValue, which the
// audio thread calls.
class GraphicsCore : public IEditor {
 public:
  GraphicsCore(PluginCore* plugin, int width, int height, int frameRate);
  ~GraphicsCore() override;

  // --- Platform operations (the core has no window) ---
  // Copies that region of the drawing bitmap to the window.
  virtual bool PresentRegion(const PixelRect& rect);
  virtual bool MeasureText(TextStyle& style, const char* text, PixelRect& rect);
  virtual void CancelTextEntry() {}
  virtual void Resize(int width, int height);
  virtual bool IsWindowOpen() const { return WindowHandle() != nullptr; }
  virtual const char* PlatformApiName() const { return ""; }
  // Answers one of the ShowAlert results; the core shows nothing.
  virtual int ShowAlert(const char* text, const char* caption, int type);
  // The menu with its choice set, or null when nothing was chosen or the
  // platform cannot show menus. The caller keeps ownership of menu.
  virtual PopupMenuModel* ShowPopupMenu(PopupMenuModel& menu, const PixelRect& area);
  virtual void ShowTextEntry(Control* control, const TextStyle& style, const PixelRect& rect, const char* text,
                             int paramIndex);
  virtual void HostDirectory(std::string& path) { path.clear(); }
  virtual void ModuleDirectory(std::string& path) { path.clear(); }
  virtual void DesktopDirectory(std::string& path) { path.clear(); }
  virtual void AppDataDirectory(std::string& path, bool /*shared*/) { path.clear(); }
  void UserAppDataDirectory(std::string& path) { AppDataDirectory(path, false); }
  // What a file chooser returned: the chosen path, empty when cancelled.
  virtual void ChooseFile(std::string& path, bool /*save*/, const char* /*directory*/, const char* /*extensions*/) {
    path.clear();
  }
  virtual bool PickColour(ArgbColor& /*colour*/, const char* /*prompt*/) { return false; }
  virtual bool OpenWebLink(const char* /*url*/, const char* /*caption*/, const char* /*confirm*/,
                           const char* /*error*/) {
    return false;
  }
  // Whether this platform's window can live in a host window of that VST3
  // platform type ("HWND", "X11EmbedWindowID"...). The core has no window.
  virtual bool SupportsWindowType(const char* /*type*/) const { return false; }
  virtual void* OpenEditorWindow(void* parent);
  // The host's event loop for windows that need one (X11); set by the view
  // before OpenEditorWindow and cleared after CloseEditorWindow. Not owned.
  void SetHostRunLoop(HostRunLoop* loop) { hostRunLoop_ = loop; }
  HostRunLoop* HostLoop() const { return hostRunLoop_; }
  virtual void CloseEditorWindow() {}
  virtual void* WindowHandle() const { return nullptr; }
  virtual bool ClipboardText(std::string& text) {
    text.clear();
    return false;
  }
  virtual void HidePointer() {}
  virtual void ShowPointer() {}
  // The scale the system has for screens showing parent (a host window
  // about to hold the editor), or 0 when it has none to say.
  virtual double SystemScaleFor(void* /*parent*/) const { return 0.0; }
  // The drawing bitmap now has another device size (a new scale or editor
  // size): an open window takes DeviceWidth() x DeviceHeight() and shows
  // everything again.
  virtual void WindowSizeChanged() {}
  // The bitmap of a PNG resource, or null.
  virtual std::unique_ptr<Bitmap> LoadImageResource(int id, const char* name);

  // --- Building the editor ---
  // The image cached for id (loaded on first use) as a strip of frames; an
  // empty strip when it cannot be loaded.
  BitmapStrip LoadBitmapStrip(int id, const char* name, int frames);
  // Puts an opaque image control at index 0, under every other control.
  void AddBackground(int id, const char* name);
  // Takes the control and returns its index.
  int AddControl(std::unique_ptr<Control> control);

  // --- Scale ---
  // Draws at scale device pixels per editor pixel (1 to 3; anything else is
  // taken as the nearest of those) from now on. The drawing bitmap becomes
  // DeviceWidth() x DeviceHeight(), images come from their twice-as-dense
  // twins (resource id + 100, name@2x.png) where they exist, scaled once
  // per scale, and text is rasterised at the scaled size. Controls, dirty
  // rectangles and input stay in editor pixels: windows map what they
  // receive with Mapping(). True when the scale changed.
  bool SetScale(double scale);
  // Whether the scale follows what the system says of the window's screen
  // (no factor came from the host): a window moved to a screen of another
  // DPI then rescales itself and asks the host for its new size.
  void SetFollowsSystemScale(bool follows) { followsSystemScale_ = follows; }
  bool FollowsSystemScale() const { return followsSystemScale_; }
  double Scale() const { return mapping_.Scale(); }
  const ScaleMapping& Mapping() const { return mapping_; }
  int DeviceWidth() const;
  int DeviceHeight() const;

  // --- Drawing ---
  // Composites the part of strip's (sx, sy)-based area that falls into both
  // dest and the region being drawn.
  bool DrawStripRegion(const BitmapStrip& strip, const PixelRect& dest, int sx, int sy, const BlendSpec& blend);
  // Draws (or with measure, measures and places) text in style; false when
  // no font can be made for the style.
  bool RenderText(TextStyle& style, const char* text, PixelRect& rect, bool measure);
  void PrepareDrawing() override;
  // The union of the dirty controls' rectangles; false when nothing is dirty.
  bool CollectDirtyRect(PixelRect& rect);
  // Redraws the controls touching rect, clipped to it, and presents it.
  bool DrawRegion(const PixelRect& rect);

  // --- Input, in editor pixels ---
  void MouseDown(int x, int y, const MouseModifiers& mods);
  void MouseUp(int x, int y, const MouseModifiers& mods);
  void MouseDrag(int x, int y, const MouseModifiers& mods);
  void MouseDoubleClick(int x, int y, const MouseModifiers& mods);
  void MouseWheel(int x, int y, const MouseModifiers& mods, int steps);
  bool MouseOver(int x, int y, const MouseModifiers& mods);
  void MouseOut();
  bool KeyDown(int x, int y, int key);
  void EndMouseCapture();
  // One tick of the window's redraw timer, before it draws: a wheel run
  // that has rested for a few ticks ends its edit gesture.
  void TimerTick();
  // Ends the wheel run's edit gesture now (the window is closing).
  void EndWheelEdit();

  // --- Value read-out ---
  // The text a read-out shows for a parameter (its name and value).
  using ReadoutText = std::function<std::string(int param)>;
  // While the pointer rests on a control with a parameter, or a drag or a
  // wheel run edits one, the text control at index control shows
  // text(param), updated every timer tick; lingerTicks ticks after that
  // ends it empties again, giving back the picture it covered.
  void SetReadout(int control, ReadoutText text, int lingerTicks);
  // The parameter the read-out speaks of now, or -1.
  int ReadoutParam() const;

  // --- Parameter linkage ---
  void ParamChangedFromPlugin(int param, double value, bool normalized) override;
  void PushControlValue(int control, double normalized) override;
  void PromptParamInput(Control* control, int param, const PixelRect& rect);

  // --- IEditor ---
  int ControlCount() const override { return static_cast<int>(controls_.size()); }
  int ControlParamIndex(int control) const override;
  int ControlAuxParamCount(int control) const override;
  int ControlAuxParamIndex(int control, int aux) const override;
  void ReceivePluginValue(int control, double normalized) override;
  void ReceiveAuxPluginValue(int control, int aux, double normalized) override;

  // --- Access ---
  Control* ControlAt(int index) const;
  PluginCore* Plugin() const { return plugin_; }
  SystemBitmap* DrawingBitmap() const { return bitmap_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int FrameRate() const { return frameRate_; }
  int CapturedControl() const { return captured_; }
  int MouseOverControl() const { return mouseOver_; }
  const PixelRect& DrawRect() const { return drawRect_; }
  void SetStrictDrawing(bool strict) { strictDrawing_ = strict; }
  void SetHandleMouseOver(bool on) { handleMouseOver_ = on; }
  void SetKeyCatcher(std::unique_ptr<Control> control);

 private:
  // Topmost control at (x, y) that is neither hidden nor grayed, or -1.
  int HitTest(int x, int y) const;
  void CallBeginEdit(int param);
  void CallEndEdit(int param);
  // The edit gesture a press began, ended by the release.
  void BeginEdit(int param);
  void EndOpenEdit();

  std::vector<std::unique_ptr<Control>> controls_;
  PluginCore* plugin_;
  PixelRect drawRect_;
  std::unique_ptr<SystemBitmap> bitmap_;
  int width_;
  int height_;
  int frameRate_;
  int captured_ = -1;
  int openEdit_ = -1;  // parameter of the gesture in progress
  // Hosts want every edit inside a gesture, wheel edits too: a run of
  // notches on one parameter is one gesture, open until the wheel rests.
  static constexpr int kWheelRestTicks = 5;
  int wheelEdit_ = -1;
  int wheelRestTicks_ = 0;
  void UpdateReadout();
  int readoutControl_ = -1;
  ReadoutText readoutText_;
  int readoutLinger_ = 0;
  int readoutQuietTicks_ = 0;
  int mouseOver_ = -1;
  int lastX_ = 0;
  int lastY_ = 0;
  bool handleMouseOver_ = false;
  bool strictDrawing_ = true;
  std::unique_ptr<Control> keyCatcher_;
  HostRunLoop* hostRunLoop_ = nullptr;

  // An image's pixels at the current scale, frames laid out as in the image.
  struct DeviceStrip {
    std::unique_ptr<Bitmap> own;  // null when the twin is used as it is
    const Bitmap* bitmap = nullptr;
    int frameWidth = 0;
    int frameHeight = 0;
  };
  const DeviceStrip* DeviceStripFor(const BitmapStrip& strip);
  bool DrawScaledStripRegion(const BitmapStrip& strip, const PixelRect& dest, int sx, int sy, const BlendSpec& blend);
  ScaleMapping mapping_;
  bool followsSystemScale_ = false;
  // Where each loaded image came from, to find its twin.
  std::map<const Bitmap*, std::pair<int, std::string>> imageSources_;
  std::map<std::pair<const Bitmap*, int>, DeviceStrip> deviceStrips_;
};

}  // namespace kestro
