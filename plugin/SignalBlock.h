#pragma once

#include "core/IEditor.h"
#include "plugin/ColourKernel.h"
#include "plugin/DetectorFilter.h"
#include "plugin/GainComputer.h"

namespace kestro {

// One block of the compressor's sample loop: what it reads, and the states
// it advances. The loop is built for three instruction sets (like the
// colour kernel, which it inlines) and chosen at run time; all three give
// the same results bit for bit.
struct SignalBlock {
  const double* inL;
  const double* inR;
  const double* detL;  // detector inputs: the main or the sidechain channels
  const double* detR;
  double* outL;
  double* outR;
  int frames;
  ColourKernelState* colour;  // null: at rest on silent input, colour +0
  DetectorFilter* detectors;  // left and right
  const GainComputer* gain;
  double sampleRate;
  double side;
  double wet;
  double dry;
  double outputGain;
  double meterCoefficient;
  bool compressing;  // threshold not 0
  bool processing;   // the plug-in's own bypass is off
  // When set, the first sample's meter level goes to this control.
  IEditor* firstPushEditor;
  int meterControl;
  double gainState;   // in and out
  double meterLevel;  // in and out
  // Silent input (main and detector), and the detectors and the gain
  // settled: they stand still, and only the colour stage and the meter run.
  bool settled;
};

void RunSignalBlockSse2(SignalBlock& block);
void RunSignalBlockAvx(SignalBlock& block);     // only where CpuHasAvx()
void RunSignalBlockAvx512(SignalBlock& block);  // only where CpuHasAvx512()

// AVX-512 with the 256-bit forms of its instructions (AVX-512VL): twice
// the vector registers of AVX, so the colour filters' histories stay in
// registers across samples.
bool CpuHasAvx512();

}  // namespace kestro
