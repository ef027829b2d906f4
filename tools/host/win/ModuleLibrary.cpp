#include "tools/host/ModuleLibrary.h"

#include <windows.h>

#include <vector>

namespace kestro {
namespace {

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
  LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
    result.pop_back();
  }
  return result;
}

// UTF-8 to UTF-16, with the separators LoadLibrary insists on.
std::wstring WidePath(const std::string& path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  if (length <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), length);
  std::wstring result(wide.data());
  for (wchar_t& c : result) {
    if (c == L'/') c = L'\\';
  }
  return result;
}

}  // namespace

std::string ModuleLibrary::BundleLibrary(const std::string& name) {
  return "Contents/x86_64-win/" + name + ".vst3";
}

std::unique_ptr<ModuleLibrary> ModuleLibrary::Open(const std::string& path, std::string& error) {
  std::unique_ptr<ModuleLibrary> result(new ModuleLibrary);
  result->path_ = path;
  const std::wstring wide = WidePath(path);
  // A module is always meant as a file: never search the DLL path for it.
  // The altered search path lets a module find DLLs beside itself.
  const bool absolute = wide.size() > 2 && (wide[1] == L':' || wide[0] == L'\\');
  const std::wstring file = absolute ? wide : L".\\" + wide;
  result->handle_ = LoadLibraryExW(file.c_str(), nullptr, absolute ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (result->handle_ == nullptr) {
    error = "cannot load " + path + ": " + LastErrorText();
    return nullptr;
  }
  return result;
}

ModuleLibrary::~ModuleLibrary() {
  if (entered_) {
    if (auto exit = reinterpret_cast<bool (*)()>(Symbol("ExitDll"))) {
      exit();
    }
  }
  if (handle_ != nullptr) {
    FreeLibrary(static_cast<HMODULE>(handle_));
  }
}

void* ModuleLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

// InitDll and ExitDll are optional on Windows; a host calls them when the
// module has them.
bool ModuleLibrary::Enter(std::string& error) {
  if (auto init = reinterpret_cast<bool (*)()>(Symbol("InitDll"))) {
    if (!init()) {
      error = path_ + ": InitDll reported failure";
      return false;
    }
  }
  entered_ = true;
  return true;
}

}  // namespace kestro
