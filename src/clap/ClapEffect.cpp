#include "clap/ClapEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "clap/ClapEditorView.h"
#include "clap/ClapStreams.h"
#include "params/IString.h"
#include "params/ProductFacts/SampleRates.h"
#include "toolkit/EditorOnFirstUse.h"
#include "toolkit/IEffectEditor.h"

namespace
{
// The idle timer's interval: processor MIDI and the host's changes reach
// the editor this often.
constexpr uint32_t kIdleIntervalMs = 20;

ClapEffect* self(const clap_plugin_t* plugin)
{
  return ClapEffect::From(plugin);
}

// --- The C entry points: each finds its instance and goes in; a call on a
// plug-in pointer that is not ours does nothing.

bool CLAP_ABI pluginInit(const clap_plugin_t* p)
{
  ClapEffect* e = self(p);
  return e && e->Init();
}

void CLAP_ABI pluginDestroy(const clap_plugin_t* p)
{
  delete self(p);
}

bool CLAP_ABI pluginActivate(const clap_plugin_t* p, double rate, uint32_t minFrames, uint32_t maxFrames)
{
  ClapEffect* e = self(p);
  return e && e->Activate(rate, minFrames, maxFrames);
}

void CLAP_ABI pluginDeactivate(const clap_plugin_t* p)
{
  if (ClapEffect* e = self(p))
    e->Deactivate();
}

bool CLAP_ABI pluginStartProcessing(const clap_plugin_t* p)
{
  ClapEffect* e = self(p);
  return e && e->StartProcessing();
}

void CLAP_ABI pluginStopProcessing(const clap_plugin_t* p)
{
  if (ClapEffect* e = self(p))
    e->StopProcessing();
}

void CLAP_ABI pluginReset(const clap_plugin_t* p)
{
  if (ClapEffect* e = self(p))
    e->Reset();
}

clap_process_status CLAP_ABI pluginProcess(const clap_plugin_t* p, const clap_process_t* process)
{
  ClapEffect* e = self(p);
  if (!e || !process)
    return CLAP_PROCESS_ERROR;
  return e->Process(*process);
}

const void* CLAP_ABI pluginGetExtension(const clap_plugin_t* p, const char* id)
{
  ClapEffect* e = self(p);
  return e && id ? e->GetExtension(id) : nullptr;
}

void CLAP_ABI pluginOnMainThread(const clap_plugin_t* p)
{
  if (ClapEffect* e = self(p))
    e->OnMainThreadCallback();
}

// --- Extensions --------------------------------------------------------------

uint32_t CLAP_ABI audioPortsCount(const clap_plugin_t* p, bool)
{
  return self(p) ? 1 : 0;
}

bool CLAP_ABI audioPortsGet(const clap_plugin_t* p, uint32_t index, bool isInput, clap_audio_port_info_t* info)
{
  if (!self(p) || !info || index != 0)
    return false;
  *info = clap_audio_port_info_t{};
  info->id = 0;
  std::snprintf(info->name, sizeof(info->name), "%s", isInput ? "Input" : "Output");
  info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS;
  info->channel_count = ClapAudio::kChannels;
  info->port_type = CLAP_PORT_STEREO;
  // Input and output may share buffers; the audio path copies the input
  // first where they do.
  info->in_place_pair = 0;
  return true;
}

const clap_plugin_audio_ports_t kAudioPorts = {audioPortsCount, audioPortsGet};

uint32_t CLAP_ABI notePortsCount(const clap_plugin_t* p, bool isInput)
{
  ClapEffect* e = self(p);
  return e && isInput && e->GetPlugin().GetConfig().doesMidiIn ? 1 : 0;
}

bool CLAP_ABI notePortsGet(const clap_plugin_t* p, uint32_t index, bool isInput, clap_note_port_info_t* info)
{
  if (!info || index >= notePortsCount(p, isInput))
    return false;
  *info = clap_note_port_info_t{};
  info->id = 0;
  // MIDI learn and bound controllers need MIDI's controllers; CLAP's own
  // note events are taken too, for hosts that send them anyway.
  info->supported_dialects = CLAP_NOTE_DIALECT_MIDI | CLAP_NOTE_DIALECT_CLAP;
  info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
  std::snprintf(info->name, sizeof(info->name), "%s", "MIDI Input");
  return true;
}

const clap_plugin_note_ports_t kNotePorts = {notePortsCount, notePortsGet};

uint32_t CLAP_ABI paramsCount(const clap_plugin_t* p)
{
  ClapEffect* e = self(p);
  return e ? e->ParamCount() : 0;
}

bool CLAP_ABI paramsGetInfo(const clap_plugin_t* p, uint32_t index, clap_param_info_t* info)
{
  ClapEffect* e = self(p);
  return e && info && e->ParamInfo(index, *info);
}

bool CLAP_ABI paramsGetValue(const clap_plugin_t* p, clap_id id, double* value)
{
  ClapEffect* e = self(p);
  return e && value && e->ParamValue(id, *value);
}

bool CLAP_ABI paramsValueToText(const clap_plugin_t* p, clap_id id, double value, char* display, uint32_t size)
{
  ClapEffect* e = self(p);
  return e && display && size > 0 && e->ValueToText(id, value, display, size);
}

bool CLAP_ABI paramsTextToValue(const clap_plugin_t* p, clap_id id, const char* display, double* value)
{
  ClapEffect* e = self(p);
  return e && display && value && e->TextToValue(id, display, *value);
}

void CLAP_ABI paramsFlush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out)
{
  if (ClapEffect* e = self(p))
    e->Flush(in, out);
}

