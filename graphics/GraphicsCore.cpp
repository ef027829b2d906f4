#include "graphics/GraphicsCore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/PluginCore.h"
#include "graphics/BitmapControl.h"
#include "graphics/StyledText.h"
#include "graphics/TextControl.h"
#include "graphics/raster/Blit.h"
#include "graphics/raster/ImageCache.h"
#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/PngResource.h"
#include "graphics/raster/Resample.h"

namespace kestro {

GraphicsCore::GraphicsCore(PluginCore* plugin, int width, int height, int frameRate)
    : plugin_(plugin), width_(width), height_(height), frameRate_(frameRate) {}

GraphicsCore::~GraphicsCore() {
  keyCatcher_.reset();
  controls_.clear();
  bitmap_.reset();
}

// --- Platform defaults -----------------------------------------------------

bool GraphicsCore::PresentRegion(const PixelRect&) { return true; }

bool GraphicsCore::MeasureText(TextStyle& style, const char* text, PixelRect& rect) {
  return RenderText(style, text, rect, true);
}

void GraphicsCore::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  EndMouseCapture();
  mouseOver_ = -1;
  keyCatcher_.reset();
  controls_.clear();
  bitmap_.reset();
  PrepareDrawing();
  WindowSizeChanged();
  if (plugin_ != nullptr) plugin_->ResizeEditor(width, height);
}

int GraphicsCore::ShowAlert(const char*, const char*, int) { return 0; }

PopupMenuModel* GraphicsCore::ShowPopupMenu(PopupMenuModel&, const PixelRect&) { return nullptr; }

void GraphicsCore::ShowTextEntry(Control*, const TextStyle&, const PixelRect&, const char*, int) {}

void* GraphicsCore::OpenEditorWindow(void*) { return nullptr; }

std::unique_ptr<Bitmap> GraphicsCore::LoadImageResource(int id, const char* name) {
  return LoadPngResource(id, name);
}

// --- Building ----------------------------------------------------------------

BitmapStrip GraphicsCore::LoadBitmapStrip(int id, const char* name, int frames) {
  Bitmap* bitmap = ImageCache::Module().FindOrLoad(id, [&] { return LoadImageResource(id, name); });
  if (bitmap != nullptr) imageSources_[bitmap] = {id, name != nullptr ? name : ""};
  BitmapStrip strip = BitmapStrip::FromBitmap(bitmap, frames);
  return strip;
}

void GraphicsCore::AddBackground(int id, const char* name) {
  const BitmapStrip strip = LoadBitmapStrip(id, name, 1);
  auto background = std::make_unique<BitmapControl>(plugin_, 0, 0, -1, strip, 1);
  background->SetGraphics(this);
  controls_.insert(controls_.begin(), std::move(background));
  // Indexes moved up by one.
  if (captured_ >= 0) ++captured_;
  if (mouseOver_ >= 0) ++mouseOver_;
}

int GraphicsCore::AddControl(std::unique_ptr<Control> control) {
  if (!control) return -1;
  control->SetGraphics(this);
  controls_.push_back(std::move(control));
  return ControlCount() - 1;
}

void GraphicsCore::SetKeyCatcher(std::unique_ptr<Control> control) {
  if (control) control->SetGraphics(this);
  keyCatcher_ = std::move(control);
}

Control* GraphicsCore::ControlAt(int index) const {
  if (index < 0 || index >= ControlCount()) return nullptr;
  return controls_[static_cast<size_t>(index)].get();
}

// --- Scale -------------------------------------------------------------------

namespace {

// Twins are drawn at this density and found this far above their image.
constexpr double kTwinDensity = 2.0;
constexpr int kTwinIdOffset = 100;

std::string TwinName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name + "@2x" : name.substr(0, dot) + "@2x" + name.substr(dot);
}

}  // namespace

