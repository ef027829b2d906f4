#include "tools/host/VstPreset.h"

#include <vector>

#include "public.sdk/source/vst/vstpresetfile.h"
#include "tools/host/PluginInstance.h"

namespace kestro {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string XmlUnescaped(const std::string& text) {
  static const std::pair<const char*, char> kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
        out += c;
        i += std::char_traits<char>::length(entity);
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// The attributes preset browsers read; the name is the one they list.
std::string MetaInfo(const std::string& name, const std::string& plugInName) {
  auto attr = [](const char* id, const std::string& value) {
    return std::string("\t<Attr id=\"") + id + "\" value=\"" + XmlEscaped(value) +
           "\" type=\"string\" flags=\"writeProtected\"></Attr>\n";
  };
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n" + attr("MediaType", "VstPreset") +
         attr("PlugInName", plugInName) + attr("PlugInCategory", "Fx|Dynamics") + attr("Name", name) +
         "</MetaInfo>\n";
}

struct StreamCloser {
  IBStream* stream;
  ~StreamCloser() {
    if (stream != nullptr) stream->release();
  }
};

}  // namespace

bool VstPreset::Save(PluginInstance& instance, const std::string& path, const std::string& name,
                     ClassIdLayout layout, std::string& error) {
  if (instance.Component() == nullptr) {
    error = "the plug-in has no component";
    return false;
  }
  StreamCloser file{FileStream::open(path.c_str(), "wb")};
  if (file.stream == nullptr) {
    error = path + ": cannot be written";
    return false;
  }
  const std::string xml = MetaInfo(name, instance.ClassName());
  TUID cid;
  instance.ClassId().toTUID(cid);
  if (!PresetFile::savePreset(file.stream, ClassIdAs(cid, layout), instance.Component(), instance.Controller(),
                              xml.c_str(), static_cast<int32>(xml.size()))) {
    error = path + ": the plug-in's state could not be written";
    return false;
  }
  return true;
}

bool VstPreset::Load(PluginInstance& instance, const std::string& path, std::string& error) {
  StreamCloser file{FileStream::open(path.c_str(), "rb")};
  if (file.stream == nullptr) {
    error = path + ": cannot be read";
    return false;
  }
  // The same plug-in's presets saved on the other platform carry its class
  // id as that platform reads the bytes; they are as good as this one's.
  TUID cid;
  instance.ClassId().toTUID(cid);
  FUID fileId;
  {
    PresetFile header(file.stream);
    if (!header.readChunkList()) {
      error = path + ": not a VST3 preset file";
      return false;
    }
    fileId = header.getClassID();
    if (fileId != ClassIdAs(cid, ClassIdLayout::kWindows) && fileId != ClassIdAs(cid, ClassIdLayout::kLinux)) {
      error = path + ": a preset of another plug-in";
      return false;
    }
  }
  file.stream->seek(0, IBStream::kIBSeekSet, nullptr);
  if (!PresetFile::loadPreset(file.stream, fileId, instance.Component(), instance.Controller())) {
    error = path + ": the plug-in refused the preset's state";
    return false;
  }
  return true;
}

std::string VstPreset::Name(const std::string& path) {
  StreamCloser file{FileStream::open(path.c_str(), "rb")};
  if (file.stream == nullptr) return "";
  PresetFile preset(file.stream);
  int32 size = 0;
  if (!preset.readChunkList() || !preset.readMetaInfo(nullptr, size) || size <= 0) return "";
  std::vector<char> xml(static_cast<size_t>(size) + 1, '\0');
  if (!preset.readMetaInfo(xml.data(), size)) return "";
  const std::string text(xml.data(), static_cast<size_t>(size));
  const std::string key = "id=\"Name\" value=\"";
  const size_t at = text.find(key);
  if (at == std::string::npos) return "";
  const size_t end = text.find('"', at + key.size());
  return end == std::string::npos ? "" : XmlUnescaped(text.substr(at + key.size(), end - at - key.size()));
}

}  // namespace kestro
