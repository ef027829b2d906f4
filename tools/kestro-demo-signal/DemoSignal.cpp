// The built-in demo: a few bars of a drum-and-bass-like stereo loop (kick,
// snare, hats, a detuned bass), synthesised so that no audio file has to be
// downloaded. Deterministic: the same samples on every run.
#include "tools/kestro-demo-signal/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace kestro {

namespace {

constexpr double kRate = 44100.0;
constexpr double kTempo = 174.0;
constexpr double kPi = 3.14159265358979323846;

using Stereo = DemoSignal;

// One-pole filters for shaping noise and the bass.
struct OnePole {
  double state = 0.0;
  double LowPass(double x, double coefficient) { return state += coefficient * (x - state); }
};

void AddKick(Stereo& out, size_t at) {
  double phase = 0.0;
  for (size_t i = 0; i < static_cast<size_t>(0.35 * kRate) && at + i < out.left.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double frequency = 48.0 + 110.0 * std::exp(-t * 28.0);
    phase += 2.0 * kPi * frequency / kRate;
    const double v = 0.95 * std::sin(phase) * std::exp(-t * 7.0);
    out.left[at + i] += v;
    out.right[at + i] += v;
  }
}

void AddSnare(Stereo& out, size_t at, std::mt19937& rng) {
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  OnePole tone;
  for (size_t i = 0; i < static_cast<size_t>(0.25 * kRate) && at + i < out.left.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double body = 0.45 * std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0);
    const double rattle = 0.5 * tone.LowPass(noise(rng), 0.6) * std::exp(-t * 14.0);
    out.left[at + i] += body + rattle * 0.9;
    out.right[at + i] += body + rattle;
  }
}

void AddHat(Stereo& out, size_t at, double level, double pan, std::mt19937& rng) {
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  double previous = 0.0;
  for (size_t i = 0; i < static_cast<size_t>(0.05 * kRate) && at + i < out.left.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise(rng);
    const double bright = (n - previous) * 0.5;  // first difference: a crude high-pass
    previous = n;
    const double v = level * bright * std::exp(-t * 90.0);
    out.left[at + i] += v * (1.0 - pan);
    out.right[at + i] += v * (1.0 + pan);
  }
}

void AddBass(Stereo& out, double seconds) {
  // Two detuned saws through a moving low-pass: a simple "reese".
  const double notes[] = {41.2, 41.2, 49.0, 36.7};  // E1 E1 G1 D1, one per bar
  const double bar = 4.0 * 60.0 / kTempo;
  OnePole left, right;
  double phaseA = 0.0, phaseB = 0.0;
  const size_t total = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < total; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = notes[static_cast<size_t>(t / bar) % 4];
    phaseA = std::fmod(phaseA + f / kRate, 1.0);
    phaseB = std::fmod(phaseB + f * 1.007 / kRate, 1.0);
    const double sweep = 0.02 + 0.015 * std::sin(2.0 * kPi * t * 0.5);
    const double a = 2.0 * phaseA - 1.0, b = 2.0 * phaseB - 1.0;
    out.left[i] += 0.28 * left.LowPass(a + 0.6 * b, sweep);
    out.right[i] += 0.28 * right.LowPass(0.6 * a + b, sweep);
  }
}

}  // namespace


DemoSignal MakeDemoSignal(double seconds) {
  const size_t total = static_cast<size_t>(seconds * kRate);
  Stereo mix{kRate, std::vector<double>(total, 0.0), std::vector<double>(total, 0.0)};
  std::mt19937 rng(174);

  // Two-step pattern on a 16th grid: kick on 1 and the "and" of 3, snare on 2 and 4.
  const double sixteenth = 60.0 / kTempo / 4.0;
  for (size_t step = 0; static_cast<double>(step) * sixteenth < seconds; ++step) {
    const size_t at = static_cast<size_t>(static_cast<double>(step) * sixteenth * kRate);
    const size_t inBar = step % 16;
    if (inBar == 0 || inBar == 10) AddKick(mix, at);
    if (inBar == 4 || inBar == 12) AddSnare(mix, at, rng);
    if (inBar == 15 && (step / 16) % 2 == 1) AddSnare(mix, at, rng);  // ghost note every other bar
    AddHat(mix, at, inBar % 2 == 0 ? 0.22 : 0.12, (inBar % 4 == 2) ? 0.35 : -0.25, rng);
  }
  AddBass(mix, seconds);

  // Fade in and out to avoid clicks, and leave a little headroom.
  const size_t fade = static_cast<size_t>(0.01 * kRate);
  for (size_t i = 0; i < fade && i < total; ++i) {
    const double g = static_cast<double>(i) / static_cast<double>(fade);
    mix.left[i] *= g;
    mix.right[i] *= g;
    mix.left[total - 1 - i] *= g;
    mix.right[total - 1 - i] *= g;
  }
  // Normalise to a peak of -1 dBFS: loud like a finished mix, never clipped.
  double peak = 1e-9;
  for (size_t i = 0; i < total; ++i) peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  const double scale = std::pow(10.0, -1.0 / 20.0) / peak;
  for (size_t i = 0; i < total; ++i) {
    mix.left[i] *= scale;
    mix.right[i] *= scale;
  }
  return mix;
}

}  // namespace kestro