bool GraphicsCore::SetScale(double scale) {
  const ScaleMapping mapping(scale);
  if (mapping == mapping_) return false;
  mapping_ = mapping;
  deviceStrips_.clear();
  if (bitmap_) PrepareDrawing();
  for (const auto& control : controls_) control->MarkDirty(false);
  WindowSizeChanged();
  return true;
}

int GraphicsCore::DeviceWidth() const { return mapping_.ToDevice(width_); }
int GraphicsCore::DeviceHeight() const { return mapping_.ToDevice(height_); }

const GraphicsCore::DeviceStrip* GraphicsCore::DeviceStripFor(const BitmapStrip& strip) {
  if (strip.bitmap == nullptr || strip.width <= 0 || strip.height <= 0) return nullptr;
  const auto key = std::make_pair(static_cast<const Bitmap*>(strip.bitmap), strip.Frames());
  if (auto found = deviceStrips_.find(key); found != deviceStrips_.end()) return &found->second;

  // The twin counts only if it is exactly twice the image, frame for frame.
  const Bitmap* twin = nullptr;
  if (auto source = imageSources_.find(strip.bitmap); source != imageSources_.end()) {
    const int id = source->second.first + kTwinIdOffset;
    const std::string name = TwinName(source->second.second);
    const Bitmap* candidate = ImageCache::Module().FindOrLoad(id, [&] { return LoadImageResource(id, name.c_str()); });
    if (candidate != nullptr && candidate->Width() == 2 * strip.width && candidate->Height() == 2 * strip.height) {
      twin = candidate;
    }
  }
  const int frames = strip.Frames();
  const bool across = strip.framesHorizontal;
  DeviceStrip device;
  device.frameWidth = std::max(mapping_.ToDevice(strip.FrameWidth()), 1);
  device.frameHeight = std::max(mapping_.ToDevice(strip.FrameHeight()), 1);
  const int extent = across ? strip.width : strip.height;
  if (twin != nullptr && mapping_.Scale() == kTwinDensity && extent % frames == 0) {
    device.bitmap = twin;  // pixel for pixel
  } else {
    auto own = std::make_unique<MemBitmap>();
    if (!own->Resize(across ? device.frameWidth * frames : device.frameWidth,
                     across ? device.frameHeight : device.frameHeight * frames)) {
      return nullptr;
    }
    const Bitmap& from = twin != nullptr ? *twin : *strip.bitmap;
    const int density = twin != nullptr ? 2 : 1;
    for (int n = 0; n < frames; ++n) {
      const int x = across ? strip.FrameOffset(n) : 0;
      const int y = across ? 0 : strip.FrameOffset(n);
      const BlitRect source{density * x, density * y, density * (x + strip.FrameWidth()),
                            density * (y + strip.FrameHeight())};
      const int dx = across ? n * device.frameWidth : 0;
      const int dy = across ? 0 : n * device.frameHeight;
      ResampleRect(from, source, *own, BlitRect{dx, dy, dx + device.frameWidth, dy + device.frameHeight});
    }
    device.bitmap = own.get();
    device.own = std::move(own);
  }
  return &deviceStrips_.emplace(key, std::move(device)).first->second;
}

// --- Drawing -----------------------------------------------------------------

bool GraphicsCore::DrawStripRegion(const BitmapStrip& strip, const PixelRect& dest, int sx, int sy,
                                   const BlendSpec& blend) {
  if (!mapping_.IsIdentity()) return DrawScaledStripRegion(strip, dest, sx, sy, blend);
  const PixelRect clip = Intersection(dest, drawRect_);
  const BlitRect source{sx + clip.left - dest.left, sy + clip.top - dest.top, sx + clip.right - dest.left,
                        sy + clip.bottom - dest.top};
  // An all-zero clip gives an empty source: nothing is drawn.
  if (source.right > source.left && source.bottom > source.top) {
    Blit(bitmap_.get(), strip.bitmap, clip.left, clip.top, &source, blend.weight, blend.Mode());
  }
  return true;
}

