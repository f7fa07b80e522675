#include "support/ArdourBundles.h"

#include <cstdlib>

#include "support/LoggedProcess.h"

namespace fs = std::filesystem;

namespace ardourtest
{
namespace
{
constexpr const char* kScanner = "/usr/lib/ardour7/ardour-vst3-scanner";

fs::path linkedVst3(const fs::path& root)
{
  return root / "vst3" / fs::path(TOLMAR_VST3_BUNDLE).filename();
}
} // namespace

bool linkBuiltBundles(const fs::path& root)
{
  const bool made = !fs::is_symlink(linkedVst3(root));
  if (made)
  {
    fs::create_directories(root / "vst3");
    fs::create_directories(root / "lv2");
    fs::create_symlink(TOLMAR_VST3_BUNDLE, linkedVst3(root));
    fs::create_symlink(TOLMAR_LV2_BUNDLE, root / "lv2" / fs::path(TOLMAR_LV2_BUNDLE).filename());
  }
  ::setenv("VST3_PATH", (root / "vst3").c_str(), 1);
  ::setenv("LV2_PATH", (root / "lv2").c_str(), 1);
  return made;
}

int scanVst3Bundle(const fs::path& root, const fs::path& log)
{
  return logged::run({"env", "LD_LIBRARY_PATH=/usr/lib/ardour7", kScanner, "-f", "-q", linkedVst3(root).string()},
                     log);
}
} // namespace ardourtest
