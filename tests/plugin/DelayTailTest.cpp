// The tail of settings that the rendered impulse responses of the bundle
// tests do not reach: freeze, tempo sync and unusable tempos.
#include <limits>

#include <gtest/gtest.h>

#include "plugin/DelayTail.h"
#include "support/AllocationCounter.h"
#include "support/DelayHarness.h"

TEST(DelayTailTest, FreezeAndFullFeedbackNeverEnd)
{
  DelayTailSettings s;
  s.feedback = 0.3;
  ASSERT_NE(delayTailSamples(s), kInfiniteTailSamples);
  s.frozen = true;
  EXPECT_EQ(delayTailSamples(s), kInfiniteTailSamples);
  s.frozen = false;
  s.feedback = -1.0;
  EXPECT_EQ(delayTailSamples(s), kInfiniteTailSamples);
}

TEST(DelayTailTest, SyncedTailFollowsTheTempo)
{
  DelayTailSettings s;
  s.feedback = 0.5;
  s.delaySync = true;
  s.time = 1.0 - 10.0 / 19.0; // "1/8": 250 ms at 120, 500 ms at 60
  s.tempo = 120.0;
  const double at120 = delayTailSamples(s);
  s.tempo = 60.0;
  const double at60 = delayTailSamples(s);
  EXPECT_GT(at60, 1.6 * at120);
  EXPECT_LT(at60, 2.4 * at120);
  // A tempo that gives no note counts as the longest delay.
  for (double bad : {0.0, -10.0, std::numeric_limits<double>::quiet_NaN()})
  {
    s.tempo = bad;
    EXPECT_GE(delayTailSamples(s), at60);
  }
}

TEST(DelayTailTest, InstanceAnswersFromItsParametersAndFreeze)
{
  DelayHarness h;
  h.set(kFeedback, 0.5);
  const uint32_t tail = h->GetTailSize();
  EXPECT_GT(tail, 0u);
  EXPECT_NE(tail, IEffectProcessor::kInfiniteTail);
  h->doFreeze();
  h.sync(); // the next block takes the freeze command up
  EXPECT_EQ(h->GetTailSize(), IEffectProcessor::kInfiniteTail);
  h->doFreeze();
  h.sync();
  h.set(kMix, 0.0);
  EXPECT_EQ(h->GetTailSize(), 0u);
}

TEST(DelayTailTest, AnsweringAllocatesNothing)
{
  // Some hosts ask from their audio thread.
  DelayHarness h;
  h.set(kFeedback, 0.9);
  h.set(kLFODepth, 0.5);
  AllocationGuard guard;
  const uint32_t tail = h->GetTailSize();
  EXPECT_EQ(guard.count(), 0u);
  EXPECT_GT(tail, 0u);
}
