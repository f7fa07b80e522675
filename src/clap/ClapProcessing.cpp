// The audio side of ClapEffect: transport, parameter events, MIDI and audio
// of each block, and the edits the block reports. Audio thread, except
// flush while the plug-in is inactive (main thread).
#include <algorithm>
#include <cmath>

#include "clap/ClapEffect.h"
#include "clap/ClapMidi.h"

namespace
{
double fromBeatTime(clap_beattime t)
{
  return static_cast<double>(t) / static_cast<double>(CLAP_BEATTIME_FACTOR);
}

// Each event of the list, skipping null entries and events of other spaces
// or with a size too small for their type.
template <typename Visit>
void forEachEvent(const clap_input_events_t* in, Visit&& visit)
{
  if (!in || !in->size || !in->get)
    return;
  const uint32_t count = in->size(in);
  for (uint32_t i = 0; i < count; ++i)
  {
    const clap_event_header_t* header = in->get(in, i);
    if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID)
      continue;
    visit(*header);
  }
}

template <typename Event>
const Event* as(const clap_event_header_t& header)
{
  return header.size >= sizeof(Event) ? reinterpret_cast<const Event*>(&header) : nullptr;
}
} // namespace

clap_process_status ClapEffect::Process(const clap_process_t& process)
{
  processChanges.Clear();
  const uint32_t frames = process.frames_count;

  // Transport: the block's, then any change the list carries (the engine
  // takes the transport once per block, so the last one counts).
  if (process.transport)
    applyTransport(*process.transport);
  forEachEvent(process.in_events, [&](const clap_event_header_t& header) {
    if (header.type == CLAP_EVENT_TRANSPORT)
      if (const auto* transport = as<clap_event_transport_t>(header))
        applyTransport(*transport);
  });

  // What other threads posted since the last block comes first, so that the
  // block's own changes have the last word.
  plugin->ApplyPendingChanges();
  applyParameterEvents(process.in_events, frames, true);
  if (plugin->GetConfig().doesMidiIn)
  {
    deliverMidiEvents(process.in_events, frames);
    IMidiMsg msg;
    while (plugin->GetMidiQueueFromEditor().Pop(msg))
      plugin->ProcessMidiMsg(msg);
  }

  audio.Run(*plugin, process.audio_inputs, process.audio_inputs_count, process.audio_outputs,
            process.audio_outputs_count, static_cast<int>(std::min<uint32_t>(frames, 1u << 30)),
            plugin->GetBypassed());

  // The editor learns of the block's changes on the main thread.
  if (processChanges.Count() > 0 || hostChanged.load(std::memory_order_relaxed) != 0 ||
      plugin->GetMidiQueueToEditor().ElementsAvailable() > 0)
    requestCallback();
  reportEdits(process.out_events);
  return CLAP_PROCESS_CONTINUE;
}

void ClapEffect::applyTransport(const clap_event_transport_t& transport)
{
  ITimeInfo& time = plugin->GetTimeInfo();
  if (transport.flags & CLAP_TRANSPORT_HAS_TEMPO)
    time.tempo = transport.tempo;
  if (transport.flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE)
  {
    // CLAP's beats are quarter notes.
    time.ppqPosition = fromBeatTime(transport.song_pos_beats);
    time.lastBarPosition = fromBeatTime(transport.bar_start);
    time.cycleStart = fromBeatTime(transport.loop_start_beats);
    time.cycleEnd = fromBeatTime(transport.loop_end_beats);
  }
  time.samplePosition = (transport.flags & CLAP_TRANSPORT_HAS_SECONDS_TIMELINE)
                            ? std::floor(static_cast<double>(transport.song_pos_seconds) /
                                             static_cast<double>(CLAP_SECTIME_FACTOR) * plugin->GetSampleRate() +
                                         0.5)
                            : -1.0;
  if ((transport.flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) && transport.tsig_num > 0 && transport.tsig_denom > 0)
  {
    time.timeSigNumerator = transport.tsig_num;
    time.timeSigDenominator = transport.tsig_denom;
  }
  time.transportRunning = (transport.flags & CLAP_TRANSPORT_IS_PLAYING) != 0;
  time.cycleActive = (transport.flags & CLAP_TRANSPORT_IS_LOOP_ACTIVE) != 0;
}

