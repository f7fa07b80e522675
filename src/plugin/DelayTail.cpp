#include "plugin/DelayTail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "engine/LowPass2.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/SyncRates.h"

// The loop the echoes run in is, counted in clock ticks, time-invariant:
// each pass holds a value readOffset ticks, runs it once through the output
// low-pass and multiplies it by the feedback. The LFO and Time only change
// how long a tick lasts. So the level of the n-th echo is bounded in the
// tick domain, and the time it arrives follows from the slowest clock the
// settings and the LFO can make.
//
// Bound on the n-th echo's peak: the first write is the input filter's
// impulse response, interpolated onto ticks of `step` samples; in the tick
// domain its spectrum is at most 1.25 / step times the input filter's
// response at w / step (Catmull-Rom weights sum to at most 1.25 in
// magnitude), and a quarter of that in the interpolation's images. After n
// passes its peak is at most (1/pi) * integral |X0| |fb|^(n-1) |H|^n dw,
// read out through one more interpolation (1.25 again) and the wet gain;
// the worst step the LFO can hold the clock at is taken. The bound is loose
// where the filters cut most, so the answer stays within about twice the
// true tail; the bundle tests hold it to that against rendered impulses.
namespace
{
using namespace DelayRanges;

constexpr double kPi = std::numbers::pi;
constexpr double kInterpolationGain = 1.25;
// Nepers from full scale down to the floor.
const double kFloorNepers = -kTailFloorDb / 20.0 * std::log(10.0);

struct Filter
{
  LowPass2::Coefficients c;

  std::complex<double> response(double w) const
  {
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return (c.b0 + c.b1 * z1 + c.b0 * z2) / (1.0 - c.a1 * z1 - c.a2 * z2);
  }
  double magnitude(double w) const { return std::abs(response(w)); }

  // Ticks of group delay at w: the numerator (1 + 1/z)^2 delays by one, the
  // denominator's poles by the rest.
  double groupDelay(double w) const
  {
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> den = 1.0 - c.a1 * z1 - c.a2 * z2;
    const std::complex<double> weighted = -c.a1 * z1 - 2.0 * c.a2 * z2;
    return 1.0 - (weighted / den).real();
  }

  // Nepers per tick by which the filter's own ring decays.
  double ringDecay() const
  {
    const double disc = c.a1 * c.a1 + 4.0 * c.a2;
    double radius;
    if (disc < 0.0)
      radius = std::sqrt(-c.a2);
    else
      radius = std::max(std::abs(0.5 * (c.a1 + std::sqrt(disc))), std::abs(0.5 * (c.a1 - std::sqrt(disc))));
    return radius > 0.0 && radius < 1.0 ? -std::log(radius) : 1e-6;
  }

