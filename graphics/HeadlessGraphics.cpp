#include "graphics/HeadlessGraphics.h"

namespace kestro {

bool HeadlessGraphics::PresentRegion(const PixelRect& rect) {
  presented.push_back(rect);
  return true;
}

int HeadlessGraphics::ShowAlert(const char* text, const char*, int) {
  alerts.emplace_back(text != nullptr ? text : "");
  return alertAnswer;
}

PopupMenuModel* HeadlessGraphics::ShowPopupMenu(PopupMenuModel& menu, const PixelRect&) {
  menusShown.push_back(menu);
  if (menuChoice < 0 || menuChoice >= static_cast<int>(menu.items.size())) return nullptr;
  menu.chosen = menuChoice;
  return &menu;
}

void HeadlessGraphics::ShowTextEntry(Control* control, const TextStyle&, const PixelRect& rect, const char* text,
                                     int paramIndex) {
  textEntries.push_back({control, rect, text != nullptr ? text : "", paramIndex});
}

bool HeadlessGraphics::SupportsWindowType(const char* type) const {
  return type != nullptr && !acceptedWindowType.empty() && acceptedWindowType == type;
}

void* HeadlessGraphics::OpenEditorWindow(void* parent) {
  if (failWindowCreation) return nullptr;
  lastParent = parent;
  windowOpen_ = true;
  ++windowsOpened;
  return this;
}

void HeadlessGraphics::CloseEditorWindow() { windowOpen_ = false; }

bool HeadlessGraphics::Tick() {
  TimerTick();
  PixelRect dirty;
  if (!CollectDirtyRect(dirty)) return false;
  DrawRegion(dirty);
  return true;
}

void HeadlessGraphics::WindowSizeChanged() {
  if (windowOpen_) windowSizes.emplace_back(DeviceWidth(), DeviceHeight());
}

}  // namespace kestro
