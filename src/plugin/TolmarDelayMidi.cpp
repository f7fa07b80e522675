// MIDI input and MIDI learn of a TolmarDelay instance. Audio thread only.
#include "plugin/TolmarDelay.h"

#include <cstdint>

void TolmarDelay::ProcessMidiMsg(const IMidiMsg& msg)
{
  // Only control changes drive the effect, on every channel; 120 to 127 are
  // channel-mode messages and never bound.
  if (msg.StatusMsg() != IMidiMsg::kControlChange || msg.data1 >= kNumMidiControllers)
    return;
  if (midiLearn.isArmed())
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
  const int interval = engine.getControlInterval();
  if (queued.data1 != 64 && interval < queued.offset)
    queued.offset = queued.offset > INT32_MAX - interval / 2 ? INT32_MAX : queued.offset + interval / 2;
  midiQueue.Add(queued);
}

void TolmarDelay::handleMidiEvents(int frame)
{
  const int interval = engine.getControlInterval();
  bool consumed = false;
  while (!midiQueue.Empty() && midiQueue.Peek().offset <= interval)
  {
    const IMidiMsg msg = midiQueue.Peek();
    midiQueue.Remove();
    consumed = true;
    if (msg.IsControlChange())
      applyControlChange(msg.data1, msg.data2, frame);
  }
  if (consumed)
    midiQueue.Compact();
  midiQueue.Flush(interval);
}

void TolmarDelay::applyControlChange(int controller, int value, int frame)
{
  const int32_t target = getMidiCCMapping(controller);
  const double normalized = value / 127.0;
  if (target >= 0 && target < kNumParams)
  {
    if (normalized != Param(target).GetNormalized())
      SetParameterValue(target, normalized, frame);
  }
  else if (target == kFreezeTarget)
  {
    if ((normalized < 0.5 && engine.isFrozen()) || (normalized >= 0.5 && !engine.isFrozen()))
    {
      pressFreeze();
      unpublishedRefreshes |= kRefreshAllControls;
    }
  }
}

void TolmarDelay::setMidiLearnCC(int controller)
{
  if (!midiLearn.isArmed() || controller < 0 || controller >= kNumMidiControllers)
    return;
  midiLearn.controllerArrived(controller);
  learnFinished();
  publish();
}
