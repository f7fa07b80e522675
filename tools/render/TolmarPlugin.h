#pragma once
#include "host/HostedPlugin.h"

#include "pluginterfaces/base/funknown.h"

#include <optional>

// What this tool knows about the one effect it hosts, beyond what the VST 3
// interfaces tell: how to find the class and the bundle, where the preset
// names are answered, and how its parameters set the delay (for the tail
// and the echo marks of an impulse plot).
namespace tolmar::render
{
// F2AEE70D 00DE4F4E 546F6C6D 746C6364, each word most significant byte first.
extern const Steinberg::TUID kClassId;
constexpr const char* kBundleFolderName = "Tolmar Charge Chain Delay.vst3";
// The effect answers preset names for this list ID without publishing a list.
constexpr Steinberg::int32 kPresetProgramListId = 65537;
// The longest delay the effect can make, in seconds.
constexpr double kLongestDelaySeconds = 2.0;

// The delay the current settings make, in seconds, without LFO movement,
// and the longest the LFO can stretch it to (the top of the current range).
// Nothing when the plug-in does not publish the expected parameters.
struct DelayEstimate
{
    double nominalSeconds = 0;
    double longestSeconds = 0;
};
std::optional<DelayEstimate> estimateDelay(const host::HostedPlugin& plugin, double tempo);

// The plug-in's own parameter with this exact title, or nothing.
const host::ParameterDescription* parameterTitled(const host::HostedPlugin& plugin, const std::string& title);
} // namespace tolmar::render
