// Editor gestures, state transfers and audio blocks from three threads at
// once. Run under ThreadSanitizer as well: no race may be reported, and no
// state may ever be observed half-written.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "core/PluginCore.h"

namespace kestro {
namespace {

constexpr int kParams = 10;
constexpr int kFrames = 64;

class ConcurrencyCore : public PluginCore {
 public:
  ConcurrencyCore() : PluginCore(kParams, "2-2", 1, "Concurrency", "", "Maker", 0, 1, 2) {
    for (int i = 0; i < kParams; ++i) ParamAt(i)->DefineDouble("P", 0, 0, 1000, 0.01);
    ChangeBlockSize(kFrames);
  }
  void ParamChanged(int index) override {
    std::lock_guard lock(ParamsLock());
    derived_[static_cast<size_t>(index)] = ParamAt(index)->Value();
  }
  void PerformParamEdit(int, double) override { performed_.fetch_add(1, std::memory_order_relaxed); }

  // What an adapter's process call does with the lock held.
  double ProcessBlock() {
    std::lock_guard lock(ParamsLock());
    for (int k = 0; k < 2; ++k) {
      InputPointers()[k] = input_[k];
      OutputPointers()[k] = output_[k];
      for (int s = 0; s < kFrames; ++s) input_[k][s] = derived_[0];
    }
    PassThroughBlock(kFrames);
    return output_[1][kFrames - 1];
  }

  std::atomic<int> performed_{0};

 private:
  std::vector<double> derived_ = std::vector<double>(kParams, 0.0);
  double input_[2][kFrames] = {};
  double output_[2][kFrames] = {};
};

std::vector<double> Decode(const StateChunk& chunk) {
  std::vector<double> values(kParams);
  for (int i = 0; i < kParams; ++i) chunk.Read(values[static_cast<size_t>(i)], 8 * i);
  return values;
}

bool AllEqual(const std::vector<double>& v) {
  for (double x : v) {
    if (x != v[0]) return false;
  }
  return true;
}

TEST(Concurrency, EditorStateAndAudioThreadsNeverSeeTornState) {
  ConcurrencyCore core;
  constexpr int kIterations = 20000;
  std::atomic<bool> failed{false};

  // The editor moves every parameter to one generation value per gesture;
  // a written state must therefore always hold one value throughout.
  std::thread editor([&] {
    for (int g = 1; g <= kIterations; ++g) {
      std::lock_guard gesture(core.ParamsLock());
      for (int i = 0; i < kParams; ++i) core.SetParamFromEditor(i, (g % 1000) / 1000.0);
    }
  });

  std::thread state([&] {
    for (int n = 0; n < kIterations; ++n) {
      StateChunk written;
      if (!core.SerializeParams(written) || written.Size() != 8 * kParams || !AllEqual(Decode(written))) {
        failed = true;
        return;
      }
      // Restore it and read back in one transfer: what was restored is what
      // was written.
      std::lock_guard transfer(core.ParamsLock());
      if (core.UnserializeParams(written, 0) != 8 * kParams) failed = true;
      StateChunk reread;
      core.SerializeParams(reread);
      if (Decode(reread) != Decode(written)) failed = true;
    }
  });

  std::thread audio([&] {
    for (int n = 0; n < kIterations; ++n) {
      const double out = core.ProcessBlock();
      if (!(out >= 0.0 && out <= 1000.0)) failed = true;
    }
  });

  editor.join();
  state.join();
  audio.join();
  EXPECT_FALSE(failed.load());
  EXPECT_EQ(core.performed_.load(), kIterations * kParams);
}

}  // namespace
}  // namespace kestro