  // Sum of |h| over the impulse response, run until it has died away.
  double impulseL1() const
  {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, sum = 0;
    for (int i = 0; i < 1 << 20; ++i)
    {
      const double x = i == 0 ? 1.0 : 0.0;
      const double y = c.b0 * (x + x2) + c.b1 * x1 + c.a1 * y1 + c.a2 * y2;
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      sum += std::abs(y);
      if (i > 8 && std::abs(y) + std::abs(y2) < 1e-12 * sum)
        break;
    }
    return sum;
  }
};

// The settings as the engine would run them, in ticks and samples.
struct Loop
{
  int32_t readOffset = 0;
  double slowestStep = 1.0; // the LFO's deepest bend towards long delays
  double fastestStep = 1.0;
  // Set when an LFO swings the clock: its cycle and the ticks made in one.
  double lfoPeriodSamples = 0.0;
  double ticksPerLFOPeriod = 0.0;
};

Loop loopFor(const DelayTailSettings& s, int32_t bufferLength)
{
  const double depth = std::clamp(s.lfoDepth, 0.0, 1.0);
  int k = 0;
  double fraction = 1.0;
  if (s.delaySync)
  {
    // The delay follows the tempo the instance last saw. A tempo that gives
    // no note keeps whatever delay the engine had: assume the longest.
    SyncedDelay synced;
    if (syncedDelayFor(s.tempo, kDelaySyncRates[static_cast<size_t>(delaySyncRowForTime(s.time))].quarterNotes,
                       deepestRange(bufferLength), synced))
    {
      k = synced.rangeIndex;
      fraction = synced.timeFraction;
    }
  }
  else
  {
    k = rangeIndexForRange(static_cast<int>(std::round(std::clamp(s.range, 0.0, 4.0))));
    fraction = std::clamp(s.time, 0.0, 1.0);
  }
  Loop loop;
  loop.readOffset = std::max<int32_t>(1, readOffsetFor(bufferLength, k));
  loop.slowestStep = clockStepFor(fraction, depth, 1.0);
  loop.fastestStep = clockStepFor(fraction, depth, 0.0);

  // Over one LFO cycle (output 0.5 * (1 + cos phase)) the clock makes this
  // many ticks per sample on average.
  if (depth > 0.0)
  {
    double period = 0.0;
    if (s.lfoSync)
    {
      const double tempo = s.tempo > 0.0 && std::isfinite(s.tempo) ? s.tempo : 120.0;
      period = kLFOSyncRates[static_cast<size_t>(std::clamp(s.lfoSyncRow, 0, kNumSyncRates - 1))].quarterNotes * 60.0 / tempo;
    }
    else if (s.lfoSpeed > 0.0)
    {
      period = 1.0 / s.lfoSpeed;
    }
    if (period > 0.0 && std::isfinite(period))
    {
      constexpr int kPoints = 64;
      double ticks = 0.0;
      for (int i = 0; i < kPoints; ++i)
      {
        const double u = 0.5 * (1.0 + std::cos(2.0 * kPi * (i + 0.5) / kPoints));
        ticks += 1.0 / clockStepFor(fraction, depth, u);
      }
      loop.lfoPeriodSamples = period * s.sampleRate;
      loop.ticksPerLFOPeriod = loop.lfoPeriodSamples * ticks / kPoints;
    }
  }
  return loop;
}

// Samples until the clock has made `ticks` ticks: at the slowest clock at
// worst, or, when the LFO swings the clock faster on average, whole LFO
// cycles plus one for the cycle's phase at the start.
double samplesForTicks(const Loop& loop, double ticks)
{
  const double slowest = ticks * loop.slowestStep;
  if (loop.ticksPerLFOPeriod <= 0.0)
    return slowest;
  return std::min(slowest, (std::floor(ticks / loop.ticksPerLFOPeriod) + 1.0) * loop.lfoPeriodSamples);
}

// |H| on a grid that is dense at low frequencies, where the filters' cutoffs
// lie. A cell's largest |H| is at one of its ends or, in the cell that holds
// it, the peak: the low-pass rises to its resonance and then falls.
constexpr int kCells = 256;
// Clock steps at which the first write's spectrum is bounded.
constexpr int kWriteSteps = 6;
// The interpolation's images above the tick-domain band, relative to the
// band: the cubic kernel lets well under a quarter through there.
constexpr double kImageGain = 0.25;

struct EchoSpectrum
{
  std::array<double, kCells + 1> w{};
  std::array<double, kCells> width{};
  std::array<double, kCells> logLoop{}; // log of the cell's largest |H|
  // log of the cell's largest |first write|, for each write step
  std::array<std::array<double, kCells>, kWriteSteps> logWrite{};
  double peak = 0.0;
  double peakAt = 0.0;

  EchoSpectrum(const Filter& filter, const Loop& loop)
  {
    std::array<double, kCells + 1> m{};
    int best = 0;
    for (int i = 0; i <= kCells; ++i)
    {
      const size_t j = static_cast<size_t>(i);
      const double u = static_cast<double>(i) / kCells;
      w[j] = kPi * u * u;
      m[j] = filter.magnitude(w[j]);
      if (m[j] > m[static_cast<size_t>(best)])
        best = i;
    }
    double lo = w[static_cast<size_t>(std::max(0, best - 1))];
    double hi = w[static_cast<size_t>(std::min(kCells, best + 1))];
    for (int i = 0; i < 60; ++i)
    {
      const double a = lo + (hi - lo) / 3.0, b = hi - (hi - lo) / 3.0;
      if (filter.magnitude(a) < filter.magnitude(b))
        lo = a;
      else
        hi = b;
    }
    peakAt = 0.5 * (lo + hi);
    peak = std::max(m[static_cast<size_t>(best)], filter.magnitude(peakAt));
    if (m[static_cast<size_t>(best)] >= peak)
      peakAt = w[static_cast<size_t>(best)];
    for (size_t j = 0; j < kCells; ++j)
    {
      width[j] = w[j + 1] - w[j];
      logLoop[j] = logOf(cellMax(filter, w[j], w[j + 1]));
    }

    // The first write: the input filter's response at the host rate, spread
    // over 1/step ticks per sample, wherever the LFO holds the clock.
    const double l1 = filter.impulseL1();
    for (int k = 0; k < kWriteSteps; ++k)
    {
      const double step = loop.fastestStep *
                          std::pow(loop.slowestStep / loop.fastestStep, static_cast<double>(k) / (kWriteSteps - 1));
      const double height = kInterpolationGain / step;
      for (size_t j = 0; j < kCells; ++j)
      {
        const double band = kPi * step;
        double top = w[j] < band ? cellMax(filter, w[j] / step, std::min(w[j + 1], band) / step) : 0.0;
        if (w[j + 1] > band)
          top = std::max(top, kImageGain * l1);
        logWrite[static_cast<size_t>(k)][j] = logOf(height * std::min(top, l1));
      }
    }
  }

