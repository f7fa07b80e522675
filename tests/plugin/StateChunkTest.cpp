#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "support/DelayHarness.h"

namespace
{
const double kFresh[kNumParams] = {3.0, 0.6, 0.0, 0.15, 0.0, 0.5, 1.0, 0.0, 0.0};

IByteChunk chunkOf(std::initializer_list<double> values, bool withTag = true)
{
  IByteChunk chunk;
  if (withTag)
    chunk.PutBytes(TolmarDelay::versionMagic, 31);
  for (double v : values)
    chunk.Put(&v);
  return chunk;
}

void expectValues(TolmarDelay& delay, const double (&expected)[kNumParams])
{
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(delay.GetParam(i)->Value(), expected[i]) << "parameter " << i;
}
} // namespace

TEST(StateChunk, FreshInstanceWritesTheDocumentedLayout)
{
  DelayHarness delay;
  IByteChunk chunk;
  ASSERT_TRUE(delay->SerializeState(chunk));
  ASSERT_EQ(chunk.Size(), 103);
  EXPECT_EQ(std::memcmp(chunk.GetData(), "Tolmar Charge Chain Delay_2.X.X", 31), 0);
  for (int i = 0; i < kNumParams; ++i)
  {
    double v;
    std::memcpy(&v, chunk.GetData() + 31 + 8 * i, 8);
    EXPECT_EQ(v, kFresh[i]) << i;
  }
  // 3.0 as little-endian binary64.
  const uint8_t three[8] = {0, 0, 0, 0, 0, 0, 0x08, 0x40};
  EXPECT_EQ(std::memcmp(chunk.GetData() + 31, three, 8), 0);

  // Reading it back changes nothing and stops right after the ninth value.
  const int32_t bypass = 1;
  chunk.Put(&bypass);
  EXPECT_EQ(delay->UnserializeState(chunk, 0), 103);
  expectValues(*delay, kFresh);
}

TEST(StateChunk, OnlyThePrefixOfTheTagDecidesTheVersion)
{
  DelayHarness delay;
  IByteChunk other;
  other.PutBytes("Tolmar Charge Chain Delay_2.1.7", 31);
  for (double v : {2.0, 0.25, -0.5, 1.0, 0.3, 0.7, 0.2, 1.0, 1.0})
    other.Put(&v);
  EXPECT_FALSE(delay->isOldVersion1(other, 0));
  EXPECT_EQ(delay->UnserializeState(other, 0), 103);
  const double expected[kNumParams] = {2.0, 0.25, -0.5, 1.0, 0.3, 0.7, 0.2, 1.0, 1.0};
  expectValues(*delay, expected);

  IByteChunk major3;
  major3.PutBytes("Tolmar Charge Chain Delay_3.0.0", 31);
  EXPECT_TRUE(delay->isOldVersion1(major3, 0));
  EXPECT_TRUE(delay->isOldVersion1(IByteChunk(), 0));
  EXPECT_TRUE(delay->isOldVersion1(other, -4));
}

TEST(StateChunk, FirstVersionChunksAreRead)
{
  DelayHarness delay;
  delay.set(kDelaySync, 1.0);
  delay.set(kLFOSync, 1.0);
  const IByteChunk v1 = chunkOf({2.0, 0.25, 0.3, 2.0, 0.4, 0.6, 0.9}, false);
  ASSERT_EQ(v1.Size(), 56);
  EXPECT_EQ(delay->UnserializeState(v1, 0), 56);
  const double expected[kNumParams] = {2.0, 0.25, 0.3, 2.0, 0.4, 0.6, 0.9, 0.0, 0.0};
  expectValues(*delay, expected);
  delay.sync();
  EXPECT_FALSE(delay->isDelaySynced()); // the engine took up every value
  EXPECT_EQ(delay->getRangeIndex(), 2);
}

