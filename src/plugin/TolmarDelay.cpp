#include "plugin/TolmarDelay.h"

#include <cmath>
#include <cstdarg>
#include <cstring>

#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/SyncRates.h"
#include "plugin/DelayTail.h"

using namespace DelayRanges;

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

TolmarDelay::TolmarDelay(const InstanceInfo&) : IEffectPlugin(kConfig)
{
  iniPath.Reserve(1024);
  for (int32_t& entry : midiCCMap)
    entry = kUnbound;
  locateConfig();
  SetChannelLabel(true, 0, "Tolmar Charge Chain Delay Left");
  SetChannelLabel(true, 1, "Tolmar Charge Chain Delay Right");
  SetChannelLabel(false, 0, "Tolmar Charge Chain Delay Left");
  SetChannelLabel(false, 1, "Tolmar Charge Chain Delay Right");
  initParameters();
  installEditor();
  initPresets();
}

TolmarDelay::~TolmarDelay() = default;

void TolmarDelay::locateConfig()
{
  // Without a file (no home folder, a folder or file that cannot be made)
  // the instance runs with every controller unbound and scale 0.5.
  try
  {
    std::string path;
    const bool ready = prepareConfigFile(path);
    iniPath.Set(path.c_str());
    if (ready)
      loadConfig();
  }
  catch (...)
  {
  }
}

bool TolmarDelay::loadConfig()
{
  if (iniPath.Empty())
    return false;
  try
  {
    readConfig(iniPath.str(), midiCCMap, editorScale);
    // An open editor follows the new scale at its next frame.
    raiseRefresh(kRefreshEditorScale);
    return true;
  }
  catch (...)
  {
    return false;
  }
}

bool TolmarDelay::saveConfig()
{
  try
  {
    return writeConfig(iniPath.str(), midiCCMap, currentDrawScale());
  }
  catch (...)
  {
    return false;
  }
}

bool TolmarDelay::fileExists(const IString& path) { return configFileExists(path.str()); }

void TolmarDelay::initParameters()
{
  IParam* list[kNumParams];
  for (int i = 0; i < kNumParams; ++i)
    list[i] = GetParam(i);
  initDelayParameters(list);
}

void TolmarDelay::installEditor()
{
  // The editor factory and layout are installed by the editor module.
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
  RestorePreset(index);
  InformHostOfPresetChange();
  for (int i = 0; i < kNumParams; ++i)
    SendParameterValueFromDelegate(i, Param(i).GetNormalized(), true);
}

void TolmarDelay::OnReset()
{
  const double rate = GetSampleRate();
  if (!(rate == delayLine.getSampleRate()))
  {
    delayLine.rebuild(rate);
    lfo.setSampleRate(rate, delayLine.getControlInterval());
    setTimeParameters();
  }
  frozen = false;
  delayLine.setFrozen(false);
  refreshFreeze();
}

void TolmarDelay::OnParamChange(int paramIdx)
{
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  if (learnArmed)
  {
    // Touching a parameter while learning picks it as the target; the sound
    // stays as it was.
    learnTarget = paramIdx;
    learnStep();
    return;
  }
  const double v = param->Value();
  switch (paramIdx)
  {
    case kRange:
      range = static_cast<int32_t>(std::round(v));
      setTimeParameters();
      break;
    case kTime:
      timeValue = v;
      syncIndex = delaySyncRowForTime(v);
      setTimeParameters();
      break;
    case kFeedback:
      delayLine.setFeedback(v);
      break;
    case kLFOSpeed:
      lfo.setRate(v);
      lfo.setSyncRate(lfoSyncIndexForNormalized(param->GetNormalized()));
      setRateDisplay();
      break;
    case kLFODepth:
      lfoDepth = v;
      break;
    case kMix:
      mix = v;
      delayLine.setMix(v);
      break;
    case kQuality:
      delayLine.setQuality(v);
      break;
    case kDelaySync:
      delaySync = v >= 0.5;
      setTimeParameters();
      break;
    case kLFOSync:
      lfoSync = v >= 0.5;
      lfo.setSync(lfoSync);
      refreshRateDisplay();
      break;
    default:
      break;
  }
}