const clap_plugin_params_t kParams = {paramsCount,       paramsGetInfo,     paramsGetValue,
                                      paramsValueToText, paramsTextToValue, paramsFlush};

bool CLAP_ABI stateSave(const clap_plugin_t* p, const clap_ostream_t* stream)
{
  ClapEffect* e = self(p);
  return e && stream && e->SaveState(stream);
}

bool CLAP_ABI stateLoad(const clap_plugin_t* p, const clap_istream_t* stream)
{
  ClapEffect* e = self(p);
  return e && stream && e->LoadState(stream);
}

const clap_plugin_state_t kState = {stateSave, stateLoad};

uint32_t CLAP_ABI latencyGet(const clap_plugin_t* p)
{
  ClapEffect* e = self(p);
  return e ? static_cast<uint32_t>(std::max(e->GetPlugin().GetLatency(), 0)) : 0;
}

const clap_plugin_latency_t kLatency = {latencyGet};

uint32_t CLAP_ABI tailGet(const clap_plugin_t* p)
{
  ClapEffect* e = self(p);
  return e ? e->TailSamples() : 0;
}

const clap_plugin_tail_t kTail = {tailGet};

void CLAP_ABI timerOnTimer(const clap_plugin_t* p, clap_id timerId)
{
  if (ClapEffect* e = self(p))
    e->OnTimer(timerId);
}

const clap_plugin_timer_support_t kTimerSupport = {timerOnTimer};

void CLAP_ABI fdOnFd(const clap_plugin_t* p, int fd, clap_posix_fd_flags_t flags)
{
  if (ClapEffect* e = self(p))
    e->OnFd(fd, flags);
}

const clap_plugin_posix_fd_support_t kFdSupport = {fdOnFd};

// The plain value a normalised one stands for, for parameter paramIdx.
double plainOf(const IParam& param, double normalizedValue)
{
  return param.Constrain(param.FromNormalized(std::clamp(normalizedValue, 0.0, 1.0)));
}

// Reads a host's text no further than this; no value text comes near it.
constexpr size_t kMaxTextBytes = 1024;
} // namespace

ClapEffect::ClapEffect(const clap_host_t* hostInterface, const clap_plugin_descriptor_t* descriptor,
                       std::unique_ptr<IEffectPlugin> effect, std::string resources)
: host(hostInterface),
  plugin(std::move(effect)),
  resourceFolder(std::move(resources)),
  view(std::make_unique<ClapEditorView>(*this))
{
  clapPlugin.desc = descriptor;
  clapPlugin.plugin_data = this;
  clapPlugin.init = pluginInit;
  clapPlugin.destroy = pluginDestroy;
  clapPlugin.activate = pluginActivate;
  clapPlugin.deactivate = pluginDeactivate;
  clapPlugin.start_processing = pluginStartProcessing;
  clapPlugin.stop_processing = pluginStopProcessing;
  clapPlugin.reset = pluginReset;
  clapPlugin.process = pluginProcess;
  clapPlugin.get_extension = pluginGetExtension;
  clapPlugin.on_main_thread = pluginOnMainThread;
  bypassReading.InitBool("Bypass", false, "", 0, "", "off", "on");
  plugin->SetHost(this);
}

