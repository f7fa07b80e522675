// Instances read and write the user's configuration; the tests give them a
// home folder of their own so that a developer's settings neither leak into
// the results nor get changed by them.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace
{
const bool homeIsolated = [] {
  const auto home = std::filesystem::temp_directory_path() / ("tolmar-vst3-tests-" + std::to_string(getpid()));
  std::filesystem::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  return true;
}();
} // namespace
