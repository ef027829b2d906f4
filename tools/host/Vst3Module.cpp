#include "tools/host/Vst3Module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

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

std::string Vst3Module::ResolveLibraryPath(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path given(path);
  const fs::file_status status = fs::status(given, ec);
  if (ec || !fs::exists(status)) {
    error = "no such module: " + path;
    return {};
  }
  if (!fs::is_directory(status)) {
    return path;
  }
  // "KESTRO.vst3/" and "KESTRO.vst3" name the same bundle.
  fs::path bundle = given.lexically_normal();
  if (bundle.filename().empty()) {
    bundle = bundle.parent_path();
  }
  const std::string name = bundle.stem().string();
  const fs::path library = bundle / "Contents" / kArchFolder / (name + ".so");
  if (!fs::is_regular_file(library, ec)) {
    error = "bundle " + path + " has no " + (fs::path("Contents") / kArchFolder / (name + ".so")).string();
    return {};
  }
  return library.string();
}

std::unique_ptr<Vst3Module> Vst3Module::Load(const std::string& path, std::string& error) {
  std::string library = ResolveLibraryPath(path, error);
  if (library.empty()) {
    return nullptr;
  }
  // dlopen searches the library path for a bare name; a module is always
  // meant as a file, so make it a path.
  if (library.find('/') == std::string::npos) {
    library = "./" + library;
  }
  std::unique_ptr<Vst3Module> module(new Vst3Module);
  module->libraryPath_ = library;
  dlerror();
  module->handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module->handle_ == nullptr) {
    error = "cannot load " + library + ": " + DlError();
    return nullptr;
  }
  module->getFactory_ = reinterpret_cast<GetFactoryProc>(dlsym(module->handle_, "GetPluginFactory"));
  if (module->getFactory_ == nullptr) {
    error = library + " is not a VST3 module: it does not export GetPluginFactory";
    return nullptr;
  }
  using EntryProc = bool (*)(void*);
  auto entry = reinterpret_cast<EntryProc>(dlsym(module->handle_, "ModuleEntry"));
  module->exit_ = reinterpret_cast<ExitProc>(dlsym(module->handle_, "ModuleExit"));
  if (entry == nullptr || module->exit_ == nullptr) {
    error = library + " does not export ModuleEntry and ModuleExit, which a Linux VST3 module must";
    return nullptr;
  }
  if (!entry(module->handle_)) {
    error = library + ": ModuleEntry reported failure";
    return nullptr;
  }
  module->entered_ = true;
  return module;
}

Vst3Module::~Vst3Module() {
  // The factory may live in the library: drop it before the library goes.
  factory_ = nullptr;
  if (entered_ && exit_ != nullptr) {
    exit_();
  }
  if (handle_ != nullptr) {
    dlclose(handle_);
  }
}

Steinberg::IPluginFactory* Vst3Module::Factory() {
  if (!factory_ && getFactory_ != nullptr) {
    // GetPluginFactory hands over a reference: take it, do not add one.
    factory_ = Steinberg::owned(getFactory_());
  }
  return factory_;
}

void* Vst3Module::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace kestro
