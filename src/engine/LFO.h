#pragma once
#include <cstdint>

#include "engine/TimeInfo.h"

// Raised-cosine modulator of the delay clock, advanced once per control step.
// Free-running in Hz, or locked to the host tempo with its phase pulled onto
// the sixteenth-note grid while the transport plays.
class LFO
{
public:
  LFO() = default;

  void setSampleRate(double sampleRate, double controlInterval);
  void reset();
  void update();
  void synchronize(const ITimeInfo* transport);
  void setRate(double hz);
  void setSyncRate(int index);
  void setSync(bool on);

  double getValue() const { return value; }
  double getPhase() const { return phase; }
  double getPhaseIncrement() const { return phaseIncrement; }
  double getUpdateRate() const { return updateRate; }
  int32_t getSyncRateIndex() const { return syncRateIndex; }
  bool isSynced() const { return sync; }

private:
  double value = 0.0;
  double sampleRate = 44100.0;
  double updateRate = 44100.0 / 44.0;
  bool sync = false;
  int32_t syncRateIndex = 10;
  double phase = -kTwoPi;
  double phaseIncrement = 0.0;
  double rate = 0.0;

  static constexpr double kTwoPi = 6.283185307179586;
};
