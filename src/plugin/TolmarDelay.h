#pragma once
#include <atomic>
#include <cstdint>

#include "control/TolmarConfig.h"
#include "engine/DelayLine.h"
#include "engine/LFO.h"
#include "params/DelayParameters.h"
#include "params/ProductFacts/StateFormat.h"
#include "params/IString.h"
#include "plugin/IEffectBase.h"
#include "plugin/IEffectProcessor.h"
#include "plugin/IMidiQueue.h"

// What the factory passes to a new instance; nothing so far.
struct InstanceInfo
{
};

// The platform-neutral half of a plug-in: parameters, state and host edits
// on one side, audio processing on the other. Host bindings drive it.
class IEffectPlugin : public IEffectAPIBase, public IEffectProcessor
{
public:
  explicit IEffectPlugin(const IEffectConfig& config) : IEffectAPIBase(config) {}
};

// One instance of Tolmar Charge Chain Delay.
class TolmarDelay final : public IEffectPlugin, private DelayLine::ControlStep
{
public:
  // Editor refreshes that engine-side changes ask for. They may be raised on
  // the audio thread; the editor applies them on the main thread.
  enum ERefresh : uint32_t
  {
    kRefreshTimeDisplay = 1u << 0,
    kRefreshRateDisplay = 1u << 1,
    kRefreshFreeze = 1u << 2,
    kRefreshMidiLearn = 1u << 3,
    kRefreshAllControls = 1u << 4,
    kRefreshEditorScale = 1u << 5,
  };

  static constexpr int kNumMidiControllers = kConfigControllers;
  static constexpr int kFreezeTarget = -12;
  static constexpr int kUnbound = -1;

  static const IEffectConfig kConfig;

  explicit TolmarDelay(const InstanceInfo& info = {});
  ~TolmarDelay() override;

  // Framework callbacks.
  using IEffectPlugin::OnParamChange;
  void OnParamChange(int paramIdx) override;         // audio or main thread
  void ProcessBlock(double** inputs, double** outputs, int nFrames) override; // audio thread
  void ProcessMidiMsg(const IMidiMsg& msg) override; // audio thread
  void OnReset() override;                           // setup thread
  bool SerializeState(IByteChunk& chunk) const override;            // main thread
  int UnserializeState(const IByteChunk& chunk, int startPos) override; // main thread
  uint32_t GetTailSize() const override;                                // any thread

  // State versions: every chunk starts with the tag; first-version chunks
  // had no tag, seven values and no sync switches.
  static constexpr const char* versionMagic = StateFormat::kTag;
  static constexpr const char* stringToTest = StateFormat::kTagPrefix;
  bool isOldVersion1(const IByteChunk& chunk, int startPos) const;

  // Main thread: the editor's preset switch.
  void changePreset(int index);

  // Delay time, clock and freeze.
  void setTimeParameters();
  void updateDelay();
  void doFreeze();

  // MIDI learn (main thread: the editor's learn button).
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  // A controller arrived while learning (audio thread).
  void setMidiLearnCC(int controller);
  bool isMidiLearnArmed() const { return learnArmed; }
  bool isMidiUnlearnMode() const { return unlearnMode; }

  // Display.
  void getDelayTimeDisplay(IString& text) const;
  void setRateDisplay();
  void refreshTimeDisplay();
  void refreshRateDisplay();
  void refreshFreeze();
  void refreshMidiLearn();
  // Main thread: the refreshes raised since the last call.
  uint32_t takePendingRefreshes() { return pendingRefreshes.exchange(0, std::memory_order_acq_rel); }

  // What the engine runs on, for the editor and for inspection.
  const DelayLine& getDelayLine() const { return delayLine; }
  const LFO& getLFO() const { return lfo; }
  bool isFrozen() const { return frozen; }
  int32_t getRangeIndex() const { return rangeIndex; }
  int32_t getSyncIndex() const { return syncIndex; }
  bool isDelaySynced() const { return delaySync; }
  bool isLFOSynced() const { return lfoSync; }
  double getTimeFraction() const { return timeFraction; }
  double getRangeMinMs() const { return rangeMinMs; }
  double getRangeMaxMs() const { return rangeMaxMs; }
  double getSyncedDelayMs() const { return syncedDelayMs; }
  double getLFODepth() const { return lfoDepth; }
  float getEditorScale() const { return editorScale; }
  // Main thread: the window-size menu's choice.
  void setEditorScale(float scale) { editorScale = scale; }
  const char* getIniPath() const { return iniPath.Get(); }
  int32_t getMidiCCMapping(int controller) const
  {
    return controller >= 0 && controller < kNumMidiControllers ? midiCCMap[controller] : kUnbound;
  }

  // Per-user configuration file (main thread). loadConfig reads the
  // controller map and editor scale from it; saveConfig writes them back in
  // one atomic rewrite. Both answer false when something failed.
  bool loadConfig();
  bool saveConfig();
  static bool fileExists(const IString& path);

private:
  // Runs every control interval inside ProcessBlock.
  void controlStep() override;
  void handleSync2Host();
  void handleMidiEvents();
  void applyControlChange(int controller, int value);
  void learnStep();
  void raiseRefresh(uint32_t flags) { pendingRefreshes.fetch_or(flags, std::memory_order_acq_rel); }

  // Construction steps that later parts of the system fill.
  void locateConfig();
  // The scale the editor is drawn at, which saveConfig stores.
  float currentDrawScale() const
  {
    const IEditorConnection* connection = GetEditorConnection();
    return connection ? connection->GetEditorDrawScale() : editorScale;
  }
  void initParameters();
  void installEditor();
  void initPresets();
  void makeInitialPreset(int index, const char* name, ...);

  // Configuration.
  IString iniPath;
  float editorScale = 0.5f;

  // MIDI-CC map: controller number -> parameter index, kFreezeTarget or kUnbound.
  int32_t midiCCMap[kNumMidiControllers];

  IMidiQueueBase midiQueue{IMidiQueueBase::kGrowthStep};

  // MIDI-learn state.
  bool learnArmed = false;
  bool unlearnMode = false;
  int32_t pendingController = -1;
  int32_t learnTarget = -1;

  // Delay engine.
  DelayLine delayLine;
  LFO lfo;
  bool lastTransportRunning = false;
  bool frozen = false;
  int32_t rangeIndex = 0;
  int32_t syncIndex = 7;
  bool delaySync = false;
  bool lfoSync = false;
  double lastTempo = 0.0;
  double timeFraction = 0.0;
  double rangeMinMs = 0.0;
  double rangeMaxMs = 0.0;
  double syncedDelayMs = 500.0;
  int32_t range = 0;
  double timeValue = 0.0;
  double mix = 0.0;
  double lfoDepth = 0.0;

  std::atomic<uint32_t> pendingRefreshes{0};
  // The tempo the last block carried, for the tail of a synced delay.
  std::atomic<double> tailTempo{120.0};
};
