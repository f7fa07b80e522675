#pragma once
#include "HostedPlugin.h"

#include <vector>

namespace tolmar::host
{
// The standard .vstpreset format: a header with the class ID, the component
// state and the controller state as chunks, and a chunk list. Presets saved
// by a DAW load here and the other way round.

// Throws HostError when the bytes are not a preset, are damaged (a chunk
// list that points outside the file), belong to another class or the
// plug-in refuses the state they carry. Nothing reaches the plug-in from a
// damaged file.
void loadPreset(HostedPlugin& plugin, const Steinberg::TUID classId, const std::vector<char>& bytes);
std::vector<char> savePreset(HostedPlugin& plugin, const Steinberg::TUID classId);

// The component-state chunk of a preset file; nothing when there is none.
// For tests and diagnostics: it reads the file, not the plug-in.
std::vector<char> componentStateOf(const std::vector<char>& presetBytes);
// The class ID a preset file was made for, as 32 hexadecimal digits.
std::string classIdOf(const std::vector<char>& presetBytes);
} // namespace tolmar::host
