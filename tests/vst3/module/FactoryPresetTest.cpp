// The factory presets as the build wrote them, read back through the module
// as a host's preset browser loads them: each file is a VST3 preset of
// KESTRO's class, named as its table row, and restores exactly that row.
// Files of another plug-in or cut short are refused and change nothing.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "plugin/KestroFactoryPresets.h"
#include "tools/host/ClassIdText.h"
#include "tools/host/VstPreset.h"

namespace kestro::test {
namespace {

using namespace Steinberg;

std::string PresetPath(const FactoryPreset& preset) {
  return std::string(KESTRO_PRESET_DIR) + "/" + FactoryPresetFileName(preset);
}

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ClassIdOfThisPlatform() {
  PClassInfo info{};
  EXPECT_EQ(Factory()->getClassInfo(0, &info), kResultOk);
  char text[33] = {};
  FUID::fromTUID(info.cid).toString(text);
  EXPECT_EQ(ClassIdText(info.cid, ClassIdLayout::kThisPlatform), text);
  return text;
}

TEST(FactoryPresets, EveryFileRestoresItsTableRow) {
  ASSERT_GE(FactoryPresets().size(), 12u);
  const std::string classId = ClassIdOfThisPlatform();
  for (const FactoryPreset& preset : FactoryPresets()) {
    SCOPED_TRACE(preset.name);
    const std::string path = PresetPath(preset);
    const std::vector<char> bytes = ReadFile(path);
    // Header: "VST3", version 1, the class id as 32 hex digits.
    ASSERT_GE(bytes.size(), 48u);
    EXPECT_EQ(std::string(bytes.data(), 4), "VST3");
    int32_t version = 0;
    std::memcpy(&version, bytes.data() + 4, sizeof version);
    EXPECT_EQ(version, 1);
    EXPECT_EQ(std::string(bytes.data() + 8, 32), classId);
    EXPECT_EQ(VstPreset::Name(path), preset.name);

    auto instance = NewInstance();
    ASSERT_NE(instance, nullptr);
    std::string error;
    ASSERT_TRUE(VstPreset::Load(*instance, path, error)) << error;
    const std::vector<std::uint8_t> state = SaveState(instance->Controller());
    ASSERT_EQ(state.size(), kStateBytes);
    for (int i = 0; i < kPluginParams; ++i) {
      EXPECT_EQ(StateValues(state)[static_cast<size_t>(i)], preset.values[static_cast<size_t>(i)]) << "param " << i;
      Vst::IEditController* controller = instance->Controller();
      const auto id = static_cast<ParamID>(i);
      EXPECT_NEAR(controller->normalizedParamToPlain(id, controller->getParamNormalized(id)),
                  preset.values[static_cast<size_t>(i)], 1e-9)
          << "param " << i << " as the controller shows it";
    }
    EXPECT_EQ(StateBypass(state), 0) << "a preset never bypasses the host's track";
  }
}

// The same 16 bytes read as a COM GUID on Windows: the first three fields
// turn around. The Windows module's own test run loads the files written so.
TEST(FactoryPresets, TheWindowsClassIdReadsTheBytesAsAGuid) {
  const unsigned char bytes[16] = {0x0D, 0x0E, 0x7A, 0xEF, 0x2D, 0xE0, 0x04, 0x0E,
                                   0x4F, 0x50, 0x65, 0x6C, 0x6D, 0x4B, 0x72, 0x6F};
  TUID cid;
  std::memcpy(cid, bytes, sizeof cid);
  EXPECT_EQ(ClassIdText(cid, ClassIdLayout::kWindows), "EF7A0E0DE02D0E044F50656C6D4B726F");
  EXPECT_EQ(ClassIdText(cid, ClassIdLayout::kLinux), "0D0E7AEF2DE0040E4F50656C6D4B726F");
#if !COM_COMPATIBLE
  EXPECT_EQ(ClassIdText(cid, ClassIdLayout::kThisPlatform), "0D0E7AEF2DE0040E4F50656C6D4B726F");
#endif
  char text[33] = {};
  ClassIdAs(cid, ClassIdLayout::kWindows).toString(text);
  EXPECT_STREQ(text, "EF7A0E0DE02D0E044F50656C6D4B726F");
}

// A preset saved on the other platform is the same plug-in's: the files
// written for the other platform load through this module too.
TEST(FactoryPresets, ThePresetsOfTheOtherPlatformLoadHereToo) {
  const FactoryPreset& preset = FactoryPresets()[4];
  std::string dir = KESTRO_PRESET_DIR;
  const bool windowsDir = dir.size() > 6 && dir.compare(dir.size() - 6, 6, "-win64") == 0;
  const std::string other = windowsDir ? dir.substr(0, dir.size() - 6) : dir + "-win64";
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  std::string error;
  ASSERT_TRUE(VstPreset::Load(*instance, other + "/" + FactoryPresetFileName(preset), error)) << error;
  EXPECT_EQ(StateValues(SaveState(instance->Controller()))[kMix], preset.values[kMix]);
}

TEST(FactoryPresets, NamesAreUniqueAndFileNamesPortable) {
  std::set<std::string> names, files;
  for (const FactoryPreset& preset : FactoryPresets()) {
    const std::string file = FactoryPresetFileName(preset);
    EXPECT_TRUE(names.insert(preset.name).second) << preset.name;
    EXPECT_TRUE(files.insert(file).second) << file;
    EXPECT_EQ(file, std::string(preset.name) + ".vstpreset") << "browsers show the file name";
  }
  EXPECT_EQ(FactoryPresetFileName(FactoryPreset{"Glue 1.5:1", {}}), "Glue 1.5-1.vstpreset");
}

TEST(FactoryPresets, ForeignOrDamagedFilesAreRefusedAndChangeNothing) {
  const std::vector<char> good = ReadFile(PresetPath(FactoryPresets()[0]));
  ASSERT_GE(good.size(), 48u);
  std::vector<char> foreign = good;
  foreign[8] = foreign[8] == 'A' ? 'B' : 'A';  // another class id
  const std::vector<char> cut(good.begin(), good.begin() + 60);
  const std::string dir = testing::TempDir();
  WriteFile(dir + "/foreign.vstpreset", foreign);
  WriteFile(dir + "/cut.vstpreset", cut);
  const struct {
    std::string path;
    const char* why;
  } cases[] = {{dir + "/foreign.vstpreset", "another plug-in"},
               {dir + "/cut.vstpreset", "not a VST3 preset"},
               {dir + "/missing.vstpreset", "cannot be read"}};
  auto instance = NewInstance();
  ASSERT_NE(instance, nullptr);
  const std::vector<std::uint8_t> before = SaveState(instance->Controller());
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(VstPreset::Load(*instance, c.path, error)) << c.path;
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
    EXPECT_EQ(SaveState(instance->Controller()), before) << c.path;
  }
  std::remove((dir + "/foreign.vstpreset").c_str());
  std::remove((dir + "/cut.vstpreset").c_str());
}

}  // namespace
}  // namespace kestro::test
