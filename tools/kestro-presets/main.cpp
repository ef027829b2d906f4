// kestro-presets: writes KESTRO's factory presets as .vstpreset files, one
// per row of the factory table, through the built module itself: each row
// becomes the module's state (its setState), and the file holds what the
// module then saves, so the presets can never disagree with the plug-in.
//
//   kestro-presets --module BUNDLE [--windows] OUTDIR
//
// --windows writes them for the Windows build of the same module: the state
// is the same, the class id reads as Windows hosts read it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plugin/KestroFactoryPresets.h"
#include "tools/host/HostMemoryStream.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"
#include "tools/host/VstPreset.h"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-presets: %s\n", message.c_str());
  return 1;
}

// The stored state of a row: a little-endian double per parameter, then
// the host's bypass (off).
std::vector<uint8_t> StateOf(const kestro::FactoryPreset& preset) {
  std::vector<uint8_t> bytes;
  for (const double value : preset.values) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
  for (int i = 0; i < 4; ++i) bytes.push_back(0);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const bool windows = argc == 5 && std::strcmp(argv[3], "--windows") == 0;
  if ((argc != 4 && !windows) || std::strcmp(argv[1], "--module") != 0) {
    return Fail("usage: kestro-presets --module BUNDLE [--windows] OUTDIR");
  }
  const std::string modulePath = argv[2];
  const std::filesystem::path outDir = argv[argc - 1];
  const kestro::ClassIdLayout layout = windows ? kestro::ClassIdLayout::kWindows : kestro::ClassIdLayout::kThisPlatform;
  std::string error;
  std::unique_ptr<kestro::Vst3Module> module = kestro::Vst3Module::Load(modulePath, error);
  if (!module) return Fail(error);
  std::error_code made;
  std::filesystem::create_directories(outDir, made);
  if (made) return Fail(outDir.string() + ": " + made.message());
  // A preset renamed or dropped from the table must not live on here.
  for (const auto& entry : std::filesystem::directory_iterator(outDir)) {
    if (entry.path().extension() == ".vstpreset") std::filesystem::remove(entry.path());
  }

  for (const kestro::FactoryPreset& preset : kestro::FactoryPresets()) {
    std::unique_ptr<kestro::PluginInstance> instance =
        kestro::PluginInstance::CreateFirstEffect(module->Factory(), error);
    if (!instance) return Fail(modulePath + ": " + error);
    const std::vector<uint8_t> state = StateOf(preset);
    kestro::HostMemoryStream stream(state);
    if (instance->Component()->setState(&stream) != Steinberg::kResultOk) {
      return Fail(std::string("the plug-in refused the state of \"") + preset.name + "\"");
    }
    const std::string path = (outDir / kestro::FactoryPresetFileName(preset)).string();
    if (!kestro::VstPreset::Save(*instance, path, preset.name, layout, error)) return Fail(error);
  }
  std::printf("wrote %zu factory presets to %s\n", kestro::FactoryPresets().size(), outDir.string().c_str());
  return 0;
}
