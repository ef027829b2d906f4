// Silent blocks take shortcuts (the colour stage skipped at rest, the
// detectors and the gain left standing once settled, and a colour stage
// that has faded to its faint cycle put to rest). Two instances, one with
// the shortcuts switched off, run the same long random programmes, in
// double precision and through the VST3 adapter in single precision: the
// gain and the meter agree bit for bit throughout, and the outputs as far
// as Departure allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <random>
#include <vector>

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "tests/plugin/KestroHarness.h"

namespace kestro {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

constexpr double kRate = 48000.0;
constexpr int kMaxBlock = 512;

// What one programme step does to both instances.
struct Step {
  enum Kind { kBlock, kParam, kReset } kind = kBlock;
  int frames = 0;
  int param = 0;
  double value = 0.0;
  std::vector<double> in[4];  // main left, right; sidechain left, right
};

// Loud and quiet noise, long exact silences (on the main input, the
// sidechain or both), silence with negative zeros and denormal-range values,
// NaN and infinity bursts, parameter changes (the factor and the detector
// source included) and resets, in random block sizes.
std::vector<Step> Programme(unsigned seed, double seconds) {
  std::mt19937 rng(seed);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<Step> steps;
  // First a second of loud noise and a long silence, in which the colour
  // stage keeps ringing faintly while the detectors and the gain settle.
  for (int b = 0; b < 750; ++b) {
    Step block;
    block.frames = 256;
    for (int c = 0; c < 4; ++c) {
      block.in[c].assign(256, 0.0);
      if (b < 188) {
        for (double& x : block.in[c]) x = uniform(-0.5, 0.5);
      }
    }
    steps.push_back(std::move(block));
  }
  // Then the cases where the faded colour stage is put to rest and the
  // full loop's keeps its faint cycle: a signal returning at +30 dB, the
  // factor switched to 16 and back in the silence, a signal at 16x.
  auto blocks = [&](int count, double level) {
    for (int b = 0; b < count; ++b) {
      Step block;
      block.frames = 256;
      for (int c = 0; c < 4; ++c) {
        block.in[c].assign(256, 0.0);
        if (level > 0) {
          for (double& x : block.in[c]) x = uniform(-level, level);
        }
      }
      steps.push_back(std::move(block));
    }
  };
  auto set = [&](int param, double value) {
    Step change;
    change.kind = Step::kParam;
    change.param = param;
    change.value = value;
    steps.push_back(change);
  };
  set(ParamOutput, 1.0);
  set(ParamSidechain, 1.0);  // the detectors listen to the main input
  set(ParamOversample, 0.0);
  blocks(60, 0.0);
  blocks(100, 0.5);
  blocks(100, 0.0);
  blocks(100, 0.5);
  blocks(60, 0.0);
  set(ParamOversample, 1.0);
  blocks(60, 0.0);
  set(ParamOversample, 0.0);
  blocks(60, 0.0);
  set(ParamOversample, 1.0);
  blocks(100, 0.5);
  blocks(300, 0.0);  // the high factor's cycle keeps the colour stage running
  set(ParamOversample, 0.0);
  blocks(100, 0.5);
  set(ParamOutput, 0.5);
  const size_t total = static_cast<size_t>(seconds * kRate);
  size_t done = 0;
  while (done < total) {
    const int kind = pick(8);
    // Silence is long enough for the detectors and the gain to settle.
    const size_t length = static_cast<size_t>(kRate * (kind < 4 ? uniform(0.4, 2.5) : uniform(0.01, 0.3)));
    const double level = std::pow(10.0, uniform(-4.0, 0.3));
    const bool sideSilent = pick(3) == 0;
    const bool mainSilent = kind < 4 || pick(4) == 0;
    size_t at = 0;
    while (at < length) {
      if (pick(6) == 0) {
        Step change;
        change.kind = pick(10) == 0 ? Step::kReset : Step::kParam;
        change.param = pick(kNumKestroParams);
        change.value = pick(4) == 0 ? static_cast<double>(pick(2)) : uniform(0.0, 1.0);
        steps.push_back(change);
      }
      Step block;
      block.frames = 1 + pick(kMaxBlock);
      for (int c = 0; c < 4; ++c) {
        const bool silent = c < 2 ? mainSilent : sideSilent;
        block.in[c].resize(static_cast<size_t>(block.frames));
        for (double& x : block.in[c]) {
          x = silent ? 0.0 : uniform(-level, level);
          if (silent && kind == 3 && pick(50) == 0) {
            // Not quite silence: the full loop must take these.
            const double odd[] = {-0.0, 1e-310, -4.9e-324, 1e-40, 1e-300};
            x = odd[pick(5)];
          }
          if (kind == 5 && pick(40) == 0) {
            const double bad[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL};
            x = bad[pick(3)];
          }
        }
      }
      at += static_cast<size_t>(block.frames);
      steps.push_back(std::move(block));
    }
    done += length;
  }
  return steps;
}

// How far the shortcut path's output may stand from the full loop's. Until
// the shortcut instance first puts a faded colour stage to rest, nothing
// differs. From then on, until a reset clears both, its colour filters lack
// the faint cycle the full loop's still carry:
// - while the main input stays silent at the low factor, that cycle's
//   colour is all that is missing: 1e-15 absolute, even at +30 dB;
// - once a signal returns the two runs' roundings part, and the outputs
//   stay within a few units in the last place of each other;
// - once the high factor runs, its filters grow any such difference to the
//   size of their own rounding noise and keep it there.
class Departure {
 public:
  enum Regime { kSame, kSilentSinceRest, kSignalSinceRest, kHighSinceRest, kRegimes };

