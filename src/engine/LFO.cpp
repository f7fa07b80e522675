#include "engine/LFO.h"

#include <cmath>

#include "params/ProductFacts/SyncRates.h"

void LFO::setSampleRate(double newSampleRate, double controlInterval)
{
  if (newSampleRate == sampleRate)
    return;
  sampleRate = newSampleRate;
  // The engine never passes an interval below 1, so the update rate stays
  // finite even at sample rates below 1 kHz.
  updateRate = sampleRate / (controlInterval >= 1.0 ? controlInterval : 1.0);
  phase = -kTwoPi;
}

void LFO::reset()
{
  phase = -kTwoPi;
}

void LFO::update()
{
  value = 0.5 * (1.0 + std::cos(phase));
  phase = phase + phaseIncrement;
  // Also catches a NaN phase, which would otherwise stick forever.
  if (!(phase < kTwoPi))
    phase = -kTwoPi;
}

void LFO::setRate(double hz)
{
  rate = hz;
  phaseIncrement = hz * kTwoPi / updateRate;
}

void LFO::setSyncRate(int index)
{
  if (index < 0) index = 0;
  if (index >= kNumSyncRates) index = kNumSyncRates - 1;
  syncRateIndex = index;
}

void LFO::setSync(bool on)
{
  sync = on;
  if (!on)
    phaseIncrement = rate * kTwoPi / updateRate;
}

void LFO::synchronize(const ITimeInfo* transport)
{
  if (!transport)
    return;
  const double sixteenthsPerCycle = kLFOSyncRates[syncRateIndex].quarterNotes * 4.0;
  const double tempo = std::round(transport->tempo * 1000.0) * 0.001;
  // A stopped, negative or nonsensical host tempo runs the LFO at 120.
  const double twoPiTempo = (tempo > 0.0 && std::isfinite(tempo)) ? kTwoPi * tempo : kTwoPi * 120.0;
  phaseIncrement = twoPiTempo / (15.0 * sixteenthsPerCycle * updateRate);

  if (!transport->transportRunning)
    return;
  const double hostSixteenths = 4.0 * transport->ppqPosition;
  const double fraction = hostSixteenths - std::floor(hostSixteenths);
  const double ownSixteenths = sixteenthsPerCycle * phase / kTwoPi;
  const double nearest = std::floor(ownSixteenths + 0.5);
  double candidate = nearest + fraction;
  if (ownSixteenths < nearest)
    candidate -= 1.0;
  const double candidatePhase = candidate * kTwoPi / sixteenthsPerCycle;
  // Only ever forward: a backwards jump would be an audible glitch.
  if (candidatePhase > phase)
    phase = candidatePhase;
}