  static double logOf(double x) { return x > 0.0 ? std::log(x) : -1e300; }

  // Largest |H| between a and b (host-rate frequencies).
  double cellMax(const Filter& filter, double a, double b) const
  {
    double top = std::max(filter.magnitude(a), filter.magnitude(b));
    if (a <= peakAt && peakAt <= b)
      top = std::max(top, peak);
    return top;
  }

  // Peak level of the n-th pass of a unit first write, from above:
  // (1/pi) * integral over 0..pi of |X0| |H|^n, at the worst write step.
  double passLevel(double n) const
  {
    double worst = 0.0;
    for (const auto& logX : logWrite)
    {
      double sum = 0.0;
      for (size_t j = 0; j < kCells; ++j)
        sum += width[j] * std::exp(logX[j] + n * logLoop[j]);
      worst = std::max(worst, sum);
    }
    return worst / kPi;
  }
};
} // namespace

uint32_t delayTailSamples(const DelayTailSettings& s)
{
  if (s.frozen)
    return kInfiniteTailSamples;
  const double wet = std::sqrt(std::clamp(s.mix, 0.0, 1.0));
  const int32_t bufferLength = bufferLengthFor(s.sampleRate);
  if (wet == 0.0 || bufferLength < 1)
    return 0;

  LowPass2 lowPass;
  lowPass.reset(s.sampleRate);
  const double quality = std::clamp(s.quality, 0.0, 1.0);
  lowPass.setParams(qualityCutoffHz(quality), qualityResonance(quality));
  const Filter filter{lowPass.getCoefficients()};
  const double feedback = std::min(std::abs(s.feedback), 1.0);
  const Loop loop = loopFor(s, bufferLength);
  const EchoSpectrum spectrum(filter, loop);
  // At a loop gain of 1 somewhere in the band (full feedback, or less with
  // the resonance of low Quality) the echoes never die away; the limiter
  // only keeps a growing loop at full scale.
  if (feedback * spectrum.peak >= 1.0 - 1e-9)
    return kInfiniteTailSamples;

  const double scale = wet * kInterpolationGain;
  const double floor = std::exp(-kFloorNepers);
  // Level bound of the n-th echo (n >= 1).
  auto echo = [&](double n) {
    const double fbPart = feedback > 0.0 ? std::pow(feedback, n - 1.0) : (n > 1.0 ? 0.0 : 1.0);
    return scale * fbPart * spectrum.passLevel(n);
  };

  // Not even the first echo reaches the floor: only the dry signal sounds.
  if (echo(1.0) < floor)
    return 0;
  // The first echo below the floor; all after it are lower still.
  double audible = 1.0;
  double silent = 2.0;
  while (echo(silent) >= floor)
  {
    audible = silent;
    silent *= 2.0;
    if (silent > 1e12)
      return kInfiniteTailSamples;
  }
  while (silent - audible > 1.0)
  {
    const double mid = std::floor(0.5 * (audible + silent));
    (echo(mid) >= floor ? audible : silent) = mid;
  }

  // Each pass lasts the read offset plus the output filter's group delay, at
  // the slowest clock; the echoes ride on the filters' ring.
  double groupDelay = 0.0;
  for (int i = 0; i <= 256; ++i)
    groupDelay = std::max(groupDelay, filter.groupDelay(kPi * i / 256.0));
  const double ringTicks = (kFloorNepers + std::log(silent)) / filter.ringDecay();
  const double echoSamples = samplesForTicks(loop, silent * (loop.readOffset + groupDelay) + ringTicks);
  const double inputPathSamples = ringTicks + groupDelay + 4.0;
  const double tail = std::ceil(echoSamples + inputPathSamples);
  if (!(tail < static_cast<double>(kInfiniteTailSamples)))
    return kInfiniteTailSamples;
  return static_cast<uint32_t>(tail);
}
