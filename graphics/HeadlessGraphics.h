#pragma once

#include <string>
#include <utility>
#include <vector>

#include "graphics/GraphicsCore.h"

namespace kestro {

// The editor without a window: it draws into its bitmap and records what a
// window layer would have been asked to do, so tests and the snapshot tool
// can drive and inspect the editor. Menus and alerts answer with scripted
// choices.
class HeadlessGraphics : public GraphicsCore {
 public:
  struct TextEntryRequest {
    Control* control = nullptr;
    PixelRect rect;
    std::string text;
    int paramIndex = -1;
  };

  using GraphicsCore::GraphicsCore;

  bool PresentRegion(const PixelRect& rect) override;
  const char* PlatformApiName() const override { return "Headless"; }
  int ShowAlert(const char* text, const char* caption, int type) override;
  PopupMenuModel* ShowPopupMenu(PopupMenuModel& menu, const PixelRect& area) override;
  void ShowTextEntry(Control* control, const TextStyle& style, const PixelRect& rect, const char* text,
                     int paramIndex) override;
  bool SupportsWindowType(const char* type) const override;
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* WindowHandle() const override { return windowOpen_ ? const_cast<HeadlessGraphics*>(this) : nullptr; }
  double SystemScaleFor(void* /*parent*/) const override { return systemScale; }
  void WindowSizeChanged() override;

  // One tick of a window's redraw timer: draws whatever is dirty. True when
  // anything was drawn.
  bool Tick();

  // What the editor asked for.
  std::vector<PixelRect> presented;
  std::vector<PopupMenuModel> menusShown;
  std::vector<TextEntryRequest> textEntries;
  std::vector<std::string> alerts;
  // The device sizes an open window was given, in order.
  std::vector<std::pair<int, int>> windowSizes;
  void* lastParent = nullptr;
  int windowsOpened = 0;

  // The host window type this editor pretends to live in; none by default,
  // since there is no window to show.
  std::string acceptedWindowType;
  // Scripted answers.
  int menuChoice = -1;
  int alertAnswer = 0;
  bool failWindowCreation = false;
  // What the system says of a parent window's screen (0: nothing).
  double systemScale = 0.0;

 private:
  bool windowOpen_ = false;
};

}  // namespace kestro
