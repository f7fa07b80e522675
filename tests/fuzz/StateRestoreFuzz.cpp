// A component state as a host hands it over from a project file, damaged or
// made by anything: setState, a block of audio, and then the state the
// instance reports has to restore to exactly itself.
//
// Input: one byte that picks the sample rate, then the state stream.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "FuzzCheck.h"
#include "plugin/TolmarDelay.h"
#include "public.sdk/source/common/memorystream.h"
#include "vst3/IEffectVST3.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// From the lowest rates, where the filters' cutoff lies above half the rate,
// to the highest, where the delay clock runs fastest.
constexpr double kRates[] = {1000.0, 8000.0, 11025.0, 44100.0, 48000.0, 96000.0, 384000.0};
constexpr int32 kFrames = 256;

std::vector<char> stateOf(IComponent& component)
{
  auto stream = owned(new MemoryStream());
  FUZZ_CHECK(component.getState(stream) == kResultOk);
  return std::vector<char>(stream->getData(), stream->getData() + stream->getSize());
}

bool restore(IComponent& component, const void* bytes, size_t size)
{
  auto stream = owned(new MemoryStream(const_cast<void*>(bytes), static_cast<TSize>(size)));
  return component.setState(stream) == kResultOk;
}

// One block of an impulse followed by a full-scale tone; the output has to
// stay finite and within what feedback limiting allows.
void processOneBlock(IAudioProcessor& processor)
{
  std::vector<float> left(kFrames), right(kFrames), outLeft(kFrames), outRight(kFrames);
  for (int32 i = 0; i < kFrames; ++i)
    left[i] = right[i] = i == 0 ? 1.0f : static_cast<float>(std::sin(0.3 * i));
  float* ins[] = {left.data(), right.data()};
  float* outs[] = {outLeft.data(), outRight.data()};
  AudioBusBuffers input{};
  input.numChannels = 2;
  input.channelBuffers32 = ins;
  AudioBusBuffers output{};
  output.numChannels = 2;
  output.channelBuffers32 = outs;
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = kFrames;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &input;
  data.outputs = &output;
  FUZZ_CHECK(processor.process(data) == kResultOk);
  for (int32 i = 0; i < kFrames; ++i)
  {
    FUZZ_CHECK(std::isfinite(outLeft[i]) && std::isfinite(outRight[i]));
    FUZZ_CHECK(std::fabs(outLeft[i]) < 100.0f && std::fabs(outRight[i]) < 100.0f);
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 1)
    return 0;
  auto* effect = new IEffectVST3(std::make_unique<TolmarDelay>());
  FUZZ_CHECK(effect->initialize(nullptr) == kResultOk);
  ProcessSetup setup{kRealtime, kSample32, kFrames, kRates[data[0] % std::size(kRates)]};
  FUZZ_CHECK(effect->setupProcessing(setup) == kResultOk);
  effect->setActive(true);
  effect->setProcessing(true);

  IComponent& component = *effect;
  restore(component, data + 1, size - 1);
  // Long enough for an unstable filter to blow up at the lowest rates.
  for (int block = 0; block < 4; ++block)
    processOneBlock(*effect);

  // Whatever the input did, what the instance now reports is a state it
  // takes back unchanged.
  const std::vector<char> first = stateOf(component);
  FUZZ_CHECK(restore(component, first.data(), first.size()));
  FUZZ_CHECK(stateOf(component) == first);
  processOneBlock(*effect);

  effect->setProcessing(false);
  effect->setActive(false);
  effect->terminate();
  effect->release();
  return 0;
}
