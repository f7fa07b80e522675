// MIDI as an LV2 host sends it on the control port: controllers bound in the
// user's configuration drive parameters and freeze, and learning is armed by
// the editor's commands.
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/midi/midi.h>

#include "control/ConfigTestSupport.h"
#include "control/TolmarConfig.h"
#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "plugin/TolmarDelay.h"

using namespace lv2host;

namespace
{
class Midi : public ConfigHomeTest
{
protected:
  void SetUp() override
  {
    ConfigHomeTest::SetUp();
    // Controller 7 drives Mix, controller 20 freeze.
    writeFile(configFolderPath() + "/tolmardelay.ini", "[MIDI Control]\nCC7=5\nCC20=-12\n");
    world = std::make_unique<World>();
    ASSERT_NE(world->plugin, nullptr);
    instance = std::make_unique<Instance>(*world, 48000.0);
    ASSERT_TRUE(instance->valid());
  }

  void TearDown() override
  {
    instance.reset();
    world.reset();
    ConfigHomeTest::TearDown();
  }

  void block()
  {
    Stereo out{std::vector<double>(480), std::vector<double>(480)};
    instance->run(silence, out, 0, 480);
  }

  void controller(int number, int value)
  {
    instance->midi(0, 0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value));
    block();
  }

  double value(int paramIdx) { return instance->display().parameterValues.at(static_cast<size_t>(paramIdx)); }

  const Stereo silence{std::vector<double>(480), std::vector<double>(480)};
  std::unique_ptr<World> world;
  std::unique_ptr<Instance> instance;
};
} // namespace

TEST_F(Midi, AControllerBoundInTheConfigurationDrivesItsParameter)
{
  block();
  EXPECT_EQ(instance->display().controllerMap.at(7), kMix);
  controller(7, 127);
  EXPECT_EQ(value(kMix), 1.0);
  // The host's port still says 0.5; the controller's value stays.
  for (int i = 0; i < 10; ++i)
    block();
  EXPECT_EQ(value(kMix), 1.0);
  // Until the host moves the port.
  instance->parameter(kMix) = 0.25f;
  block();
  EXPECT_EQ(value(kMix), 0.25);
  controller(7, 0);
  EXPECT_EQ(value(kMix), 0.0);
  // Any channel; unbound controllers do nothing.
  instance->midi(0, 0xB5, 7, 127);
  instance->midi(1, 0xB0, 8, 127);
  block();
  EXPECT_EQ(value(kMix), 1.0);
  EXPECT_EQ(value(kFeedback), 0.0);
}

TEST_F(Midi, AControllerBoundToFreezeSwitchesIt)
{
  controller(20, 64);
  EXPECT_TRUE(instance->display().frozen);
  controller(20, 100);
  EXPECT_TRUE(instance->display().frozen);
  controller(20, 63);
  EXPECT_FALSE(instance->display().frozen);
}

TEST_F(Midi, LearningIsArmedAndCompletedThroughTheEditorsCommands)
{
  instance->command(0, Lv2Uris::kCommandLearnOn);
  block();
  EXPECT_TRUE(instance->display().learnArmed);
  controller(9, 1);
  // A port the host moves is no target; the parameter the editor's user
  // takes hold of is.
  instance->parameter(kMix) = 0.3f;
  block();
  EXPECT_TRUE(instance->display().learnArmed);
  instance->command(0, Lv2Uris::kCommandTouch, kFeedback);
  instance->parameter(kFeedback) = 0.5f;
  block();
  EXPECT_FALSE(instance->display().learnArmed);
  EXPECT_EQ(instance->display().controllerMap.at(9), kFeedback);
  controller(9, 127);
  EXPECT_EQ(value(kFeedback), 1.0);

  instance->command(0, Lv2Uris::kCommandUnlearnOn);
  block();
  EXPECT_TRUE(instance->display().unlearnMode);
  controller(9, 5);
  EXPECT_EQ(instance->display().controllerMap.at(9), -1);

  instance->command(0, Lv2Uris::kCommandFreeze);
  block();
  EXPECT_TRUE(instance->display().frozen);
}

// A controller late in the block takes effect there, whatever unit the
// host's sequence says it is stamped in, unless that unit is beats.
TEST_F(Midi, EventsKeepTheirFrameWhenTheHostLeavesTheUnitUnset)
{
  const Stereo tone = lv2host::tone(480, 440.0, 48000.0);
  auto render = [&](uint32_t unit) {
    Instance lv2(*world, 48000.0);
    std::vector<uint8_t> sequence;
    auto put = [&sequence](const auto& value) {
      const auto* raw = reinterpret_cast<const uint8_t*>(&value);
      sequence.insert(sequence.end(), raw, raw + sizeof(value));
    };
    put(LV2_Atom{0, world->urids.map(LV2_ATOM__Sequence)});
    put(LV2_Atom_Sequence_Body{unit, 0});
    put(int64_t{400});
    put(LV2_Atom{3, world->urids.map(LV2_MIDI__MidiEvent)});
    put(uint64_t{0xB0 | (7 << 8)}); // controller 7 (Mix) to 0: dry from there
    reinterpret_cast<LV2_Atom*>(sequence.data())->size = static_cast<uint32_t>(sequence.size() - sizeof(LV2_Atom));
    lv2.rawEvents(sequence);
    Stereo out{std::vector<double>(480), std::vector<double>(480)};
    lv2.run(tone, out, 0, 480);
    return out;
  };
  const Stereo inFrames = render(world->urids.map(LV2_ATOM__frameTime));
  EXPECT_EQ(render(0), inFrames);
  EXPECT_EQ(render(0x5EEDu), inFrames);
  EXPECT_NE(render(world->urids.map(LV2_ATOM__beatTime)), inFrames);
}
