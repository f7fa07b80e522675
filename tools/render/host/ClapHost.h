#pragma once
// A small CLAP host: loads a .clap module with dlopen, creates its plug-in
// behind a host of its own and drives it as a host does. The host side
// records what the plug-in asks of it (rescans, flush and callback
// requests, resize requests, timers and descriptors) so that callers can
// answer or check it. All calls come from the thread that made the object,
// which the host reports as its main thread; process may come from another.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clap/audio-buffer.h"
#include "clap/entry.h"
#include "clap/events.h"
#include "clap/ext/audio-ports.h"
#include "clap/ext/gui.h"
#include "clap/ext/note-ports.h"
#include "clap/ext/params.h"
#include "clap/ext/state.h"
#include "clap/ext/timer-support.h"
#include "clap/host.h"
#include "clap/plugin-factory.h"
#include "clap/plugin.h"
#include "clap/process.h"

namespace tolmar::host
{
// The module, entered with its path and left on destruction. Throws
// HostError when it cannot be loaded or has no plug-in factory.
class ClapModule
{
public:
  explicit ClapModule(const std::string& path);
  ~ClapModule();
  ClapModule(const ClapModule&) = delete;
  ClapModule& operator=(const ClapModule&) = delete;

  const clap_plugin_entry_t& entry() const { return *entry_; }
  const clap_plugin_factory_t& factory() const { return *factory_; }
  const std::string& path() const { return path_; }
  // The first plug-in's descriptor.
  const clap_plugin_descriptor_t& descriptor() const;

private:
  std::string path_;
  void* library_ = nullptr;
  const clap_plugin_entry_t* entry_ = nullptr;
  const clap_plugin_factory_t* factory_ = nullptr;
};

// A list of events for a process or flush call, owning copies of them; as
// input it hands them out in the order added, as output it collects what
// the plug-in pushes.
class ClapEvents
{
public:
  ClapEvents();
  void add(const clap_event_header_t& event);
  void paramValue(clap_id id, double value, uint32_t time = 0);
  void midi(uint8_t status, uint8_t data1, uint8_t data2, uint32_t time = 0);
  void clear() { events_.clear(); }
  // Orders the events by their time, keeping the order of those at the same
  // frame.
  void sortByTime();
  size_t size() const { return events_.size(); }
  const clap_event_header_t* at(size_t index) const;
  const clap_input_events_t* input() const { return &input_; }
  const clap_output_events_t* output() const { return &output_; }
  // Pushes refused from now on (a full host list).
  bool refusePushes = false;

private:
  std::vector<std::vector<uint64_t>> events_; // aligned copies
  clap_input_events_t input_{};
  clap_output_events_t output_{};
};

// What the host offers the plug-in; a missing extension is one a host lacks.
struct ClapHostOptions
{
  std::string name = "Tolmar Test Host";
  bool timers = true;
  bool fds = true;
  bool gui = true;
  bool params = true;
  bool threadCheck = true;
  // The answer to the plug-in's resize requests.
  bool acceptResize = true;
};

// One plug-in instance with the host side it talks to. Throws HostError
// when the factory refuses it or init fails.
class ClapInstance
{
public:
  ClapInstance(const ClapModule& module, const std::string& pluginId, ClapHostOptions options = {});
  // From a factory at hand (a plug-in linked into the host, for tests).
  ClapInstance(const clap_plugin_factory_t& factory, const std::string& pluginId, ClapHostOptions options = {});
  ~ClapInstance();
  ClapInstance(const ClapInstance&) = delete;
  ClapInstance& operator=(const ClapInstance&) = delete;

  const clap_plugin_t& plugin() const { return *plugin_; }
  template <typename T>
  const T* extension(const char* id) const
  {
    return static_cast<const T*>(plugin_->get_extension(plugin_, id));
  }
  const clap_plugin_params_t* params() const { return params_; }

  // Parameters: info of each, the value, texts.
  std::vector<clap_param_info_t> parameterInfos() const;
  std::optional<double> value(clap_id id) const;
  std::optional<std::string> text(clap_id id, double value) const;
  std::optional<double> fromText(clap_id id, const std::string& text) const;

  // The tail the plug-in reports now (clap.tail); none when it offers no
  // such extension.
  std::optional<uint32_t> tailSamples() const;

  // State as a host keeps it in a project.
  std::optional<std::vector<uint8_t>> saveState() const;
  bool loadState(const std::vector<uint8_t>& bytes) const;

  // activate and start_processing; stop_processing and deactivate.
  bool start(double sampleRate, uint32_t maxFrames);
  void stop();
  bool active() const { return active_; }

  // One block of stereo audio; 32-bit unless doubles are given. The output
  // events of the block are collected in out (may be null).
  clap_process_status process(const float* const* in, float* const* out, uint32_t frames, const ClapEvents* events,
                              ClapEvents* outEvents, const clap_event_transport_t* transport = nullptr);
  clap_process_status process(const double* const* in, double* const* out, uint32_t frames, const ClapEvents* events,
                              ClapEvents* outEvents, const clap_event_transport_t* transport = nullptr);
  // params.flush with the given events, collecting the output.
  void flush(const ClapEvents& events, ClapEvents& outEvents);

  // What the plug-in asked of the host.
  struct Timer
  {
    clap_id id;
    uint32_t periodMs;
  };
  std::vector<Timer> timers;
  std::vector<int> fds;
  std::vector<std::pair<uint32_t, uint32_t>> resizeRequests;
  int rescans = 0;
  uint32_t rescanFlags = 0;
  std::atomic<int> flushRequests{0};
  std::atomic<int> callbackRequests{0};
  int dirtyMarks = 0;
  // Calls made on another thread than the host's main thread, to
  // main-thread-only host functions.
  std::atomic<int> offThreadCalls{0};
  // Fires every timer the plug-in holds once, and on_main_thread when the
  // plug-in asked for it.
  void runMainThreadWork();
  const ClapHostOptions& options() const { return options_; }
  // The thread the host calls its audio thread (set by process).
  std::atomic<std::thread::id> audioThread{};

private:
  static const void* CLAP_ABI getExtension(const clap_host_t* host, const char* id);
  static ClapInstance& self(const clap_host_t* host) { return *static_cast<ClapInstance*>(host->host_data); }
  void noteMainThreadCall();
  template <typename Sample>
  clap_process_status processBlock(Sample* const* in, Sample* const* out, uint32_t frames, const ClapEvents* events,
                                   ClapEvents* outEvents, const clap_event_transport_t* transport);

  ClapHostOptions options_;
  clap_host_t host_{};
  const clap_plugin_t* plugin_ = nullptr;
  const clap_plugin_params_t* params_ = nullptr;
  std::thread::id mainThread_ = std::this_thread::get_id();
  clap_id nextTimer_ = 1;
  bool active_ = false;
  int64_t steadyTime_ = 0;
};
} // namespace tolmar::host
