#include "engine/DelayEngine.h"

#include <algorithm>
#include <cmath>

#include "params/DelayParameters.h"
#include "params/ProductFacts/DelayRanges.h"
#include "params/ProductFacts/SyncRates.h"

using namespace DelayRanges;

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
      qualityTarget = v;
      if (!audioHasRun)
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
    // The new buffers are silent: what the settings say applies at once.
    audioHasRun = false;
    delayLine.setQuality(qualityTarget);
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
    lastTempo = transport.tempo;
    SyncedDelay synced;
    // Without a usable tempo there is no note length: keep the last delay.
    if (!syncedDelayFor(lastTempo, kDelaySyncRates[static_cast<size_t>(syncIndex)].quarterNotes, deepest, synced))
      return;
    syncedDelayMs = synced.noteMs;
    const int k = synced.rangeIndex;
    rangeIndex = k;
    rangeMaxMs = DelayRanges::rangeMaxMs(k);
    rangeMinMs = DelayRanges::rangeMinMs(k);
    delayLine.setReadOffset(readOffsetFor(bufferLength, k));
    timeFraction = synced.timeFraction;
  }
  else
  {
    const int k = rangeIndexForRange(range);
    rangeIndex = k;
    delayLine.setReadOffset(readOffsetFor(bufferLength, k));
    rangeMaxMs = DelayRanges::rangeMaxMs(k);
    rangeMinMs = DelayRanges::rangeMinMs(k);
    timeFraction = timeValue;
  }
  changes |= kTimeDisplayChanged;
}

void DelayEngine::updateDelay()
{
  const double u = lfo.getValue();
  delayLine.setClockStep(clockStepFor(timeFraction, lfoDepth, u));
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
  audioHasRun = audioHasRun || (nFrames > 0 && delayLine.hasBuffer());
}

void DelayEngine::controlStep(int frame)
{
  if (listener)
    listener->beforeControlStep(frame);
  lfo.update();
  updateDelay();
  glideQuality();
}

void DelayEngine::glideQuality()
{
  // At most one glide step towards the parameter's value per control step.
  const double current = delayLine.getQuality();
  if (current != qualityTarget)
    delayLine.setQuality(std::clamp(qualityTarget, current - kQualityGlidePerControlStep,
                                    current + kQualityGlidePerControlStep));
}
