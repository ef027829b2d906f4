// kestro-render-raw: renders raw samples through a VST3 module, offline, as a
// host would. The input is interleaved stereo 32-bit floats (little endian, no
// header); the output is the same in the processing precision (32-bit floats,
// or 64-bit with --precision 64, so that nothing is rounded away). It needs no
// sound-file library and builds for every platform; the Windows and Linux
// builds of the module are compared with it.
//
//   kestro-render-raw --module BUNDLE [--param KEY=VALUE]... [--rate HZ]
//                     [--block N] [--precision 32|64] IN.f32 OUT
#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"
#include "tools/kestro-render/ParameterLookup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace kestro;
using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr int kChannels = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-render-raw: %s\n", message.c_str());
  return 1;
}

struct Options {
  std::string module, input, output;
  std::vector<std::pair<std::string, std::string>> params;
  double rate = 44100.0;
  int block = 512;
  int precision = 32;
};

bool Parse(int argc, char** argv, Options& options, std::string& error) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--module" && hasValue) {
      options.module = argv[++i];
    } else if (arg == "--param" && hasValue) {
      const std::string setting = argv[++i];
      const size_t equals = setting.find('=');
      if (equals == std::string::npos || equals == 0) {
        error = "--param wants KEY=VALUE, not " + setting;
        return false;
      }
      options.params.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
    } else if (arg == "--rate" && hasValue) {
      options.rate = std::atof(argv[++i]);
    } else if (arg == "--block" && hasValue) {
      options.block = std::atoi(argv[++i]);
    } else if (arg == "--precision" && hasValue) {
      options.precision = std::atoi(argv[++i]);
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2 || options.module.empty()) {
    error = "usage: kestro-render-raw --module BUNDLE [--param KEY=VALUE]... [--rate HZ] [--block N] "
            "[--precision 32|64] IN.f32 OUT";
    return false;
  }
  if (options.rate < 1000.0 || options.rate > 768000.0 || options.block < 1 || options.block > 65536 ||
      (options.precision != 32 && options.precision != 64)) {
    error = "rate, block or precision out of range";
    return false;
  }
  options.input = files[0];
  options.output = files[1];
  return true;
}

bool ReadSamples(const std::string& path, std::vector<float>& samples, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  float buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, sizeof(float), 4096, file.get())) > 0) {
    samples.insert(samples.end(), buffer, buffer + got);
  }
  if (std::ferror(file.get()) || samples.size() % kChannels != 0) {
    error = path + " is not interleaved stereo 32-bit floats";
    return false;
  }
  return true;
}

template <typename Sample>
bool Render(PluginInstance& instance, const std::vector<float>& in, std::vector<Sample>& out, int block,
            std::string& error) {
  const size_t frames = in.size() / kChannels;
  const auto blockSize = static_cast<size_t>(block);
  std::vector<std::vector<Sample>> main(kChannels, std::vector<Sample>(blockSize));
  std::vector<std::vector<Sample>> result(kChannels, std::vector<Sample>(blockSize));
  Sample* mainPointers[kChannels] = {main[0].data(), main[1].data()};
  Sample* outPointers[kChannels] = {result[0].data(), result[1].data()};
  out.resize(in.size());
  for (size_t start = 0; start < frames; start += blockSize) {
    const size_t n = std::min(blockSize, frames - start);
    for (size_t i = 0; i < n; ++i) {
      for (size_t c = 0; c < kChannels; ++c) main[c][i] = static_cast<Sample>(in[(start + i) * kChannels + c]);
    }
    const tresult status = instance.Process(static_cast<int32>(n), mainPointers, nullptr, outPointers);
    if (status != kResultOk) {
      error = "the plug-in failed to process a block (result " + std::to_string(status) + ")";
      return false;
    }
    for (size_t i = 0; i < n; ++i) {
      for (size_t c = 0; c < kChannels; ++c) out[(start + i) * kChannels + c] = result[c][i];
    }
  }
  return true;
}

template <typename Sample>
bool RenderAndWrite(PluginInstance& instance, const std::vector<float>& input, const Options& options,
                    std::string& error) {
  std::vector<Sample> output;
  const bool rendered = Render<Sample>(instance, input, output, options.block, error);
  instance.Stop();
  if (!rendered) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(options.output.c_str(), "wb"), std::fclose);
  const bool written = file && std::fwrite(output.data(), sizeof(Sample), output.size(), file.get()) == output.size();
  if (!written || std::fclose(file.release()) != 0) {
    std::remove(options.output.c_str());
    error = "cannot write " + options.output;
    return false;
  }
  return true;
}

int Run(const Options& options) {
  std::string error;
  std::vector<float> input;
  if (!ReadSamples(options.input, input, error)) return Fail(error);

  std::unique_ptr<Vst3Module> module = Vst3Module::Load(options.module, error);
  if (!module) return Fail(error);
  std::unique_ptr<PluginInstance> instance = PluginInstance::CreateFirstEffect(module->Factory(), error);
  if (!instance) return Fail(options.module + ": " + error);
  if (instance->Controller() == nullptr) return Fail(options.module + ": the plug-in has no edit controller");

  const ParameterLookup lookup(instance->Controller());
  std::vector<ParameterLookup::Setting> settings;
  for (const auto& [key, value] : options.params) {
    ParameterLookup::Setting setting;
    if (!lookup.Resolve(key, value, setting, error)) return Fail(error);
    settings.push_back(setting);
  }

  PluginInstance::Setup setup;
  setup.sampleSize = options.precision == 64 ? kSample64 : kSample32;
  setup.sampleRate = options.rate;
  setup.maxBlock = options.block;
  setup.processMode = kOffline;
  if (!instance->Start(setup, error)) return Fail(error);
  for (const ParameterLookup::Setting& setting : settings) {
    instance->Controller()->setParamNormalized(setting.id, setting.normalized);
    instance->Changes().Add(setting.id, setting.normalized);
  }

  const bool ok = options.precision == 64 ? RenderAndWrite<double>(*instance, input, options, error)
                                          : RenderAndWrite<float>(*instance, input, options, error);
  return ok ? 0 : Fail(error);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!Parse(argc, argv, options, error)) {
    std::fprintf(stderr, "kestro-render-raw: %s\n", error.c_str());
    return 2;
  }
  return Run(options);
}
