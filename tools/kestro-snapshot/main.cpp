// Draws KESTRO's editor to a PNG after running audio through the compressor,
// so that the knobs and the gain-reduction meter show a real state. It links
// the plug-in directly: no host interface hands out an editor's pixels.
//
//   kestro-snapshot [--param NAME=VALUE]... [--input FILE | --seconds S] [--hover NAME] [--scale F] OUTPUT.png
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/GraphicsCore.h"
#include "plugin/Kestro.h"
#include "tools/common/ParamArgument.h"
#include "tools/kestro-demo-signal/DemoSignal.h"
#include "tools/kestro-render/SoundFile.h"
#include "tools/kestro-snapshot/PngFile.h"

namespace {

constexpr int kBlock = 512;

void Usage(std::FILE* out) {
  std::fprintf(out,
               "usage: kestro-snapshot [options] OUTPUT.png\n"
               "  --param NAME=VALUE  set a parameter to a plain value in its range (e.g. Threshold=-24);\n"
               "                      NAME is a title (any case) or an index (--param 9=0); repeatable\n"
               "  --input FILE        run this audio file (mono or stereo) through the compressor first\n"
               "  --seconds S         otherwise run S seconds of the built-in demo loop (default 11)\n"
               "  --hover NAME        draw the pointer resting on that parameter's control: the value\n"
               "                      read-out shows its name and value\n"
               "  --scale F           draw at F device pixels per editor pixel, 1 to 3 (default 1)\n");
}

// KESTRO as a host runs it, set up for one offline pass.
class SnapshotKestro : public kestro::Kestro {
 public:
  explicit SnapshotKestro(double rate) {
    LoadPreset(0);
    SetSampleRate(rate);
    ChangeBlockSize(kBlock);
    ResetProcessing();
  }

  std::vector<kestro::ParamDescription> Describe() {
    std::vector<kestro::ParamDescription> params;
    for (int i = 0; i < ParamCount(); ++i) {
      const kestro::IParamEntry& p = *ParamAt(i);
      params.push_back({static_cast<unsigned>(i), std::to_string(i), p.Name(), p.UnitLabel(), p.Minimum(),
                        p.Maximum()});
    }
    return params;
  }

  void Set(int index, double plain) { SetParamFromEditor(index, ParamAt(index)->ToNormalized(plain)); }

  void Run(const std::vector<double>& left, const std::vector<double>& right) {
    std::vector<double> outL(kBlock), outR(kBlock), silence(kBlock, 0.0);
    for (size_t start = 0; start < left.size(); start += kBlock) {
      const int frames = static_cast<int>(std::min<size_t>(kBlock, left.size() - start));
      double* in[4] = {const_cast<double*>(left.data() + start), const_cast<double*>(right.data() + start),
                       silence.data(), silence.data()};
      double* out[2] = {outL.data(), outR.data()};
      std::lock_guard lock(ParamsLock());
      ProcessDoubles(in, out, frames);
    }
  }
};

bool ReadAudio(const std::string& path, kestro::DemoSignal& audio, std::string& error) {
  kestro::SoundFile file;
  if (!file.OpenRead(path, error)) return false;
  const SF_INFO& info = file.Info();
  if (info.channels < 1 || info.channels > 2) {
    error = path + ": " + std::to_string(info.channels) + " channels; mono or stereo please";
    return false;
  }
  std::vector<double> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  const sf_count_t got = sf_readf_double(file.Handle(), interleaved.data(), info.frames);
  audio.rate = info.samplerate;
  for (sf_count_t i = 0; i < got; ++i) {
    const size_t at = static_cast<size_t>(i) * static_cast<size_t>(info.channels);
    audio.left.push_back(interleaved[at]);
    audio.right.push_back(interleaved[at + static_cast<size_t>(info.channels) - 1]);
  }
  return true;
}

// Rests the pointer on the middle of the control bound to param, for one
// timer tick, as a window would report it.
bool HoverOver(kestro::GraphicsCore& editor, int param) {
  for (int i = 0; i < editor.ControlCount(); ++i) {
    const kestro::Control& c = *editor.ControlAt(i);
    if (c.ParamIndex() != param) continue;
    const kestro::PixelRect r = c.Rect();
    editor.MouseOver((r.left + r.right) / 2, (r.top + std::min(r.bottom, editor.Height())) / 2, kestro::MouseModifiers{});
    editor.TimerTick();
    return editor.ReadoutParam() == param;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> params;
  std::string input, output, hover;
  double seconds = 11.0;
  double scale = 1.0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](std::string& value) {
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    std::string value, error;
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--param") {
      std::string name, text;
      if (!next(value) || !kestro::SplitParamArgument(value, name, text, error)) {
        std::fprintf(stderr, "kestro-snapshot: %s\n", error.empty() ? "--param wants NAME=VALUE" : error.c_str());
        return 2;
      }
      params.emplace_back(name, text);
    } else if (arg == "--hover") {
      if (!next(hover)) {
        std::fprintf(stderr, "kestro-snapshot: --hover wants a parameter name or id\n");
        return 2;
      }
    } else if (arg == "--scale") {
      if (!next(value) || !kestro::ParsePlainNumber(value, scale) || scale < 1.0 || scale > 3.0) {
        std::fprintf(stderr, "kestro-snapshot: --scale wants a number from 1 to 3\n");
        return 2;
      }
    } else if (arg == "--input") {
      if (!next(input)) {
        std::fprintf(stderr, "kestro-snapshot: --input wants a file\n");
        return 2;
      }
    } else if (arg == "--seconds") {
      if (!next(value) || !kestro::ParsePlainNumber(value, seconds) || seconds < 0.0 || seconds > 600.0) {
        std::fprintf(stderr, "kestro-snapshot: --seconds wants a number from 0 to 600\n");
        return 2;
      }
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "kestro-snapshot: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    } else if (output.empty()) {
      output = arg;
    } else {
      std::fprintf(stderr, "kestro-snapshot: one output file only\n");
      return 2;
    }
  }
  if (output.empty()) {
    Usage(stderr);
    return 2;
  }

