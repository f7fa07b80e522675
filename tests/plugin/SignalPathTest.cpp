#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "support/DelayHarness.h"
#include "support/Signals.h"

namespace
{
// Wet-only harness with the delay set by Range and Time, no modulation.
DelayHarness wetDelay(double rate, int range, double time, double feedback = 0.0)
{
  DelayHarness delay(rate);
  delay.set(kMix, 1.0);
  delay.set(kRange, range);
  delay.set(kTime, time);
  delay.set(kFeedback, feedback);
  return delay;
}

int echoPosition(DelayHarness& delay, int length)
{
  const auto out = delay.processMono(signals::impulse(length, 0));
  return signals::indexOfPeak(out);
}
} // namespace

TEST(SignalPath, DryMixPassesTheInputExactly)
{
  DelayHarness delay;
  delay.set(kMix, 0.0);
  delay.set(kFeedback, 0.9);
  const auto left = signals::noise(20000, 1);
  const auto right = signals::sine(20000, 440.0, 44100.0);
  const auto out = delay.process(left, right, 333);
  for (size_t i = 0; i < left.size(); ++i)
  {
    ASSERT_EQ(out[0][i], left[i]) << i;
    ASSERT_EQ(out[1][i], right[i]) << i;
  }
}

TEST(SignalPath, EchoTimesFollowRangeAndTime)
{
  // Shortest range at 44.1 kHz: 344 ticks; the clock runs 8x at Time 0.
  // The interpolation on both sides and the filters add a few samples.
  {
    auto delay = wetDelay(44100.0, 0, 1.0);
    const int at = echoPosition(delay, 2000);
    EXPECT_GE(at, 344);
    EXPECT_LE(at, 344 + 8);
  }
  {
    auto delay = wetDelay(44100.0, 0, 0.0);
    const int at = echoPosition(delay, 2000);
    EXPECT_GE(at, 43);
    EXPECT_LE(at, 43 + 8);
  }
  // Longest range at its maximum: two seconds.
  {
    auto delay = wetDelay(44100.0, 4, 1.0);
    const int at = echoPosition(delay, 88400);
    EXPECT_GE(at, 88200);
    EXPECT_LE(at, 88200 + 8);
  }
  // Default range 62.5-500 ms at Time 0.6: 325 ms at 48 kHz.
  {
    auto delay = wetDelay(48000.0, 3, 0.6);
    const int at = echoPosition(delay, 20000);
    EXPECT_GE(at, 15600);
    EXPECT_LE(at, 15600 + 8);
  }
}

TEST(SignalPath, FullFeedbackStaysBounded)
{
  auto delay = wetDelay(44100.0, 1, 0.3, 1.0);
  const auto out = delay.processMono(signals::noise(44100 * 3, 5, 10.0));
  for (double v : out)
    ASSERT_TRUE(std::isfinite(v));
  EXPECT_LT(signals::peakAbs(out), 40.0);
}

TEST(SignalPath, EveryAcceptedSampleRateGivesBoundedOutput)
{
  // At the low rates the filters' 6 kHz lies above half the rate; at the
  // high one the clock runs fastest. Full feedback and the shortest range
  // recirculate each sound hundreds of times.
  for (double rate : {1000.0, 4000.0, 8000.0, 11025.0, 22050.0, 384000.0})
    for (double quality : {1.0, 0.0})
    {
      const int length = static_cast<int>(rate / 2);
      for (const auto& input : {signals::impulse(length, 0), signals::sine(length, 440.0, rate)})
      {
        auto delay = wetDelay(rate, 0, 0.5, 1.0);
        delay.set(kQuality, quality);
        const auto out = delay.process(input, input);
        for (const auto& channel : out)
          for (double v : channel)
            ASSERT_TRUE(std::isfinite(v)) << rate << " Hz, quality " << quality;
        EXPECT_LT(signals::peakAbs(out[0]), 10.0) << rate << " Hz, quality " << quality;
      }
    }
}

