#include <cmath>

#include <gtest/gtest.h>

#include "engine/LowPass2.h"

TEST(LowPass2, SettingsAreLimitedToTheUsableRange)
{
  LowPass2 filter;
  filter.setParams(10.0, 0.5);
  EXPECT_EQ(filter.getCutoff(), 60.0);
  EXPECT_EQ(filter.getQ(), 0.7071067811865476);
  filter.setParams(20000.0, 2.0);
  EXPECT_EQ(filter.getCutoff(), 6000.0);
  EXPECT_EQ(filter.getQ(), 0.9);
  filter.setParams(NAN, NAN);
  EXPECT_FALSE(std::isnan(filter.process(1.0)));
}

TEST(LowPass2, PassesDirectCurrentAtUnityGain)
{
  for (double cutoff : {60.0, 3000.0, 6000.0})
  {
    LowPass2 filter;
    filter.reset(44100.0);
    filter.setParams(cutoff, 0.9);
    double y = 0.0;
    for (int i = 0; i < 200000; ++i)
      y = filter.process(1.0);
    EXPECT_NEAR(y, 1.0, 1e-9) << cutoff;
  }
}

TEST(LowPass2, NaNSampleActsAsSilenceAndLeavesNoTrace)
{
  LowPass2 a, b;
  a.reset(48000.0);
  b.reset(48000.0);
  for (int i = 0; i < 10; ++i)
  {
    a.process(0.3 * i);
    b.process(0.3 * i);
  }
  // The same as silence, up to the anti-denormal offset.
  EXPECT_NEAR(a.process(NAN), b.process(0.0), 1e-12);
  for (int i = 0; i < 10; ++i)
  {
    const double ya = a.process(0.1 * i);
    EXPECT_FALSE(std::isnan(ya));
    EXPECT_NEAR(ya, b.process(0.1 * i), 1e-12);
  }
}

TEST(LowPass2, SilenceNeverLeavesDenormalsInTheState)
{
  LowPass2 filter;
  filter.reset(44100.0);
  filter.process(1e-300);
  for (int i = 0; i < 100000; ++i)
  {
    const double y = filter.process(0.0);
    ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << i;
    const LowPass2::State s = filter.getState();
    ASSERT_NE(std::fpclassify(s.y1), FP_SUBNORMAL);
    ASSERT_NE(std::fpclassify(s.x1), FP_SUBNORMAL);
  }
}

TEST(LowPass2, ResetKeepsTheSettingsAndAdaptsToTheRate)
{
  LowPass2 filter;
  filter.setParams(1000.0, 0.8);
  filter.process(1.0);
  filter.reset(96000.0);
  EXPECT_EQ(filter.getCutoff(), 1000.0);
  EXPECT_EQ(filter.getQ(), 0.8);
  EXPECT_EQ(filter.getState().x1, 0.0);
  EXPECT_EQ(filter.getState().y1, 0.0);

  // A 1 kHz cutoff at 96 kHz passes a 100 Hz sine and damps a 10 kHz one.
  auto gainAt = [&](double hz) {
    LowPass2 f;
    f.reset(96000.0);
    f.setParams(1000.0, 0.8);
    double peak = 0.0;
    for (int i = 0; i < 96000; ++i)
    {
      const double y = f.process(std::sin(2 * M_PI * hz * i / 96000.0));
      if (i > 48000) peak = std::fmax(peak, std::fabs(y));
    }
    return peak;
  };
  EXPECT_NEAR(gainAt(100.0), 1.0, 0.02);
  EXPECT_LT(gainAt(10000.0), 0.02);
}

TEST(LowPass2, BlockFormMatchesSampleForm)
{
  LowPass2 a, b;
  const double input[5] = {1, -1, 0.5, 0.25, 0};
  double block[5] = {1, -1, 0.5, 0.25, 0};
  a.process(block, 5);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(block[i], b.process(input[i]));
  a.process(block, 0);
  a.process(block, -3);
}

TEST(LowPass2, StableAtLowSampleRatesWhereTheCutoffLiesAboveNyquist)
{
  // Full cutoff and full resonance: at these rates 6 kHz lies at or above
  // half the rate. The impulse response has to die away.
  for (double rate : {1000.0, 4000.0, 8000.0, 11025.0, 12000.0})
    for (double q : {LowPass2::kMinQ, LowPass2::kMaxQ})
    {
      LowPass2 filter;
      filter.reset(rate);
      filter.setParams(6000.0, q);
      double late = 0.0;
      for (int i = 0; i < 4000; ++i)
      {
        const double y = filter.process(i == 0 ? 1.0 : 0.0);
        ASSERT_TRUE(std::isfinite(y)) << rate;
        if (i >= 3000)
          late = std::fmax(late, std::fabs(y));
      }
      EXPECT_LT(late, 1e-9) << rate << " Hz, q " << q;
    }
}
