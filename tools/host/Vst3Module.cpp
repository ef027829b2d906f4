#include "tools/host/Vst3Module.h"

#include <filesystem>
#include <system_error>

namespace kestro {

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
  const std::string inside = ModuleLibrary::BundleLibrary(bundle.stem().string());
  const fs::path library = bundle / fs::path(inside).make_preferred();
  if (!fs::is_regular_file(library, ec)) {
    error = "bundle " + path + " has no " + inside;
    return {};
  }
  return library.string();
}

std::unique_ptr<Vst3Module> Vst3Module::Load(const std::string& path, std::string& error) {
  const std::string library = ResolveLibraryPath(path, error);
  if (library.empty()) {
    return nullptr;
  }
  std::unique_ptr<Vst3Module> module(new Vst3Module);
  module->library_ = ModuleLibrary::Open(library, error);
  if (module->library_ == nullptr) {
    return nullptr;
  }
  module->libraryPath_ = module->library_->Path();
  module->getFactory_ = reinterpret_cast<GetFactoryProc>(module->library_->Symbol("GetPluginFactory"));
  if (module->getFactory_ == nullptr) {
    error = module->libraryPath_ + " is not a VST3 module: it does not export GetPluginFactory";
    return nullptr;
  }
  if (!module->library_->Enter(error)) {
    return nullptr;
  }
  return module;
}

Vst3Module::~Vst3Module() {
  // The factory may live in the library: drop it before the library goes.
  factory_ = nullptr;
  library_.reset();
}

Steinberg::IPluginFactory* Vst3Module::Factory() {
  if (!factory_ && getFactory_ != nullptr) {
    // GetPluginFactory hands over a reference: take it, do not add one.
    factory_ = Steinberg::owned(getFactory_());
  }
  return factory_;
}

void* Vst3Module::Symbol(const char* name) const {
  return library_ != nullptr ? library_->Symbol(name) : nullptr;
}

}  // namespace kestro
