#pragma once

// What this process holds that a window left behind would show in: open
// files and mapped System V shared-memory segments.
#include <dirent.h>

#include <cstddef>
#include <fstream>
#include <string>

namespace kestro::test {

inline size_t OpenFileCount() {
  size_t count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

inline int SharedSegmentCount() {
  std::ifstream maps("/proc/self/maps");
  int count = 0;
  for (std::string line; std::getline(maps, line);) count += line.find("SYSV") != std::string::npos;
  return count;
}

}  // namespace kestro::test
