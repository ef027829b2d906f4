// Hosts work on several threads at once: the audio thread processes while
// the user-interface thread saves and restores state or moves parameters,
// and instances are created from more than one thread. Run by the
// ThreadSanitizer build as well.
#include "ModuleTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace kestro::test {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// Processes blocks on its own thread until stopped; counts blocks and
// remembers whether any output was not finite.
class AudioThread {
 public:
  explicit AudioThread(PluginInstance& instance) : instance_(instance), thread_([this] { Run(); }) {}
  ~AudioThread() { Stop(); }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int Blocks() const { return blocks_; }
  // Waits for the first block, so that what follows overlaps real processing.
  void AwaitRunning() const {
    while (blocks_ == 0 && ok_) std::this_thread::yield();
  }
  bool AllFinite() const { return finite_; }
  bool AllOk() const { return ok_; }

 private:
  void Run() {
    auto in = Sine<float>(2, 128, 440.0, 0.7);
    Buffers<float> out(2, 128);
    while (!stop_) {
      ok_ = ok_ && instance_.Process(128, in.Pointers(), nullptr, out.Pointers()) == kResultOk;
      finite_ = finite_ && kestro::test::AllFinite(out);
      ++blocks_;
    }
  }

  PluginInstance& instance_;
  std::atomic<bool> stop_{false};
  std::atomic<int> blocks_{0};
  std::atomic<bool> finite_{true};
  std::atomic<bool> ok_{true};
  std::thread thread_;
};

TEST(Concurrency, StateRoundTripsWhileAnotherThreadProcesses) {
  auto instance = StartedInstance(kSample32, 128);
  ASSERT_NE(instance, nullptr);
  const std::vector<std::uint8_t> states[2] = {
      MakeState({-20.0, 3.0, 2.0, 3.0, 4.0, 0.5, 80.0, 1.0, 0.0, 1.0}, 0),
      MakeState({-35.5, -6.0, 5.0, 1.0, 2.0, 0.9, 25.0, 1.0, 1.0, 1.0}, 0),
  };
  AudioThread audio(*instance);
  audio.AwaitRunning();
  for (int round = 0; round < 400; ++round) {
    const auto& state = states[round % 2];
    ASSERT_EQ(LoadState(instance->Controller(), state), kResultOk) << round;
    // Nothing else changes parameters, so what comes back is what went in,
    // never a mix of two states.
    ASSERT_EQ(SaveState(instance->Controller()), state) << round;
  }
  audio.Stop();
  EXPECT_GT(audio.Blocks(), 0);
  EXPECT_TRUE(audio.AllOk());
  EXPECT_TRUE(audio.AllFinite());
}

TEST(Concurrency, ControllerParameterCallsWhileAnotherThreadProcesses) {
  auto instance = StartedInstance(kSample32, 128);
  ASSERT_NE(instance, nullptr);
  IEditController* controller = instance->Controller();
  AudioThread audio(*instance);
  audio.AwaitRunning();
  for (int round = 0; round < 2000; ++round) {
    const auto id = static_cast<ParamID>(round % kPluginParams);
    const double value = (round % 17) / 16.0;
    controller->setParamNormalized(id, value);
    const double back = controller->getParamNormalized(id);
    ASSERT_TRUE(back >= 0.0 && back <= 1.0) << round;
    String128 text{};
    controller->getParamStringByValue(id, value, text);
  }
  audio.Stop();
  EXPECT_TRUE(audio.AllOk());
  EXPECT_TRUE(audio.AllFinite());
}

TEST(Concurrency, InstancesCreatedFromSeveralThreads) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 6;
  // A host takes the factory once, on its main thread, and may then create
  // instances wherever it likes.
  IPtr<IPluginFactory> factory = Factory();
  std::atomic<int> made{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&made, &factory] {
      for (int i = 0; i < kPerThread; ++i) {
        std::string error;
        TUID cid;
        ClassId(cid);
        auto instance = PluginInstance::Create(factory, cid, error);
        if (instance != nullptr && instance->Controller() != nullptr &&
            instance->Controller()->getParameterCount() == 12) {
          ++made;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(made.load(), kThreads * kPerThread);
}

}  // namespace
}  // namespace kestro::test
