#pragma once

#include <string>

#include "graphics/Control.h"

namespace kestro {

// A static text drawn in its style inside the control's rectangle.
class TextControl : public Control {
 public:
  TextControl(PluginCore* plugin, const PixelRect& rect, const TextStyle& style, const char* text);
  ~TextControl() override;

  bool Draw(GraphicsCore& graphics) override;
  // Shows text, marking the control for redrawing when it changed.
  void ReceivePluginText(const char* text);

  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace kestro
