#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engine/DelayLine.h"
#include "engine/LowPass2.h"

namespace
{
double cubic(const double h[4], double t)
{
  return h[1] + 0.5 * t * (h[2] - h[0]) + t * t * (h[0] - 2.5 * h[1] + 2.0 * h[2] - 0.5 * h[3]) +
         t * t * t * (1.5 * (h[1] - h[2]) + 0.5 * (h[3] - h[0]));
}

double limit(double x, double lo, double hi)
{
  if (x < lo) x = lo;
  if (x > hi) x = hi;
  return x;
}

// A plain per-sample reading of the delay line, one channel after the other,
// with separate buffers: what the optimised engine must reproduce exactly.
struct ReferenceLine
{
  LowPass2 inFilter[2], outFilter[2];
  double inHist[2][4] = {}, outHist[2][4] = {};
  std::vector<double> buffer[2];
  int length = 0, writeIndex = 0, readOffset = 0, interval = 1, countdown = 0;
  double phase = 0.0, step = 1.0, stepInv = 1.0, feedback = 0.0, quality = 1.0, dry = 1.0, wet = 0.0;
  bool frozen = false;

  void rebuild(double rate)
  {
    interval = std::max(1, static_cast<int>(rate) / 1000);
    length = static_cast<int>(rate * 2.0);
    buffer[0].assign(static_cast<size_t>(length), 0.0);
    buffer[1].assign(static_cast<size_t>(length), 0.0);
    writeIndex = 0;
    phase = 0.0;
    step = stepInv = 1.0;
    countdown = 0;
    for (auto* f : {&inFilter[0], &inFilter[1], &outFilter[0], &outFilter[1]})
      f->reset(rate);
  }

  void setQuality(double q)
  {
    quality = q;
    for (auto* f : {&inFilter[0], &inFilter[1], &outFilter[0], &outFilter[1]})
      f->setParams(6000.0 * q, 0.7071067811865476 + 0.19289321881345245 * (1.0 - q));
  }

  void process(double* const* in, double* const* out, int n, const std::function<void()>& control)
  {
    for (int i = 0; i < n; ++i)
    {
      if (countdown <= 0)
      {
        countdown = interval;
        control();
      }
      --countdown;
      const double x[2] = {in[0][i], in[1][i]};
      for (int c = 0; c < 2; ++c)
      {
        const double f = inFilter[c].process(x[c]);
        for (int k = 0; k < 3; ++k)
          inHist[c][k] = inHist[c][k + 1];
        inHist[c][3] = f;
      }
      while (phase < 1.0)
      {
        writeIndex = writeIndex > 0 ? writeIndex - 1 : length - 1;
        int r = writeIndex + readOffset;
        if (r >= length) r -= length;
        for (int c = 0; c < 2; ++c)
        {
          const double y = outFilter[c].process(buffer[c][static_cast<size_t>(r)]);
          for (int k = 0; k < 3; ++k)
            outHist[c][k] = outHist[c][k + 1];
          outHist[c][3] = y;
          const double v = frozen ? limit(y, -3.0 * quality, 3.0 * quality)
                                  : cubic(inHist[c], phase) + feedback * limit(y, -3.0, 3.0);
          buffer[c][static_cast<size_t>(writeIndex)] = v;
        }
        phase = phase + step;
      }
      phase = phase - 1.0;
      const double b = 1.0 - phase * stepInv;
      for (int c = 0; c < 2; ++c)
        out[c][i] = x[c] * dry + cubic(outHist[c], b) * wet;
    }
  }
};

struct LambdaControl : DelayLine::ControlStep
{
  std::function<void()> step;
  void controlStep(int) override { step(); }
};

void expectBitIdentical(const std::vector<double>& a, const std::vector<double>& b)
{
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i)
  {
    uint64_t x, y;
    std::memcpy(&x, &a[i], 8);
    std::memcpy(&y, &b[i], 8);
    ASSERT_EQ(x, y) << "frame " << i << ": " << a[i] << " vs " << b[i];
  }
}
} // namespace