bool GraphicsCore::DrawScaledStripRegion(const BitmapStrip& strip, const PixelRect& dest, int sx, int sy,
                                         const BlendSpec& blend) {
  const PixelRect clip = Intersection(dest, drawRect_);
  if (clip.right <= clip.left || clip.bottom <= clip.top) return true;
  const DeviceStrip* device = DeviceStripFor(strip);
  if (device == nullptr) return true;
  // The frame the source origin lies in, and the offset inside it.
  const bool across = strip.framesHorizontal;
  const int along = across ? sx : sy;
  const int frames = strip.Frames();
  const int extent = across ? strip.width : strip.height;
  int n = std::clamp(static_cast<int>(static_cast<int64_t>(along) * frames / extent), 0, frames - 1);
  while (n > 0 && strip.FrameOffset(n) > along) --n;
  while (n + 1 < frames && strip.FrameOffset(n + 1) <= along) ++n;
  const int inFrame = along - strip.FrameOffset(n);
  const int frameStart = n * (across ? device->frameWidth : device->frameHeight);
  const int originX = across ? frameStart + mapping_.ToDevice(inFrame) : mapping_.ToDevice(sx);
  const int originY = across ? mapping_.ToDevice(sy) : frameStart + mapping_.ToDevice(inFrame);

  const PixelRect to = mapping_.ToDevice(dest), part = mapping_.ToDevice(clip);
  BlitRect source{originX + part.left - to.left, originY + part.top - to.top, originX + part.right - to.left,
                  originY + part.bottom - to.top};
  // Rounding must never reach into the next frame.
  const int frameEnd = frameStart + (across ? device->frameWidth : device->frameHeight);
  if (across) {
    source.right = std::min(source.right, frameEnd);
    source.bottom = std::min(source.bottom, device->bitmap->Height());
  } else {
    source.bottom = std::min(source.bottom, frameEnd);
    source.right = std::min(source.right, device->bitmap->Width());
  }
  if (source.right > source.left && source.bottom > source.top) {
    Blit(bitmap_.get(), device->bitmap, part.left, part.top, &source, blend.weight, blend.Mode());
  }
  return true;
}

bool GraphicsCore::RenderText(TextStyle& style, const char* text, PixelRect& rect, bool measure) {
  if (mapping_.IsIdentity()) return RenderStyledText(bitmap_.get(), style, text, rect, measure);
  // Rasterised at the scaled size, never a scaled bitmap of the text. The
  // style's remembered font is the editor-sized one, so a copy looks its
  // own up.
  TextStyle scaled = style;
  scaled.size = mapping_.ToDevice(style.size);
  scaled.cachedFont = nullptr;
  PixelRect device = mapping_.ToDevice(rect);
  const bool ok = RenderStyledText(bitmap_.get(), scaled, text, device, measure);
  if (measure) {
    rect = mapping_.ToEditor(device);
  }
  return ok;
}

void GraphicsCore::PrepareDrawing() { bitmap_ = std::make_unique<SystemBitmap>(DeviceWidth(), DeviceHeight()); }

bool GraphicsCore::CollectDirtyRect(PixelRect& rect) {
  rect = {};
  bool dirty = false;
  for (const auto& control : controls_) {
    if (control->NeedsRedraw()) {
      rect = Union(rect, control->Rect());
      dirty = true;
    }
  }
  return dirty;
}

