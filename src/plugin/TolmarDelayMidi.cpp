// MIDI input and MIDI learn of a TolmarDelay instance.
#include "plugin/TolmarDelay.h"

#include <cstdint>

void TolmarDelay::ProcessMidiMsg(const IMidiMsg& msg)
{
  // Only control changes drive the effect, on every channel; 120 to 127 are
  // channel-mode messages and never bound.
  if (msg.StatusMsg() != IMidiMsg::kControlChange || msg.data1 >= kNumMidiControllers)
    return;
  if (learnArmed)
  {
    setMidiLearnCC(msg.data1);
    return;
  }
  IMidiMsg queued = msg;
  // Beyond the first control interval a controller waits half an interval
  // longer; that is the timing the effect has always had, and automation
  // recorded against it relies on it. The sustain pedal keeps its offset.
  // The addition saturates: offsets from the editor's queue are not limited
  // to a block.
  const int interval = delayLine.getControlInterval();
  if (queued.data1 != 64 && interval < queued.offset)
    queued.offset = queued.offset > INT32_MAX - interval / 2 ? INT32_MAX : queued.offset + interval / 2;
  midiQueue.Add(queued);
}

void TolmarDelay::handleMidiEvents()
{
  const int interval = delayLine.getControlInterval();
  bool consumed = false;
  while (!midiQueue.Empty() && midiQueue.Peek().offset <= interval)
  {
    const IMidiMsg msg = midiQueue.Peek();
    midiQueue.Remove();
    consumed = true;
    if (msg.IsControlChange())
      applyControlChange(msg.data1, msg.data2);
  }
  if (consumed)
    midiQueue.Compact();
  midiQueue.Flush(interval);
}

void TolmarDelay::applyControlChange(int controller, int value)
{
  const int32_t target = getMidiCCMapping(controller);
  const double normalized = value / 127.0;
  if (target >= 0 && target < kNumParams)
  {
    if (normalized != Param(target).GetNormalized())
      SetParameterValue(target, normalized);
  }
  else if (target == kFreezeTarget)
  {
    if ((normalized < 0.5 && frozen) || (normalized >= 0.5 && !frozen))
    {
      doFreeze();
      raiseRefresh(kRefreshAllControls);
    }
  }
}

void TolmarDelay::doMidiLearn(bool on)
{
  unlearnMode = false;
  pendingController = -1;
  learnTarget = -1;
  learnArmed = on;
}

void TolmarDelay::doMidiUnlearn(bool on)
{
  unlearnMode = true;
  pendingController = -1;
  learnTarget = -1;
  learnArmed = on;
}

void TolmarDelay::setMidiLearnCC(int controller)
{
  if (!learnArmed || controller < 0 || controller >= kNumMidiControllers)
    return;
  pendingController = controller;
  learnStep();
}

void TolmarDelay::learnStep()
{
  if (!learnArmed)
    return;
  auto releaseTarget = [this](int32_t target) {
    for (int32_t& entry : midiCCMap)
      if (entry == target)
        entry = kUnbound;
  };
  bool done = false;
  if (!unlearnMode)
  {
    if (pendingController != -1 && learnTarget != -1)
    {
      // One controller per target: a new binding replaces the old one.
      releaseTarget(learnTarget);
      midiCCMap[pendingController] = learnTarget;
      done = true;
    }
  }
  else if (pendingController != -1)
  {
    midiCCMap[pendingController] = kUnbound;
    done = true;
  }
  else if (learnTarget != -1)
  {
    releaseTarget(learnTarget);
    done = true;
  }
  if (done)
  {
    learnArmed = false;
    unlearnMode = false;
  }
  refreshMidiLearn();
}
