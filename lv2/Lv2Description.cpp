#include "lv2/Lv2Description.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "core/PluginCore.h"
#include "lv2/Lv2PluginInfo.h"
#include "lv2/Lv2Ports.h"

namespace kestro {

namespace {

// A Turtle decimal: always with a point, never with an exponent.
std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  std::string s = text;
  while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
  if (s == "-0.0") s = "0.0";
  return s;
}

// A Turtle string literal.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

constexpr const char* kPrefixes =
    "@prefix doap:   <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf:   <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2:    <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts:   <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf:    <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:   <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state:  <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:     <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units:  <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid:   <http://lv2plug.in/ns/ext/urid#> .\n";

}  // namespace

Lv2Description::Lv2Description(const PluginCore& core, const Lv2PluginInfo& info) : core_(core), info_(info) {}

std::string Lv2Description::Manifest(const char* pluginFile) const {
  std::ostringstream ttl;
  ttl << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
      << "<" << info_.uri << ">\n"
      << "    a lv2:Plugin ;\n"
      << "    lv2:binary <" << info_.binary << "> ;\n"
      << "    rdfs:seeAlso <" << pluginFile << "> .\n\n"
      << "<" << info_.uiUri << ">\n"
      << "    a <http://lv2plug.in/ns/extensions/ui#X11UI> ;\n"
      << "    <http://lv2plug.in/ns/extensions/ui#binary> <" << info_.uiBinary << "> ;\n"
      << "    rdfs:seeAlso <" << pluginFile << "> .\n";
  return ttl.str();
}

std::string Lv2Description::Plugin() const {
  const Lv2Ports ports(core_);
  const int32_t version = core_.Version();
  // LV2 versions: an even minor version is a release. 6.1.0 becomes 1220.0
  // (major and minor, doubled), so every later release sorts above.
  const int major = (version >> 16) & 0xFFFF;
  const int minor = (version >> 8) & 0xFF;
  const int patch = version & 0xFF;

  std::ostringstream ttl;
  ttl << kPrefixes << "\n"
      << "<" << info_.uri << ">\n"
      << "    a lv2:Plugin , lv2:" << info_.pluginClass << " , doap:Project ;\n"
      << "    doap:name " << Quoted(core_.EffectName()) << " ;\n"
      << "    doap:license <" << info_.license << "> ;\n"
      << "    doap:maintainer [\n"
      << "        foaf:name " << Quoted(info_.maintainer) << " ;\n"
      << "        foaf:homepage <" << info_.homepage << "> ;\n"
      << "        foaf:mbox <mailto:" << info_.email << ">\n"
      << "    ] ;\n"
      << "    lv2:minorVersion " << 2 * (major * 100 + minor) << " ;\n"
      << "    lv2:microVersion " << patch << " ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
      << "    lv2:extensionData state:interface ;\n"
      << "    ui:ui <" << info_.uiUri << "> ;\n"
      << "    lv2:port";

  uint32_t index = 0;
  auto open = [&](const char* kinds) {
    ttl << (index == 0 ? " [\n" : " , [\n") << "        a " << kinds << " ;\n"
        << "        lv2:index " << index << " ;\n";
    ++index;
  };
  auto close = [&]() { ttl << "    ]"; };
  const char* sides[] = {"l", "r"};
  const char* sideNames[] = {"Left", "Right"};
  const uint32_t mainInputs = ports.audioInputs - ports.sidechainInputs;
  for (uint32_t c = 0; c < ports.audioInputs; ++c) {
    const bool sidechain = c >= mainInputs;
    const uint32_t k = sidechain ? c - mainInputs : c;
    open("lv2:InputPort , lv2:AudioPort");
    ttl << "        lv2:symbol \"" << (sidechain ? "sc_" : "in_") << sides[k % 2] << (k > 1 ? std::to_string(k) : "")
        << "\" ;\n"
        << "        lv2:name \"" << (sidechain ? "Sidechain " : "Input ") << sideNames[k % 2] << "\"";
    if (sidechain) ttl << " ;\n        lv2:portProperty lv2:isSideChain";
    ttl << "\n";
    close();
  }
  for (uint32_t c = 0; c < ports.audioOutputs; ++c) {
    open("lv2:OutputPort , lv2:AudioPort");
    ttl << "        lv2:symbol \"out_" << sides[c % 2] << (c > 1 ? std::to_string(c) : "") << "\" ;\n"
        << "        lv2:name \"Output " << sideNames[c % 2] << "\"\n";
    close();
  }
  for (uint32_t p = 0; p < ports.params; ++p) {
    const IParamEntry& entry = *core_.ParamAt(static_cast<int>(p));
    const Lv2PluginInfo::Param& param = info_.params[p];
    open("lv2:InputPort , lv2:ControlPort");
    ttl << "        lv2:symbol \"" << param.symbol << "\" ;\n"
        << "        lv2:name " << Quoted(entry.Name()) << " ;\n"
        << "        lv2:default " << Number(entry.Default()) << " ;\n"
        << "        lv2:minimum " << Number(entry.Minimum()) << " ;\n"
        << "        lv2:maximum " << Number(entry.Maximum());
    if (param.unit) ttl << " ;\n        units:unit units:" << param.unit;
    const bool stepped = entry.Type() == ParamType::Integer || entry.Type() == ParamType::Boolean ||
                         entry.Type() == ParamType::Enumerated;
    if (stepped) {
      const bool toggle = entry.Minimum() == 0.0 && entry.Maximum() == 1.0;
      ttl << " ;\n        lv2:portProperty lv2:integer , " << (toggle ? "lv2:toggled" : "lv2:enumeration");
      std::vector<std::string> labels;
      for (double v = entry.Minimum(); v <= entry.Maximum(); v += 1.0) {
        labels.push_back(info_.stepText(static_cast<int>(p), v));
      }
      for (size_t k = 0; k < labels.size(); ++k) {
        // Hosts key scale points by label: steps with the same value (two
        // release positions of 0.15 s) say which position they are.
        std::string text = labels[k];
        if (std::count(labels.begin(), labels.end(), labels[k]) > 1) text += " (position " + std::to_string(k + 1) + ")";
        ttl << " ;\n        lv2:scalePoint [ rdfs:label " << Quoted(text) << " ; rdf:value "
            << Number(entry.Minimum() + static_cast<double>(k)) << " ]";
      }
    }
    ttl << "\n";
    close();
  }
  open("lv2:InputPort , lv2:ControlPort");
  ttl << "        lv2:symbol \"enabled\" ;\n"
      << "        lv2:name \"Enabled\" ;\n"
      << "        lv2:designation lv2:enabled ;\n"
      << "        lv2:default 1 ;\n"
      << "        lv2:minimum 0 ;\n"
      << "        lv2:maximum 1 ;\n"
      << "        lv2:portProperty lv2:integer , lv2:toggled , pprops:notOnGUI\n";
  close();
  open("lv2:OutputPort , lv2:ControlPort");
  ttl << "        lv2:symbol \"latency\" ;\n"
      << "        lv2:name \"Latency\" ;\n"
      << "        lv2:designation lv2:latency ;\n"
      << "        lv2:minimum 0 ;\n"
      << "        lv2:maximum 8192 ;\n"
      << "        units:unit units:frame ;\n"
      << "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI\n";
  close();
  open("lv2:OutputPort , lv2:ControlPort");
  ttl << "        lv2:symbol \"" << info_.meterSymbol << "\" ;\n"
      << "        lv2:name " << Quoted(info_.meterName) << " ;\n"
      << "        lv2:minimum " << Number(info_.meterMinimum) << " ;\n"
      << "        lv2:maximum " << Number(info_.meterMaximum) << "\n";
  close();
  ttl << " .\n\n";

  // The editor: an X11 UI in the host's parent window, driven by the
  // host's idle calls, told the meter's level.
  ttl << "<" << info_.uiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    lv2:requiredFeature ui:idleInterface , ui:parent ;\n"
      << "    lv2:optionalFeature ui:resize , ui:touch , opts:options , urid:map ;\n"
      << "    lv2:extensionData ui:idleInterface ;\n"
      << "    ui:portNotification [\n"
      << "        ui:plugin <" << info_.uri << "> ;\n"
      << "        lv2:symbol \"" << info_.meterSymbol << "\" ;\n"
      << "        ui:notifyType ui:floatProtocol\n"
      << "    ] .\n";
  return ttl.str();
}

