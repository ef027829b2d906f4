#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/Kestro.h"

namespace kestro {
namespace {

// A freshly made instance after a host's initialisation: preset 0 loaded.
struct Initialised : Kestro {
  Initialised() { EXPECT_TRUE(LoadPreset(0)); }
};

TEST(KestroParams, TableOfParameters) {
  struct Row {
    const char* name;
    ParamType type;
    double def, lo, hi, step;
    const char* unit;
    int precision;
    const char* shown;
    double defaultNormalized;
    int steps;
  };
  const Row rows[kNumKestroParams] = {
      {"Threshold", ParamType::Double, 0, -50, 0, 0.01, "%", 2, "0.00", 1.0, 0},
      {"Output", ParamType::Double, 0, -30, 30, 0.01, "%", 2, "0.00", 0.5, 0},
      {"Attack", ParamType::Integer, 0, 0, 5, 1, "", 0, "0", 0.0, 5},
      {"Release", ParamType::Integer, 0, 0, 5, 1, "", 0, "0", 0.0, 5},
      {"Ratio", ParamType::Integer, 0, 0, 5, 1, "", 0, "0", 0.0, 5},
      {"Sidechain", ParamType::Double, 0.3, 0.3, 0.99, 0.01, "%", 2, "0.30", 0.0, 0},
      {"Mix", ParamType::Double, 100, 0, 100, 0.01, "%", 2, "100.00", 1.0, 0},
      {"Bypass", ParamType::Integer, 1, 0, 1, 1, "", 0, "1", 1.0, 1},
      {"Oversample", ParamType::Integer, 0, 0, 1, 1, "", 0, "0", 0.0, 1},
      {"Sidechain", ParamType::Integer, 1, 0, 1, 1, "", 0, "1", 1.0, 1},
  };
  Initialised k;
  ASSERT_EQ(k.ParamCount(), kNumKestroParams);
  for (int i = 0; i < kNumKestroParams; ++i) {
    const Row& r = rows[i];
    const IParamEntry& p = *k.ParamAt(i);
    SCOPED_TRACE(i);
    EXPECT_STREQ(p.Name(), r.name);
    EXPECT_EQ(p.Type(), r.type);
    EXPECT_EQ(p.Default(), r.def);
    EXPECT_EQ(p.Value(), r.def);
    EXPECT_EQ(p.Minimum(), r.lo);
    EXPECT_EQ(p.Maximum(), r.hi);
    EXPECT_EQ(p.Step(), r.step);
    EXPECT_EQ(p.Shape(), 1.0);
    EXPECT_STREQ(p.UnitLabel(), r.unit);
    EXPECT_EQ(p.DisplayPrecision(), r.precision);
    EXPECT_STREQ(p.FormatValue(p.Value()).c_str(), r.shown);
    EXPECT_DOUBLE_EQ(p.DefaultNormalized(), r.defaultNormalized);
    EXPECT_EQ(p.StepCount(), r.steps);
    EXPECT_TRUE(p.CanAutomate());
  }
}

TEST(KestroParams, IdentityAndConfiguration) {
  Kestro k;
  EXPECT_STREQ(k.EffectName(), "KESTRO");
  EXPECT_STREQ(k.ProductName(), "");
  EXPECT_STREQ(k.MakerName(), "PelmarAcoustics");
  EXPECT_EQ(k.UniqueId(), 0x4B726F31);  // 'Kro1'
  EXPECT_EQ(k.MakerId(), 0x50656C6D);   // 'Pelm'
  EXPECT_EQ(k.Version(), 0x060100);
  EXPECT_EQ(k.InputChannelCount(), 4);
  EXPECT_EQ(k.OutputChannelCount(), 2);
  EXPECT_EQ(k.PresetCount(), 1);
  EXPECT_STREQ(k.PresetName(0), "-");
  EXPECT_FALSE(k.LoadPreset(1));
  // The SDK's run-time type queries see the adapter's class and its bases.
  EXPECT_STREQ(k.isA(), "Vst3Plugin");
  for (const char* base : {"SingleComponentEffect", "EditControllerEx1", "EditController", "ComponentBase", "FObject"}) {
    EXPECT_TRUE(k.isTypeOf(base, true)) << base;
  }
  EXPECT_FALSE(k.isTypeOf("SingleComponentEffect", false));
}

TEST(KestroParams, ConstructionValuesBeforeThePresetIsLoaded) {
  Kestro k;
  const Kestro::InternalValues& v = k.Internal();
  EXPECT_EQ(v.threshold, -10.0);
  EXPECT_EQ(v.outputGain, 0.0);
  EXPECT_EQ(v.ratio, 0.0);
  EXPECT_EQ(v.oversampling, 4);
  EXPECT_EQ(k.GainState(), 1.0);
  EXPECT_EQ(k.MeterLevel(), 1.0);
}

TEST(KestroParams, InitialisationDerivesInternalValues) {
  Initialised k;
  const Kestro::InternalValues& v = k.Internal();
  EXPECT_EQ(v.threshold, 0.0);
  EXPECT_EQ(v.outputGain, 1.0);
  EXPECT_EQ(v.attackTime, 0.00005);
  EXPECT_EQ(v.releaseTime, 0.15);
  EXPECT_EQ(v.ratio, 1.5);
  EXPECT_EQ(v.sideAmount, 0.3);
  EXPECT_EQ(v.mix, 100.0);
  EXPECT_EQ(v.oversampling, 4);
}

TEST(KestroParams, SteppedTablesByPosition) {
  const double attack[] = {0.00005, 0.00015, 0.00045, 0.0006, 0.0009, 0.00012};
  const double release[] = {0.15, 0.1, 0.15, 0.25, 0.35, 0.3};
  const double ratio[] = {1.5, 2, 3, 4, 5, 10};
  Initialised k;
  for (int pos = 0; pos < 6; ++pos) {
    for (int index : {ParamAttack, ParamRelease, ParamRatio}) k.SetParamFromEditor(index, pos / 5.0);
    EXPECT_EQ(k.Internal().attackTime, attack[pos]) << pos;
    EXPECT_EQ(k.Internal().releaseTime, release[pos]) << pos;
    EXPECT_EQ(k.Internal().ratio, ratio[pos]) << pos;
  }
}

TEST(KestroParams, NormalisedRatioRoundsHalfUp) {
  Initialised k;
  k.SetParamFromEditor(ParamRatio, 0.1);
  EXPECT_EQ(k.ParamAt(ParamRatio)->Value(), 1.0);
  EXPECT_EQ(k.Internal().ratio, 2.0);
  k.SetParamFromEditor(ParamRatio, 0.09);
  EXPECT_EQ(k.ParamAt(ParamRatio)->Value(), 0.0);
  EXPECT_EQ(k.Internal().ratio, 1.5);
}

TEST(KestroParams, OutputGainIsAPowerOfTen) {
  Initialised k;
  struct Case {
    double normalized, gain;
  };
  for (Case c : {Case{1.0, 31.622776601683793}, Case{0.0, 0.03162277660168379}, Case{0.5, 1.0}}) {
    k.SetParamFromEditor(ParamOutput, c.normalized);
    EXPECT_EQ(k.Internal().outputGain, c.gain) << c.normalized;
  }
}

TEST(KestroParams, OversampleSelectsTheFactor) {
  Initialised k;
  k.SetParamFromEditor(ParamOversample, 1.0);
  EXPECT_EQ(k.Internal().oversampling, 16);
  k.SetParamFromEditor(ParamOversample, 0.0);
  EXPECT_EQ(k.Internal().oversampling, 4);
}

TEST(KestroParams, RestoredStateIsTruncatedNotRounded) {
  Initialised k;
  StateChunk chunk;
  ASSERT_TRUE(k.SerializeParams(chunk));
  const double attack = 2.6, bypass = 0.7;
  std::memcpy(chunk.Data() + 8 * ParamAttack, &attack, 8);
  std::memcpy(chunk.Data() + 8 * ParamBypass, &bypass, 8);
  EXPECT_EQ(k.UnserializeParams(chunk, 0), 80);
  EXPECT_EQ(k.Internal().attackTime, 0.00045);  // position 2
  EXPECT_EQ(k.ParamAt(ParamBypass)->IntValue(), 0);
}

TEST(KestroParams, BypassAndSourceChangeNoInternalValue) {
  Initialised k;
  const Kestro::InternalValues before = k.Internal();
  k.SetParamFromEditor(ParamBypass, 0.0);
  k.SetParamFromEditor(ParamSidechain, 0.0);
  const Kestro::InternalValues& after = k.Internal();
  EXPECT_EQ(before.threshold, after.threshold);
  EXPECT_EQ(before.outputGain, after.outputGain);
  EXPECT_EQ(before.attackTime, after.attackTime);
  EXPECT_EQ(before.releaseTime, after.releaseTime);
  EXPECT_EQ(before.ratio, after.ratio);
  EXPECT_EQ(before.sideAmount, after.sideAmount);
  EXPECT_EQ(before.mix, after.mix);
  EXPECT_EQ(before.oversampling, after.oversampling);
}

}  // namespace
}  // namespace kestro
