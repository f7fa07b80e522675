#include "lv2/Lv2Effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <lv2/atom/util.h>

#include "lv2/AtomChecks.h"
#include "lv2/Lv2Features.h"
#include "lv2/Lv2Uris.h"
#include "params/ProductFacts/SampleRates.h"
#include "params/ProductFacts/StateFormat.h"
#include "plugin/MakeEffect.h"

namespace
{
constexpr float kNeverApplied = std::numeric_limits<float>::quiet_NaN();

// A number of any of the atom number types.
bool readNumber(const LV2_Atom* atom, LV2_URID intType, LV2_URID longType, LV2_URID floatType, LV2_URID doubleType,
                double& out)
{
  if (!atom)
    return false;
  double v;
  if (atom->type == intType && atom->size >= sizeof(int32_t))
    v = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  else if (atom->type == longType && atom->size >= sizeof(int64_t))
    v = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  else if (atom->type == floatType && atom->size >= sizeof(float))
    v = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  else if (atom->type == doubleType && atom->size >= sizeof(double))
    v = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  else
    return false;
  if (!std::isfinite(v))
    return false;
  out = v;
  return true;
}
} // namespace

std::unique_ptr<Lv2Effect> Lv2Effect::Create(double sampleRate, const LV2_Feature* const* features)
{
  const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
  if (!map || !map->map || !SampleRates::isSupported(sampleRate))
    return nullptr;
  try
  {
    std::unique_ptr<IEffectPlugin> instance(MakeEffect(InstanceInfo{}));
    if (!instance)
      return nullptr;
    return std::unique_ptr<Lv2Effect>(new Lv2Effect(std::move(instance), *map, sampleRate));
  }
  catch (...)
  {
    return nullptr;
  }
}

Lv2Effect::Lv2Effect(std::unique_ptr<IEffectPlugin> instance, const LV2_URID_Map& map, double sampleRate)
: plugin(std::move(instance)), uris(map)
{
  lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(&map));

  std::fill(std::begin(lastParameterPort), std::end(lastParameterPort), kNeverApplied);
  lastEnabledPort = kNeverApplied;
  audio.SetMaxBlockSize(kScratchFrames);
  displayText.Reserve(64);

  plugin->SetHost(this);
  // What a VST 3 host's initialize and setupProcessing do: every parameter
  // delivered once, then the engine built for the sample rate.
  plugin->OnParamReset(kReset);
  plugin->SetSampleRate(sampleRate);
  plugin->SetBlockSize(kScratchFrames);
  plugin->OnReset();
}

Lv2Effect::~Lv2Effect()
{
  plugin->SetHost(nullptr);
}

void Lv2Effect::ConnectPort(uint32_t port, void* data)
{
  if (Lv2Ports::isParameterPort(port))
    parameterPorts[port - Lv2Ports::kFirstParameter] = static_cast<const float*>(data);
  else if (port == Lv2Ports::kAudioInLeft || port == Lv2Ports::kAudioInRight)
    audioIn[port - Lv2Ports::kAudioInLeft] = static_cast<const float*>(data);
  else if (port == Lv2Ports::kAudioOutLeft || port == Lv2Ports::kAudioOutRight)
    audioOut[port - Lv2Ports::kAudioOutLeft] = static_cast<float*>(data);
  else if (port == Lv2Ports::kEnabled)
    enabledPort = static_cast<const float*>(data);
  else if (port == Lv2Ports::kControl)
    controlPort = static_cast<const LV2_Atom_Sequence*>(data);
  else if (port == Lv2Ports::kNotify)
    notifyPort = static_cast<LV2_Atom_Sequence*>(data);
}

void Lv2Effect::Activate()
{
  plugin->OnActivate(true);
  displayRequested.store(true, std::memory_order_release);
}

void Lv2Effect::Deactivate()
{
  // As a VST 3 host's setProcessing(false): stopping releases freeze.
  plugin->OnReset();
  plugin->OnActivate(false);
}

