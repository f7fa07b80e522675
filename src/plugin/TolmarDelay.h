#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/DelayEngine.h"
#include "params/DelayParameters.h"
#include "params/IString.h"
#include "params/ProductFacts/StateFormat.h"
#include "plugin/IEffectCommandQueue.h"
#include "plugin/IEffectPlugin.h"
#include "plugin/IMidiQueue.h"
#include "plugin/IPublishedValue.h"
#include "plugin/MidiLearn.h"
#include "plugin/UserConfiguration.h"

// One instance of Tolmar Charge Chain Delay.
//
// Threads. The audio thread is the only one that changes what processing
// reads: the engine, the MIDI-learn state and the controller map. Every
// other thread stores parameter values (atomic in IParam) and posts what
// happened — a parameter changed, a button was pressed, a map was loaded —
// which the audio thread takes up at the start of its next block, before
// any audio of it (ApplyPendingChanges). While processing is stopped, the
// thread that sets it up is the audio thread's stand-in. What the editor
// shows beyond parameter values it reads from a published DisplayState.
class TolmarDelay final : public IEffectPlugin, private DelayEngine::ControlListener
{
public:
  // Editor refreshes that engine-side changes ask for. Raised on the audio
  // thread; the editor applies them on the main thread.
  enum ERefresh : uint32_t
  {
    kRefreshTimeDisplay = 1u << 0,
    kRefreshRateDisplay = 1u << 1,
    kRefreshFreeze = 1u << 2,
    kRefreshMidiLearn = 1u << 3,
    kRefreshAllControls = 1u << 4,
    kRefreshEditorScale = 1u << 5,
  };

  // The engine's state as the editor shows it, published by the audio thread.
  struct DisplayState
  {
    int32_t rangeIndex = 0;
    int32_t syncIndex = 7;
    double syncedDelayMs = 500.0;
    double timeFraction = 0.0;
    double rangeMinMs = 0.0;
    double rangeMaxMs = 0.0;
    double lfoDepth = 0.0;
    bool delaySync = false;
    bool lfoSync = false;
    bool frozen = false;
    bool learnArmed = false;
    bool unlearnMode = false;
    bool operator==(const DisplayState&) const = default;
  };

  static constexpr int kNumMidiControllers = MidiLearn::kNumControllers;
  static constexpr int kFreezeTarget = MidiLearn::kFreezeTarget;
  static constexpr int kUnbound = MidiLearn::kUnbound;

  static const IEffectConfig kConfig;

  explicit TolmarDelay(const InstanceInfo& info = {});
  ~TolmarDelay() override;

  // Framework callbacks.
  // Any thread: the parameter has a new value; the engine follows at the
  // start of the next block.
  void OnParamChange(int paramIdx) override;
  // kHost and kDelegate changes come from inside a process call (audio
  // thread) and reach the engine at once; all others are posted.
  void OnParamChange(int paramIdx, EParamSource source, int sampleOffset = -1) override;
  void OnParamGestureBegin(int paramIdx) override;                         // main thread
  void ApplyPendingChanges() override;                                     // audio thread
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override; // audio thread
  void ProcessMidiMsg(const IMidiMsg& msg) override;                       // audio thread
  void OnReset() override;                                                 // setup thread
  bool SerializeState(IByteChunk& chunk) const override;                   // any thread
  int UnserializeState(const IByteChunk& chunk, int startPos) override;    // main thread
  // A state the host restores: the preset menu then ticks the preset that
  // holds the restored values, or none.
  int unserializeTolmarState(const IByteChunk& chunk, int startPos) override; // main thread
  uint32_t GetTailSize() const override;                                   // any thread

  // State versions: every chunk starts with the tag; first-version chunks
  // had no tag, seven values and no sync switches.
  static constexpr const char* versionMagic = StateFormat::kTag;
  static constexpr const char* stringToTest = StateFormat::kTagPrefix;
  bool isOldVersion1(const IByteChunk& chunk, int startPos) const;
  // True when a tagged state holds the parameters' values (compared in
  // single precision, as values reach LV2 ports).
  bool holdsValuesOf(const IByteChunk& state) const;

  // Main thread: the editor's preset switch.
  void changePreset(int index);
  // Main thread: recalls a user preset's component state the way
  // changePreset recalls a factory preset; false, with nothing changed, when
  // the state is not one the effect can read.
  bool changeToUserPreset(const std::string& name, const std::vector<char>& componentState);
  // Main thread: the component state a user preset keeps of the current
  // settings: the state chunk and the bypass word, off.
  std::vector<char> userPresetState() const;
  // The user preset recalled last; empty once any other state was restored.
  const std::string& getUserPresetName() const { return userPresetName; }
  // Main thread: the current settings were saved as a user preset, which is
  // now the loaded one / the loaded user preset was deleted.
  void userPresetSaved(const std::string& name);
  void forgetUserPreset() { userPresetName.clear(); }
  // Main thread: the preset whose values the parameters hold (compared in
  // single precision, as values reach LV2 ports), or -1 for none.
  int presetMatchingValues() const;
  // Main thread: the first user preset (by name) whose values the
  // parameters hold, compared as above; empty for none.
  std::string userPresetMatchingValues() const;
  // True when the parameters hold the factory preset's own values (not
  // edits its bank entry took up).
  bool holdsFactoryValues(int preset) const;
  // Ticks that preset; where none matches, no preset, or (keepWhenNone) the
  // one ticked before, as after a knob was turned away from it. After a
  // restore (not keepWhenNone) a matching user preset is ticked where no
  // factory preset matches.
  void tickMatchingPreset(bool keepWhenNone);

