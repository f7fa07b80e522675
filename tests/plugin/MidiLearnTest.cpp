#include <gtest/gtest.h>

#include "support/AllocationCounter.h"
#include "support/DelayHarness.h"

namespace
{
struct HostSpy : IEffectHost
{
  std::vector<std::pair<int, double>> edits;
  std::vector<int> offsets;
  int mainThreadEdits = 0;
  void BeginInformHostOfParamChange(int) override {}
  void InformHostOfParamChange(int, double) override { ++mainThreadEdits; }
  void EndInformHostOfParamChange(int) override {}
  void InformHostOfParamChangeFromProcess(int paramIdx, double value, int offset) override
  {
    edits.emplace_back(paramIdx, value);
    offsets.push_back(offset);
  }
};

IMidiMsg cc(int controller, int value, int offset = 0, int channel = 0)
{
  IMidiMsg msg;
  msg.status = static_cast<uint8_t>(0xB0 | channel);
  msg.data1 = static_cast<uint8_t>(controller);
  msg.data2 = static_cast<uint8_t>(value);
  msg.offset = offset;
  return msg;
}

void run(DelayHarness& delay, int frames)
{
  delay.processMono(std::vector<double>(static_cast<size_t>(frames), 0.0), frames);
}

// Arms learning, moves `controller` and touches parameter `target`.
void learn(DelayHarness& delay, int controller, int target)
{
  delay.pressLearn(true);
  delay->ProcessMidiMsg(cc(controller, 10));
  if (target == TolmarDelay::kFreezeTarget)
    delay.pressFreeze();
  else
    delay.touch(target, delay->Param(target).Value());
}
} // namespace

TEST(MidiLearn, UnboundControllersDoNothing)
{
  DelayHarness delay(48000.0);
  for (int c = 0; c < 128; ++c)
    delay->ProcessMidiMsg(cc(c, 127));
  run(delay, 48);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(delay->GetParam(i)->Value(), delay->GetParam(i)->GetDefault());
  EXPECT_FALSE(delay->isFrozen());
}

TEST(MidiLearn, LearnInEitherOrder)
{
  DelayHarness delay(48000.0);
  learn(delay, 7, kMix); // controller first, then the knob
  EXPECT_FALSE(delay->isMidiLearnArmed());
  EXPECT_EQ(delay->getMidiCCMapping(7), kMix);
  EXPECT_TRUE(delay->takePendingRefreshes() & TolmarDelay::kRefreshMidiLearn);

  for (auto [value, expected] : {std::pair{0, 0.0}, {127, 1.0}, {64, 64.0 / 127.0}})
  {
    delay->ProcessMidiMsg(cc(7, value));
    run(delay, 48);
    EXPECT_NEAR(delay->GetParam(kMix)->Value(), expected, 1e-12);
  }

  // Knob first, then the controller.
  delay.pressLearn(true);
  delay.touch(kFeedback, 0.1);
  EXPECT_TRUE(delay->isMidiLearnArmed());
  delay->ProcessMidiMsg(cc(12, 0));
  EXPECT_FALSE(delay->isMidiLearnArmed());
  EXPECT_EQ(delay->getMidiCCMapping(12), kFeedback);
}

TEST(MidiLearn, OneControllerPerParameter)
{
  DelayHarness delay;
  learn(delay, 20, kTime);
  learn(delay, 21, kTime);
  EXPECT_EQ(delay->getMidiCCMapping(20), TolmarDelay::kUnbound);
  EXPECT_EQ(delay->getMidiCCMapping(21), kTime);
  learn(delay, 21, kQuality); // a controller has one target
  EXPECT_EQ(delay->getMidiCCMapping(21), kQuality);
}

TEST(MidiLearn, UnlearnByControllerOrByParameter)
{
  DelayHarness delay;
  learn(delay, 1, kMix);
  learn(delay, 2, kRange);
  delay.pressLearn(true, true);
  delay->ProcessMidiMsg(cc(1, 0));
  delay.sync();
  EXPECT_FALSE(delay->isMidiLearnArmed());
  EXPECT_EQ(delay->getMidiCCMapping(1), TolmarDelay::kUnbound);
  EXPECT_EQ(delay->getMidiCCMapping(2), kRange);

  delay.pressLearn(true, true);
  delay.touch(kRange, 1);
  EXPECT_EQ(delay->getMidiCCMapping(2), TolmarDelay::kUnbound);
  EXPECT_EQ(delay->GetParam(kRange)->Value(), 1.0);
  EXPECT_EQ(delay->getRangeIndex(), 3); // the engine follows the value, armed or not

  // Cancelling leaves everything as it was.
  learn(delay, 3, kMix);
  delay.pressLearn(true);
  delay->ProcessMidiMsg(cc(9, 5));
  delay.pressLearn(false);
  EXPECT_EQ(delay->getMidiCCMapping(9), TolmarDelay::kUnbound);
  EXPECT_EQ(delay->getMidiCCMapping(3), kMix);
}

TEST(MidiLearn, FreezeBindingSwitchesAtHalfway)
{
  DelayHarness delay(48000.0);
  learn(delay, 64, TolmarDelay::kFreezeTarget);
  EXPECT_FALSE(delay->isFrozen()); // pressing freeze while learning only picks it
  EXPECT_EQ(delay->getMidiCCMapping(64), TolmarDelay::kFreezeTarget);
  struct Step { int value; bool frozen; };
  for (Step step : {Step{63, false}, {64, true}, {127, true}, {100, true}, {63, false}, {0, false}, {64, true}})
  {
    delay->ProcessMidiMsg(cc(64, step.value));
    run(delay, 48);
    EXPECT_EQ(delay->isFrozen(), step.frozen) << step.value;
  }
}

