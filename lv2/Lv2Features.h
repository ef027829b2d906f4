#pragma once

#include <cstdint>

#include "lv2/core/lv2.h"

namespace kestro {

// Reading what an LV2 host passes: its features, and the options among them.
class Lv2Features {
 public:
  explicit Lv2Features(const LV2_Feature* const* features) : features_(features) {}

  // The data of the feature named uri, or null when the host has none.
  const void* Find(const char* uri) const;
  // The value of the option keyUri of type typeUri and exactly size bytes
  // (urid:map and options both needed), or null.
  const void* Option(const char* keyUri, const char* typeUri, uint32_t size) const;

 private:
  const LV2_Feature* const* features_;
};

}  // namespace kestro
