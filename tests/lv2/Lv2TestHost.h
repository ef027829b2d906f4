// A small LV2 host for the tests: lilv loads the built bundle (and the LV2
// specifications Debian installs), instances get a URID map and the host's
// block length, ports are connected to buffers the host owns, and the
// state extension is called directly with an in-memory store.
#pragma once

#include <lilv/lilv.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lv2/core/lv2.h"
#include "lv2/state/state.h"
#include "lv2/urid/urid.h"

namespace kestro::test {

// The URIs the host has mapped, shared by all its instances.
class UridMap {
 public:
  UridMap();
  LV2_URID Map(const char* uri);
  const char* Unmap(LV2_URID urid) const;
  const LV2_Feature* Feature() const { return &feature_; }
  LV2_URID_Map* Interface() { return &map_; }

 private:
  std::map<std::string, LV2_URID> ids_;
  std::vector<std::string> uris_;
  LV2_URID_Map map_{};
  LV2_Feature feature_{};
};

// The world with KESTRO's bundle loaded.
class Lv2World {
 public:
  Lv2World();
  ~Lv2World();
  Lv2World(const Lv2World&) = delete;
  Lv2World& operator=(const Lv2World&) = delete;

  LilvWorld* World() const { return world_; }
  const LilvPlugin* Plugin() const { return plugin_; }
  UridMap& Urids() { return urids_; }

 private:
  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
  UridMap urids_;
};

// One saved state property: what the plug-in handed the store function.
struct StoredState {
  LV2_URID key = 0;
  LV2_URID type = 0;
  uint32_t flags = 0;
  std::vector<uint8_t> bytes;
};

// An instance with its ports connected: audio in blocks of up to maxBlock
// frames, control inputs by symbol.
class Lv2Instance {
 public:
  Lv2Instance(Lv2World& world, double sampleRate, uint32_t maxBlock = 4096);
  ~Lv2Instance();
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  bool Valid() const { return instance_ != nullptr; }
  // The control value of a port, by symbol (inputs and outputs).
  float& Control(const std::string& symbol);
  // Runs frames samples: main and sidechain are two channels each.
  void Run(uint32_t frames, const float* const* main, const float* const* sidechain, float* const* out);

  LV2_State_Status Save(StoredState& state);
  LV2_State_Status Restore(const StoredState& state);

 private:
  Lv2World& world_;
  LilvInstance* instance_ = nullptr;
  const LV2_State_Interface* state_ = nullptr;
  std::vector<float> controls_;  // per port, for control ports
  std::map<std::string, uint32_t> indexes_;
  std::vector<std::vector<float>> audio_;  // per audio port
  std::vector<uint32_t> audioPorts_[3];    // main in, sidechain in, out
  uint32_t maxBlock_;
};

}  // namespace kestro::test
