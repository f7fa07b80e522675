#include <cmath>

#include <gtest/gtest.h>

#include "support/DelayHarness.h"
#include "support/Signals.h"

namespace
{
// Runs one control step so that the clock step follows the settings.
void runControlStep(DelayHarness& delay)
{
  std::vector<double> silence(64, 0.0);
  delay.processMono(silence, 64);
}

// Time value that selects row `row` of the delay sync table.
double timeForRow(int row) { return 1.0 - row / 19.0; }
} // namespace

TEST(DelayTime, FreeModeSetsReadOffsetAndClockStep)
{
  DelayHarness delay(44100.0);
  delay.set(kRange, 4);
  delay.set(kTime, 1.0);
  runControlStep(delay);
  EXPECT_EQ(delay->getDelayLine().getReadOffset(), 88200);
  EXPECT_EQ(delay->getDelayLine().getClockStep(), 1.0);
  delay.set(kTime, 0.0);
  runControlStep(delay);
  EXPECT_EQ(delay->getDelayLine().getClockStep(), 0.125);
  delay.set(kRange, 0);
  EXPECT_EQ(delay->getDelayLine().getReadOffset(), 344);
  EXPECT_EQ(delay->getRangeIndex(), 4);
  EXPECT_EQ(delay->getRangeMaxMs(), 7.8125);
  EXPECT_EQ(delay->getRangeMinMs(), 0.9765625);
}

TEST(DelayTime, TempoSyncFollowsTheHost)
{
  DelayHarness delay(44100.0);
  delay.set(kTime, timeForRow(7)); // "1/4"
  delay.set(kDelaySync, 1.0);
  EXPECT_EQ(delay->getSyncIndex(), 7);
  EXPECT_EQ(delay->getRangeIndex(), 0);
  EXPECT_DOUBLE_EQ(delay->getTimeFraction(), 0.14285714285714285);
  EXPECT_DOUBLE_EQ(delay->getSyncedDelayMs(), 500.0);

  // The echo comes 500 ms later.
  delay.set(kMix, 1.0);
  const auto out = delay.processMono(signals::impulse(30000, 0));
  EXPECT_NEAR(signals::indexOfPeak(out), 22050, 4);

  // A new host tempo takes effect at the next block.
  delay->GetTimeInfo().tempo = 60.0;
  runControlStep(delay);
  EXPECT_DOUBLE_EQ(delay->getTimeFraction(), 0.42857142857142855);
  EXPECT_DOUBLE_EQ(delay->getSyncedDelayMs(), 1000.0);
}

TEST(DelayTime, LongNotesAreHalvedUntilTheyFit)
{
  DelayHarness delay(44100.0);
  delay.set(kTime, timeForRow(0)); // "2/1"
  delay->GetTimeInfo().tempo = 60.0;
  delay.set(kDelaySync, 1.0);
  EXPECT_DOUBLE_EQ(delay->getSyncedDelayMs(), 8000.0);
  EXPECT_EQ(delay->getTimeFraction(), 1.0); // 8000 -> 4000 -> 2000
  EXPECT_EQ(delay->getRangeIndex(), 0);

  delay->GetTimeInfo().tempo = 120.0; // 4000 ms, halved once, exactly 2000
  runControlStep(delay);
  EXPECT_EQ(delay->getTimeFraction(), 1.0);
  EXPECT_EQ(delay->getDelayLine().getReadOffset(), 88200);
}

TEST(DelayTime, ShortNotesPickShorterRanges)
{
  DelayHarness delay(44100.0);
  delay.set(kTime, timeForRow(19)); // "1/64" = 31.25 ms at 120
  delay.set(kDelaySync, 1.0);
  EXPECT_EQ(delay->getRangeIndex(), 2);
  EXPECT_DOUBLE_EQ(delay->getTimeFraction(), 0.14285714285714285);
  EXPECT_EQ(delay->getDelayLine().getReadOffset(), 88200 >> 4);
}

TEST(DelayTime, UnusableTempoKeepsThePreviousDelay)
{
  DelayHarness delay(44100.0);
  delay.set(kTime, timeForRow(7));
  delay.set(kDelaySync, 1.0);
  const double fraction = delay->getTimeFraction();
  const int32_t offset = delay->getDelayLine().getReadOffset();
  for (double tempo : {0.0, -120.0, double(NAN), double(INFINITY), 1e-320})
  {
    delay->GetTimeInfo().tempo = tempo;
    runControlStep(delay);
    EXPECT_EQ(delay->getTimeFraction(), fraction) << tempo;
    EXPECT_EQ(delay->getDelayLine().getReadOffset(), offset) << tempo;
  }
}