TEST(StateChunk, ShortChunksApplyWhatIsThere)
{
  {
    DelayHarness delay;
    delay.set(kLFOSync, 1.0);
    IByteChunk v1 = chunkOf({2.0, 0.25}, false);
    const uint8_t partial[4] = {1, 2, 3, 4};
    v1.PutBytes(partial, 4); // 20 bytes
    EXPECT_EQ(delay->UnserializeState(v1, 0), -1);
    const double expected[kNumParams] = {2.0, 0.25, 0.0, 0.15, 0.0, 0.5, 1.0, 0.0, 0.0};
    expectValues(*delay, expected);
  }
  {
    DelayHarness delay;
    delay.set(kMix, 0.8);
    IByteChunk current;
    current.PutBytes(TolmarDelay::versionMagic, 31);
    const double range = 1.0;
    current.Put(&range);
    // 40 bytes: the tag, the range and one byte of the time value, which
    // reads short and becomes its constrained 0.0.
    const uint8_t partial[1] = {0};
    current.PutBytes(partial, 1);
    EXPECT_EQ(delay->UnserializeState(current, 0), -1);
    const double expected[kNumParams] = {1.0, 0.0, 0.0, 0.15, 0.0, 0.8, 1.0, 0.0, 0.0};
    expectValues(*delay, expected);
  }
  {
    // Cut inside the feedback value (50 bytes): range and time set,
    // feedback 0, the other six kept.
    DelayHarness delay;
    delay.set(kFeedback, 0.7);
    delay.set(kQuality, 0.3);
    const IByteChunk full = chunkOf({1.0, 0.9, -0.4, 2.0, 0.5, 0.2, 0.6, 1.0, 1.0});
    IByteChunk cut;
    cut.PutBytes(full.GetData(), 50);
    EXPECT_EQ(delay->UnserializeState(cut, 0), -1);
    const double expected[kNumParams] = {1.0, 0.9, 0.0, 0.15, 0.0, 0.5, 0.3, 0.0, 0.0};
    expectValues(*delay, expected);
  }
  {
    // A missing LFO speed becomes its lowest value, 0.001.
    DelayHarness delay;
    const IByteChunk cut = chunkOf({1.0, 0.9, -0.4});
    EXPECT_EQ(delay->UnserializeState(cut, 0), -1);
    EXPECT_EQ(delay->GetParam(kLFOSpeed)->Value(), 0.001);
  }
}

TEST(StateChunk, OutOfRangeValuesAreConstrained)
{
  DelayHarness delay;
  const IByteChunk chunk = chunkOf({2.6, 7.0, -1.5, 100.0, -3.0, 2.0, double(NAN), 0.4, 0.6});
  EXPECT_EQ(delay->UnserializeState(chunk, 0), 103);
  const double expected[kNumParams] = {3.0, 1.0, -1.0, 25.0, 0.0, 1.0, 0.0, 0.0, 1.0};
  expectValues(*delay, expected);
}

// Arbitrary bytes of any length never crash, never read past the end, and
// leave every parameter inside its range.
TEST(StateChunk, ArbitraryBytesAreHarmless)
{
  DelayHarness delay;
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 300);
  for (int round = 0; round < 3000; ++round)
  {
    IByteChunk chunk;
    int n = round == 0 ? 0 : round == 1 ? 100000 : length(rng);
    if (round % 5 == 0 && n >= 31)
    {
      chunk.PutBytes(TolmarDelay::versionMagic, 28); // a plausible head
      n -= 28;
    }
    for (int i = 0; i < n; ++i)
    {
      const uint8_t b = static_cast<uint8_t>(byte(rng));
      chunk.PutBytes(&b, 1);
    }
    const int start = round % 7 == 0 ? -3 : round % 11 == 0 ? chunk.Size() + 5 : 0;
    const int pos = delay->UnserializeState(chunk, start);
    EXPECT_LE(pos, chunk.Size());
    for (int i = 0; i < kNumParams; ++i)
    {
      const IParam* p = delay->GetParam(i);
      ASSERT_GE(p->Value(), p->GetMin()) << round;
      ASSERT_LE(p->Value(), p->GetMax()) << round;
    }
  }
}

TEST(StateChunk, ControllerStateIsEmpty)
{
  DelayHarness delay;
  IByteChunk chunk;
  EXPECT_TRUE(delay->SerializeVST3CtrlrState(chunk));
  EXPECT_EQ(chunk.Size(), 0);
  EXPECT_EQ(delay->UnserializeVST3CtrlrState(chunk, 17), 17);
}
