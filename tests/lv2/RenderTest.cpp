// The LV2 plug-in and the VST 3 plug-in, both loaded from their built
// bundles, fed the same input, settings, MIDI and transport: the outputs are
// the same sample for sample.
#include <cmath>

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "plugin/TolmarDelay.h"
#include "support/AllocationCounter.h"
#include "support/Signals.h"
#include "vst3/support/RenderHelpers.h"
#include "vst3/support/VST3Host.h"

using lv2host::Stereo;

namespace
{
constexpr double kRate = 48000.0;
constexpr int32_t kMaxBlock = 4096;
const std::vector<uint32_t> kBlocks = {256, 333, 64, 1, 1024, 512};

// One VST 3 instance from the bundle, set to plain values through its state.
class Vst3Side
{
public:
  explicit Vst3Side(const std::vector<double>& values) : effect(module), block(host::kSample32, kMaxBlock)
  {
    started = effect.start(kRate, kMaxBlock, host::kSample32);
    host::MemoryStream state(lv2host::stateBytes(values));
    restored = started && effect.component->setState(&state) == host::kResultOk;
  }

  bool ready() const { return started && restored; }

  // Blocks as the LV2 host runs them; positions (may be empty) per block.
  Stereo render(const Stereo& input, const std::vector<uint32_t>& sizes,
                const std::vector<lv2host::Position>& positions = {}, host::ParameterChanges* firstChanges = nullptr)
  {
    return host::renderInBlocks(block, input, sizes, [&](size_t b) {
      block.data.inputParameterChanges = b == 0 ? firstChanges : nullptr;
      host::ProcessContext context{};
      block.data.processContext = nullptr;
      if (b < positions.size())
      {
        context = contextFor(positions[b]);
        block.data.processContext = &context;
      }
      effect.processor->process(block.data);
    });
  }

  // The same transport as the VST 3 process context carries it.
  static host::ProcessContext contextFor(const lv2host::Position& p)
  {
    host::ProcessContext c{};
    c.state = host::ProcessContext::kTempoValid | host::ProcessContext::kProjectTimeMusicValid |
              host::ProcessContext::kBarPositionValid | host::ProcessContext::kTimeSigValid |
              (p.speed != 0.0f ? host::ProcessContext::kPlaying : 0);
    c.sampleRate = kRate;
    c.tempo = p.beatsPerMinute;
    c.projectTimeSamples = p.frame;
    c.timeSigNumerator = static_cast<int32_t>(std::lround(p.beatsPerBar));
    c.timeSigDenominator = p.beatUnit;
    const double quartersPerBeat = 4.0 / c.timeSigDenominator;
    c.barPositionMusic = static_cast<double>(p.bar) * c.timeSigNumerator * quartersPerBeat;
    c.projectTimeMusic = c.barPositionMusic + static_cast<double>(p.barBeat) * quartersPerBeat;
    return c;
  }

  host::PluginModule module;
  host::EffectInstance effect;
  host::AudioBlock block;

private:
  bool started = false;
  bool restored = false;
};

void expectSame(const Stereo& lv2, const Stereo& vst3, const std::string& what)
{
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < vst3[c].size(); ++i)
      ASSERT_EQ(lv2[c][i], vst3[c][i]) << what << ": channel " << c << " frame " << i;
}

bool audible(const Stereo& s)
{
  return signals::peakAbs(s[0]) > 1e-4 || signals::peakAbs(s[1]) > 1e-4;
}

std::vector<float> portValues(lv2host::Instance& instance)
{
  std::vector<float> values;
  for (int i = 0; i < kNumParams; ++i)
    values.push_back(instance.parameter(i));
  return values;
}

std::vector<double> asPlainValues(const std::vector<float>& ports)
{
  return std::vector<double>(ports.begin(), ports.end());
}

// Transport for block b of a run in the given block sizes.
std::vector<lv2host::Position> transport(float bpm, const std::vector<uint32_t>& sizes, size_t length)
{
  std::vector<lv2host::Position> positions;
  int64_t frame = 0;
  for (size_t b = 0; frame < static_cast<int64_t>(length); ++b)
  {
    lv2host::Position p;
    p.beatsPerMinute = bpm;
    p.frame = frame;
    const double beats = static_cast<double>(frame) / kRate * bpm / 60.0;
    p.bar = static_cast<int64_t>(beats / 4.0);
    p.barBeat = static_cast<float>(beats - 4.0 * static_cast<double>(p.bar));
    positions.push_back(p);
    frame += sizes[b % sizes.size()];
  }
  return positions;
}
} // namespace

class Render : public ::testing::Test
{
protected:
  lv2host::World world;
};