TEST(DelayTime, ExtremeTempoKeepsTheClockWorking)
{
  DelayHarness delay(44100.0);
  delay.set(kTime, timeForRow(19));
  delay.set(kDelaySync, 1.0);
  delay.set(kMix, 1.0);
  for (double tempo : {4000.0, 1e6, 1e300})
  {
    delay->GetTimeInfo().tempo = tempo;
    const auto out = delay.processMono(signals::noise(2000, 4));
    EXPECT_GE(delay->getDelayLine().getReadOffset(), 1) << tempo;
    EXPECT_GE(delay->getDelayLine().getClockStep(), 0.125);
    EXPECT_LE(delay->getDelayLine().getClockStep(), 1.0);
    for (double v : out)
      ASSERT_TRUE(std::isfinite(v));
  }
}

TEST(DelayTime, MixIsEqualPowerAndQualitySetsTheFilters)
{
  DelayHarness delay;
  delay.set(kMix, 0.0);
  EXPECT_EQ(delay->getDelayLine().getDryGain(), 1.0);
  EXPECT_EQ(delay->getDelayLine().getWetGain(), 0.0);
  delay.set(kMix, 1.0);
  EXPECT_EQ(delay->getDelayLine().getDryGain(), 0.0);
  EXPECT_EQ(delay->getDelayLine().getWetGain(), 1.0);
  delay.set(kMix, 0.5);
  EXPECT_EQ(delay->getDelayLine().getDryGain(), 0.7071067811865476);
  EXPECT_EQ(delay->getDelayLine().getWetGain(), 0.7071067811865476);
  delay.set(kQuality, 0.0);
  EXPECT_EQ(delay->getDelayLine().getInputFilter(0).getCutoff(), 60.0);
  EXPECT_EQ(delay->getDelayLine().getInputFilter(1).getQ(), 0.9);
  delay.set(kQuality, 0.5);
  EXPECT_EQ(delay->getDelayLine().getInputFilter(0).getCutoff(), 3000.0);
  EXPECT_DOUBLE_EQ(delay->getDelayLine().getInputFilter(0).getQ(), 0.8035533905932738);
}

TEST(DelayTime, LFOModulatesTheClockAcrossTheRange)
{
  DelayHarness delay(48000.0);
  delay.set(kRange, 2);
  delay.set(kTime, 0.3);
  delay.set(kLFOSpeed, 5.0);
  delay.set(kLFODepth, 1.0);
  double lo = 2.0, hi = 0.0;
  std::vector<double> silence(48, 0.0);
  for (int i = 0; i < 400; ++i)
  {
    delay.processMono(silence, 48);
    lo = std::min(lo, delay->getDelayLine().getClockStep());
    hi = std::max(hi, delay->getDelayLine().getClockStep());
  }
  // Depth 1 sweeps 2^u - 1 over the whole range whatever Time says.
  EXPECT_NEAR(lo, 0.125, 0.01);
  EXPECT_NEAR(hi, 1.0, 0.01);
}

TEST(DelayTime, LFOPeriodsFreeAndSynced)
{
  DelayHarness delay(48000.0);
  auto lfoHz = [&] {
    const LFO& lfo = delay->getLFO();
    return lfo.getPhaseIncrement() * lfo.getUpdateRate() / (2 * M_PI);
  };
  delay.set(kLFOSpeed, 1.5);
  EXPECT_NEAR(lfoHz(), 1.5, 1e-12);

  // Row 14, "1/4", is two cycles a second at 120.
  const double n = 14.0 / 19.0;
  delay.set(kLFOSpeed, 0.001 + n * n * 24.999);
  delay.set(kLFOSync, 1.0);
  EXPECT_EQ(delay->getLFO().getSyncRateIndex(), 14);
  delay->GetTimeInfo().tempo = 120.0;
  runControlStep(delay);
  EXPECT_NEAR(lfoHz(), 2.0, 1e-9);
  delay->GetTimeInfo().tempo = 90.0;
  runControlStep(delay);
  EXPECT_NEAR(lfoHz(), 1.5, 1e-9);
}

TEST(DelayTime, FreezeToggles)
{
  DelayHarness delay;
  EXPECT_FALSE(delay->isFrozen());
  delay.pressFreeze();
  EXPECT_TRUE(delay->getDelayLine().isFrozen());
  delay.pressFreeze();
  EXPECT_FALSE(delay->getDelayLine().isFrozen());
}