  kestro::DemoSignal audio;
  std::string error;
  if (!input.empty()) {
    if (!ReadAudio(input, audio, error)) {
      std::fprintf(stderr, "kestro-snapshot: %s\n", error.c_str());
      return 1;
    }
  } else if (seconds > 0.0) {
    audio = kestro::MakeDemoSignal(seconds);
  }

  SnapshotKestro kestro(audio.rate);
  const std::vector<kestro::ParamDescription> described = kestro.Describe();
  for (const auto& [name, text] : params) {
    kestro::ParamChoice choice;
    if (!kestro::ResolveParamArgument(described, name, text, choice, error)) {
      std::fprintf(stderr, "kestro-snapshot: %s\n", error.c_str());
      return 1;
    }
    kestro.Set(static_cast<int>(choice.param->id), choice.plain);
  }
  kestro.RefreshParamControls();
  kestro.Run(audio.left, audio.right);

  auto* editor = dynamic_cast<kestro::GraphicsCore*>(kestro.Editor());
  if (editor == nullptr || editor->DrawingBitmap() == nullptr) {
    std::fprintf(stderr, "kestro-snapshot: the plug-in has no editor to draw\n");
    return 1;
  }
  if (!hover.empty()) {
    const kestro::ParamDescription* param =
        kestro::FindParam(described, hover, error, [](const std::string& id) { return "--hover " + id; });
    if (param == nullptr || !HoverOver(*editor, static_cast<int>(param->id))) {
      std::fprintf(stderr, "kestro-snapshot: %s\n",
                   param == nullptr ? error.c_str() : "no control of the editor shows that parameter");
      return 1;
    }
  }
  editor->SetScale(scale);
  editor->DrawRegion({0, 0, editor->Width(), editor->Height()});
  if (!kestro::WritePngFile(*editor->DrawingBitmap(), output, error)) {
    std::fprintf(stderr, "kestro-snapshot: %s\n", error.c_str());
    return 1;
  }
  const double level = editor->ControlAt(kestro.MeterControl())->Value();
  std::printf("wrote %s: %dx%d editor after %.1f s of audio; gain-reduction meter at %.1f %% of its scale\n",
              output.c_str(), editor->DeviceWidth(), editor->DeviceHeight(), static_cast<double>(audio.left.size()) / audio.rate,
              100.0 * std::clamp(level, 0.0, 1.0));
  return 0;
}
