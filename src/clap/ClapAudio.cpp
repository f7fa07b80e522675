#include "clap/ClapAudio.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "plugin/IEffectProcessor.h"

namespace
{
// Scratch length before the host's first activation.
constexpr int kInitialScratchFrames = 1024;

template <typename Sample>
Sample* const* buffersOf(const clap_audio_buffer_t& port)
{
  if constexpr (std::is_same_v<Sample, float>)
    return port.data32;
  else
    return port.data64;
}

// The channels of the first port, as many as there are up to two; null
// where there are none.
template <typename Sample>
void channelsOf(const clap_audio_buffer_t* ports, uint32_t count, Sample* (&channels)[ClapAudio::kChannels])
{
  channels[0] = channels[1] = nullptr;
  if (!ports || count == 0)
    return;
  Sample* const* buffers = buffersOf<Sample>(ports[0]);
  if (!buffers)
    return;
  const uint32_t n = std::min<uint32_t>(ports[0].channel_count, ClapAudio::kChannels);
  for (uint32_t c = 0; c < n; ++c)
    channels[c] = buffers[c];
}
} // namespace

ClapAudio::ClapAudio()
{
  SetMaxBlockSize(kInitialScratchFrames);
}

void ClapAudio::SetMaxBlockSize(int maxFrames)
{
  const int frames = std::clamp(maxFrames, kMinScratchFrames, kMaxScratchFrames);
  if (frames == scratchFrames)
    return;
  scratch.assign(static_cast<size_t>(frames) * 2 * kChannels, 0.0);
  scratchFrames = frames;
}

void ClapAudio::Run(IEffectProcessor& effect, const clap_audio_buffer_t* inputs, uint32_t inputCount,
                    const clap_audio_buffer_t* outputs, uint32_t outputCount, int frames, bool bypassed)
{
  // The output port decides the sample size: a host gives 64-bit buffers
  // only to ports that said they take them, and then to inputs and outputs
  // alike.
  const bool doubles = outputs && outputCount > 0 && outputs[0].data64 && !outputs[0].data32;
  if (doubles)
  {
    double* in[kChannels];
    double* out[kChannels];
    channelsOf(inputs, inputCount, in);
    channelsOf(outputs, outputCount, out);
    run<double>(effect, in, out, frames, bypassed);
  }
  else
  {
    float* in[kChannels];
    float* out[kChannels];
    channelsOf(inputs, inputCount, in);
    channelsOf(outputs, outputCount, out);
    run<float>(effect, in, out, frames, bypassed);
  }
}

template <typename Sample>
void ClapAudio::run(IEffectProcessor& effect, Sample* const* hostIn, Sample* const* hostOut, int frames,
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
      // A host processing in place hands the same buffer as input and
      // output: the input is copied before the instance writes over it.
      const bool inPlace = hostIn[c] && hostOut[c] && hostIn[c] == hostOut[c];
      if (!hostIn[c])
      {
        std::fill_n(scratchIn[c], count, 0.0);
        in[c] = scratchIn[c];
      }
      else if constexpr (std::is_same_v<Sample, double>)
      {
        if (inPlace)
        {
          std::copy_n(hostIn[c] + done, count, scratchIn[c]);
          in[c] = scratchIn[c];
        }
        else
        {
          in[c] = hostIn[c] + done;
        }
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
