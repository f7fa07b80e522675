#include "vst3/IEffectVST3ProcessorBase.h"

#include <algorithm>
#include <type_traits>

#include "params/ProductFacts/ParameterIds.h"
#include "vst3/MidiConversion.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
template <typename Sample>
Sample** channelBuffers(const AudioBusBuffers& bus)
{
  if constexpr (std::is_same_v<Sample, float>)
    return bus.channelBuffers32;
  else
    return bus.channelBuffers64;
}
} // namespace

IEffectVST3ProcessorBase::IEffectVST3ProcessorBase(IEffectPlugin& effect) : plugin(effect) {}

void IEffectVST3ProcessorBase::ProcessTransport(const ProcessContext* context, bool offline)
{
  plugin.SetRenderingOffline(offline);
  // Without a context the transport of the last block stays; before the
  // first context the instance keeps its initial transport (120 BPM, 4/4,
  // stopped) rather than an all-zero one.
  if (!context)
    return;
  processContext = *context;

  ITimeInfo& time = plugin.GetTimeInfo();
  time.tempo = processContext.tempo;
  time.samplePosition = (processContext.state & ProcessContext::kProjectTimeMusicValid)
                            ? static_cast<double>(processContext.projectTimeSamples)
                            : -1.0;
  time.ppqPosition = processContext.projectTimeMusic;
  time.lastBarPosition = processContext.barPositionMusic;
  time.cycleStart = processContext.cycleStartMusic;
  time.cycleEnd = processContext.cycleEndMusic;
  time.timeSigNumerator = processContext.timeSigNumerator;
  time.timeSigDenominator = processContext.timeSigDenominator;
  time.transportRunning = (processContext.state & ProcessContext::kPlaying) != 0;
  time.cycleActive = (processContext.state & ProcessContext::kCycleActive) != 0;
}

void IEffectVST3ProcessorBase::ProcessParameterChanges(IParameterChanges* changes, int32_t numSamples)
{
  if (!changes)
    return;
  const int32 queueCount = changes->getParameterCount();
  for (int32 i = 0; i < queueCount; ++i)
  {
    IParamValueQueue* queue = changes->getParameterData(i);
    if (!queue)
      continue;
    // Only where the block leaves the parameter matters.
    const int32 points = queue->getPointCount();
    if (points <= 0)
      continue;
    int32 sampleOffset = 0;
    ParamValue value = 0.0;
    if (queue->getPoint(points - 1, sampleOffset, value) != kResultOk)
      continue;
    sampleOffset = IEffectProcessor::OffsetInBlock(sampleOffset, numSamples);

    const ParamID id = queue->getParameterId();
    if (id == ParamIDs::kBypass)
    {
      plugin.SetBypassed(value > 0.5);
    }
    else if (id < ParamIDs::kBypass && static_cast<int>(id) < plugin.NParams())
    {
      const int paramIdx = static_cast<int>(id);
      plugin.GetParam(paramIdx)->SetNormalized(value);
      plugin.OnParamChange(paramIdx, kHost, sampleOffset);
    }
    else if (id >= ParamIDs::kMidiControllerFirst && id <= ParamIDs::kMidiControllerLast)
    {
      const int index = static_cast<int>(id - ParamIDs::kMidiControllerFirst);
      deliverMidi(MidiConversion::FromControllerParameter(index, value, sampleOffset), true);
    }
  }
}

void IEffectVST3ProcessorBase::ProcessEvents(IEventList* events, int32_t numSamples)
{
  if (!events)
    return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count; ++i)
  {
    Event event{};
    if (events->getEvent(i, event) != kResultOk)
      continue;
    event.sampleOffset = IEffectProcessor::OffsetInBlock(event.sampleOffset, numSamples);
    if (event.type == Event::kDataEvent)
    {
      if (!event.data.bytes)
        continue;
      ISysEx sysEx;
      sysEx.offset = event.sampleOffset;
      sysEx.data = event.data.bytes;
      sysEx.size = static_cast<int32_t>(std::min<uint32>(event.data.size, 0x7FFFFFFF));
      plugin.ProcessSysEx(sysEx);
      continue;
    }
    IMidiMsg msg;
    if (MidiConversion::FromEvent(event, msg))
      deliverMidi(msg, false);
  }
}

void IEffectVST3ProcessorBase::ProcessEditorMidi()
{
  IMidiMsg msg;
  while (plugin.GetMidiQueueFromEditor().Pop(msg))
    plugin.ProcessMidiMsg(msg);
}

void IEffectVST3ProcessorBase::deliverMidi(const IMidiMsg& msg, bool copyToEditorFirst)
{
  // A full queue drops the editor's copy only; the instance always gets it.
  if (copyToEditorFirst)
    plugin.GetMidiQueueToEditor().Push(msg);
  plugin.ProcessMidiMsg(msg);
  if (!copyToEditorFirst)
    plugin.GetMidiQueueToEditor().Push(msg);
}

void IEffectVST3ProcessorBase::ProcessAudio(const ProcessData& data, const bool* outputActive, int numOutputFlags)
{
  if (data.symbolicSampleSize == kSample64)
    processAudio<double>(data, outputActive, numOutputFlags);
  else if (data.symbolicSampleSize == kSample32)
    processAudio<float>(data, outputActive, numOutputFlags);
}

template <typename Sample>
void IEffectVST3ProcessorBase::processAudio(const ProcessData& data, const bool* outputActive, int numOutputFlags)
{
  const int numFrames = std::max(data.numSamples, 0);

  // The host channels connected to the instance's two inputs and outputs;
  // null where nothing is connected. Without an input bus the inputs are
  // silent: buffers of an earlier block may no longer exist.
  Sample* hostIn[kChannels] = {nullptr, nullptr};
  Sample* hostOut[kChannels] = {nullptr, nullptr};
  if (data.numInputs > 0 && data.inputs)
  {
    const AudioBusBuffers& bus = data.inputs[0];
    if (Sample** buffers = channelBuffers<Sample>(bus))
      for (int c = 0; c < std::min(bus.numChannels, kChannels); ++c)
        hostIn[c] = buffers[c];
  }
  if (data.outputs)
  {
    int channelOffset = 0;
    for (int32 b = 0; b < data.numOutputs && channelOffset < kChannels; ++b)
    {
      const AudioBusBuffers& bus = data.outputs[b];
      const bool active = outputActive && b < numOutputFlags && outputActive[b];
      Sample** buffers = channelBuffers<Sample>(bus);
      if (active && buffers)
        for (int c = 0; c < bus.numChannels && channelOffset + c < kChannels; ++c)
          hostOut[channelOffset + c] = buffers[c];
      channelOffset += std::max(bus.numChannels, 0);
    }
  }

  runner.Run<Sample>(plugin, hostIn, hostOut, numFrames, plugin.GetBypassed());
}
