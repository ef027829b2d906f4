#include "tools/kestro-render/LevelEnvelope.h"

#include <cmath>

namespace kestro {

LevelEnvelope::LevelEnvelope(std::FILE* out, double sampleRate, double windowSeconds)
    : out_(out), sampleRate_(sampleRate), window_(std::lround(sampleRate * windowSeconds)) {
  if (window_ < 1) {
    window_ = 1;
  }
  ok_ = std::fprintf(out_, "time_s,input_rms_db,input_peak_db,output_rms_db,output_peak_db\n") > 0;
}

void LevelEnvelope::AddFrame(const double* input, int inputChannels, const double* output, int outputChannels) {
  for (int c = 0; c < inputChannels; ++c) {
    input_.Add(input[c]);
  }
  for (int c = 0; c < outputChannels; ++c) {
    output_.Add(output[c]);
  }
  if (++inWindow_ == window_) {
    WriteWindow();
  }
}

void LevelEnvelope::Finish() {
  if (inWindow_ > 0) {
    WriteWindow();
  }
  if (std::fflush(out_) != 0) {
    ok_ = false;
  }
}

void LevelEnvelope::WriteWindow() {
  const double time = static_cast<double>(windowStart_) / sampleRate_;
  if (std::fprintf(out_, "%.3f,%.2f,%.2f,%.2f,%.2f\n", time, LevelMeter::ToDb(input_.Rms()),
                   LevelMeter::ToDb(input_.Peak()), LevelMeter::ToDb(output_.Rms()),
                   LevelMeter::ToDb(output_.Peak())) < 0) {
    ok_ = false;
  }
  windowStart_ += inWindow_;
  inWindow_ = 0;
  input_.Reset();
  output_.Reset();
}

}  // namespace kestro
