#include "graphics/raster/PngDecoder.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "graphics/raster/OpenFileForReading.h"

namespace kestro {

namespace {

// Deflate never expands by more than 1032:1, so an image whose raw rows need
// more than that from the whole input cannot be complete: refuse it before
// reserving pixels for a header that lies about its size.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kUnknownLength = UINT64_MAX;
// Ancillary chunks we still read (tRNS) are small; nothing needs more.
constexpr png_alloc_size_t kMaxChunkBytes = 1 << 22;
constexpr png_uint_32 kMaxCachedChunks = 128;

struct MemorySource {
  const uint8_t* next;
  size_t remaining;
};

// Errors leave through longjmp to the nearest setjmp below; libpng's default
// handlers would also print, and decoding failures are never reported.
[[noreturn]] void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// Reading past the end fails at once; zero-filling would only postpone the
// failure to a CRC or chunk-type check.
void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (source == nullptr || count > source->remaining) png_error(png, "data ends early");
  std::memcpy(out, source->next, count);
  source->next += count;
  source->remaining -= count;
}

// Our own fread keeps the FILE inside this module's C runtime.
void ReadFromFile(png_structp png, png_bytep out, size_t count) {
  auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
  if (file == nullptr || std::fread(out, 1, count, file) != count) png_error(png, "read failed");
}

// Owns the libpng read structures. It lives in the frames above every setjmp
// point, so a longjmp never skips its destructor.
class PngReadSession {
 public:
  PngReadSession() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (png_ == nullptr) return;
    info_ = png_create_info_struct(png_);
    png_set_user_limits(png_, kPngMaxDimension, kPngMaxDimension);
    png_set_chunk_malloc_max(png_, kMaxChunkBytes);
    png_set_chunk_cache_max(png_, kMaxCachedChunks);
    // Skip every ancillary chunk except tRNS: we use none of them, and text
    // or ICC data from untrusted input need not be inflated at all.
    png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  }
  PngReadSession(const PngReadSession&) = delete;
  PngReadSession& operator=(const PngReadSession&) = delete;
  ~PngReadSession() {
    if (png_ != nullptr) png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
  }

  bool Valid() const { return png_ != nullptr && info_ != nullptr; }
  png_structp Png() const { return png_; }
  png_infop Info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

struct PngLayout {
  uint32_t width;
  uint32_t height;
};

bool FitsLimits(png_uint_32 width, png_uint_32 height, int bitDepth, int colourType, uint64_t inputLength) {
  if (width == 0 || height == 0 || width > kPngMaxDimension || height > kPngMaxDimension) return false;
  if (static_cast<uint64_t>(width) * height > kPngMaxPixels) return false;
  if (inputLength == kUnknownLength) return true;
  int channels = 1;
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
  }
  const uint64_t rowBytes = (static_cast<uint64_t>(width) * channels * bitDepth + 7) / 8;
  // Without interlacing each row is a filter byte plus its samples; the
  // interlaced layout only needs more.
  const uint64_t rawBytes = height * (rowBytes + 1);
  return rawBytes <= (inputLength + 1) * kMaxInflateRatio;
}

// A setjmp frame: only trivially destructible locals below this point.
bool ReadHeader(png_structp png, png_infop info, uint64_t inputLength, PngLayout* layout) {
  if (setjmp(png_jmpbuf(png))) return false;

  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  int interlace = 0;
  int compression = 0;
  int filter = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, &compression, &filter);
  if (!FitsLimits(width, height, bitDepth, colourType, inputLength)) return false;

  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
    png_set_tRNS_to_alpha(png);
    colourType |= PNG_COLOR_MASK_ALPHA;
  }
  if (bitDepth == 16) png_set_strip_16(png);
  if (bitDepth < 8) png_set_packing(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  // B, G, R, A bytes are the PackedPixel word on a little-endian target, so
  // no pass over the pixels is needed afterwards.
  png_set_bgr(png);
  if ((colourType & PNG_COLOR_MASK_ALPHA) == 0) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  // Rows are written straight into the bitmap: they must be 4 bytes a pixel.
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) return false;
  layout->width = width;
  layout->height = height;
  return true;
}

