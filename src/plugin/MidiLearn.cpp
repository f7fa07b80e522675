#include "plugin/MidiLearn.h"

MidiLearn::MidiLearn()
{
  for (auto& entry : entries)
    entry.store(kUnbound, std::memory_order_relaxed);
}

void MidiLearn::arm(bool on, bool unlearn)
{
  unlearnMode = unlearn;
  pendingController = -1;
  learnTarget = -1;
  armed = on;
}

bool MidiLearn::touch(int32_t target)
{
  if (!armed)
    return false;
  learnTarget = target;
  return step();
}

bool MidiLearn::controllerArrived(int controller)
{
  if (!armed || controller < 0 || controller >= kNumControllers)
    return false;
  pendingController = controller;
  return step();
}

void MidiLearn::load(const Map& map)
{
  for (int i = 0; i < kNumControllers; ++i)
    bind(i, map[static_cast<size_t>(i)]);
}

MidiLearn::Map MidiLearn::snapshot() const
{
  Map map;
  for (int i = 0; i < kNumControllers; ++i)
    map[static_cast<size_t>(i)] = mapping(i);
  return map;
}

void MidiLearn::release(int32_t target)
{
  for (int i = 0; i < kNumControllers; ++i)
    if (mapping(i) == target)
      bind(i, kUnbound);
}

bool MidiLearn::step()
{
  bool done = false;
  if (!unlearnMode)
  {
    if (pendingController != -1 && learnTarget != -1)
    {
      // One controller per target: a new binding replaces the old one.
      release(learnTarget);
      bind(pendingController, learnTarget);
      done = true;
    }
  }
  else if (pendingController != -1)
  {
    bind(pendingController, kUnbound);
    done = true;
  }
  else if (learnTarget != -1)
  {
    release(learnTarget);
    done = true;
  }
  if (done)
  {
    armed = false;
    unlearnMode = false;
  }
  return done;
}
