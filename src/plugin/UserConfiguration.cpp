#include "plugin/UserConfiguration.h"

#include "control/TolmarConfig.h"

static_assert(MidiLearn::kNumControllers == kConfigControllers, "the file holds one entry per learnable controller");

bool UserConfiguration::locate()
{
  // Without a file (no home folder, a folder or file that cannot be made)
  // the instance runs with every controller unbound and scale 0.5.
  try
  {
    std::string found;
    const bool ready = prepareConfigFile(found);
    iniPath = found;
    return ready;
  }
  catch (...)
  {
    return false;
  }
}

bool UserConfiguration::load(MidiLearn::Map& map)
{
  if (iniPath.empty())
    return false;
  try
  {
    int32_t entries[kConfigControllers];
    for (int i = 0; i < kConfigControllers; ++i)
      entries[i] = map[static_cast<size_t>(i)];
    float value = editorScale();
    readConfig(iniPath, entries, value);
    for (int i = 0; i < kConfigControllers; ++i)
      map[static_cast<size_t>(i)] = entries[i];
    setEditorScale(value);
    return true;
  }
  catch (...)
  {
    return false;
  }
}

bool UserConfiguration::save(const MidiLearn::Map& map, float value) const
{
  try
  {
    int32_t entries[kConfigControllers];
    for (int i = 0; i < kConfigControllers; ++i)
      entries[i] = map[static_cast<size_t>(i)];
    return writeConfig(iniPath, entries, value);
  }
  catch (...)
  {
    return false;
  }
}
