#pragma once

#include <string>
#include <vector>

namespace kestro {

// Where kestro-render looks for the KESTRO bundle when no --module is given,
// in order: next to the tool in a build tree, relative to an installed tool,
// the bundle this tool was built with, and the usual per-user and system
// VST3 folders. The first that exists wins; empty when none does.
std::string FindDefaultModule(std::vector<std::string>* searched = nullptr);

}  // namespace kestro
