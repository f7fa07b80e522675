#pragma once
// Renders a signal through the bundle and through an engine driven directly,
// block by block, so that tests can compare the two.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plugin/TolmarDelay.h"
#include "vst3/support/VST3Host.h"

namespace host
{
using Stereo = std::array<std::vector<double>, 2>;

// An instance built the way the binding builds it: every parameter delivered
// once, then the sample rate set up.
std::unique_ptr<TolmarDelay> makeReference(double sampleRate);
// A host change of one parameter, as the binding applies it.
void applyToReference(TolmarDelay& reference, int paramIdx, double normalized);

// Processes left/right in the given block sizes. The first block carries
// firstChanges (may be null).
Stereo renderBundle(IAudioProcessor& processor, int32 sampleSize, const Stereo& input,
                    const std::vector<int32>& blocks, ParameterChanges* firstChanges = nullptr);
// Runs left/right through `block` in blocks of the sizes in turn, repeated
// until the input is covered: each block's input is set, then
// `process(b)` processes block b (setting whatever else it carries), then
// its output is read back.
Stereo renderInBlocks(AudioBlock& block, const Stereo& input, const std::vector<uint32_t>& sizes,
                      const std::function<void(size_t)>& process);
Stereo renderReference(TolmarDelay& reference, int32 sampleSize, const Stereo& input,
                       const std::vector<int32>& blocks);

// Blocks of the given sizes repeated until they cover length frames.
std::vector<int32> blockPattern(int32 length, const std::vector<int32>& sizes);

// The state chunk's value of a parameter, read from getState.
double stateValue(IComponent& component, int paramIdx);
int32 stateBypassWord(IComponent& component);
} // namespace host
