// Prints KESTRO's parameters as a host shows them after loading the
// plug-in and the state a host would save, then runs a short built-in test
// signal through the compressor and reports what it did.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

#include "plugin/Kestro.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

// The compressor as a host drives it: a sample rate, a block size, and
// blocks processed with the parameter lock held.
class SignalCheck : public kestro::Kestro {
 public:
  SignalCheck() {
    LoadPreset(0);
    SetSampleRate(kRate);
    ChangeBlockSize(kBlock);
    ResetProcessing();
  }
  void Set(int param, double plain) {
    std::lock_guard lock(ParamsLock());
    kestro::IParamEntry* p = ParamAt(param);
    p->SetFromNormalized(p->ToNormalized(plain));
    ParamChanged(param);
  }
  void Process(std::vector<double>& left, std::vector<double>& right, std::vector<double>& outL,
               std::vector<double>& outR) {
    for (size_t start = 0; start < left.size(); start += kBlock) {
      const int frames = static_cast<int>(std::min<size_t>(kBlock, left.size() - start));
      double* in[4] = {left.data() + start, right.data() + start, left.data() + start, right.data() + start};
      double* out[2] = {outL.data() + start, outR.data() + start};
      std::lock_guard lock(ParamsLock());
      ProcessDoubles(in, out, frames);
    }
  }
};

// Two seconds of kick-and-noise bursts at a steady tempo, peaking near -3 dBFS.
void TestSignal(std::vector<double>& left, std::vector<double>& right) {
  const size_t n = static_cast<size_t>(2 * kRate);
  left.assign(n, 0.0);
  right.assign(n, 0.0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  const size_t beat = static_cast<size_t>(kRate * 60.0 / 120.0);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i % beat) / kRate;
    const double kick = 0.6 * std::sin(2.0 * 3.14159265358979 * (55.0 + 90.0 * std::exp(-t * 30.0)) * t) *
                        std::exp(-t * 8.0);
    const double hiss = 0.05 * noise(rng);
    left[i] = kick + hiss;
    right[i] = kick - hiss;
  }
}

void PrintLevels(const char* label, const std::vector<double>& left, const std::vector<double>& right) {
  double peak = 0.0, sum = 0.0;
  for (size_t i = 0; i < left.size(); ++i) {
    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    sum += left[i] * left[i] + right[i] * right[i];
  }
  const double rms = std::sqrt(sum / (2.0 * static_cast<double>(left.size())));
  std::printf("  %-7s peak %7.2f dBFS   RMS %7.2f dBFS\n", label, 20.0 * std::log10(peak), 20.0 * std::log10(rms));
}

}  // namespace

int main() {
  kestro::Kestro plugin;
  // A host's initialisation ends by loading the first preset.
  if (!plugin.LoadPreset(0)) {
    std::fprintf(stderr, "kestro-info: loading the default preset failed\n");
    return 1;
  }

  std::printf("%s by %s, %d parameters, preset 0 \"%s\"\n\n", plugin.EffectName(), plugin.MakerName(),
              plugin.ParamCount(), plugin.PresetName(0));
  std::printf("%-3s %-11s %-5s %8s %16s %10s %6s\n", "id", "name", "unit", "default", "range", "shown", "steps");
  for (int i = 0; i < plugin.ParamCount(); ++i) {
    const kestro::IParamEntry& p = *plugin.ParamAt(i);
    char range[80];
    std::snprintf(range, sizeof range, "%s..%s", p.FormatValue(p.Minimum()).c_str(),
                  p.FormatValue(p.Maximum()).c_str());
    std::printf("%-3d %-11s %-5s %8s %16s %10s %6d\n", i, p.Name(), p.UnitLabel(), p.FormatValue(p.Default()).c_str(),
                range, p.FormatValue(p.Value()).c_str(), p.StepCount());
  }

  kestro::StateChunk state;
  if (!plugin.SerializeParams(state)) {
    std::fprintf(stderr, "kestro-info: writing the state failed\n");
    return 1;
  }
  std::printf("\nsaved state, %d bytes (one little-endian double per parameter):\n", state.Size());
  for (int i = 0; i < state.Size(); ++i) {
    std::printf("%02x%s", state.Data()[i], (i % 8 == 7) ? ((i % 32 == 31) ? "\n" : "  ") : " ");
  }
  if (state.Size() % 32 != 0) std::printf("\n");

  // A musical bus setting: -20 dB threshold, 4:1, 0.45 ms attack, 250 ms
  // release, 6 dB of make-up gain.
  SignalCheck check;
  check.Set(kestro::ParamThreshold, -20.0);
  check.Set(kestro::ParamRatio, 3);
  check.Set(kestro::ParamAttack, 2);
  check.Set(kestro::ParamRelease, 3);
  check.Set(kestro::ParamOutput, 6.0);
  std::vector<double> left, right;
  TestSignal(left, right);
  std::vector<double> outL(left.size()), outR(left.size());
  check.Process(left, right, outL, outR);
  std::printf("\nbuilt-in test signal (2 s at 44.1 kHz) at threshold -20 dB, 4:1, attack 0.45 ms,\n"
              "release 250 ms, +6 dB make-up:\n");
  PrintLevels("input", left, right);
  PrintLevels("output", outL, outR);
  std::printf("  final meter level %.4f (gain %.2f dB)\n", check.MeterLevel(), 20.0 * std::log10(check.GainState()));
  return 0;
}
