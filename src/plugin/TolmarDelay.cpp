#include "plugin/TolmarDelay.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "control/TolmarConfig.h"
#include "control/UserPresetFolder.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/SyncRates.h"
#include "plugin/DelayTail.h"

const IEffectConfig TolmarDelay::kConfig = [] {
  IEffectConfig c;
  c.nParams = kNumParams;
  c.nPresets = kNumPresets;
  c.channelIO = "2-2";
  c.effectName = ProductIdentity::kEffectName;
  c.productName = ProductIdentity::kEffectName;
  c.mfrName = ProductIdentity::kVendorName;
  c.vendorVersion = 0x00020003;
  c.uniqueID = 0x746C6364; // 'tlcd'
  c.mfrID = 0x546F6C6D;    // 'Tolm'
  c.latency = 0;
  c.doesMidiIn = true;
  c.doesMidiOut = false;
  c.hasEditor = true;
  c.editorWidth = 683;
  c.editorHeight = 174;
  c.editorFPS = 60;
  c.minWidth = 227;
  c.minHeight = 58;
  c.maxWidth = 2049;
  c.maxHeight = 522;
  return c;
}();

TolmarDelay::TolmarDelay(const InstanceInfo&) : IEffectPlugin(kConfig), engine(GetTimeInfo())
{
  for (auto& entry : pendingMap)
    entry.store(MidiLearn::kUnbound, std::memory_order_relaxed);
  if (userConfig.locate())
  {
    // No other thread knows the instance yet: the map goes in directly.
    MidiLearn::Map map = midiLearn.snapshot();
    if (userConfig.load(map))
      midiLearn.load(map);
  }
  SetChannelLabel(true, 0, "Tolmar Charge Chain Delay Left");
  SetChannelLabel(true, 1, "Tolmar Charge Chain Delay Right");
  SetChannelLabel(false, 0, "Tolmar Charge Chain Delay Left");
  SetChannelLabel(false, 1, "Tolmar Charge Chain Delay Right");
  initParameters();
  // The editor factory and layout are installed by the module that links
  // the editor (SetEditorFactory).
  initPresets();
  publish();
}

TolmarDelay::~TolmarDelay() = default;

bool TolmarDelay::loadConfig()
{
  MidiLearn::Map map = midiLearn.snapshot();
  if (!userConfig.load(map))
    return false;
  for (int i = 0; i < MidiLearn::kNumControllers; ++i)
    pendingMap[static_cast<size_t>(i)].store(map[static_cast<size_t>(i)], std::memory_order_relaxed);
  mapPending.store(true, std::memory_order_release);
  // An open editor follows the new scale at its next frame.
  pendingRefreshes.fetch_or(kRefreshEditorScale, std::memory_order_acq_rel);
  return true;
}

bool TolmarDelay::saveConfig()
{
  return userConfig.save(midiLearn.snapshot(), currentDrawScale());
}

bool TolmarDelay::fileExists(const IString& path) { return configFileExists(path.str()); }

void TolmarDelay::initParameters()
{
  IParam* list[kNumParams];
  for (int i = 0; i < kNumParams; ++i)
    list[i] = GetParam(i);
  initDelayParameters(list);
}

void TolmarDelay::initPresets()
{
  for (int i = 0; i < kNumPresets; ++i)
  {
    const auto& v = kFactoryPresets[static_cast<size_t>(i)].values;
    makeInitialPreset(i, kFactoryPresets[static_cast<size_t>(i)].name, static_cast<int>(v[kRange]), v[kTime],
                      v[kFeedback], v[kLFOSpeed], v[kLFODepth], v[kMix], v[kQuality], static_cast<int>(v[kDelaySync]),
                      static_cast<int>(v[kLFOSync]));
  }
}