void TolmarDelay::setTimeParameters()
{
  const int32_t bufferLength = delayLine.getBufferLength();
  const int deepest = deepestRange(bufferLength);

  if (delaySync)
  {
    const double tempo = GetTimeInfo().tempo;
    const double noteMs = 60000.0 / tempo * kDelaySyncRates[static_cast<size_t>(syncIndex)].quarterNotes;
    // Without a usable tempo there is no note length: keep the last delay.
    if (!(tempo > 0.0) || !std::isfinite(tempo) || !std::isfinite(noteMs))
    {
      lastTempo = tempo;
      return;
    }
    lastTempo = tempo;
    syncedDelayMs = noteMs;
    const double ms = foldIntoLongestRange(noteMs);
    const int k = rangeIndexHolding(ms, deepest);
    rangeIndex = k;
    rangeMaxMs = DelayRanges::rangeMaxMs(k);
    rangeMinMs = DelayRanges::rangeMinMs(k);
    delayLine.setReadOffset(readOffsetFor(bufferLength, k));
    const double fraction = (ms - rangeMinMs) / (rangeMaxMs - rangeMinMs);
    // Only a tempo beyond any musical use reaches below the deepest range.
    timeFraction = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
  }
  else
  {
    const int k = rangeIndexForRange(range);
    rangeIndex = k;
    delayLine.setReadOffset(readOffsetFor(bufferLength, k));
    rangeMaxMs = DelayRanges::rangeMaxMs(k);
    rangeMinMs = DelayRanges::rangeMinMs(k);
    timeFraction = timeValue;
  }
  refreshTimeDisplay();
}

void TolmarDelay::updateDelay()
{
  const double u = lfo.getValue();
  delayLine.setClockStep(clockStepFor(timeFraction, lfoDepth, u));
}

void TolmarDelay::doFreeze()
{
  if (learnArmed)
  {
    learnTarget = kFreezeTarget;
    learnStep();
    return;
  }
  frozen = !frozen;
  delayLine.setFrozen(frozen);
  refreshFreeze();
}

void TolmarDelay::controlStep()
{
  handleMidiEvents();
  lfo.update();
  updateDelay();
}

void TolmarDelay::handleSync2Host()
{
  const ITimeInfo& transport = GetTimeInfo();
  if (lfoSync)
  {
    lfo.synchronize(&transport);
    if (transport.transportRunning != lastTransportRunning)
    {
      lastTransportRunning = transport.transportRunning;
      if (lastTransportRunning)
        lfo.reset();
    }
  }
  if (delaySync && !(transport.tempo == lastTempo))
    setTimeParameters();
}

void TolmarDelay::ProcessBlock(double** inputs, double** outputs, int nFrames)
{
  tailTempo.store(GetTimeInfo().tempo, std::memory_order_relaxed);
  if (delayLine.hasBuffer())
    handleSync2Host();
  delayLine.process(inputs, outputs, nFrames, *this);
}

void TolmarDelay::getDelayTimeDisplay(IString& text) const
{
  const double t = Param(kTime).Value();
  if (delaySync)
  {
    text.Set(kDelaySyncRates[static_cast<size_t>(delaySyncRowForTime(t))].label);
    return;
  }
  double lo, hi;
  DelayRanges::rangeBoundsMs(Param(kRange).Value(), lo, hi);
  text.SetFormatted(12, "%.0fms", lo + (hi - lo) * t);
}

void TolmarDelay::setRateDisplay()
{
  Param(kLFOSpeed).SetDisplayFunc(lfoSync ? setDisplayTextForLFOSyncRate : setDisplayTextForSpeed);
}

void TolmarDelay::refreshTimeDisplay()
{
  raiseRefresh(kRefreshTimeDisplay);
}

void TolmarDelay::refreshRateDisplay()
{
  setRateDisplay();
  raiseRefresh(kRefreshRateDisplay);
}

void TolmarDelay::refreshFreeze()
{
  raiseRefresh(kRefreshFreeze);
}

void TolmarDelay::refreshMidiLearn()
{
  raiseRefresh(kRefreshMidiLearn);
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