TEST_F(Render, EveryFactoryPresetSoundsAsInTheVST3Plugin)
{
  ASSERT_NE(world.plugin, nullptr);
  const auto presets = world.presets();
  ASSERT_EQ(presets.size(), 10u);
  const size_t length = 24000;
  const Stereo signals[2] = {lv2host::impulse(length), lv2host::tone(length, 440.0, kRate)};
  for (const auto& preset : presets)
    for (int s = 0; s < 2; ++s)
    {
      const std::string what = preset.label + (s ? " tone" : " impulse");
      lv2host::Instance lv2(world, kRate, kMaxBlock);
      ASSERT_TRUE(lv2.valid());
      lv2.applyPreset(preset.state);
      Vst3Side vst3(asPlainValues(portValues(lv2)));
      ASSERT_TRUE(vst3.ready());
      const Stereo fromLv2 = lv2.render(signals[s], kBlocks);
      const Stereo fromVst3 = vst3.render(signals[s], kBlocks);
      EXPECT_TRUE(audible(fromLv2)) << what;
      expectSame(fromLv2, fromVst3, what);
    }
}

TEST_F(Render, ImpossibleSampleRatesAreRefusedAtInstantiation)
{
  ASSERT_NE(world.plugin, nullptr);
  for (const double rate : {std::nan(""), HUGE_VAL, -HUGE_VAL, 0.0, -48000.0, 1.0, 999.0, 768001.0, 1e12})
  {
    lv2host::Instance refused(world, rate, 64);
    EXPECT_FALSE(refused.valid()) << rate;
  }
  for (const double rate : {1000.0, 768000.0})
  {
    lv2host::Instance accepted(world, rate, 64);
    EXPECT_TRUE(accepted.valid()) << rate;
  }
}

TEST_F(Render, TempoSyncFollowsTheHostsPosition)
{
  ASSERT_NE(world.plugin, nullptr);
  const size_t length = 48000;
  const Stereo input = lv2host::impulse(length);
  // Row "1/4" of the sync table: a quarter note.
  const float quarterNoteTime = static_cast<float>(1.0 - 7.0 / 19.0);
  for (float bpm : {120.0f, 90.0f})
  {
    lv2host::Instance lv2(world, kRate, kMaxBlock);
    lv2.parameter(kDelaySync) = 1.0f;
    lv2.parameter(kTime) = quarterNoteTime;
    lv2.parameter(kMix) = 1.0f;
    lv2.parameter(kFeedback) = 0.0f;
    const auto positions = transport(bpm, kBlocks, length);
    Stereo fromLv2{std::vector<double>(length), std::vector<double>(length)};
    size_t done = 0;
    for (size_t b = 0; done < length; ++b)
    {
      const uint32_t n = static_cast<uint32_t>(std::min<size_t>(kBlocks[b % kBlocks.size()], length - done));
      lv2.position(0, positions[b]);
      lv2.run(input, fromLv2, done, n);
      done += n;
    }
    EXPECT_EQ(lv2.display().delayTimeText, "1/4");
    EXPECT_TRUE(lv2.display().delaySynced);

    // The echo comes one quarter note after the impulse.
    const double expected = 60.0 / bpm * kRate;
    const int echo = signals::indexOfPeak(fromLv2[0], 10);
    EXPECT_NEAR(echo, expected, expected * 0.01) << bpm;

    Vst3Side vst3(asPlainValues(portValues(lv2)));
    ASSERT_TRUE(vst3.ready());
    expectSame(fromLv2, vst3.render(input, kBlocks, positions), "tempo " + std::to_string(bpm));
  }
}

TEST_F(Render, APositionInsideTheBlockHoldsFromItsFrame)
{
  ASSERT_NE(world.plugin, nullptr);
  const size_t length = 4096 * 8;
  const Stereo input = lv2host::tone(length, 220.0, kRate);
  auto render = [&](bool split) {
    lv2host::Instance lv2(world, kRate, kMaxBlock);
    lv2.parameter(kDelaySync) = 1.0f;
    lv2.parameter(kLFOSync) = 1.0f;
    lv2.parameter(kLFODepth) = 0.5f;
    Stereo out{std::vector<double>(length), std::vector<double>(length)};
    lv2host::Position slow, fast;
    slow.beatsPerMinute = 60.0f;
    fast.beatsPerMinute = 150.0f;
    for (size_t done = 0; done < length; done += 4096)
    {
      // Either one block with the tempo change at frame 2048, or two blocks.
      if (split)
      {
        lv2.position(0, slow);
        lv2.run(input, out, done, 2048);
        lv2.position(0, fast);
        lv2.run(input, out, done + 2048, 2048);
      }
      else
      {
        lv2.position(0, slow);
        lv2.position(2048, fast);
        lv2.run(input, out, done, 4096);
      }
    }
    return out;
  };
  expectSame(render(false), render(true), "position inside the block");
}

