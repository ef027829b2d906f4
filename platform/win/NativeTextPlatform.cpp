// Windows half of the text platform: GDI fonts, GDI text drawing into the
// bitmap's memory DC, and GDI rasterisation of single characters into the
// shared glyph raster.
#include <windows.h>

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "graphics/raster/FillRectangle.h"
#include "graphics/raster/TextFlags.h"
#include "graphics/raster/TextPlatform.h"

namespace kestro {

namespace {

// Font heights in pixels beyond any editor's need.
constexpr int kMaxPixelSize = 16384;

COLORREF ToColorRef(PackedPixel colour) {
  return RGB(PixelByte(colour, 2), PixelByte(colour, 1), PixelByte(colour, 0));
}

DWORD FontQuality(int quality) {
  switch (quality) {
    case 0: return DEFAULT_QUALITY;
    case 1: return NONANTIALIASED_QUALITY;
    case 2: return ANTIALIASED_QUALITY;
    case 3: return CLEARTYPE_QUALITY;
    default: return NONANTIALIASED_QUALITY;
  }
}

// True when the text holds at least one well-formed multi-byte UTF-8
// sequence; such text is drawn as UTF-16, anything else byte-wise.
bool HasUtf8Sequence(const unsigned char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const unsigned char lead = text[i];
    if (lead < 0xC2) continue;
    const size_t extra = lead <= 0xDF ? 1 : lead <= 0xEF ? 2 : lead <= 0xF4 ? 3 : 0;
    if (extra == 0 || length - i <= extra) continue;
    bool valid = true;
    for (size_t n = 1; n <= extra; ++n) valid = valid && (text[i + n] & 0xC0) == 0x80;
    if (valid) return true;
  }
  return false;
}

class NativeTextPlatform final : public TextPlatform {
 public:
  void* MakeFont(const FontRequest& request) override {
    // GDI makes a font of any height and fails only when drawing it; refuse
    // the sizes the other platform refuses too.
    if (request.size > kMaxPixelSize || request.size < -kMaxPixelSize) return nullptr;
    const int escapement = request.orientation * 10;  // tenths of a degree
    return CreateFontA(request.size, 0, escapement, escapement, request.bold ? FW_BOLD : FW_NORMAL,
                       request.italic ? TRUE : FALSE, FALSE, FALSE, 0, 0, 0, FontQuality(request.quality), 0,
                       request.face != nullptr ? request.face : "");
  }

  void FreeFont(void* font) override {
    if (font != nullptr) DeleteObject(static_cast<HFONT>(font));
  }

  int LineHeight(void* font, Bitmap* raster) override {
    HDC dc = raster != nullptr ? static_cast<HDC>(raster->SystemContext()) : nullptr;
    if (dc == nullptr || font == nullptr) return 0;
    HGDIOBJ previous = SelectObject(dc, static_cast<HFONT>(font));
    TEXTMETRICA metrics = {};
    const BOOL known = GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    return known ? static_cast<int>(metrics.tmHeight) : 0;
  }

  bool RenderGlyph(void* font, uint32_t code, Bitmap* raster, int margin, int* advance, int* height) override {
    HDC dc = raster != nullptr ? static_cast<HDC>(raster->SystemContext()) : nullptr;
    if (dc == nullptr || font == nullptr || raster->Pixels() == nullptr || code > 0x10FFFF) return false;
    wchar_t text[2];
    int units = 1;
    if (code >= 0x10000) {
      text[0] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      text[1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      units = 2;
    } else {
      text[0] = static_cast<wchar_t>(code);
    }

    HGDIOBJ previous = SelectObject(dc, static_cast<HFONT>(font));
    RECT extent = {0, 0, 0, 0};
    DrawTextW(dc, text, units, &extent, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    *advance = static_cast<int>(extent.right - extent.left);
    *height = static_cast<int>(extent.bottom - extent.top);

    // Our own writes and GDI's must not overlap in flight.
    GdiFlush();
    FillRectangle(raster, 0, 0, *advance + 2 * margin, *height, 0xFF000000, 1.0f, BlitCopy);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 0));
    RECT place = {margin, 0, margin + *advance, *height};
    DrawTextW(dc, text, units, &place, DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    GdiFlush();
    SelectObject(dc, previous);
    return true;
  }

  bool HasNativeDrawing() override { return true; }

  bool RunningUnderWine() override {
    // Asked once per module; the answer holds for its lifetime.
    static const bool underWine = [] {
      HKEY key = nullptr;
      if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Wine", &key) != ERROR_SUCCESS) return false;
      RegCloseKey(key);
      return true;
    }();
    return underWine;
  }

  int DrawNative(void* font, Bitmap* target, const char* text, int length, TextRect* rect, uint32_t flags,
                 const Colours& colours) override {
    HDC dc = target != nullptr ? static_cast<HDC>(target->SystemContext()) : nullptr;
    if (dc == nullptr || font == nullptr || text == nullptr || rect == nullptr) return 0;
    const size_t bytes = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    if (bytes > static_cast<size_t>(INT_MAX - 64)) return 0;

    HGDIOBJ previous = SelectObject(dc, static_cast<HFONT>(font));
    SetTextColor(dc, ToColorRef(colours.text));
    SetBkMode(dc, colours.backgroundMode == 2 ? OPAQUE : TRANSPARENT);
    if (colours.backgroundMode == 2) SetBkColor(dc, ToColorRef(colours.background));

    RECT area = {rect->left, rect->top, rect->right, rect->bottom};
    const UINT format = flags | TextNoPrefix;
    int result = 0;
    if (HasUtf8Sequence(reinterpret_cast<const unsigned char*>(text), bytes)) {
      // UTF-16 never needs more units than the UTF-8 has bytes.
      wchar_t local[1024];
      std::unique_ptr<wchar_t[]> heap;
      wchar_t* wide = local;
      int capacity = 1024;
      const int needed = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(bytes), nullptr, 0);
      if (needed >= 1000) {
        heap.reset(new (std::nothrow) wchar_t[bytes + 32]);
        wide = heap.get();
        capacity = static_cast<int>(bytes + 32);
      }
      if (wide != nullptr) {
        const int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(bytes), wide, capacity);
        result = DrawTextW(dc, wide, units, &area, format);
      }
    } else {
      result = DrawTextA(dc, text, static_cast<int>(bytes), &area, format);
    }
    if ((flags & TextMeasure) != 0) {
      *rect = {static_cast<int>(area.left), static_cast<int>(area.top), static_cast<int>(area.right),
               static_cast<int>(area.bottom)};
    }
    SelectObject(dc, previous);
    GdiFlush();
    return result;
  }
};

}  // namespace

TextPlatform& TextPlatform::Native() {
  static NativeTextPlatform platform;
  return platform;
}

}  // namespace kestro
