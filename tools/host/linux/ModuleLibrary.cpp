#include "tools/host/ModuleLibrary.h"

#include <dlfcn.h>

namespace kestro {
namespace {

// The bundle's architecture folder for the machine we were built for.
constexpr const char* kArchFolder =
#if defined(__x86_64__)
    "x86_64-linux";
#elif defined(__aarch64__)
    "aarch64-linux";
#elif defined(__i386__)
    "i386-linux";
#else
    "unknown-linux";
#endif

std::string DlError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}

}  // namespace

std::string ModuleLibrary::BundleLibrary(const std::string& name) {
  return std::string("Contents/") + kArchFolder + "/" + name + ".so";
}

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path, std::string& error) {
  // dlopen searches the library path for a bare name; a module is always
  // meant as a file, so make it a path.
  std::string library = path;
  if (library.find('/') == std::string::npos) {
    library = "./" + library;
  }
  std::unique_ptr<ModuleLibrary> result(new ModuleLibrary);
  result->path_ = library;
  dlerror();
  result->handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (result->handle_ == nullptr) {
    error = "cannot load " + library + ": " + DlError();
    return nullptr;
  }
  return result;
}

ModuleLibrary::~ModuleLibrary() {
  if (entered_) {
    if (auto exit = reinterpret_cast<bool (*)()>(Symbol("ModuleExit"))) {
      exit();
    }
  }
  if (handle_ != nullptr) {
    dlclose(handle_);
  }
}

void* ModuleLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

bool ModuleLibrary::Enter(std::string& error) {
  using EntryProc = bool (*)(void*);
  auto entry = reinterpret_cast<EntryProc>(Symbol("ModuleEntry"));
  if (entry == nullptr || Symbol("ModuleExit") == nullptr) {
    error = path_ + " does not export ModuleEntry and ModuleExit, which a Linux VST3 module must";
    return false;
  }
  if (!entry(handle_)) {
    error = path_ + ": ModuleEntry reported failure";
    return false;
  }
  entered_ = true;
  return true;
}

}  // namespace kestro
