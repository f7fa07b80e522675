#include "vst3/support/RenderHelpers.h"

#include <algorithm>
#include <cstring>

namespace host
{
std::unique_ptr<TolmarDelay> makeReference(double sampleRate)
{
  auto reference = std::make_unique<TolmarDelay>();
  reference->OnParamReset(kReset);
  reference->SetSampleRate(sampleRate);
  reference->OnReset();
  return reference;
}

void applyToReference(TolmarDelay& reference, int paramIdx, double normalized)
{
  reference.GetParam(paramIdx)->SetNormalized(normalized);
  reference.OnParamChange(paramIdx, kHost, 0);
}

std::vector<int32> blockPattern(int32 length, const std::vector<int32>& sizes)
{
  std::vector<int32> blocks;
  int32 covered = 0;
  for (size_t i = 0; covered < length; ++i)
  {
    const int32 n = std::min(sizes[i % sizes.size()], length - covered);
    blocks.push_back(n);
    covered += n;
  }
  return blocks;
}

Stereo renderBundle(IAudioProcessor& processor, int32 sampleSize, const Stereo& input,
                    const std::vector<int32>& blocks, ParameterChanges* firstChanges)
{
  const int32 largest = std::max(1, *std::max_element(blocks.begin(), blocks.end()));
  AudioBlock block(sampleSize, largest);
  Stereo output{std::vector<double>(input[0].size()), std::vector<double>(input[0].size())};
  size_t position = 0;
  for (size_t b = 0; b < blocks.size(); ++b)
  {
    const int32 n = blocks[b];
    for (int c = 0; c < 2; ++c)
      block.setInput(c, input[static_cast<size_t>(c)].data() + position, n);
    block.data.numSamples = n;
    block.data.inputParameterChanges = b == 0 ? firstChanges : nullptr;
    processor.process(block.data);
    for (int c = 0; c < 2; ++c)
      for (int32 i = 0; i < n; ++i)
        output[static_cast<size_t>(c)][position + static_cast<size_t>(i)] = block.output(c, i);
    position += static_cast<size_t>(n);
  }
  return output;
}

Stereo renderInBlocks(AudioBlock& block, const Stereo& input, const std::vector<uint32_t>& sizes,
                      const std::function<void(size_t)>& process)
{
  Stereo output{std::vector<double>(input[0].size()), std::vector<double>(input[1].size())};
  size_t position = 0;
  for (size_t b = 0; position < input[0].size(); ++b)
  {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(sizes[b % sizes.size()], input[0].size() - position));
    for (int c = 0; c < 2; ++c)
      block.setInput(c, input[static_cast<size_t>(c)].data() + position, n);
    block.data.numSamples = n;
    process(b);
    for (int c = 0; c < 2; ++c)
      for (int32_t i = 0; i < n; ++i)
        output[static_cast<size_t>(c)][position + static_cast<size_t>(i)] = block.output(c, i);
    position += static_cast<size_t>(n);
  }
  return output;
}

Stereo renderReference(TolmarDelay& reference, int32 sampleSize, const Stereo& input, const std::vector<int32>& blocks)
{
  Stereo in = input;
  if (sampleSize == kSample32)
    for (auto& channel : in)
      for (double& x : channel)
        x = static_cast<float>(x);
  Stereo output{std::vector<double>(input[0].size()), std::vector<double>(input[0].size())};
  size_t position = 0;
  for (int32 n : blocks)
  {
    double* inputs[2] = {in[0].data() + position, in[1].data() + position};
    double* outputs[2] = {output[0].data() + position, output[1].data() + position};
    reference.ProcessBlock(inputs, outputs, n);
    position += static_cast<size_t>(n);
  }
  if (sampleSize == kSample32)
    for (auto& channel : output)
      for (double& x : channel)
        x = static_cast<float>(x);
  return output;
}

double stateValue(IComponent& component, int paramIdx)
{
  MemoryStream stream;
  if (component.getState(&stream) != kResultOk || stream.bytes.size() < 103)
    return -1000.0;
  double value = 0.0;
  std::memcpy(&value, stream.bytes.data() + 31 + 8 * paramIdx, sizeof(value));
  return value;
}

int32 stateBypassWord(IComponent& component)
{
  MemoryStream stream;
  if (component.getState(&stream) != kResultOk || stream.bytes.size() != 107)
    return -1;
  int32 word = 0;
  std::memcpy(&word, stream.bytes.data() + 103, sizeof(word));
  return word;
}
} // namespace host
