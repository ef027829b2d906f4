#include "tools/kestro-render/ProgressBar.h"

namespace kestro {

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(std::FILE* out, std::int64_t total, double sampleRate)
    : out_(out), total_(total > 0 ? total : 1), sampleRate_(sampleRate) {}

void ProgressBar::Update(std::int64_t done) {
  const int percent = static_cast<int>(done * 100 / total_);
  if (percent != shownPercent_) {
    Draw(done);
  }
}

void ProgressBar::Finish() {
  Draw(total_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void ProgressBar::Draw(std::int64_t done) {
  if (done > total_) {
    done = total_;
  }
  shownPercent_ = static_cast<int>(done * 100 / total_);
  const int filled = static_cast<int>(done * kWidth / total_);
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) {
    bar[i] = i < filled ? '#' : '.';
  }
  bar[kWidth] = '\0';
  std::fprintf(out_, "\r[%s] %3d%%  %.1f / %.1f s", bar, shownPercent_, static_cast<double>(done) / sampleRate_,
               static_cast<double>(total_) / sampleRate_);
  std::fflush(out_);
}

}  // namespace kestro