TEST(SignalPath, QualityThrownAboutWhileTheLineIsLoudStaysWithinTheSteadyBound)
{
  // Held still, no setting makes more than about 4.2 of input within ±0.5
  // (found by a search over every parameter and square waves from 20 Hz to
  // 12 kHz: Quality 0.05, Feedback +100 %, 8-64 ms, Mix 100 %, 20 Hz). A
  // controller that throws Quality between its ends every millisecond, as a
  // learnt MIDI knob or stepped automation does, must stay inside that too.
  std::mt19937 random(3);
  std::uniform_real_distribution<double> quality(0.0, 1.0);
  for (double feedback : {-1.0, 1.0})
    for (int range : {1, 3})
    {
      auto delay = wetDelay(48000.0, range, 0.5, feedback);
      const auto input = signals::noise(48000 * 2, 9, 0.5);
      double peak = 0.0;
      for (size_t pos = 0; pos < input.size(); pos += 48)
      {
        delay.set(kQuality, quality(random) < 0.5 ? 0.0 : 1.0);
        const std::vector<double> block(input.begin() + static_cast<long>(pos), input.begin() + static_cast<long>(pos) + 48);
        peak = std::max(peak, signals::peakAbs(delay.processMono(block, 48)));
      }
      EXPECT_LT(peak, 4.2) << "feedback " << feedback << ", range " << range;
    }
}

TEST(SignalPath, NegativeFeedbackInvertsEachRepeat)
{
  auto delay = wetDelay(44100.0, 2, 1.0, -0.6); // 125 ms
  const auto out = delay.processMono(signals::impulse(44100, 0));
  const int d = 5512; // 125 ms at 44.1 kHz
  const int first = signals::indexOfPeak(out, d - 20, d + 20);
  const int second = signals::indexOfPeak(out, 2 * d - 40, 2 * d + 40);
  const int third = signals::indexOfPeak(out, 3 * d - 60, 3 * d + 60);
  EXPECT_GT(out[static_cast<size_t>(first)], 0.0);
  EXPECT_LT(out[static_cast<size_t>(second)], 0.0);
  EXPECT_GT(out[static_cast<size_t>(third)], 0.0);
  EXPECT_LT(std::fabs(out[static_cast<size_t>(second)]), std::fabs(out[static_cast<size_t>(first)]));
}

TEST(SignalPath, FreezeLoopsAtFullQualityAndFallsSilentAtZero)
{
  for (double quality : {1.0, 0.0})
  {
    auto delay = wetDelay(44100.0, 3, 1.0, 0.0); // 500 ms loop
    delay.set(kQuality, quality);
    delay.processMono(signals::noise(44100, 3, 0.8));
    delay.pressFreeze();
    EXPECT_TRUE(delay->isFrozen());
    const auto out = delay.processMono(std::vector<double>(44100 * 3, 0.0));
    const double lastSecond = signals::rms(out, 44100 * 2);
    if (quality == 1.0)
    {
      EXPECT_GT(lastSecond, 0.05);
      EXPECT_LE(signals::peakAbs(out), 3.5);
    }
    else
    {
      EXPECT_LT(lastSecond, 1e-9);
    }
  }
}

TEST(SignalPath, ResetReleasesFreeze)
{
  DelayHarness delay;
  delay.pressFreeze();
  EXPECT_TRUE(delay->isFrozen());
  delay->OnReset();
  EXPECT_FALSE(delay->isFrozen());
  EXPECT_TRUE(delay->takePendingRefreshes() & TolmarDelay::kRefreshFreeze);
}

TEST(SignalPath, NaNInputNeverReachesTheBuffer)
{
  auto delay = wetDelay(44100.0, 0, 1.0, 0.9);
  auto in = signals::noise(10000, 9, 0.5);
  for (size_t i = 0; i < in.size(); i += 97)
    in[i] = NAN;
  const auto out = delay.processMono(in);
  const DelayLine& line = delay->getDelayLine();
  for (int32_t i = 0; i < line.getBufferLength(); ++i)
    ASSERT_TRUE(std::isfinite(line.bufferAt(0, i)) && std::isfinite(line.bufferAt(1, i))) << i;
  // Only the NaN frames themselves carry NaN, through the dry path.
  for (size_t i = 0; i < out.size(); ++i)
    ASSERT_TRUE(std::isnan(in[i]) || std::isfinite(out[i])) << i;
}