ClapEffect::~ClapEffect()
{
  // A host that destroys the plug-in with its editor still open gets its
  // window and its timers back clean.
  view->Destroy();
  if (idleTimer != CLAP_INVALID_ID && hostTimers)
    hostTimers->unregister_timer(host, idleTimer);
  view.reset();
  editor.reset();
  plugin->SetHost(nullptr);
}

ClapEffect* ClapEffect::From(const clap_plugin_t* plugin)
{
  return plugin && plugin->init == pluginInit ? static_cast<ClapEffect*>(plugin->plugin_data) : nullptr;
}

bool ClapEffect::OnMainThread() const
{
  return !hostThreads || !hostThreads->is_main_thread || hostThreads->is_main_thread(host);
}

// --- Lifecycle ---------------------------------------------------------------------

bool ClapEffect::Init()
{
  if (initialized)
    return true;
  // What the host offers is looked up once: the audio thread must never
  // ask for it.
  hostParams = HostExtension<clap_host_params_t>(CLAP_EXT_PARAMS);
  hostState = HostExtension<clap_host_state_t>(CLAP_EXT_STATE);
  hostGui = HostExtension<clap_host_gui_t>(CLAP_EXT_GUI);
  hostTimers = HostExtension<clap_host_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
  hostFds = HostExtension<clap_host_posix_fd_support_t>(CLAP_EXT_POSIX_FD_SUPPORT);
  hostThreads = HostExtension<clap_host_thread_check_t>(CLAP_EXT_THREAD_CHECK);
  // A host's table with a function missing is as good as none.
  if (hostParams && (!hostParams->rescan || !hostParams->request_flush))
    hostParams = nullptr;
  if (hostState && !hostState->mark_dirty)
    hostState = nullptr;
  if (hostGui && !hostGui->request_resize)
    hostGui = nullptr;
  if (hostTimers && (!hostTimers->register_timer || !hostTimers->unregister_timer))
    hostTimers = nullptr;
  if (hostFds && (!hostFds->register_fd || !hostFds->unregister_fd))
    hostFds = nullptr;
  if (hostThreads && (!hostThreads->is_main_thread || !hostThreads->is_audio_thread))
    hostThreads = nullptr;
  try
  {
    plugin->OnParamReset(kReset);
  }
  catch (...)
  {
    return false;
  }
  startIdleTimer();
  initialized = true;
  return true;
}

void ClapEffect::startIdleTimer()
{
  if (!hostTimers || idleTimer != CLAP_INVALID_ID)
    return;
  clap_id id = CLAP_INVALID_ID;
  if (hostTimers->register_timer(host, kIdleIntervalMs, &id))
    idleTimer = id;
}

bool ClapEffect::Activate(double sampleRate, uint32_t, uint32_t maxFrames)
{
  if (!SampleRates::isSupported(sampleRate))
    return false;
  try
  {
    audio.SetMaxBlockSize(static_cast<int>(std::min<uint32_t>(maxFrames, 1u << 30)));
  }
  catch (...)
  {
    return false;
  }
  plugin->SetSampleRate(sampleRate);
  plugin->SetBlockSize(static_cast<int>(std::min<uint32_t>(maxFrames, 1u << 30)));
  plugin->OnReset();
  plugin->OnActivate(true);
  active = true;
  return true;
}

void ClapEffect::Deactivate()
{
  if (active)
    plugin->OnActivate(false);
  active = false;
}

bool ClapEffect::StartProcessing()
{
  return true;
}

void ClapEffect::StopProcessing()
{
  // Stopping releases freeze and whatever else a reset clears, as in the
  // other formats.
  plugin->OnReset();
}

void ClapEffect::Reset()
{
  plugin->OnReset();
}

const void* ClapEffect::GetExtension(const char* id)
{
  if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0)
    return &kAudioPorts;
  if (std::strcmp(id, CLAP_EXT_NOTE_PORTS) == 0)
    return plugin->GetConfig().doesMidiIn ? &kNotePorts : nullptr;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
    return &kParams;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0)
    return &kState;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0)
    return &kLatency;
  if (std::strcmp(id, CLAP_EXT_TAIL) == 0)
    return &kTail;
  if (std::strcmp(id, CLAP_EXT_GUI) == 0)
    return plugin->GetConfig().hasEditor ? ClapEditorView::Extension() : nullptr;
  if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
    return &kTimerSupport;
  if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0)
    return &kFdSupport;
  return nullptr;
}

