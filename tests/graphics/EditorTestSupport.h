#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/PluginCore.h"
#include "graphics/HeadlessGraphics.h"
#include "graphics/raster/BitmapStrip.h"
#include "graphics/raster/MemBitmap.h"

namespace kestro::test {

// A plug-in core that logs what the editor asks of the host side, in order.
class EditorHost : public PluginCore {
 public:
  EditorHost() : PluginCore(3, "2-2", 1, "Test", "", "Maker", 0x010000, 1, 2) {
    ParamAt(0)->DefineDouble("Level", -10.0, -50.0, 0.0, 0.01, "dB");
    ParamAt(1)->DefineInteger("Steps", 0, 0, 5);
    ParamAt(2)->DefineInteger("Mode", 0, 0, 2);
    ParamAt(2)->SetType(ParamType::Enumerated);
    ParamAt(2)->AddDisplayText(0, "Soft");
    ParamAt(2)->AddDisplayText(1, "Hard");
    ParamAt(2)->AddDisplayText(2, "Clip");
  }
  void BeginParamEdit(int i) override { log.push_back("begin " + std::to_string(i)); }
  void PerformParamEdit(int i, double v) override { log.push_back("perform " + std::to_string(i) + " " + Fmt(v)); }
  void EndParamEdit(int i) override { log.push_back("end " + std::to_string(i)); }
  void ShowHostParamMenu(int i, int x, int y) override {
    log.push_back("menu " + std::to_string(i) + " at " + std::to_string(x) + "," + std::to_string(y));
  }
  static std::string Fmt(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", v);
    return text;
  }
  std::vector<std::string> log;
};

// A vertical strip of frames, each frame filled with its own 1-based number
// in the blue byte, so a drawn pixel tells which frame was chosen.
inline std::unique_ptr<MemBitmap> NumberedStrip(int width, int frameHeight, int frames) {
  auto bitmap = std::make_unique<MemBitmap>();
  bitmap->Resize(width, frameHeight * frames);
  for (int y = 0; y < frameHeight * frames; ++y) {
    for (int x = 0; x < width; ++x) bitmap->Row(y)[x] = MakePackedPixel(255, 0, 0, static_cast<uint32_t>(y / frameHeight + 1));
  }
  return bitmap;
}

}  // namespace kestro::test
