// MIDI control as a host sends it: controller values arrive as changes of
// the MIDI-controller parameters in process, learning is armed from the
// editor's side of the instance.
#include <gtest/gtest.h>

#include "vst3/support/InProcessBinding.h"

using namespace host;

namespace
{
// A controller value as the normalised value of its parameter.
double ccValue(int value) { return (value + 0.5) / 127.0; }

class MidiControl : public ::testing::Test
{
protected:
  void SetUp() override { binding.start(48000.0); }

  // One block carrying a controller on channel 1 (and optionally a change
  // of an effect parameter).
  void sendController(int controller, int value, int offset = 0, int frames = 48)
  {
    ParameterChanges changes;
    changes.add(midiControllerID(0, controller), ccValue(value), offset);
    binding.process(&changes, nullptr, nullptr, frames);
  }

  void moveKnob(int paramIdx, double normalized)
  {
    ParameterChanges changes;
    changes.add(static_cast<ParamID>(paramIdx), normalized);
    binding.process(&changes, nullptr, nullptr, 48);
  }

  void silence(int frames = 48) { binding.process(nullptr, nullptr, nullptr, frames); }

  double value(int paramIdx) { return binding.delay().GetParam(paramIdx)->Value(); }
  TolmarDelay& delay() { return binding.delay(); }

  Binding binding;
};
} // namespace

TEST_F(MidiControl, UnboundControllersDoNothing)
{
  for (int c = 0; c < 128; ++c)
    sendController(c, 127);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(value(i), delay().GetParam(i)->GetDefault()) << i;
  EXPECT_FALSE(delay().isFrozen());
}

TEST_F(MidiControl, LearnInBothOrders)
{
  delay().doMidiLearn(true);
  sendController(7, 10); // controller first
  moveKnob(kMix, 0.5);   // then the knob
  EXPECT_FALSE(delay().isMidiLearnArmed());
  sendController(7, 127);
  EXPECT_EQ(value(kMix), 1.0);
  sendController(7, 0);
  EXPECT_EQ(value(kMix), 0.0);

  delay().doMidiLearn(true);
  moveKnob(kQuality, 1.0); // knob first
  sendController(74, 3);   // then the controller
  sendController(74, 0);
  EXPECT_EQ(value(kQuality), 0.0);
}

TEST_F(MidiControl, ASecondControllerReplacesTheFirst)
{
  delay().doMidiLearn(true);
  sendController(7, 1);
  moveKnob(kMix, 0.5);
  delay().doMidiLearn(true);
  sendController(8, 1);
  moveKnob(kMix, 0.5);
  sendController(7, 127);
  EXPECT_EQ(value(kMix), 0.5);
  sendController(8, 127);
  EXPECT_EQ(value(kMix), 1.0);
}

TEST_F(MidiControl, UnlearnByControllerAndByParameter)
{
  for (auto [controller, param] : {std::pair{7, kMix}, {8, kFeedback}})
  {
    delay().doMidiLearn(true);
    sendController(controller, 1);
    moveKnob(param, 0.5);
  }
  delay().doMidiUnlearn(true);
  sendController(7, 5);
  EXPECT_FALSE(delay().isMidiLearnArmed());
  delay().doMidiUnlearn(true);
  moveKnob(kFeedback, 0.5);
  EXPECT_FALSE(delay().isMidiLearnArmed());
  const double mix = value(kMix), feedback = value(kFeedback);
  sendController(7, 127);
  sendController(8, 127);
  EXPECT_EQ(value(kMix), mix);
  EXPECT_EQ(value(kFeedback), feedback);
}

TEST_F(MidiControl, FreezeFollowsItsControllerAroundHalfway)
{
  delay().doMidiLearn(true);
  sendController(20, 1);
  delay().doFreeze(); // the freeze button while learning picks freeze
  EXPECT_FALSE(delay().isFrozen());
  for (auto [v, frozen] : {std::pair{64, true}, {64, true}, {127, true}, {63, false}, {63, false}, {100, true}})
  {
    sendController(20, v);
    EXPECT_EQ(delay().isFrozen(), frozen) << v;
  }
}

TEST_F(MidiControl, KnobMovesWhileArmedLeaveTheSoundAlone)
{
  const double wet = delay().getDelayLine().getWetGain();
  delay().doMidiLearn(true);
  moveKnob(kMix, 1.0);
  EXPECT_EQ(delay().getDelayLine().getWetGain(), wet);
}

TEST_F(MidiControl, ChannelModeControllersAreNeverCaptured)
{
  delay().doMidiLearn(true);
  for (int c = 120; c < 128; ++c)
    sendController(c, 64);
  EXPECT_TRUE(delay().isMidiLearnArmed());
  moveKnob(kMix, 0.2);
  EXPECT_TRUE(delay().isMidiLearnArmed()); // still waiting for a controller
}

TEST_F(MidiControl, OffsetsDecideTheControlStep)
{
  delay().doMidiLearn(true);
  sendController(7, 1);
  moveKnob(kMix, 0.5);
  // At 48 kHz a control step comes every 48 frames, two in a block of 96.
  // Past the first step a change waits half an interval more: one at offset
  // 72 is due at the block's second step, one at 73 at the next block's first.
  sendController(7, 127, 72, 96);
  EXPECT_EQ(value(kMix), 1.0);
  sendController(7, 0, 73, 96);
  EXPECT_EQ(value(kMix), 1.0);
  silence();
  EXPECT_EQ(value(kMix), 0.0);
}

TEST_F(MidiControl, TheSustainPedalKeepsItsOffset)
{
  for (auto [controller, param] : {std::pair{64, kMix}, {7, kQuality}})
  {
    delay().doMidiLearn(true);
    sendController(controller, 1);
    moveKnob(param, 0.5);
  }
  // Offset 80 in a 96-frame block: the pedal is due at the step of frame 48,
  // any other controller half an interval later, in the next block.
  ParameterChanges changes;
  changes.add(midiControllerID(0, 64), ccValue(127), 80);
  changes.add(midiControllerID(0, 7), ccValue(127), 80);
  binding.process(&changes, nullptr, nullptr, 96);
  EXPECT_EQ(value(kMix), 1.0);
  EXPECT_NE(value(kQuality), 1.0);
  silence(64);
  EXPECT_EQ(value(kQuality), 1.0);
}

TEST_F(MidiControl, TheHostHearsEveryMidiDrivenChange)
{
  delay().doMidiLearn(true);
  sendController(7, 1);
  moveKnob(kMix, 0.5);
  binding.handler.count = 0;
  sendController(7, 127);
  sendController(7, 127); // unchanged: nothing to tell
  sendController(7, 0);
  ASSERT_EQ(binding.handler.count, 2);
  EXPECT_EQ(binding.handler.edits[0].kind, 'p');
  EXPECT_EQ(binding.handler.edits[0].id, static_cast<ParamID>(kMix));
  EXPECT_EQ(binding.handler.edits[0].value, 1.0);
  EXPECT_EQ(binding.handler.edits[1].value, 0.0);
}
