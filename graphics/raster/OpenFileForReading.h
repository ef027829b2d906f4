#pragma once

#include <cstdio>

namespace kestro {

// Opens a UTF-8 path for binary reading, or returns none. Platform half:
// Windows converts to UTF-16 first; elsewhere the bytes are the path.
std::FILE* OpenFileForReading(const char* path);

}  // namespace kestro
