#pragma once
#include <filesystem>

// Ardour in a test finds the built bundles only, through folders of their
// own under `root` (root/vst3 and root/lv2, named in VST3_PATH and
// LV2_PATH), so that it neither finds installed copies nor searches the
// whole build tree. Needs TOLMAR_VST3_BUNDLE and TOLMAR_LV2_BUNDLE defined.
namespace ardourtest
{
// Links the bundles (once) and points the environment at them; true when
// the links were made now.
bool linkBuiltBundles(const std::filesystem::path& root);

// Ardour reads VST 3 plug-ins from its scan cache only: its scanner writes
// the entry for the bundle linked under `root`. The scanner's exit code; its
// output in `log`.
int scanVst3Bundle(const std::filesystem::path& root, const std::filesystem::path& log);
} // namespace ardourtest
