// The LV2 bundle as hosts see it, loaded through lilv: the description
// against the module's own parameters (as the VST3 module publishes them),
// the audio against the VST3 module's bit for bit, and the state.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lv2/atom/atom.h"
#include "lv2/port-props/port-props.h"
#include "lv2/units/units.h"
#include "lv2/presets/presets.h"
#include "plugin/KestroFactoryPresets.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/vst3/module/ModuleTestSupport.h"

namespace kestro::test {
namespace {

constexpr double kRate = 48000.0;
// The control ports of the ten parameters, in parameter order.
const char* const kSymbols[kPluginParams] = {"threshold", "output",     "attack",    "release",
                                             "ratio",     "side",       "mix",       "compressor",
                                             "oversample", "detector"};

Lv2World& World() {
  static Lv2World world;
  return world;
}

struct Node {
  explicit Node(LilvNode* n) : node(n) {}
  ~Node() { lilv_node_free(node); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  LilvNode* node;
};

Node Uri(const char* uri) { return Node(lilv_new_uri(World().World(), uri)); }

TEST(Lv2Description, PortsSayWhatTheModuleDoes) {
  const LilvPlugin* plugin = World().Plugin();
  ASSERT_NE(plugin, nullptr) << "no plug-in " KESTRO_LV2_URI " in " KESTRO_LV2_BUNDLE_PATH;
  Node name(lilv_plugin_get_name(plugin));
  EXPECT_STREQ(lilv_node_as_string(name.node), "KESTRO");
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))),
               LV2_CORE__CompressorPlugin);
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 19u);

  Node audio = Uri(LV2_CORE__AudioPort), control = Uri(LV2_CORE__ControlPort), input = Uri(LV2_CORE__InputPort),
       output = Uri(LV2_CORE__OutputPort), sideChain = Uri(LV2_CORE_PREFIX "isSideChain"), integer = Uri(LV2_CORE__integer),
       toggled = Uri(LV2_CORE__toggled), enumeration = Uri(LV2_CORE__enumeration), unit = Uri(LV2_UNITS__unit),
       reports = Uri(LV2_CORE__reportsLatency);
  // Audio: main in, sidechain in (marked), out.
  const char* audioSymbols[] = {"in_l", "in_r", "sc_l", "sc_r", "out_l", "out_r"};
  for (uint32_t p = 0; p < 6; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), audioSymbols[p]);
    EXPECT_TRUE(lilv_port_is_a(plugin, port, audio.node));
    EXPECT_TRUE(lilv_port_is_a(plugin, port, p < 4 ? input.node : output.node)) << p;
    EXPECT_EQ(lilv_port_has_property(plugin, port, sideChain.node), p == 2 || p == 3) << p;
  }

  // The parameters: names, ranges and defaults as the VST3 module publishes
  // them, units where they are honest, steps with the values they stand for.
  for (int i = 0; i < kPluginParams; ++i) {
    const ExpectedParam& expected = PluginParam(i);
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, 6u + static_cast<uint32_t>(i));
    SCOPED_TRACE(kSymbols[i]);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), kSymbols[i]);
    EXPECT_TRUE(lilv_port_is_a(plugin, port, control.node) && lilv_port_is_a(plugin, port, input.node));
    Node portName(lilv_port_get_name(plugin, port));
    EXPECT_STREQ(lilv_node_as_string(portName.node), expected.title);
    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(plugin, port, &def, &min, &max);
    // lilv reads them as floats.
    EXPECT_FLOAT_EQ(lilv_node_as_float(def), static_cast<float>(expected.defaultPlain));
    EXPECT_FLOAT_EQ(lilv_node_as_float(min), static_cast<float>(expected.minimum));
    EXPECT_FLOAT_EQ(lilv_node_as_float(max), static_cast<float>(expected.maximum));
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);
    const bool stepped = expected.steps > 0;
    EXPECT_EQ(lilv_port_has_property(plugin, port, integer.node), stepped);
    EXPECT_EQ(lilv_port_has_property(plugin, port, toggled.node), expected.steps == 1);
    EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration.node), expected.steps > 1);
    LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
    EXPECT_EQ(static_cast<int>(lilv_scale_points_size(points)), stepped ? expected.steps + 1 : 0);
    lilv_scale_points_free(points);
    LilvNodes* units = lilv_port_get_value(plugin, port, unit.node);
    const char* unitUri = units && lilv_nodes_size(units) == 1 ? lilv_node_as_uri(lilv_nodes_get_first(units)) : "";
    const char* wanted = i == kThreshold || i == kOutput ? LV2_UNITS__db : i == kMix ? LV2_UNITS__pc : "";
    EXPECT_STREQ(unitUri, wanted);
    lilv_nodes_free(units);
  }

  // Scale points name the real values.
  auto label = [&](int param, double value) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, 6u + static_cast<uint32_t>(param));
    LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
    std::string text;
    LILV_FOREACH(scale_points, it, points) {
      const LilvScalePoint* point = lilv_scale_points_get(points, it);
      if (lilv_node_as_float(lilv_scale_point_get_value(point)) == value) {
        text = lilv_node_as_string(lilv_scale_point_get_label(point));
      }
    }
    lilv_scale_points_free(points);
    return text;
  };
  const std::pair<int, double> points[] = {{kRatio, 2}, {kRatio, 5}, {kAttack, 2}, {kRelease, 0}, {kRelease, 3}, {kOversample, 1}};
  const char* texts[] = {"3:1", "10:1", "0.45 ms", "0.15 s (position 1)", "0.25 s", "16x"};
  for (size_t k = 0; k < std::size(points); ++k) EXPECT_EQ(label(points[k].first, points[k].second), texts[k]);

  // The host's bypass, the latency and the meter.
  const LilvPort* enabled = lilv_plugin_get_port_by_designation(plugin, input.node, Uri(LV2_CORE__enabled).node);
  ASSERT_NE(enabled, nullptr);
  EXPECT_EQ(lilv_port_get_index(plugin, enabled), 16u);
  EXPECT_TRUE(lilv_plugin_has_latency(plugin));
  EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), 17u);
  const LilvPort* latency = lilv_plugin_get_port_by_index(plugin, 17);
  EXPECT_TRUE(lilv_port_has_property(plugin, latency, reports.node));
  const LilvPort* meter = lilv_plugin_get_port_by_index(plugin, 18);
  EXPECT_TRUE(lilv_port_is_a(plugin, meter, control.node) && lilv_port_is_a(plugin, meter, output.node));
}