void ClapEffect::OnMainThreadCallback()
{
  callbackRequested.store(false, std::memory_order_release);
  plugin->OnTimer();
  showHostChanges();
}

void ClapEffect::OnTimer(clap_id timerId)
{
  if (timerId == idleTimer)
  {
    plugin->OnTimer();
    showHostChanges();
    return;
  }
  view->OnTimer(timerId);
}

void ClapEffect::OnFd(int fd, clap_posix_fd_flags_t flags)
{
  view->OnFd(fd, flags);
}

void ClapEffect::requestCallback()
{
  if (host && host->request_callback && !callbackRequested.exchange(true, std::memory_order_acq_rel))
    host->request_callback(host);
}

// --- Parameters ---------------------------------------------------------------------

int ClapEffect::numParams() const
{
  return std::clamp(plugin->NParams(), 0, kMaxParams);
}

uint32_t ClapEffect::ParamCount() const
{
  return static_cast<uint32_t>(numParams()) + 1;
}

bool ClapEffect::ParamInfo(uint32_t index, clap_param_info_t& info) const
{
  if (index >= ParamCount())
    return false;
  info = clap_param_info_t{};
  const uint32_t nParams = static_cast<uint32_t>(numParams());
  if (index == nParams)
  {
    info.id = kBypassId;
    info.flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_ENUM;
    std::snprintf(info.name, sizeof(info.name), "%s", "Bypass");
    info.min_value = 0.0;
    info.max_value = 1.0;
    info.default_value = 0.0;
    return true;
  }
  const IParam& param = *plugin->GetParam(static_cast<int>(index));
  info.id = index;
  if (param.GetCanAutomate())
    info.flags |= CLAP_PARAM_IS_AUTOMATABLE;
  if (param.Type() != IParam::kTypeDouble)
  {
    info.flags |= CLAP_PARAM_IS_STEPPED;
    // A stepped parameter whose every value has a name is a list.
    if (param.NDisplayTexts() > 0 && param.NDisplayTexts() >= static_cast<int>(param.GetMax() - param.GetMin()) + 1)
      info.flags |= CLAP_PARAM_IS_ENUM;
  }
  std::snprintf(info.name, sizeof(info.name), "%s", param.GetName());
  std::snprintf(info.module, sizeof(info.module), "%s", param.GetGroup() ? param.GetGroup() : "");
  info.min_value = param.GetMin();
  info.max_value = param.GetMax();
  info.default_value = param.Constrain(param.GetDefault());
  return true;
}

bool ClapEffect::ParamValue(clap_id id, double& value) const
{
  if (id == kBypassId)
  {
    value = plugin->GetBypassed() ? 1.0 : 0.0;
    return true;
  }
  const IParam* param = id < static_cast<clap_id>(numParams()) ? plugin->GetParam(static_cast<int>(id)) : nullptr;
  if (!param)
    return false;
  value = param->Value();
  return true;
}

bool ClapEffect::ValueToText(clap_id id, double value, char* display, uint32_t size) const
{
  if (!std::isfinite(value))
    return false;
  IString text;
  if (id == kBypassId)
  {
    text.Set(value >= 0.5 ? "on" : "off");
  }
  else
  {
    const IParam* param = id < static_cast<clap_id>(numParams()) ? plugin->GetParam(static_cast<int>(id)) : nullptr;
    if (!param)
      return false;
    // Through the normalised value, as the other formats show it, so that
    // the same setting reads the same everywhere.
    param->GetDisplay(std::clamp(param->ToNormalized(param->Constrain(value)), 0.0, 1.0), true, text, true);
  }
  // Cut at a character boundary: the host shows what fits.
  const char* source = text.Get();
  size_t length = std::strlen(source);
  if (length >= size)
  {
    length = size - 1;
    while (length > 0 && (static_cast<unsigned char>(source[length]) & 0xC0) == 0x80)
      --length;
  }
  std::memcpy(display, source, length);
  display[length] = '\0';
  return true;
}

