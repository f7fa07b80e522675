#pragma once
#include <atomic>
#include <cstdint>

#include "engine/TimeInfo.h"
#include "plugin/IMidiMsg.h"

// The audio side of an effect as the host binding drives it: sample rate,
// block size, transport, bypass and the per-block callbacks.
class IEffectProcessor
{
public:
  virtual ~IEffectProcessor() = default;

  // Audio thread: one block of double-precision stereo audio. An input may
  // be the same buffer as an output (a host processing in place): every
  // frame's inputs are read before that frame's outputs are written.
  virtual void ProcessBlock(double** inputs, double** outputs, int nFrames) = 0;
  // Audio thread: each MIDI message of a block, before ProcessBlock.
  virtual void ProcessMidiMsg(const IMidiMsg&) {}
  // Audio thread: each system-exclusive message of a block.
  virtual void ProcessSysEx(const ISysEx&) {}
  // Setup thread: after a new processing setup and when processing stops.
  virtual void OnReset() {}
  // Audio thread, at the start of every process call before the block's own
  // parameter changes: takes up what other threads posted since the last
  // block. Also the setup thread, while processing is stopped.
  virtual void ApplyPendingChanges() {}
  // Setup thread: the component was activated or deactivated.
  virtual void OnActivate(bool) {}

  // A host's event time moved into a block of nFrames samples: times before
  // it are its first frame, times past it its last. Offsets are only ever
  // added to and compared, and a host's stray value near the ends of its
  // integer range would overflow there.
  static int32_t OffsetInBlock(int64_t time, int64_t nFrames)
  {
    if (time < 0 || nFrames <= 0)
      return 0;
    return static_cast<int32_t>(time < nFrames ? time : nFrames - 1);
  }

  double GetSampleRate() const { return sampleRate; }
  void SetSampleRate(double rate) { sampleRate = rate; }
  int GetBlockSize() const { return blockSize; }
  void SetBlockSize(int size) { blockSize = size; }
  int GetLatency() const { return 0; }
  // Any thread: samples the output goes on sounding after the input falls
  // silent, for the current settings; kInfiniteTail when it never ends.
  static constexpr uint32_t kInfiniteTail = 0xFFFFFFFFu;
  virtual uint32_t GetTailSize() const { return 0; }
  bool GetBypassed() const { return bypassed; }
  void SetBypassed(bool on) { bypassed = on; }
  bool GetRenderingOffline() const { return renderingOffline; }
  void SetRenderingOffline(bool on) { renderingOffline = on; }
  ITimeInfo& GetTimeInfo() { return timeInfo; }
  const ITimeInfo& GetTimeInfo() const { return timeInfo; }

protected:
  double sampleRate = 48000.0;
  int blockSize = 0;
  std::atomic<bool> bypassed{false};  // written by the audio thread, read by getState
  bool renderingOffline = false;
  ITimeInfo timeInfo;
};
