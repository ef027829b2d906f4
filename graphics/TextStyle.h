#pragma once

#include <cstdint>

#include "core/FixedText.h"
#include "graphics/ArgbColor.h"

namespace kestro {

class Font;

enum class TextWeight : int32_t { Normal = 0, Bold = 1, Italic = 2 };
enum class TextAlign : int32_t { Near = 0, Centre = 1, Far = 2 };
enum class TextQuality : int32_t { Default = 0, NonAntialiased = 1, Antialiased = 2, ClearType = 3 };

// How a piece of editor text looks. The font is looked up from the face,
// size, orientation and weight on first use and remembered here (not owned:
// fonts live in the module-wide cache).
struct TextStyle {
  FixedText<32> face{"Verdana"};
  int32_t size = 12;
  ArgbColor colour = kOpaqueBlack;
  ArgbColor entryBackground = kOpaqueWhite;
  ArgbColor entryForeground = kOpaqueBlack;
  TextWeight style = TextWeight::Normal;
  TextAlign align = TextAlign::Centre;
  int32_t orientation = 0;  // degrees counter-clockwise
  TextQuality quality = TextQuality::Default;
  Font* cachedFont = nullptr;
};

}  // namespace kestro
