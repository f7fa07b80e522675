#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tolmar::render
{
// The effect's ten factory presets. The plug-in offers their names only, so
// the values live here and reach the plug-in as a state chunk through
// IComponent::setState, the way a DAW restores a project.
struct FactoryPreset
{
    const char* name;
    // Range, Time, Feedback, LFOSpeed, LFO Depth, Mix, Quality,
    // Delay Sync to Host, LFO Sync to Host, in plain units.
    std::array<double, 9> values;
};

const std::array<FactoryPreset, 10>& factoryPresets();

// A preset by its index ("0" to "9") or its name, ignoring case.
std::optional<int> findFactoryPreset(const std::string& nameOrIndex);

// The component state the effect stores: the 31-byte tag, the nine values as
// little-endian doubles, then the bypass word as a little-endian int32.
std::vector<char> componentStateFor(const FactoryPreset& preset, bool bypass = false);
} // namespace tolmar::render
