#include "tests/lv2/Lv2TestHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "lv2/atom/atom.h"
#include "lv2/buf-size/buf-size.h"
#include "lv2/options/options.h"

namespace kestro::test {

UridMap::UridMap() {
  map_.handle = this;
  map_.map = [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<UridMap*>(handle)->Map(uri); };
  feature_.URI = LV2_URID__map;
  feature_.data = &map_;
}

LV2_URID UridMap::Map(const char* uri) {
  const auto found = ids_.find(uri);
  if (found != ids_.end()) return found->second;
  uris_.emplace_back(uri);
  const auto id = static_cast<LV2_URID>(uris_.size());
  ids_.emplace(uri, id);
  return id;
}

const char* UridMap::Unmap(LV2_URID urid) const {
  return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

Lv2World::Lv2World() {
  world_ = lilv_world_new();
  // The core specification (plug-in classes, port properties), then ours.
  LilvNode* core = lilv_new_file_uri(world_, nullptr, "/usr/lib/lv2/core.lv2/");
  lilv_world_load_bundle(world_, core);
  lilv_node_free(core);
  lilv_world_load_specifications(world_);
  lilv_world_load_plugin_classes(world_);
  LilvNode* bundle = lilv_new_file_uri(world_, nullptr, KESTRO_LV2_BUNDLE_PATH "/");
  lilv_world_load_bundle(world_, bundle);
  lilv_node_free(bundle);
  LilvNode* uri = lilv_new_uri(world_, KESTRO_LV2_URI);
  plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
  lilv_node_free(uri);
}

Lv2World::~Lv2World() { lilv_world_free(world_); }

Lv2Instance::Lv2Instance(Lv2World& world, double sampleRate, uint32_t maxBlock) : world_(world), maxBlock_(maxBlock) {
  const LilvPlugin* plugin = world.Plugin();
  if (!plugin) return;
  UridMap& urids = world.Urids();
  // Read while the plug-in is made; it keeps what it needs.
  int32_t block = static_cast<int32_t>(maxBlock);
  const LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), urids.Map(LV2_ATOM__Int),
       &block},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
  };
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  const LV2_Feature* features[] = {urids.Feature(), &optionsFeature, nullptr};
  instance_ = lilv_plugin_instantiate(plugin, sampleRate, features);
  if (!instance_) return;

  const uint32_t ports = lilv_plugin_get_num_ports(plugin);
  controls_.assign(ports, 0.0f);
  audio_.resize(ports);
  std::vector<float> minimum(ports), maximum(ports), defaults(ports);
  lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
  LilvNode* audioClass = lilv_new_uri(world.World(), LV2_CORE__AudioPort);
  LilvNode* inputClass = lilv_new_uri(world.World(), LV2_CORE__InputPort);
  LilvNode* sideChain = lilv_new_uri(world.World(), LV2_CORE_PREFIX "isSideChain");
  for (uint32_t p = 0; p < ports; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    indexes_[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = p;
    if (lilv_port_is_a(plugin, port, audioClass)) {
      audio_[p].assign(maxBlock, 0.0f);
      const int kind = !lilv_port_is_a(plugin, port, inputClass)           ? 2
                       : lilv_port_has_property(plugin, port, sideChain) ? 1
                                                                          : 0;
      audioPorts_[kind].push_back(p);
      lilv_instance_connect_port(instance_, p, audio_[p].data());
    } else {
      controls_[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
      lilv_instance_connect_port(instance_, p, &controls_[p]);
    }
  }
  lilv_node_free(audioClass);
  lilv_node_free(inputClass);
  lilv_node_free(sideChain);
  state_ = static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
  lilv_instance_activate(instance_);
}

Lv2Instance::~Lv2Instance() {
  if (!instance_) return;
  lilv_instance_deactivate(instance_);
  lilv_instance_free(instance_);
}

float& Lv2Instance::Control(const std::string& symbol) {
  const auto found = indexes_.find(symbol);
  if (found == indexes_.end()) throw std::out_of_range("no port " + symbol);
  return controls_[found->second];
}

void Lv2Instance::Run(uint32_t frames, const float* const* main, const float* const* sidechain, float* const* out) {
  frames = std::min(frames, maxBlock_);
  for (size_t c = 0; c < audioPorts_[0].size(); ++c) {
    std::copy_n(main[c], frames, audio_[audioPorts_[0][c]].data());
  }
  for (size_t c = 0; c < audioPorts_[1].size(); ++c) {
    std::copy_n(sidechain[c], frames, audio_[audioPorts_[1][c]].data());
  }
  lilv_instance_run(instance_, frames);
  for (size_t c = 0; c < audioPorts_[2].size(); ++c) {
    std::copy_n(audio_[audioPorts_[2][c]].data(), frames, out[c]);
  }
}

LV2_State_Status Lv2Instance::Save(StoredState& state) {
  if (!state_) return LV2_STATE_ERR_NO_FEATURE;
  state = StoredState{};
  auto store = [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                  uint32_t flags) {
    auto& s = *static_cast<StoredState*>(handle);
    s.key = key;
    s.type = type;
    s.flags = flags;
    s.bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
    return LV2_STATE_SUCCESS;
  };
  const LV2_Feature* features[] = {world_.Urids().Feature(), nullptr};
  return state_->save(lilv_instance_get_handle(instance_), store, &state, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                      features);
}

LV2_State_Status Lv2Instance::Restore(const StoredState& state) {
  if (!state_) return LV2_STATE_ERR_NO_FEATURE;
  auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) -> const void* {
    const auto& s = *static_cast<const StoredState*>(handle);
    if (key != s.key) return nullptr;
    *size = s.bytes.size();
    *type = s.type;
    *flags = s.flags;
    return s.bytes.data();
  };
  const LV2_Feature* features[] = {world_.Urids().Feature(), nullptr};
  return state_->restore(lilv_instance_get_handle(instance_), retrieve,
                         const_cast<StoredState*>(&state), 0, features);
}

}  // namespace kestro::test
