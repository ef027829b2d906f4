#include "core/PluginCore.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/core/TestCore.h"

namespace kestro {
namespace {

TEST(PluginCore, ParsesChannelConfigurations) {
  struct Case {
    const char* text;
    std::vector<std::pair<int, int>> configs;
    int inputs, outputs;
  };
  for (const Case& c : {
           Case{"2-2 4-2", {{2, 2}, {4, 2}}, 4, 2},
           Case{"2-2", {{2, 2}}, 2, 2},
           Case{"2-2 ", {{2, 2}, {0, 0}}, 2, 2},
           Case{"1-2", {{1, 2}}, 1, 2},
           Case{"x-2 3", {{0, 0}, {3, 0}}, 3, 0},
           Case{"", {{0, 0}}, 0, 0},
           Case{"99999999999-2", {{1024, 2}}, 1024, 2},
       }) {
    TestCore core(c.text, 0, 0);
    std::vector<std::pair<int, int>> got;
    for (const ChannelIOConfig& config : core.ChannelConfigs()) got.emplace_back(config.inputs, config.outputs);
    EXPECT_EQ(got, c.configs) << c.text;
    EXPECT_EQ(core.InputChannelCount(), c.inputs) << c.text;
    EXPECT_EQ(core.OutputChannelCount(), c.outputs) << c.text;
  }
}

TEST(PluginCore, LegalIO) {
  TestCore core("2-2 4-2");
  struct Case {
    int in, out;
    bool legal;
  };
  for (Case c : {Case{2, 2, true}, Case{4, 2, true}, Case{1, 1, false}, Case{-1, 2, true}, Case{3, -1, false},
                 Case{-1, -1, true}, Case{4, 4, false}}) {
    EXPECT_EQ(core.LegalIO(c.in, c.out), c.legal) << c.in << "-" << c.out;
  }
}

TEST(PluginCore, IdentityAndInitialFields) {
  TestCore core;
  EXPECT_STREQ(core.EffectName(), "Test");
  EXPECT_EQ(core.HostKind(), HostId::Uninitialised);
  EXPECT_EQ(core.ApiKind(), PluginApi::Vst3);
  EXPECT_EQ(core.SampleRate(), 44100.0);
  EXPECT_EQ(core.BlockSize(), 0);
  EXPECT_FALSE(core.IsBypassed());
  EXPECT_EQ(core.ParamAt(-1), nullptr);
  EXPECT_EQ(core.ParamAt(3), nullptr);
  EXPECT_NE(core.ParamAt(2), nullptr);
  EXPECT_STREQ(core.PresetName(0), "empty");
}

// Runs the default processing with host-style arrays.
struct Block {
  explicit Block(int channels, int frames) : data(static_cast<size_t>(channels), std::vector<double>(frames)) {
    for (auto& ch : data) pointers.push_back(ch.data());
  }
  std::vector<std::vector<double>> data;
  std::vector<double*> pointers;
};

TEST(PluginCore, DefaultProcessingCopiesInputsAndZeroesTheRest) {
  {
    TestCore core("2-2 4-2");
    Block in(4, 8), out(2, 8);
    for (int c = 0; c < 4; ++c) in.data[static_cast<size_t>(c)].assign(8, c + 1.0);
    core.ProcessDoubles(in.pointers.data(), out.pointers.data(), 8);
    EXPECT_EQ(out.data[0], std::vector<double>(8, 1.0));
    EXPECT_EQ(out.data[1], std::vector<double>(8, 2.0));
  }
  {
    TestCore core("1-2");
    Block in(1, 4), out(2, 4);
    in.data[0].assign(4, 0.5);
    out.data[1].assign(4, 9.0);
    core.ProcessDoubles(in.pointers.data(), out.pointers.data(), 4);
    EXPECT_EQ(out.data[0], std::vector<double>(4, 0.5));
    EXPECT_EQ(out.data[1], std::vector<double>(4, 0.0));
  }
}

TEST(PluginCore, PassThroughDelaysByTheLatency) {
  for (int latency : {0, 1, 3}) {
    TestCore core("2-2", 0, 0, latency);
    core.CreateLatencyDelay();
    core.ChangeBlockSize(8);
    Block in(2, 8), out(2, 8);
    in.data[0][0] = 1.0;
    in.data[1][0] = -1.0;
    in.data[1][5] = 0.25;
    core.InputPointers()[0] = in.data[0].data();
    core.InputPointers()[1] = in.data[1].data();
    core.OutputPointers()[0] = out.data[0].data();
    core.OutputPointers()[1] = out.data[1].data();
    core.PassThroughBlock(8);
    for (int s = 0; s < 8; ++s) {
      EXPECT_EQ(out.data[0][static_cast<size_t>(s)], s == latency ? 1.0 : 0.0) << latency << " " << s;
      EXPECT_EQ(out.data[1][static_cast<size_t>(s)], s == latency ? -1.0 : (s == 5 + latency ? 0.25 : 0.0));
    }
  }
}

TEST(PluginCore, PassThroughCarriesTheDelayAcrossBlocksAndInPlace) {
  TestCore core("2-2", 0, 0, 3);
  core.CreateLatencyDelay();
  std::vector<double> buffer[2] = {std::vector<double>(2), std::vector<double>(2)};
  std::vector<double> seen;
  for (int block = 0; block < 4; ++block) {
    for (auto& ch : buffer) {
      ch[0] = block * 2 + 1;
      ch[1] = block * 2 + 2;
    }
    for (int k = 0; k < 2; ++k) core.InputPointers()[k] = core.OutputPointers()[k] = buffer[k].data();
    core.PassThroughBlock(2);
    seen.insert(seen.end(), buffer[0].begin(), buffer[0].end());
  }
  EXPECT_EQ(seen, (std::vector<double>{0, 0, 0, 1, 2, 3, 4, 5}));
}

TEST(PluginCore, ChangeBlockSizeResizesAndKeepsContentsWhenUnchanged) {
  TestCore core;
  core.ChangeBlockSize(16);
  EXPECT_EQ(core.BlockSize(), 16);
  ASSERT_EQ(core.InputChannelAt(3).scratch.size(), 16u);
  core.InputChannelAt(3).scratch[2] = 7.0;
  core.ChangeBlockSize(16);
  EXPECT_EQ(core.InputChannelAt(3).scratch[2], 7.0);
  core.ChangeBlockSize(32);
  EXPECT_EQ(core.InputChannelAt(3).scratch, std::vector<double>(32, 0.0));
  EXPECT_EQ(core.InputPointers()[3], core.InputChannelAt(3).scratch.data());
  core.ChangeBlockSize(-4);
  EXPECT_EQ(core.BlockSize(), 32);
}

TEST(PluginCore, ConvertInputFloatsSkipsUnconnectedChannels) {
  TestCore core;
  core.ChangeBlockSize(4);
  for (int i = 0; i < 4; ++i) core.InputChannelAt(i).connected = (i != 1);
  std::array<float, 4> a{1, 2, 3, 4}, b{5, 6, 7, 8}, c{9, 10, 11, 12};
  float* sources[] = {a.data(), b.data(), c.data()};
  core.ConvertInputFloats(0, 3, sources, 4);
  EXPECT_EQ(core.InputChannelAt(0).scratch, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(core.InputChannelAt(1).scratch, (std::vector<double>(4, 0.0)));
  EXPECT_EQ(core.InputChannelAt(2).scratch, (std::vector<double>{5, 6, 7, 8}));
  EXPECT_EQ(core.InputChannelAt(3).scratch, (std::vector<double>(4, 0.0)));  // beyond first + count
  EXPECT_EQ(core.InputPointers()[2], core.InputChannelAt(2).scratch.data());

  // A host claiming more frames than the block size cannot make it write
  // past the scratch arrays.
  std::vector<float> big(100, 1.0f);
  float* bigSources[] = {big.data(), big.data(), big.data(), big.data()};
  core.ConvertInputFloats(0, 4, bigSources, 100);
  EXPECT_EQ(core.InputChannelAt(0).scratch.size(), 4u);

  core.ClearScratchBuffers();
  EXPECT_EQ(core.InputChannelAt(0).scratch, (std::vector<double>(4, 0.0)));
}

TEST(PluginCore, SetParamFromEditorSetsInformsHostThenNotifies) {
  TestCore core;
  core.SetParamFromEditor(0, 0.55);
  ASSERT_EQ(core.log.size(), 2u);
  EXPECT_EQ(core.log[0], "perform 0 0.550000 value 3.000000");
  EXPECT_EQ(core.log[1], "changed 0 3.000000");
  core.log.clear();
  core.SetParamFromEditor(7, 0.5);  // no such parameter
  EXPECT_TRUE(core.log.empty());
}

// An editor that records what the core hands it.
class RecordingEditor : public IEditor {
 public:
  explicit RecordingEditor(std::vector<std::string>& log) : log_(log) {}
  int ControlCount() const override { return 3; }
  int ControlParamIndex(int control) const override { return control == 0 ? -1 : control - 1; }
  int ControlAuxParamCount(int control) const override { return control == 2 ? 2 : 0; }
  int ControlAuxParamIndex(int, int aux) const override { return aux == 0 ? 2 : 0; }
  void ReceivePluginValue(int control, double v) override {
    log_.push_back("value " + std::to_string(control) + " " + std::to_string(v));
  }
  void ReceiveAuxPluginValue(int control, int aux, double v) override {
    log_.push_back("aux " + std::to_string(control) + "." + std::to_string(aux) + " " + std::to_string(v));
  }
  void PrepareDrawing() override { log_.push_back("prepare"); }
  void ParamChangedFromPlugin(int param, double value, bool normalized) override {
    log_.push_back("param " + std::to_string(param) + " " + std::to_string(value) + (normalized ? " n" : " p"));
  }
  void PushControlValue(int control, double v) override {
    log_.push_back("push " + std::to_string(control) + " " + std::to_string(v));
  }

 private:
  std::vector<std::string>& log_;
};

TEST(PluginCore, AttachEditorHandsNormalisedValuesToBoundControls) {
  TestCore core;
  std::vector<std::string> log;
  core.AttachEditor(nullptr);
  EXPECT_EQ(core.Editor(), nullptr);
  core.AttachEditor(std::make_unique<RecordingEditor>(log));
  EXPECT_EQ(log, (std::vector<std::string>{"value 1 0.200000", "aux 2.1 0.200000", "value 2 0.800000",
                                           "aux 2.0 0.200000", "prepare"}));

  log.clear();
  core.RefreshParamControls();
  EXPECT_EQ(log, (std::vector<std::string>{"param 0 1.000000 p", "param 1 -10.000000 p", "param 2 1.000000 p"}));
}

}  // namespace
}  // namespace kestro
