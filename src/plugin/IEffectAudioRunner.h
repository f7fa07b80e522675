#pragma once
#include <vector>

class IEffectProcessor;

// Runs the instance's double-precision stereo block on a host's channel
// buffers of float or double: float channels, missing channels and outputs
// go through scratch buffers, double channels are handed over directly.
// Blocks longer than the scratch are processed in pieces. The scratch is
// sized on the setup thread; Run is for the audio thread and never
// allocates or locks.
class IEffectAudioRunner
{
public:
  static constexpr int kChannels = 2;
  // Blocks beyond this length are processed in pieces rather than growing
  // the scratch without bound; a host's tiny or missing maximum does not
  // shrink it below the minimum, which would only cost calls.
  static constexpr int kMinScratchFrames = 64;
  static constexpr int kMaxScratchFrames = 8192;

  IEffectAudioRunner();

  // Setup thread, while processing is stopped: sizes the scratch buffers
  // for blocks of up to maxFrames.
  void SetMaxBlockSize(int maxFrames);
  int GetScratchFrames() const { return scratchFrames; }

  // Audio thread. hostIn and hostOut hold kChannels channels each, null
  // where the host connected none. Missing inputs are silence; outputs the
  // instance leaves unwritten are silence. While bypassed the inputs are
  // copied through. An input may be the same buffer as an output (a host
  // processing in place).
  template <typename Sample>
  void Run(IEffectProcessor& effect, Sample* const* hostIn, Sample* const* hostOut, int frames, bool bypassed);

private:
  std::vector<double> scratch; // kChannels inputs then kChannels outputs
  int scratchFrames = 0;
};

extern template void IEffectAudioRunner::Run<float>(IEffectProcessor&, float* const*, float* const*, int, bool);
extern template void IEffectAudioRunner::Run<double>(IEffectProcessor&, double* const*, double* const*, int,
                                                     bool);
