#pragma once
#include <cmath>
#include <cstdint>

// How the delay line's settings become times: five ranges, each a quarter as
// long as the next, a two-second buffer, and the clock step that moves the
// delay from an eighth of the range's top to the top.
namespace DelayRanges
{
inline constexpr double kLongestDelayMs = 2000.0;
inline constexpr int kNumRanges = 5;
// The shortest clock step: the clock runs at most eight times the sample rate.
inline constexpr double kMinClockStep = 0.125;

// Longest delay of range index k (0 the longest range, 4 the shortest), in ms.
inline double rangeMaxMs(int k) { return std::ldexp(kLongestDelayMs, -2 * k); }
inline double rangeMinMs(int k) { return rangeMaxMs(k) * kMinClockStep; }

// Range index of a Range parameter value (0 shortest .. 4 longest).
inline int rangeIndexForRange(int range)
{
  return kNumRanges - 1 - (range < 0 ? 0 : range > kNumRanges - 1 ? kNumRanges - 1 : range);
}

// Shortest and longest delay of a Range parameter value, in milliseconds.
inline void rangeBoundsMs(double range, double& lo, double& hi)
{
  hi = kLongestDelayMs * std::pow(2.0, -2.0 * (kNumRanges - 1 - range));
  lo = kMinClockStep * hi;
}

// Values in each delay buffer at a sample rate: two seconds of samples, or
// 0 where that is under one value or more than 32-bit indices can address
// in a stereo pair.
inline constexpr double kLongestDelaySeconds = kLongestDelayMs / 1000.0;
inline int32_t bufferLengthFor(double sampleRate)
{
  const double length = std::isfinite(sampleRate) ? std::trunc(sampleRate * kLongestDelaySeconds) : 0.0;
  return length >= 1.0 && length <= static_cast<double>(INT32_MAX / 2) ? static_cast<int32_t>(length) : 0;
}

// Clock ticks a value stays in the buffer in range index k.
inline int32_t readOffsetFor(int32_t bufferLength, int k) { return bufferLength >> (2 * k); }

// The deepest range index whose read offset is still at least one tick.
// Without a buffer yet, the shift width of the type is the only limit.
inline int deepestRange(int32_t bufferLength)
{
  int k = 15;
  if (bufferLength > 0)
    while (k > 0 && (bufferLength >> (2 * k)) < 1)
      --k;
  return k;
}

// A tempo-synced note, in ms: halved until it fits the longest range.
inline double foldIntoLongestRange(double noteMs)
{
  double ms = noteMs;
  while (ms > kLongestDelayMs)
    ms *= 0.5;
  return ms;
}

// The range index that holds a folded note: the longest range whose
// shortest delay is not above it, but no deeper than `deepest`.
inline int rangeIndexHolding(double ms, int deepest)
{
  int k = 0;
  while (k < deepest && rangeMaxMs(k) / 8.0 > ms)
    ++k;
  return k;
}

// Where a tempo-synced note puts the delay: the note's length, the range
// index that holds it (folded into the longest range when longer) and the
// position in that range. False when the tempo gives no note length (not
// positive or not finite); the delay then stays where it was.
struct SyncedDelay
{
  double noteMs = 0.0;
  int rangeIndex = 0;
  double timeFraction = 0.0;
};
inline bool syncedDelayFor(double tempo, double quarterNotes, int deepest, SyncedDelay& out)
{
  const double noteMs = 60000.0 / tempo * quarterNotes;
  if (!(tempo > 0.0) || !std::isfinite(tempo) || !std::isfinite(noteMs))
    return false;
  const double ms = foldIntoLongestRange(noteMs);
  const int k = rangeIndexHolding(ms, deepest);
  const double fraction = (ms - rangeMinMs(k)) / (rangeMaxMs(k) - rangeMinMs(k));
  out.noteMs = noteMs;
  out.rangeIndex = k;
  // Only a tempo beyond any musical use reaches below the deepest range.
  out.timeFraction = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
  return true;
}

// Input-sample periods per clock tick for a position in the range, with the
// LFO's output u (0..1) bending it by depth (0..1).
inline double clockStepFor(double timeFraction, double lfoDepth, double lfoOutput)
{
  return kMinClockStep +
         (1.0 - kMinClockStep) * (timeFraction + lfoDepth * (std::exp2(lfoOutput) - 1.0 - timeFraction));
}

// The filters' cutoff and resonance for a Quality value: Quality 1 is the
// open 6 kHz Butterworth; lower settings darken the line and add resonance.
inline double qualityCutoffHz(double quality) { return 6000.0 * quality; }
inline double qualityResonance(double quality) { return 0.7071067811865476 + 0.19289321881345245 * (1.0 - quality); }
// Once audio runs, Quality moves towards a new value by at most this much
// per control step (a millisecond; 50 ms from one end to the other). The
// filters' recursions carry their past outputs into new coefficients, and
// a jump from open to dark while the line is loud rang them up to ten times
// louder than any setting held still can make it: a thump from a learnt
// knob or stepped automation. Gliding this fast keeps it inside.
inline constexpr double kQualityGlidePerControlStep = 0.02;

// Feedback is limited to this size before its gain, in the loop.
inline constexpr double kFeedbackLimit = 3.0;
} // namespace DelayRanges
