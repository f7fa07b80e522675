#pragma once
#include <cstddef>

#include "params/VstPresetFile.h"

namespace tolmar::host
{
// The layout of a .vstpreset file as the plug-in's own reader finds it, so
// that the tool and the editor agree on what a damaged file is.
using PresetChunk = VstPresetFile::Chunk;
using PresetLayout = VstPresetFile::Layout;

// Throws HostError, with a reason a user can act on, when the bytes are not a
// preset file or when its header or chunk list points outside the file.
PresetLayout readPresetLayout(const char* bytes, std::size_t size);
} // namespace tolmar::host