void TolmarDelay::makeInitialPreset(int index, const char* name, ...)
{
  IPreset* preset = GetPreset(index);
  if (!preset)
    return;
  preset->initialized = true;
  std::strncpy(preset->name, name, IPreset::kMaxNameLength - 1);
  preset->name[IPreset::kMaxNameLength - 1] = '\0';
  preset->chunk.Clear();
  preset->chunk.PutBytes(versionMagic, static_cast<int>(std::strlen(versionMagic)));
  va_list values;
  va_start(values, name);
  for (int i = 0; i < kNumParams; ++i)
  {
    const IParam::EParamType type = Param(i).Type();
    // Whole-number parameters are passed as int, the others as double; the
    // values are stored as they are and constrained when restored.
    const double v = (type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum)
                         ? static_cast<double>(va_arg(values, int))
                         : va_arg(values, double);
    preset->chunk.Put(&v);
  }
  va_end(values);
}

bool TolmarDelay::SerializeState(IByteChunk& chunk) const
{
  chunk.PutBytes(versionMagic, static_cast<int>(std::strlen(versionMagic)));
  return SerializeParams(chunk);
}

bool TolmarDelay::isOldVersion1(const IByteChunk& chunk, int startPos) const
{
  const int tagLength = static_cast<int>(std::strlen(versionMagic));
  const int prefixLength = static_cast<int>(std::strlen(stringToTest));
  if (startPos < 0 || startPos > chunk.Size())
    return true;
  const int available = chunk.Size() - startPos < tagLength ? chunk.Size() - startPos : tagLength;
  if (available < prefixLength)
    return true;
  return std::memcmp(chunk.GetData() + startPos, stringToTest, static_cast<size_t>(prefixLength)) != 0;
}

int TolmarDelay::UnserializeState(const IByteChunk& chunk, int startPos)
{
  // Whatever state comes now, it is not the user preset recalled before.
  userPresetName.clear();
  if (!isOldVersion1(chunk, startPos))
    return UnserializeParams(chunk, startPos + static_cast<int>(std::strlen(versionMagic)));

  // First version: range to quality, unconverted; the sync switches did not
  // exist and are switched off.
  int pos = startPos;
  for (int i = kRange; i <= kQuality && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    Param(i).Set(v);
  }
  Param(kDelaySync).Set(Param(kDelaySync).GetDefault());
  Param(kLFOSync).Set(Param(kLFOSync).GetDefault());
  OnParamReset(kPresetRecall);
  return pos;
}

void TolmarDelay::changePreset(int index)
{
  // The preset being left keeps the settings made since it was chosen.
  ModifyCurrentPreset();
  if (!RestorePreset(index))
    return;
  announceRecall();
}

void TolmarDelay::announceRecall()
{
  // The host hears of every parameter the preset changed, so that its own
  // controls, undo and "modified" state follow.
  InformHostOfPresetChange();
  for (int i = 0; i < kNumParams; ++i)
    SendParameterValueFromDelegate(i, Param(i).GetNormalized(), true);
}

bool TolmarDelay::changeToUserPreset(const std::string& name, const std::vector<char>& componentState)
{
  IByteChunk chunk;
  chunk.PutBytes(componentState.data(), static_cast<int>(componentState.size()));
  const bool tagged = !isOldVersion1(chunk, 0);
  const int needed = tagged ? StateFormat::kChunkSize : 7 * static_cast<int>(sizeof(double));
  // A state that reads short would leave some values applied: refuse it
  // before anything changes.
  if (chunk.Size() < needed)
    return false;
  ModifyCurrentPreset();
  if (UnserializeState(chunk, 0) < 1)
    return false;
  // No factory preset is current: leaving the user preset later must not
  // store its settings into one of them.
  currentPresetIdx = -1;
  userPresetName = name;
  OnPresetsModified();
  OnRestoreState();
  announceRecall();
  return true;
}

void TolmarDelay::userPresetSaved(const std::string& name)
{
  // A factory preset being left keeps the settings made since it was chosen.
  ModifyCurrentPreset();
  currentPresetIdx = -1;
  userPresetName = name;
}

