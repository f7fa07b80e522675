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

  // Host automation of a parameter.
  void moveKnob(int paramIdx, double normalized)
  {
    ParameterChanges changes;
    changes.add(static_cast<ParamID>(paramIdx), normalized);
    binding.process(&changes, nullptr, nullptr, 48);
  }

  // The user turns the parameter's control in the editor; the next block
  // takes it up.
  void touchKnob(int paramIdx, double normalized)
  {
    binding.touch(paramIdx, normalized);
    silence();
  }

  // The editor's buttons; the next block takes them up.
  void pressLearn(bool unlearn = false)
  {
    if (unlearn)
      delay().doMidiUnlearn(true);
    else
      delay().doMidiLearn(true);
    silence();
  }
  void pressFreeze()
  {
    delay().doFreeze();
    silence();
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
  pressLearn();
  sendController(7, 10); // controller first
  touchKnob(kMix, 0.5);   // then the knob
  EXPECT_FALSE(delay().isMidiLearnArmed());
  sendController(7, 127);
  EXPECT_EQ(value(kMix), 1.0);
  sendController(7, 0);
  EXPECT_EQ(value(kMix), 0.0);

  pressLearn();
  touchKnob(kQuality, 1.0); // knob first
  sendController(74, 3);   // then the controller
  sendController(74, 0);
  EXPECT_EQ(value(kQuality), 0.0);
}

TEST_F(MidiControl, ASecondControllerReplacesTheFirst)
{
  pressLearn();
  sendController(7, 1);
  touchKnob(kMix, 0.5);
  pressLearn();
  sendController(8, 1);
  touchKnob(kMix, 0.5);
  sendController(7, 127);
  EXPECT_EQ(value(kMix), 0.5);
  sendController(8, 127);
  EXPECT_EQ(value(kMix), 1.0);
}

TEST_F(MidiControl, UnlearnByControllerAndByParameter)
{
  for (auto [controller, param] : {std::pair{7, kMix}, {8, kFeedback}})
  {
    pressLearn();
    sendController(controller, 1);
    touchKnob(param, 0.5);
  }
  pressLearn(true);
  sendController(7, 5);
  EXPECT_FALSE(delay().isMidiLearnArmed());
  pressLearn(true);
  touchKnob(kFeedback, 0.5);
  EXPECT_FALSE(delay().isMidiLearnArmed());
  const double mix = value(kMix), feedback = value(kFeedback);
  sendController(7, 127);
  sendController(8, 127);
  EXPECT_EQ(value(kMix), mix);
  EXPECT_EQ(value(kFeedback), feedback);
}

TEST_F(MidiControl, FreezeFollowsItsControllerAroundHalfway)
{
  pressLearn();
  sendController(20, 1);
  pressFreeze(); // the freeze button while learning picks freeze
  EXPECT_FALSE(delay().isFrozen());
  for (auto [v, frozen] : {std::pair{64, true}, {64, true}, {127, true}, {63, false}, {63, false}, {100, true}})
  {
    sendController(20, v);
    EXPECT_EQ(delay().isFrozen(), frozen) << v;
  }
}

TEST_F(MidiControl, AutomationWhileArmedChangesTheSoundAndPicksNoTarget)
{
  pressLearn();
  moveKnob(kMix, 1.0);
  EXPECT_EQ(delay().getDelayLine().getWetGain(), 1.0);
  sendController(7, 10);
  EXPECT_TRUE(delay().isMidiLearnArmed());
  EXPECT_EQ(delay().getMidiCCMapping(7), TolmarDelay::kUnbound);
  touchKnob(kFeedback, 0.5);
  EXPECT_EQ(delay().getMidiCCMapping(7), kFeedback);
}

TEST_F(MidiControl, ChannelModeControllersAreNeverCaptured)
{
  pressLearn();
  for (int c = 120; c < 128; ++c)
    sendController(c, 64);
  EXPECT_TRUE(delay().isMidiLearnArmed());
  touchKnob(kMix, 0.2);
  EXPECT_TRUE(delay().isMidiLearnArmed()); // still waiting for a controller
}

TEST_F(MidiControl, OffsetsDecideTheControlStep)
{
  pressLearn();
  sendController(7, 1);
  touchKnob(kMix, 0.5);
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
    pressLearn();
    sendController(controller, 1);
    touchKnob(param, 0.5);
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
  pressLearn();
  sendController(7, 1);
  touchKnob(kMix, 0.5);
  binding.handler.count = 0;
  // Each block reports its changes with its output, at the frame of the
  // control step that applied them; the handler is never called for them.
  std::vector<std::pair<int32, ParamValue>> reported;
  for (auto [v, offset] : {std::pair{127, 0}, {127, 0}, {0, 60}})
  {
    ParameterChanges in, out;
    in.add(midiControllerID(0, 7), ccValue(v), offset);
    binding.process(&in, nullptr, nullptr, 128, &out);
    for (int32 q = 0; q < out.getParameterCount(); ++q)
    {
      ASSERT_EQ(out.queue(q).getParameterId(), static_cast<ParamID>(kMix));
      int32 frame = 0;
      ParamValue value = 0.0;
      ASSERT_EQ(out.queue(q).getPoint(0, frame, value), kResultOk);
      reported.emplace_back(frame, value);
    }
  }
  // 127 changes the value, 127 again does not, 0 at offset 60 waits half an
  // interval (84) and lands at the step after it; steps fall every 48 frames
  // counted from the first block, so at frame 80 of the third.
  EXPECT_EQ(reported, (std::vector<std::pair<int32, ParamValue>>{{0, 1.0}, {80, 0.0}}));
  EXPECT_EQ(binding.handler.count, 0);
  EXPECT_EQ(binding.handler.callsFromOtherThreads.load(), 0);
  // The parameter objects learn of it on the main thread.
  EXPECT_NE(binding.effect->getParamNormalized(kMix), 0.0);
  binding.effect->GetPlugin().OnTimer();
  EXPECT_EQ(binding.effect->getParamNormalized(kMix), 0.0);
}
