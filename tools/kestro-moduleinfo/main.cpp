// kestro-moduleinfo: writes a VST3 module's moduleinfo.json (what VST 3.7.5
// and later hosts read instead of loading the module) from what the built
// module's factory answers, so the two cannot disagree.
//
//   kestro-moduleinfo --module BUNDLE [--windows] [--cid] [--out FILE]
//
// --windows writes it for the Windows build of the same module (class ids
// as Windows reads the bytes); --cid prints only the first class id, which
// names the bundle's snapshot images.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"
#include "tools/host/ClassIdText.h"
#include "tools/host/Vst3Module.h"

namespace {

using namespace Steinberg;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-moduleinfo: %s\n", message.c_str());
  return 1;
}

// A fixed-size text field of the factory's structures.
template <size_t N>
std::string Field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* Bool(bool b) { return b ? "true" : "false"; }

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, by)) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::string ModuleInfoJson(IPluginFactory& factory, kestro::ClassIdLayout layout, const std::string& moduleName) {
  PFactoryInfo info{};
  factory.getFactoryInfo(&info);
  FUnknownPtr<IPluginFactory2> factory2(&factory);
  std::ostringstream json;
  std::string version;
  std::ostringstream classes;
  const int32 count = factory.countClasses();
  for (int32 i = 0; i < count; ++i) {
    PClassInfo2 c{};
    if (!factory2 || factory2->getClassInfo2(i, &c) != kResultOk) {
      PClassInfo basic{};
      if (factory.getClassInfo(i, &basic) != kResultOk) continue;
      std::memcpy(c.cid, basic.cid, sizeof c.cid);
      std::memcpy(c.category, basic.category, sizeof c.category);
      std::memcpy(c.name, basic.name, sizeof c.name);
      c.cardinality = basic.cardinality;
    }
    const std::string cid = kestro::ClassIdText(c.cid, layout);
    if (version.empty()) version = Field(c.version);
    classes << (i > 0 ? ",\n" : "") << "    {\n"
            << "      \"CID\": " << Quoted(cid) << ",\n"
            << "      \"Category\": " << Quoted(Field(c.category)) << ",\n"
            << "      \"Name\": " << Quoted(Field(c.name)) << ",\n"
            << "      \"Vendor\": " << Quoted(Field(c.vendor).empty() ? Field(info.vendor) : Field(c.vendor)) << ",\n"
            << "      \"Version\": " << Quoted(Field(c.version)) << ",\n"
            << "      \"SDKVersion\": " << Quoted(Field(c.sdkVersion)) << ",\n"
            << "      \"Sub Categories\": [";
    const std::vector<std::string> subs = Split(Field(c.subCategories), '|');
    for (size_t s = 0; s < subs.size(); ++s) classes << (s > 0 ? ", " : "") << Quoted(subs[s]);
    classes << "],\n"
            << "      \"Class Flags\": " << c.classFlags << ",\n"
            << "      \"Cardinality\": " << c.cardinality << ",\n"
            << "      \"Snapshots\": [\n"
            << "        {\"Scale Factor\": 1.0, \"Path\": " << Quoted("Snapshots/" + cid + "_snapshot.png") << "},\n"
            << "        {\"Scale Factor\": 2.0, \"Path\": " << Quoted("Snapshots/" + cid + "_snapshot_2.0x.png")
            << "}\n"
            << "      ]\n"
            << "    }";
  }
  json << "{\n"
       << "  \"Name\": " << Quoted(moduleName) << ",\n"
       << "  \"Version\": " << Quoted(version) << ",\n"
       << "  \"Factory Info\": {\n"
       << "    \"Vendor\": " << Quoted(Field(info.vendor)) << ",\n"
       << "    \"URL\": " << Quoted(Field(info.url)) << ",\n"
       << "    \"E-Mail\": " << Quoted(Field(info.email)) << ",\n"
       << "    \"Flags\": {\n"
       << "      \"Unicode\": " << Bool((info.flags & PFactoryInfo::kUnicode) != 0) << ",\n"
       << "      \"Classes Discardable\": " << Bool((info.flags & PFactoryInfo::kClassesDiscardable) != 0) << ",\n"
       << "      \"Component Non Discardable\": "
       << Bool((info.flags & PFactoryInfo::kComponentNonDiscardable) != 0) << "\n"
       << "    }\n"
       << "  },\n"
       << "  \"Compatibility\": [],\n"
       << "  \"Classes\": [\n"
       << classes.str() << "\n"
       << "  ]\n"
       << "}\n";
  return json.str();
}

// "KESTRO" for ".../KESTRO.vst3" (with or without a final slash).
std::string BundleName(std::string path) {
  while (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind(".vst3");
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath, out;
  bool windows = false, cidOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      modulePath = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      out = argv[++i];
    } else if (arg == "--windows") {
      windows = true;
    } else if (arg == "--cid") {
      cidOnly = true;
    } else {
      return Fail("usage: kestro-moduleinfo --module BUNDLE [--windows] [--cid] [--out FILE]");
    }
  }
  if (modulePath.empty()) return Fail("no --module given");
  std::string error;
  std::unique_ptr<kestro::Vst3Module> module = kestro::Vst3Module::Load(modulePath, error);
  if (!module) return Fail(error);
  IPluginFactory* factory = module->Factory();
  if (factory == nullptr || factory->countClasses() < 1) return Fail(modulePath + ": the module has no classes");
  const auto layout = windows ? kestro::ClassIdLayout::kWindows : kestro::ClassIdLayout::kThisPlatform;
  if (cidOnly) {
    PClassInfo info{};
    if (factory->getClassInfo(0, &info) != kResultOk) return Fail(modulePath + ": no class information");
    std::printf("%s\n", kestro::ClassIdText(info.cid, layout).c_str());
    return 0;
  }
  const std::string json = ModuleInfoJson(*factory, layout, BundleName(modulePath));
  if (out.empty()) {
    std::fputs(json.c_str(), stdout);
    return 0;
  }
  std::ofstream file(out, std::ios::binary);
  file << json;
  if (!file.flush()) return Fail(out + ": cannot be written");
  return 0;
}