bool GraphicsCore::DrawRegion(const PixelRect& requested) {
  if (controls_.empty()) return true;
  // Drawing never reaches outside the bitmap, whatever region a window
  // layer asks for.
  const PixelRect bounds = bitmap_ ? PixelRect{0, 0, width_, height_} : PixelRect{};
  const PixelRect r = Intersection(requested, bounds);
  if (strictDrawing_) {
    drawRect_ = r;
    for (const auto& control : controls_) {
      if (!control->IsHidden() && Intersects(r, control->Rect())) control->Draw(*this);
      control->MarkClean();
    }
  } else {
    Control& background = *controls_.front();
    if (background.NeedsRedraw()) {
      drawRect_ = Intersection(background.Rect(), bounds);
      for (size_t i = 0; i < controls_.size(); ++i) {
        Control& c = *controls_[i];
        if (i == 0 || !c.IsHidden()) {
          c.Draw(*this);
          c.MarkClean();
        }
      }
    } else {
      for (size_t i = 1; i < controls_.size(); ++i) {
        Control& dirty = *controls_[i];
        if (!dirty.NeedsRedraw()) continue;
        drawRect_ = Intersection(dirty.Rect(), bounds);
        for (size_t j = 0; j < controls_.size(); ++j) {
          Control& c = *controls_[j];
          if (c.IsHidden()) continue;
          if (j == i || Intersects(c.Rect(), drawRect_)) c.Draw(*this);
        }
        dirty.MarkClean();
      }
    }
  }
  return PresentRegion(mapping_.ToDevice(r));
}

// --- Input -------------------------------------------------------------------

int GraphicsCore::HitTest(int x, int y) const {
  for (int i = ControlCount() - 1; i >= 0; --i) {
    const Control& c = *controls_[static_cast<size_t>(i)];
    if (!c.IsHidden() && !c.IsGrayed() && c.HitTest(x, y)) return i;
  }
  return -1;
}

void GraphicsCore::EndMouseCapture() {
  captured_ = -1;
  lastX_ = -1;
  lastY_ = -1;
}

void GraphicsCore::CallBeginEdit(int param) {
  if (plugin_ != nullptr && param >= 0) plugin_->BeginParamEdit(param);
}

void GraphicsCore::CallEndEdit(int param) {
  if (plugin_ != nullptr && param >= 0) plugin_->EndParamEdit(param);
}

void GraphicsCore::MouseDown(int x, int y, const MouseModifiers& mods) {
  // A press whose release never came (capture taken away) still ends, and
  // so does a wheel run.
  EndOpenEdit();
  EndWheelEdit();
  EndMouseCapture();
  const int hit = HitTest(x, y);
  if (hit < 0) return;
  captured_ = hit;
  lastX_ = x;
  lastY_ = y;
  Control& c = *controls_[static_cast<size_t>(hit)];
  const int param = c.ParamIndex();
  if (plugin_ != nullptr && plugin_->ApiKind() == PluginApi::Vst3 && mods.right && param >= 0) {
    // The host's own parameter menu (automation, MIDI learn...) instead of
    // an edit gesture.
    EndMouseCapture();
    plugin_->ShowHostParamMenu(param, mapping_.ToDevice(x), mapping_.ToDevice(y));
    return;
  }
  BeginEdit(param);
  c.HandleMouseDown(x, y, mods);
}

void GraphicsCore::BeginEdit(int param) {
  CallBeginEdit(param);
  openEdit_ = param;
}

void GraphicsCore::EndOpenEdit() {
  const int param = openEdit_;
  openEdit_ = -1;
  CallEndEdit(param);
}

void GraphicsCore::MouseDrag(int x, int y, const MouseModifiers& mods) {
  Control* c = ControlAt(captured_);
  if (c == nullptr || (x == lastX_ && y == lastY_)) return;
  const int dx = x - lastX_;
  const int dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  c->HandleMouseDrag(x, y, dx, dy, mods);
}

void GraphicsCore::MouseUp(int x, int y, const MouseModifiers& mods) {
  const int target = captured_ >= 0 ? captured_ : HitTest(x, y);
  EndMouseCapture();
  Control* c = ControlAt(target);
  if (c == nullptr) return;
  c->HandleMouseUp(x, y, mods);
  // Only the edit a press began: a release after a right click (host menu)
  // or after a double click has none to end.
  EndOpenEdit();
}

