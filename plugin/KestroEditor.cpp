#include "plugin/KestroEditor.h"

#include "graphics/BitmapControl.h"
#include "graphics/FilmstripKnob.h"
#include "graphics/PlatformGraphics.h"
#include "graphics/SwitchControl.h"
#include "graphics/TextControl.h"
#include "plugin/KestroParams.h"
#include "plugin/KestroReadout.h"
#include "core/PluginCore.h"

namespace kestro {

namespace {

enum class Kind { Switch, Knob };

struct ControlSpec {
  Kind kind;
  int resource;
  const char* image;
  int frames;
  int x;
  int y;
  int param;
};

// Controls 1 to 10 in the order they are attached; the knobs are placed to
// the dial printed on the background.
constexpr ControlSpec kControls[] = {
    {Kind::Switch, 110, "resources/img/by.png", 2, 73, 38, ParamBypass},
    {Kind::Switch, 113, "resources/img/OVER.png", 2, 0, 124, ParamOversample},
    {Kind::Knob, 103, "resources/img/Thr.png", 61, 636, 38, ParamThreshold},
    {Kind::Knob, 108, "resources/img/Out.png", 61, 728, 38, ParamOutput},
    {Kind::Knob, 104, "resources/img/Atk.png", 6, 538, 38, ParamAttack},
    {Kind::Knob, 106, "resources/img/Rel.png", 6, 447, 38, ParamRelease},
    {Kind::Knob, 109, "resources/img/Rat.png", 6, 353, 38, ParamRatio},
    {Kind::Knob, 111, "resources/img/Side.png", 61, 167, 38, ParamSide},
    {Kind::Knob, 112, "resources/img/Mix.png", 61, 261, 38, ParamMix},
    {Kind::Switch, 119, "resources/img/SC.png", 2, 920, 122, ParamSidechain},
};

constexpr double kKnobGearing = 4.0;
constexpr PixelRect kCaptionRect{49, 29, 149, 49};
constexpr const char* kCaption = "Version 6.1.0";
// The read-out sits in the empty strip right of the title, above the knobs'
// dial marks, and stays about a second after the pointer or gesture goes.
constexpr PixelRect kReadoutRect{160, 6, 800, 26};
constexpr int kReadoutLingerTicks = kEditorFrameRate;

}  // namespace

std::unique_ptr<GraphicsCore> BuildKestroEditor(PluginCore* plugin, int& meterControl) {
  std::unique_ptr<GraphicsCore> editor = CreatePlatformGraphics(plugin, kEditorWidth, kEditorHeight, kEditorFrameRate);
  editor->AddBackground(105, "resources/img/bg.png");

  for (const ControlSpec& c : kControls) {
    const BitmapStrip strip = editor->LoadBitmapStrip(c.resource, c.image, c.frames);
    if (c.kind == Kind::Switch) {
      editor->AddControl(std::make_unique<SwitchControl>(plugin, c.x, c.y, c.param, strip, 0));
    } else {
      editor->AddControl(std::make_unique<FilmstripKnob>(plugin, c.x, c.y, c.param, strip,
                                                         FilmstripKnob::Vertical, kKnobGearing));
    }
  }

  const BitmapStrip meter = editor->LoadBitmapStrip(107, "resources/img/vu.png", 61);
  meterControl = editor->AddControl(std::make_unique<BitmapControl>(plugin, 816, 9, -1, meter, 0));

  TextStyle caption;
  caption.face = "Verdana";
  caption.size = 14;
  caption.colour = kOpaqueBlack;
  editor->AddControl(std::make_unique<TextControl>(plugin, kCaptionRect, caption, kCaption));

  TextStyle readoutStyle = caption;
  readoutStyle.align = TextAlign::Near;
  const int readout = editor->AddControl(std::make_unique<TextControl>(plugin, kReadoutRect, readoutStyle, ""));
  editor->SetReadout(
      readout,
      [plugin](int param) {
        const IParamEntry* entry = plugin != nullptr ? plugin->ParamAt(param) : nullptr;
        return entry != nullptr ? KestroReadout(param, entry->Value()) : std::string();
      },
      kReadoutLingerTicks);
  // The read-out follows the pointer over the controls.
  editor->SetHandleMouseOver(true);
  return editor;
}

}  // namespace kestro
