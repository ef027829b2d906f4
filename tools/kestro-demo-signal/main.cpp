// Writes the built-in demo: a few bars of a drum-and-bass-like stereo loop
// (kick, snare, hats, a detuned bass), synthesised so that no audio file has
// to be downloaded. Deterministic: the same bytes on every run.
//
//   kestro-demo-signal OUTPUT.wav [seconds]
//   kestro-demo-signal OUTPUT.f32 [seconds]   raw interleaved 32-bit floats
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr double kTempo = 174.0;
constexpr double kPi = 3.14159265358979323846;

struct Stereo {
  std::vector<double> left, right;
};

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

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kestro-demo-signal OUTPUT.wav [seconds]\n");
    return 2;
  }
  const double seconds = argc > 2 ? std::clamp(std::atof(argv[2]), 1.0, 600.0) : 11.0;
  const size_t total = static_cast<size_t>(seconds * kRate);
  Stereo mix{std::vector<double>(total, 0.0), std::vector<double>(total, 0.0)};
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
  std::vector<double> interleaved(total * 2);
  for (size_t i = 0; i < total; ++i) {
    interleaved[2 * i] = mix.left[i] * scale;
    interleaved[2 * i + 1] = mix.right[i] * scale;
  }

  // Raw samples for kestro-render-raw, which has no sound-file library.
  const std::string name = argv[1];
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".f32") == 0) {
    std::vector<float> samples(interleaved.begin(), interleaved.end());
    std::FILE* raw = std::fopen(argv[1], "wb");
    const bool ok = raw != nullptr && std::fwrite(samples.data(), sizeof(float), samples.size(), raw) == samples.size();
    if (raw == nullptr || std::fclose(raw) != 0 || !ok) {
      std::fprintf(stderr, "kestro-demo-signal: cannot write %s\n", argv[1]);
      std::remove(argv[1]);
      return 1;
    }
    std::printf("wrote %s: %.1f s stereo at %.0f Hz\n", argv[1], seconds, kRate);
    return 0;
  }

  SF_INFO info{};
  info.samplerate = static_cast<int>(kRate);
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "kestro-demo-signal: cannot write %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  const sf_count_t written = sf_writef_double(file, interleaved.data(), static_cast<sf_count_t>(total));
  sf_close(file);
  if (written != static_cast<sf_count_t>(total)) {
    std::fprintf(stderr, "kestro-demo-signal: short write to %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  std::printf("wrote %s: %.1f s stereo at %.0f Hz\n", argv[1], seconds, kRate);
  return 0;
}
