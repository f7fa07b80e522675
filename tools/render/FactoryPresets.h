#pragma once
#include "params/ProductFacts/FactoryPresets.h"

#include <optional>
#include <string>

namespace tolmar::render
{
// The effect offers its presets' names only, so the values come from the
// product's preset table (the same one the plug-in and its preset files are
// made from) and reach the plug-in as a state chunk through
// IComponent::setState, the way a DAW restores a project.

// A preset by its index ("0" to "9") or its name, ignoring case.
std::optional<int> findFactoryPreset(const std::string& nameOrIndex);
} // namespace tolmar::render