bool ClapEffect::TextToValue(clap_id id, const char* display, double& value) const
{
  // The host's text is read no further than kMaxTextBytes, terminated or not.
  std::string bounded(display, strnlen(display, kMaxTextBytes));
  const IParam* param = nullptr;
  if (id == kBypassId)
    param = &bypassReading;
  else if (id < static_cast<clap_id>(numParams()))
    param = plugin->GetParam(static_cast<int>(id));
  if (!param)
    return false;
  double read = 0.0;
  if (!param->ReadText(bounded.c_str(), read) || !std::isfinite(read))
    return false;
  // A plain number beyond the range is limited to it, as in the other
  // formats.
  value = param->Constrain(read);
  return true;
}

void ClapEffect::Flush(const clap_input_events_t* in, const clap_output_events_t* out)
{
  applyParameterEvents(in, 0, false);
  reportEdits(out);
  // On the main thread (an inactive plug-in's flush, where the host's
  // thread check does not say otherwise) the editor shows the values at
  // once; from the audio thread it waits for the main thread's callback.
  if (!active && OnMainThread())
    showHostChanges();
  else if (hostChanged.load(std::memory_order_acquire) != 0)
    requestCallback();
}

uint32_t ClapEffect::TailSamples() const
{
  const uint32_t tail = plugin->GetTailSize();
  // INT32_MAX and more is an endless tail to CLAP.
  constexpr uint32_t kEndless = 0x7FFFFFFFu;
  return tail == IEffectProcessor::kInfiniteTail ? kEndless : std::min(tail, kEndless - 1);
}

// --- State ---------------------------------------------------------------------------

bool ClapEffect::SaveState(const clap_ostream_t* stream)
{
  try
  {
    IByteChunk chunk;
    if (!plugin->SerializeState(chunk))
      return false;
    // The bypass word follows the state, as in the VST 3 version's state,
    // so that a state moves between the two formats unchanged.
    const int32_t bypass = plugin->GetBypassed() ? 1 : 0;
    chunk.Put(&bypass);
    return ClapStreams::WriteAll(*stream, chunk.GetData(), static_cast<size_t>(chunk.Size()));
  }
  catch (...)
  {
    return false;
  }
}

bool ClapEffect::LoadState(const clap_istream_t* stream)
{
  try
  {
    IByteChunk chunk;
    if (!ClapStreams::ReadAll(*stream, chunk))
      return false;
    const int statePos = plugin->unserializeTolmarState(chunk, 0);
    // A chunk that ran out has still changed the parameters it reached: the
    // host and the editor must show them either way.
    plugin->OnRestoreState();
    if (hostParams)
      hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
    int32_t bypass = 0;
    if (statePos < 0 || chunk.Get(&bypass, statePos) < 0)
      return false;
    plugin->SetBypassed(bypass != 0);
    return true;
  }
  catch (...)
  {
    return false;
  }
}

// --- Editor --------------------------------------------------------------------------

bool ClapEffect::HasEditor()
{
  if (!plugin->GetConfig().hasEditor)
    return false;
  return MakeEditorOnFirstUse(
      editor, [this] { return plugin->CreateEditor(resourceFolder); },
      [this](int width, int height) {
        view->RequestHostResize(width, height);
        return true;
      });
}

IEffectEditor& ClapEffect::Editor()
{
  HasEditor();
  return *editor;
}

// --- Edits towards the host -----------------------------------------------------------

void ClapEffect::queueEdit(HostEdit::Kind kind, int paramIdx, double plainValue)
{
  if (paramIdx < 0 || paramIdx >= numParams())
    return;
  if (!edits.Push(HostEdit{kind, static_cast<clap_id>(paramIdx), plainValue}))
    editsOverflowed.store(true, std::memory_order_release);
}

void ClapEffect::requestFlush()
{
  // The host calls flush, or takes the edits with the next block.
  if (hostParams)
    hostParams->request_flush(host);
}

void ClapEffect::BeginInformHostOfParamChange(int paramIdx)
{
  queueEdit(HostEdit::kBegin, paramIdx, 0.0);
  requestFlush();
}

void ClapEffect::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  if (const IParam* param = plugin->GetParam(paramIdx))
    queueEdit(HostEdit::kValue, paramIdx, plainOf(*param, normalizedValue));
  requestFlush();
}

