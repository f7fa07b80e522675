#include "clap/ClapAudio.h"

#include <algorithm>
#include <type_traits>

#include "plugin/IEffectProcessor.h"

namespace
{
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
    runner.Run<double>(effect, in, out, frames, bypassed);
  }
  else
  {
    float* in[kChannels];
    float* out[kChannels];
    channelsOf(inputs, inputCount, in);
    channelsOf(outputs, outputCount, out);
    runner.Run<float>(effect, in, out, frames, bypassed);
  }
}
