#pragma once
#include <cstdint>

#include "clap/audio-buffer.h"
#include "plugin/IEffectAudioRunner.h"

class IEffectProcessor;

// Hands a CLAP block's audio to the instance as double-precision stereo:
// the channels of the first input and output ports, run through the
// shared scratch buffers. The scratch buffers are sized at activation
// (main thread); Run is for the audio thread and never allocates.
class ClapAudio
{
public:
  static constexpr int kChannels = IEffectAudioRunner::kChannels;

  // Main thread, while processing is stopped.
  void SetMaxBlockSize(int maxFrames) { runner.SetMaxBlockSize(maxFrames); }

  // Audio thread. Missing inputs are silence; outputs the instance leaves
  // unwritten are silence. While bypassed the inputs are copied through.
  void Run(IEffectProcessor& effect, const clap_audio_buffer_t* inputs, uint32_t inputCount,
           const clap_audio_buffer_t* outputs, uint32_t outputCount, int frames, bool bypassed);

private:
  IEffectAudioRunner runner;
};