void ClapEffect::EndInformHostOfParamChange(int paramIdx)
{
  queueEdit(HostEdit::kEnd, paramIdx, 0.0);
  requestFlush();
  // The editor's own state (learned controllers, the preset's name) is not
  // in any parameter: the host learns that the document changed.
  if (hostState)
    hostState->mark_dirty(host);
}

void ClapEffect::InformHostOfPresetChange()
{
  // Every parameter goes out as an edit of its own; a host records one
  // step for the preset either way.
  for (int i = 0; i < numParams(); ++i)
  {
    queueEdit(HostEdit::kBegin, i, 0.0);
    queueEdit(HostEdit::kValue, i, plugin->GetParam(i)->Value());
    queueEdit(HostEdit::kEnd, i, 0.0);
  }
  requestFlush();
  if (hostParams)
    hostParams->rescan(host, CLAP_PARAM_RESCAN_TEXT);
  if (hostState)
    hostState->mark_dirty(host);
}

void ClapEffect::InformHostOfParamChangeFromProcess(int paramIdx, double normalizedValue, int sampleOffset)
{
  processChanges.Add(paramIdx, normalizedValue, sampleOffset);
}

bool ClapEffect::pushEdit(const clap_output_events_t* out, HostEdit::Kind kind, clap_id id, double plainValue,
                          uint32_t time)
{
  if (kind == HostEdit::kValue)
  {
    clap_event_param_value_t event{};
    event.header.size = sizeof(event);
    event.header.time = time;
    event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
    event.header.type = CLAP_EVENT_PARAM_VALUE;
    event.param_id = id;
    event.note_id = -1;
    event.port_index = -1;
    event.channel = -1;
    event.key = -1;
    event.value = plainValue;
    return out->try_push(out, &event.header);
  }
  clap_event_param_gesture_t event{};
  event.header.size = sizeof(event);
  event.header.time = time;
  event.header.space_id = CLAP_CORE_EVENT_SPACE_ID;
  event.header.type = kind == HostEdit::kBegin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END;
  event.param_id = id;
  return out->try_push(out, &event.header);
}

void ClapEffect::reportEdits(const clap_output_events_t* out)
{
  const bool canPush = out && out->try_push;
  // The main thread's edits come first, at the block's start: they were
  // made before it.
  HostEdit edit;
  while (edits.Pop(edit))
    if (canPush)
      pushEdit(out, edit.kind, edit.id, edit.value, 0);
  if (editsOverflowed.exchange(false, std::memory_order_acq_rel) && canPush)
    for (int i = 0; i < numParams(); ++i)
      pushEdit(out, HostEdit::kValue, static_cast<clap_id>(i), plugin->GetParam(i)->Value(), 0);

  // Then the changes the block made by itself (a MIDI controller moved a
  // parameter), each as a gesture of its own, in time order.
  for (int i = 0; i < processChanges.Count() && canPush; ++i)
  {
    const IBlockParamChanges::Change& change = processChanges[i];
    const IParam* param = plugin->GetParam(change.paramIdx);
    if (!param)
      continue;
    const uint32_t time = static_cast<uint32_t>(std::max(change.sampleOffset, 0));
    const clap_id id = static_cast<clap_id>(change.paramIdx);
    pushEdit(out, HostEdit::kBegin, id, 0.0, time);
    pushEdit(out, HostEdit::kValue, id, plainOf(*param, change.normalizedValue), time);
    pushEdit(out, HostEdit::kEnd, id, 0.0, time);
  }
  processChanges.Clear();
}

void ClapEffect::showHostChanges()
{
  uint64_t changed = hostChanged.exchange(0, std::memory_order_acq_rel);
  bool textsChanged = false;
  for (int i = 0; changed; ++i, changed >>= 1)
  {
    if (!(changed & 1u) || !plugin->GetParam(i))
      continue;
    plugin->OnParamChangeUI(i, kHost);
    plugin->SendParameterValueFromDelegate(i, plugin->GetParam(i)->GetNormalized(), true);
    // Sync switches change how other parameters read.
    textsChanged |= plugin->GetParam(i)->Type() != IParam::kTypeDouble;
  }
  if (textsChanged && hostParams)
    hostParams->rescan(host, CLAP_PARAM_RESCAN_TEXT);
}
