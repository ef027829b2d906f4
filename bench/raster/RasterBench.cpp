// Compositing throughput on the editor's real artwork (synthetic stand-ins
// when an image is not embedded), and the cost of the editor's first paint.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "graphics/raster/Blit.h"
#include "graphics/raster/FillRectangle.h"
#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/PngResource.h"
#include "graphics/raster/SystemBitmap.h"

namespace kestro {
namespace {

constexpr int kEditorWidth = 1020;
constexpr int kEditorHeight = 151;

// The editor's images and where their default frames are drawn: identifier,
// name, size, frame count, position and the frame shown at the parameters'
// defaults (the meter starts at its last frame).
struct Placed {
  int id;
  const char* name;
  int width;
  int height;
  int frames;
  int x;
  int y;
  int frame;
};

constexpr Placed kBackground{105, "bg.png", 1020, 151, 1, 0, 0, 0};
constexpr Placed kControls[] = {
    {110, "by.png", 53, 104, 2, 73, 38, 1},      {113, "OVER.png", 150, 50, 2, 0, 124, 0},
    {103, "Thr.png", 50, 3172, 61, 636, 38, 60}, {108, "Out.png", 50, 3172, 61, 728, 38, 30},
    {104, "Atk.png", 53, 312, 6, 538, 38, 0},    {106, "Rel.png", 53, 312, 6, 447, 38, 0},
    {109, "Rat.png", 50, 312, 6, 353, 38, 0},    {111, "Side.png", 51, 3172, 61, 167, 38, 0},
    {112, "Mix.png", 50, 3172, 61, 261, 38, 60}, {119, "SC.png", 100, 60, 2, 920, 122, 1},
    {107, "vu.png", 123, 4270, 61, 816, 9, 60},
};

// A round, anti-aliased knob-like strip: opaque inside, soft edge, clear
// corners, so source-alpha blits see all three cases.
std::unique_ptr<MemBitmap> SyntheticStrip(int width, int height, int frames) {
  auto bitmap = std::make_unique<MemBitmap>();
  bitmap->Resize(width, height);
  const int frameHeight = height / frames;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = x - width / 2.0;
      const double dy = y % frameHeight - frameHeight / 2.0;
      const double edge = std::min(width, frameHeight) / 2.0 - std::sqrt(dx * dx + dy * dy);
      const int alpha = edge >= 1.0 ? 255 : (edge <= 0.0 ? 0 : static_cast<int>(edge * 255));
      bitmap->Row(y)[x] = MakePackedPixel(static_cast<uint32_t>(alpha), static_cast<uint32_t>(x * 5),
                                          static_cast<uint32_t>(y), 0x40);
    }
  }
  return bitmap;
}

std::unique_ptr<MemBitmap> Image(const Placed& image) {
  if (auto decoded = LoadPngResource(image.id, image.name)) return decoded;
  return SyntheticStrip(image.width, image.height, image.frames);
}

BlitRect FrameRect(const Placed& image, const Bitmap& bitmap) {
  const int top = image.frame * bitmap.Height() / image.frames;
  return BlitRect{0, top, bitmap.Width(), top + bitmap.Height() / image.frames};
}

// Reported as "pixels=<n>/s" with SI prefixes: 1.2G/s is 1200 megapixels a second.
void SetPixelRate(benchmark::State& state, double pixelsPerIteration) {
  state.counters["pixels"] = benchmark::Counter(pixelsPerIteration, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BlitBackgroundCopy(benchmark::State& state) {
  SystemBitmap surface(kEditorWidth, kEditorHeight);
  const auto background = Image(kBackground);
  for (auto _ : state) {
    Blit(&surface, background.get(), 0, 0, nullptr, 1.0f, BlitCopy);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, static_cast<double>(background->Width()) * background->Height());
}
BENCHMARK(BM_BlitBackgroundCopy);

void BM_BlitKnobFrameSourceAlpha(benchmark::State& state) {
  SystemBitmap surface(kEditorWidth, kEditorHeight);
  const Placed& knob = kControls[2];  // Threshold, at its default frame
  const auto strip = Image(knob);
  const BlitRect frame = FrameRect(knob, *strip);
  for (auto _ : state) {
    Blit(&surface, strip.get(), knob.x, knob.y, &frame, 1.0f, BlitCopy | BlitUseSourceAlpha);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, static_cast<double>(frame.right - frame.left) * (frame.bottom - frame.top));
}
BENCHMARK(BM_BlitKnobFrameSourceAlpha);

void BM_FillRectangle(benchmark::State& state) {
  SystemBitmap surface(kEditorWidth, kEditorHeight);
  const float opacity = static_cast<float>(state.range(0)) / 100.0f;
  for (auto _ : state) {
    FillRectangle(&surface, 0, 0, kEditorWidth, kEditorHeight, 0x80336699, opacity, BlitCopy);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, static_cast<double>(kEditorWidth) * kEditorHeight);
}
// 50 %: the word-wide shortcut; 30 %: the per-channel formula.
BENCHMARK(BM_FillRectangle)->Arg(50)->Arg(30);

void BM_FirstPaint(benchmark::State& state) {
  SystemBitmap surface(kEditorWidth, kEditorHeight);
  const auto background = Image(kBackground);
  std::vector<std::unique_ptr<MemBitmap>> strips;
  std::vector<BlitRect> frames;
  for (const Placed& control : kControls) {
    strips.push_back(Image(control));
    frames.push_back(FrameRect(control, *strips.back()));
  }
  double pixels = static_cast<double>(kEditorWidth) * kEditorHeight;
  for (const BlitRect& frame : frames) pixels += static_cast<double>(frame.right - frame.left) * (frame.bottom - frame.top);

  for (auto _ : state) {
    Blit(&surface, background.get(), 0, 0, nullptr, 1.0f, BlitCopy);
    for (size_t i = 0; i < strips.size(); ++i) {
      Blit(&surface, strips[i].get(), kControls[i].x, kControls[i].y, &frames[i], 1.0f,
           BlitCopy | BlitUseSourceAlpha);
    }
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, pixels);
}
BENCHMARK(BM_FirstPaint)->Unit(benchmark::kMicrosecond);

void BM_DecodeAllArtwork(benchmark::State& state) {
  for (auto _ : state) {
    int decoded = 0;
    decoded += LoadPngResource(kBackground.id, kBackground.name) != nullptr;
    for (const Placed& control : kControls) decoded += LoadPngResource(control.id, control.name) != nullptr;
    benchmark::DoNotOptimize(decoded);
    if (decoded == 0) state.SkipWithError("no artwork embedded");
  }
}
BENCHMARK(BM_DecodeAllArtwork)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestro

BENCHMARK_MAIN();
