// The LV2 editor as a Linux host embeds it: the UI module (found through
// lilv) opens its X11 window in the host's parent, the host's idle calls
// drive it, a drag on a knob becomes port writes inside ui:touch, port
// events (a parameter, the meter) show without being sent back, a host
// scale factor sizes it, and a hundred rounds leave nothing behind.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lv2/atom/atom.h"
#include "lv2/options/options.h"
#include "lv2/ui/ui.h"
#include "tests/lv2/Lv2TestHost.h"
#include "tests/platform/linux/ProcessResources.h"
#include "tests/platform/linux/TestDisplay.h"

namespace kestro::test {
namespace {

constexpr int kParentX = 20, kParentY = 40;
constexpr uint32_t kThresholdPort = 6;
constexpr uint32_t kMeterPort = 18;

// The UI module named by the bundle, loaded once.
struct UiModule {
  UiModule() {
    const LilvPlugin* plugin = world.Plugin();
    if (!plugin) return;
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    LILV_FOREACH(uis, it, uis) {
      const LilvUI* ui = lilv_uis_get(uis, it);
      LilvNode* x11 = lilv_new_uri(world.World(), LV2_UI__X11UI);
      if (lilv_ui_is_a(ui, x11)) {
        uri = lilv_node_as_uri(lilv_ui_get_uri(ui));
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        binary = path;
        lilv_free(path);
      }
      lilv_node_free(x11);
    }
    lilv_uis_free(uis);
    handle = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(handle, "lv2ui_descriptor"));
    descriptor = entry ? entry(0) : nullptr;
  }
  Lv2World world;
  std::string uri, binary;
  void* handle = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
};

UiModule& Module() {
  static UiModule module;
  return module;
}

// What the UI told the host.
struct Told {
  enum Kind { kTouch, kRelease, kWrite };
  Kind kind;
  uint32_t port;
  float value;
};

class UiHost {
 public:
  UiHost(xcb_window_t parent, float scale = 0.0f) : scale_(scale) {
    UiModule& module = Module();
    UridMap& urids = module.world.Urids();
    resize_ = {this, [](LV2UI_Feature_Handle h, int w, int ht) {
                 static_cast<UiHost*>(h)->size_ = {w, ht};
                 return 0;
               }};
    touch_ = {this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                static_cast<UiHost*>(h)->told_.push_back({grabbed ? Told::kTouch : Told::kRelease, port, 0.0f});
              }};
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_UI__scaleFactor), sizeof(float), urids.Map(LV2_ATOM__Float),
                   &scale_};
    options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    features_ = {{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))},
                 {LV2_UI__resize, &resize_},
                 {LV2_UI__touch, &touch_},
                 {LV2_UI__idleInterface, nullptr},
                 {LV2_OPTIONS__options, scale > 0.0f ? options_ : options_ + 1}};
    std::vector<const LV2_Feature*> list{urids.Feature()};
    for (const LV2_Feature& f : features_) list.push_back(&f);
    list.push_back(nullptr);
    handle_ = module.descriptor->instantiate(module.descriptor, KESTRO_LV2_URI, KESTRO_LV2_BUNDLE_PATH "/",
                                             &UiHost::Write, this, &widget_, list.data());
    if (handle_) {
      idle_ = static_cast<const LV2UI_Idle_Interface*>(module.descriptor->extension_data(LV2_UI__idleInterface));
    }
  }
  ~UiHost() {
    if (handle_) Module().descriptor->cleanup(handle_);
  }

  bool Valid() const { return handle_ != nullptr && idle_ != nullptr; }
  xcb_window_t Window() const { return static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(widget_)); }
  std::pair<int, int> Size() const { return size_; }
  std::vector<Told>& ToldHost() { return told_; }
  void Port(uint32_t port, float value) { Module().descriptor->port_event(handle_, port, sizeof value, 0, &value); }
  int Idle() { return idle_->idle(handle_); }
  // Idles, as hosts do some 30 times a second, until done or two seconds.
  bool IdleUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
      Idle();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    auto* host = static_cast<UiHost*>(controller);
    if (format == 0 && size == sizeof(float)) host->told_.push_back({Told::kWrite, port, *static_cast<const float*>(buffer)});
  }

  float scale_;
  LV2UI_Resize resize_{};
  LV2UI_Touch touch_{};
  LV2_Options_Option options_[2]{};
  std::vector<LV2_Feature> features_;
  LV2UI_Handle handle_ = nullptr;
  LV2UI_Widget widget_ = nullptr;
  const LV2UI_Idle_Interface* idle_ = nullptr;
  std::pair<int, int> size_{0, 0};
  std::vector<Told> told_;
};