TEST(MidiLearn, TheEngineFollowsEveryValueWhileArmed)
{
  DelayHarness delay;
  delay.pressLearn(true);
  // Automation, a restored state and a recalled preset change the sound and
  // never pick a learn target.
  delay.set(kMix, 1.0);
  EXPECT_EQ(delay->getDelayLine().getWetGain(), 1.0);
  ASSERT_TRUE(delay->RestorePreset(8));
  delay.sync();
  EXPECT_EQ(delay->getDelayLine().getFeedback(), 0.3);
  EXPECT_TRUE(delay->isMidiLearnArmed());
  // The user's own touch does.
  delay.touch(kFeedback, 0.5);
  EXPECT_EQ(delay->getDelayLine().getFeedback(), 0.5);
  delay->ProcessMidiMsg(cc(5, 1)); // completes the binding
  EXPECT_FALSE(delay->isMidiLearnArmed());
  EXPECT_EQ(delay->getMidiCCMapping(5), kFeedback);
  for (int c = 0; c < TolmarDelay::kNumMidiControllers; ++c)
  {
    if (c != 5)
    {
      EXPECT_EQ(delay->getMidiCCMapping(c), TolmarDelay::kUnbound) << c;
    }
  }
}

TEST(MidiLearn, ChannelModeControllersAreNeverCaptured)
{
  DelayHarness delay;
  delay.pressLearn(true);
  for (int c = 120; c < 128; ++c)
    delay->ProcessMidiMsg(cc(c, 1));
  IMidiMsg note;
  note.status = 0x90;
  note.data1 = 60;
  note.data2 = 100;
  delay->ProcessMidiMsg(note);
  delay.set(kMix, 0.5);
  EXPECT_TRUE(delay->isMidiLearnArmed());
  for (int c = 0; c < TolmarDelay::kNumMidiControllers; ++c)
    EXPECT_EQ(delay->getMidiCCMapping(c), TolmarDelay::kUnbound);
}

TEST(MidiLearn, OffsetsDecideTheControlStep)
{
  // At 48 kHz a control step comes every 48 frames. Offset 48 is due at the
  // first step, 49 (plus half an interval) at the second.
  for (auto [offset, firstFrames] : {std::pair{48, 1}, {49, 49}})
  {
    DelayHarness delay(48000.0);
    learn(delay, 7, kMix);
    delay->ProcessMidiMsg(cc(7, 127, offset));
    run(delay, firstFrames - 1 > 0 ? firstFrames - 1 : 0);
    if (firstFrames > 1)
    {
      EXPECT_NE(delay->GetParam(kMix)->Value(), 1.0) << offset;
      run(delay, 1);
    }
    else
    {
      run(delay, 1);
    }
    EXPECT_EQ(delay->GetParam(kMix)->Value(), 1.0) << offset;
  }
  // Offset 80: the sustain pedal's is kept (due at the second step), any
  // other controller's grows by 24 (due at the third).
  for (auto [controller, dueAfter] : {std::pair{64, 49}, {7, 97}})
  {
    DelayHarness delay(48000.0);
    learn(delay, controller, kMix);
    delay->ProcessMidiMsg(cc(controller, 127, 80));
    run(delay, dueAfter - 1);
    EXPECT_NE(delay->GetParam(kMix)->Value(), 1.0) << controller;
    run(delay, 1);
    EXPECT_EQ(delay->GetParam(kMix)->Value(), 1.0) << controller;
  }
}

TEST(MidiLearn, HostHearsEveryMidiDrivenChange)
{
  DelayHarness delay(48000.0);
  HostSpy host;
  delay->SetHost(&host);
  learn(delay, 7, kMix);
  host.edits.clear();
  host.mainThreadEdits = 0;
  delay->ProcessMidiMsg(cc(7, 0, 0));
  delay->ProcessMidiMsg(cc(7, 127, 50));
  delay->ProcessMidiMsg(cc(7, 127, 150)); // unchanged value: nothing
  run(delay, 256);
  ASSERT_EQ(host.edits.size(), 2u);
  EXPECT_EQ(host.edits[0], (std::pair{static_cast<int>(kMix), 0.0}));
  EXPECT_EQ(host.edits[1], (std::pair{static_cast<int>(kMix), 1.0}));
  // At the frame of the control step that applied each controller, and never
  // through the main thread's edit calls.
  EXPECT_EQ(host.offsets, (std::vector<int>{0, 48}));
  EXPECT_EQ(host.mainThreadEdits, 0);
  delay->SetHost(nullptr);
}

TEST(MidiLearn, SlowSampleRatesStillApplyQueuedMessages)
{
  DelayHarness delay(500.0);
  learn(delay, 7, kMix);
  delay->ProcessMidiMsg(cc(7, 127, 10));
  run(delay, 20);
  EXPECT_EQ(delay->GetParam(kMix)->Value(), 1.0);
}

TEST(MidiLearn, AFloodIsDroppedWithoutAllocating)
{
  DelayHarness delay(48000.0);
  learn(delay, 7, kMix);
  std::vector<double> buffer(48, 0.0);
  double* io[2] = {buffer.data(), buffer.data()};
  {
    AllocationGuard guard;
    for (int i = 0; i < 2000; ++i)
      delay->ProcessMidiMsg(cc(7, i % 128, 100000 - i));
    delay->ProcessBlock(io, io, 48);
    EXPECT_EQ(guard.count(), 0u);
  }
  run(delay, 4800);
}