// -- Audio ---------------------------------------------------------------------

struct Setting {
  const char* what;
  std::vector<std::pair<int, double>> plain;  // parameter, plain value
  double sidechainLevel;                      // 0: silent key
};

std::vector<float> Noise(size_t n, double amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> dist(static_cast<float>(-amplitude), static_cast<float>(amplitude));
  std::vector<float> v(n);
  for (float& x : v) x = dist(rng);
  return v;
}

TEST(Lv2Audio, EqualsTheVst3ModuleBitForBitIn32Bit) {
  const Setting settings[] = {
      {"defaults", {}, 0.0},
      {"bus glue", {{kThreshold, -18.0}, {kRatio, 2}, {kAttack, 2}, {kRelease, 3}, {kOutput, 3.5}}, 0.0},
      {"16x, parallel", {{kThreshold, -30.0}, {kRatio, 5}, {kOversample, 1}, {kMix, 35.0}}, 0.0},
      {"external key", {{kThreshold, -24.0}, {kSidechainSource, 0}, {kSide, 0.8}, {kRatio, 3}}, 0.7},
      {"compressor out", {{kThreshold, -20.0}, {kPluginBypass, 0}}, 0.3},
  };
  constexpr int kFrames = 72000;
  const std::vector<float> left = Noise(kFrames, 0.6, 1), right = Noise(kFrames, 0.4, 2);
  for (const Setting& setting : settings) {
    SCOPED_TRACE(setting.what);
    const std::vector<float> keyL = Noise(kFrames, setting.sidechainLevel, 3),
                             keyR = Noise(kFrames, setting.sidechainLevel, 4);
    Lv2Instance lv2(World(), kRate, 1024);
    ASSERT_TRUE(lv2.Valid());
    auto vst3 = StartedInstance(Steinberg::Vst::kSample32, 1024, true, kRate);
    ASSERT_NE(vst3, nullptr);
    for (const auto& [param, plain] : setting.plain) {
      // The same float the LV2 port holds, through the module's own mapping.
      const float value = static_cast<float>(plain);
      lv2.Control(kSymbols[param]) = value;
      vst3->Changes().Add(static_cast<ParamID>(param),
                          vst3->Controller()->plainParamToNormalized(static_cast<ParamID>(param), value));
    }
    std::mt19937 rng(7);
    std::vector<float> a[2], b[2];
    for (auto* out : {a, b}) {
      out[0].assign(kFrames, 0.0f);
      out[1].assign(kFrames, 0.0f);
    }
    for (int at = 0; at < kFrames;) {
      const int frames = std::min(kFrames - at, 1 + static_cast<int>(rng() % 1024));
      const float* main[2] = {left.data() + at, right.data() + at};
      const float* key[2] = {keyL.data() + at, keyR.data() + at};
      float* outA[2] = {a[0].data() + at, a[1].data() + at};
      float* outB[2] = {b[0].data() + at, b[1].data() + at};
      lv2.Run(static_cast<uint32_t>(frames), main, key, outA);
      ASSERT_EQ(vst3->Process(frames, const_cast<float* const*>(main), const_cast<float* const*>(key), outB),
                Steinberg::kResultOk);
      at += frames;
    }
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(std::memcmp(a[c].data(), b[c].data(), kFrames * sizeof(float)), 0) << "channel " << c;
    }
    EXPECT_EQ(lv2.Control("latency"), 0.0f);
    EXPECT_GE(lv2.Control("gain_reduction"), 0.0f);
    EXPECT_LE(lv2.Control("gain_reduction"), 1.0f);
  }
}

// -- State ---------------------------------------------------------------------

