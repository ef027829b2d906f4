#pragma once

#include <mutex>
#include <random>
#include <vector>

#include "plugin/Kestro.h"

namespace kestro {

// A KESTRO instance as a host runs it: initialised (preset 0 loaded), with a
// sample rate, and processing blocks with the parameter lock held.
class KestroHarness : public Kestro {
 public:
  explicit KestroHarness(double sampleRate = 44100.0) {
    LoadPreset(0);
    SetSampleRate(sampleRate);
    ResetProcessing();
  }

  void Set(int param, double normalized) { SetParamFromEditor(param, normalized); }
  // Sets a plain value the way a restored state does.
  void SetPlain(int param, double plain) {
    std::lock_guard lock(ParamsLock());
    ParamAt(param)->SetClamped(plain);
    ParamChanged(param);
  }

  // Processes main (and optional sidechain) input in blocks of blockSize.
  void Process(const std::vector<double>& left, const std::vector<double>& right, std::vector<double>& outLeft,
               std::vector<double>& outRight, int blockSize = 256, const std::vector<double>* scLeft = nullptr,
               const std::vector<double>* scRight = nullptr) {
    const size_t n = left.size();
    outLeft.assign(n, 0.0);
    outRight.assign(n, 0.0);
    std::vector<double> silence(n, 0.0);
    for (size_t start = 0; start < n; start += static_cast<size_t>(blockSize)) {
      const int frames = static_cast<int>(std::min<size_t>(static_cast<size_t>(blockSize), n - start));
      double* in[4] = {const_cast<double*>(left.data() + start), const_cast<double*>(right.data() + start),
                       const_cast<double*>((scLeft ? scLeft->data() : silence.data()) + start),
                       const_cast<double*>((scRight ? scRight->data() : silence.data()) + start)};
      double* out[2] = {outLeft.data() + start, outRight.data() + start};
      std::lock_guard lock(ParamsLock());
      ProcessDoubles(in, out, frames);
    }
  }

  // Processes and discards the output.
  void Run(const std::vector<double>& left, const std::vector<double>& right, int blockSize = 256) {
    std::vector<double> l, r;
    Process(left, right, l, r, blockSize);
  }
};

inline std::vector<double> Noise(size_t n, double amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> dist(-amplitude, amplitude);
  std::vector<double> v(n);
  for (double& x : v) x = dist(rng);
  return v;
}

// A full-band signal of constant magnitude: the detector's high-pass passes
// it unchanged, so the measured level stays put.
inline std::vector<double> Nyquist(size_t n, double amplitude) {
  std::vector<double> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (i % 2 == 0) ? amplitude : -amplitude;
  return v;
}

inline double Db(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace kestro
