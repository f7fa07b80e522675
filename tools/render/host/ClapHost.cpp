#include "ClapHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "HostError.h"
#include "clap/ext/thread-check.h"

namespace tolmar::host
{
namespace
{
// The extensions the 1.1 header set lacks, as the CLAP documentation
// defines them.
constexpr const char* kPosixFdSupport = "clap.posix-fd-support";
struct HostPosixFdSupport
{
  bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, uint32_t flags);
  bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, uint32_t flags);
  bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
};
constexpr const char* kTail = "clap.tail";
struct PluginTail
{
  uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
};

struct MemoryOut
{
  std::vector<uint8_t> bytes;
};
struct MemoryIn
{
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
};

int64_t CLAP_ABI writeStream(const clap_ostream_t* stream, const void* buffer, uint64_t size)
{
  auto* out = static_cast<MemoryOut*>(stream->ctx);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  out->bytes.insert(out->bytes.end(), bytes, bytes + size);
  return static_cast<int64_t>(size);
}

int64_t CLAP_ABI readStream(const clap_istream_t* stream, void* buffer, uint64_t size)
{
  auto* in = static_cast<MemoryIn*>(stream->ctx);
  const size_t left = in->bytes->size() - in->position;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(size, left));
  if (n > 0)
    std::memcpy(buffer, in->bytes->data() + in->position, n);
  in->position += n;
  return static_cast<int64_t>(n);
}
} // namespace

// --- The module --------------------------------------------------------------------

ClapModule::ClapModule(const std::string& path) : path_(path)
{
  // The module's symbols stay private to it, as hosts load plug-ins.
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_)
  {
    const char* why = dlerror();
    throw HostError("cannot load the CLAP module " + path + ": " + (why ? why : "unknown error"));
  }
  entry_ = static_cast<const clap_plugin_entry_t*>(dlsym(library_, "clap_entry"));
  if (!entry_ || !entry_->init || !entry_->get_factory || !entry_->deinit)
  {
    dlclose(library_);
    throw HostError(path + " is not a CLAP module (no clap_entry)");
  }
  if (!entry_->init(path.c_str()))
  {
    dlclose(library_);
    throw HostError("the CLAP module " + path + " refused to start");
  }
  factory_ = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (!factory_ || factory_->get_plugin_count(factory_) == 0)
  {
    entry_->deinit();
    dlclose(library_);
    throw HostError("the CLAP module " + path + " offers no plug-in");
  }
}

ClapModule::~ClapModule()
{
  entry_->deinit();
  dlclose(library_);
}

const clap_plugin_descriptor_t& ClapModule::descriptor() const
{
  return *factory_->get_plugin_descriptor(factory_, 0);
}

// --- Event lists --------------------------------------------------------------------

ClapEvents::ClapEvents()
{
  input_.ctx = this;
  input_.size = [](const clap_input_events_t* list) -> uint32_t {
    return static_cast<uint32_t>(static_cast<const ClapEvents*>(list->ctx)->size());
  };
  input_.get = [](const clap_input_events_t* list, uint32_t index) -> const clap_event_header_t* {
    return static_cast<const ClapEvents*>(list->ctx)->at(index);
  };
  output_.ctx = this;
  output_.try_push = [](const clap_output_events_t* list, const clap_event_header_t* event) -> bool {
    auto* self = static_cast<ClapEvents*>(list->ctx);
    if (self->refusePushes || !event)
      return false;
    self->add(*event);
    return true;
  };
}

