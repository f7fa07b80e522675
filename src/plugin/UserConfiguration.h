#pragma once
#include <atomic>
#include <string>

#include "plugin/MidiLearn.h"

// The per-user settings an instance starts from and saves back: the
// controller bindings and the editor's scale, in the configuration file.
// Main thread only; the scale is atomic because the editor may be asked for
// it from a host's other threads.
class UserConfiguration
{
public:
  // Finds (creating or migrating) the file; false when there is none to use,
  // for example without a home folder. The path stays empty then.
  bool locate();
  // Reads the file over map and the scale. False when nothing was read.
  bool load(MidiLearn::Map& map);
  // Writes map and scale in one atomic rewrite; false when that failed.
  bool save(const MidiLearn::Map& map, float scale) const;

  const std::string& path() const { return iniPath; }
  float editorScale() const { return scale.load(std::memory_order_relaxed); }
  void setEditorScale(float value) { scale.store(value, std::memory_order_relaxed); }

private:
  std::string iniPath;
  std::atomic<float> scale{0.5f};
};
