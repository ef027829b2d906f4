// Linux half of the text platform: faces found through fontconfig and
// rasterised with FreeType. There is no native text drawing here, so fonts
// always take the glyph path.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

#include "graphics/raster/TextPlatform.h"

namespace kestro {

namespace {

// A FreeType library is not safe to share between threads while faces are
// opened or closed, and fonts may be made from any thread: one lock guards
// the library, fontconfig's matching and face creation. The library lives
// while any face does.
std::mutex freeTypeLock;
FT_Library library = nullptr;
int openFaces = 0;
// Our own fontconfig configuration rather than the process's current one: a
// host may use fontconfig itself, and the library's lazily made default is
// never freed.
FcConfig* fontConfig = nullptr;

// Sizes are pixel heights; FreeType's sizes stop well short of this.
constexpr int kMaxPixelSize = 16384;
// What a zero size means, as for the Windows font mapper's default.
constexpr int kDefaultCellHeight = 16;

struct FaceFont {
  FT_Face face = nullptr;
  int lineHeight = 0;
  int ascent = 0;
  bool mono = false;
  bool emboldenGlyphs = false;
  bool slantGlyphs = false;
};

constexpr PackedPixel kOpaqueBlack = 0xFF000000u;

class NativeTextPlatform final : public TextPlatform {
 public:
  ~NativeTextPlatform() override {
    std::lock_guard<std::mutex> guard(freeTypeLock);
    if (fontConfig != nullptr) FcConfigDestroy(fontConfig);
    fontConfig = nullptr;
  }

  void* MakeFont(const FontRequest& request) override {
    if (request.size > kMaxPixelSize || request.size < -kMaxPixelSize) return nullptr;
    std::lock_guard<std::mutex> guard(freeTypeLock);
    FT_Face face = OpenFace(request);
    if (face == nullptr) return nullptr;
    auto* font = new (std::nothrow) FaceFont;
    if (font == nullptr || !SizeFace(face, request.size, font)) {
      delete font;
      CloseFace(face);
      return nullptr;
    }
    font->face = face;
    font->mono = request.quality == 1;
    font->emboldenGlyphs = request.bold && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    font->slantGlyphs = request.italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    return font;
  }

  void FreeFont(void* font) override {
    auto* faceFont = static_cast<FaceFont*>(font);
    if (faceFont == nullptr) return;
    std::lock_guard<std::mutex> guard(freeTypeLock);
    CloseFace(faceFont->face);
    delete faceFont;
  }

  int LineHeight(void* font, Bitmap* /*raster*/) override {
    return font != nullptr ? static_cast<FaceFont*>(font)->lineHeight : 0;
  }

  bool RenderGlyph(void* font, uint32_t code, Bitmap* raster, int margin, int* advance, int* height) override {
    auto* faceFont = static_cast<FaceFont*>(font);
    if (faceFont == nullptr || raster == nullptr || raster->Pixels() == nullptr) return false;
    FT_Face face = faceFont->face;
    const FT_Int32 load = faceFont->mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, code), load) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (faceFont->slantGlyphs) FT_GlyphSlot_Oblique(slot);
    if (faceFont->emboldenGlyphs) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
        FT_Render_Glyph(slot, faceFont->mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
      return false;
    }
    const FT_Bitmap& glyph = slot->bitmap;
    if (glyph.pitch < 0) return false;

    *advance = static_cast<int>((slot->advance.x + 32) >> 6);
    *height = faceFont->lineHeight;
    const int width = std::min(*advance + 2 * margin, raster->Width());
    const int rows = std::min(faceFont->lineHeight, raster->Height());
    for (int y = 0; y < rows; ++y) std::fill_n(raster->Row(y), std::max(width, 0), kOpaqueBlack);

    // Pen at x = margin on the baseline; ink outside the region is dropped.
    const int originX = margin + slot->bitmap_left;
    const int originY = faceFont->ascent - slot->bitmap_top;
    for (int r = 0; r < static_cast<int>(glyph.rows); ++r) {
      const int y = originY + r;
      if (y < 0 || y >= rows) continue;
      const unsigned char* source = glyph.buffer + static_cast<ptrdiff_t>(r) * glyph.pitch;
      PackedPixel* dest = raster->Row(y);
      for (int c = 0; c < static_cast<int>(glyph.width); ++c) {
        const int x = originX + c;
        if (x < 0 || x >= width) continue;
        uint32_t coverage = 0;
        if (glyph.pixel_mode == FT_PIXEL_MODE_MONO) {
          coverage = (source[c >> 3] >> (7 - (c & 7)) & 1) != 0 ? 255 : 0;
        } else if (glyph.pixel_mode == FT_PIXEL_MODE_GRAY) {
          coverage = source[c];
        }
        dest[x] = kOpaqueBlack | coverage * 0x010101u;
      }
    }
    return true;
  }

  bool HasNativeDrawing() override { return false; }
  bool RunningUnderWine() override { return false; }
  int DrawNative(void*, Bitmap*, const char*, int, TextRect*, uint32_t, const Colours&) override { return 0; }

 private:
  // The installed face of that name, else fontconfig's best match for it.
  static FT_Face OpenFace(const FontRequest& request) {
    if (fontConfig == nullptr) fontConfig = FcInitLoadConfigAndFonts();
    if (fontConfig == nullptr) return nullptr;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return nullptr;
    if (request.face != nullptr && request.face[0] != '\0') {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.face));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(fontConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(fontConfig, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return nullptr;

    FT_Face face = nullptr;
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      if (openFaces > 0 || FT_Init_FreeType(&library) == 0) {
        ++openFaces;
        if (FT_New_Face(library, reinterpret_cast<const char*>(file), index, &face) != 0) {
          face = nullptr;
          CloseFace(nullptr);
        }
      }
    }
    FcPatternDestroy(match);
    return face;
  }

  // Closes a face (null: only gives back the library reference).
  static void CloseFace(FT_Face face) {
    if (face != nullptr) FT_Done_Face(face);
    if (--openFaces == 0) {
      FT_Done_FreeType(library);
      library = nullptr;
    }
  }

  // Scales the face so that its cell (ascent + descent, as the Windows
  // metrics count them) is the requested pixel height; a negative size is
  // the em height instead.
  static bool SizeFace(FT_Face face, int size, FaceFont* font) {
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return false;
    long ascent = face->ascender;
    long descent = -face->descender;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      ascent = os2->usWinAscent;
      descent = os2->usWinDescent;
    }
    const long cell = ascent + descent;
    if (cell <= 0) return false;
    if (size == 0) size = kDefaultCellHeight;
    double em = 0.0;
    if (size > 0) {
      em = static_cast<double>(size) * face->units_per_EM / static_cast<double>(cell);
      font->ascent = static_cast<int>(std::lround(static_cast<double>(size) * ascent / static_cast<double>(cell)));
      font->lineHeight = size;
    } else {
      em = -static_cast<double>(size);
      const double scale = em / face->units_per_EM;
      font->ascent = static_cast<int>(std::lround(ascent * scale));
      font->lineHeight = font->ascent + static_cast<int>(std::lround(descent * scale));
    }
    const auto charHeight = static_cast<FT_F26Dot6>(std::lround(em * 64.0));
    return charHeight > 0 && FT_Set_Char_Size(face, 0, charHeight, 72, 72) == 0;
  }
};

}  // namespace

TextPlatform& TextPlatform::Native() {
  static NativeTextPlatform platform;
  return platform;
}

}  // namespace kestro
