#pragma once
#include <cstdint>

#include "engine/DelayLine.h"
#include "engine/LFO.h"
#include "engine/TimeInfo.h"

// Everything the effect's sound is made of, and how the parameter values map
// onto it: the delay line, the LFO, the delay range and time derived from
// Range, Time and the host tempo, mix, feedback, quality and freeze.
//
// One thread owns an engine: the audio thread while processing runs, the
// thread that sets processing up while it does not. Nothing here is safe to
// call from a second thread at the same time, and nothing needs to be: other
// threads reach the engine through the instance's pending-change queue.
class DelayEngine : private DelayLine::ControlStep
{
public:
  // Runs at the start of every control step, before the LFO and the clock
  // are updated; frame is the step's position in the current block.
  class ControlListener
  {
  public:
    virtual ~ControlListener() = default;
    virtual void beforeControlStep(int frame) = 0;
  };

  // What changed that a display shows, collected until takeChanges().
  enum Change : uint32_t
  {
    kTimeDisplayChanged = 1u << 0,
    kRateDisplayChanged = 1u << 1,
    kFreezeChanged = 1u << 2,
  };

  explicit DelayEngine(const ITimeInfo& transport) : transport(transport) {}

  // A parameter's new value: plain, and normalised for the LFO's sync rate.
  void applyParameter(int paramIdx, double value, double normalized);

  // Rebuilds for a new sample rate (when it differs) and releases freeze.
  void reset(double sampleRate);

  void setTimeParameters();
  void updateDelay();
  void toggleFreeze();
  void releaseFreeze();
  // Block start: LFO lock to the host, and a tempo change in sync mode.
  void syncToHost();
  void process(double** inputs, double** outputs, int nFrames, ControlListener* listener);

  uint32_t takeChanges()
  {
    const uint32_t c = changes;
    changes = 0;
    return c;
  }

  const DelayLine& getDelayLine() const { return delayLine; }
  const LFO& getLFO() const { return lfo; }
  int32_t getControlInterval() const { return delayLine.getControlInterval(); }
  bool isFrozen() const { return frozen; }
  int32_t getRangeIndex() const { return rangeIndex; }
  int32_t getSyncIndex() const { return syncIndex; }
  bool isDelaySynced() const { return delaySync; }
  bool isLFOSynced() const { return lfoSync; }
  double getTimeFraction() const { return timeFraction; }
  double getRangeMinMs() const { return rangeMinMs; }
  double getRangeMaxMs() const { return rangeMaxMs; }
  double getSyncedDelayMs() const { return syncedDelayMs; }
  double getLFODepth() const { return lfoDepth; }
  double getLastTempo() const { return lastTempo; }

private:
  void controlStep(int frame) override;
  void glideQuality();

  const ITimeInfo& transport;
  ControlListener* listener = nullptr;
  uint32_t changes = 0;

  DelayLine delayLine;
  LFO lfo;
  bool lastTransportRunning = false;
  bool frozen = false;
  int32_t rangeIndex = 0;
  int32_t syncIndex = 7;
  bool delaySync = false;
  bool lfoSync = false;
  double lastTempo = 0.0;
  double timeFraction = 0.0;
  double rangeMinMs = 0.0;
  double rangeMaxMs = 0.0;
  double syncedDelayMs = 500.0;
  int32_t range = 0;
  double timeValue = 0.0;
  double mix = 0.0;
  double lfoDepth = 0.0;
  // Quality as the parameter says; the filters glide there once audio has
  // run through buffers that may hold sound.
  double qualityTarget = 1.0;
  bool audioHasRun = false;
};