std::string Lv2Description::PresetUri(const Preset& preset) const {
  std::string fragment;
  for (const char c : preset.name) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      fragment += c;
    } else if (c >= 'A' && c <= 'Z') {
      fragment += static_cast<char>(c - 'A' + 'a');
    } else if (!fragment.empty() && fragment.back() != '-') {
      fragment += '-';
    }
  }
  while (!fragment.empty() && fragment.back() == '-') fragment.pop_back();
  return std::string(info_.uri) + "#preset-" + fragment;
}

std::string Lv2Description::PresetManifest(const std::vector<Preset>& presets, const char* presetFile) const {
  std::ostringstream ttl;
  for (const Preset& preset : presets) {
    ttl << "\n<" << PresetUri(preset) << ">\n"
        << "    a <http://lv2plug.in/ns/ext/presets#Preset> ;\n"
        << "    lv2:appliesTo <" << info_.uri << "> ;\n"
        << "    rdfs:seeAlso <" << presetFile << "> .\n";
  }
  return ttl.str();
}

std::string Lv2Description::Presets(const std::vector<Preset>& presets) const {
  std::ostringstream ttl;
  ttl << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
      << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
  for (const Preset& preset : presets) {
    ttl << "\n<" << PresetUri(preset) << ">\n"
        << "    a pset:Preset ;\n"
        << "    lv2:appliesTo <" << info_.uri << "> ;\n"
        << "    rdfs:label " << Quoted(preset.name) << " ;\n"
        << "    lv2:port";
    for (size_t p = 0; p < preset.values.size() && p < static_cast<size_t>(core_.ParamCount()); ++p) {
      ttl << (p == 0 ? " [\n" : " , [\n") << "        lv2:symbol \"" << info_.params[p].symbol << "\" ;\n"
          << "        pset:value " << Number(preset.values[p]) << "\n    ]";
    }
    ttl << " .\n";
  }
  return ttl.str();
}

}  // namespace kestro
