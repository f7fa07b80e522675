// The effect as a host meets it in either format, the VST 3 bundle and the
// CLAP module: the same texts in every locale, states that move between the
// formats, the same output for the same settings, MIDI and transport, and
// the same tail. Each module is loaded with dlopen and driven through its
// own format's interfaces only.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "clap/support/FormatSides.h"
#include "control/ConfigTestSupport.h"
#include "control/TolmarConfig.h"
#include "params/ProductFacts/ParameterIds.h"
#include "support/UserLocale.h"

using namespace formats;

namespace
{
const std::vector<uint32_t> kBlocks = {256, 333, 64, 1, 1024, 512};
constexpr uint32_t kEndless = std::numeric_limits<uint32_t>::max();

// Every host in its own home: the modules read the user's configuration.
class FormatTest : public ConfigHomeTest
{
protected:
  // Both formats, or a failure when either cannot be loaded.
  void loadBoth()
  {
    vst3 = makeSide(Format::kVST3);
    clap = makeSide(Format::kCLAP);
    ASSERT_TRUE(vst3 && vst3->ready());
    ASSERT_TRUE(clap && clap->ready());
  }

  Side& side(Format format) { return format == Format::kVST3 ? *vst3 : *clap; }

  static void expectSame(const Stereo& a, const Stereo& b, const std::string& what)
  {
    for (size_t c = 0; c < 2; ++c)
      for (size_t i = 0; i < a[c].size(); ++i)
        ASSERT_EQ(a[c][i], b[c][i]) << what << ": channel " << c << " frame " << i;
  }

  static bool audible(const Stereo& s)
  {
    for (const auto& channel : s)
      for (double x : channel)
        if (std::fabs(x) > 1e-4)
          return true;
    return false;
  }

  // Tails as both formats mean them: an endless one is the largest number.
  static uint32_t tailOf(Side& s)
  {
    const uint32_t tail = s.tailSamples();
    if (s.format() == Format::kCLAP && tail >= 0x7FFFFFFFu)
      return kEndless;
    return tail;
  }

  std::unique_ptr<Side> vst3;
  std::unique_ptr<Side> clap;
};

// Settings that make every part of the engine audible, and a block of
// changes that sets them (a few mid-block).
BlockInput settings()
{
  BlockInput in;
  in.changes = {{kRange, 0.25, 0},    {kTime, 0.37, 0},    {kFeedback, 0.8, 17}, {kLFOSpeed, 0.4, 3},
                {kLFODepth, 0.3, 0}, {kMix, 0.65, 100},   {kQuality, 0.55, 0}};
  return in;
}

// Transport for each block: playing at tempo from the song's start.
std::vector<BlockInput> playing(double tempo, size_t length, BlockInput first)
{
  std::vector<BlockInput> inputs;
  size_t frame = 0;
  for (size_t b = 0; frame < length; ++b)
  {
    BlockInput in = b == 0 ? first : BlockInput{};
    Transport t;
    t.tempo = tempo;
    t.playing = true;
    // Whole sixteenths, so that both formats carry the position exactly.
    t.beats = std::floor(static_cast<double>(frame) / kRate * tempo / 60.0 * 16.0) / 16.0;
    t.barStart = 4.0 * std::floor(t.beats / 4.0);
    in.transport = t;
    inputs.push_back(in);
    frame += kBlocks[b % kBlocks.size()];
  }
  return inputs;
}
} // namespace

// --- Texts ---------------------------------------------------------------------------

class Texts : public FormatTest, public ::testing::WithParamInterface<const char*>
{
};

