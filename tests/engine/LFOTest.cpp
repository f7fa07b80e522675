#include <cmath>

#include <gtest/gtest.h>

#include "engine/LFO.h"


TEST(LFO, StartsAtItsMaximumAfterReset)
{
  LFO lfo;
  lfo.setRate(3.0);
  for (int i = 0; i < 123; ++i)
    lfo.update();
  lfo.reset();
  lfo.update();
  EXPECT_EQ(lfo.getValue(), 1.0);
}

TEST(LFO, FreeRateSetsThePeriod)
{
  LFO lfo;
  lfo.setSampleRate(48000.0, 48.0); // 1000 updates per second
  lfo.setRate(1.0);
  lfo.reset();
  std::vector<double> values;
  for (int i = 0; i < 3001; ++i)
  {
    lfo.update();
    values.push_back(lfo.getValue());
  }
  // One cycle per second: the minimum falls half way and the shape repeats.
  EXPECT_NEAR(values[500], 0.0, 1e-9);
  for (int i = 0; i < 1000; ++i)
    EXPECT_NEAR(values[i], values[i + 1000], 1e-6) << i;
  for (double v : values)
  {
    EXPECT_GE(v, 0.0);
    EXPECT_LE(v, 1.0);
  }
}

TEST(LFO, SyncedRatesFollowTheTempo)
{
  ITimeInfo transport;
  transport.tempo = 120.0;
  LFO lfo;
  lfo.setSampleRate(48000.0, 48.0);
  lfo.setSync(true);

  auto hz = [&](int row) {
    lfo.setSyncRate(row);
    lfo.synchronize(&transport);
    return lfo.getPhaseIncrement() * lfo.getUpdateRate() / (2 * M_PI);
  };
  EXPECT_NEAR(hz(14), 2.0, 1e-12);        // "1/4" at 120
  EXPECT_NEAR(1.0 / hz(0), 32.0, 1e-9);   // "16/1": 64 quarter notes
  EXPECT_NEAR(1.0 / hz(6), 5.0, 1e-9);    // "2/1." is ten quarter notes
  transport.tempo = 0.0;                  // no usable tempo: 120 stands in
  EXPECT_NEAR(hz(14), 2.0, 1e-12);
  transport.tempo = -90.0;
  EXPECT_NEAR(hz(14), 2.0, 1e-12);
  transport.tempo = NAN;
  EXPECT_NEAR(hz(14), 2.0, 1e-12);
  transport.tempo = 60.0;
  EXPECT_NEAR(hz(14), 1.0, 1e-12);
}

TEST(LFO, SwitchingSyncOffRestoresTheFreeRate)
{
  ITimeInfo transport;
  LFO lfo;
  lfo.setSampleRate(48000.0, 48.0);
  lfo.setRate(0.5);
  lfo.setSync(true);
  lfo.setSyncRate(19);
  lfo.synchronize(&transport);
  lfo.setSync(false);
  EXPECT_NEAR(lfo.getPhaseIncrement() * 1000.0 / (2 * M_PI), 0.5, 1e-12);
}

TEST(LFO, PhaseAlignmentOnlyMovesForward)
{
  ITimeInfo transport;
  transport.tempo = 120.0;
  transport.transportRunning = true;
  LFO lfo;
  lfo.setSampleRate(48000.0, 48.0);
  lfo.setSync(true);
  lfo.setSyncRate(14); // one quarter note: four sixteenths per cycle

  // The LFO sits at 1.25 sixteenths (phase -2pi + ...). Host inside the
  // sixteenth at 0.75: the LFO is behind and jumps forward to 1.75.
  auto phaseAt = [](double sixteenths) { return sixteenths * 2 * M_PI / 4.0; };
  lfo.reset();
  lfo.synchronize(&transport);
  const double start = lfo.getPhase(); // -2pi = -4 sixteenths
  EXPECT_DOUBLE_EQ(start, -2 * M_PI);

  transport.ppqPosition = 10.0 + 0.75 / 4.0; // 0.75 into a sixteenth
  lfo.synchronize(&transport);
  EXPECT_NEAR(lfo.getPhase(), phaseAt(-4.0 + 0.75), 1e-12);

  // Host now earlier inside the sixteenth than the LFO: left ahead.
  transport.ppqPosition = 10.0 + 0.25 / 4.0;
  const double before = lfo.getPhase();
  lfo.synchronize(&transport);
  EXPECT_EQ(lfo.getPhase(), before);

  // Unknown host position (-1) is the start of a sixteenth: never backwards.
  transport.ppqPosition = -1.0;
  lfo.synchronize(&transport);
  EXPECT_EQ(lfo.getPhase(), before);

  // While the transport is stopped no alignment happens.
  transport.transportRunning = false;
  transport.ppqPosition = 10.0 + 0.9 / 4.0;
  lfo.synchronize(&transport);
  EXPECT_EQ(lfo.getPhase(), before);
}

TEST(LFO, SampleRateChangeRestartsTheCycle)
{
  LFO lfo;
  lfo.setRate(2.0);
  for (int i = 0; i < 50; ++i)
    lfo.update();
  lfo.setSampleRate(96000.0, 96.0);
  EXPECT_DOUBLE_EQ(lfo.getPhase(), -2 * M_PI);
  EXPECT_DOUBLE_EQ(lfo.getUpdateRate(), 1000.0);
  const double phase = lfo.getPhase();
  lfo.setSampleRate(96000.0, 96.0); // same rate: nothing happens
  EXPECT_EQ(lfo.getPhase(), phase);
}
