#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kestro {

// What the command line asks kestro-render to do.
struct RenderOptions {
  std::string input;
  std::string output;
  std::string module;     // empty: the default KESTRO bundle
  std::string sidechain;  // empty: no sidechain
  std::string envelope;   // empty: no level envelope
  std::string preset;     // empty: the plug-in's own start state
  // NAME or ID, and the plain value as text, in command-line order.
  std::vector<std::pair<std::string, std::string>> params;
  int block = 512;
  int precision = 32;
  bool progress = false;  // forced on; otherwise only on a terminal
  bool listParams = false;
  bool help = false;
};

// Fills options from argv; false with the reason in error on a usage error.
bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error);

const char* RenderUsage();

}  // namespace kestro
