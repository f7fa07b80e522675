#pragma once
#include <array>
#include <atomic>
#include <cstdint>

#include "params/ProductFacts/ControllerMap.h"

// Which MIDI controller drives which parameter (or freeze), and the learn
// and unlearn gestures that change that.
//
// The audio thread owns it: it alone runs the gestures and writes the map.
// The map entries are atomic so that the main thread can read them (to save
// them, or to answer a host) while the audio thread writes.
class MidiLearn
{
public:
  static constexpr int kNumControllers = ControllerMap::kNumControllers;
  static constexpr int32_t kFreezeTarget = ControllerMap::kFreezeTarget;
  static constexpr int32_t kUnbound = ControllerMap::kUnbound;
  using Map = std::array<int32_t, kNumControllers>;

  MidiLearn();

  // Audio thread. The learn or unlearn button, pressed (on) or released.
  void arm(bool on, bool unlearn);
  // Audio thread. The user touched a parameter or the freeze button (target
  // kFreezeTarget) while learning. Answers true when that ended the gesture.
  bool touch(int32_t target);
  // Audio thread. A controller arrived while learning; true when that ended
  // the gesture.
  bool controllerArrived(int controller);
  // Audio thread. A whole map, read from the configuration.
  void load(const Map& map);

  bool isArmed() const { return armed; }
  bool isUnlearnMode() const { return unlearnMode; }
  // Any thread.
  int32_t mapping(int controller) const
  {
    return controller >= 0 && controller < kNumControllers ? entries[static_cast<size_t>(controller)].load(std::memory_order_relaxed)
                                                          : kUnbound;
  }
  Map snapshot() const;

private:
  bool step();
  void release(int32_t target);
  void bind(int controller, int32_t target) { entries[static_cast<size_t>(controller)].store(target, std::memory_order_relaxed); }

  std::array<std::atomic<int32_t>, kNumControllers> entries;
  bool armed = false;
  bool unlearnMode = false;
  int32_t pendingController = -1;
  int32_t learnTarget = -1;
};