void ClapEvents::add(const clap_event_header_t& event)
{
  std::vector<uint64_t> copy((event.size + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
  std::memcpy(copy.data(), &event, event.size);
  events_.push_back(std::move(copy));
}

void ClapEvents::paramValue(clap_id id, double value, uint32_t time)
{
  clap_event_param_value_t event{};
  event.header = {sizeof(event), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
  event.param_id = id;
  event.note_id = -1;
  event.port_index = -1;
  event.channel = -1;
  event.key = -1;
  event.value = value;
  add(event.header);
}

void ClapEvents::midi(uint8_t status, uint8_t data1, uint8_t data2, uint32_t time)
{
  clap_event_midi_t event{};
  event.header = {sizeof(event), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
  event.port_index = 0;
  event.data[0] = status;
  event.data[1] = data1;
  event.data[2] = data2;
  add(event.header);
}

void ClapEvents::sortByTime()
{
  std::stable_sort(events_.begin(), events_.end(), [](const auto& a, const auto& b) {
    return reinterpret_cast<const clap_event_header_t*>(a.data())->time <
           reinterpret_cast<const clap_event_header_t*>(b.data())->time;
  });
}

const clap_event_header_t* ClapEvents::at(size_t index) const
{
  return index < events_.size() ? reinterpret_cast<const clap_event_header_t*>(events_[index].data()) : nullptr;
}

// --- The instance -------------------------------------------------------------------

ClapInstance::ClapInstance(const ClapModule& module, const std::string& pluginId, ClapHostOptions options)
: ClapInstance(module.factory(), pluginId, std::move(options))
{
}

ClapInstance::ClapInstance(const clap_plugin_factory_t& factory, const std::string& pluginId, ClapHostOptions options)
: options_(std::move(options))
{
  host_.clap_version = CLAP_VERSION;
  host_.host_data = this;
  host_.name = options_.name.c_str();
  host_.vendor = "Tolmar Music";
  host_.url = "";
  host_.version = "1";
  host_.get_extension = getExtension;
  host_.request_restart = [](const clap_host_t*) {};
  host_.request_process = [](const clap_host_t*) {};
  host_.request_callback = [](const clap_host_t* h) { self(h).callbackRequests.fetch_add(1); };
  plugin_ = factory.create_plugin(&factory, &host_, pluginId.c_str());
  if (!plugin_)
    throw HostError("the CLAP factory refused to create " + pluginId);
  if (!plugin_->init(plugin_))
  {
    plugin_->destroy(plugin_);
    throw HostError("the CLAP plug-in " + pluginId + " failed to initialise");
  }
  params_ = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
}

ClapInstance::~ClapInstance()
{
  stop();
  plugin_->destroy(plugin_);
}

void ClapInstance::noteMainThreadCall()
{
  if (std::this_thread::get_id() != mainThread_)
    offThreadCalls.fetch_add(1);
}

const void* CLAP_ABI ClapInstance::getExtension(const clap_host_t* host, const char* id)
{
  ClapInstance& instance = self(host);
  const ClapHostOptions& o = instance.options_;
  if (o.params && std::strcmp(id, CLAP_EXT_PARAMS) == 0)
  {
    static const clap_host_params_t params = {
        [](const clap_host_t* h, clap_param_rescan_flags flags) {
          self(h).noteMainThreadCall();
          ++self(h).rescans;
          self(h).rescanFlags |= flags;
        },
        [](const clap_host_t* h, clap_id, clap_param_clear_flags) { self(h).noteMainThreadCall(); },
        [](const clap_host_t* h) { self(h).flushRequests.fetch_add(1); },
    };
    return &params;
  }
  if (std::strcmp(id, CLAP_EXT_STATE) == 0)
  {
    static const clap_host_state_t state = {[](const clap_host_t* h) {
      self(h).noteMainThreadCall();
      ++self(h).dirtyMarks;
    }};
    return &state;
  }
  if (o.gui && std::strcmp(id, CLAP_EXT_GUI) == 0)
  {
    static const clap_host_gui_t gui = {
        [](const clap_host_t*) {},
        [](const clap_host_t* h, uint32_t width, uint32_t height) {
          self(h).noteMainThreadCall();
          self(h).resizeRequests.emplace_back(width, height);
          return self(h).options_.acceptResize;
        },
        [](const clap_host_t*) { return false; },
        [](const clap_host_t*) { return false; },
        [](const clap_host_t*, bool) {},
    };
    return &gui;
  }
  if (o.timers && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
  {
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* h, uint32_t period, clap_id* timerId) {
          ClapInstance& i = self(h);
          i.noteMainThreadCall();
          if (!timerId)
            return false;
          *timerId = i.nextTimer_++;
          i.timers.push_back({*timerId, period});
          return true;
        },
        [](const clap_host_t* h, clap_id timerId) {
          ClapInstance& i = self(h);
          i.noteMainThreadCall();
          const auto found = std::find_if(i.timers.begin(), i.timers.end(),
                                          [&](const Timer& t) { return t.id == timerId; });
          if (found == i.timers.end())
            return false;
          i.timers.erase(found);
          return true;
        },
    };
    return &timers;
  }
  if (o.fds && std::strcmp(id, kPosixFdSupport) == 0)
  {
    static const HostPosixFdSupport fds = {
        [](const clap_host_t* h, int fd, uint32_t) {
          self(h).noteMainThreadCall();
          self(h).fds.push_back(fd);
          return true;
        },
        [](const clap_host_t*, int, uint32_t) { return true; },
        [](const clap_host_t* h, int fd) {
          ClapInstance& i = self(h);
          i.noteMainThreadCall();
          const auto found = std::find(i.fds.begin(), i.fds.end(), fd);
          if (found == i.fds.end())
            return false;
          i.fds.erase(found);
          return true;
        },
    };
    return &fds;
  }
  if (o.threadCheck && std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0)
  {
    static const clap_host_thread_check_t threads = {
        [](const clap_host_t* h) { return std::this_thread::get_id() == self(h).mainThread_; },
        [](const clap_host_t* h) { return std::this_thread::get_id() == self(h).audioThread.load(); },
    };
    return &threads;
  }
  return nullptr;
}

void ClapInstance::runMainThreadWork()
{
  const auto* timerSupport = extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
  const std::vector<Timer> now = timers;
  for (const Timer& timer : now)
    if (timerSupport && timerSupport->on_timer)
      timerSupport->on_timer(plugin_, timer.id);
  if (callbackRequests.exchange(0) > 0)
    plugin_->on_main_thread(plugin_);
}

// --- Parameters and state -----------------------------------------------------------

std::vector<clap_param_info_t> ClapInstance::parameterInfos() const
{
  std::vector<clap_param_info_t> infos;
  if (!params_)
    return infos;
  const uint32_t count = params_->count(plugin_);
  for (uint32_t i = 0; i < count; ++i)
  {
    clap_param_info_t info{};
    if (params_->get_info(plugin_, i, &info))
      infos.push_back(info);
  }
  return infos;
}

std::optional<double> ClapInstance::value(clap_id id) const
{
  double v = 0.0;
  if (!params_ || !params_->get_value(plugin_, id, &v))
    return std::nullopt;
  return v;
}

std::optional<std::string> ClapInstance::text(clap_id id, double v) const
{
  char display[256] = {};
  if (!params_ || !params_->value_to_text(plugin_, id, v, display, sizeof(display)))
    return std::nullopt;
  return std::string(display);
}

std::optional<double> ClapInstance::fromText(clap_id id, const std::string& text) const
{
  double v = 0.0;
  if (!params_ || !params_->text_to_value(plugin_, id, text.c_str(), &v))
    return std::nullopt;
  return v;
}

std::optional<uint32_t> ClapInstance::tailSamples() const
{
  const auto* tail = extension<PluginTail>(kTail);
  if (!tail)
    return std::nullopt;
  return tail->get(plugin_);
}

std::optional<std::vector<uint8_t>> ClapInstance::saveState() const
{
  const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  if (!state)
    return std::nullopt;
  MemoryOut out;
  clap_ostream_t stream{&out, writeStream};
  if (!state->save(plugin_, &stream))
    return std::nullopt;
  return out.bytes;
}

bool ClapInstance::loadState(const std::vector<uint8_t>& bytes) const
{
  const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  if (!state)
    return false;
  MemoryIn in{&bytes};
  clap_istream_t stream{&in, readStream};
  return state->load(plugin_, &stream);
}

// --- Processing -----------------------------------------------------------------------

bool ClapInstance::start(double sampleRate, uint32_t maxFrames)
{
  if (active_)
    return true;
  if (!plugin_->activate(plugin_, sampleRate, 1, maxFrames))
    return false;
  active_ = true;
  return plugin_->start_processing(plugin_);
}

void ClapInstance::stop()
{
  if (!active_)
    return;
  plugin_->stop_processing(plugin_);
  plugin_->deactivate(plugin_);
  active_ = false;
}

template <typename Sample>
clap_process_status ClapInstance::processBlock(Sample* const* in, Sample* const* out, uint32_t frames,
                                               const ClapEvents* events, ClapEvents* outEvents,
                                               const clap_event_transport_t* transport)
{
  audioThread.store(std::this_thread::get_id());
  clap_audio_buffer_t input{};
  clap_audio_buffer_t output{};
  input.channel_count = 2;
  output.channel_count = 2;
  if constexpr (std::is_same_v<Sample, float>)
  {
    input.data32 = const_cast<float**>(in);
    output.data32 = const_cast<float**>(out);
  }
  else
  {
    input.data64 = const_cast<double**>(in);
    output.data64 = const_cast<double**>(out);
  }
  static const ClapEvents empty;
  ClapEvents discard;
  clap_process_t process{};
  process.steady_time = steadyTime_;
  process.frames_count = frames;
  process.transport = transport;
  process.audio_inputs = &input;
  process.audio_outputs = &output;
  process.audio_inputs_count = 1;
  process.audio_outputs_count = 1;
  process.in_events = (events ? events : &empty)->input();
  process.out_events = (outEvents ? outEvents : &discard)->output();
  steadyTime_ += frames;
  return plugin_->process(plugin_, &process);
}

clap_process_status ClapInstance::process(const float* const* in, float* const* out, uint32_t frames,
                                          const ClapEvents* events, ClapEvents* outEvents,
                                          const clap_event_transport_t* transport)
{
  return processBlock<float>(const_cast<float* const*>(in), out, frames, events, outEvents, transport);
}

clap_process_status ClapInstance::process(const double* const* in, double* const* out, uint32_t frames,
                                          const ClapEvents* events, ClapEvents* outEvents,
                                          const clap_event_transport_t* transport)
{
  return processBlock<double>(const_cast<double* const*>(in), out, frames, events, outEvents, transport);
}

void ClapInstance::flush(const ClapEvents& events, ClapEvents& outEvents)
{
  if (params_)
    params_->flush(plugin_, events.input(), outEvents.output());
}
} // namespace tolmar::host
