#pragma once

#include "tools/kestro-render/LevelMeter.h"

#include <cstdio>
#include <string>

namespace kestro {

// Input and output levels over fixed windows (10 ms by default), written as
// CSV rows while rendering so that long files need no memory for it:
//   time_s,input_rms_db,input_peak_db,output_rms_db,output_peak_db
// time_s is the window's start. The last, shorter window is written too.
class LevelEnvelope {
 public:
  LevelEnvelope(std::FILE* out, double sampleRate, double windowSeconds = 0.01);

  // One frame: every channel of the input and output at the same instant.
  void AddFrame(const double* input, int inputChannels, const double* output, int outputChannels);
  // Writes the unfinished window, if any.
  void Finish();
  // False once a write has failed.
  bool Ok() const { return ok_; }

 private:
  void WriteWindow();

  std::FILE* out_;
  double sampleRate_;
  long window_;
  long inWindow_ = 0;
  long long windowStart_ = 0;
  LevelMeter input_;
  LevelMeter output_;
  bool ok_ = true;
};

}  // namespace kestro
