#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "params/IByteChunk.h"
#include "params/IParam.h"
#include "plugin/IEffectQueue.h"
#include "plugin/IMidiMsg.h"

// Who set a parameter; the numbers are part of the framework's contract.
enum EParamSource
{
  kReset = 0,
  kHost = 1,
  kPresetRecall = 2,
  kUI = 3,
  kDelegate = 4,
  kRecompile = 5,
  kUnknown = 6,
};

// What the host binding offers the instance: parameter edits towards the
// host. The binding installs itself with IEffectAPIBase::SetHost.
class IEffectHost
{
public:
  virtual ~IEffectHost() = default;
  // Main thread: an edit of the user's, begun, moved and ended.
  virtual void BeginInformHostOfParamChange(int paramIdx) = 0;
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue) = 0;
  virtual void EndInformHostOfParamChange(int paramIdx) = 0;
  // Audio thread, inside a process call: the effect changed a parameter by
  // itself (a MIDI controller drives it), at this frame of the block. The
  // binding reports it with the block's output; it must not call into the
  // host's main-thread interfaces from here.
  virtual void InformHostOfParamChangeFromProcess(int, double, int) {}
  // Main thread, soon after: the same change, for the binding's own view of
  // the parameter. No edit is reported to the host for it.
  virtual void ParameterChangedByProcess(int, double) {}
  // The editor set a value: the binding updates its own view of it.
  virtual void ParameterValueFromUI(int, double) {}
  virtual void InformHostOfPresetChange() {}
};

// What an open editor offers the instance. Calls arrive on the main thread.
class IEditorConnection
{
public:
  virtual ~IEditorConnection() = default;
  virtual void SetControlValueFromDelegate(int paramIdx, double normalizedValue) = 0;
  virtual void OnMidiMsgUI(const IMidiMsg&) {}
  // The scale the editor is drawn at right now.
  virtual float GetEditorDrawScale() const = 0;
};

// Callbacks about parameter changes, shared by instance and editor.
class IEditorDelegate
{
public:
  virtual ~IEditorDelegate() = default;
  // After parameter paramIdx has a new value.
  virtual void OnParamChange(int paramIdx) { (void)paramIdx; }
  virtual void OnParamChange(int paramIdx, EParamSource, int sampleOffset = -1)
  {
    (void)sampleOffset;
    OnParamChange(paramIdx);
  }
  virtual void OnParamChangeUI(int, EParamSource) {}
  // Main thread: the user took hold of a parameter's control in the editor.
  virtual void OnParamGestureBegin(int) {}
};

class IGraphicEditorDelegate : public IEditorDelegate
{
public:
  // Main thread: an editor opened (non-null) or closed (null).
  void SetEditorConnection(IEditorConnection* connection) { editor.store(connection, std::memory_order_release); }
  IEditorConnection* GetEditorConnection() const { return editor.load(std::memory_order_acquire); }
  bool HasOpenEditor() const { return GetEditorConnection() != nullptr; }
  // Shows a normalised value on the editor's controls, if an editor exists.
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

protected:
  std::atomic<IEditorConnection*> editor{nullptr};
};

// The effect's description, handed to the framework at construction.
struct IEffectConfig
{
  int nParams = 0;
  int nPresets = 0;
  const char* channelIO = "2-2";
  const char* effectName = "";
  const char* productName = "";
  const char* mfrName = "";
  int32_t vendorVersion = 0;
  uint32_t uniqueID = 0;
  uint32_t mfrID = 0;
  int latency = 0;
  bool doesMidiIn = false;
  bool doesMidiOut = false;
  bool hasEditor = false;
  int editorWidth = 0;
  int editorHeight = 0;
  int editorFPS = 60;
  int minWidth = 0, maxWidth = 0, minHeight = 0, maxHeight = 0;
};

// One entry of the preset bank: a name and a state chunk.
struct IPreset
{
  static constexpr int kMaxNameLength = 256;
  bool initialized = false;
  char name[kMaxNameLength] = "empty";
  IByteChunk chunk;
};

// Owns the parameter list and the preset bank, runs the change callbacks
// over them and reads and writes the state chunk.
class IEffectBase : public IGraphicEditorDelegate
{
public:
  explicit IEffectBase(const IEffectConfig& config);
  ~IEffectBase() override;

