#include "lv2/Lv2Features.h"

#include <cstring>

#include "lv2/options/options.h"
#include "lv2/urid/urid.h"

namespace kestro {

const void* Lv2Features::Find(const char* uri) const {
  if (!features_ || !uri) return nullptr;
  for (const LV2_Feature* const* f = features_; *f; ++f) {
    if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
  }
  return nullptr;
}

const void* Lv2Features::Option(const char* keyUri, const char* typeUri, uint32_t size) const {
  const auto* options = static_cast<const LV2_Options_Option*>(Find(LV2_OPTIONS__options));
  const auto* map = static_cast<const LV2_URID_Map*>(Find(LV2_URID__map));
  if (!options || !map || !map->map) return nullptr;
  const LV2_URID key = map->map(map->handle, keyUri);
  const LV2_URID type = map->map(map->handle, typeUri);
  for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
    if (o->key == key && o->type == type && o->size == size) return o->value;
  }
  return nullptr;
}

}  // namespace kestro
