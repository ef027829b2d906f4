// kestro-editor-host (Windows): shows a VST3 module's editor in a window of
// its own, the way a host does, after playing the built-in demo loop through
// the plug-in so that knobs and meter show a real state. For screenshots:
// once the editor has drawn, it writes the editor's screen area as
// WIDTHxHEIGHT+X+Y to the --ready file, then keeps the window up until the
// --quit file exists or --seconds have passed.
//
//   kestro-editor-host --module BUNDLE [--param KEY=VALUE]... [--play SECONDS]
//                      [--scale F] --ready FILE [--quit FILE] [--seconds N]
//
// --scale sends the view a content scale factor (1 to 3) before it is
// sized, as hosts on scaled screens do.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/Vst3Module.h"
#include "tools/kestro-demo-signal/DemoSignal.h"
#include "tools/kestro-render/ParameterLookup.h"

namespace {

using namespace kestro;
using namespace Steinberg;
using namespace Steinberg::Vst;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-editor-host: %s\n", message.c_str());
  return 1;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

// The demo loop through the plug-in in blocks, as a host plays it.
void Play(PluginInstance& instance, double seconds) {
  const DemoSignal demo = MakeDemoSignal(seconds);
  constexpr size_t kBlock = 512;
  std::vector<float> l(kBlock), r(kBlock), ol(kBlock), or_(kBlock);
  for (size_t at = 0; at < demo.left.size(); at += kBlock) {
    const size_t n = std::min(kBlock, demo.left.size() - at);
    for (size_t i = 0; i < n; ++i) {
      l[i] = static_cast<float>(demo.left[at + i]);
      r[i] = static_cast<float>(demo.right[at + i]);
    }
    float* in[] = {l.data(), r.data()};
    float* out[] = {ol.data(), or_.data()};
    instance.Process(static_cast<int32>(n), in, nullptr, out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath, ready, quit;
  std::vector<std::pair<std::string, std::string>> params;
  double play = 11.0;
  double scale = 0.0;
  int seconds = 60;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--module" && hasValue) {
      modulePath = argv[++i];
    } else if (arg == "--param" && hasValue) {
      const std::string setting = argv[++i];
      const size_t equals = setting.find('=');
      if (equals == std::string::npos || equals == 0) return Fail("--param wants KEY=VALUE, not " + setting);
      params.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
    } else if (arg == "--play" && hasValue) {
      play = std::atof(argv[++i]);
    } else if (arg == "--scale" && hasValue) {
      char* end = nullptr;
      scale = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(scale >= 1.0 && scale <= 3.0)) {
        return Fail(std::string("--scale takes a factor from 1 to 3, not ") + argv[i]);
      }
    } else if (arg == "--ready" && hasValue) {
      ready = argv[++i];
    } else if (arg == "--quit" && hasValue) {
      quit = argv[++i];
    } else if (arg == "--seconds" && hasValue) {
      seconds = std::atoi(argv[++i]);
    } else {
      return Fail("usage: kestro-editor-host --module BUNDLE [--param KEY=VALUE]... [--play SECONDS] [--scale F] "
                  "--ready FILE [--quit FILE] [--seconds N]");
    }
  }
  if (modulePath.empty() || ready.empty() || !(play >= 0.0 && play <= 60.0) || seconds < 1 || seconds > 3600) {
    return Fail("a module and a ready file are needed; --play 0..60, --seconds 1..3600");
  }

  std::string error;
  std::unique_ptr<Vst3Module> module = Vst3Module::Load(modulePath, error);
  if (!module) return Fail(error);
  std::unique_ptr<PluginInstance> instance = PluginInstance::CreateFirstEffect(module->Factory(), error);
  if (!instance) return Fail(modulePath + ": " + error);
  const ParameterLookup lookup(instance->Controller());
  PluginInstance::Setup setup;
  if (!instance->Start(setup, error)) return Fail(error);
  for (const auto& [key, value] : params) {
    ParameterLookup::Setting setting;
    if (!lookup.Resolve(key, value, setting, error)) return Fail(error);
    instance->Controller()->setParamNormalized(setting.id, setting.normalized);
    instance->Changes().Add(setting.id, setting.normalized);
  }
  Play(*instance, play);

  IPlugView* view = instance->Controller()->createView(ViewType::kEditor);
  if (view == nullptr) return Fail("the plug-in has no editor");
  if (scale > 0.0) {
    FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
    if (!scaling || scaling->setContentScaleFactor(static_cast<float>(scale)) != kResultOk) {
      view->release();
      return Fail("the editor does not take a content scale factor");
    }
  }
  ViewRect size;
  view->getSize(&size);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "KestroEditorHost";
  RegisterClassA(&wc);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | WS_CLIPCHILDREN;
  RECT frame = {0, 0, size.getWidth(), size.getHeight()};
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "KESTRO", style, 0, 0, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (window == nullptr || view->attached(window, kPlatformTypeHWND) != kResultOk) {
    view->release();
    return Fail("the editor could not be opened in a window");
  }
  PumpFor(1500);

  // Where the editor is on the screen.
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  if (FILE* f = std::fopen(ready.c_str(), "w")) {
    std::fprintf(f, "%dx%d+%ld+%ld\n", size.getWidth(), size.getHeight(), origin.x, origin.y);
    std::fclose(f);
  }
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  while (GetTickCount64() < end && (quit.empty() || !FileExists(quit))) PumpFor(100);

  view->removed();
  view->release();
  DestroyWindow(window);
  instance.reset();
  return 0;
}
