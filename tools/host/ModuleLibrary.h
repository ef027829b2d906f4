#pragma once

#include <memory>
#include <string>

namespace kestro {

// The operating system's part of loading a VST3 module: the library itself,
// its exports, the platform's entry and exit calls and where a bundle keeps
// its library. One implementation per platform (dlopen with ModuleEntry and
// ModuleExit on Linux, LoadLibrary with InitDll and ExitDll on Windows).
class ModuleLibrary {
 public:
  // Null on failure, with the reason in error.
  static std::unique_ptr<ModuleLibrary> Open(const std::string& path, std::string& error);

  // The library's path inside a bundle folder, relative to the bundle, for a
  // bundle named name (without ".vst3").
  static std::string BundleLibrary(const std::string& name);

  // Runs the exit call if the entry call succeeded, then unloads.
  ~ModuleLibrary();
  ModuleLibrary(const ModuleLibrary&) = delete;
  ModuleLibrary& operator=(const ModuleLibrary&) = delete;

  // An export of the library, or null.
  void* Symbol(const char* name) const;

  // The platform's entry call; false with the reason in error.
  bool Enter(std::string& error);

  const std::string& Path() const { return path_; }

 private:
  ModuleLibrary() = default;

  void* handle_ = nullptr;
  bool entered_ = false;
  std::string path_;
};

}  // namespace kestro
