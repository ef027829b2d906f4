// Cost of drawing the editor's version caption once its glyphs are cached,
// and of measuring it.
#include <benchmark/benchmark.h>

#include "graphics/StyledText.h"
#include "graphics/raster/FillRectangle.h"
#include "graphics/raster/SystemBitmap.h"

namespace kestro {
namespace {

constexpr const char* kCaption = "Version 6.1.0";

void BM_DrawCaption(benchmark::State& state) {
  SystemBitmap bitmap(1020, 151);
  FillRectangle(&bitmap, 0, 0, 1020, 151, 0xFFD0D0D0, 1.0f, BlitCopy);
  TextStyle style;
  style.size = 14;
  PixelRect rect{49, 29, 149, 49};
  if (!RenderStyledText(&bitmap, style, kCaption, rect, false)) {
    state.SkipWithError("no font for the caption");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenderStyledText(&bitmap, style, kCaption, rect, false));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawCaption);

void BM_MeasureCaption(benchmark::State& state) {
  TextStyle style;
  style.size = 14;
  for (auto _ : state) {
    PixelRect rect{49, 29, 149, 49};
    benchmark::DoNotOptimize(RenderStyledText(nullptr, style, kCaption, rect, true));
    benchmark::DoNotOptimize(rect);
  }
}
BENCHMARK(BM_MeasureCaption);

}  // namespace
}  // namespace kestro

BENCHMARK_MAIN();
