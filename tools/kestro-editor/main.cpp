// kestro-editor: shows a VST3 effect's editor (KESTRO's by default) in a
// window of its own, as a Linux host embeds it: the view is attached to an
// X11 window and driven by a run loop lent through the view's frame. It
// runs until the window is closed or --seconds have passed, and can write
// what the window showed to a PNG file. Parameters can be set and a sound
// file played through the plug-in first, so the editor shows that state.
#include <sndfile.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/raster/MemBitmap.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "tools/host/PluginInstance.h"
#include "tools/host/PollRunLoop.h"
#include "tools/host/RunLoopFrame.h"
#include "tools/host/Vst3Module.h"
#include "tools/kestro-render/DefaultModule.h"
#include "tools/kestro-render/ParameterLookup.h"
#include "tools/kestro-render/SoundFile.h"
#include "tools/kestro-snapshot/PngFile.h"

namespace {

using namespace Steinberg;

constexpr int kBlock = 512;

int Fail(const std::string& message) {
  std::fprintf(stderr, "kestro-editor: %s\n", message.c_str());
  return 1;
}

void Usage() {
  std::puts(
      "usage: kestro-editor [--module PATH] [--param NAME=VALUE]... [--input FILE]\n"
      "                     [--scale F] [--seconds S] [--screenshot OUT.png]\n"
      "Shows the effect's editor in a window on $DISPLAY until the window is\n"
      "closed, or for S seconds. --param sets a parameter to a plain value as\n"
      "kestro-render does; --input plays a mono or stereo sound file through\n"
      "the plug-in before the editor opens (its meters then show the end of\n"
      "it). --scale sends the editor a content scale factor from 1 to 3, as\n"
      "hosts on scaled screens do. --screenshot writes what the window showed\n"
      "when it closes (give --seconds with it to take one unattended).");
}

// Plays a sound file through the running instance, in blocks as a host
// would, and throws the output away.
bool PlayThrough(kestro::PluginInstance& instance, kestro::SoundFile& input, int block, std::string& error) {
  const int channels = input.Info().channels;
  std::vector<double> frames(static_cast<size_t>(block) * static_cast<size_t>(channels));
  std::vector<std::vector<float>> in(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(block)));
  std::vector<std::vector<float>> out(static_cast<size_t>(instance.OutputChannels()),
                                      std::vector<float>(static_cast<size_t>(block)));
  std::vector<float*> inPointers, outPointers;
  for (auto& channel : in) inPointers.push_back(channel.data());
  for (auto& channel : out) outPointers.push_back(channel.data());
  for (;;) {
    const sf_count_t n = sf_readf_double(input.Handle(), frames.data(), block);
    if (n <= 0) return true;
    for (sf_count_t i = 0; i < n; ++i) {
      for (int c = 0; c < channels; ++c) {
        in[static_cast<size_t>(c)][static_cast<size_t>(i)] =
            static_cast<float>(frames[static_cast<size_t>(i) * static_cast<size_t>(channels) + static_cast<size_t>(c)]);
      }
    }
    const tresult result = instance.Process(static_cast<int32>(n), inPointers.data(), nullptr, outPointers.data());
    if (result != kResultOk) {
      error = "the plug-in failed to process a block (result " + std::to_string(result) + ")";
      return false;
    }
  }
}

