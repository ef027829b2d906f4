#include "graphics/StyledText.h"

namespace kestro {

// Placeholder until the font layer lands: nothing is drawn.
bool RenderStyledText(Bitmap*, TextStyle&, const char* text, PixelRect& rect, bool measure) {
  if (text == nullptr || text[0] == '\0') return true;
  if (measure) rect.bottom = rect.top;
  return true;
}

}  // namespace kestro
