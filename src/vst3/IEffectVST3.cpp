#include "vst3/IEffectVST3.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "params/IByteChunk.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/SampleRates.h"
#include "params/ProductFacts/StateFormat.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/vst/ivsthostapplication.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "vst3/TextConversion.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// A state stream is read in pieces of this size.
constexpr int32 kStateReadPiece = 128;
constexpr size_t kMaxOutputBuses = 16;

const IOConfig* configWithMostBuses(const std::vector<IOConfig>& configs, bool inputs)
{
  const IOConfig* best = nullptr;
  for (const IOConfig& config : configs)
  {
    const auto& buses = inputs ? config.inputBusChannels : config.outputBusChannels;
    if (!best || buses.size() > (inputs ? best->inputBusChannels : best->outputBusChannels).size())
      best = &config;
  }
  return best;
}
} // namespace

IEffectVST3::IEffectVST3(std::unique_ptr<IEffectPlugin> effect, FUnknown* hostContext, std::string resources)
: plugin(std::move(effect)),
  processor(*plugin),
  ioConfigs(ParseChannelIO(plugin->GetConfig().channelIO)),
  resourceFolder(std::move(resources)),
  factoryRunLoop(HostRunLoop::Find(hostContext))
{
  plugin->SetHost(this);
  contextRunLoop = factoryRunLoop;
  placeIdleTimer();
}

IEffectVST3::~IEffectVST3()
{
  // A view keeps the instance alive while it exists, so no window is open
  // here; the editor still goes before the instance it shows.
  idleTimer.Stop();
  editor.reset();
  // The parameter objects refer to the instance's parameters, and the SDK
  // bases outlive the instance member: drop them first.
  controller.Terminate();
  parameters.removeAll();
  plugin->SetHost(nullptr);
}

tresult PLUGIN_API IEffectVST3::queryInterface(const TUID iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, IMidiMapping::iid, IMidiMapping)
  QUERY_INTERFACE(iid, obj, ChannelContext::IInfoListener::iid, ChannelContext::IInfoListener)
  QUERY_INTERFACE(iid, obj, IProcessContextRequirements::iid, IProcessContextRequirements)
  return SingleComponentEffect::queryInterface(iid, obj);
}

// --- Initialisation ----------------------------------------------------------