TEST_F(Render, BypassPassesTheInputThroughAndKeepsTheEchoes)
{
  ASSERT_NE(world.plugin, nullptr);
  const size_t length = 9600;
  lv2host::Instance lv2(world, kRate, kMaxBlock);
  lv2.parameter(kRange) = 3.0f;
  lv2.parameter(kTime) = 0.0f; // 62.5 ms
  lv2.parameter(kMix) = 0.5f;
  Stereo out{std::vector<double>(length), std::vector<double>(length)};
  const Stereo input = lv2host::impulse(length);
  lv2.run(input, out, 0, 256);
  lv2.enabled() = 0.0f;
  const Stereo noise{signals::noise(length, 3, 0.25), signals::noise(length, 4, 0.25)};
  for (size_t done = 256; done < 4800; done += 256)
    lv2.run(noise, out, done, 256);
  for (size_t i = 256; i < 4800; ++i)
    ASSERT_EQ(out[0][i], static_cast<float>(noise[0][i])) << i;
  lv2.enabled() = 1.0f;
  const Stereo silence{std::vector<double>(length), std::vector<double>(length)};
  for (size_t done = 4800; done < length; done += 256)
    lv2.run(silence, out, done, 256);
  // The impulse's echo, held in the line through the bypass, comes out.
  EXPECT_GT(signals::peakAbs(out[0], 4800), 0.05);
}

TEST_F(Render, RunAllocatesNothing)
{
  ASSERT_NE(world.plugin, nullptr);
  lv2host::Instance lv2(world, kRate, kMaxBlock);
  const size_t length = 512 * 200;
  const Stereo input = lv2host::tone(length, 330.0, kRate);
  Stereo out{std::vector<double>(length), std::vector<double>(length)};
  lv2.run(input, out, 0, 512); // warm up
  lv2host::Position position;
  AllocationGuard guard;
  for (size_t b = 1; b < 200; ++b)
  {
    position.beatsPerMinute = 80.0f + static_cast<float>(b);
    position.speed = (b / 10) % 2 ? 0.0f : 1.0f;
    lv2.position(0, position);
    lv2.position(100, position);
    lv2.midi(10, 0xB0, static_cast<uint8_t>(b % 120), static_cast<uint8_t>(b % 128));
    lv2.midi(20, 0x90, 60, 100);
    if (b % 50 == 25)
      lv2.command(30, Lv2Uris::kCommandFreeze);
    if (b % 40 == 5)
      lv2.command(0, Lv2Uris::kCommandRequestDisplay);
    const int paramIdx = static_cast<int>(b % kNumParams);
    lv2.parameter(paramIdx) = paramIdx == kRange ? static_cast<float>(b % 5) : static_cast<float>((b % 7) / 7.0);
    lv2.enabled() = b % 33 == 0 ? 0.0f : 1.0f;
    lv2.run(input, out, b * 512, 512);
  }
  EXPECT_EQ(guard.count(), 0u);
  EXPECT_GT(lv2.displayMessages(), 1);
}

TEST_F(Render, EventsThatClaimMoreThanTheyHoldAreIgnored)
{
  ASSERT_NE(world.plugin, nullptr);
  lv2host::Instance lv2(world, kRate, kMaxBlock);
  lv2host::UridMap& u = world.urids;
  auto put = [](std::vector<uint8_t>& bytes, const auto& value) {
    const auto* raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof(value));
  };
  Stereo out{std::vector<double>(256), std::vector<double>(256)};
  const Stereo silence{std::vector<double>(256), std::vector<double>(256)};

  // A MIDI event whose body claims a megabyte.
  std::vector<uint8_t> sequence;
  put(sequence, LV2_Atom{0, u.map(LV2_ATOM__Sequence)});
  put(sequence, LV2_Atom_Sequence_Body{0, 0});
  put(sequence, int64_t{0});
  put(sequence, LV2_Atom{1u << 20, u.map(LV2_MIDI__MidiEvent)});
  put(sequence, uint64_t{0xB0});
  reinterpret_cast<LV2_Atom*>(sequence.data())->size = static_cast<uint32_t>(sequence.size() - sizeof(LV2_Atom));
  lv2.rawEvents(sequence);
  lv2.run(silence, out, 0, 256);

  // A transport position whose tempo value claims more than the object.
  sequence.clear();
  put(sequence, LV2_Atom{0, u.map(LV2_ATOM__Sequence)});
  put(sequence, LV2_Atom_Sequence_Body{0, 0});
  put(sequence, int64_t{0});
  put(sequence, LV2_Atom{sizeof(LV2_Atom_Object_Body) + 16, u.map(LV2_ATOM__Object)});
  put(sequence, LV2_Atom_Object_Body{0, u.map(LV2_TIME__Position)});
  put(sequence, LV2_Atom_Property_Body{u.map(LV2_TIME__beatsPerMinute), 0, LV2_Atom{4096, u.map(LV2_ATOM__Float)}});
  reinterpret_cast<LV2_Atom*>(sequence.data())->size = static_cast<uint32_t>(sequence.size() - sizeof(LV2_Atom));
  lv2.rawEvents(sequence);
  lv2.run(silence, out, 0, 256);
  lv2.run(silence, out, 0, 256);
  EXPECT_EQ(lv2.display().hostTempo, 120.0);

  // Well-formed events still work afterwards.
  lv2host::Position position;
  position.beatsPerMinute = 100.0f;
  lv2.position(0, position);
  lv2.run(silence, out, 0, 256);
  EXPECT_EQ(lv2.display().hostTempo, 100.0);
}
