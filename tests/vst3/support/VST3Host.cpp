#include "vst3/support/VST3Host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "host/Utf16.h"
#include "pluginterfaces/vst/vstspeaker.h"

#ifndef TOLMAR_VST3_BUNDLE_BINARY
#error "TOLMAR_VST3_BUNDLE_BINARY must name the built bundle's library"
#endif

namespace host
{
namespace
{
template <typename Interface>
tresult answer(FUnknown* self, Interface* as, const TUID iid, void** obj)
{
  if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, Interface::iid))
  {
    self->addRef();
    *obj = as;
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

template <typename T>
T* query(FUnknown* object)
{
  void* result = nullptr;
  if (object && object->queryInterface(T::iid, &result) == kResultOk)
    return static_cast<T*>(result);
  return nullptr;
}

template <typename T>
void releaseIf(T*& object)
{
  if (object)
    object->release();
  object = nullptr;
}
} // namespace

// --- PluginModule --------------------------------------------------------------

PluginModule::PluginModule(const char* path)
  : ModuleLibrary(path ? path : TOLMAR_VST3_BUNDLE_BINARY, Unload::Unmap)
{
  if (loaded())
    entry(library());
}

PluginModule::~PluginModule()
{
  if (entered())
    exit();
}

// --- EffectInstance ------------------------------------------------------------

EffectInstance::EffectInstance(PluginModule& module, const char* hostName, bool initialize)
{
  IPluginFactory* factory = module.factory();
  if (!factory)
    return;
  PClassInfo info;
  if (factory->getClassInfo(0, &info) == kResultOk)
  {
    void* object = nullptr;
    if (factory->createInstance(info.cid, IComponent::iid, &object) == kResultOk)
      component = static_cast<IComponent*>(object);
  }
  factory->release();
  if (!component)
    return;
  processor = query<IAudioProcessor>(component);
  controller = query<IEditController>(component);
  units = query<IUnitInfo>(component);
  midiMapping = query<IMidiMapping>(component);
  application = new HostApplication(hostName);
  if (initialize)
    initialized = component->initialize(application) == kResultOk;
}

EffectInstance::~EffectInstance()
{
  stop();
  if (initialized && component)
    component->terminate();
  releaseIf(midiMapping);
  releaseIf(units);
  releaseIf(controller);
  releaseIf(processor);
  releaseIf(component);
  delete application;
}

bool EffectInstance::initialize()
{
  if (component && !initialized)
    initialized = component->initialize(application) == kResultOk;
  return initialized;
}

bool EffectInstance::start(double sampleRate, int32 maxBlock, int32 sampleSize)
{
  ProcessSetup setup{kRealtime, sampleSize, maxBlock, sampleRate};
  if (processor->setupProcessing(setup) != kResultOk)
    return false;
  component->activateBus(kAudio, kInput, 0, true);
  component->activateBus(kAudio, kOutput, 0, true);
  component->activateBus(kEvent, kInput, 0, true);
  if (component->setActive(true) != kResultOk)
    return false;
  processor->setProcessing(true);
  started = true;
  return true;
}

void EffectInstance::stop()
{
  if (!started)
    return;
  processor->setProcessing(false);
  component->setActive(false);
  started = false;
}

// --- Host objects ----------------------------------------------------------------

tresult PLUGIN_API HostApplication::getName(String128 out)
{
  tolmar::host::toString128(name, out);
  return kResultOk;
}

tresult PLUGIN_API HostApplication::queryInterface(const TUID iid, void** obj)
{
  if (runLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
  {
    runLoop->addRef();
    *obj = runLoop;
    return kResultOk;
  }
  return answer<IHostApplication>(this, this, iid, obj);
}

tresult PLUGIN_API ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value)
{
  ++reads;
  lastIndexRead = index;
  if (index < 0 || index >= getPointCount())
    return kResultFalse;
  sampleOffset = points[static_cast<size_t>(index)].first;
  value = points[static_cast<size_t>(index)].second;
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index)
{
  if (count >= kCapacity)
    return kResultFalse;
  index = count;
  points[count++] = {sampleOffset, value};
  return kResultOk;
}

tresult PLUGIN_API ParamValueQueue::queryInterface(const TUID iid, void** obj)
{
  return answer<IParamValueQueue>(this, this, iid, obj);
}

IParamValueQueue* PLUGIN_API ParameterChanges::getParameterData(int32 index)
{
  if (index < 0 || index >= getParameterCount())
    return nullptr;
  return &queues[static_cast<size_t>(index)];
}

IParamValueQueue* PLUGIN_API ParameterChanges::addParameterData(const ParamID& id, int32& index)
{
  // As hosts do: one queue per parameter, later points go to the same one.
  for (size_t i = 0; i < queues.size(); ++i)
    if (queues[i].getParameterId() == id)
    {
      index = static_cast<int32>(i);
      return &queues[i];
    }
  if (queues.size() == queues.capacity())
    return nullptr;
  index = getParameterCount();
  queues.emplace_back(id);
  return &queues.back();
}

ParamValueQueue& ParameterChanges::add(ParamID id, ParamValue value, int32 sampleOffset)
{
  // A queue of its own, even for a parameter that has one already: tests
  // use this to send the same parameter in several queues.
  queues.emplace_back(id);
  int32 index = 0;
  queues.back().addPoint(sampleOffset, value, index);
  return queues.back();
}

tresult PLUGIN_API ParameterChanges::queryInterface(const TUID iid, void** obj)
{
  return answer<IParameterChanges>(this, this, iid, obj);
}

tresult PLUGIN_API EventList::getEvent(int32 index, Event& e)
{
  if (index < 0 || index >= getEventCount())
    return kResultFalse;
  e = events[static_cast<size_t>(index)];
  return kResultOk;
}

tresult PLUGIN_API EventList::addEvent(Event& e)
{
  events.push_back(e);
  return kResultOk;
}

void EventList::noteOn(int16 channel, int16 pitch, float velocity, int32 offset)
{
  Event e{};
  e.type = Event::kNoteOnEvent;
  e.sampleOffset = offset;
  e.noteOn.channel = channel;
  e.noteOn.pitch = pitch;
  e.noteOn.velocity = velocity;
  e.noteOn.noteId = -1;
  addEvent(e);
}

void EventList::noteOff(int16 channel, int16 pitch, float velocity, int32 offset)
{
  Event e{};
  e.type = Event::kNoteOffEvent;
  e.sampleOffset = offset;
  e.noteOff.channel = channel;
  e.noteOff.pitch = pitch;
  e.noteOff.velocity = velocity;
  e.noteOff.noteId = -1;
  addEvent(e);
}

tresult PLUGIN_API EventList::queryInterface(const TUID iid, void** obj)
{
  return answer<IEventList>(this, this, iid, obj);
}

tresult PLUGIN_API MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead)
{
  ++reads;
  if (numBytesRead)
    *numBytesRead = 0;
  if (failReads)
    return kResultFalse;
  if (numBytes < 0 || position < 0)
    return kInvalidArgument;
  const int64 available = std::max<int64>(0, static_cast<int64>(bytes.size()) - position);
  const int32 count = static_cast<int32>(std::min<int64>({available, numBytes, maxReadPiece}));
  if (count > 0)
    std::memcpy(buffer, bytes.data() + position, static_cast<size_t>(count));
  position += count;
  if (numBytesRead)
    *numBytesRead = count;
  return failReadsWithData ? kResultFalse : kResultOk;
}

