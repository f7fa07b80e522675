#include <gtest/gtest.h>

#include "params/ProductFacts/SyncRates.h"
#include "params/DelayParameters.h"
#include "support/DelayHarness.h"

namespace
{
std::string text(void (*func)(double, IString&), double v)
{
  IString s;
  func(v, s);
  return s.Get();
}
} // namespace

TEST(DelayParameters, FreshInstanceShowsItsDefaults)
{
  DelayHarness delay;
  const char* expected[kNumParams] = {"62-500", "0.600", "0.0%", "0.15Hz", "0.0%", "50:50", "100%", "OFF", "OFF"};
  const char* names[kNumParams] = {"Range", "Time", "Feedback", "LFOSpeed", "LFO Depth",
                                   "Mix", "Quality", "Delay Sync to Host", "LFO Sync to Host"};
  for (int i = 0; i < kNumParams; ++i)
  {
    IString s;
    delay->GetParam(i)->GetDisplay(s);
    EXPECT_STREQ(s.Get(), expected[i]) << i;
    EXPECT_STREQ(delay->GetParam(i)->GetName(), names[i]);
    EXPECT_STREQ(delay->GetParam(i)->GetLabel(), "");
  }
  EXPECT_EQ(delay->GetParam(kRange)->Type(), IParam::kTypeInt);
  EXPECT_EQ(delay->GetParam(kDelaySync)->Type(), IParam::kTypeBool);
  EXPECT_FALSE(delay->GetParam(kTime)->GetStepped());
}

TEST(DelayParameters, RangeTexts)
{
  EXPECT_EQ(text(setDisplayTextForRange, 0), "1-8");
  EXPECT_EQ(text(setDisplayTextForRange, 1), "4-31");
  EXPECT_EQ(text(setDisplayTextForRange, 2), "16-125");
  EXPECT_EQ(text(setDisplayTextForRange, 3), "62-500"); // 62.5 rounds to even
  EXPECT_EQ(text(setDisplayTextForRange, 4), "250-2000");
}

TEST(DelayParameters, MixPercentAndSpeedTexts)
{
  EXPECT_EQ(text(setDisplayTextForMix, 0.0), "Dry");
  EXPECT_EQ(text(setDisplayTextForMix, 1.0), "Wet");
  EXPECT_EQ(text(setDisplayTextForMix, 0.01), "99:1");
  EXPECT_EQ(text(setDisplayTextForMix, 0.33), "67:33");
  EXPECT_EQ(text(setDisplayTextForPercent, -1.0), "-100.0%");
  EXPECT_EQ(text(setDisplayTextForPercent, -0.2), "-20.0%");
  EXPECT_EQ(text(setDisplayTextForPercent, 0.05), "5.0%");
  EXPECT_EQ(text(setDisplayTextForPercent, 0.1), "10%");
  EXPECT_EQ(text(setDisplayTextForPercent, 0.66), "66%");
  EXPECT_EQ(text(setDisplayTextForSpeed, 0.15), "0.15Hz");
  EXPECT_EQ(text(setDisplayTextForSpeed, 25.0), "25.00Hz");
}

TEST(DelayParameters, LFOSyncRateTextsNameTheRateInUse)
{
  EXPECT_EQ(text(setDisplayTextForLFOSyncRate, 0.001), "16/1");
  EXPECT_EQ(text(setDisplayTextForLFOSyncRate, 0.15), "12/1");
  EXPECT_EQ(text(setDisplayTextForLFOSyncRate, 1.2), "4/1");
  EXPECT_EQ(text(setDisplayTextForLFOSyncRate, 5.4), "1/1");
  EXPECT_EQ(text(setDisplayTextForLFOSyncRate, 25.0), "1/16");

  DelayHarness delay;
  delay.set(kLFOSpeed, 25.0);
  IString s;
  delay->GetParam(kLFOSpeed)->GetDisplay(s);
  EXPECT_STREQ(s.Get(), "25.00Hz");
  delay.set(kLFOSync, 1.0);
  delay->GetParam(kLFOSpeed)->GetDisplay(s);
  EXPECT_STREQ(s.Get(), "1/16");
  EXPECT_EQ(delay->GetParam(kLFOSpeed)->Value(), 25.0);
  EXPECT_EQ(delay->getLFO().getSyncRateIndex(), 19);
  delay.set(kLFOSync, 0.0);
  delay->GetParam(kLFOSpeed)->GetDisplay(s);
  EXPECT_STREQ(s.Get(), "25.00Hz");
}

TEST(DelayParameters, SyncTablesPairLabelsWithLengths)
{
  EXPECT_STREQ(kDelaySyncRates[0].label, "2/1");
  EXPECT_EQ(kDelaySyncRates[0].quarterNotes, 8.0);
  EXPECT_STREQ(kDelaySyncRates[7].label, "1/4");
  EXPECT_EQ(kDelaySyncRates[12].quarterNotes, 1.0 / 3.0);
  EXPECT_STREQ(kDelaySyncRates[19].label, "1/64");
  EXPECT_STREQ(kLFOSyncRates[6].label, "2/1.");
  EXPECT_EQ(kLFOSyncRates[6].quarterNotes, 10.0);
  EXPECT_STREQ(kLFOSyncRates[13].label, "1/2T");
  EXPECT_EQ(kLFOSyncRates[13].quarterNotes, 4.0 / 3.0);
  for (size_t i = 1; i < kDelaySyncRates.size(); ++i)
  {
    EXPECT_LT(kDelaySyncRates[i].quarterNotes, kDelaySyncRates[i - 1].quarterNotes);
    EXPECT_LT(kLFOSyncRates[i].quarterNotes, kLFOSyncRates[i - 1].quarterNotes);
  }
}

TEST(DelayParameters, DelayTimeTexts)
{
  DelayHarness delay;
  IString s;
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "325ms");
  delay.set(kRange, 0);
  delay.set(kTime, 1.0);
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "8ms");
  delay.set(kRange, 4);
  delay.set(kTime, 0.0);
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "250ms");
  delay.set(kDelaySync, 1.0);
  delay.set(kTime, 0.5);
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "1/8");
  delay.set(kTime, 1.0);
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "2/1");
  delay.set(kTime, 0.0);
  delay->getDelayTimeDisplay(s);
  EXPECT_STREQ(s.Get(), "1/64");
}