tresult PLUGIN_API IEffectVST3::initialize(FUnknown* context)
{
  if (initialized)
    return kResultFalse;
  try
  {
    const tresult result = SingleComponentEffect::initialize(context);
    if (result != kResultOk)
      return kResultFalse;
    // A layout the host chose before initialising is replaced like any other.
    removeAllBusses();
    addBuses(configWithMostBuses(ioConfigs, true), configWithMostBuses(ioConfigs, false));
    if (plugin->GetConfig().doesMidiIn)
      addEventInput(STR16("MIDI Input"), 16);
    controller.Initialize(*this, parameters, *plugin);
    if (host == kHostUninit)
      identifyHost(context);
    plugin->OnParamReset(kReset);
    // A host that offers its run loop here runs the idle timer from now on.
    if (IPtr<Linux::IRunLoop> loop = HostRunLoop::Find(context))
    {
      contextRunLoop = loop;
      placeIdleTimer();
    }
    initialized = true;
    return kResultOk;
  }
  catch (...)
  {
    controller.Terminate();
    SingleComponentEffect::terminate();
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3::terminate()
{
  controller.Terminate();
  // What the initialize context offered is not ours to use past terminate.
  contextRunLoop = factoryRunLoop;
  placeIdleTimer();
  initialized = false;
  return SingleComponentEffect::terminate();
}

void IEffectVST3::identifyHost(FUnknown* context)
{
  FUnknownPtr<IHostApplication> application(context);
  if (!application)
    return;
  String128 name{};
  if (application->getName(name) != kResultOk)
    return;
  name[127] = 0;
  host = IdentifyHost(TextConversion::ToUTF8(name, 128).c_str());
}

void IEffectVST3::addBuses(const IOConfig* inputs, const IOConfig* outputs)
{
  String128 name;
  if (inputs)
  {
    const int count = static_cast<int>(inputs->inputBusChannels.size());
    for (int i = 0; i < count; ++i)
    {
      TextConversion::ToUTF16(BusName(true, i, count).c_str(), name, 128);
      addAudioInput(name, ArrangementForChannels(inputs->inputBusChannels[static_cast<size_t>(i)]),
                    i == 0 ? kMain : kAux, i == 0 ? BusInfo::kDefaultActive : 0);
    }
  }
  if (outputs)
  {
    const int count = static_cast<int>(outputs->outputBusChannels.size());
    for (int i = 0; i < count; ++i)
    {
      TextConversion::ToUTF16(BusName(false, i, count).c_str(), name, 128);
      addAudioOutput(name, ArrangementForChannels(outputs->outputBusChannels[static_cast<size_t>(i)]),
                     i == 0 ? kMain : kAux, i == 0 ? BusInfo::kDefaultActive : 0);
    }
  }
}

// --- Processing setup ----------------------------------------------------------

tresult PLUGIN_API IEffectVST3::setActive(TBool state)
{
  plugin->OnActivate(state != 0);
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                   SpeakerArrangement* outputs, int32 numOuts)
{
  // These hosts insert the effect on channels of any width and do not
  // retry with another layout; the processor copes with what it is given.
  if (host == kHostArdour || host == kHostMixbus)
    return kResultTrue;
  if (numIns < 0 || numOuts < 0 || (numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
    return kResultFalse;

  size_t maxIns = 0;
  size_t maxOuts = 0;
  for (const IOConfig& config : ioConfigs)
  {
    maxIns = std::max(maxIns, config.inputBusChannels.size());
    maxOuts = std::max(maxOuts, config.outputBusChannels.size());
  }
  if (static_cast<size_t>(numIns) > maxIns || static_cast<size_t>(numOuts) > maxOuts)
    return kResultFalse;

  auto matches = [](const std::vector<int>& buses, const SpeakerArrangement* requested, int32 count) {
    if (buses.size() != static_cast<size_t>(count))
      return false;
    for (int32 i = 0; i < count; ++i)
      if (SpeakerArr::getChannelCount(requested[i]) != buses[static_cast<size_t>(i)])
        return false;
    return true;
  };
  for (const IOConfig& config : ioConfigs)
  {
    if (!matches(config.inputBusChannels, inputs, numIns) || !matches(config.outputBusChannels, outputs, numOuts))
      continue;
    try
    {
      removeAudioBusses();
      addBuses(&config, &config);
      return kResultTrue;
    }
    catch (...)
    {
      return kResultFalse;
    }
  }
  return kResultFalse;
}

tresult PLUGIN_API IEffectVST3::canProcessSampleSize(int32 symbolicSampleSize)
{
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 PLUGIN_API IEffectVST3::getLatencySamples()
{
  return static_cast<uint32>(plugin->GetLatency());
}

uint32 PLUGIN_API IEffectVST3::getTailSamples()
{
  const uint32_t tail = plugin->GetTailSize();
  return tail == IEffectProcessor::kInfiniteTail ? kInfiniteTail : tail;
}

tresult PLUGIN_API IEffectVST3::setupProcessing(ProcessSetup& setup)
{
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue || !SampleRates::isSupported(setup.sampleRate))
    return kResultFalse;
  try
  {
    processor.SetMaxBlockSize(setup.maxSamplesPerBlock);
  }
  catch (...)
  {
    return kResultFalse;
  }
  processSetup = setup;
  plugin->SetSampleRate(setup.sampleRate);
  plugin->SetBlockSize(setup.maxSamplesPerBlock);
  plugin->OnReset();
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setProcessing(TBool state)
{
  // Stopping releases freeze and whatever else a reset clears.
  if (!state)
    plugin->OnReset();
  return kResultOk;
}

uint32 PLUGIN_API IEffectVST3::getProcessContextRequirements()
{
  // Tempo and position drive the synced delay time and LFO, the transport
  // state restarts the LFO.
  using R = IProcessContextRequirements;
  return R::kNeedTempo | R::kNeedProjectTimeMusic | R::kNeedBarPositionMusic | R::kNeedCycleMusic |
         R::kNeedTimeSignature | R::kNeedTransportState;
}

// --- Processing (audio thread) ---------------------------------------------------

tresult PLUGIN_API IEffectVST3::process(ProcessData& data)
{
  processChanges.Clear();
  processor.ProcessTransport(data.processContext, processSetup.processMode == kOffline);
  // What other threads posted since the last block comes first, so that the
  // block's own changes have the last word.
  plugin->ApplyPendingChanges();
  processor.ProcessParameterChanges(data.inputParameterChanges, data.numSamples);
  if (plugin->GetConfig().doesMidiIn)
  {
    processor.ProcessEvents(data.inputEvents, data.numSamples);
    processor.ProcessEditorMidi();
  }

  std::array<bool, kMaxOutputBuses> outputActive{};
  const size_t numOutputs = std::min(audioOutputs.size(), kMaxOutputBuses);
  for (size_t i = 0; i < numOutputs; ++i)
    outputActive[i] = audioOutputs[i]->isActive();
  processor.ProcessAudio(data, outputActive.data(), static_cast<int>(numOutputs));
  reportProcessChanges(data.outputParameterChanges);
  return kResultOk;
}

void IEffectVST3::InformHostOfParamChangeFromProcess(int paramIdx, double normalizedValue, int sampleOffset)
{
  processChanges.Add(paramIdx, normalizedValue, sampleOffset);
}

void IEffectVST3::reportProcessChanges(IParameterChanges* output)
{
  if (!output)
    return;
  for (int i = 0; i < processChanges.Count(); ++i)
  {
    const IBlockParamChanges::Change& change = processChanges[i];
    int32 queueIndex = 0;
    IParamValueQueue* queue = output->addParameterData(static_cast<ParamID>(change.paramIdx), queueIndex);
    if (!queue)
      continue;
    int32 pointIndex = 0;
    queue->addPoint(std::max(change.sampleOffset, 0), change.normalizedValue, pointIndex);
  }
  processChanges.Clear();
}

void IEffectVST3::ParameterChangedByProcess(int paramIdx, double normalizedValue)
{
  if (Parameter* object = getParameterObject(static_cast<ParamID>(paramIdx)))
    object->setNormalized(ClampNormalized(normalizedValue));
}

// --- State ---------------------------------------------------------------------

tresult IEffectVST3::saveComponentState(IBStream* stream)
{
  if (!stream)
    return kResultFalse;
  try
  {
    IByteChunk chunk;
    if (!plugin->SerializeState(chunk))
      return kResultFalse;
    stream->write(const_cast<uint8_t*>(chunk.GetData()), chunk.Size(), nullptr);
    const int32_t bypass = plugin->GetBypassed() ? 1 : 0;
    uint8_t word[4];
    std::memcpy(word, &bypass, sizeof(word)); // little-endian, as IByteChunk asserts
    stream->write(word, sizeof(word), nullptr);
    return kResultOk;
  }
  catch (...)
  {
    return kResultFalse;
  }
}

tresult IEffectVST3::restoreComponentState(IBStream* stream)
{
  if (!stream)
    return kResultFalse;
  try
  {
    int64 streamStart = 0;
    if (stream->tell(&streamStart) != kResultOk || streamStart < 0)
      streamStart = 0;

    IByteChunk chunk;
    char piece[kStateReadPiece];
    while (chunk.Size() < StateFormat::kMaxStateBytes)
    {
      int32 got = 0;
      const tresult result = stream->read(piece, kStateReadPiece, &got);
      if (got <= 0)
        break;
      got = std::min(got, kStateReadPiece);
      // WaveLab reports a failure on reads that reach the end of its
      // streams although it delivered their bytes.
      if (result != kResultOk && host != kHostWaveLab)
        break;
      chunk.PutBytes(piece, got);
    }

    const int statePos = plugin->unserializeTolmarState(chunk, 0);
    // A chunk that ran out has still changed the parameters it reached: the
    // parameter objects and the editor must show them either way.
    refreshParameterObjects();
    plugin->OnRestoreState();
    if (statePos < 0)
      return kResultFalse;

    // The bypass word follows the state. It is normally among the bytes read
    // already; a stream whose reads stopped early is asked again directly.
    int32_t bypass = 0;
    if (chunk.Get(&bypass, statePos) < 0)
    {
      uint8_t word[4];
      int32 got = 0;
      stream->seek(streamStart + statePos, IBStream::kIBSeekSet, nullptr);
      if (stream->read(word, sizeof(word), &got) != kResultOk || got != static_cast<int32>(sizeof(word)))
        return kResultFalse;
      std::memcpy(&bypass, word, sizeof(word));
    }
    if (IEffectVST3BypassParameter* bypassParameter = controller.GetBypassParameter())
      bypassParameter->setNormalized(static_cast<double>(bypass));
    return kResultOk;
  }
  catch (...)
  {
    return kResultFalse;
  }
}

void IEffectVST3::refreshParameterObjects()
{
  controller.UpdateParameterObjects(*plugin);
}

// --- Edit controller -------------------------------------------------------------

tresult PLUGIN_API IEffectVST3::getParameterInfo(int32 paramIndex, ParameterInfo& info)
{
  if (paramIndex < 0 || paramIndex >= parameters.getParameterCount())
    return kResultFalse;
  return SingleComponentEffect::getParameterInfo(paramIndex, info);
}

tresult PLUGIN_API IEffectVST3::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string)
{
  if (!string)
    return kInvalidArgument;
  Parameter* object = getParameterObject(id);
  if (!object)
    return kResultFalse;
  try
  {
    // Formatting a value far outside 0..1 overruns the text (a plain SDK
    // parameter prints it as it comes): nothing outside is shown, and the
    // text ends within the host's 128 units whatever an object wrote.
    object->toString(ClampNormalized(valueNormalized), string);
    string[127] = 0;
    return kResultOk;
  }
  catch (...)
  {
    string[0] = 0;
    return kResultFalse;
  }
}

tresult PLUGIN_API IEffectVST3::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized)
{
  if (!string)
    return kInvalidArgument;
  Parameter* object = getParameterObject(id);
  if (!object)
    return kResultFalse;
  try
  {
    // The host's text is read no further than its 128 units, terminated or
    // not; the parameter objects then read a terminated copy.
    std::array<TChar, 129> bounded{};
    size_t length = 0;
    while (length < 128 && string[length] != 0)
      ++length;
    std::copy(string, string + length, bounded.begin());
    ParamValue value = 0.0;
    if (!object->fromString(bounded.data(), value))
      return kResultFalse;
    valueNormalized = ClampNormalized(value);
    return kResultOk;
  }
  catch (...)
  {
    return kResultFalse;
  }
}

ParamValue PLUGIN_API IEffectVST3::normalizedParamToPlain(ParamID id, ParamValue valueNormalized)
{
  Parameter* object = getParameterObject(id);
  return object ? object->toPlain(ClampNormalized(valueNormalized)) : valueNormalized;
}

ParamValue PLUGIN_API IEffectVST3::plainParamToNormalized(ParamID id, ParamValue plainValue)
{
  Parameter* object = getParameterObject(id);
  return object ? ClampNormalized(object->toNormalized(plainValue)) : plainValue;
}

tresult PLUGIN_API IEffectVST3::setParamNormalized(ParamID id, ParamValue value)
{
  Parameter* object = getParameterObject(id);
  if (!object)
    return kResultFalse;
  value = ClampNormalized(value);
  object->setNormalized(value);
  // The parameter's value and the editor follow; the engine does not. Hosts
  // send the processor its changes in process and echo them here, often
  // blocks late: an echo that moved the engine would pull it back to a value
  // the host has already left.
  if (id < ParamIDs::kBypass && static_cast<int>(id) < plugin->NParams())
  {
    const int paramIdx = static_cast<int>(id);
    plugin->GetParam(paramIdx)->SetNormalized(value);
    plugin->OnParamChangeUI(paramIdx, kHost);
    plugin->SendParameterValueFromDelegate(paramIdx, value, true);
  }
  return kResultOk;
}

// --- Units and programs ----------------------------------------------------------

tresult PLUGIN_API IEffectVST3::getUnitInfo(int32 unitIndex, UnitInfo& info)
{
  if (unitIndex < 0 || unitIndex >= getUnitCount())
    return kResultFalse;
  return SingleComponentEffect::getUnitInfo(unitIndex, info);
}

int32 PLUGIN_API IEffectVST3::getProgramListCount()
{
  // The factory presets are offered in the editor, not as a program list.
  return 0;
}

tresult PLUGIN_API IEffectVST3::getProgramListInfo(int32, ProgramListInfo&)
{
  return kResultFalse;
}

tresult PLUGIN_API IEffectVST3::getProgramName(ProgramListID listId, int32 programIndex, String128 name)
{
  if (!name || listId != static_cast<ProgramListID>(ParamIDs::kPresetList) || plugin->NPresets() <= 0)
    return kResultFalse;
  if (programIndex < 0 || programIndex >= plugin->NPresets())
    return kResultFalse;
  TextConversion::ToUTF16(plugin->GetPresetName(programIndex), name, 128);
  return kResultOk;
}

// --- MIDI mapping and channel context ----------------------------------------------

tresult PLUGIN_API IEffectVST3::getMidiControllerAssignment(int32 busIndex, int16 channel,
                                                            CtrlNumber midiControllerNumber, ParamID& id)
{
  if (!plugin->GetConfig().doesMidiIn || busIndex != 0 || channel < 0 || channel >= ParamIDs::kMidiChannels ||
      midiControllerNumber < 0 || midiControllerNumber >= ParamIDs::kMidiControllersPerChannel)
    return kResultFalse;
  id = ParamIDs::MidiController(channel, midiControllerNumber);
  return kResultOk;
}

tresult PLUGIN_API IEffectVST3::setChannelContextInfos(IAttributeList* list)
{
  try
  {
    return controller.SetChannelContextInfos(list) ? kResultTrue : kResultFalse;
  }
  catch (...)
  {
    return kResultFalse;
  }
}

// --- Edits from the instance ------------------------------------------------------

void IEffectVST3::BeginInformHostOfParamChange(int paramIdx)
{
  beginEdit(static_cast<ParamID>(paramIdx));
}

void IEffectVST3::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  performEdit(static_cast<ParamID>(paramIdx), normalizedValue);
}

void IEffectVST3::EndInformHostOfParamChange(int paramIdx)
{
  endEdit(static_cast<ParamID>(paramIdx));
}

void IEffectVST3::ParameterValueFromUI(int paramIdx, double normalizedValue)
{
  if (Parameter* object = getParameterObject(static_cast<ParamID>(paramIdx)))
    object->setNormalized(ClampNormalized(normalizedValue));
}

void IEffectVST3::InformHostOfPresetChange()
{
  // The parameter objects still hold the values from before the preset.
  bool changed[64] = {};
  const int count = std::min(plugin->NParams(), 64);
  for (int i = 0; i < count; ++i)
    if (Parameter* object = getParameterObject(static_cast<ParamID>(i)))
      changed[i] = object->getNormalized() != ClampNormalized(plugin->GetParam(i)->GetNormalized());
  refreshParameterObjects();
  startGroupEdit();
  for (int i = 0; i < count; ++i)
  {
    if (!changed[i])
      continue;
    const ParamID id = static_cast<ParamID>(i);
    beginEdit(id);
    performEdit(id, ClampNormalized(plugin->GetParam(i)->GetNormalized()));
    endEdit(id);
  }
  finishGroupEdit();
  if (componentHandler2)
    componentHandler2->setDirty(true);
}

void IEffectVST3::DirtyParametersFromUI()
{
  refreshParameterObjects();
  startGroupEdit();
  for (int i = 0; i < plugin->NParams(); ++i)
    performEdit(static_cast<ParamID>(i), plugin->GetParam(i)->GetNormalized());
  finishGroupEdit();
}