// The vectorised engine computes exactly what the plain reading computes,
// through clock changes, feedback, quality, freeze and NaN input.
TEST(DelayLine, OptimisedPathMatchesPlainReadingBitForBit)
{
  for (double rate : {44100.0, 48000.0, 8000.0})
  {
    DelayLine line;
    ReferenceLine ref;
    ASSERT_TRUE(line.rebuild(rate));
    ref.rebuild(rate);

    const int frames = 30000;
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> sample(-1.5, 1.5), unit(0.0, 1.0);
    std::vector<double> inL(frames), inR(frames);
    for (int i = 0; i < frames; ++i)
    {
      inL[static_cast<size_t>(i)] = sample(rng);
      inR[static_cast<size_t>(i)] = i % 7 == 0 ? 0.0 : sample(rng);
    }
    inL[1234] = NAN;
    inR[4321] = INFINITY;
    std::vector<double> outL(frames), outR(frames), refL(frames), refR(frames);

    // Both lines are driven by the same sequence of control decisions.
    std::mt19937 controlRngA(7), controlRngB(7);
    auto decide = [&](std::mt19937& r, auto apply) {
      std::uniform_real_distribution<double> u(0.0, 1.0);
      const double step = 0.125 + 0.875 * u(r);
      const double pick = u(r);
      apply(step, pick);
    };
    int controlCount = 0;
    LambdaControl control;
    control.step = [&] {
      decide(controlRngA, [&](double step, double pick) {
        line.setClockStep(step);
        if (pick < 0.02) line.setFrozen(!line.isFrozen());
        if (pick > 0.98) line.setQuality(pick - 0.98 > 0.01 ? 0.3 : 1.0);
      });
    };
    auto refControl = [&] {
      decide(controlRngB, [&](double step, double pick) {
        ref.step = step;
        ref.stepInv = 1.0 / step;
        if (pick < 0.02) ref.frozen = !ref.frozen;
        if (pick > 0.98) ref.setQuality(pick - 0.98 > 0.01 ? 0.3 : 1.0);
        ++controlCount;
      });
    };

    const int readOffset = ref.length >> 4;
    line.setReadOffset(readOffset);
    ref.readOffset = readOffset;
    line.setFeedback(-0.9);
    ref.feedback = -0.9;
    line.setMix(0.4);
    ref.dry = std::sqrt(1.0 - 0.4);
    ref.wet = std::sqrt(0.4);

    for (int pos = 0, block = 1; pos < frames; pos += block, block = block % 300 + 37)
    {
      const int n = std::min(block, frames - pos);
      double* in[2] = {inL.data() + pos, inR.data() + pos};
      double* out[2] = {outL.data() + pos, outR.data() + pos};
      double* rout[2] = {refL.data() + pos, refR.data() + pos};
      line.process(in, out, n, control);
      ref.process(in, rout, n, refControl);
    }
    EXPECT_GT(controlCount, 100);
    expectBitIdentical(outL, refL);
    expectBitIdentical(outR, refR);
  }
}

TEST(DelayLine, InPlaceProcessingEqualsSeparateBuffers)
{
  DelayLine a, b;
  a.rebuild(44100.0);
  b.rebuild(44100.0);
  for (DelayLine* line : {&a, &b})
  {
    line->setReadOffset(344);
    line->setFeedback(0.5);
    line->setMix(0.5);
  }
  LambdaControl control;
  control.step = [] {};
  std::vector<double> left(5000), right(5000);
  for (size_t i = 0; i < left.size(); ++i)
  {
    left[i] = std::sin(0.01 * static_cast<double>(i));
    right[i] = std::cos(0.013 * static_cast<double>(i));
  }
  std::vector<double> outL(5000), outR(5000);
  double* in[2] = {left.data(), right.data()};
  double* out[2] = {outL.data(), outR.data()};
  a.process(in, out, 5000, control);
  b.process(in, in, 5000, control); // in place
  expectBitIdentical(left, outL);
  expectBitIdentical(right, outR);
}

TEST(DelayLine, WithoutABufferItWritesSilence)
{
  DelayLine line;
  LambdaControl control;
  int steps = 0;
  control.step = [&] { ++steps; };
  std::vector<double> in(64, 0.5), outL(64, 9.0), outR(64, 9.0);
  double* i2[2] = {in.data(), in.data()};
  double* o2[2] = {outL.data(), outR.data()};
  line.process(i2, o2, 64, control);
  EXPECT_EQ(steps, 0);
  for (size_t i = 0; i < 64; ++i)
  {
    EXPECT_EQ(outL[i], 0.0);
    EXPECT_EQ(outR[i], 0.0);
  }

  // Rates that give no buffer (below half a hertz) or cannot be addressed.
  EXPECT_TRUE(line.rebuild(0.2));
  EXPECT_FALSE(line.hasBuffer());
  EXPECT_FALSE(line.rebuild(1e12));
  EXPECT_FALSE(line.hasBuffer());
  EXPECT_TRUE(std::isnan(line.getSampleRate())); // the next reset tries again
  line.rebuild(NAN);
  EXPECT_FALSE(line.hasBuffer());
  line.process(i2, o2, 64, control);
  EXPECT_EQ(outL[10], 0.0);
}

TEST(DelayLine, ControlStepRunsOncePerIntervalAcrossBlocks)
{
  for (double rate : {44100.0, 48000.0, 500.0})
  {
    DelayLine line;
    line.rebuild(rate);
    const int interval = line.getControlInterval();
    EXPECT_EQ(interval, rate < 1000.0 ? 1 : static_cast<int>(rate) / 1000);
    int steps = 0;
    LambdaControl control;
    control.step = [&] { ++steps; };
    std::vector<double> buf(1000, 0.0);
    double* io[2] = {buf.data(), buf.data()};
    int total = 0;
    for (int n : {1, 0, 7, 100, 33, 500, 359})
    {
      line.process(io, io, n, control);
      total += n;
    }
    // The first step runs on the first frame, then one every interval.
    EXPECT_EQ(steps, (total + interval - 1) / interval) << rate;
  }
}
