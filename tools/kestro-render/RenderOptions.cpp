#include "tools/kestro-render/RenderOptions.h"

#include <charconv>
#include <cstring>

namespace kestro {
namespace {

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

const char* RenderUsage() {
  return "usage: kestro-render [options] INPUT OUTPUT\n"
         "\n"
         "Renders an audio file (WAV, FLAC, AIFF) through the KESTRO VST3 plug-in and\n"
         "writes the result in the input's format.\n"
         "\n"
         "options:\n"
         "  --preset FILE        start from a .vstpreset file (the factory presets, or one\n"
         "                       a host saved); --param settings apply on top of it\n"
         "  --param NAME=VALUE   set a parameter to a plain value (as the plug-in shows it,\n"
         "                       e.g. Threshold=-24); NAME is a parameter title (any case)\n"
         "                       or its id (--param 9=0); repeatable\n"
         "  --sidechain FILE     feed FILE to the sidechain input (same sample rate)\n"
         "  --block N            block size in samples (default 512)\n"
         "  --precision 32|64    processing precision (default 32)\n"
         "  --envelope FILE.csv  write input and output RMS and peak levels per 10 ms\n"
         "  --module PATH        plug-in bundle or .so (default: the KESTRO bundle built or\n"
         "                       installed with this tool)\n"
         "  --progress           show a progress bar even when stderr is not a terminal\n"
         "  --list-params        print the plug-in's parameters and exit\n"
         "  --help               show this text\n";
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // Options take their value as the next argument or after '='.
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos && arg != "--param") {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasValue = true;
      }
    }
    // --param's value itself contains '=', so only the first one splits.
    const auto takeValue = [&](const char* option) {
      if (hasValue) {
        return true;
      }
      if (i + 1 >= argc) {
        error = std::string(option) + " needs a value";
        return false;
      }
      value = argv[++i];
      return true;
    };
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--progress") {
      options.progress = true;
    } else if (name == "--list-params") {
      options.listParams = true;
    } else if (name == "--module") {
      if (!takeValue("--module")) return false;
      options.module = value;
    } else if (name == "--sidechain") {
      if (!takeValue("--sidechain")) return false;
      options.sidechain = value;
    } else if (name == "--envelope") {
      if (!takeValue("--envelope")) return false;
      options.envelope = value;
    } else if (name == "--preset") {
      if (!takeValue("--preset")) return false;
      options.preset = value;
    } else if (name == "--param") {
      if (!takeValue("--param")) return false;
      const size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == value.size()) {
        error = "--param wants NAME=VALUE, got '" + value + "'";
        return false;
      }
      options.params.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (name == "--block") {
      if (!takeValue("--block")) return false;
      if (!ParseInt(value, options.block) || options.block < 1 || options.block > 65536) {
        error = "--block wants a whole number from 1 to 65536, got '" + value + "'";
        return false;
      }
    } else if (name == "--precision") {
      if (!takeValue("--precision")) return false;
      if (!ParseInt(value, options.precision) || (options.precision != 32 && options.precision != 64)) {
        error = "--precision wants 32 or 64, got '" + value + "'";
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      error = "unknown option " + arg;
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (options.help) {
    return true;
  }
  if (options.listParams) {
    return positional.empty() ? true : (error = "--list-params takes no files", false);
  }
  if (positional.size() != 2) {
    error = positional.size() < 2 ? "an input and an output file are needed" : "too many file names";
    return false;
  }
  options.input = positional[0];
  options.output = positional[1];
  return true;
}

}  // namespace kestro
