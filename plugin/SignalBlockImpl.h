#pragma once

// The compressor's sample loop (see SignalBlock.h). Compiled once per
// instruction set, with internal linkage, like ColourKernelImpl.h. Inline
// functions of shared headers that it calls must be inlined in full
// (always_inline where the compiler would not): an out-of-line copy built
// for AVX-512 could otherwise be picked by the linker for every caller.
// `nm --defined-only` on the SignalBlockAvx*.o objects lists no weak
// symbols.

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugin/ColourKernelImpl.h"
#include "plugin/DetectorPair.h"
#include "plugin/SignalBlock.h"

namespace kestro {
namespace {

// The meter overshoots its target by 1.25 % in the direction of travel.
constexpr double kMeterRise = 1.0125;
constexpr double kMeterFall = 0.9875;
// 10^-4.5: the colour signal sits about 90 dB below the programme.
constexpr double kColourGain = 3.16227766016837933e-5;

// One step of the meter recursion towards the reduction m.
inline double MeterStep(double meter, double m, double coefficient) {
  const double t = m > meter ? m * kMeterRise : m * kMeterFall;
  return (meter - t) * coefficient + t;
}

// The block runs in short chunks, as a two-stage software pipeline: while
// the colour stage and the detectors run for chunk c, the gain ballistics,
// the meter and the output run for chunk c - 1. The colour stage is one long
// chain of dependent filter steps that leaves most of the processor idle;
// the detectors and the ballistics are chains of their own, and beside it
// they cost little. The colour stage leads, so it starts at once with every
// block and only the last chunk's ballistics trail it. Between the loops the
// target gains of a whole chunk are estimated at once (vectorised). Every
// state takes exactly the values of a sample-by-sample loop: each stage
// still sees its samples in order.
template <int F, bool kColour>
KESTRO_ALWAYS_INLINE void RunChunks(SignalBlock& s) {
  const double* const inL = s.inL;
  const double* const inR = s.inR;
  const double* const detL = s.detL;
  const double* const detR = s.detR;
  double* const outL = s.outL;
  double* const outR = s.outR;
  const int frames = s.frames;
  const GainComputer& gain = *s.gain;
  const double side = s.side;
  const double wet = s.wet;
  const double dry = s.dry;
  const double outputGain = s.outputGain;
  const double meterCoefficient = s.meterCoefficient;
  const bool compressing = s.compressing;
  const bool processing = s.processing;

  // Linked level of one detector sample; NaN marks damaged input.
  DetectorPair detectors(s.detectors[0], s.detectors[1]);
  auto detect = [&](int n) {
    double left = 0.0;
    double right = 0.0;
    detectors.Run(detL[n], detR[n], side, left, right);
    const double e = std::max(std::fabs(left), std::fabs(right));
    if (std::isfinite(e)) return gain.Level(e);
    // Damaged input (NaN or infinity): the detectors and the gain start
    // afresh, so that once the input is finite again the compressor behaves
    // exactly like a newly made one instead of staying poisoned.
    DetectorFilter fresh;
    fresh.UpdateRate(s.sampleRate);
    s.detectors[0] = fresh;
    s.detectors[1] = fresh;
    detectors.Reload();
    return std::numeric_limits<double>::quiet_NaN();
  };

  constexpr int kChunk = 16;  // a multiple of 4 for the estimates
  // By chunk parity: the chunk being measured and the one being finished.
  double level[2][kChunk] = {};  // NaN marks damaged input
  float estimate[2][kChunk];
  double colourL[2][kChunk];
  double colourR[2][kChunk];
  double g = s.gainState;
  double meter = s.meterLevel;
  const int chunks = (frames + kChunk - 1) / kChunk;
  // Ballistics, meter and output of sample i of chunk c. The exact target
  // is only computed where the estimate cannot decide.
  auto finish = [&](int c, int i) {
    const int b = c & 1;
    const double l = level[b][i];
    g = std::isnan(l) ? 1.0 : gain.StepTowards(g, l, estimate[b][i]);
    if (!compressing) g = 1.0;
    const double m = std::fabs(1.0 - g);
    meter = MeterStep(meter, m, meterCoefficient);
    if (s.firstPushEditor && c == 0 && i == 0) s.firstPushEditor->PushControlValue(s.meterControl, meter);

    const int n = c * kChunk + i;
    const double dryL = inL[n];
    const double dryR = inR[n];
    // The colour goes through the gain but not through the dry path.
    const double compressedL = (kColourGain * colourL[b][i] + dryL) * g;
    const double compressedR = (kColourGain * colourR[b][i] + dryR) * g;
    if (processing) {
      outL[n] = (compressedL * wet + dryL * dry) * outputGain;
      outR[n] = (compressedR * wet + dryR * dry) * outputGain;
    } else {
      outL[n] = dryL;
      outR[n] = dryR;
    }
  };
  for (int c = 0; c < chunks; ++c) {
    const int b = c & 1;
    const int count = std::min(kChunk, frames - c * kChunk);
    const int previous = c > 0 ? kChunk : 0;  // every chunk but the last is full
    for (int i = 0; i < kChunk; ++i) {
      if (i < count) {
        const int n = c * kChunk + i;
        if constexpr (kColour) {
          RunColourKernel<F>(*s.colour, inL[n], inR[n], colourL[b][i], colourR[b][i]);
        } else {
          colourL[b][i] = 0.0;
          colourR[b][i] = 0.0;
        }
        level[b][i] = detect(n);
      }
      if (i < previous) finish(c - 1, i);
    }
    gain.EstimateTargets(level[b], estimate[b], count);
  }
  const int last = chunks - 1;
  for (int i = 0; i < frames - last * kChunk; ++i) finish(last, i);
  detectors.Store();
  s.gainState = g;
  s.meterLevel = meter;
}

// The sample loop's output for a settled silent block: dry input +0.
inline double SettledOutput(const SignalBlock& s, double colour) {
  const double compressed = (kColourGain * colour + 0.0) * s.gainState;
  return s.processing ? (compressed * s.wet + 0.0 * s.dry) * s.outputGain : 0.0;
}

// A settled silent block with the colour stage still running (see
// SignalBlock::settled).
template <int F>
KESTRO_ALWAYS_INLINE void RunSettled(SignalBlock& s) {
  const double m = std::fabs(1.0 - s.gainState);
  double meter = s.meterLevel;
  for (int n = 0; n < s.frames; ++n) {
    double left = 0.0;
    double right = 0.0;
    RunColourKernel<F>(*s.colour, 0.0, 0.0, left, right);
    s.outL[n] = SettledOutput(s, left);
    s.outR[n] = SettledOutput(s, right);
    meter = MeterStep(meter, m, s.meterCoefficient);
  }
  s.meterLevel = meter;
}

// The colour stage's factor is fixed for the block: dispatch once.
inline void RunSignalBlock(SignalBlock& s) {
  if (s.settled && s.colour != nullptr) {
    if (s.colour->factor == ColourStage::kFactorHigh) {
      RunSettled<ColourStage::kFactorHigh>(s);
    } else {
      RunSettled<ColourStage::kFactorLow>(s);
    }
  } else if (s.colour == nullptr) {
    RunChunks<ColourStage::kFactorLow, false>(s);  // the factor does not matter without the colour stage
  } else if (s.colour->factor == ColourStage::kFactorHigh) {
    RunChunks<ColourStage::kFactorHigh, true>(s);
  } else {
    RunChunks<ColourStage::kFactorLow, true>(s);
  }
}

}  // namespace
}  // namespace kestro