bool Lv2Effect::isPosition(const LV2_Atom* atom) const
{
  return (atom->type == uris.atomObject || atom->type == uris.atomBlank) &&
         atom->size >= sizeof(LV2_Atom_Object_Body) &&
         reinterpret_cast<const LV2_Atom_Object*>(atom)->body.otype == uris.timePosition;
}

void Lv2Effect::Run(uint32_t frames)
{
  // A time:Position that arrives inside the block starts a new piece there,
  // so that tempo and position hold from their frame on; the usual host sends
  // it at frame 0, and the block is then one piece as in the VST 3 binding.
  const LV2_Atom_Sequence* sequence =
      controlPort && controlPort->atom.size >= sizeof(LV2_Atom_Sequence_Body) ? controlPort : nullptr;
  const LV2_Atom_Event* cursor = sequence ? lv2_atom_sequence_begin(&sequence->body) : nullptr;
  auto atEnd = [&](const LV2_Atom_Event* event) {
    // An event that claims more than the sequence holds ends it.
    return !sequence || lv2_atom_sequence_is_end(&sequence->body, sequence->atom.size, event) ||
           !AtomChecks::eventInside(sequence, event);
  };
  // Hosts stamp events in frames; a sequence stamped in beats has no frame
  // to go by, and its events count from the block's start. Some hosts leave
  // the unit unset (any value): their events are in frames too.
  const bool inFrames = sequence && sequence->body.unit != uris.atomBeatTime;
  auto frameOf = [frames, inFrames](const LV2_Atom_Event* event) {
    const int64_t f = inFrames ? event->time.frames : 0;
    const int64_t last = frames > 0 ? frames - 1 : 0;
    return static_cast<uint32_t>(f < 0 ? 0 : f > last ? last : f);
  };

  uint32_t start = 0;
  bool firstPiece = true;
  for (;;)
  {
    // 1. Transport: the positions that hold from the piece's first frame.
    const LV2_Atom_Event* event = cursor;
    for (; !atEnd(event) && frameOf(event) <= start; event = lv2_atom_sequence_next(event))
      if (isPosition(&event->body))
        applyTransport(reinterpret_cast<const LV2_Atom_Object*>(&event->body));

    // 2. What other threads posted (a restored state), then the parameter
    // values, once per block: the block's own values have the last word.
    if (firstPiece)
    {
      plugin->ApplyPendingChanges();
      applyControlPorts();
    }

    // 3. MIDI and editor messages up to the next position inside the block.
    uint32_t end = frames;
    for (event = cursor; !atEnd(event); event = lv2_atom_sequence_next(event))
    {
      const uint32_t frame = frameOf(event);
      if (isPosition(&event->body))
      {
        if (frame > start)
        {
          end = frame;
          break;
        }
        continue;
      }
      // Events out of order (a host's fault) count from the piece's start.
      applyEvent(event, static_cast<int32_t>(frame > start ? frame - start : 0));
    }
    cursor = event;

    // 4. Audio.
    processAudio(start, end);
    firstPiece = false;
    start = end;
    if (start >= frames)
      break;
  }
  notify();
}

