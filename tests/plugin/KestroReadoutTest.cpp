// The read-out's text: what the compressor really uses at each value, never
// the panel's printed marks (position 0 of Release is 0.15 s, not ".1").
#include <gtest/gtest.h>

#include <limits>

#include "plugin/KestroParams.h"
#include "plugin/KestroReadout.h"

namespace kestro::test {
namespace {

TEST(KestroReadout, SaysEachParametersRealValueInItsUnits) {
  const struct {
    int param;
    double value;
    const char* text;
  } cases[] = {
      {ParamThreshold, -23.4, "Threshold -23.40 dB"},
      {ParamThreshold, -50.0, "Threshold -50.00 dB"},
      {ParamThreshold, -0.001, "Threshold 0.00 dB"},
      {ParamOutput, 4.0, "Make-up +4.00 dB"},
      {ParamOutput, -30.0, "Make-up -30.00 dB"},
      {ParamOutput, -0.004, "Make-up +0.00 dB"},
      // The stepped tables are not monotone: read-outs follow them.
      {ParamAttack, 0.0, "Attack 0.05 ms"},
      {ParamAttack, 2.0, "Attack 0.45 ms"},
      {ParamAttack, 5.0, "Attack 0.12 ms"},
      {ParamAttack, 2.99, "Attack 0.45 ms"},
      {ParamRelease, 0.0, "Release 0.15 s"},
      {ParamRelease, 3.0, "Release 0.25 s"},
      {ParamRelease, 5.0, "Release 0.30 s"},
      {ParamRatio, 0.0, "Ratio 1.5:1"},
      {ParamRatio, 2.0, "Ratio 3:1"},
      {ParamRatio, 5.0, "Ratio 10:1"},
      {ParamRatio, 99.0, "Ratio 10:1"},
      {ParamRatio, std::numeric_limits<double>::quiet_NaN(), "Ratio 1.5:1"},
      {ParamSide, 0.42, "Side 0.42"},
      {ParamMix, 80.0, "Mix 80 %"},
      {ParamMix, 100.0, "Mix 100 %"},
      {ParamBypass, 1.0, "Compressor in"},
      {ParamBypass, 0.0, "Compressor out"},
      {ParamOversample, 0.0, "Oversampling 4x"},
      {ParamOversample, 1.0, "Oversampling 16x"},
      {ParamSidechain, 0.0, "Detector: external sidechain"},
      {ParamSidechain, 1.0, "Detector: main input"},
      {kNumKestroParams, 1.0, ""},
      {-1, 1.0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KestroReadout(c.param, c.value), c.text) << "parameter " << c.param << " at " << c.value;
  }
}

}  // namespace
}  // namespace kestro::test