void ClapEffect::applyParameterEvents(const clap_input_events_t* in, uint32_t frames, bool inProcess)
{
  // Per parameter (and the bypass, last) the last value and its time, and
  // the order in which parameters first appear.
  constexpr int kSlots = kMaxParams + 1;
  std::array<double, kSlots> values{};
  std::array<int32_t, kSlots> times{};
  std::array<int, kSlots> order{};
  std::array<bool, kSlots> seen{};
  int count = 0;
  const int nParams = numParams();
  forEachEvent(in, [&](const clap_event_header_t& header) {
    if (header.type != CLAP_EVENT_PARAM_VALUE)
      return;
    const auto* event = as<clap_event_param_value_t>(header);
    // The parameters are global: a value aimed at one note, key or channel
    // sets them as a wildcard one does, since hosts that fill those fields
    // with 0 instead of -1 would otherwise lose their automation.
    if (!event || !std::isfinite(event->value))
      return;
    int slot = -1;
    if (event->param_id == kBypassId)
      slot = nParams;
    else if (event->param_id < static_cast<clap_id>(nParams))
      slot = static_cast<int>(event->param_id);
    if (slot < 0)
      return;
    if (!seen[static_cast<size_t>(slot)])
    {
      seen[static_cast<size_t>(slot)] = true;
      order[static_cast<size_t>(count++)] = slot;
    }
    values[static_cast<size_t>(slot)] = event->value;
    times[static_cast<size_t>(slot)] = IEffectProcessor::OffsetInBlock(header.time, frames);
  });
  for (int i = 0; i < count; ++i)
  {
    const size_t slot = static_cast<size_t>(order[static_cast<size_t>(i)]);
    applyParameterValue(slot == static_cast<size_t>(nParams) ? kBypassId : static_cast<clap_id>(slot), values[slot],
                        times[slot], inProcess);
  }
}

void ClapEffect::applyParameterValue(clap_id id, double value, int sampleOffset, bool inProcess)
{
  if (id == kBypassId)
  {
    plugin->SetBypassed(value > 0.5);
    return;
  }
  const int paramIdx = static_cast<int>(id);
  IParam* param = plugin->GetParam(paramIdx);
  if (!param)
    return;
  param->Set(value);
  if (inProcess)
    plugin->OnParamChange(paramIdx, kHost, sampleOffset);
  else
    // Outside a block the engine takes it up with the next one.
    plugin->OnParamChange(paramIdx);
  if (paramIdx < 64)
    hostChanged.fetch_or(uint64_t{1} << paramIdx, std::memory_order_acq_rel);
}

void ClapEffect::deliverMidiEvents(const clap_input_events_t* in, uint32_t frames)
{
  forEachEvent(in, [&](const clap_event_header_t& header) {
    IMidiMsg msg;
    ClapMidi::Kind kind = ClapMidi::Kind::kNone;
    switch (header.type)
    {
    case CLAP_EVENT_MIDI:
      if (const auto* event = as<clap_event_midi_t>(header))
        kind = ClapMidi::FromMidiEvent(*event, frames, msg);
      break;
    case CLAP_EVENT_NOTE_ON:
    case CLAP_EVENT_NOTE_OFF:
      if (const auto* event = as<clap_event_note_t>(header))
        kind = ClapMidi::FromNoteEvent(*event, header.type == CLAP_EVENT_NOTE_ON, frames, msg);
      break;
    case CLAP_EVENT_MIDI_SYSEX:
      if (const auto* event = as<clap_event_midi_sysex_t>(header))
        if (event->buffer && event->size > 0)
        {
          ISysEx sysEx;
          sysEx.offset = IEffectProcessor::OffsetInBlock(header.time, frames);
          sysEx.data = event->buffer;
          sysEx.size = static_cast<int32_t>(std::min<uint32_t>(event->size, 0x7FFFFFFF));
          plugin->ProcessSysEx(sysEx);
        }
      return;
    default:
      return;
    }
    // A full queue drops the editor's copy only; the instance always gets
    // it. Controllers reach the editor first, as the VST 3 version's
    // controller parameters do.
    if (kind == ClapMidi::Kind::kController)
    {
      plugin->GetMidiQueueToEditor().Push(msg);
      plugin->ProcessMidiMsg(msg);
    }
    else if (kind == ClapMidi::Kind::kNote)
    {
      plugin->ProcessMidiMsg(msg);
      plugin->GetMidiQueueToEditor().Push(msg);
    }
  });
}