std::vector<char> TolmarDelay::userPresetState() const
{
  IByteChunk chunk;
  SerializeState(chunk);
  std::vector<char> state(chunk.GetData(), chunk.GetData() + chunk.Size());
  // A saved sound never switches the effect off when it is recalled.
  state.insert(state.end(), 4, '\0');
  return state;
}

int TolmarDelay::unserializeTolmarState(const IByteChunk& chunk, int startPos)
{
  const int pos = UnserializeState(chunk, startPos);
  if (pos >= 0)
    tickMatchingPreset(false);
  return pos;
}

bool TolmarDelay::holdsValuesOf(const IByteChunk& state) const
{
  // Tagged states only: the nine values after the tag.
  if (isOldVersion1(state, 0))
    return false;
  int pos = static_cast<int>(std::strlen(versionMagic));
  for (int i = 0; i < kNumParams; ++i)
  {
    double v = 0.0;
    pos = state.Get(&v, pos);
    if (pos < 0 || static_cast<float>(Param(i).Constrain(v)) != static_cast<float>(Param(i).Value()))
      return false;
  }
  return true;
}

int TolmarDelay::presetMatchingValues() const
{
  for (int p = 0; p < NPresets(); ++p)
  {
    const IPreset* preset = GetPreset(p);
    if (preset && preset->initialized && holdsValuesOf(preset->chunk))
      return p;
  }
  return -1;
}

std::string TolmarDelay::userPresetMatchingValues() const
{
  const UserPresetFolder folder;
  for (const UserPresetFolder::Entry& entry : folder.list())
  {
    const std::optional<std::vector<char>> state = folder.load(entry.name);
    if (!state)
      continue;
    IByteChunk chunk;
    chunk.PutBytes(state->data(), static_cast<int>(state->size()));
    if (holdsValuesOf(chunk))
      return entry.name;
  }
  return {};
}

void TolmarDelay::tickMatchingPreset(bool keepWhenNone)
{
  const int match = presetMatchingValues();
  if (match >= 0 || !keepWhenNone)
  {
    currentPresetIdx = match;
    // A restored state, or a factory preset's values, is not the user
    // preset recalled before.
    userPresetName.clear();
  }
  // A restored state may hold a user preset's values: a host that loads the
  // preset file itself restores it as a state. That preset is then the
  // loaded one, ticked and deletable; among user presets the first in the
  // menu's order. A factory preset with its factory values wins where both
  // match (the factory sound is the one meant, and hosts load the factory
  // preset files the same way); one that holds edits made in this session
  // (a factory preset keeps them when left, also for a user preset saved
  // from it) does not. Only after a restore, which is rare: values that
  // arrive port by port never read the folder.
  if (keepWhenNone || (match >= 0 && holdsFactoryValues(match)))
    return;
  const std::string user = userPresetMatchingValues();
  if (!user.empty())
  {
    currentPresetIdx = -1;
    userPresetName = user;
  }
}

bool TolmarDelay::holdsFactoryValues(int preset) const
{
  if (preset < 0 || preset >= static_cast<int>(kFactoryPresets.size()))
    return false;
  const auto& values = kFactoryPresets[static_cast<size_t>(preset)].values;
  for (int i = 0; i < kNumParams; ++i)
    if (static_cast<float>(Param(i).Constrain(values[static_cast<size_t>(i)])) != static_cast<float>(Param(i).Value()))
      return false;
  return true;
}

// --- Changes from other threads --------------------------------------------------

void TolmarDelay::OnParamChange(int paramIdx)
{
  if (paramIdx < 0 || paramIdx >= NParams())
    return;
  pendingParams.fetch_or(uint64_t{1} << paramIdx, std::memory_order_acq_rel);
}

void TolmarDelay::OnParamChange(int paramIdx, EParamSource source, int)
{
  if (source == kHost || source == kDelegate)
  {
    // Published with the block: at the end of ProcessBlock, or at the start
    // of the next block when this one is bypassed.
    if (paramIdx >= 0 && paramIdx < NParams())
      applyParamChange(paramIdx);
    return;
  }
  OnParamChange(paramIdx);
}