void Lv2Effect::applyTransport(const LV2_Atom_Object* position)
{
  const LV2_Atom *bar = nullptr, *barBeat = nullptr, *beatUnit = nullptr, *beatsPerBar = nullptr,
                 *beatsPerMinute = nullptr, *frame = nullptr, *speed = nullptr;
  lv2_atom_object_get(position, uris.timeBar, &bar, uris.timeBarBeat, &barBeat, uris.timeBeatUnit, &beatUnit,
                      uris.timeBeatsPerBar, &beatsPerBar, uris.timeBeatsPerMinute, &beatsPerMinute, uris.timeFrame,
                      &frame, uris.timeSpeed, &speed, 0);
  for (const LV2_Atom** value : {&bar, &barBeat, &beatUnit, &beatsPerBar, &beatsPerMinute, &frame, &speed})
    *value = AtomChecks::inside(position, *value);
  auto number = [this](const LV2_Atom* atom, double& out) {
    return readNumber(atom, uris.atomInt, uris.atomLong, uris.atomFloat, uris.atomDouble, out);
  };

  // A position carries what changed; the rest of the transport stays.
  ITimeInfo& time = plugin->GetTimeInfo();
  double v = 0.0;
  if (number(beatsPerMinute, v))
    time.tempo = v;
  if (number(frame, v))
    time.samplePosition = v;
  if (number(speed, v))
    time.transportRunning = v != 0.0;
  if (number(beatsPerBar, v) && v > 0.0 && v < 1000.0)
    time.timeSigNumerator = static_cast<int32_t>(std::lround(v));
  if (number(beatUnit, v) && v >= 1.0 && v < 1000.0)
    time.timeSigDenominator = static_cast<int32_t>(std::lround(v));
  double barIndex = 0.0, beat = 0.0;
  if (number(bar, barIndex) && number(barBeat, beat))
  {
    // Quarter notes from bars and beats of the time signature's unit.
    const double quartersPerBeat = 4.0 / time.timeSigDenominator;
    time.lastBarPosition = barIndex * time.timeSigNumerator * quartersPerBeat;
    time.ppqPosition = time.lastBarPosition + beat * quartersPerBeat;
  }
  // LV2 hosts report no loop.
  time.cycleActive = false;
}

void Lv2Effect::applyControlPorts()
{
  // Applied as a VST 3 host's last queue point is: the plain value stored,
  // then the instance's change handler, in parameter order.
  const bool adoptPorts = portsFollowRestore.exchange(false, std::memory_order_acq_rel);
  for (int i = 0; i < kNumParams; ++i)
  {
    const float* port = parameterPorts[i];
    if (!port)
      continue;
    const float v = *port;
    if (adoptPorts)
      lastParameterPort[i] = v;
    if (!std::isfinite(v) || v == lastParameterPort[i])
      continue;
    lastParameterPort[i] = v;
    plugin->Param(i).Set(static_cast<double>(v));
    plugin->OnParamChange(i, kHost, 0);
  }
  if (enabledPort)
  {
    const float v = *enabledPort;
    if (adoptPorts)
      lastEnabledPort = v;
    if (std::isfinite(v) && v != lastEnabledPort)
    {
      lastEnabledPort = v;
      plugin->SetBypassed(!(v > 0.0f));
    }
  }
}

void Lv2Effect::applyEvent(const LV2_Atom_Event* event, int32_t offset)
{
  const LV2_Atom& body = event->body;
  if (body.type == uris.midiEvent)
  {
    const auto* bytes = reinterpret_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&body));
    if (body.size == 0)
      return;
    const uint8_t status = bytes[0];
    if (status == 0xF0)
    {
      ISysEx sysEx;
      sysEx.offset = offset;
      sysEx.data = bytes;
      sysEx.size = static_cast<int32_t>(std::min<uint32_t>(body.size, 0x7FFFFFFF));
      plugin->ProcessSysEx(sysEx);
      return;
    }
    // Channel messages only; a data byte with the top bit set is no MIDI.
    if (status < 0x80 || status >= 0xF0)
      return;
    const uint8_t data1 = body.size > 1 ? bytes[1] : 0;
    const uint8_t data2 = body.size > 2 ? bytes[2] : 0;
    if ((data1 | data2) & 0x80)
      return;
    IMidiMsg msg;
    msg.offset = offset;
    msg.status = status;
    msg.data1 = data1;
    msg.data2 = data2;
    // The VST 3 binding also copies each message to a queue that its idle
    // timer hands to the editor; an LV2 editor lives apart and learns what
    // MIDI changed through the notify port instead.
    plugin->ProcessMidiMsg(msg);
    return;
  }
  if ((body.type == uris.atomObject || body.type == uris.atomBlank) && body.size >= sizeof(LV2_Atom_Object_Body))
  {
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
    if (object->body.otype == uris.command)
      applyCommand(object);
  }
}