TEST(Lv2State, SavesAndRestoresTheVst3ModulesBytes) {
  Lv2Instance lv2(World(), kRate);
  ASSERT_TRUE(lv2.Valid());
  auto vst3 = StartedInstance(Steinberg::Vst::kSample32, 512, true, kRate);
  const std::pair<int, float> edits[] = {{kThreshold, -21.5f}, {kRatio, 4}, {kMix, 60.0f}, {kOversample, 1}};
  for (const auto& [param, value] : edits) {
    lv2.Control(kSymbols[param]) = value;
    vst3->Changes().Add(static_cast<ParamID>(param),
                        vst3->Controller()->plainParamToNormalized(static_cast<ParamID>(param), value));
  }
  std::vector<float> silence(64, 0.0f), outL(64), outR(64);
  const float* in[2] = {silence.data(), silence.data()};
  float* out[2] = {outL.data(), outR.data()};
  lv2.Run(64, in, in, out);
  vst3->Process(64, const_cast<float* const*>(in), const_cast<float* const*>(in), out);

  StoredState saved;
  ASSERT_EQ(lv2.Save(saved), LV2_STATE_SUCCESS);
  const std::vector<uint8_t> vst3State = SaveState(vst3->Controller());
  EXPECT_EQ(saved.bytes, vst3State);

  ASSERT_EQ(saved.bytes.size(), kStateBytes);
  EXPECT_STREQ(World().Urids().Unmap(saved.type), LV2_ATOM__Chunk);
  EXPECT_TRUE(saved.flags & LV2_STATE_IS_PORTABLE);

  // A fresh instance takes it whole.
  Lv2Instance restored(World(), kRate);
  ASSERT_EQ(restored.Restore(saved), LV2_STATE_SUCCESS);
  StoredState again;
  ASSERT_EQ(restored.Save(again), LV2_STATE_SUCCESS);
  EXPECT_EQ(again.bytes, saved.bytes);

  // Damaged states, as the VST3 module takes them: only whole values, and a
  // refusal; bytes beyond the state ignored; another type changes nothing.
  const std::vector<uint8_t> defaults = [&] {
    Lv2Instance fresh(World(), kRate);
    StoredState s;
    fresh.Save(s);
    return s.bytes;
  }();
  struct Damage {
    size_t size;
    bool chunkType;
    LV2_State_Status status;
    size_t taken;  // bytes of the damaged state that count
  };
  const Damage damages[] = {{0, true, LV2_STATE_ERR_UNKNOWN, 0},
                            {43, true, LV2_STATE_ERR_UNKNOWN, 40},
                            {80, true, LV2_STATE_ERR_UNKNOWN, 80},
                            {96, true, LV2_STATE_SUCCESS, 80},
                            {84, false, LV2_STATE_ERR_BAD_TYPE, 0}};
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.size);
    Lv2Instance target(World(), kRate);
    StoredState cut = saved;
    cut.bytes.resize(damage.size);
    if (!damage.chunkType) cut.type = World().Urids().Map(LV2_ATOM__String);
    EXPECT_EQ(target.Restore(cut), damage.status);
    StoredState now;
    target.Save(now);
    std::vector<uint8_t> expected = defaults;
    std::copy_n(saved.bytes.begin(), damage.taken, expected.begin());
    EXPECT_EQ(now.bytes, expected);
  }
}

// -- Presets -------------------------------------------------------------------

// The factory presets, from the same table as the .vstpreset files: a host
// lists them by name and applies each row's values to the ports.
TEST(Lv2Presets, AreTheFactoryTable) {
  const LilvPlugin* plugin = World().Plugin();
  ASSERT_NE(plugin, nullptr);
  Node presetClass = Uri(LV2_PRESETS__Preset);
  LilvNodes* related = lilv_plugin_get_related(plugin, presetClass.node);
  std::map<std::string, std::map<std::string, float>> found;
  LILV_FOREACH(nodes, it, related) {
    const LilvNode* uri = lilv_nodes_get(related, it);
    lilv_world_load_resource(World().World(), uri);
    LilvState* state = lilv_state_new_from_world(World().World(), World().Urids().Interface(), uri);
    ASSERT_NE(state, nullptr) << lilv_node_as_uri(uri);
    auto& values = found[lilv_state_get_label(state)];
    lilv_state_emit_port_values(
        state,
        [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
          if (size == sizeof(float)) (*static_cast<std::map<std::string, float>*>(data))[symbol] =
              *static_cast<const float*>(value);
        },
        &values);
    lilv_state_free(state);
  }
  lilv_nodes_free(related);
  ASSERT_EQ(found.size(), kestro::FactoryPresets().size());
  for (const kestro::FactoryPreset& preset : kestro::FactoryPresets()) {
    SCOPED_TRACE(preset.name);
    ASSERT_EQ(found.count(preset.name), 1u);
    const auto& values = found[preset.name];
    ASSERT_EQ(values.size(), static_cast<size_t>(kPluginParams));
    for (int p = 0; p < kPluginParams; ++p) {
      EXPECT_EQ(values.at(kSymbols[p]), static_cast<float>(preset.values[static_cast<size_t>(p)])) << kSymbols[p];
    }
  }
}

}  // namespace
}  // namespace kestro::test