TEST(SignalPath, SampleRateChangeClearsEchoesAndSameRateKeepsThem)
{
  for (bool changeRate : {false, true})
  {
    auto delay = wetDelay(44100.0, 4, 1.0); // echo after 2 s
    delay.processMono(signals::impulse(44100, 0));
    delay.setSampleRate(changeRate ? 48000.0 : 44100.0);
    const auto out = delay.processMono(std::vector<double>(48000 * 2, 0.0));
    if (changeRate)
      EXPECT_LT(signals::peakAbs(out), 1e-6);
    else
      EXPECT_GT(signals::peakAbs(out), 0.1);
  }
}

TEST(SignalPath, NoBufferMeansSilence)
{
  // Before any reset there is no buffer: the outputs are silenced rather
  // than left holding whatever the host's buffers held.
  TolmarDelay delay;
  delay.OnParamReset(kReset);
  std::vector<double> in(64, 0.25), outL(64, 7.0), outR(64, 7.0);
  double* i2[2] = {in.data(), in.data()};
  double* o2[2] = {outL.data(), outR.data()};
  delay.ProcessBlock(i2, o2, 64);
  EXPECT_EQ(signals::peakAbs(outL), 0.0);
  EXPECT_EQ(signals::peakAbs(outR), 0.0);

  // A rate whose buffers cannot be had leaves the instance silent, not broken.
  delay.SetSampleRate(1e12);
  delay.OnReset();
  std::fill(outL.begin(), outL.end(), 7.0);
  delay.ProcessBlock(i2, o2, 64);
  EXPECT_EQ(signals::peakAbs(outL), 0.0);
  delay.SetSampleRate(44100.0);
  delay.OnReset();
  delay.ProcessBlock(i2, o2, 64);
  EXPECT_GT(signals::peakAbs(outL), 0.0);
}

TEST(SignalPath, InPlaceProcessingEqualsSeparateBuffers)
{
  auto a = wetDelay(44100.0, 1, 0.5, 0.5);
  auto b = wetDelay(44100.0, 1, 0.5, 0.5);
  a.set(kLFODepth, 0.5);
  b.set(kLFODepth, 0.5);
  auto left = signals::noise(5000, 11);
  auto right = signals::noise(5000, 12);
  const auto separate = a.process(left, right, 128);
  for (size_t pos = 0; pos < left.size(); pos += 128)
  {
    double* io[2] = {left.data() + pos, right.data() + pos};
    b->ProcessBlock(io, io, static_cast<int>(std::min<size_t>(128, left.size() - pos)));
  }
  EXPECT_EQ(std::memcmp(separate[0].data(), left.data(), left.size() * 8), 0);
  EXPECT_EQ(std::memcmp(separate[1].data(), right.data(), right.size() * 8), 0);
}

TEST(SignalPath, ZeroFrameBlockStillSynchronises)
{
  DelayHarness delay;
  delay.set(kDelaySync, 1.0);
  delay.set(kLFOSync, 1.0);
  // Time 0.6 selects row round(0.4 * 19) = 8, "1/8." = 0.75 quarter notes.
  EXPECT_DOUBLE_EQ(delay->getSyncedDelayMs(), 375.0);
  delay->GetTimeInfo().tempo = 60.0;
  delay->GetTimeInfo().transportRunning = true;
  double* none[2] = {nullptr, nullptr};
  delay->ProcessBlock(none, none, 0);
  EXPECT_DOUBLE_EQ(delay->getSyncedDelayMs(), 750.0);
  EXPECT_DOUBLE_EQ(delay->getLFO().getPhase(), -2 * M_PI); // transport start restarts the LFO
}
