#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace tolmar::host
{
// The layout of a .vstpreset file, read without trusting any of it: the
// header with the class ID, and the chunk list, whose every entry is checked
// against the file before a chunk is handed out.
struct PresetChunk
{
    std::size_t offset = 0;
    std::size_t size = 0;
};

struct PresetLayout
{
    std::string classId; // 32 hexadecimal digits as the file writes them
    std::optional<PresetChunk> componentState;
    std::optional<PresetChunk> controllerState;
};

// Throws HostError, with a reason a user can act on, when the bytes are not a
// preset file or when its header or chunk list points outside the file.
PresetLayout readPresetLayout(const char* bytes, std::size_t size);
} // namespace tolmar::host
