#pragma once
#include <array>
#include <memory>
#include <string>

#include "plugin/IBlockParamChanges.h"
#include "plugin/IEffectPlugin.h"
#include "toolkit/IEffectEditor.h"
#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "vst3/ChannelIO.h"
#include "vst3/HostIdentification.h"
#include "vst3/HostRunLoop.h"
#include "vst3/IEffectVST3ControllerBase.h"
#include "vst3/IEffectVST3ProcessorBase.h"
#include "vst3/SingleComponentEffect.h"

class IEffectVST3View;

// One effect instance as a VST 3 host sees it: component, audio processor,
// edit controller, unit info, MIDI mapping and channel-context listener in a
// single object. It owns the instance and is the instance's host connection.
//
// No call lets an exception out, and every call is valid in every state: the
// host may process before a setup or save before initialising.
//
// The editor belongs to the instance and outlives the windows it is shown
// in, so that a reopened editor starts from the last one's size; a view
// (IEffectVST3View) shows it in the host's window.
class IEffectVST3 final : public Steinberg::Vst::SingleComponentEffect,
                          public Steinberg::Vst::IMidiMapping,
                          public Steinberg::Vst::ChannelContext::IInfoListener,
                          public Steinberg::Vst::IProcessContextRequirements,
                          public IEffectHost
{
public:
  // hostContext is the factory's host context, if the host gave one;
  // resourceFolder the bundle's resources, where the editor's art lies.
  explicit IEffectVST3(std::unique_ptr<IEffectPlugin> plugin, Steinberg::FUnknown* hostContext = nullptr,
                       std::string resourceFolder = {});
  ~IEffectVST3() override;

  // IPluginBase (main thread).
  Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown* context) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API terminate() SMTG_OVERRIDE;

  // IComponent (main thread).
  Steinberg::tresult PLUGIN_API setActive(Steinberg::TBool state) SMTG_OVERRIDE;

  // IAudioProcessor: process on the audio thread, the rest on the main thread
  // while processing is stopped.
  Steinberg::tresult PLUGIN_API setBusArrangements(Steinberg::Vst::SpeakerArrangement* inputs, Steinberg::int32 numIns,
                                                   Steinberg::Vst::SpeakerArrangement* outputs,
                                                   Steinberg::int32 numOuts) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API canProcessSampleSize(Steinberg::int32 symbolicSampleSize) SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API getLatencySamples() SMTG_OVERRIDE;
  Steinberg::uint32 PLUGIN_API getTailSamples() SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setupProcessing(Steinberg::Vst::ProcessSetup& setup) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setProcessing(Steinberg::TBool state) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API process(Steinberg::Vst::ProcessData& data) SMTG_OVERRIDE;

  // IProcessContextRequirements (main thread, once between initialize and
  // setActive).
  Steinberg::uint32 PLUGIN_API getProcessContextRequirements() SMTG_OVERRIDE;

  // IEditController (main thread).
  Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32 paramIndex,
                                                 Steinberg::Vst::ParameterInfo& info) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID id,
                                                      Steinberg::Vst::ParamValue valueNormalized,
                                                      Steinberg::Vst::String128 string) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID id, Steinberg::Vst::TChar* string,
                                                      Steinberg::Vst::ParamValue& valueNormalized) SMTG_OVERRIDE;
  Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID id,
                                                               Steinberg::Vst::ParamValue valueNormalized) SMTG_OVERRIDE;
  Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(Steinberg::Vst::ParamID id,
                                                               Steinberg::Vst::ParamValue plainValue) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID id,
                                                   Steinberg::Vst::ParamValue value) SMTG_OVERRIDE;
  Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString name) SMTG_OVERRIDE;

  // IUnitInfo (main thread).
  Steinberg::tresult PLUGIN_API getUnitInfo(Steinberg::int32 unitIndex, Steinberg::Vst::UnitInfo& info) SMTG_OVERRIDE;
  Steinberg::int32 PLUGIN_API getProgramListCount() SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getProgramListInfo(Steinberg::int32 listIndex,
                                                   Steinberg::Vst::ProgramListInfo& info) SMTG_OVERRIDE;
  Steinberg::tresult PLUGIN_API getProgramName(Steinberg::Vst::ProgramListID listId, Steinberg::int32 programIndex,
                                               Steinberg::Vst::String128 name) SMTG_OVERRIDE;

  // IMidiMapping (main thread).
  Steinberg::tresult PLUGIN_API getMidiControllerAssignment(Steinberg::int32 busIndex, Steinberg::int16 channel,
                                                            Steinberg::Vst::CtrlNumber midiControllerNumber,
                                                            Steinberg::Vst::ParamID& id) SMTG_OVERRIDE;

  // ChannelContext::IInfoListener (main thread).
  Steinberg::tresult PLUGIN_API setChannelContextInfos(Steinberg::Vst::IAttributeList* list) SMTG_OVERRIDE;

  // IEffectHost: the instance's edits towards the host, main thread.
  void BeginInformHostOfParamChange(int paramIdx) override;
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;
  void EndInformHostOfParamChange(int paramIdx) override;
  void ParameterValueFromUI(int paramIdx, double normalizedValue) override;
  // Main thread: the editor recalled a preset. Every parameter it changed
  // goes to the host as an edit, grouped, and the host marks its document
  // modified.
  void InformHostOfPresetChange() override;
  // Audio thread, inside process: collected for the block's output changes.
  void InformHostOfParamChangeFromProcess(int paramIdx, double normalizedValue, int sampleOffset) override;
  // Main thread: the parameter object follows a change processing made.
  void ParameterChangedByProcess(int paramIdx, double normalizedValue) override;

  // Main thread: the editor changed many parameters at once (a preset).
  void DirtyParametersFromUI();

  // --- Editor (main thread) -------------------------------------------------
  // The effect has an editor and the module installed a way to make it.
  bool HasEditor();
  // The instance's editor, made on first use; only when HasEditor().
  IEffectEditor& Editor();
  // The editor changed its window size by itself (points): the view that
  // shows it asks the host to follow. Always true.
  bool EditorResize(int width, int height);
  // Only one view at a time shows the editor: false while another has it.
  bool ClaimEditor(IEffectVST3View& view);
  void ReleaseEditor(IEffectVST3View& view);
  IEffectVST3View* GetOpenView() const { return openView; }
  void ViewDestroyed(IEffectVST3View& view);
  // The run loop the host offered through its contexts, if any.
  Steinberg::Linux::IRunLoop* ContextRunLoop() const { return contextRunLoop; }
  // The open view's run loop (null when it closes): carries the idle timer
  // when the host offered none otherwise.
  void SetViewRunLoop(Steinberg::Linux::IRunLoop* loop);
  bool IdleTimerRunning() const { return idleTimer.IsRunning(); }

  IEffectPlugin& GetPlugin() { return *plugin; }
  EHost GetHost() const { return host; }
  const IEffectVST3ControllerBase& GetController() const { return controller; }

  OBJ_METHODS(IEffectVST3, SingleComponentEffect)
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) SMTG_OVERRIDE;
  REFCOUNT_METHODS(SingleComponentEffect)

protected:
  Steinberg::tresult restoreComponentState(Steinberg::IBStream* state) override;
  Steinberg::tresult saveComponentState(Steinberg::IBStream* state) override;

private:
  void identifyHost(Steinberg::FUnknown* context);
  void addBuses(const IOConfig* inputs, const IOConfig* outputs);
  void refreshParameterObjects();
  // Runs the 20 ms idle timer on the best run loop there is, or stops it.
  void placeIdleTimer();

  std::unique_ptr<IEffectPlugin> plugin;
  IEffectVST3ProcessorBase processor;
  IEffectVST3ControllerBase controller;
  std::vector<IOConfig> ioConfigs;
  EHost host = kHostUninit;
  bool initialized = false;

  std::string resourceFolder;
  std::unique_ptr<IEffectEditor> editor;  // after plugin: goes first

  IBlockParamChanges processChanges;
  void reportProcessChanges(Steinberg::Vst::IParameterChanges* output);
  IEffectVST3View* currentView = nullptr;  // the last view created
  IEffectVST3View* openView = nullptr;     // the view showing the editor
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> factoryRunLoop;
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> contextRunLoop;
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> viewRunLoop;
  HostRunLoop::HostTimer idleTimer;
};
