#pragma once
#include <cstdint>
#include <memory>

#include "engine/LowPass2.h"

// The clocked analog delay line: each channel is band-limited, sampled by a
// clock running at one to eight times the sample rate into a two-second
// circular buffer, read back through a second low-pass and interpolated onto
// the host's sample grid, then mixed with the dry input.
//
// The two channels share clock, indices and settings, so they are processed
// as one two-lane vector: the left lane and the right lane never mix, and each
// lane computes exactly what a scalar reading of the algorithm computes.
class DelayLine
{
public:
  // Runs once every control interval, at the start of a frame; it may change
  // any setting of the line (clock step, feedback, freeze, ...).
  class ControlStep
  {
  public:
    virtual ~ControlStep() = default;
    // frame: where in the block being processed the step runs.
    virtual void controlStep(int frame) = 0;
  };

  static constexpr double kMaxDelaySeconds = 2.0;

  DelayLine();
  ~DelayLine();
  DelayLine(const DelayLine&) = delete;
  DelayLine& operator=(const DelayLine&) = delete;

  // Builds buffers, clock and filters for a sample rate. Returns false, and
  // leaves the line without a buffer, when the buffers cannot be had.
  bool rebuild(double sampleRate);
  bool hasBuffer() const { return bufferLength > 0; }

  // Processes nFrames stereo frames. Inputs and outputs may be the same
  // memory. Writes silence when there is no buffer.
  void process(double* const* inputs, double* const* outputs, int nFrames, ControlStep& control);

  void setReadOffset(int32_t ticks) { readOffset = ticks; }
  void setClockStep(double step);
  void setFeedback(double value) { feedback = value; }
  void setQuality(double value);
  void setMix(double value);
  void setFrozen(bool on) { frozen = on; }

  int32_t getBufferLength() const { return bufferLength; }
  int32_t getReadOffset() const { return readOffset; }
  int32_t getControlInterval() const { return controlInterval; }
  int32_t getWriteIndex() const { return writeIndex; }
  double getClockStep() const { return clockStep; }
  double getClockPhase() const { return clockPhase; }
  double getSampleRate() const { return sampleRate; }
  double getFeedback() const { return feedback; }
  double getQuality() const { return quality; }
  double getDryGain() const { return dryGain; }
  double getWetGain() const { return wetGain; }
  bool isFrozen() const { return frozen; }
  const LowPass2& getInputFilter(int channel) const { return channel == 0 ? inputFilterLeft : inputFilterRight; }
  // Value at a buffer position (0..bufferLength-1), for inspection.
  double bufferAt(int channel, int32_t index) const;

  struct Frame; // two-lane sample, defined in the implementation

private:
  template <bool Frozen>
  void processChunk(double* const* inputs, double* const* outputs, int start, int count);

  LowPass2 inputFilterLeft, inputFilterRight;
  LowPass2 outputFilterLeft, outputFilterRight;
  // Histories hold left and right side by side: element 0 oldest.
  alignas(16) double inputHistory[4][2] = {};
  alignas(16) double outputHistory[4][2] = {};
  // Both channels interleaved: the left and right value of a position sit
  // next to each other, so one tick reads and writes one 16-byte pair.
  std::unique_ptr<double[]> buffer;
  int32_t bufferLength = 0;
  int32_t writeIndex = 0;
  int32_t readOffset = 0;
  double clockPhase = 0.0;
  double clockStep = 1.0;
  double clockStepInverse = 1.0;
  bool frozen = false;
  double feedback = 0.0;
  double quality = 1.0;
  double dryGain = 1.0;
  double wetGain = 0.0;
  double sampleRate = 0.0;
  int32_t controlInterval = 1;
  int32_t controlCountdown = 0;
};