  // Audio thread (or while processing is stopped): the engine's own steps.
  void setTimeParameters();
  void updateDelay();
  // A controller arrived while learning.
  void setMidiLearnCC(int controller);

  // Any thread: the editor's buttons. Posted; false when the queue is full.
  bool doFreeze();
  bool doMidiLearn(bool on);
  bool doMidiUnlearn(bool on);

  // Any thread: what the audio thread last published.
  DisplayState getDisplayState() const { return displayState.Read(); }
  bool isMidiLearnArmed() const { return getDisplayState().learnArmed; }
  bool isMidiUnlearnMode() const { return getDisplayState().unlearnMode; }
  bool isFrozen() const { return getDisplayState().frozen; }
  int32_t getRangeIndex() const { return getDisplayState().rangeIndex; }
  int32_t getSyncIndex() const { return getDisplayState().syncIndex; }
  bool isDelaySynced() const { return getDisplayState().delaySync; }
  bool isLFOSynced() const { return getDisplayState().lfoSync; }
  double getTimeFraction() const { return getDisplayState().timeFraction; }
  double getRangeMinMs() const { return getDisplayState().rangeMinMs; }
  double getRangeMaxMs() const { return getDisplayState().rangeMaxMs; }
  double getSyncedDelayMs() const { return getDisplayState().syncedDelayMs; }
  double getLFODepth() const { return getDisplayState().lfoDepth; }
  int32_t getMidiCCMapping(int controller) const { return midiLearn.mapping(controller); }

  // Display (any thread).
  void getDelayTimeDisplay(IString& text) const;
  void setRateDisplay();
  // Main thread: the refreshes raised since the last call.
  uint32_t takePendingRefreshes() { return pendingRefreshes.exchange(0, std::memory_order_acq_rel); }

  // What an editor apart from the instance (LV2) is told and posts: the
  // published display state, the delay time text, the controller map and
  // the buttons above.
  EditorIndicators GetEditorIndicators() const override; // any thread
  void GetReadoutText(IString& text) const override { getDelayTimeDisplay(text); }
  int32_t GetControllerBinding(int controller) const override { return getMidiCCMapping(controller); }
  bool PostLearn(bool armed) override { return doMidiLearn(armed); }
  bool PostUnlearn(bool armed) override { return doMidiUnlearn(armed); }
  bool PostFreeze() override { return doFreeze(); }
  void LearnController(int controller) override { setMidiLearnCC(controller); }
  void OnTempoChanged() override;
  void TickMatchingPreset(bool keepWhenNone) override { tickMatchingPreset(keepWhenNone); }

  // The engine itself: the audio thread's, or anyone's while processing is
  // stopped (tests, inspection).
  const DelayEngine& getEngine() const { return engine; }
  const DelayLine& getDelayLine() const { return engine.getDelayLine(); }
  const LFO& getLFO() const { return engine.getLFO(); }

  // Per-user configuration (main thread). loadConfig reads the controller
  // map and editor scale from the file (the map reaches the audio thread
  // like any other change); saveConfig writes them back in one atomic
  // rewrite. Both answer false when something failed.
  bool loadConfig();
  bool saveConfig();
  static bool fileExists(const IString& path);
  float getEditorScale() const { return userConfig.editorScale(); }
  void setEditorScale(float scale) { userConfig.setEditorScale(scale); }
  const char* getIniPath() const { return userConfig.path().c_str(); }

private:
  // Main thread: a recalled preset's values go to the host as one grouped
  // edit, and to the editor.
  void announceRecall();
  std::string userPresetName; // main thread
  struct Command
  {
    enum Type : int32_t
    {
      kNone,
      kLearn,   // value: armed
      kUnlearn, // value: armed
      kFreeze,
      kTouch, // value: the parameter taken hold of
    };
    Type type = kNone;
    int32_t value = 0;
  };

  // Audio thread.
  void beforeControlStep(int frame) override;
  void applyParamChange(int paramIdx);
  void applyCommand(const Command& command);
  void pressFreeze();
  void handleMidiEvents(int frame);
  void applyControlChange(int controller, int value, int frame);
  void learnFinished();
  void publish();
  void setRateDisplay(bool lfoSynced);
  bool post(Command::Type type, int32_t value = 0);

  // The scale the editor is drawn at, which saveConfig stores.
  float currentDrawScale() const
  {
    const IEditorConnection* connection = GetEditorConnection();
    return connection ? connection->GetEditorDrawScale() : getEditorScale();
  }
  void initParameters();
  void initPresets();
  void makeInitialPreset(int index, const char* name, ...);

  UserConfiguration userConfig;
  MidiLearn midiLearn;
  IMidiQueueBase midiQueue{IMidiQueueBase::kGrowthStep};
  DelayEngine engine;

  // Posted by other threads, taken up by the audio thread.
  std::atomic<uint64_t> pendingParams{0};
  IEffectCommandQueue<Command, 256> commands;
  std::array<std::atomic<int32_t>, MidiLearn::kNumControllers> pendingMap;
  std::atomic<bool> mapPending{false};

  // Published by the audio thread.
  DisplayState published;
  IPublishedValue<DisplayState> displayState;
  uint32_t unpublishedRefreshes = 0;
  std::atomic<uint32_t> pendingRefreshes{0};
  // The tempo the last block carried, for the tail of a synced delay.
  std::atomic<double> tailTempo{120.0};
};