  // Outputs in single precision may also differ where the two runs' values
  // round to neighbouring floats.
  explicit Departure(bool single = false) : single_(single) {}

  // Before each block, with one channel of its main input.
  template <class T>
  void Before(const std::vector<T>& main) {
    if (regime_ != kSilentSinceRest) return;
    for (const T x : main) {
      if (x != 0 || std::signbit(x)) regime_ = kSignalSinceRest;
    }
  }
  // After each step: whether it was a reset, the shortcut instance's count
  // of rests and its factor.
  void After(bool reset, long rests, int factor) {
    if (reset) {
      regime_ = kSame;
    } else if (rests != rests_ && regime_ == kSame) {
      regime_ = kSilentSinceRest;
    }
    if (factor == 16 && regime_ != kSame) regime_ = kHighSinceRest;
    rests_ = rests;
  }
  Regime Now() const { return regime_; }

  // The allowance for an output sample whose full-loop value is y.
  double Allowed(double y) const {
    const double magnitude = std::max(1.0, std::fabs(y));
    const double floatStep = single_ ? std::ldexp(std::fabs(y), -23) : 0.0;
    switch (regime_) {
      case kSame:
        return 0.0;
      case kSilentSinceRest:
        return 1e-15;
      case kSignalSinceRest:
        return std::max(1e-14 * magnitude, floatStep);
      default:
        return std::max(1e-6 * magnitude, floatStep);
    }
  }

 private:
  bool single_;
  Regime regime_ = kSame;
  long rests_ = 0;
};

void ExpectSameBits(double a, double b, const char* what, size_t step) {
  ASSERT_EQ(std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b)) << what << " at step " << step;
}

// Per regime: the blocks run in it and the largest |difference| found,
// also relative to the allowance.
struct Findings {
  long blocks[Departure::kRegimes] = {};
  double worst[Departure::kRegimes] = {};
  double share[Departure::kRegimes] = {};

  template <class T>
  void Compare(const Departure& departure, const std::vector<T>& shortcut, const std::vector<T>& full, int channel,
               size_t step) {
    const Departure::Regime r = departure.Now();
    if (channel == 0) ++blocks[r];
    for (size_t n = 0; n < full.size(); ++n) {
      const double difference = std::fabs(static_cast<double>(shortcut[n]) - static_cast<double>(full[n]));
      if (std::bit_cast<std::uint64_t>(static_cast<double>(shortcut[n])) ==
          std::bit_cast<std::uint64_t>(static_cast<double>(full[n]))) {
        continue;  // NaN and infinity included
      }
      const double allowed = departure.Allowed(static_cast<double>(full[n]));
      worst[r] = std::max(worst[r], difference);
      if (allowed > 0) share[r] = std::max(share[r], difference / allowed);
      ASSERT_LE(difference, allowed) << "regime " << r << " channel " << channel << " sample " << n << " at step "
                                     << step << ": " << shortcut[n] << " against " << full[n];
    }
  }
  void Print(const char* what) const {
    for (int r = 0; r < Departure::kRegimes; ++r) {
      std::printf("%s regime %d: %ld blocks, largest difference %.3g (%.2f of the allowance)\n", what, r, blocks[r],
             worst[r], share[r]);
    }
  }
};

