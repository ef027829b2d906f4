#include "core/IParamEntry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace kestro {
namespace {

std::unique_ptr<IParamEntry> MakeDouble(double def, double lo, double hi, double step, double shape = 1.0) {
  auto p = std::make_unique<IParamEntry>();
  p->DefineDouble("Mix", def, lo, hi, step, "%", "", shape);
  return p;
}

TEST(IParamEntry, FreshEntryHasInitialState) {
  IParamEntry p;
  EXPECT_EQ(p.Type(), ParamType::None);
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_EQ(p.Minimum(), 0.0);
  EXPECT_EQ(p.Maximum(), 1.0);
  EXPECT_EQ(p.Step(), 1.0);
  EXPECT_EQ(p.Shape(), 1.0);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_STREQ(p.Name(), "");
  EXPECT_STREQ(p.UnitLabel(), "");
  EXPECT_TRUE(p.CanAutomate());
}

TEST(IParamEntry, DoubleDefinition) {
  IParamEntry p;
  p.DefineDouble("Mix", 100, 0, 100, 0.01, "%", "", 1.0);
  EXPECT_EQ(p.Type(), ParamType::Double);
  EXPECT_EQ(p.Value(), 100.0);
  EXPECT_EQ(p.Default(), 100.0);
  EXPECT_EQ(p.DisplayPrecision(), 2);
  EXPECT_STREQ(p.FormatValue(p.Value()).c_str(), "100.00");
  EXPECT_EQ(p.CurrentNormalized(), 1.0);
  EXPECT_EQ(p.StepCount(), 0);
}

TEST(IParamEntry, IntegerDefinition) {
  IParamEntry p;
  p.DefineInteger("Ratio", 0, 0, 5);
  EXPECT_EQ(p.Type(), ParamType::Integer);
  EXPECT_EQ(p.DisplayPrecision(), 0);
  EXPECT_EQ(p.StepCount(), 5);
  EXPECT_EQ(p.Step(), 1.0);
}

TEST(IParamEntry, PrecisionFollowsStep) {
  struct Case {
    double step;
    int precision;
  };
  for (Case c : {Case{0.01, 2}, Case{1.0, 0}, Case{0.25, 2}, Case{0.1, 1}, Case{0.5, 1}, Case{1e-9, 6},
                 Case{2.0, 0}}) {
    IParamEntry p;
    p.DefineDouble("x", 0, 0, 10, c.step);
    EXPECT_EQ(p.DisplayPrecision(), c.precision) << "step " << c.step;
  }
}

TEST(IParamEntry, MaximumIsAtLeastMinimumPlusStep) {
  IParamEntry p;
  p.DefineDouble("x", 0, 0, 0, 0.01);
  EXPECT_EQ(p.Maximum(), 0.01);
}

TEST(IParamEntry, TypeSetBeforeDefinitionIsKept) {
  IParamEntry p;
  p.SetType(ParamType::Integer);
  p.DefineDouble("x", 0, 0, 100, 0.01);
  EXPECT_EQ(p.Type(), ParamType::Integer);

  IParamEntry d;
  d.DefineDouble("x", 0, 0, 100, 0.01);
  d.DefineInteger("y", 0, 0, 5);  // a second definition keeps the first type
  EXPECT_EQ(d.Type(), ParamType::Double);
}

TEST(IParamEntry, ZeroShapeKeepsThePreviousShape) {
  IParamEntry p;
  p.DefineDouble("x", 0, 0, 100, 1, "", "", 2.0);
  p.DefineDouble("x", 0, 0, 100, 1, "", "", 0.0);
  EXPECT_EQ(p.Shape(), 2.0);
}

TEST(IParamEntry, SetFromNormalizedRoundsAllButDouble) {
  struct Case {
    double normalized;
    double expected;
  };
  IParamEntry ratio;
  ratio.DefineInteger("Ratio", 0, 0, 5);
  for (Case c : {Case{0.55, 3}, Case{0.5, 3}, Case{0.09, 0}, Case{0.1, 1}, Case{0.0, 0}, Case{1.0, 5}}) {
    ratio.SetFromNormalized(c.normalized);
    EXPECT_EQ(ratio.Value(), c.expected) << c.normalized;
  }

  auto mix = MakeDouble(0, 0, 100, 0.01);
  mix->SetFromNormalized(0.333);
  EXPECT_EQ(mix->Value(), 0.0 + 0.333 * 100.0);  // not rounded to the step
}

TEST(IParamEntry, SetFromNormalizedLimitsAndIgnoresNaN) {
  auto p = MakeDouble(50, 0, 100, 0.01);
  p->SetFromNormalized(1.5);
  EXPECT_EQ(p->Value(), 100.0);
  p->SetFromNormalized(-0.5);
  EXPECT_EQ(p->Value(), 0.0);
  p->SetFromNormalized(0.25);
  p->SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p->Value(), 25.0);
  p->SetFromNormalized(std::numeric_limits<double>::infinity());
  EXPECT_EQ(p->Value(), 100.0);
  p->SetFromNormalized(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(p->Value(), 0.0);
}

TEST(IParamEntry, ShapedConversions) {
  auto p = MakeDouble(0, 0, 100, 0.01, 2.0);
  EXPECT_DOUBLE_EQ(p->ToNormalized(25), 0.5);
  EXPECT_DOUBLE_EQ(p->FromNormalized(0.5), 25);
  EXPECT_EQ(p->ToNormalized(150), 1.0);
  EXPECT_EQ(p->ToNormalized(-3), 0.0);
  // FromNormalized neither limits nor rounds.
  EXPECT_DOUBLE_EQ(p->FromNormalized(2.0), 400);
}

TEST(IParamEntry, SetClampedLimitsWithoutRounding) {
  IParamEntry p;
  p.DefineInteger("Attack", 3, 0, 5);
  struct Case {
    double in;
    double out;
  };
  for (Case c : {Case{7.3, 5}, Case{2.6, 2.6}, Case{-5, 0}, Case{std::numeric_limits<double>::infinity(), 5},
                 Case{-std::numeric_limits<double>::infinity(), 0},
                 Case{std::numeric_limits<double>::quiet_NaN(), 3}}) {
    p.SetClamped(c.in);
    EXPECT_EQ(p.Value(), c.out) << c.in;
  }
  p.SetClamped(2.6);
  EXPECT_EQ(p.IntValue(), 2);
}

TEST(IParamEntry, DefaultNormalized) {
  struct Case {
    double def, lo, hi, shape, expected;
  };
  for (Case c : {Case{0, -50, 0, 1, 1.0}, Case{0, -30, 30, 1, 0.5}, Case{0.3, 0.3, 0.99, 1, 0.0},
                 Case{100, 0, 100, 1, 1.0}, Case{25, 0, 100, 2, 0.5}}) {
    auto p = MakeDouble(c.def, c.lo, c.hi, 0.01, c.shape);
    EXPECT_DOUBLE_EQ(p->DefaultNormalized(), c.expected);
  }
}

TEST(IParamEntry, FormatValue) {
  struct Case {
    double step;
    bool negate;
    double value;
    const char* text;
  };
  for (Case c : {Case{0.01, false, -10, "-10.00"}, Case{0.01, false, 0.3, "0.30"}, Case{0.01, false, -0.004, "-0.00"},
                 Case{0.01, true, 12, "-12.00"}, Case{1, false, 3, "3"}, Case{1, false, 2.9, "2"},
                 Case{1, false, -2.9, "-2"}, Case{1, true, 3, "-3"}, Case{0.01, false, 0.005, "0.01"},
                 Case{1, false, 1e12, "2147483647"}, Case{1, false, std::numeric_limits<double>::quiet_NaN(), "0"}}) {
    auto p = MakeDouble(0, -100, 100, c.step);
    p->SetNegateDisplay(c.negate);
    EXPECT_STREQ(p->FormatValue(c.value).c_str(), c.text) << c.value;
  }
}

TEST(IParamEntry, HugeValuesAreCutToTheTextField) {
  auto p = MakeDouble(0, 0, 1, 0.01);
  std::string text = p->FormatValue(1e300).c_str();
  EXPECT_EQ(text.size(), 31u);
  EXPECT_EQ(text.substr(0, 2), "10");
}

TEST(IParamEntry, DisplayTextsReplaceTheNumber) {
  IParamEntry p;
  p.DefineInteger("Mode", 0, 0, 2, "dB");
  p.AddDisplayText(1, "One");
  p.AddDisplayText(2, "");
  EXPECT_STREQ(p.FormatValue(1.7).c_str(), "One");  // truncated to 1
  EXPECT_STREQ(p.FormatValue(2).c_str(), "2");      // empty text falls back to the number
  EXPECT_STREQ(p.FormatValue(0).c_str(), "0");
  p.SetClamped(1);
  EXPECT_STREQ(p.UnitForHost(), "");
  p.SetClamped(0);
  EXPECT_STREQ(p.UnitForHost(), "dB");
}

TEST(IParamEntry, LongTextsAreCut) {
  IParamEntry p;
  const std::string longName(100, 'n');
  p.DefineDouble(longName.c_str(), 0, 0, 1, 0.01, std::string(50, 'u').c_str(), std::string(40, 'g').c_str());
  p.AddDisplayText(0, std::string(64, 't').c_str());
  EXPECT_EQ(std::string(p.Name()), std::string(31, 'n'));
  EXPECT_EQ(std::string(p.UnitLabel()), std::string(31, 'u'));
  EXPECT_EQ(std::string(p.Group()), std::string(31, 'g'));
  EXPECT_EQ(std::string(p.DisplayTextAt(0).text.c_str()), std::string(31, 't'));
}

}  // namespace
}  // namespace kestro