// A setjmp frame: only trivially destructible locals.
bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

// Reads the image into target, which must already have the image's size.
bool ReadInto(const PngReadSession& session, const PngLayout& layout, Bitmap& target) {
  if (target.Pixels() == nullptr || target.Width() != static_cast<int>(layout.width) ||
      target.Height() != static_cast<int>(layout.height) || target.RowSpan() < target.Width()) {
    return false;
  }
  std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[layout.height]);
  if (rows == nullptr) return false;
  for (uint32_t r = 0; r < layout.height; ++r) {
    rows[r] = reinterpret_cast<png_bytep>(target.Row(static_cast<int>(r)));
  }
  return ReadRows(session.Png(), rows.get());
}

std::unique_ptr<MemBitmap> DecodeToNewBitmap(const PngReadSession& session, uint64_t inputLength) {
  PngLayout layout{};
  if (!ReadHeader(session.Png(), session.Info(), inputLength, &layout)) return nullptr;
  std::unique_ptr<MemBitmap> bitmap(new (std::nothrow) MemBitmap);
  if (bitmap == nullptr) return nullptr;
  bitmap->Resize(static_cast<int>(layout.width), static_cast<int>(layout.height));
  if (!ReadInto(session, layout, *bitmap)) return nullptr;
  return bitmap;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The input size for the inflate bound; unknown for unseekable streams.
uint64_t FileLength(std::FILE* file) {
  uint64_t length = kUnknownLength;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= 0) length = static_cast<uint64_t>(end);
  }
  std::rewind(file);
  return length;
}

}  // namespace

std::unique_ptr<MemBitmap> DecodePngFromMemory(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || length <= 7 || png_sig_cmp(bytes, 0, 8) != 0) return nullptr;
  PngReadSession session;
  if (!session.Valid()) return nullptr;
  MemorySource source{bytes, length};
  png_set_read_fn(session.Png(), &source, ReadFromMemory);
  return DecodeToNewBitmap(session, length);
}

std::unique_ptr<MemBitmap> DecodePngFromFile(const char* path) {
  if (path == nullptr) return nullptr;
  FileHandle file(OpenFileForReading(path));
  if (file == nullptr) return nullptr;
  const uint64_t length = FileLength(file.get());
  PngReadSession session;
  if (!session.Valid()) return nullptr;
  png_set_read_fn(session.Png(), file.get(), ReadFromFile);
  return DecodeToNewBitmap(session, length);
}

bool DecodePngFromFile(const char* path, Bitmap& reuse) {
  if (path == nullptr) return false;
  FileHandle file(OpenFileForReading(path));
  if (file == nullptr) return false;
  const uint64_t length = FileLength(file.get());
  PngReadSession session;
  if (!session.Valid()) return false;
  png_set_read_fn(session.Png(), file.get(), ReadFromFile);
  PngLayout layout{};
  if (!ReadHeader(session.Png(), session.Info(), length, &layout)) return false;
  reuse.Resize(static_cast<int>(layout.width), static_cast<int>(layout.height));
  return ReadInto(session, layout, reuse);
}

bool HasPngExtension(const char* path) {
  if (path == nullptr) return false;
  const size_t length = std::strlen(path);
  size_t start = length;
  while (start > 0) {
    const char c = path[start - 1];
    if (c == '.' || c == '/' || c == '\\') break;
    --start;
  }
  if (start == 0) return false;  // no separator or full stop at all
  const char* extension = path + start - 1;
  static constexpr char kPng[] = ".png";
  if (length - (start - 1) != sizeof(kPng) - 1) return false;
  for (size_t i = 0; i < sizeof(kPng) - 1; ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPng[i]) return false;
  }
  return true;
}

std::unique_ptr<MemBitmap> LoadPngFile(const char* path, bool checkExtension) {
  if (checkExtension && !HasPngExtension(path)) return nullptr;
  return DecodePngFromFile(path);
}

bool LoadPngFile(const char* path, bool checkExtension, Bitmap& reuse) {
  if (checkExtension && !HasPngExtension(path)) return false;
  return DecodePngFromFile(path, reuse);
}

}  // namespace kestro