// The tool's own window: a top-level the window manager can close.
class HostWindow : public Linux::IEventHandler {
 public:
  bool Open(int width, int height, std::string& error) {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
      error = "cannot reach the X display (is DISPLAY set?)";
      return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    const uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    static constexpr char kTitle[] = "KESTRO";
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof kTitle - 1, kTitle);
    protocols_ = Atom("WM_PROTOCOLS");
    deleteWindow_ = Atom("WM_DELETE_WINDOW");
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, protocols_, XCB_ATOM_ATOM, 32, 1,
                        &deleteWindow_);
    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
    return true;
  }
  ~HostWindow() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
  }

  int Fd() const { return xcb_get_file_descriptor(connection_); }
  xcb_window_t Id() const { return window_; }
  bool Closed() const { return closed_; }

  // The editor's window: the first child of ours, 0 when there is none.
  xcb_window_t EditorWindow() {
    xcb_window_t child = 0;
    if (auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window_), nullptr)) {
      if (xcb_query_tree_children_length(tree) > 0) child = xcb_query_tree_children(tree)[0];
      std::free(tree);
    }
    return child;
  }

  // What the window shows, read back from the server.
  bool Capture(xcb_window_t window, int width, int height, kestro::MemBitmap& picture) {
    auto* image = xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), ~0u),
        nullptr);
    if (image == nullptr) return false;
    const bool ok = image->depth == 24 && xcb_get_image_data_length(image) >= width * height * 4;
    if (ok) {
      picture.Resize(width, height);
      const auto* pixels = reinterpret_cast<const uint32_t*>(xcb_get_image_data(image));
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          picture.Row(y)[x] = 0xff000000u | (pixels[static_cast<size_t>(y) * width + x] & 0xffffffu);
        }
      }
    }
    std::free(image);
    return ok;
  }

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      const uint8_t type = event->response_type & 0x7f;
      if (type == XCB_CLIENT_MESSAGE) {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (message->type == protocols_ && message->data.data32[0] == deleteWindow_) closed_ = true;
      } else if (type == XCB_DESTROY_NOTIFY) {
        closed_ = true;
      }
      std::free(event);
    }
    if (xcb_connection_has_error(connection_) != 0) closed_ = true;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

 private:
  xcb_atom_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply != nullptr) atom = reply->atom;
    std::free(reply);
    return atom;
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t window_ = 0;
  xcb_atom_t protocols_ = XCB_ATOM_NONE;
  xcb_atom_t deleteWindow_ = XCB_ATOM_NONE;
  bool closed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::string modulePath, screenshot, inputPath;
  std::vector<std::string> params;
  double seconds = -1.0;
  double scale = 0.0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (arg == "--module" && hasValue) {
      modulePath = argv[++i];
    } else if (arg == "--param" && hasValue) {
      params.push_back(argv[++i]);
    } else if (arg == "--input" && hasValue) {
      inputPath = argv[++i];
    } else if (arg == "--screenshot" && hasValue) {
      screenshot = argv[++i];
    } else if (arg == "--scale" && hasValue) {
      char* end = nullptr;
      scale = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(scale >= 1.0 && scale <= 3.0)) {
        return Fail(std::string("--scale takes a factor from 1 to 3, not ") + argv[i]);
      }
    } else if (arg == "--seconds" && hasValue) {
      char* end = nullptr;
      seconds = std::strtod(argv[++i], &end);
      if (end == argv[i] || *end != '\0' || !(seconds > 0.0 && seconds <= 86400.0)) {
        return Fail(std::string("--seconds takes a number of seconds up to a day, not ") + argv[i]);
      }
    } else {
      Usage();
      return Fail("unknown or incomplete argument " + arg);
    }
  }

  std::string error;
  if (modulePath.empty()) modulePath = kestro::FindDefaultModule();
  if (modulePath.empty()) return Fail("no KESTRO bundle found; build it or pass --module PATH");
  std::unique_ptr<kestro::Vst3Module> module = kestro::Vst3Module::Load(modulePath, error);
  if (!module) return Fail(error);
  std::unique_ptr<kestro::PluginInstance> instance =
      kestro::PluginInstance::CreateFirstEffect(module->Factory(), error);
  if (!instance) return Fail(modulePath + ": " + error);
  if (instance->Controller() == nullptr) return Fail(modulePath + ": the plug-in has no edit controller");

  // Every setting is checked before anything is played or shown.
  const kestro::ParameterLookup lookup(instance->Controller());
  std::vector<kestro::ParameterLookup::Setting> settings;
  for (const std::string& param : params) {
    const size_t eq = param.find('=');
    kestro::ParameterLookup::Setting setting;
    if (eq == std::string::npos) return Fail("--param takes NAME=VALUE, not " + param);
    if (!lookup.Resolve(param.substr(0, eq), param.substr(eq + 1), setting, error)) return Fail(error);
    settings.push_back(setting);
  }
  kestro::SoundFile input;
  if (!inputPath.empty()) {
    if (!input.OpenRead(inputPath, error)) return Fail(error);
    if (input.Info().channels < 1 || input.Info().channels > 2) {
      return Fail(inputPath + ": " + std::to_string(input.Info().channels) + " channels; mono or stereo please");
    }
    kestro::PluginInstance::Setup setup;
    setup.sampleRate = input.Info().samplerate;
    setup.maxBlock = kBlock;
    setup.main = setup.output = input.Info().channels == 1 ? Vst::SpeakerArr::kMono : Vst::SpeakerArr::kStereo;
    if (!instance->Start(setup, error)) return Fail(modulePath + ": " + error);
  }
  for (const auto& setting : settings) {
    // The controller shows it, the processor applies it with the first block.
    instance->Controller()->setParamNormalized(setting.id, setting.normalized);
    instance->Changes().Add(setting.id, setting.normalized);
  }
  if (!inputPath.empty() && !PlayThrough(*instance, input, kBlock, error)) return Fail(inputPath + ": " + error);

  IPlugView* view = instance->Controller()->createView(Vst::ViewType::kEditor);
  if (view == nullptr) return Fail(modulePath + ": the plug-in has no editor");
  if (scale > 0.0) {
    FUnknownPtr<IPlugViewContentScaleSupport> scaling(view);
    if (!scaling || scaling->setContentScaleFactor(static_cast<float>(scale)) != kResultOk) {
      view->release();
      return Fail(modulePath + ": the editor does not take a content scale factor");
    }
  }
  ViewRect size;
  if (view->getSize(&size) != kResultOk || view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultOk) {
    view->release();
    return Fail(modulePath + ": the editor cannot be shown in an X11 window");
  }
  const int width = size.getWidth();
  const int height = size.getHeight();

  kestro::PollRunLoop loop;
  HostWindow window;
  if (!window.Open(width, height, error)) {
    view->release();
    return Fail(error);
  }
  loop.registerEventHandler(&window, window.Fd());
  kestro::RunLoopFrame frame(&loop);
  view->setFrame(&frame);
  if (view->attached(reinterpret_cast<void*>(static_cast<uintptr_t>(window.Id())), kPlatformTypeX11EmbedWindowID) !=
      kResultOk) {
    view->release();
    return Fail("the editor refused the window");
  }

  // At least a few frames, so that a screenshot shows the drawn editor.
  constexpr int kSliceMs = 50;
  long remainingMs = seconds > 0.0 ? static_cast<long>(seconds * 1000.0) : -1;
  remainingMs = remainingMs >= 0 ? std::max(remainingMs, 200L) : remainingMs;
  while (!window.Closed() && remainingMs != 0) {
    loop.RunFor(kSliceMs);
    if (remainingMs > 0) remainingMs = std::max(0L, remainingMs - kSliceMs);
  }

  int status = 0;
  if (!screenshot.empty()) {
    kestro::MemBitmap picture;
    const xcb_window_t editorWindow = window.EditorWindow();
    if (window.Closed() || editorWindow == 0 || !window.Capture(editorWindow, width, height, picture)) {
      status = Fail("the editor's window could not be read back for the screenshot");
    } else if (!kestro::WritePngFile(picture, screenshot, error)) {
      status = Fail(screenshot + ": " + error);
    } else {
      std::printf("wrote %s (%d x %d)\n", screenshot.c_str(), width, height);
    }
  }
  view->removed();
  view->setFrame(nullptr);
  view->release();
  loop.unregisterEventHandler(&window);
  return status;
}
