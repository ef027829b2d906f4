#pragma once

namespace kestro {

// A rectangle of bitmap pixels for text placement and measuring; right and
// bottom are exclusive. The editor's own rectangle type lives a layer above
// and converts to this one.
struct TextRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

}  // namespace kestro
