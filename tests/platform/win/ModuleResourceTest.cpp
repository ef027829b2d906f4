// The editor's images inside the built DLL: every entry of the resource
// script is a resource of type "PNG" with its id, byte for byte the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Entry {
  int id;
  std::string file;
};

std::vector<Entry> ScriptEntries() {
  std::ifstream script(KESTRO_SOURCE_DIR "/platform/win/resources.rc");
  const std::regex line(R"(^\s*(\d+)\s+PNG\s+"([^"]+)\")");
  std::vector<Entry> entries;
  std::string text;
  while (std::getline(script, text)) {
    std::smatch m;
    if (std::regex_search(text, m, line)) entries.push_back({std::stoi(m[1]), m[2]});
  }
  return entries;
}

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ModuleResources, EveryScriptedImageIsAPngResourceWithItsBytes) {
  const std::vector<Entry> entries = ScriptEntries();
  ASSERT_EQ(entries.size(), 24u) << "ids 103 to 113 and 119, and their twice-as-dense twins 100 above";
  std::wstring path;
  for (const char* c = KESTRO_MODULE_PATH; *c != '\0'; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  // As data only: no DllMain, nothing initialised.
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  for (const Entry& e : entries) {
    HRSRC found = FindResourceExW(module, L"PNG", MAKEINTRESOURCEW(e.id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr) << e.id;
    const DWORD size = SizeofResource(module, found);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr) << e.id;
    const std::vector<unsigned char> expected = FileBytes(KESTRO_SOURCE_DIR "/" + e.file);
    ASSERT_FALSE(expected.empty()) << e.file;
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + size), expected) << e.id << " " << e.file;
  }
  for (int beyond : {114, 214}) {
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(beyond), L"PNG"), nullptr) << "no id beyond the script";
  }
  FreeLibrary(module);
}

}  // namespace