void TolmarDelay::OnParamGestureBegin(int paramIdx)
{
  // Only the parameter the user takes hold of can become a learn target;
  // automation, state and presets never do.
  post(Command::kTouch, paramIdx);
}

bool TolmarDelay::doFreeze() { return post(Command::kFreeze); }
bool TolmarDelay::doMidiLearn(bool on) { return post(Command::kLearn, on ? 1 : 0); }
bool TolmarDelay::doMidiUnlearn(bool on) { return post(Command::kUnlearn, on ? 1 : 0); }

bool TolmarDelay::post(Command::Type type, int32_t value)
{
  return commands.Push(Command{type, value});
}

// --- The audio thread ----------------------------------------------------------------

void TolmarDelay::ApplyPendingChanges()
{
  // Plain loads first: most blocks find nothing posted, and a read costs
  // less than the exchange that takes a posting.
  if (mapPending.load(std::memory_order_relaxed) && mapPending.exchange(false, std::memory_order_acquire))
  {
    MidiLearn::Map map;
    for (int i = 0; i < MidiLearn::kNumControllers; ++i)
      map[static_cast<size_t>(i)] = pendingMap[static_cast<size_t>(i)].load(std::memory_order_relaxed);
    midiLearn.load(map);
  }
  uint64_t changed = pendingParams.load(std::memory_order_relaxed) ? pendingParams.exchange(0, std::memory_order_acq_rel) : 0;
  for (int i = 0; changed; ++i, changed >>= 1)
    if (changed & 1u)
      applyParamChange(i);
  Command command;
  while (commands.Pop(command))
    applyCommand(command);
  publish();
}

void TolmarDelay::applyParamChange(int paramIdx)
{
  const IParam& param = Param(paramIdx);
  engine.applyParameter(paramIdx, param.Value(), param.GetNormalized());
  if (paramIdx == kLFOSpeed || paramIdx == kLFOSync)
    setRateDisplay(engine.isLFOSynced());
}

void TolmarDelay::applyCommand(const Command& command)
{
  switch (command.type)
  {
    case Command::kLearn:
    case Command::kUnlearn:
      midiLearn.arm(command.value != 0, command.type == Command::kUnlearn);
      unpublishedRefreshes |= kRefreshMidiLearn;
      break;
    case Command::kFreeze:
      pressFreeze();
      break;
    case Command::kTouch:
      if (midiLearn.isArmed() && command.value >= 0 && command.value < NParams())
      {
        midiLearn.touch(command.value);
        learnFinished();
      }
      break;
    case Command::kNone:
      break;
  }
}

void TolmarDelay::pressFreeze()
{
  if (midiLearn.isArmed())
  {
    midiLearn.touch(kFreezeTarget);
    learnFinished();
    return;
  }
  engine.toggleFreeze();
}

void TolmarDelay::learnFinished()
{
  unpublishedRefreshes |= kRefreshMidiLearn;
}

void TolmarDelay::OnReset()
{
  ApplyPendingChanges();
  engine.reset(GetSampleRate());
  publish();
}

void TolmarDelay::setTimeParameters()
{
  engine.setTimeParameters();
  publish();
}

void TolmarDelay::updateDelay()
{
  engine.updateDelay();
}

void TolmarDelay::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  // Drivers other than a host binding (tests, benchmarks) call this alone.
  ApplyPendingChanges();
  tailTempo.store(GetTimeInfo().tempo, std::memory_order_relaxed);
  engine.process(inputs, outputs, nFrames, this);
  publish();
}

void TolmarDelay::beforeControlStep(int frame)
{
  handleMidiEvents(frame);
}

