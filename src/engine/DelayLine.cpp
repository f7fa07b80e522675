#include "engine/DelayLine.h"

#include "params/ProductFacts/DelayRanges.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "engine/Interpolation.h"

namespace
{
// Two lanes, left and right. GCC's vector extension maps this onto SSE2 and
// keeps IEEE semantics per lane (no contraction: see the build flags).
typedef double v2d __attribute__((vector_size(16)));

inline v2d splat(double x) { return v2d{x, x}; }

inline v2d loadPair(const double* p)
{
  v2d v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void storePair(double* p, v2d v) { std::memcpy(p, &v, sizeof v); }

// A lane that is NaN reads as exactly 0, any other as x + d.
inline v2d nanToZeroPlus(v2d x, v2d d)
{
  return (x == x) ? x + d : splat(0.0);
}

inline v2d limit(v2d x, v2d lo, v2d hi)
{
  x = (x < lo) ? lo : x;
  return (x > hi) ? hi : x;
}

// A left/right pair of LowPass2 run in lock step with shared coefficients.
struct FilterPair
{
  v2d a1, a2, b0, b1;
  v2d x1, x2, y1, y2, offset;

  void load(const LowPass2& left, const LowPass2& right)
  {
    const LowPass2::Coefficients c = left.getCoefficients();
    a1 = splat(c.a1);
    a2 = splat(c.a2);
    b0 = splat(c.b0);
    b1 = splat(c.b1);
    const LowPass2::State l = left.getState();
    const LowPass2::State r = right.getState();
    x1 = v2d{l.x1, r.x1};
    x2 = v2d{l.x2, r.x2};
    y1 = v2d{l.y1, r.y1};
    y2 = v2d{l.y2, r.y2};
    offset = v2d{l.offset, r.offset};
  }

  void store(LowPass2& left, LowPass2& right) const
  {
    left.setState({x1[0], x2[0], y1[0], y2[0], offset[0]});
    right.setState({x1[1], x2[1], y1[1], y2[1], offset[1]});
  }

  v2d process(v2d x)
  {
    const v2d d = offset;
    const v2d xw = nanToZeroPlus(x, d);
    const v2d x1w = nanToZeroPlus(x1, d);
    const v2d x2w = nanToZeroPlus(x2, d);
    const v2d y1w = nanToZeroPlus(y1, d);
    const v2d y2w = nanToZeroPlus(y2, d);
    offset = -d;
    const v2d y = b0 * (xw + x2w) + b1 * x1w + a1 * y1w + a2 * y2w;
    x2 = x1w;
    x1 = xw;
    y2 = y1w;
    y1 = y;
    return y;
  }
};
} // namespace

DelayLine::DelayLine() = default;
DelayLine::~DelayLine() = default;

void DelayLine::setClockStep(double step)
{
  // The tick loop only ends for a step inside this range; the control logic
  // never leaves it, this only guards the loop.
  if (!(step >= 0.125)) step = step > 1.0 ? 1.0 : 0.125;
  if (step > 1.0) step = 1.0;
  clockStep = step;
  clockStepInverse = 1.0 / step;
}

void DelayLine::setQuality(double value)
{
  quality = value;
  // Quality 1 is the open 6 kHz Butterworth; lower settings darken the line
  // and add a little resonance, as a worn bucket brigade does.
  const double cutoff = DelayRanges::qualityCutoffHz(value);
  const double q = DelayRanges::qualityResonance(value);
  inputFilterLeft.setParams(cutoff, q);
  inputFilterRight.setParams(cutoff, q);
  outputFilterLeft.setParams(cutoff, q);
  outputFilterRight.setParams(cutoff, q);
}

void DelayLine::setMix(double value)
{
  // Equal power: dry² + wet² = 1.
  dryGain = std::sqrt(1.0 - value);
  wetGain = std::sqrt(value);
}

bool DelayLine::rebuild(double newSampleRate)
{
  sampleRate = newSampleRate;
  // Below 1 kHz the integer division would give 0; one frame keeps the
  // control step, the LFO rate and queued MIDI finite and due.
  const double whole = std::isfinite(newSampleRate) ? std::trunc(newSampleRate) : 0.0;
  const double interval = whole / 1000.0 >= 1.0 ? std::trunc(whole / 1000.0) : 1.0;
  controlInterval = interval < 1e6 ? static_cast<int32_t>(interval) : 1000000;

  buffer.reset();
  bufferLength = 0;

  const int32_t length = DelayRanges::bufferLengthFor(newSampleRate);
  if (length > 0)
  {
    buffer.reset(new (std::nothrow) double[static_cast<size_t>(length) * 2]());
    if (buffer)
      bufferLength = length;
  }
  // A rate that calls for buffers and did not get them (a length the 32-bit
  // indices cannot address is as unusable as a failed allocation) is not
  // taken as built, so that the next reset tries again.
  const bool wantsBuffer =
      std::isfinite(newSampleRate) && newSampleRate * DelayRanges::kLongestDelaySeconds >= 1.0;
  if (wantsBuffer && !buffer)
    sampleRate = std::numeric_limits<double>::quiet_NaN();

  writeIndex = 0;
  clockStepInverse = 1.0;
  clockPhase = 0.0;
  clockStep = 1.0;
  controlCountdown = 0;
  inputFilterLeft.reset(sampleRate);
  inputFilterRight.reset(sampleRate);
  outputFilterLeft.reset(sampleRate);
  outputFilterRight.reset(sampleRate);
  if (readOffset > bufferLength)
    readOffset = bufferLength;
  return bufferLength > 0 || !wantsBuffer;
}

double DelayLine::bufferAt(int channel, int32_t index) const
{
  if (!buffer || index < 0 || index >= bufferLength)
    return 0.0;
  return buffer[static_cast<size_t>(index) * 2 + (channel ? 1 : 0)];
}

void DelayLine::process(double* const* inputs, double* const* outputs, int nFrames, ControlStep& control)
{
  if (!hasBuffer())
  {
    for (int c = 0; c < 2; ++c)
      if (outputs[c] && nFrames > 0)
        std::memset(outputs[c], 0, sizeof(double) * static_cast<size_t>(nFrames));
    return;
  }

  int done = 0;
  while (done < nFrames)
  {
    if (controlCountdown <= 0)
    {
      controlCountdown = controlInterval;
      control.controlStep(done);
    }
    const int count = controlCountdown < nFrames - done ? controlCountdown : nFrames - done;
    if (frozen)
      processChunk<true>(inputs, outputs, done, count);
    else
      processChunk<false>(inputs, outputs, done, count);
    controlCountdown -= count;
    done += count;
  }
}

template <bool Frozen>
void DelayLine::processChunk(double* const* inputs, double* const* outputs, int start, int count)
{
  // Settings are taken once per chunk: a chunk never spans a control step,
  // and changes from other threads take effect within a millisecond.
  FilterPair inFilter, outFilter;
  inFilter.load(inputFilterLeft, inputFilterRight);
  outFilter.load(outputFilterLeft, outputFilterRight);

  v2d ih0 = loadPair(inputHistory[0]), ih1 = loadPair(inputHistory[1]);
  v2d ih2 = loadPair(inputHistory[2]), ih3 = loadPair(inputHistory[3]);
  v2d oh0 = loadPair(outputHistory[0]), oh1 = loadPair(outputHistory[1]);
  v2d oh2 = loadPair(outputHistory[2]), oh3 = loadPair(outputHistory[3]);

  const int32_t length = bufferLength;
  int32_t offset = readOffset;
  if (offset < 0) offset = 0;
  if (offset > length) offset = length;
  int32_t write = writeIndex;
  double phase = clockPhase;
  const double step = clockStep;
  const double stepInverse = clockStepInverse;
  const v2d fb = splat(feedback);
  const v2d dry = splat(dryGain);
  const v2d wet = splat(wetGain);
  constexpr double bound = DelayRanges::kFeedbackLimit;
  const v2d limitLo = splat(Frozen ? -bound * quality : -bound);
  const v2d limitHi = splat(Frozen ? bound * quality : bound);
  double* const buf = buffer.get();

  const double* inL = inputs[0];
  const double* inR = inputs[1];
  double* outL = outputs[0];
  double* outR = outputs[1];

  for (int i = start; i < start + count; ++i)
  {
    // Both inputs are read before either output is written (in-place safe).
    const v2d in = v2d{inL[i], inR[i]};
    const v2d filtered = inFilter.process(in);
    ih0 = ih1;
    ih1 = ih2;
    ih2 = ih3;
    ih3 = filtered;

    while (phase < 1.0)
    {
      write = write > 0 ? write - 1 : length - 1;
      int32_t read = write + offset;
      if (read >= length)
        read -= length;
      const v2d y = outFilter.process(loadPair(buf + static_cast<size_t>(read) * 2));
      oh0 = oh1;
      oh1 = oh2;
      oh2 = oh3;
      oh3 = y;
      v2d value;
      if constexpr (Frozen)
        value = limit(y, limitLo, limitHi);
      else
        value = cubicInterpolate(ih0, ih1, ih2, ih3, phase) + fb * limit(y, limitLo, limitHi);
      storePair(buf + static_cast<size_t>(write) * 2, value);
      phase = phase + step;
    }
    phase = phase - 1.0;
    const double b = 1.0 - phase * stepInverse;
    const v2d out = in * dry + cubicInterpolate(oh0, oh1, oh2, oh3, b) * wet;
    outL[i] = out[0];
    outR[i] = out[1];
  }

  writeIndex = write;
  clockPhase = phase;
  inFilter.store(inputFilterLeft, inputFilterRight);
  outFilter.store(outputFilterLeft, outputFilterRight);
  storePair(inputHistory[0], ih0);
  storePair(inputHistory[1], ih1);
  storePair(inputHistory[2], ih2);
  storePair(inputHistory[3], ih3);
  storePair(outputHistory[0], oh0);
  storePair(outputHistory[1], oh1);
  storePair(outputHistory[2], oh2);
  storePair(outputHistory[3], oh3);
}
