#pragma once

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <memory>
#include <string>

namespace kestro {

// A VST3 module loaded the way a Linux host loads it: dlopen, ModuleEntry
// with the library handle, GetPluginFactory; at unload the factory reference
// is dropped, then ModuleExit and dlclose.
class Vst3Module {
 public:
  using GetFactoryProc = Steinberg::IPluginFactory* (*)();

  // path is a shared library or a bundle directory (NAME.vst3, whose library
  // is Contents/<arch>-linux/NAME.so). Null on failure, with the reason in
  // error.
  static std::unique_ptr<Vst3Module> Load(const std::string& path, std::string& error);

  // The library inside a bundle directory, or path itself when it is a file.
  // Empty on failure, with the reason in error.
  static std::string ResolveLibraryPath(const std::string& path, std::string& error);

  ~Vst3Module();
  Vst3Module(const Vst3Module&) = delete;
  Vst3Module& operator=(const Vst3Module&) = delete;

  // The module's factory, asked for on first use and then kept until unload.
  // Null when the module gives none.
  Steinberg::IPluginFactory* Factory();

  // The raw export, for callers that manage the returned reference themselves.
  GetFactoryProc GetPluginFactoryFunction() const { return getFactory_; }

  // Any other export of the library, or null.
  void* Symbol(const char* name) const;

  const std::string& LibraryPath() const { return libraryPath_; }

 private:
  using ExitProc = bool (*)();

  Vst3Module() = default;

  void* handle_ = nullptr;
  GetFactoryProc getFactory_ = nullptr;
  ExitProc exit_ = nullptr;
  bool entered_ = false;
  Steinberg::IPtr<Steinberg::IPluginFactory> factory_;
  std::string libraryPath_;
};

}  // namespace kestro