// Both paths over a programme, in double precision through ProcessDoubles.
void CompareDoubles(unsigned seed, bool startHigh) {
  KestroHarness shortcut(kRate), full(kRate);
  full.DisableSilenceShortcut();
  for (KestroHarness* k : {&shortcut, &full}) {
    k->Set(ParamThreshold, 0.6);
    k->Set(ParamOversample, startHigh ? 1.0 : 0.0);
  }
  const std::vector<Step> steps = Programme(seed, 12.0);
  std::vector<double> out[2][2];
  Departure departure;
  Findings findings;
  for (size_t s = 0; s < steps.size(); ++s) {
    const Step& step = steps[s];
    if (step.kind == Step::kBlock) {
      departure.Before(step.in[0]);
      departure.Before(step.in[1]);
    }
    KestroHarness* both[] = {&shortcut, &full};
    for (int i = 0; i < 2; ++i) {
      KestroHarness& k = *both[i];
      if (step.kind == Step::kParam) {
        k.Set(step.param, step.value);
      } else if (step.kind == Step::kReset) {
        k.ResetProcessing();
      } else {
        out[i][0].assign(static_cast<size_t>(step.frames), 0.0);
        out[i][1].assign(static_cast<size_t>(step.frames), 0.0);
        double* in[4];
        for (int c = 0; c < 4; ++c) in[c] = const_cast<double*>(step.in[c].data());
        double* o[2] = {out[i][0].data(), out[i][1].data()};
        std::lock_guard lock(k.ParamsLock());
        k.ProcessDoubles(in, o, step.frames);
      }
    }
    departure.After(step.kind == Step::kReset, shortcut.ColourRests(), shortcut.Internal().oversampling);
    if (step.kind != Step::kBlock) continue;
    for (int c = 0; c < 2; ++c) findings.Compare(departure, out[0][c], out[1][c], c, s);
    ExpectSameBits(shortcut.GainState(), full.GainState(), "gain", s);
    ExpectSameBits(shortcut.MeterLevel(), full.MeterLevel(), "meter", s);
  }
  findings.Print("double");
  // The shortcuts must actually have been taken, in every form.
  EXPECT_GT(shortcut.SettledBlocks(), shortcut.RestingBlocks() + 100);
  EXPECT_GT(shortcut.RestingBlocks(), 10);
  EXPECT_GE(shortcut.ColourRests(), 3);
  EXPECT_EQ(full.SettledBlocks(), 0);
  EXPECT_EQ(full.ColourRests(), 0);
  // Filter states the outputs have not shown yet show in what follows.
  std::vector<double> pL, pR, qL, qR;
  const std::vector<double> probeL = Noise(4096, 0.5, seed + 1), probeR = Noise(4096, 0.5, seed + 2);
  departure.Before(probeL);
  shortcut.Process(probeL, probeR, pL, pR, 256, &probeR, &probeL);
  full.Process(probeL, probeR, qL, qR, 256, &probeR, &probeL);
  findings.Compare(departure, pL, qL, 0, steps.size());
  findings.Compare(departure, pR, qR, 1, steps.size());
  ExpectSameBits(shortcut.GainState(), full.GainState(), "final gain", steps.size());
  ExpectSameBits(shortcut.MeterLevel(), full.MeterLevel(), "final meter", steps.size());
  ExpectSameBits(shortcut.KneeWidth(), full.KneeWidth(), "final knee", steps.size());
}

TEST(Silence, ShortcutsStayWithTheFullLoopInDoublePrecision) {
  CompareDoubles(101, false);
  CompareDoubles(202, true);
}

