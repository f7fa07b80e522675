#include "vst3/SingleComponentEffect.h"

#include "pluginterfaces/vst/vstspeaker.h"

namespace Steinberg::Vst
{
SingleComponentEffect::SingleComponentEffect()
: audioInputs(kAudio, kInput), audioOutputs(kAudio, kOutput), eventInputs(kEvent, kInput),
  eventOutputs(kEvent, kOutput)
{
  processSetup.processMode = kRealtime;
  processSetup.symbolicSampleSize = kSample32;
  processSetup.maxSamplesPerBlock = 1024;
  processSetup.sampleRate = 44100.0;
}

SingleComponentEffect::~SingleComponentEffect() = default;

tresult PLUGIN_API SingleComponentEffect::initialize(FUnknown* context)
{
  return EditControllerEx1::initialize(context);
}

tresult PLUGIN_API SingleComponentEffect::terminate()
{
  removeAllBusses();
  return EditControllerEx1::terminate();
}

tresult PLUGIN_API SingleComponentEffect::queryInterface(const TUID iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  // Component and controller are one object: there is no peer to talk to, so
  // the connection point stays hidden from the host.
  if (FUnknownPrivate::iidEqual(iid, IConnectionPoint::iid))
  {
    *obj = nullptr;
    return kNoInterface;
  }
  QUERY_INTERFACE(iid, obj, IComponent::iid, IComponent)
  QUERY_INTERFACE(iid, obj, IAudioProcessor::iid, IAudioProcessor)
  return EditControllerEx1::queryInterface(iid, obj);
}

BusList* SingleComponentEffect::getBusList(MediaType type, BusDirection dir)
{
  if (type == kAudio)
    return dir == kInput ? &audioInputs : dir == kOutput ? &audioOutputs : nullptr;
  if (type == kEvent)
    return dir == kInput ? &eventInputs : dir == kOutput ? &eventOutputs : nullptr;
  return nullptr;
}

Bus* SingleComponentEffect::getBus(MediaType type, BusDirection dir, int32 index)
{
  BusList* list = getBusList(type, dir);
  if (!list || index < 0 || static_cast<size_t>(index) >= list->size())
    return nullptr;
  return list->at(static_cast<size_t>(index));
}

tresult PLUGIN_API SingleComponentEffect::getControllerClassId(TUID)
{
  // No separate controller: this object is the controller.
  return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setIoMode(IoMode)
{
  return kNotImplemented;
}

int32 PLUGIN_API SingleComponentEffect::getBusCount(MediaType type, BusDirection dir)
{
  const BusList* list = getBusList(type, dir);
  return list ? static_cast<int32>(list->size()) : 0;
}

tresult PLUGIN_API SingleComponentEffect::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info)
{
  Bus* bus = getBus(type, dir, index);
  if (!bus)
    return kInvalidArgument;
  info.mediaType = type;
  info.direction = dir;
  return bus->getInfo(info) ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::getRoutingInfo(RoutingInfo&, RoutingInfo&)
{
  return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::activateBus(MediaType type, BusDirection dir, int32 index, TBool state)
{
  Bus* bus = getBus(type, dir, index);
  if (!bus)
    return kInvalidArgument;
  bus->setActive(state);
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::setActive(TBool)
{
  return kResultOk;
}

tresult SingleComponentEffect::restoreComponentState(IBStream*)
{
  return kNotImplemented;
}

tresult SingleComponentEffect::saveComponentState(IBStream*)
{
  return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                             SpeakerArrangement* outputs, int32 numOuts)
{
  if (numIns < 0 || numOuts < 0 || (numIns > 0 && !inputs) || (numOuts > 0 && !outputs))
    return kInvalidArgument;
  if (static_cast<size_t>(numIns) > audioInputs.size() || static_cast<size_t>(numOuts) > audioOutputs.size())
    return kResultFalse;
  for (int32 i = 0; i < numIns; ++i)
    if (auto* bus = FCast<AudioBus>(audioInputs.at(static_cast<size_t>(i)).get()))
      bus->setArrangement(inputs[i]);
  for (int32 i = 0; i < numOuts; ++i)
    if (auto* bus = FCast<AudioBus>(audioOutputs.at(static_cast<size_t>(i)).get()))
      bus->setArrangement(outputs[i]);
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr)
{
  auto* bus = FCast<AudioBus>(getBus(kAudio, dir, index));
  if (!bus)
    return kInvalidArgument;
  arr = bus->getArrangement();
  return kResultTrue;
}

tresult PLUGIN_API SingleComponentEffect::canProcessSampleSize(int32 symbolicSampleSize)
{
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API SingleComponentEffect::setupProcessing(ProcessSetup& setup)
{
  if (canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
    return kResultFalse;
  processSetup = setup;
  return kResultOk;
}

tresult PLUGIN_API SingleComponentEffect::setProcessing(TBool)
{
  return kNotImplemented;
}

tresult PLUGIN_API SingleComponentEffect::process(ProcessData&)
{
  return kNotImplemented;
}

AudioBus* SingleComponentEffect::addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType, int32 flags)
{
  auto* bus = new AudioBus(name, busType, flags, arr);
  bus->setActive((flags & BusInfo::kDefaultActive) != 0);
  audioInputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

AudioBus* SingleComponentEffect::addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType, int32 flags)
{
  auto* bus = new AudioBus(name, busType, flags, arr);
  bus->setActive((flags & BusInfo::kDefaultActive) != 0);
  audioOutputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

EventBus* SingleComponentEffect::addEventInput(const TChar* name, int32 channels, BusType busType, int32 flags)
{
  auto* bus = new EventBus(name, busType, flags, channels);
  bus->setActive((flags & BusInfo::kDefaultActive) != 0);
  eventInputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

EventBus* SingleComponentEffect::addEventOutput(const TChar* name, int32 channels, BusType busType, int32 flags)
{
  auto* bus = new EventBus(name, busType, flags, channels);
  bus->setActive((flags & BusInfo::kDefaultActive) != 0);
  eventOutputs.push_back(IPtr<Bus>(bus, false));
  return bus;
}

void SingleComponentEffect::removeAudioBusses()
{
  audioInputs.clear();
  audioOutputs.clear();
}

void SingleComponentEffect::removeEventBusses()
{
  eventInputs.clear();
  eventOutputs.clear();
}

void SingleComponentEffect::removeAllBusses()
{
  removeAudioBusses();
  removeEventBusses();
}
} // namespace Steinberg::Vst
