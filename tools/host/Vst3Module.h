#pragma once

#include "tools/host/ModuleLibrary.h"

#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/base/smartpointer.h"

#include <memory>
#include <string>

namespace kestro {

// A VST3 module loaded the way a host of this platform loads it (see
// ModuleLibrary): the library, its entry call, GetPluginFactory; at unload
// the factory reference is dropped, then the exit call and the library.
class Vst3Module {
 public:
  using GetFactoryProc = Steinberg::IPluginFactory* (*)();

  // path is a library or a bundle directory (NAME.vst3, whose library is
  // Contents/x86_64-linux/NAME.so or Contents/x86_64-win/NAME.vst3). Null on
  // failure, with the reason in error.
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
  Vst3Module() = default;

  std::unique_ptr<ModuleLibrary> library_;
  GetFactoryProc getFactory_ = nullptr;
  Steinberg::IPtr<Steinberg::IPluginFactory> factory_;
  std::string libraryPath_;
};

}  // namespace kestro
