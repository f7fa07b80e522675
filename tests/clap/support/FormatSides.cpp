#include "clap/support/FormatSides.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/ClapHost.h"
#include "params/DelayParameters.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "vst3/support/RenderHelpers.h"
#include "vst3/support/VST3Host.h"

namespace formats
{
namespace
{
// The parameter model as the effect builds it, for the conversions between
// plain and normalised values.
const IParam& modelParam(uint32_t id)
{
  static const auto params = [] {
    auto made = std::make_unique<std::array<IParam, kNumParams>>();
    IParam* pointers[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
      pointers[i] = &(*made)[static_cast<size_t>(i)];
    initDelayParameters(pointers);
    return made;
  }();
  return (*params)[id];
}

// A controller value as the normalised value of its VST 3 controller
// parameter: the middle of the controller step, so that it maps back to the
// same value.
double controllerValue(uint8_t value)
{
  return std::min((value + 0.5) / 127.0, 1.0);
}

// --- VST 3 ----------------------------------------------------------------------

class Vst3Side final : public Side
{
public:
  Vst3Side() : effect(module), block(host::kSample32, kMaxBlock)
  {
    started = effect.start(kRate, kMaxBlock, host::kSample32);
  }

  Format format() const override { return Format::kVST3; }
  bool ready() const override { return started; }

  Stereo render(const Stereo& input, const std::vector<uint32_t>& sizes,
                const std::vector<BlockInput>& inputs) override
  {
    return host::renderInBlocks(block, input, sizes, [&](size_t b) {
      host::ParameterChanges changes;
      host::EventList events;
      host::ProcessContext context{};
      block.data.inputParameterChanges = nullptr;
      block.data.inputEvents = nullptr;
      block.data.processContext = nullptr;
      if (b < inputs.size())
      {
        const BlockInput& in = inputs[b];
        for (const BlockInput::Change& change : in.changes)
          changes.add(change.id, change.normalized, static_cast<int32_t>(change.frame));
        for (const auto& m : in.midi)
          addMidi(changes, events, m);
        block.data.inputParameterChanges = &changes;
        block.data.inputEvents = &events;
        if (in.transport)
        {
          context = contextFor(*in.transport);
          block.data.processContext = &context;
        }
      }
      effect.processor->process(block.data);
    });
  }

  std::vector<uint8_t> state() override
  {
    host::MemoryStream stream;
    if (effect.component->getState(&stream) != host::kResultOk)
      return {};
    return stream.bytes;
  }

  bool load(const std::vector<uint8_t>& bytes) override
  {
    host::MemoryStream stream(bytes);
    if (effect.component->setState(&stream) != host::kResultOk)
      return false;
    // A host hands the controller's bypass to the processor as a change.
    host::ParameterChanges changes;
    changes.add(kBypassId, effect.controller->getParamNormalized(kBypassId));
    Stereo silence{std::vector<double>(1), std::vector<double>(1)};
    host::ParameterChanges* first = &changes;
    block.data.inputParameterChanges = first;
    block.setInput(0, silence[0].data(), 1);
    block.setInput(1, silence[1].data(), 1);
    block.data.numSamples = 1;
    block.data.inputEvents = nullptr;
    block.data.processContext = nullptr;
    effect.processor->process(block.data);
    block.data.inputParameterChanges = nullptr;
    return true;
  }

  uint32_t tailSamples() override { return effect.processor->getTailSamples(); }

  std::optional<double> plain(uint32_t id) override
  {
    const double normalized = effect.controller->getParamNormalized(id);
    return id == kBypassId ? normalized : effect.controller->normalizedParamToPlain(id, normalized);
  }

  std::optional<std::string> text(uint32_t id, double plainValue) override
  {
    host::String128 string{};
    const double normalized = id == kBypassId ? plainValue : normalizedOf(id, plainValue);
    if (effect.controller->getParamStringByValue(id, normalized, string) != host::kResultOk)
      return std::nullopt;
    return host::toString(string);
  }

  std::optional<double> plainFromText(uint32_t id, const std::string& text) override
  {
    host::String128 string{};
    for (size_t i = 0; i < text.size() && i < 127; ++i)
      string[i] = static_cast<host::char16>(static_cast<unsigned char>(text[i]));
    double normalized = 0.0;
    if (effect.controller->getParamValueByString(id, string, normalized) != host::kResultOk)
      return std::nullopt;
    return id == kBypassId ? normalized : effect.controller->normalizedParamToPlain(id, normalized);
  }

private:
  void addMidi(host::ParameterChanges& changes, host::EventList& events, const std::array<uint8_t, 3>& m)
  {
    const int channel = m[0] & 0x0F;
    switch (m[0] & 0xF0)
    {
    case 0x90:
      // The middle of the velocity step, so that it maps back to m[2].
      events.noteOn(static_cast<int16_t>(channel), m[1], std::min((static_cast<float>(m[2]) + 0.5f) / 127.0f, 1.0f));
      break;
    case 0x80:
      events.noteOff(static_cast<int16_t>(channel), m[1], 0.0f);
      break;
    case 0xB0:
    {
      host::ParamID id = 0;
      if (effect.midiMapping->getMidiControllerAssignment(0, static_cast<int16_t>(channel), m[1], id) ==
          host::kResultOk)
        changes.add(id, controllerValue(m[2]));
      break;
    }
    default:
      break;
    }
  }

  static host::ProcessContext contextFor(const Transport& t)
  {
    host::ProcessContext c{};
    c.state = host::ProcessContext::kTempoValid | host::ProcessContext::kProjectTimeMusicValid |
              host::ProcessContext::kBarPositionValid | host::ProcessContext::kTimeSigValid |
              (t.playing ? host::ProcessContext::kPlaying : 0);
    c.sampleRate = kRate;
    c.tempo = t.tempo;
    c.projectTimeMusic = t.beats;
    c.barPositionMusic = t.barStart;
    c.projectTimeSamples = static_cast<int64_t>(std::llround(t.beats * 60.0 / t.tempo * kRate));
    c.timeSigNumerator = 4;
    c.timeSigDenominator = 4;
    return c;
  }

  host::PluginModule module;
  host::EffectInstance effect;
  host::AudioBlock block;
  bool started = false;
};

// --- CLAP -----------------------------------------------------------------------

class ClapSide final : public Side
{
public:
  ClapSide()
  : module(TOLMAR_CLAP_MODULE), instance(module, ProductIdentity::kClapId),
    in32(2, std::vector<float>(kMaxBlock)), out32(2, std::vector<float>(kMaxBlock))
  {
    started = instance.start(kRate, kMaxBlock);
  }

  Format format() const override { return Format::kCLAP; }
  bool ready() const override { return started; }

  Stereo render(const Stereo& input, const std::vector<uint32_t>& sizes,
                const std::vector<BlockInput>& inputs) override
  {
    Stereo output{std::vector<double>(input[0].size()), std::vector<double>(input[1].size())};
    size_t position = 0;
    float* in[2] = {in32[0].data(), in32[1].data()};
    float* out[2] = {out32[0].data(), out32[1].data()};
    for (size_t b = 0; position < input[0].size(); ++b)
    {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(sizes[b % sizes.size()], input[0].size() - position));
      for (size_t c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < n; ++i)
          in32[c][i] = static_cast<float>(input[c][position + i]);
      tolmar::host::ClapEvents events;
      clap_event_transport_t transport{};
      const clap_event_transport_t* blockTransport = nullptr;
      if (b < inputs.size())
      {
        const BlockInput& blockInput = inputs[b];
        for (const BlockInput::Change& change : blockInput.changes)
          events.paramValue(change.id, change.id == kBypassId ? change.normalized : plainOf(change.id, change.normalized),
                            change.frame);
        for (const auto& m : blockInput.midi)
          events.midi(m[0], m[1], m[2]);
        if (blockInput.transport)
        {
          transport = transportFor(*blockInput.transport);
          blockTransport = &transport;
        }
      }
      outEvents.clear();
      instance.process(in, out, n, &events, &outEvents, blockTransport);
      for (size_t c = 0; c < 2; ++c)
        for (uint32_t i = 0; i < n; ++i)
          output[c][position + i] = out32[c][i];
      position += n;
    }
    return output;
  }

  std::vector<uint8_t> state() override { return instance.saveState().value_or(std::vector<uint8_t>{}); }
  bool load(const std::vector<uint8_t>& bytes) override { return instance.loadState(bytes); }
  uint32_t tailSamples() override
  {
    return instance.tailSamples().value_or(0);
  }
  std::optional<double> plain(uint32_t id) override { return instance.value(id); }
  std::optional<std::string> text(uint32_t id, double plainValue) override { return instance.text(id, plainValue); }
  std::optional<double> plainFromText(uint32_t id, const std::string& text) override
  {
    return instance.fromText(id, text);
  }

  tolmar::host::ClapEvents outEvents;

private:
  static clap_event_transport_t transportFor(const Transport& t)
  {
    clap_event_transport_t c{};
    c.header = {sizeof(c), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    c.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
              (t.playing ? CLAP_TRANSPORT_IS_PLAYING : 0);
    c.tempo = t.tempo;
    c.song_pos_beats = static_cast<clap_beattime>(std::llround(t.beats * static_cast<double>(CLAP_BEATTIME_FACTOR)));
    c.bar_start = static_cast<clap_beattime>(std::llround(t.barStart * static_cast<double>(CLAP_BEATTIME_FACTOR)));
    c.tsig_num = 4;
    c.tsig_denom = 4;
    return c;
  }

  tolmar::host::ClapModule module;
  tolmar::host::ClapInstance instance;
  std::vector<std::vector<float>> in32, out32;
  bool started = false;
};
} // namespace

const char* nameOf(Format format)
{
  return format == Format::kVST3 ? "VST3" : "CLAP";
}

std::unique_ptr<Side> makeSide(Format format)
{
  if (format == Format::kVST3)
    return std::make_unique<Vst3Side>();
  return std::make_unique<ClapSide>();
}

double plainOf(uint32_t id, double normalized)
{
  const IParam& param = modelParam(id);
  return param.Constrain(param.FromNormalized(normalized));
}

double normalizedOf(uint32_t id, double plain)
{
  const IParam& param = modelParam(id);
  return std::clamp(param.ToNormalized(param.Constrain(plain)), 0.0, 1.0);
}

Stereo impulse(size_t length)
{
  Stereo s{std::vector<double>(length), std::vector<double>(length)};
  s[0][0] = 0.9;
  s[1][0] = -0.7;
  return s;
}

Stereo tone(size_t length, double hz)
{
  Stereo s{std::vector<double>(length), std::vector<double>(length)};
  for (size_t i = 0; i < length; ++i)
  {
    const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / kRate;
    s[0][i] = 0.5 * std::sin(phase) * (i < length / 4 ? 1.0 : 0.0);
    s[1][i] = 0.4 * std::cos(phase) * (i < length / 4 ? 1.0 : 0.0);
  }
  return s;
}
} // namespace formats
