// Writes the built-in demo loop to a WAV file (24-bit, stereo, 44.1 kHz).
//
//   kestro-demo-signal OUTPUT.wav [seconds]
//   kestro-demo-signal OUTPUT.f32 [seconds]   raw interleaved 32-bit floats
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/kestro-demo-signal/DemoSignal.h"

int main(int argc, char** argv) {
  static constexpr char kUsage[] =
      "usage: kestro-demo-signal OUTPUT.wav|OUTPUT.f32 [seconds]\n"
      "Writes the built-in demo loop (default 11 s, 1 to 600).\n";
  // An option is never taken for a file name to write over.
  if (argc >= 2 && argv[1][0] == '-') {
    const std::string option = argv[1];
    std::fputs(kUsage, option == "--help" || option == "-h" ? stdout : stderr);
    return option == "--help" || option == "-h" ? 0 : 2;
  }
  if (argc < 2 || argc > 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  char* end = nullptr;
  const double asked = argc > 2 ? std::strtod(argv[2], &end) : 11.0;
  if (argc > 2 && (end == argv[2] || *end != '\0' || !(asked >= 1.0 && asked <= 600.0))) {
    std::fprintf(stderr, "kestro-demo-signal: seconds must be a number from 1 to 600, not '%s'\n", argv[2]);
    return 2;
  }
  const double seconds = asked;
  const kestro::DemoSignal mix = kestro::MakeDemoSignal(seconds);
  const size_t total = mix.left.size();
  const double rate = mix.rate;
  std::vector<double> interleaved(total * 2);
  for (size_t i = 0; i < total; ++i) {
    interleaved[2 * i] = mix.left[i];
    interleaved[2 * i + 1] = mix.right[i];
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
    std::printf("wrote %s: %.1f s stereo at %.0f Hz\n", argv[1], seconds, rate);
    return 0;
  }

  SF_INFO info{};
  info.samplerate = static_cast<int>(rate);
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
  std::printf("wrote %s: %.1f s stereo at %.0f Hz\n", argv[1], seconds, rate);
  return 0;
}
