#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kestro::test {

using namespace Steinberg;
using namespace Steinberg::Vst;

const std::array<ExpectedParam, 12> kParams = {{
    {kPresetId, "Preset", "", 1, 0.0, ParameterInfo::kIsProgramChange, 0, 0, 0, 0},
    {kBypassId, "Bypass", "", 1, 0.0, ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsBypass,
     0, 0, 0, 0},
    {kThreshold, "Threshold", "%", 0, 1.0, ParameterInfo::kCanAutomate, -50.0, 0.0, 0.0, 2},
    {kOutput, "Output", "%", 0, 0.5, ParameterInfo::kCanAutomate, -30.0, 30.0, 0.0, 2},
    {kAttack, "Attack", "", 5, 0.0, ParameterInfo::kCanAutomate, 0.0, 5.0, 0.0, 0},
    {kRelease, "Release", "", 5, 0.0, ParameterInfo::kCanAutomate, 0.0, 5.0, 0.0, 0},
    {kRatio, "Ratio", "", 5, 0.0, ParameterInfo::kCanAutomate, 0.0, 5.0, 0.0, 0},
    {kSide, "Sidechain", "%", 0, 0.0, ParameterInfo::kCanAutomate, 0.3, 0.99, 0.3, 2},
    {kMix, "Mix", "%", 0, 1.0, ParameterInfo::kCanAutomate, 0.0, 100.0, 100.0, 2},
    {kPluginBypass, "Bypass", "", 1, 1.0, ParameterInfo::kCanAutomate, 0.0, 1.0, 1.0, 0},
    {kOversample, "Oversample", "", 1, 0.0, ParameterInfo::kCanAutomate, 0.0, 1.0, 0.0, 0},
    {kSidechainSource, "Sidechain", "", 1, 1.0, ParameterInfo::kCanAutomate, 0.0, 1.0, 1.0, 0},
}};

const ExpectedParam& PluginParam(int index) { return kParams[static_cast<size_t>(index) + 2]; }

void ClassId(TUID out) { std::memcpy(out, kClassIdBytes.data(), sizeof(TUID)); }

namespace {

Vst3Module* gModule = nullptr;

// Loads the bundle once for the binary, as a host loads it at start-up, and
// unloads it after the last test, so that module exit runs under the tests'
// sanitizers too.
class ModuleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    module_ = Vst3Module::Load(KESTRO_BUNDLE_PATH, error);
    ASSERT_NE(module_, nullptr) << error;
    gModule = module_.get();
  }
  void TearDown() override {
    gModule = nullptr;
    module_.reset();
  }

 private:
  std::unique_ptr<Vst3Module> module_;
};

[[maybe_unused]] ::testing::Environment* const gEnvironment =
    ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

}  // namespace

Vst3Module& Module() { return *gModule; }

IPtr<IPluginFactory> Factory() { return owned(Module().GetPluginFactoryFunction()()); }

std::unique_ptr<PluginInstance> NewInstance() {
  std::string error;
  TUID cid;
  ClassId(cid);
  auto instance = PluginInstance::Create(Factory(), cid, error);
  EXPECT_NE(instance, nullptr) << error;
  if (instance != nullptr) {
    EXPECT_NE(instance->Controller(), nullptr) << "no edit controller";
    if (instance->Controller() == nullptr) return nullptr;
  }
  return instance;
}

std::unique_ptr<PluginInstance> StartedInstance(int32 sampleSize, int32 maxBlock, bool sidechainActive,
                                                double sampleRate) {
  auto instance = NewInstance();
  if (instance == nullptr) return nullptr;
  PluginInstance::Setup setup;
  setup.sampleSize = sampleSize;
  setup.maxBlock = maxBlock;
  setup.sampleRate = sampleRate;
  setup.sidechainActive = sidechainActive;
  std::string error;
  const bool started = instance->Start(setup, error);
  EXPECT_TRUE(started) << error;
  return started ? std::move(instance) : nullptr;
}

std::vector<std::uint8_t> SaveState(IEditController* controller) {
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream);
  EXPECT_EQ(controller->getState(stream), kResultOk);
  return stream->Bytes();
}

tresult LoadState(IEditController* controller, const std::vector<std::uint8_t>& bytes, bool failShortReads) {
  IPtr<HostMemoryStream> stream = owned(new HostMemoryStream(bytes));
  stream->SetFailShortReads(failShortReads);
  return controller->setState(stream);
}

std::array<double, kPluginParams> StateValues(const std::vector<std::uint8_t>& state) {
  std::array<double, kPluginParams> values{};
  for (size_t i = 0; i < values.size() && (i + 1) * 8 <= state.size(); ++i) {
    std::uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | state[i * 8 + static_cast<size_t>(b)];
    std::memcpy(&values[i], &bits, sizeof bits);
  }
  return values;
}

std::int32_t StateBypass(const std::vector<std::uint8_t>& state) {
  if (state.size() < kStateBytes) return -12345;
  std::uint32_t bits = 0;
  for (int b = 3; b >= 0; --b) bits = (bits << 8) | state[80 + static_cast<size_t>(b)];
  return static_cast<std::int32_t>(bits);
}

std::vector<std::uint8_t> MakeState(const std::array<double, kPluginParams>& values, std::int32_t bypass) {
  std::vector<std::uint8_t> bytes;
  for (double v : values) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int b = 0; b < 8; ++b) bytes.push_back(static_cast<std::uint8_t>(bits >> (8 * b)));
  }
  const auto field = static_cast<std::uint32_t>(bypass);
  for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<std::uint8_t>(field >> (8 * b)));
  return bytes;
}

std::array<double, kPluginParams> DefaultValues() {
  std::array<double, kPluginParams> values{};
  for (int i = 0; i < kPluginParams; ++i) values[static_cast<size_t>(i)] = PluginParam(i).defaultPlain;
  return values;
}

std::string ValueText(IEditController* controller, ParamID id, ParamValue normalized) {
  String128 text{};
  if (controller->getParamStringByValue(id, normalized, text) != kResultOk) return "<refused>";
  return ToUtf8(text);
}

}  // namespace kestro::test
