#pragma once

#include <cstdint>
#include <cstdio>

namespace kestro {

// A one-line progress bar on a terminal stream, redrawn in place only when
// the shown percentage changes, so that a fast render does not spend its
// time writing to the terminal.
class ProgressBar {
 public:
  ProgressBar(std::FILE* out, std::int64_t total, double sampleRate);

  void Update(std::int64_t done);
  // Draws 100 % and ends the line.
  void Finish();

 private:
  void Draw(std::int64_t done);

  std::FILE* out_;
  std::int64_t total_;
  double sampleRate_;
  int shownPercent_ = -1;
};

}  // namespace kestro
