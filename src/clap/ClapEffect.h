#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "clap/ClapAudio.h"
#include "clap/ClapExtensions.h"
#include "plugin/IBlockParamChanges.h"
#include "plugin/IEffectPlugin.h"
#include "params/IParam.h"
#include "plugin/IEffectQueue.h"

class ClapEditorView;
class IEffectEditor;

// One effect instance as a CLAP host sees it: the clap_plugin the factory
// hands out, with its extensions, over an IEffectPlugin it owns. It is the
// instance's host connection.
//
// Parameters are the instance's own, with their plain values as the CLAP
// values and their indices as IDs, plus the bypass. The instance's values
// are the only copy: get_value reads them, and there is nothing for the
// host's values to drift from.
//
// No call lets an exception out, and every call is valid in every state: a
// host may process before activating or save before initialising.
class ClapEffect final : public IEffectHost
{
public:
  // hostInterface: the host's, kept for the instance's life; descriptor:
  // the factory's (static); resourceFolder: where the editor's art lies.
  ClapEffect(const clap_host_t* hostInterface, const clap_plugin_descriptor_t* descriptor,
             std::unique_ptr<IEffectPlugin> plugin, std::string resourceFolder);
  ~ClapEffect() override;
  ClapEffect(const ClapEffect&) = delete;
  ClapEffect& operator=(const ClapEffect&) = delete;

  // What the factory returns; its plugin_data leads back here.
  const clap_plugin_t* ClapPlugin() const { return &clapPlugin; }
  static ClapEffect* From(const clap_plugin_t* plugin);

  IEffectPlugin& GetPlugin() { return *plugin; }
  const clap_host_t* Host() const { return host; }
  // Main thread: the host's extension, looked up once in init (null before).
  template <typename T>
  const T* HostExtension(const char* id) const
  {
    return host && host->get_extension ? static_cast<const T*>(host->get_extension(host, id)) : nullptr;
  }
  const clap_host_timer_support_t* HostTimers() const { return hostTimers; }
  const clap_host_posix_fd_support_t* HostFds() const { return hostFds; }
  const clap_host_gui_t* HostGui() const { return hostGui; }
  // Any thread: true unless the host says this is not its main thread.
  bool OnMainThread() const;

  // --- The plug-in's calls (threads as CLAP defines them) -----------------
  bool Init();                                                   // main thread
  bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames); // main thread
  void Deactivate();                                             // main thread
  bool StartProcessing();                                        // audio thread
  void StopProcessing();                                         // audio thread
  void Reset();                                                  // audio thread
  clap_process_status Process(const clap_process_t& process);    // audio thread
  const void* GetExtension(const char* id);                      // any thread
  void OnMainThreadCallback();                                   // main thread

  // --- Parameters (main thread, flush also the audio thread) --------------
  uint32_t ParamCount() const;
  bool ParamInfo(uint32_t index, clap_param_info_t& info) const;
  bool ParamValue(clap_id id, double& value) const;
  bool ValueToText(clap_id id, double value, char* display, uint32_t size) const;
  bool TextToValue(clap_id id, const char* display, double& value) const;
  // [active ? audio thread : main thread]
  void Flush(const clap_input_events_t* in, const clap_output_events_t* out);

  // --- State (main thread) ---------------------------------------------------
  bool SaveState(const clap_ostream_t* stream);
  bool LoadState(const clap_istream_t* stream);

  // --- Tail, latency (main or audio thread) ------------------------------------
  uint32_t TailSamples() const;

  // --- Timers and descriptors from the host (main thread) ---------------------
  void OnTimer(clap_id timerId);
  void OnFd(int fd, clap_posix_fd_flags_t flags);

  // --- Editor (main thread) -----------------------------------------------------
  // The effect has an editor and the module installed a way to make it.
  bool HasEditor();
  // The instance's editor, made on first use; only when HasEditor().
  IEffectEditor& Editor();
  ClapEditorView& View() { return *view; }

  // --- IEffectHost: the instance's edits towards the host ----------------------
  void BeginInformHostOfParamChange(int paramIdx) override;                        // main thread
  void InformHostOfParamChange(int paramIdx, double normalizedValue) override;     // main thread
  void EndInformHostOfParamChange(int paramIdx) override;                          // main thread
  void InformHostOfPresetChange() override;                                        // main thread
  void InformHostOfParamChangeFromProcess(int paramIdx, double normalizedValue, int sampleOffset) override; // audio

  // The host IDs of the bypass; the other parameters' IDs are their indices.
  static constexpr clap_id kBypassId = 65536;
  // Parameters past this are not offered: the change masks hold 64.
  static constexpr int kMaxParams = 64;

private:
  // An edit the main thread reports through the next process or flush.
  struct HostEdit
  {
    enum Kind : uint8_t
    {
      kBegin,
      kValue,
      kEnd,
    };
    Kind kind = kValue;
    clap_id id = 0;
    double value = 0.0; // plain
  };

  // Audio thread (or flush): the block's parameter events, the last value of
  // each parameter applied in the order they first appear, as the VST 3
  // version applies the last point of each parameter's queue.
  void applyParameterEvents(const clap_input_events_t* in, uint32_t frames, bool inProcess);
  void applyParameterValue(clap_id id, double value, int sampleOffset, bool inProcess);
  // Audio thread: notes and MIDI, after the parameters, in list order.
  void deliverMidiEvents(const clap_input_events_t* in, uint32_t frames);
  void applyTransport(const clap_event_transport_t& transport);
  // Writes the queued edits and the changes the block made into out.
  void reportEdits(const clap_output_events_t* out);
  bool pushEdit(const clap_output_events_t* out, HostEdit::Kind kind, clap_id id, double plainValue, uint32_t time);
  void queueEdit(HostEdit::Kind kind, int paramIdx, double plainValue);
  // Main thread: shows parameters the host changed on the editor.
  void showHostChanges();
  void requestFlush();
  // Any thread: the host calls on_main_thread soon (once per request).
  void requestCallback();
  void startIdleTimer();
  // The instance's parameters as the host sees them (the bypass aside).
  int numParams() const;

  clap_plugin_t clapPlugin{};
  const clap_host_t* host;
  std::unique_ptr<IEffectPlugin> plugin;
  std::string resourceFolder;
  std::unique_ptr<IEffectEditor> editor;  // after plugin: goes first
  std::unique_ptr<ClapEditorView> view;

  const clap_host_params_t* hostParams = nullptr;
  const clap_host_state_t* hostState = nullptr;
  const clap_host_gui_t* hostGui = nullptr;
  const clap_host_timer_support_t* hostTimers = nullptr;
  const clap_host_posix_fd_support_t* hostFds = nullptr;
  const clap_host_thread_check_t* hostThreads = nullptr;
  // Reads the host's texts for the bypass ("on", "off", numbers).
  IParam bypassReading;
  std::atomic<bool> callbackRequested{false};
  bool initialized = false;
  bool active = false;
  clap_id idleTimer = CLAP_INVALID_ID;

  ClapAudio audio;

  // Main thread to the next process or flush. When it overflows, every
  // parameter's value goes out once it drains.
  IEffectQueue<HostEdit, 512> edits;
  std::atomic<bool> editsOverflowed{false};
  // Parameters the host set since the editor last showed them (one bit each).
  std::atomic<uint64_t> hostChanged{0};

  // The block's changes made by the effect itself (MIDI control), written
  // and read by the audio thread inside one process call.
  IBlockParamChanges processChanges;
};
