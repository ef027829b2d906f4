#pragma once

#include <string>

namespace kestro {

class PluginCore;

// What the plug-in tells the LV2 adapter beyond its core: identities, the
// port symbols and units of its parameters, the texts of stepped values,
// and the one level it reports on an output port. Defined by the plug-in
// (the adapter never knows which plug-in it presents).
struct Lv2PluginInfo {
  const char* uri;         // the plug-in's URI
  const char* binary;      // the module's file name inside the bundle
  const char* uiUri;       // the editor's URI (an X11 UI)
  const char* uiBinary;    // the editor module's file name
  const char* pluginClass; // an lv2: class, e.g. "CompressorPlugin"
  const char* license;     // URI
  const char* maintainer;  // name
  const char* homepage;    // URI
  const char* email;       // mailbox, without "mailto:"
  // Per parameter, in parameter order.
  struct Param {
    const char* symbol;
    const char* unit;  // a units: name ("db", "pc", "ms") or null for none
  };
  const Param* params;
  // The text of a stepped parameter's plain value ("3:1", "0.45 ms").
  std::string (*stepText)(int param, double value);
  // The level reported on the output port named meterSymbol, with its range.
  const char* meterSymbol;
  const char* meterName;
  double meterMinimum;
  double meterMaximum;
  double (*meterLevel)(const PluginCore& plugin);
  // The editor's control that shows that level.
  int (*meterControl)(const PluginCore& plugin);
  PluginCore* (*create)();
};

// The plug-in's answer (one per LV2 module).
const Lv2PluginInfo& PluginLv2Info();

}  // namespace kestro
