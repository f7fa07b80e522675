#pragma once
#include <vector>

#include "clap/audio-buffer.h"

class IEffectProcessor;

// Hands a CLAP block's audio to the instance as double-precision stereo:
// 32-bit buffers through scratch buffers, 64-bit ones directly where the
// host's input and output are different buffers. The scratch buffers are
// sized at activation (main thread); Run is for the audio thread and never
// allocates.
class ClapAudio
{
public:
  static constexpr int kChannels = 2;
  // Longer blocks are processed in pieces of the scratch length.
  static constexpr int kMinScratchFrames = 64;
  static constexpr int kMaxScratchFrames = 8192;

  ClapAudio();
  // Main thread, while processing is stopped.
  void SetMaxBlockSize(int maxFrames);

  // Audio thread. Missing inputs are silence; outputs the instance leaves
  // unwritten are silence. While bypassed the inputs are copied through.
  void Run(IEffectProcessor& effect, const clap_audio_buffer_t* inputs, uint32_t inputCount,
           const clap_audio_buffer_t* outputs, uint32_t outputCount, int frames, bool bypassed);

private:
  template <typename Sample>
  void run(IEffectProcessor& effect, Sample* const* hostIn, Sample* const* hostOut, int frames, bool bypassed);

  std::vector<double> scratch; // kChannels inputs then kChannels outputs
  int scratchFrames = 0;
};
