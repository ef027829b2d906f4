#include "tools/kestro-render/DefaultModule.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestro {

std::string FindDefaultModule(std::vector<std::string>* searched) {
  namespace fs = std::filesystem;
  constexpr const char* kBundle = "KESTRO.vst3";
  std::vector<fs::path> candidates;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const fs::path dir = self.parent_path();
    candidates.push_back(dir / ".." / kBundle);                  // build tree: <build>/tools/kestro-render
    candidates.push_back(dir / ".." / "lib" / "vst3" / kBundle);  // installed: <prefix>/bin/kestro-render
  }
#ifdef KESTRO_BUILT_MODULE
  candidates.push_back(KESTRO_BUILT_MODULE);
#endif
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    candidates.push_back(fs::path(home) / ".vst3" / kBundle);
  }
  candidates.push_back(fs::path("/usr/local/lib/vst3") / kBundle);
  candidates.push_back(fs::path("/usr/lib/vst3") / kBundle);

  for (const fs::path& candidate : candidates) {
    const fs::path normal = candidate.lexically_normal();
    if (searched != nullptr) {
      searched->push_back(normal.string());
    }
    if (fs::exists(normal, ec)) {
      return normal.string();
    }
  }
  return {};
}

}  // namespace kestro
