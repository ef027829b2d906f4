#include "tools/host/ClassIdText.h"

#include <cstdio>

namespace kestro {

using namespace Steinberg;

namespace {

// The bytes in the order their text lists them on the given platform.
void TextOrder(const TUID cid, ClassIdLayout layout, uint8 (&bytes)[16]) {
#if COM_COMPATIBLE
  const bool thisIsWindows = true;
#else
  const bool thisIsWindows = false;
#endif
  const bool guid = layout == ClassIdLayout::kWindows || (layout == ClassIdLayout::kThisPlatform && thisIsWindows);
  static constexpr int kGuidOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8>(cid[guid ? kGuidOrder[i] : i]);
}

}  // namespace

std::string ClassIdText(const TUID cid, ClassIdLayout layout) {
  uint8 bytes[16];
  TextOrder(cid, layout, bytes);
  char text[33] = {};
  for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02X", bytes[i]);
  return text;
}

FUID ClassIdAs(const TUID cid, ClassIdLayout layout) {
  FUID id;
  id.fromString(ClassIdText(cid, layout).c_str());
  return id;
}

}  // namespace kestro