void Lv2Effect::applyCommand(const LV2_Atom_Object* command)
{
  const LV2_Atom *code = nullptr, *targetAtom = nullptr;
  lv2_atom_object_get(command, uris.commandCode, &code, uris.commandTarget, &targetAtom, 0);
  code = AtomChecks::inside(command, code);
  targetAtom = AtomChecks::inside(command, targetAtom);
  if (!code || code->type != uris.atomInt || code->size < sizeof(int32_t))
    return;
  const int32_t target = targetAtom && targetAtom->type == uris.atomInt && targetAtom->size >= sizeof(int32_t)
                             ? reinterpret_cast<const LV2_Atom_Int*>(targetAtom)->body
                             : -1;
  switch (reinterpret_cast<const LV2_Atom_Int*>(code)->body)
  {
  case Lv2Uris::kCommandRequestDisplay:
    displayRequested.store(true, std::memory_order_release);
    break;
  case Lv2Uris::kCommandLearnOn:
    plugin->PostLearn(true);
    break;
  case Lv2Uris::kCommandLearnOff:
    plugin->PostLearn(false);
    break;
  case Lv2Uris::kCommandUnlearnOn:
    plugin->PostUnlearn(true);
    break;
  case Lv2Uris::kCommandUnlearnOff:
    plugin->PostUnlearn(false);
    break;
  case Lv2Uris::kCommandFreeze:
    plugin->PostFreeze();
    break;
  case Lv2Uris::kCommandTouch:
    // The editor took hold of a parameter: while learning, its target.
    if (target >= 0 && target < kNumParams)
      plugin->OnParamGestureBegin(target);
    break;
  default:
    break;
  }
}

void Lv2Effect::processAudio(uint32_t start, uint32_t end)
{
  const bool bypassed = plugin->GetBypassed();
  // The runner counts frames in an int; a piece longer than that (no real
  // host's) goes in several calls. One call even for an empty piece, so
  // that the instance sees every block.
  constexpr uint32_t kMaxRun = 1u << 30;
  do
  {
    const uint32_t n = std::min(end - start, kMaxRun);
    float* in[IEffectAudioRunner::kChannels];
    float* out[IEffectAudioRunner::kChannels];
    for (int c = 0; c < IEffectAudioRunner::kChannels; ++c)
    {
      // The runner only reads its inputs; it shares its signature with
      // hosts whose input buffers are writable.
      in[c] = audioIn[c] ? const_cast<float*>(audioIn[c]) + start : nullptr;
      out[c] = audioOut[c] ? audioOut[c] + start : nullptr;
    }
    audio.Run<float>(*plugin, in, out, static_cast<int>(n), bypassed);
    start += n;
  } while (start < end);
}

void Lv2Effect::readDisplay(Display& out)
{
  std::memset(&out, 0, sizeof out);
  for (int i = 0; i < kNumParams; ++i)
    out.parameterValues[i] = plugin->Param(i).Value();
  // The editor works out tempo-synced values from it, as the engine does.
  out.hostTempo = plugin->GetTimeInfo().tempo;
  const IEffectPlugin::EditorIndicators state = plugin->GetEditorIndicators();
  out.rangeIndex = state.rangeIndex;
  out.delaySynced = state.timeSynced;
  out.lfoSynced = state.rateSynced;
  out.frozen = state.frozen;
  out.learnArmed = state.learnArmed;
  out.unlearnMode = state.unlearnMode;
  for (int c = 0; c < ControllerMap::kNumControllers; ++c)
    out.controllerMap[c] = plugin->GetControllerBinding(c);
  out.restores = restores.load(std::memory_order_acquire);
}

