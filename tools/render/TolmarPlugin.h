#pragma once
#include "host/HostedPlugin.h"

#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "pluginterfaces/base/funknown.h"

#include <optional>

// What this tool knows about the one effect it hosts, beyond what the VST 3
// interfaces tell: how to find the class and the bundle, where the preset
// names are answered, and how its parameters place the echoes (for the echo
// marks of an impulse plot). The facts come from the product's shared
// headers; the tool still talks to the plug-in only through VST 3.
namespace tolmar::render
{
inline const char* const kClassId = ProductIdentity::kClassId.data();
constexpr const char* kBundleFolderName = ProductIdentity::kBundleFolderName;
// The plug-in's ID in a CLAP module.
constexpr const char* kClapId = ProductIdentity::kClapId;
// The effect answers preset names for this list ID without publishing a list.
constexpr Steinberg::int32 kPresetProgramListId = static_cast<Steinberg::int32>(ParamIDs::kPresetList);

// The delay the current settings make, in seconds, without LFO movement, at
// the given tempo. Nothing when the plug-in does not publish the expected
// parameters.
std::optional<double> echoDelaySeconds(const host::HostedPlugin& plugin, double tempo);

// The plug-in's own parameter with this exact title, or nothing.
const host::ParameterDescription* parameterTitled(const host::HostedPlugin& plugin, const std::string& title);
} // namespace tolmar::render
