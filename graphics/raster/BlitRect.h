#pragma once

namespace kestro {

// Source rectangle of a blit in source pixels; right and bottom exclusive.
struct BlitRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

}  // namespace kestro