tresult PLUGIN_API MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten)
{
  if (numBytes < 0 || position < 0)
    return kInvalidArgument;
  const size_t end = static_cast<size_t>(position) + static_cast<size_t>(numBytes);
  if (bytes.size() < end)
    bytes.resize(end);
  std::memcpy(bytes.data() + position, buffer, static_cast<size_t>(numBytes));
  position = static_cast<int64>(end);
  if (numBytesWritten)
    *numBytesWritten = numBytes;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::seek(int64 pos, int32 mode, int64* result)
{
  int64 target = pos;
  if (mode == kIBSeekCur)
    target = position + pos;
  else if (mode == kIBSeekEnd)
    target = static_cast<int64>(bytes.size()) + pos;
  if (target < 0)
    return kInvalidArgument;
  position = target;
  if (result)
    *result = position;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::tell(int64* pos)
{
  if (!pos)
    return kInvalidArgument;
  *pos = position;
  return kResultOk;
}

tresult PLUGIN_API MemoryStream::queryInterface(const TUID iid, void** obj)
{
  return answer<IBStream>(this, this, iid, obj);
}

tresult PLUGIN_API AttributeList::setInt(AttrID id, int64 value)
{
  ints.emplace_back(id, value);
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getInt(AttrID id, int64& value)
{
  for (const auto& [key, stored] : ints)
    if (key == id)
    {
      value = stored;
      return kResultOk;
    }
  return kResultFalse;
}

tresult PLUGIN_API AttributeList::setString(AttrID id, const TChar* string)
{
  strings.emplace_back(id, std::u16string(string));
  return kResultOk;
}

tresult PLUGIN_API AttributeList::getString(AttrID id, TChar* string, uint32 sizeInBytes)
{
  for (const auto& [key, stored] : strings)
    if (key == id)
    {
      const size_t capacity = sizeTakenAsCharacters ? sizeInBytes : sizeInBytes / sizeof(TChar);
      if (capacity == 0)
        return kResultFalse;
      const size_t count = std::min(stored.size(), capacity - 1);
      std::copy_n(stored.data(), count, string);
      string[count] = 0;
      return kResultOk;
    }
  return kResultFalse;
}

void AttributeList::setText(AttrID lengthKey, AttrID textKey, const std::u16string& text)
{
  setInt(lengthKey, static_cast<int64>(text.size()));
  setString(textKey, text.c_str());
}

tresult PLUGIN_API AttributeList::queryInterface(const TUID iid, void** obj)
{
  return answer<IAttributeList>(this, this, iid, obj);
}

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj)
{
  if (FUnknownPrivate::iidEqual(iid, IComponentHandler2::iid))
  {
    addRef();
    *obj = static_cast<IComponentHandler2*>(this);
    return kResultOk;
  }
  return answer<IComponentHandler>(static_cast<IComponentHandler*>(this), this, iid, obj);
}

// --- AudioBlock -------------------------------------------------------------------

AudioBlock::AudioBlock(int32 size, int32 maxFrames, int32 inChannels, int32 outChannels) : sampleSize(size)
{
  const auto frames = static_cast<size_t>(maxFrames);
  in32.assign(static_cast<size_t>(inChannels), std::vector<float>(frames, 0.0f));
  out32.assign(static_cast<size_t>(outChannels), std::vector<float>(frames, 0.0f));
  in64.assign(static_cast<size_t>(inChannels), std::vector<double>(frames, 0.0));
  out64.assign(static_cast<size_t>(outChannels), std::vector<double>(frames, 0.0));
  for (auto& v : in32) in32Ptrs.push_back(v.data());
  for (auto& v : out32) out32Ptrs.push_back(v.data());
  for (auto& v : in64) in64Ptrs.push_back(v.data());
  for (auto& v : out64) out64Ptrs.push_back(v.data());

  inputBus.numChannels = inChannels;
  outputBus.numChannels = outChannels;
  if (sampleSize == kSample32)
  {
    inputBus.channelBuffers32 = in32Ptrs.data();
    outputBus.channelBuffers32 = out32Ptrs.data();
  }
  else
  {
    inputBus.channelBuffers64 = in64Ptrs.data();
    outputBus.channelBuffers64 = out64Ptrs.data();
  }
  data.processMode = kRealtime;
  data.symbolicSampleSize = sampleSize;
  data.numSamples = 0;
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &inputBus;
  data.outputs = &outputBus;
}

void AudioBlock::setInput(int channel, const double* samples, int32 numFrames)
{
  for (int32 i = 0; i < numFrames; ++i)
  {
    in64[static_cast<size_t>(channel)][static_cast<size_t>(i)] = samples[i];
    in32[static_cast<size_t>(channel)][static_cast<size_t>(i)] = static_cast<float>(samples[i]);
  }
}

double AudioBlock::output(int channel, int32 frame) const
{
  return sampleSize == kSample32 ? out32[static_cast<size_t>(channel)][static_cast<size_t>(frame)]
                                 : out64[static_cast<size_t>(channel)][static_cast<size_t>(frame)];
}

void AudioBlock::fillOutputs(double value)
{
  for (auto& v : out32) std::fill(v.begin(), v.end(), static_cast<float>(value));
  for (auto& v : out64) std::fill(v.begin(), v.end(), value);
}

std::string toString(const char16* text) { return tolmar::host::toUtf8(text, 1024); }
} // namespace host