// The same value texts, and the same reading of texts, in both formats,
// whatever the process's locale (a host's German desktop uses a comma).
TEST_P(Texts, AreTheSameInBothFormatsInAnyLocale)
{
  ScopedLocale locale(GetParam());
  ASSERT_TRUE(locale.ok);
  loadBoth();
  for (uint32_t id = 0; id < kNumParams; ++id)
    for (double n : {0.0, 0.013, 0.25, 0.5, 0.61, 0.999, 1.0})
    {
      const double plain = plainOf(id, n);
      const auto fromVst3 = vst3->text(id, plain);
      const auto fromClap = clap->text(id, plain);
      ASSERT_TRUE(fromVst3 && fromClap) << id << " " << n;
      EXPECT_EQ(*fromClap, *fromVst3) << "parameter " << id << " at " << n;
      EXPECT_EQ(fromClap->find(','), std::string::npos) << *fromClap;
      // A text reads back to a value that shows the same text.
      const auto read = clap->plainFromText(id, *fromClap);
      ASSERT_TRUE(read) << *fromClap;
      EXPECT_EQ(clap->text(id, *read), fromClap) << "parameter " << id;
      const auto readByVst3 = vst3->plainFromText(id, *fromClap);
      ASSERT_TRUE(readByVst3) << *fromClap;
      EXPECT_NEAR(*read, *readByVst3, 1e-9) << "parameter " << id << " reading " << *fromClap;
    }
  EXPECT_EQ(clap->text(kBypassId, 1.0), "on");
  EXPECT_EQ(clap->text(kBypassId, 0.0), "off");
  EXPECT_EQ(clap->plainFromText(kBypassId, "on"), 1.0);
  // What a user types in a host's field reads the same in both.
  for (const char* typed : {"40%", "0.5", "0,5", "Wet", "1/8", "ON", "nonsense", ""})
    for (uint32_t id = 0; id < kNumParams; ++id)
    {
      const auto a = clap->plainFromText(id, typed);
      const auto b = vst3->plainFromText(id, typed);
      EXPECT_EQ(a.has_value(), b.has_value()) << id << " '" << typed << "'";
      if (a && b)
      {
        EXPECT_NEAR(*a, *b, 1e-9) << id << " '" << typed << "'";
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, Texts, ::testing::Values("C", kCommaLocale));

// --- State ---------------------------------------------------------------------------

class States : public FormatTest, public ::testing::WithParamInterface<Format>
{
};

// A state saved in one format loads in the other with every value and the
// bypass, and is saved there again byte for byte.
TEST_P(States, SavedInOneFormatLoadInTheOther)
{
  loadBoth();
  Side& from = side(GetParam());
  Side& to = side(GetParam() == Format::kVST3 ? Format::kCLAP : Format::kVST3);
  BlockInput in = settings();
  in.changes.push_back({kDelaySync, 1.0, 0});
  in.changes.push_back({kBypassId, 1.0, 0});
  from.render(impulse(64), {64}, {in});
  const std::vector<uint8_t> saved = from.state();
  ASSERT_FALSE(saved.empty());
  ASSERT_TRUE(to.load(saved));
  EXPECT_EQ(to.state(), saved);
  // The loading side shows the values to its host.
  for (const BlockInput::Change& change : in.changes)
    if (change.id != kBypassId)
    {
      ASSERT_TRUE(to.plain(change.id));
      EXPECT_NEAR(*to.plain(change.id), plainOf(change.id, change.normalized), 1e-9) << "parameter " << change.id;
    }
  // Bypassed: the input comes through as it is.
  const Stereo input = tone(512, 440.0);
  const Stereo output = to.render(input, {512});
  for (size_t i = 0; i < 512; ++i)
    ASSERT_NEAR(output[0][i], input[0][i], 1e-6) << i;
}

// A state cut short, or none at all, is refused, and a good one still loads
// after.
TEST_P(States, BrokenStatesAreRefused)
{
  loadBoth();
  Side& s = side(GetParam());
  const std::vector<uint8_t> good = s.state();
  ASSERT_GT(good.size(), 8u);
  EXPECT_FALSE(s.load(std::vector<uint8_t>(good.begin(), good.end() - 4 - 8)));
  EXPECT_FALSE(s.load({}));
  EXPECT_TRUE(s.load(good));
}

INSTANTIATE_TEST_SUITE_P(Formats, States, ::testing::Values(Format::kVST3, Format::kCLAP),
                         [](const auto& info) { return std::string(nameOf(info.param)); });

// --- Output --------------------------------------------------------------------------

// The same settings (set by the host with the first block), notes and
// blocks give the same output sample for sample.
TEST_F(FormatTest, BothFormatsRenderTheSame)
{
  loadBoth();
  const size_t length = 24000;
  BlockInput first = settings();
  first.midi = {{0x90, 60, 100}, {0x80, 60, 0}};
  for (const Stereo& input : {impulse(length), tone(length, 330.0)})
  {
    const Stereo a = vst3->render(input, kBlocks, {first});
    const Stereo b = clap->render(input, kBlocks, {first});
    EXPECT_TRUE(audible(a));
    expectSame(a, b, "settings");
  }
  // Changes later on, one parameter moved twice in a block (the last value
  // counts), and the bypass switched on and off again.
  std::vector<BlockInput> later(8);
  later[2].changes = {{kTime, 0.1, 0}, {kTime, 0.2, 30}};
  later[4].changes = {{kBypassId, 1.0, 0}};
  later[6].changes = {{kBypassId, 0.0, 0}, {kFeedback, 0.3, 5}};
  const Stereo input = tone(length, 200.0);
  expectSame(vst3->render(input, kBlocks, later), clap->render(input, kBlocks, later), "later changes");
}

// With the delay and the LFO synced, both follow the host's tempo and
// position alike.
TEST_F(FormatTest, BothFormatsFollowTheHostsTransportAlike)
{
  loadBoth();
  const size_t length = 48000;
  BlockInput first = settings();
  first.changes.push_back({kDelaySync, 1.0, 0});
  first.changes.push_back({kLFOSync, 1.0, 0});
  for (double tempo : {120.0, 93.0})
  {
    const auto inputs = playing(tempo, length, first);
    const Stereo a = vst3->render(impulse(length), kBlocks, inputs);
    const Stereo b = clap->render(impulse(length), kBlocks, inputs);
    EXPECT_TRUE(audible(a));
    expectSame(a, b, "tempo " + std::to_string(tempo));
  }
}

// Controllers bound in the user's configuration drive their parameters and
// freeze in both formats alike; the tail follows the settings and is
// endless while frozen.
TEST_F(FormatTest, BoundControllersAndTheTailAreTheSameInBothFormats)
{
  // Controller 7 drives Mix, controller 20 freeze.
  writeFile(configFolderPath() + "/tolmardelay.ini", "[MIDI Control]\nCC7=5\nCC20=-12\n");
  loadBoth();
  EXPECT_EQ(tailOf(*vst3), tailOf(*clap));
  BlockInput first = settings();
  first.midi = {{0xB0, 7, 100}};
  const size_t length = 12000;
  expectSame(vst3->render(impulse(length), kBlocks, {first}), clap->render(impulse(length), kBlocks, {first}),
             "controller");
  // (The VST 3 controller learns of it on its idle timer, which this host
  // does not run; the equal outputs above speak for it.)
  ASSERT_TRUE(clap->plain(kMix));
  EXPECT_NEAR(*clap->plain(kMix), 100.0 / 127.0, 0.01);
  const uint32_t tail = tailOf(*clap);
  EXPECT_GT(tail, 0u);
  EXPECT_LT(tail, kEndless);
  EXPECT_EQ(tail, tailOf(*vst3));

  BlockInput freeze;
  freeze.midi = {{0xB0, 20, 127}};
  const Stereo silence{std::vector<double>(2048), std::vector<double>(2048)};
  expectSame(vst3->render(silence, {512}, {freeze}), clap->render(silence, {512}, {freeze}), "freeze");
  EXPECT_EQ(tailOf(*vst3), kEndless);
  EXPECT_EQ(tailOf(*clap), kEndless);
}