// The sample loop's builds for narrower instruction sets (where the
// processor has them) give the same output as the widest, bit for bit.
TEST(SignalLoop, EveryBuildGivesTheSameOutput) {
  std::vector<double> expectedL, expectedR;
  for (auto loop : {Kestro::SignalLoop::kWidest, Kestro::SignalLoop::kAvx, Kestro::SignalLoop::kSse2}) {
    KestroHarness k(kRate);
    k.UseSignalLoop(loop);
    k.Set(ParamThreshold, 0.6);
    k.Set(ParamRatio, 0.8);
    std::vector<double> left = Noise(48000, 0.7, 31), right = Noise(48000, 0.2, 32);
    left[20000] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> outL, outR, moreL, moreR;
    k.Process(left, right, outL, outR, 100);
    k.Set(ParamOversample, 1.0);
    k.Process(right, left, moreL, moreR, 256);
    outL.insert(outL.end(), moreL.begin(), moreL.end());
    outR.insert(outR.end(), moreR.begin(), moreR.end());
    if (expectedL.empty()) {
      expectedL = outL;
      expectedR = outR;
      continue;
    }
    EXPECT_EQ(std::memcmp(outL.data(), expectedL.data(), outL.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(outR.data(), expectedR.data(), outR.size() * sizeof(double)), 0);
  }
}

// One instance driven through its VST3 processor in single precision, with
// a sidechain bus.
class Adapter32 {
 public:
  explicit Adapter32(bool shortcut) {
    if (!shortcut) k_.DisableSilenceShortcut();
    EXPECT_EQ(k_.initialize(nullptr), kResultOk);
    SpeakerArrangement ins[2] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    SpeakerArrangement outs[1] = {SpeakerArr::kStereo};
    EXPECT_EQ(k_.setBusArrangements(ins, 2, outs, 1), kResultOk);
    k_.activateBus(kAudio, kInput, 0, true);
    k_.activateBus(kAudio, kInput, 1, true);
    k_.activateBus(kAudio, kOutput, 0, true);
    ProcessSetup setup{kRealtime, kSample32, kMaxBlock, kRate};
    EXPECT_EQ(k_.setupProcessing(setup), kResultOk);
    k_.setActive(true);
  }
  ~Adapter32() {
    k_.setActive(false);
    k_.terminate();
  }

  Kestro& Plugin() { return k_; }

  // in: four channels of frames floats; out: two.
  void Process(float** in, float** out, int frames) {
    AudioBusBuffers inputs[2];
    inputs[0].numChannels = 2;
    inputs[0].channelBuffers32 = in;
    inputs[1].numChannels = 2;
    inputs[1].channelBuffers32 = in + 2;
    AudioBusBuffers outputs[1];
    outputs[0].numChannels = 2;
    outputs[0].channelBuffers32 = out;
    ProcessData data;
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = 2;
    data.inputs = inputs;
    data.numOutputs = 1;
    data.outputs = outputs;
    EXPECT_EQ(k_.process(data), kResultOk);
  }

 private:
  Kestro k_;
};

TEST(Silence, ShortcutsStayWithTheFullLoopInSinglePrecision) {
  Adapter32 shortcut(true), full(false);
  Adapter32* both[] = {&shortcut, &full};
  for (Adapter32* a : both) {
    std::lock_guard lock(a->Plugin().ParamsLock());
    a->Plugin().SetParamFromEditor(ParamThreshold, 0.6);
  }
  const std::vector<Step> steps = Programme(303, 10.0);
  std::vector<float> in[4], out[2][2];
  Departure departure(true);
  Findings findings;
  for (size_t s = 0; s < steps.size(); ++s) {
    const Step& step = steps[s];
    if (step.kind != Step::kBlock) {
      for (Adapter32* a : both) {
        std::lock_guard lock(a->Plugin().ParamsLock());
        if (step.kind == Step::kParam) {
          a->Plugin().SetParamFromEditor(step.param, step.value);
        } else {
          a->Plugin().ResetProcessing();
        }
      }
      departure.After(step.kind == Step::kReset, shortcut.Plugin().ColourRests(),
                      shortcut.Plugin().Internal().oversampling);
      continue;
    }
    for (int c = 0; c < 4; ++c) in[c].assign(step.in[c].begin(), step.in[c].end());
    departure.Before(in[0]);
    departure.Before(in[1]);
    for (int i = 0; i < 2; ++i) {
      // The adapter may convert in place; each instance gets its own copy.
      std::vector<float> copy[4] = {in[0], in[1], in[2], in[3]};
      float* ins[4] = {copy[0].data(), copy[1].data(), copy[2].data(), copy[3].data()};
      out[i][0].assign(static_cast<size_t>(step.frames), 0.0f);
      out[i][1].assign(static_cast<size_t>(step.frames), 0.0f);
      float* outs[2] = {out[i][0].data(), out[i][1].data()};
      both[i]->Process(ins, outs, step.frames);
    }
    departure.After(false, shortcut.Plugin().ColourRests(), shortcut.Plugin().Internal().oversampling);
    for (int c = 0; c < 2; ++c) findings.Compare(departure, out[0][c], out[1][c], c, s);
    ExpectSameBits(shortcut.Plugin().GainState(), full.Plugin().GainState(), "gain", s);
    ExpectSameBits(shortcut.Plugin().MeterLevel(), full.Plugin().MeterLevel(), "meter", s);
  }
  findings.Print("single");
  EXPECT_GT(shortcut.Plugin().SettledBlocks(), shortcut.Plugin().RestingBlocks() + 100);
  EXPECT_GT(shortcut.Plugin().RestingBlocks(), 5);
  EXPECT_GE(shortcut.Plugin().ColourRests(), 3);
}

}  // namespace
}  // namespace kestro
