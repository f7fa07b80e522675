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

// A preset file of a component state as getState wrote it, with a
// meta-information chunk (the XML that hosts read name and category; left
// out when empty) and, when given, a controller state.
std::vector<char> presetFile(const Steinberg::TUID classId, const std::vector<char>& componentState,
                             const std::string& metaInfoXml, const std::vector<char>* controllerState = nullptr);
// The meta-information XML for a preset of the given name.
std::string presetMetaInfo(const std::string& presetName, const std::string& plugInName,
                           const std::string& plugInCategory);

// The component-state chunk of a preset file; nothing when there is none.
// For tests and diagnostics: it reads the file, not the plug-in.
std::vector<char> componentStateOf(const std::vector<char>& presetBytes);
// The meta-information XML of a preset file; empty when there is none.
std::string metaInfoOf(const std::vector<char>& presetBytes);
// The class ID a preset file was made for, as 32 hexadecimal digits.
std::string classIdOf(const std::vector<char>& presetBytes);
} // namespace tolmar::host
