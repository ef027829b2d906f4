#include "tools/host/Utf16Text.h"

namespace kestro {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i], advancing i; malformed input gives
// U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int extra = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    c = lead & 0x07;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + static_cast<size_t>(extra) >= text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = byte(i + static_cast<size_t>(k));
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += static_cast<size_t>(extra) + 1;
  return c;
}

}  // namespace

std::string ToUtf8(const Steinberg::Vst::TChar* text) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  for (size_t i = 0; text[i] != 0; ++i) {
    const char32_t unit = static_cast<char16_t>(text[i]);
    if (unit >= 0xD800 && unit < 0xDC00) {
      const char32_t low = static_cast<char16_t>(text[i + 1]);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
      AppendUtf8(out, kReplacement);
    } else if (unit >= 0xDC00 && unit < 0xE000) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

void ToUtf16(std::string_view text, Steinberg::Vst::TChar* out, int capacity) {
  if (out == nullptr || capacity <= 0) {
    return;
  }
  int used = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char32_t c = DecodeUtf8(text, i);
    if (c >= 0x10000) {
      if (used + 2 > capacity - 1) {
        break;
      }
      out[used++] = static_cast<Steinberg::Vst::TChar>(0xD800 + ((c - 0x10000) >> 10));
      out[used++] = static_cast<Steinberg::Vst::TChar>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      if (used + 1 > capacity - 1) {
        break;
      }
      out[used++] = static_cast<Steinberg::Vst::TChar>(c);
    }
  }
  out[used] = 0;
}

}  // namespace kestro
