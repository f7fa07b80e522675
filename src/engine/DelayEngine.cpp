#include "engine/DelayEngine.h"

#include <cmath>

#include "engine/SyncTables.h"
#include "params/DelayParameters.h"

namespace
{
// Longest delay of range k is 2000 ms / 4^k; the shortest is an eighth of it.
double rangeMaxMsFor(int k) { return std::ldexp(2000.0, -2 * k); }

// The deepest range whose read offset is still at least one tick. Without a
// buffer yet, the shift width of the type is the only limit.
int deepestRange(int32_t bufferLength)
{
  int k = 15;
  if (bufferLength > 0)
    while (k > 0 && (bufferLength >> (2 * k)) < 1)
      --k;
  return k;
}
} // namespace

void DelayEngine::applyParameter(int paramIdx, double v, double normalized)
{
  switch (paramIdx)
  {
    case kRange:
      range = static_cast<int32_t>(std::round(v));
      setTimeParameters();
      break;
    case kTime:
      timeValue = v;
      syncIndex = delaySyncRowForTime(v);
      setTimeParameters();
      break;
    case kFeedback:
      delayLine.setFeedback(v);
      break;
    case kLFOSpeed:
      lfo.setRate(v);
      lfo.setSyncRate(lfoSyncIndexForNormalized(normalized));
      break;
    case kLFODepth:
      lfoDepth = v;
      break;
    case kMix:
      mix = v;
      delayLine.setMix(v);
      break;
    case kQuality:
      delayLine.setQuality(v);
      break;
    case kDelaySync:
      delaySync = v >= 0.5;
      setTimeParameters();
      break;
    case kLFOSync:
      lfoSync = v >= 0.5;
      lfo.setSync(lfoSync);
      changes |= kRateDisplayChanged;
      break;
    default:
      break;
  }
}

void DelayEngine::reset(double sampleRate)
{
  if (!(sampleRate == delayLine.getSampleRate()))
  {
    delayLine.rebuild(sampleRate);
    lfo.setSampleRate(sampleRate, delayLine.getControlInterval());
    setTimeParameters();
  }
  releaseFreeze();
}

void DelayEngine::setTimeParameters()
{
  const int32_t bufferLength = delayLine.getBufferLength();
  const int deepest = deepestRange(bufferLength);

  if (delaySync)
  {
    const double tempo = transport.tempo;
    const double noteMs = 60000.0 / tempo * kDelaySyncRates[static_cast<size_t>(syncIndex)].quarterNotes;
    // Without a usable tempo there is no note length: keep the last delay.
    if (!(tempo > 0.0) || !std::isfinite(tempo) || !std::isfinite(noteMs))
    {
      lastTempo = tempo;
      return;
    }
    lastTempo = tempo;
    syncedDelayMs = noteMs;
    double ms = noteMs;
    while (ms > 2000.0)
      ms *= 0.5;
    int k = 0;
    while (k < deepest && rangeMaxMsFor(k) / 8.0 > ms)
      ++k;
    rangeIndex = k;
    rangeMaxMs = rangeMaxMsFor(k);
    rangeMinMs = rangeMaxMs * 0.125;
    delayLine.setReadOffset(bufferLength >> (2 * k));
    const double fraction = (ms - rangeMinMs) / (rangeMaxMs - rangeMinMs);
    // Only a tempo beyond any musical use reaches below the deepest range.
    timeFraction = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
  }
  else
  {
    const int k = 4 - (range < 0 ? 0 : range > 4 ? 4 : range);
    rangeIndex = k;
    delayLine.setReadOffset(bufferLength >> (2 * k));
    rangeMaxMs = rangeMaxMsFor(k);
    rangeMinMs = rangeMaxMs * 0.125;
    timeFraction = timeValue;
  }
  changes |= kTimeDisplayChanged;
}

void DelayEngine::updateDelay()
{
  const double u = lfo.getValue();
  const double step = 0.125 + 0.875 * (timeFraction + lfoDepth * (std::exp2(u) - 1.0 - timeFraction));
  delayLine.setClockStep(step);
}

void DelayEngine::toggleFreeze()
{
  frozen = !frozen;
  delayLine.setFrozen(frozen);
  changes |= kFreezeChanged;
}

void DelayEngine::releaseFreeze()
{
  frozen = false;
  delayLine.setFrozen(false);
  changes |= kFreezeChanged;
}

void DelayEngine::syncToHost()
{
  if (lfoSync)
  {
    lfo.synchronize(&transport);
    if (transport.transportRunning != lastTransportRunning)
    {
      lastTransportRunning = transport.transportRunning;
      if (lastTransportRunning)
        lfo.reset();
    }
  }
  if (delaySync && !(transport.tempo == lastTempo))
    setTimeParameters();
}

void DelayEngine::process(double** inputs, double** outputs, int nFrames, ControlListener* controlListener)
{
  if (delayLine.hasBuffer())
    syncToHost();
  listener = controlListener;
  delayLine.process(inputs, outputs, nFrames, *this);
  listener = nullptr;
}

void DelayEngine::controlStep(int frame)
{
  if (listener)
    listener->beforeControlStep(frame);
  lfo.update();
  updateDelay();
}
