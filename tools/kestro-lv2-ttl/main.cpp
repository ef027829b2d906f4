// Writes the LV2 bundle's Turtle files (manifest.ttl and KESTRO.ttl) from
// the plug-in itself, so the description always says what the module does.
//   kestro-lv2-ttl BUNDLE_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/PluginCore.h"
#include "lv2/Lv2Description.h"
#include "lv2/Lv2PluginInfo.h"

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
  const bool ok = Write(bundle / "manifest.ttl", description.Manifest("KESTRO.ttl")) &&
                  Write(bundle / "KESTRO.ttl", description.Plugin());
  return ok ? 0 : 1;
}
