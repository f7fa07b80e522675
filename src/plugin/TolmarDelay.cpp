#include "plugin/TolmarDelay.h"

#include <cmath>

#include "engine/SyncTables.h"

namespace
{
// Longest delay of range k is 2000 ms / 4^k; the shortest is an eighth of it.
double rangeMaxMsFor(int k) { return std::ldexp(2000.0, -2 * k); }

// The deepest range whose read offset is still at least one tick. Without a
// buffer yet, the shift width of the type is the only limit.
int deepestRange(int32_t bufferLength)
{
  int k = 15;
  if (bufferLength > 0)
    while (k > 0 && (bufferLength >> (2 * k)) < 1)
      --k;
  return k;
}
} // namespace

const IEffectConfig TolmarDelay::kConfig = [] {
  IEffectConfig c;
  c.nParams = kNumParams;
  c.nPresets = kNumPresets;
  c.channelIO = "2-2";
  c.effectName = "Tolmar Charge Chain Delay";
  c.productName = "Tolmar Charge Chain Delay";
  c.mfrName = "Tolmar Music";
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
  // The factory presets are created by the preset bank.
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
  const double v = param->Value();
  switch (paramIdx)
  {
    case kRange:
      range = static_cast<int32_t>(std::round(v));
      setTimeParameters();
      break;
    case kTime:
    {
      timeValue = v;
      const double row = std::round((1.0 - v) * 19.0);
      syncIndex = row < 0.0 ? 0 : row > 19.0 ? 19 : static_cast<int32_t>(row);
      setTimeParameters();
      break;
    }
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
    if (!(tempo > 0.0) || !std::isfinite(noteMs))
    {
      lastTempo = tempo;
      return;
    }
    lastTempo = tempo;
    syncedDelayMs = noteMs;
    double ms = noteMs;
    while (ms > 2000.0)
      ms *= 0.5;
    int k = 0;
    while (k < deepest && rangeMaxMsFor(k) / 8.0 > ms)
      ++k;
    rangeIndex = k;
    rangeMaxMs = rangeMaxMsFor(k);
    rangeMinMs = rangeMaxMs * 0.125;
    delayLine.setReadOffset(bufferLength >> (2 * k));
    const double fraction = (ms - rangeMinMs) / (rangeMaxMs - rangeMinMs);
    // Only a tempo beyond any musical use reaches below the deepest range.
    timeFraction = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
  }
  else
  {
    const int k = 4 - (range < 0 ? 0 : range > 4 ? 4 : range);
    rangeIndex = k;
    delayLine.setReadOffset(bufferLength >> (2 * k));
    rangeMaxMs = rangeMaxMsFor(k);
    rangeMinMs = rangeMaxMs * 0.125;
    timeFraction = timeValue;
  }
  refreshTimeDisplay();
}

void TolmarDelay::updateDelay()
{
  const double u = lfo.getValue();
  const double step = 0.125 + 0.875 * (timeFraction + lfoDepth * (std::exp2(u) - 1.0 - timeFraction));
  delayLine.setClockStep(step);
}

void TolmarDelay::doFreeze()
{
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

void TolmarDelay::handleMidiEvents()
{
}

void TolmarDelay::ProcessMidiMsg(const IMidiMsg&)
{
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
  if (delayLine.hasBuffer())
    handleSync2Host();
  delayLine.process(inputs, outputs, nFrames, *this);
}

void TolmarDelay::getDelayTimeDisplay(IString& text) const
{
  const double t = GetParam(kTime)->Value();
  if (delaySync)
  {
    const double row = std::round((1.0 - t) * 19.0);
    const size_t index = row < 0.0 ? 0 : row > 19.0 ? 19 : static_cast<size_t>(row);
    text.Set(kDelaySyncRates[index].label);
    return;
  }
  const double x = GetParam(kRange)->Value();
  const double hi = 2000.0 * std::pow(2.0, -2.0 * (4.0 - x));
  const double lo = 0.125 * hi;
  text.SetFormatted(12, "%.0fms", lo + (hi - lo) * t);
}

void TolmarDelay::setRateDisplay()
{
  GetParam(kLFOSpeed)->SetDisplayFunc(lfoSync ? setDisplayTextForLFOSyncRate : setDisplayTextForSpeed);
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