void TolmarDelay::publish()
{
  const uint32_t changes = engine.takeChanges();
  if (changes & DelayEngine::kTimeDisplayChanged)
    unpublishedRefreshes |= kRefreshTimeDisplay;
  if (changes & DelayEngine::kRateDisplayChanged)
    unpublishedRefreshes |= kRefreshRateDisplay;
  if (changes & DelayEngine::kFreezeChanged)
    unpublishedRefreshes |= kRefreshFreeze;

  DisplayState state;
  state.rangeIndex = engine.getRangeIndex();
  state.syncIndex = engine.getSyncIndex();
  state.syncedDelayMs = engine.getSyncedDelayMs();
  state.timeFraction = engine.getTimeFraction();
  state.rangeMinMs = engine.getRangeMinMs();
  state.rangeMaxMs = engine.getRangeMaxMs();
  state.lfoDepth = engine.getLFODepth();
  state.delaySync = engine.isDelaySynced();
  state.lfoSync = engine.isLFOSynced();
  state.frozen = engine.isFrozen();
  state.learnArmed = midiLearn.isArmed();
  state.unlearnMode = midiLearn.isUnlearnMode();
  if (!(state == published))
  {
    published = state;
    displayState.Publish(state);
  }
  // The state first, then the refreshes: an editor that sees a refresh
  // always finds the state it refers to.
  if (unpublishedRefreshes)
  {
    pendingRefreshes.fetch_or(unpublishedRefreshes, std::memory_order_acq_rel);
    unpublishedRefreshes = 0;
  }
}

// --- Display ---------------------------------------------------------------------------

void TolmarDelay::getDelayTimeDisplay(IString& text) const
{
  const double t = Param(kTime).Value();
  if (isDelaySynced())
  {
    text.Set(kDelaySyncRates[static_cast<size_t>(delaySyncRowForTime(t))].label);
    return;
  }
  double lo, hi;
  DelayRanges::rangeBoundsMs(Param(kRange).Value(), lo, hi);
  text.SetFormatted(12, "%.0fms", lo + (hi - lo) * t);
}

IEffectPlugin::EditorIndicators TolmarDelay::GetEditorIndicators() const
{
  const DisplayState state = getDisplayState();
  EditorIndicators out;
  out.rangeIndex = state.rangeIndex;
  out.timeSynced = state.delaySync;
  out.rateSynced = state.lfoSync;
  out.frozen = state.frozen;
  out.learnArmed = state.learnArmed;
  out.unlearnMode = state.unlearnMode;
  return out;
}

void TolmarDelay::OnTempoChanged()
{
  // What the editor shows of the tempo: the synced delay time and its range.
  if (isDelaySynced())
    setTimeParameters();
}

void TolmarDelay::setRateDisplay()
{
  setRateDisplay(isLFOSynced());
}

void TolmarDelay::setRateDisplay(bool lfoSynced)
{
  Param(kLFOSpeed).SetDisplayFunc(lfoSynced ? setDisplayTextForLFOSyncRate : setDisplayTextForSpeed);
}

uint32_t TolmarDelay::GetTailSize() const
{
  // From the parameter values (atomic) rather than the engine's state, so
  // the answer is ready before processing starts. A synced delay or LFO
  // takes the tempo of the last block (120 until one came); hosts ask again
  // when they restart processing, by which time a new tempo has arrived.
  DelayTailSettings s;
  s.sampleRate = GetSampleRate();
  s.range = Param(kRange).Value();
  s.time = Param(kTime).Value();
  s.feedback = Param(kFeedback).Value();
  s.lfoSpeed = Param(kLFOSpeed).Value();
  s.lfoDepth = Param(kLFODepth).Value();
  s.mix = Param(kMix).Value();
  s.quality = Param(kQuality).Value();
  s.delaySync = Param(kDelaySync).Value() >= 0.5;
  s.lfoSync = Param(kLFOSync).Value() >= 0.5;
  s.lfoSyncRow = lfoSyncIndexForNormalized(Param(kLFOSpeed).GetNormalized());
  s.tempo = tailTempo.load(std::memory_order_relaxed);
  s.frozen = isFrozen();
  const uint32_t tail = delayTailSamples(s);
  return tail == kInfiniteTailSamples ? kInfiniteTail : tail;
}