void GraphicsCore::MouseDoubleClick(int x, int y, const MouseModifiers& mods) {
  EndOpenEdit();
  EndWheelEdit();
  EndMouseCapture();
  const int hit = HitTest(x, y);
  if (hit < 0) return;
  Control& c = *controls_[static_cast<size_t>(hit)];
  if (c.DoubleClickAsSingle()) {
    captured_ = hit;
    lastX_ = x;
    lastY_ = y;
    BeginEdit(c.ParamIndex());
    c.HandleMouseDown(x, y, mods);
  } else {
    // The host sees the reset as one whole gesture.
    CallBeginEdit(c.ParamIndex());
    c.HandleDoubleClick(x, y, mods);
    CallEndEdit(c.ParamIndex());
  }
}

void GraphicsCore::MouseWheel(int x, int y, const MouseModifiers& mods, int steps) {
  Control* c = ControlAt(captured_ >= 0 ? captured_ : HitTest(x, y));
  if (c == nullptr) return;
  const int param = c->ParamIndex();
  // Wheeling the knob a press holds is inside that press's gesture.
  if (c->EditsOnWheel() && param >= 0 && param != openEdit_) {
    if (param != wheelEdit_) {
      EndWheelEdit();
      CallBeginEdit(param);
      wheelEdit_ = param;
    }
    wheelRestTicks_ = 0;
  }
  c->HandleWheel(x, y, mods, steps);
}

void GraphicsCore::TimerTick() {
  if (wheelEdit_ >= 0 && ++wheelRestTicks_ >= kWheelRestTicks) EndWheelEdit();
  UpdateReadout();
}

void GraphicsCore::SetReadout(int control, ReadoutText text, int lingerTicks) {
  readoutControl_ = dynamic_cast<TextControl*>(ControlAt(control)) != nullptr ? control : -1;
  readoutText_ = std::move(text);
  readoutLinger_ = std::max(lingerTicks, 0);
  readoutQuietTicks_ = 0;
}

int GraphicsCore::ReadoutParam() const {
  // A drag speaks of its own control wherever the pointer is.
  if (const Control* c = ControlAt(captured_)) return c->ParamIndex();
  if (wheelEdit_ >= 0) return wheelEdit_;
  if (const Control* c = ControlAt(mouseOver_)) return c->ParamIndex();
  return -1;
}

void GraphicsCore::UpdateReadout() {
  auto* readout = dynamic_cast<TextControl*>(ControlAt(readoutControl_));
  if (readout == nullptr || !readoutText_) return;
  const int param = ReadoutParam();
  if (param >= 0) {
    readoutQuietTicks_ = 0;
    readout->ReceivePluginText(readoutText_(param).c_str());
  } else if (!readout->Text().empty() && ++readoutQuietTicks_ >= readoutLinger_) {
    readout->ReceivePluginText("");
  }
}

void GraphicsCore::EndWheelEdit() {
  const int param = wheelEdit_;
  wheelEdit_ = -1;
  wheelRestTicks_ = 0;
  CallEndEdit(param);
}

bool GraphicsCore::MouseOver(int x, int y, const MouseModifiers& mods) {
  if (!handleMouseOver_) return false;
  int target = captured_;
  if (target < 0) {
    for (int i = ControlCount() - 1; i >= 0; --i) {
      const Control& c = *controls_[static_cast<size_t>(i)];
      if (!c.IsHidden() && (!c.IsGrayed() || c.MouseOverWhenGrayed()) && c.HitTest(x, y)) {
        target = i;
        break;
      }
    }
  }
  Control* c = ControlAt(target);
  if (c == nullptr) return handleMouseOver_;
  lastX_ = x;
  lastY_ = y;
  c->HandleMouseOver(x, y, mods);
  if (mouseOver_ != target) {
    if (Control* previous = ControlAt(mouseOver_)) previous->HandleMouseOut();
  }
  mouseOver_ = target;
  return handleMouseOver_;
}

void GraphicsCore::MouseOut() {
  for (const auto& control : controls_) control->HandleMouseOut();
  mouseOver_ = -1;
}

