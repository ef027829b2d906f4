#include "graphics/TextControl.h"

#include "graphics/GraphicsCore.h"

namespace kestro {

TextControl::TextControl(PluginCore* plugin, const PixelRect& rect, const TextStyle& style, const char* text)
    : Control(plugin, rect, -1, BlendSpec{0, 1.0f}), text_(text != nullptr ? text : "") {
  Style() = style;
}

TextControl::~TextControl() = default;

bool TextControl::Draw(GraphicsCore& graphics) {
  if (text_.empty()) return true;
  PixelRect rect = Rect();
  return graphics.RenderText(Style(), text_.c_str(), rect, false);
}

void TextControl::ReceivePluginText(const char* text) {
  const char* t = text != nullptr ? text : "";
  if (text_ != t) {
    MarkDirty(false);
    text_ = t;
  }
}

}  // namespace kestro
