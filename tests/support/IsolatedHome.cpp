// Every test program runs with a home folder of its own, so that instances
// built by tests read and write their settings there and never in the home
// folder of whoever runs the tests.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace
{
struct IsolatedHome
{
  std::string folder;

  IsolatedHome()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolmar-home-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      std::abort();
    folder = pattern;
    ::setenv("HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder + "/.config").c_str(), 1);
  }

  ~IsolatedHome()
  {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

IsolatedHome isolatedHome;
} // namespace