bool GraphicsCore::KeyDown(int x, int y, int key) {
  const int target = captured_ >= 0 ? captured_ : HitTest(x, y);
  Control* c = target > 0 ? ControlAt(target) : keyCatcher_.get();
  if (c == nullptr) return false;
  return c->HandleKeyDown(x, y, key);
}

// --- Parameter linkage ---------------------------------------------------------

void GraphicsCore::ParamChangedFromPlugin(int param, double value, bool normalized) {
  if (!normalized && plugin_ != nullptr) {
    const IParamEntry* entry = plugin_->ParamAt(param);
    if (entry == nullptr) return;
    value = entry->ToNormalized(value);
  }
  for (const auto& control : controls_) {
    if (control->ParamIndex() == param) control->ReceivePluginValue(value);
    for (int a = 0; a < control->AuxParamCount(); ++a) {
      if (control->AuxParam(a).paramIndex == param) {
        control->ReceiveAuxPluginValue(a, value);
        break;
      }
    }
  }
}

void GraphicsCore::PushControlValue(int control, double normalized) {
  if (Control* c = ControlAt(control)) c->ReceivePluginValue(normalized);
}

void GraphicsCore::PromptParamInput(Control* control, int param, const PixelRect& rect) {
  if (control == nullptr || plugin_ == nullptr || rect.Empty()) return;
  const IParamEntry* entry = plugin_->ParamAt(param);
  if (entry == nullptr) return;
  const bool menu = entry->Type() == ParamType::Enumerated ||
                    (entry->Type() == ParamType::Boolean && entry->DisplayTextCount() > 0);
  if (menu) {
    PopupMenuModel model;
    const char* current = entry->DisplayTextFor(entry->Value());
    for (int v = 0; v < entry->DisplayTextCount(); ++v) {
      const char* text = "";
      for (int i = 0; i < entry->DisplayTextCount(); ++i) {
        if (entry->DisplayTextAt(i).value == v) {
          text = entry->DisplayTextAt(i).text.c_str();
          break;
        }
      }
      model.AddItem(text, std::string(text) == current ? PopupMenuModel::kItemTicked : 0);
    }
    if (PopupMenuModel* chosen = ShowPopupMenu(model, rect); chosen != nullptr && chosen->chosen >= 0) {
      control->ApplyUserValue(entry->ToNormalized(chosen->chosen));
    }
    return;
  }
  double value = entry->Value();
  if (entry->NegateDisplay()) value = -value;
  char text[64];
  if (entry->DisplayPrecision() != 0) {
    std::snprintf(text, sizeof text, "%.*f", entry->DisplayPrecision(), value);
  } else {
    // Saturate instead of converting NaN or huge values undefinedly.
    const double t = std::isnan(value) ? 0.0 : std::clamp(std::trunc(value), -2147483648.0, 2147483647.0);
    std::snprintf(text, sizeof text, "%d", static_cast<int>(t));
  }
  ShowTextEntry(control, control->Style(), rect, text, param);
}

// --- IEditor -----------------------------------------------------------------

int GraphicsCore::ControlParamIndex(int control) const {
  const Control* c = ControlAt(control);
  return c != nullptr ? c->ParamIndex() : -1;
}

int GraphicsCore::ControlAuxParamCount(int control) const {
  const Control* c = ControlAt(control);
  return c != nullptr ? c->AuxParamCount() : 0;
}

int GraphicsCore::ControlAuxParamIndex(int control, int aux) const {
  const Control* c = ControlAt(control);
  if (c == nullptr || aux < 0 || aux >= c->AuxParamCount()) return -1;
  return c->AuxParam(aux).paramIndex;
}

void GraphicsCore::ReceivePluginValue(int control, double normalized) {
  if (Control* c = ControlAt(control)) c->ReceivePluginValue(normalized);
}

void GraphicsCore::ReceiveAuxPluginValue(int control, int aux, double normalized) {
  if (Control* c = ControlAt(control)) c->ReceiveAuxPluginValue(aux, normalized);
}

}  // namespace kestro
