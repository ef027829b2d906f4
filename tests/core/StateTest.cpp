#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "core/PluginCore.h"
#include "core/StateChunk.h"
#include "tests/core/TestCore.h"

namespace kestro {
namespace {

std::vector<double> Values(const PluginCore& core) {
  std::vector<double> v;
  for (int i = 0; i < core.ParamCount(); ++i) v.push_back(core.ParamAt(i)->Value());
  return v;
}

void AppendDoubles(StateChunk& chunk, std::initializer_list<double> values) {
  for (double v : values) ASSERT_GT(chunk.Append(v), 0);
}

TEST(StateChunk, AppendAndReadBounds) {
  StateChunk chunk;
  EXPECT_EQ(chunk.Append(int32_t{7}), 4);
  EXPECT_EQ(chunk.Append(2.5), 12);
  int32_t i = 0;
  double d = 0;
  EXPECT_EQ(chunk.Read(i, 0), 4);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(chunk.Read(d, 4), 12);
  EXPECT_EQ(d, 2.5);
  d = -1;
  EXPECT_EQ(chunk.Read(d, 5), -1);  // would end past the size
  EXPECT_EQ(chunk.Read(d, -1), -1);
  EXPECT_EQ(d, -1);  // nothing copied
}

TEST(StateChunk, GrowsAcrossManyAppendsAndSetSize) {
  StateChunk chunk;
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(chunk.Append(static_cast<double>(i)), (i + 1) * 8);
  double d = 0;
  EXPECT_EQ(chunk.Read(d, 8 * 9999), 80000);
  EXPECT_EQ(d, 9999.0);
  ASSERT_TRUE(chunk.SetSize(80008));
  EXPECT_EQ(chunk.Read(d, 80000), 80008);
  EXPECT_EQ(d, 0.0);
  EXPECT_FALSE(chunk.SetSize(-1));
}

TEST(StateChunk, AppendThatCannotGrowFailsWithoutWriting) {
  StateChunk chunk(20);
  EXPECT_EQ(chunk.Append(1.0), 8);
  EXPECT_EQ(chunk.Append(2.0), 16);
  EXPECT_EQ(chunk.Append(3.0), 0);
  EXPECT_EQ(chunk.Size(), 16);
  EXPECT_FALSE(chunk.SetSize(21));
  EXPECT_EQ(chunk.Size(), 16);
}

TEST(State, SerialisesPlainValuesAsLittleEndianDoubles) {
  TestCore core("2-2", 10);
  core.ParamAt(1)->SetClamped(-12.5);
  StateChunk chunk;
  ASSERT_TRUE(core.SerializeParams(chunk));
  ASSERT_EQ(chunk.Size(), 80);
  // -12.5 is 0xC029000000000000; least significant byte first.
  const uint8_t expected[8] = {0, 0, 0, 0, 0, 0, 0x29, 0xC0};
  EXPECT_EQ(std::memcmp(chunk.Data() + 8, expected, 8), 0);
}

TEST(State, SerialiseReportsAStorageFailure) {
  TestCore core("2-2", 10);
  StateChunk chunk(40);
  EXPECT_FALSE(core.SerializeParams(chunk));
  EXPECT_LE(chunk.Size(), 40);
}

TEST(State, RoundTripRestoresEveryValueAndNotifiesAll) {
  TestCore source("2-2", 10);
  for (int i = 0; i < 10; ++i) source.ParamAt(i)->SetFromNormalized(0.1 * i);
  StateChunk chunk;
  ASSERT_TRUE(source.SerializeParams(chunk));

  TestCore target("2-2", 10);
  EXPECT_EQ(target.UnserializeParams(chunk, 0), 80);
  EXPECT_EQ(Values(target), Values(source));
  EXPECT_EQ(target.log.size(), 10u);
}

TEST(State, TruncatedChunkRestoresWhatIsThere) {
  TestCore core("2-2", 10);
  const std::vector<double> before = Values(core);
  StateChunk chunk;
  AppendDoubles(chunk, {4.0, -20.0});
  ASSERT_TRUE(chunk.SetSize(20));  // half of a third value
  EXPECT_EQ(core.UnserializeParams(chunk, 0), -1);
  std::vector<double> after = Values(core);
  EXPECT_EQ(after[0], 4.0);
  EXPECT_EQ(after[1], -20.0);
  EXPECT_EQ(after[2], 0.0);  // ran out here: range-limited 0.0
  for (size_t i = 3; i < 10; ++i) EXPECT_EQ(after[i], before[i]) << i;
  EXPECT_EQ(core.log.size(), 10u);

  // Parameter 3 is a double on -50..0: a missing value reads as 0.0, its maximum.
  TestCore core2("2-2", 10);
  StateChunk three;
  AppendDoubles(three, {1.0, -1.0, 2.0});
  EXPECT_EQ(core2.UnserializeParams(three, 0), -1);
  EXPECT_EQ(core2.ParamAt(3)->Value(), 0.0);
}

TEST(State, RestoreLimitsButDoesNotRound) {
  TestCore core("2-2", 10);
  StateChunk chunk;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  AppendDoubles(chunk, {7.3, -99.0, 2.6, nan, -inf, inf, 0, 0, 0, 0});
  EXPECT_EQ(core.UnserializeParams(chunk, 0), 80);
  std::vector<double> v = Values(core);
  EXPECT_EQ(v[0], 5.0);
  EXPECT_EQ(v[1], -50.0);
  EXPECT_EQ(v[2], 2.6);
  EXPECT_EQ(v[3], -10.0);  // NaN restores the default
  EXPECT_EQ(v[4], 0.0);
  EXPECT_EQ(v[5], 0.0);
}

TEST(State, ReadsFromAnOffsetAndRefusesANegativeStart) {
  TestCore source("2-2", 10);
  source.ParamAt(1)->SetClamped(-33);
  StateChunk chunk;
  chunk.Append(int32_t{0x12345678});
  chunk.Append(uint8_t{1});
  ASSERT_TRUE(source.SerializeParams(chunk));

  TestCore target("2-2", 10);
  EXPECT_EQ(target.UnserializeParams(chunk, 5), 85);
  EXPECT_EQ(Values(target), Values(source));

  TestCore untouched("2-2", 10);
  const std::vector<double> before = Values(untouched);
  EXPECT_EQ(untouched.UnserializeParams(chunk, -1), -1);
  EXPECT_EQ(Values(untouched), before);
  EXPECT_EQ(untouched.log.size(), 10u);
}

TEST(State, StateMatchesComparesInSinglePrecision) {
  TestCore core("2-2", 4);
  StateChunk chunk;
  chunk.Append(123.0);  // one leading value: the state starts at double 1
  ASSERT_TRUE(core.SerializeParams(chunk));
  EXPECT_TRUE(core.StateMatches(chunk, 1));
  EXPECT_FALSE(core.StateMatches(chunk, 0));
  EXPECT_FALSE(core.StateMatches(chunk, 2));  // shifted by one value
  core.ParamAt(1)->SetClamped(-10.000001);
  EXPECT_TRUE(core.StateMatches(chunk, 1));
  core.ParamAt(1)->SetClamped(-10.5);
  EXPECT_FALSE(core.StateMatches(chunk, 1));
}

TEST(Presets, DefaultPresetAndBadIndexes) {
  TestCore core("2-2", 3, 1);
  core.StoreDefaultPreset("-");
  EXPECT_STREQ(core.PresetName(0), "-");
  core.ParamAt(0)->SetClamped(4);
  core.log.clear();
  EXPECT_TRUE(core.LoadPreset(0));
  EXPECT_EQ(core.ParamAt(0)->Value(), 1.0);
  EXPECT_EQ(core.log.back(), "restored");
  EXPECT_FALSE(core.LoadPreset(1));
  EXPECT_FALSE(core.LoadPreset(-1));
  EXPECT_EQ(core.CurrentPreset(), 0);

  core.StoreDefaultPreset("again");  // every slot is filled
  EXPECT_STREQ(core.PresetName(0), "-");
}

TEST(Presets, EmptySlotsCaptureUserPresets) {
  TestCore core("2-2", 3, 2);
  core.ParamAt(0)->SetClamped(2);
  EXPECT_TRUE(core.LoadPreset(1));
  EXPECT_STREQ(core.PresetName(1), "user preset 1");
  EXPECT_EQ(core.CurrentPreset(), 1);

  core.ParamAt(0)->SetClamped(4);
  EXPECT_TRUE(core.LoadPreset(0));
  EXPECT_STREQ(core.PresetName(0), "user preset 2");
  EXPECT_EQ(core.CurrentPreset(), 0);

  core.ParamAt(0)->SetClamped(0);
  EXPECT_TRUE(core.LoadPreset(1));
  EXPECT_EQ(core.ParamAt(0)->Value(), 2.0);
  EXPECT_TRUE(core.LoadPreset(0));
  EXPECT_EQ(core.ParamAt(0)->Value(), 4.0);
}

}  // namespace
}  // namespace kestro
