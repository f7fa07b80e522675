// The tail the bundle reports, against impulse responses it renders: the
// echoes must have fallen below -90 dBFS by the time it names, and it must
// not name much more than that.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/StateFormat.h"
#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int32 kBlock = 512;
const double kFloor = std::pow(10.0, -90.0 / 20.0);

using Values = std::array<double, 9>;

// The component state a project would restore, bypass off.
std::vector<uint8_t> stateFor(const Values& values)
{
  const std::vector<char> state = StateFormat::componentState(values);
  return std::vector<uint8_t>(state.begin(), state.end());
}

struct TailMeasure
{
  uint32 answer = 0;
  double answerSeconds = 0;
  double lastAboveSeconds = -1; // the last sample at or above the floor
  double renderedSeconds = 0;
};

// Sets the values as a restored project would, asks for the tail before
// processing starts, then renders a full-scale impulse for `seconds`.
TailMeasure measure(const Values& values, double seconds)
{
  PluginModule module;
  EXPECT_TRUE(module.loaded());
  EffectInstance effect(module);
  MemoryStream state(stateFor(values));
  EXPECT_EQ(effect.component->setState(&state), kResultOk);

  TailMeasure m;
  EXPECT_TRUE(effect.start(kSampleRate, kBlock, kSample64));
  m.answer = effect.processor->getTailSamples();
  m.answerSeconds = m.answer == kInfiniteTail ? std::numeric_limits<double>::infinity() : m.answer / kSampleRate;

  AudioBlock block(kSample64, kBlock);
  std::vector<double> input(kBlock, 0.0);
  const int64_t frames = static_cast<int64_t>(seconds * kSampleRate);
  int64_t lastAbove = -1;
  for (int64_t position = 0; position < frames; position += kBlock)
  {
    input[0] = position == 0 ? 1.0 : 0.0;
    block.setInput(0, input.data(), kBlock);
    block.setInput(1, input.data(), kBlock);
    block.data.numSamples = kBlock;
    effect.processor->process(block.data);
    for (int32 i = 0; i < kBlock; ++i)
      if (std::abs(block.output(0, i)) >= kFloor || std::abs(block.output(1, i)) >= kFloor)
        lastAbove = position + i;
  }
  effect.stop();
  m.lastAboveSeconds = lastAbove / kSampleRate;
  m.renderedSeconds = static_cast<double>(frames) / kSampleRate;
  return m;
}

// The render goes on well past the answer, so that an echo it missed shows.
void expectTailFits(const Values& values, const std::string& what)
{
  SCOPED_TRACE(what);
  PluginModule module;
  EffectInstance probe(module);
  MemoryStream state(stateFor(values));
  ASSERT_EQ(probe.component->setState(&state), kResultOk);
  // Answered before any processing setup too (for the default rate).
  const uint32 before = probe.processor->getTailSamples();
  ASSERT_GT(before, 0u);
  ASSERT_NE(before, kInfiniteTail);

  const double answer = before / kSampleRate;
  const TailMeasure m = measure(values, answer * 1.5 + 5.0);
  ASSERT_NE(m.answer, kInfiniteTail);
  EXPECT_LE(m.lastAboveSeconds, m.answerSeconds) << "echoes above -90 dBFS after the tail ends";
  EXPECT_LE(m.answerSeconds, 2.0 * m.lastAboveSeconds + 2.0) << "the tail is far longer than the echoes";
}
} // namespace

TEST(TailTest, EachFactoryPresetsTailCoversItsEchoesClosely)
{
  for (const FactoryPreset& preset : kFactoryPresets)
    expectTailFits(preset.values, preset.name);
}

TEST(TailTest, ExtremeSettingsTailsCoverTheirEchoes)
{
  //                  range time fb    speed depth mix quality dsync lsync
  expectTailFits(Values{4, 1.0, 0.99, 0.15, 0.0, 1.0, 1.0, 0, 0}, "longest delay, feedback 0.99");
  expectTailFits(Values{3, 1.0, -0.99, 0.15, 0.0, 1.0, 1.0, 0, 0}, "feedback -0.99");
  expectTailFits(Values{4, 0.0, 0.9, 0.15, 1.0, 1.0, 0.0, 0, 0}, "deepest LFO bend, quality 0");
  expectTailFits(Values{0, 0.0, 0.99, 0.15, 1.0, 1.0, 1.0, 0, 0}, "shortest range, deepest LFO, feedback 0.99");
  expectTailFits(Values{0, 1.0, -0.99, 3.0, 1.0, 1.0, 1.0, 0, 0}, "fast LFO, feedback -0.99");
  expectTailFits(Values{2, 0.5, 0.9, 0.15, 0.0, 1.0, 0.0, 0, 0}, "quality 0, feedback 0.9");
  expectTailFits(Values{4, 1.0, 0.0, 0.15, 0.0, 1.0, 1.0, 0, 0}, "one echo two seconds late");
}

TEST(TailTest, ALoopThatNeverDiesAwayHasAnInfiniteTail)
{
  // Feedback 1 keeps every echo; at 0.99 with the resonant filter of quality
  // 0 the loop gains and the limiter holds it at full level.
  for (const Values& values : {Values{4, 1.0, 1.0, 0.15, 0.0, 1.0, 1.0, 0, 0},
                               Values{4, 1.0, 0.99, 0.15, 0.0, 1.0, 0.0, 0, 0},
                               Values{1, 0.3, -1.0, 0.15, 0.5, 0.5, 0.5, 0, 0}})
  {
    const TailMeasure m = measure(values, 30.0);
    EXPECT_EQ(m.answer, kInfiniteTail);
    // Echoes two seconds apart fall silent between them.
    EXPECT_GT(m.lastAboveSeconds, m.renderedSeconds - 2.5) << "still sounding at the end";
  }
}

TEST(TailTest, DryMixHasNoTail)
{
  PluginModule module;
  EffectInstance effect(module);
  MemoryStream state(stateFor(Values{4, 1.0, 0.9, 0.15, 0.0, 0.0, 1.0, 0, 0}));
  ASSERT_EQ(effect.component->setState(&state), kResultOk);
  EXPECT_EQ(effect.processor->getTailSamples(), 0u);
}
