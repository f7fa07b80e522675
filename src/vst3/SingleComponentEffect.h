#pragma once
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "public.sdk/source/vst/vstbus.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

namespace Steinberg::Vst
{
// IComponent and IEditController both name their state calls setState and
// getState. One object answers both, so each side gets its own class here
// and the component's calls are forwarded under names of their own.
class ComponentStateCalls : public IComponent
{
public:
  tresult PLUGIN_API setState(IBStream* state) SMTG_OVERRIDE final { return restoreComponentState(state); }
  tresult PLUGIN_API getState(IBStream* state) SMTG_OVERRIDE final { return saveComponentState(state); }

protected:
  virtual tresult restoreComponentState(IBStream* state) = 0;
  virtual tresult saveComponentState(IBStream* state) = 0;
};

// The controller has no state of its own: everything is in the component's.
class ControllerWithoutState : public EditControllerEx1
{
public:
  tresult PLUGIN_API setState(IBStream*) SMTG_OVERRIDE { return kResultOk; }
  tresult PLUGIN_API getState(IBStream*) SMTG_OVERRIDE { return kResultOk; }
  // Component and controller are one object: the component's state has
  // already been restored when the host passes it here.
  tresult PLUGIN_API setComponentState(IBStream*) SMTG_OVERRIDE { return kResultOk; }
};

// Component, audio processor and edit controller in one object, for effects
// whose controller needs no separate class. Holds the bus lists and the
// processing setup; the effect fills in processing, state and the bus layout.
//
// Every call is valid in every state and checks its arguments, since hosts and
// validators call in any order.
class SingleComponentEffect : public ControllerWithoutState, public ComponentStateCalls, public IAudioProcessor
{
public:
  SingleComponentEffect();
  ~SingleComponentEffect() override;

  // IPluginBase (main thread).
  tresult PLUGIN_API initialize(FUnknown* context) SMTG_OVERRIDE;
  tresult PLUGIN_API terminate() SMTG_OVERRIDE;

  // IComponent (main thread).
  tresult PLUGIN_API getControllerClassId(TUID classID) SMTG_OVERRIDE;
  tresult PLUGIN_API setIoMode(IoMode mode) SMTG_OVERRIDE;
  int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& info) SMTG_OVERRIDE;
  tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) SMTG_OVERRIDE;
  tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API setActive(TBool state) SMTG_OVERRIDE;

  // IAudioProcessor (main thread, except process on the audio thread).
  tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                        int32 numOuts) SMTG_OVERRIDE;
  tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) SMTG_OVERRIDE;
  tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) SMTG_OVERRIDE;
  uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE { return 0; }
  tresult PLUGIN_API setupProcessing(ProcessSetup& setup) SMTG_OVERRIDE;
  tresult PLUGIN_API setProcessing(TBool state) SMTG_OVERRIDE;
  tresult PLUGIN_API process(ProcessData& data) SMTG_OVERRIDE;
  uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE { return kNoTail; }

  // Bus setup. Buses marked default-active start active.
  AudioBus* addAudioInput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  AudioBus* addAudioOutput(const TChar* name, SpeakerArrangement arr, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventInput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                          int32 flags = BusInfo::kDefaultActive);
  EventBus* addEventOutput(const TChar* name, int32 channels = 16, BusType busType = kMain,
                           int32 flags = BusInfo::kDefaultActive);
  void removeAudioBusses();
  void removeEventBusses();
  void removeAllBusses();

  OBJ_METHODS(SingleComponentEffect, EditControllerEx1)
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) SMTG_OVERRIDE;
  REFCOUNT_METHODS(EditControllerEx1)

protected:
  // The component's state, as IComponent::setState and getState reach it.
  tresult restoreComponentState(IBStream* state) override;
  tresult saveComponentState(IBStream* state) override;

  BusList* getBusList(MediaType type, BusDirection dir);
  Bus* getBus(MediaType type, BusDirection dir, int32 index);

  ProcessSetup processSetup;
  BusList audioInputs;
  BusList audioOutputs;
  BusList eventInputs;
  BusList eventOutputs;
};
} // namespace Steinberg::Vst
