#include "plugin/IEffectAudioRunner.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "plugin/IEffectProcessor.h"

namespace
{
// Scratch length before the host's first processing setup.
constexpr int kInitialScratchFrames = 1024;
} // namespace

IEffectAudioRunner::IEffectAudioRunner()
{
  SetMaxBlockSize(kInitialScratchFrames);
}

void IEffectAudioRunner::SetMaxBlockSize(int maxFrames)
{
  const int frames = std::clamp(maxFrames, kMinScratchFrames, kMaxScratchFrames);
  if (frames == scratchFrames)
    return;
  scratch.assign(static_cast<size_t>(frames) * 2 * kChannels, 0.0);
  scratchFrames = frames;
}

template <typename Sample>
void IEffectAudioRunner::Run(IEffectProcessor& effect, Sample* const* hostIn, Sample* const* hostOut, int frames,
                             bool bypassed)
{
  frames = std::max(frames, 0);
  double* scratchIn[kChannels];
  double* scratchOut[kChannels];
  for (int c = 0; c < kChannels; ++c)
  {
    scratchIn[c] = scratch.data() + static_cast<size_t>(c) * static_cast<size_t>(scratchFrames);
    scratchOut[c] = scratch.data() + static_cast<size_t>(kChannels + c) * static_cast<size_t>(scratchFrames);
  }

  int done = 0;
  // One pass even for an empty block, so that the instance sees every block.
  do
  {
    const int n = std::min(frames - done, scratchFrames);
    const size_t count = static_cast<size_t>(n);
    double* in[kChannels];
    double* out[kChannels];
    for (int c = 0; c < kChannels; ++c)
    {
      // Double channels a host processes in place reach the instance as
      // the same buffer for input and output, without a copy: the instance
      // reads every frame's inputs before it writes that frame's outputs
      // (IEffectProcessor::ProcessBlock), and the bypass copy below skips
      // a buffer onto itself.
      if (!hostIn[c])
      {
        std::fill_n(scratchIn[c], count, 0.0);
        in[c] = scratchIn[c];
      }
      else if constexpr (std::is_same_v<Sample, double>)
      {
        in[c] = hostIn[c] + done;
      }
      else
      {
        std::copy_n(hostIn[c] + done, count, scratchIn[c]);
        in[c] = scratchIn[c];
      }

      bool direct = false;
      if constexpr (std::is_same_v<Sample, double>)
      {
        direct = hostOut[c] != nullptr;
        if (direct)
          out[c] = hostOut[c] + done;
      }
      if (!direct)
      {
        // Whatever the instance leaves unwritten reaches the host as silence,
        // never as samples of an earlier block.
        std::fill_n(scratchOut[c], count, 0.0);
        out[c] = scratchOut[c];
      }
    }

    if (bypassed)
    {
      for (int c = 0; c < kChannels; ++c)
        if (out[c] != in[c])
          std::memmove(out[c], in[c], count * sizeof(double));
    }
    else
    {
      effect.ProcessBlock(in, out, n);
    }

    if constexpr (std::is_same_v<Sample, float>)
      for (int c = 0; c < kChannels; ++c)
        if (hostOut[c])
          for (size_t i = 0; i < count; ++i)
            hostOut[c][static_cast<size_t>(done) + i] = static_cast<float>(out[c][i]);
    done += n;
  } while (done < frames);
}

template void IEffectAudioRunner::Run<float>(IEffectProcessor&, float* const*, float* const*, int, bool);
template void IEffectAudioRunner::Run<double>(IEffectProcessor&, double* const*, double* const*, int, bool);