struct Lv2Ui : ::testing::Test {
  void SetUp() override {
    KESTRO_NEED_DISPLAY(display);
    ASSERT_NE(Module().descriptor, nullptr) << "no X11 UI in " KESTRO_LV2_BUNDLE_PATH;
    EXPECT_EQ(Module().uri, "https://pelmaracoustics.example/plugins/kestro#ui");
    parent = display.TopLevel(kParentX, kParentY, 2100, 320);
  }
  TestDisplay display;
  xcb_window_t parent = 0;
};

TEST_F(Lv2Ui, EmbedsItselfAndADragWritesThePortInsideATouch) {
  UiHost host(parent);
  ASSERT_TRUE(host.Valid());
  ASSERT_EQ(display.Children(parent).size(), 1u);
  const xcb_window_t window = display.Children(parent)[0];
  EXPECT_EQ(window, host.Window());
  EXPECT_EQ(display.Geometry(window), (std::vector<int>{0, 0, 1020, 151}));
  EXPECT_EQ(host.Size(), std::make_pair(1020, 151));
  ASSERT_TRUE(host.IdleUntil([&] { return display.Viewable(window); }));

  // A port event shows on its knob and is not sent back.
  auto knob = [&] { return display.Pixels(window, 620, 20, 80, 80); };
  for (int i = 0; i < 10; ++i) host.Idle();  // the first picture is up
  const auto before = knob();
  host.Port(kThresholdPort, -40.0f);
  EXPECT_TRUE(host.IdleUntil([&] {
    display.Sync();
    return knob() != before;
  }));
  EXPECT_TRUE(host.ToldHost().empty());

  // The meter's port moves the meter. (The first level an editor ever
  // gets is its meter's resting place.)
  auto meter = [&] { return display.Pixels(window, 0, 0, 1020, 151); };
  host.Port(kMeterPort, 0.0f);
  for (int i = 0; i < 10; ++i) {
    host.Idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  display.Sync();
  const auto resting = meter();
  host.Port(kMeterPort, 0.6f);
  EXPECT_TRUE(host.IdleUntil([&] {
    display.Sync();
    return meter() != resting;
  }));

  // Drag the threshold knob: touch, writes, release, all on its port.
  host.ToldHost().clear();
  display.MoveTo(kParentX + 660, kParentY + 60);
  display.Button(1, true);
  display.MoveTo(kParentX + 660, kParentY + 80);
  display.Button(1, false);
  ASSERT_TRUE(host.IdleUntil([&] { return !host.ToldHost().empty() && host.ToldHost().back().kind == Told::kRelease; }));
  const auto& told = host.ToldHost();
  ASSERT_GE(told.size(), 3u);
  EXPECT_EQ(told.front().kind, Told::kTouch);
  for (const Told& t : told) EXPECT_EQ(t.port, kThresholdPort);
  EXPECT_EQ(told[1].kind, Told::kWrite);
  EXPECT_LT(told[1].value, -40.0f);  // dragged down from where the port put it
  EXPECT_GE(told[1].value, -50.0f);
}

TEST_F(Lv2Ui, TheHostsScaleFactorSizesTheWindow) {
  UiHost host(parent, 2.0f);
  ASSERT_TRUE(host.Valid());
  ASSERT_EQ(display.Children(parent).size(), 1u);
  EXPECT_EQ(display.Geometry(display.Children(parent)[0]), (std::vector<int>{0, 0, 2040, 302}));
  EXPECT_EQ(host.Size(), std::make_pair(2040, 302));
}

TEST_F(Lv2Ui, AHundredRoundsLeaveNothingBehind) {
  {
    UiHost first(parent);  // fonts and images load once and stay
    ASSERT_TRUE(first.Valid());
    first.Idle();
  }
  const size_t files = OpenFileCount();
  const int segments = SharedSegmentCount();
  for (int round = 0; round < 100; ++round) {
    {
      UiHost host(parent);
      ASSERT_TRUE(host.Valid()) << round;
      host.Port(kThresholdPort, -static_cast<float>(round % 50));
      host.Idle();
    }
    display.Sync();
    ASSERT_TRUE(display.Children(parent).empty()) << round;
  }
  EXPECT_EQ(OpenFileCount(), files);
  EXPECT_EQ(SharedSegmentCount(), segments);
  EXPECT_EQ(display.Error(), 0);
}

// A host without a parent window gets no UI.
TEST_F(Lv2Ui, IsRefusedWithoutAParent) {
  const LV2UI_Descriptor* d = Module().descriptor;
  LV2UI_Widget widget = nullptr;
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(d->instantiate(d, KESTRO_LV2_URI, KESTRO_LV2_BUNDLE_PATH "/", [](LV2UI_Controller, uint32_t, uint32_t,
                                                                             uint32_t, const void*) {},
                           nullptr, &widget, none),
            nullptr);
}

}  // namespace
}  // namespace kestro::test
