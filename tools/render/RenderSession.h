#pragma once
#include "Arguments.h"

#include <cstdio>
#include <filesystem>

namespace tolmar::render
{
// The bundle to load: --plugin, else this build tree's bundle, else the one
// installed in ~/.vst3. Throws Failure when none exists.
std::filesystem::path findBundle(const std::optional<std::string>& plugin);

// Carries out a parsed command line: loads the plug-in, applies the
// settings, then lists, renders or saves. Reports go to `out`, the progress
// bar to `err`. Throws Failure or HostError with the reason.
void runSession(const Options& options, std::FILE* out, std::FILE* err);
} // namespace tolmar::render
