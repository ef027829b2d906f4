// Writes the LV2 bundle's Turtle files (manifest.ttl, KESTRO.ttl and the
// factory presets' presets.ttl) from the plug-in itself and the factory
// preset table, so the description always says what the module does.
//   kestro-lv2-ttl BUNDLE_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/PluginCore.h"
#include "lv2/Lv2Description.h"
#include "lv2/Lv2PluginInfo.h"
#include "plugin/KestroFactoryPresets.h"

namespace {

bool Write(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "kestro-lv2-ttl: cannot write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kestro-lv2-ttl BUNDLE_DIR\n");
    return 2;
  }
  const std::filesystem::path bundle = argv[1];
  std::error_code error;
  std::filesystem::create_directories(bundle, error);
  const kestro::Lv2PluginInfo& info = kestro::PluginLv2Info();
  const std::unique_ptr<kestro::PluginCore> plugin(info.create());
  const kestro::Lv2Description description(*plugin, info);
  std::vector<kestro::Lv2Description::Preset> presets;
  for (const kestro::FactoryPreset& preset : kestro::FactoryPresets()) {
    presets.push_back({preset.name, std::vector<double>(preset.values.begin(), preset.values.end())});
  }
  const bool ok =
      Write(bundle / "manifest.ttl",
            description.Manifest("KESTRO.ttl") + description.PresetManifest(presets, "presets.ttl")) &&
      Write(bundle / "KESTRO.ttl", description.Plugin()) && Write(bundle / "presets.ttl", description.Presets(presets));
  return ok ? 0 : 1;
}
