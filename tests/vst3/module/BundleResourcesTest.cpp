// What hosts read from the bundle without loading the module: its
// moduleinfo.json must say what the module's factory says (on Windows, the
// class id as Windows reads the bytes), and the snapshots it lists must be
// there at their sizes. The Windows bundle also has its folder icon.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/host/ClassIdText.h"

namespace kestro::test {
namespace {

using namespace Steinberg;

const std::string kResources = std::string(KESTRO_BUNDLE_PATH) + "/Contents/Resources/";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG's header, or {0, 0}.
std::pair<uint32_t, uint32_t> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto be32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

TEST(BundleResources, ModuleInfoSaysWhatTheFactorySays) {
  const std::string json = Slurp(kResources + "moduleinfo.json");
  ASSERT_FALSE(json.empty()) << kResources << "moduleinfo.json";
  PFactoryInfo factory{};
  ASSERT_EQ(Factory()->getFactoryInfo(&factory), kResultOk);
  FUnknownPtr<IPluginFactory2> factory2(Factory());
  ASSERT_TRUE(factory2);
  PClassInfo2 c{};
  ASSERT_EQ(factory2->getClassInfo2(0, &c), kResultOk);
  const std::string cid = ClassIdText(c.cid, ClassIdLayout::kThisPlatform);
  const std::string expected[] = {
      "\"Name\": \"KESTRO\"",
      "\"Version\": \"" + Field(c.version, sizeof c.version) + "\"",
      "\"Vendor\": \"" + Field(factory.vendor, sizeof factory.vendor) + "\"",
      "\"URL\": \"" + Field(factory.url, sizeof factory.url) + "\"",
      "\"E-Mail\": \"" + Field(factory.email, sizeof factory.email) + "\"",
      "\"Unicode\": true",
      "\"CID\": \"" + cid + "\"",
      "\"Category\": \"Audio Module Class\"",
      "\"SDKVersion\": \"" + Field(c.sdkVersion, sizeof c.sdkVersion) + "\"",
      "\"Sub Categories\": [\"Fx\", \"Dynamics\"]",
      "\"Class Flags\": " + std::to_string(c.classFlags),
      "\"Cardinality\": " + std::to_string(c.cardinality),
  };
  for (const std::string& line : expected) EXPECT_NE(json.find(line), std::string::npos) << line;

  // The snapshots it lists, at 1020 x 151 and twice that.
  const struct {
    std::string path;
    uint32_t width, height;
  } snapshots[] = {{"Snapshots/" + cid + "_snapshot.png", 1020, 151},
                   {"Snapshots/" + cid + "_snapshot_2.0x.png", 2040, 302}};
  for (const auto& s : snapshots) {
    EXPECT_NE(json.find("\"Path\": \"" + s.path + "\""), std::string::npos) << s.path;
    EXPECT_EQ(PngSize(Slurp(kResources + s.path)), std::make_pair(s.width, s.height)) << s.path;
  }
}

#ifdef _WIN32
TEST(BundleResources, TheWindowsBundleFolderHasItsIcon) {
  const std::string folder = std::string(KESTRO_BUNDLE_PATH) + "/";
  EXPECT_NE(Slurp(folder + "desktop.ini").find("IconResource=PlugIn.ico"), std::string::npos);
  const std::string icon = Slurp(folder + "PlugIn.ico");
  ASSERT_GE(icon.size(), 6u);
  EXPECT_EQ(icon.substr(0, 4), std::string("\0\0\1\0", 4)) << "an icon file";
}
#endif

}  // namespace
}  // namespace kestro::test
