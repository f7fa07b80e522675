// Instances read and write the user's configuration; the tests give them a
// home folder of their own, removed again at exit, so that a developer's
// settings neither leak into the results nor get changed by them.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace
{
class IsolatedHome
{
public:
  IsolatedHome()
  : home(std::filesystem::temp_directory_path() / ("tolmar-vst3-tests-" + std::to_string(getpid())))
  {
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  }
  ~IsolatedHome()
  {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }

private:
  std::filesystem::path home;
};

const IsolatedHome isolatedHome;
} // namespace