  // State (main thread). Reads return the position after the data read, or
  // -1 when the data ran out.
  virtual bool SerializeState(IByteChunk& chunk) const { return SerializeParams(chunk); }
  virtual int UnserializeState(const IByteChunk& chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  virtual int unserializeTolmarState(const IByteChunk& chunk, int startPos) { return UnserializeState(chunk, startPos); }
  // The controller has no state of its own.
  virtual bool SerializeVST3CtrlrState(IByteChunk&) const { return true; }
  virtual int UnserializeVST3CtrlrState(const IByteChunk&, int startPos) { return startPos; }
  bool SerializeParams(IByteChunk& chunk) const;
  int UnserializeParams(const IByteChunk& chunk, int startPos);

  // Preset bank (main thread).
  int NPresets() const { return static_cast<int>(presets.size()); }
  const char* GetPresetName(int index) const;
  int GetCurrentPresetIdx() const { return currentPresetIdx; }
  const IPreset* GetPreset(int index) const;
  IPreset* GetPreset(int index);
  virtual bool RestorePreset(int index);
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  virtual void OnPresetsModified() {}

  const IEffectConfig& GetConfig() const { return config; }
  int NParams() const { return static_cast<int>(params.size()); }
  IParam* GetParam(int paramIdx) { return paramIdx >= 0 && paramIdx < NParams() ? params[static_cast<size_t>(paramIdx)].get() : nullptr; }
  const IParam* GetParam(int paramIdx) const { return const_cast<IEffectBase*>(this)->GetParam(paramIdx); }
  // For indices known to exist (the effect's own parameter constants).
  IParam& Param(int paramIdx) { return *params[static_cast<size_t>(paramIdx)]; }
  const IParam& Param(int paramIdx) const { return *params[static_cast<size_t>(paramIdx)]; }

  // Runs OnParamChange and OnParamChangeUI for every parameter in index order.
  void OnParamReset(EParamSource source);
  // Main thread: shows every parameter's value on the editor's controls.
  virtual void OnRestoreState();
  // A plain value is constrained and normalised before it reaches the editor.
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;

  const char* GetChannelLabel(bool input, int channel) const;
  void SetChannelLabel(bool input, int channel, const char* label);

protected:
  IEffectConfig config;
  std::vector<std::unique_ptr<IParam>> params;
  std::vector<std::unique_ptr<IPreset>> presets;
  int currentPresetIdx = 0;
  char channelLabels[2][2][64] = {};
};

// Parameter edits with the host, and the queues between audio thread and
// editor.
class IEffectAPIBase : public IEffectBase
{
public:
  explicit IEffectAPIBase(const IEffectConfig& config) : IEffectBase(config) {}

  void SetHost(IEffectHost* binding) { host = binding; }
  IEffectHost* GetHost() const { return host; }

  // Audio thread, inside a process call: sets a parameter from a normalised
  // value, tells the engine at once and the host with the block's output.
  void SetParameterValue(int paramIdx, double normalizedValue, int sampleOffset = 0);

  // Editor gestures towards the host (main thread).
  void BeginInformHostOfParamChangeFromUI(int paramIdx);
  void SendParameterValueFromUI(int paramIdx, double normalizedValue);
  void EndInformHostOfParamChangeFromUI(int paramIdx);

  void InformHostOfParamChange(int paramIdx, double normalizedValue);
  void InformHostOfPresetChange();

  // Main thread, every 20 ms: hands queued processor MIDI to the editor and
  // brings the binding and the editor up to date with parameters that
  // processing changed.
  void OnTimer();
  virtual void OnIdle() {}

  IEffectQueue<IMidiMsg, 32>& GetMidiQueueToEditor() { return midiToEditor; }
  IEffectQueue<IMidiMsg, 32>& GetMidiQueueFromEditor() { return midiFromEditor; }

protected:
  IEffectHost* host = nullptr;
  // One bit per parameter that processing changed since the last OnTimer.
  std::atomic<uint64_t> paramsChangedByProcess{0};
  IEffectQueue<IMidiMsg, 32> midiToEditor;
  IEffectQueue<IMidiMsg, 32> midiFromEditor;
};
