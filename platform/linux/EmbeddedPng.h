#pragma once

#include <cstddef>
#include <cstdint>

namespace kestro {

// One PNG embedded by the build. The build generates one per image in
// resources/img that platform/win/resources.rc gives an identifier.
struct EmbeddedPng {
  int id;
  const char* name;
  const uint8_t* bytes;
  size_t size;
};

// Every embedded PNG, ending with a null entry.
extern const EmbeddedPng* const kEmbeddedPngs[];

}  // namespace kestro