void Lv2Effect::notify()
{
  if (!notifyPort)
    return;
  // The host sets the size to the buffer's capacity before each run.
  const uint32_t capacity = notifyPort->atom.size;
  lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(notifyPort), capacity);
  LV2_Atom_Forge_Frame sequenceFrame;
  if (!lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0))
    return;

  Display now;
  readDisplay(now);
  const bool requested = displayRequested.load(std::memory_order_acquire);
  if (requested || std::memcmp(&now, &lastDisplay, sizeof now) != 0)
  {
    plugin->GetReadoutText(displayText);
    LV2_Atom_Forge_Frame objectFrame;
    bool written = lv2_atom_forge_frame_time(&forge, 0) &&
                   lv2_atom_forge_object(&forge, &objectFrame, 0, uris.display);
    if (written)
    {
      written = lv2_atom_forge_key(&forge, uris.parameterValues) &&
                lv2_atom_forge_vector(&forge, sizeof(double), uris.atomDouble, kNumParams, now.parameterValues) &&
                lv2_atom_forge_key(&forge, uris.hostTempo) && lv2_atom_forge_double(&forge, now.hostTempo) &&
                lv2_atom_forge_key(&forge, uris.delayTimeText) &&
                lv2_atom_forge_string(&forge, displayText.Get(), static_cast<uint32_t>(std::strlen(displayText.Get()))) &&
                lv2_atom_forge_key(&forge, uris.rangeIndex) && lv2_atom_forge_int(&forge, now.rangeIndex) &&
                lv2_atom_forge_key(&forge, uris.delaySynced) && lv2_atom_forge_bool(&forge, now.delaySynced) &&
                lv2_atom_forge_key(&forge, uris.lfoSynced) && lv2_atom_forge_bool(&forge, now.lfoSynced) &&
                lv2_atom_forge_key(&forge, uris.frozen) && lv2_atom_forge_bool(&forge, now.frozen) &&
                lv2_atom_forge_key(&forge, uris.learnArmed) && lv2_atom_forge_bool(&forge, now.learnArmed) &&
                lv2_atom_forge_key(&forge, uris.unlearnMode) && lv2_atom_forge_bool(&forge, now.unlearnMode) &&
                lv2_atom_forge_key(&forge, uris.controllerMap) &&
                lv2_atom_forge_vector(&forge, sizeof(int32_t), uris.atomInt, ControllerMap::kNumControllers,
                                      now.controllerMap) &&
                lv2_atom_forge_key(&forge, uris.restores) && lv2_atom_forge_int(&forge, now.restores);
      lv2_atom_forge_pop(&forge, &objectFrame);
    }
    // A buffer too small for the message leaves it for the next block.
    if (written)
    {
      lastDisplay = now;
      if (requested)
        displayRequested.store(false, std::memory_order_release);
    }
    else
    {
      lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(notifyPort), capacity);
      lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0);
    }
  }
  lv2_atom_forge_pop(&forge, &sequenceFrame);
}

LV2_State_Status Lv2Effect::Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  if (!store)
    return LV2_STATE_ERR_UNKNOWN;
  try
  {
    IByteChunk chunk;
    if (!plugin->SerializeState(chunk))
      return LV2_STATE_ERR_UNKNOWN;
    const int32_t bypass = plugin->GetBypassed() ? 1 : 0;
    chunk.Put(&bypass);
    return store(handle, uris.stateChunk, chunk.GetData(), static_cast<size_t>(chunk.Size()), uris.atomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}

LV2_State_Status Lv2Effect::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
  if (!retrieve)
    return LV2_STATE_ERR_UNKNOWN;
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* data = retrieve(handle, uris.stateChunk, &size, &type, &flags);
  if (!data)
    return LV2_STATE_ERR_NO_PROPERTY;
  if (type != uris.atomChunk || size > static_cast<size_t>(StateFormat::kMaxStateBytes))
    return LV2_STATE_ERR_BAD_TYPE;
  try
  {
    IByteChunk chunk;
    chunk.PutBytes(data, static_cast<int>(size));
    const int statePos = plugin->unserializeTolmarState(chunk, 0);
    plugin->OnRestoreState();
    portsFollowRestore.store(true, std::memory_order_release);
    restores.fetch_add(1, std::memory_order_acq_rel);
    displayRequested.store(true, std::memory_order_release);
    if (statePos < 0)
      return LV2_STATE_ERR_UNKNOWN;
    int32_t bypass = 0;
    if (chunk.Get(&bypass, statePos) >= 0)
      plugin->SetBypassed(bypass != 0);
    return LV2_STATE_SUCCESS;
  }
  catch (...)
  {
    return LV2_STATE_ERR_UNKNOWN;
  }
}
