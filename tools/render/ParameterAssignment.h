#pragma once
#include "host/HostedPlugin.h"

#include <string>

namespace tolmar::render
{
struct ResolvedAssignment
{
    const host::ParameterDescription* parameter = nullptr;
    double normalized = 0;
};

// Finds a parameter by its title (exactly, else ignoring case and blanks,
// else by its numeric ID). Throws Failure naming the problem: unknown, or
// more than one parameter by that title.
const host::ParameterDescription& findParameter(const host::HostedPlugin& plugin, const std::string& name);

// Turns NAME=VALUE into the parameter and its normalised value, asking the
// plug-in for every conversion:
// - a number is a plain value in the parameter's own units and must lie
//   within its range (and on a step, for a stepped parameter);
// - anything else is read by the plug-in the way it reads a host's text
//   field: a text it shows, in any letter case, its unit left out or spaced
//   ("Wet", "ON", "16-125", "67:33", "40 %", "1/4T"); a text that no value
//   within the range shows ("200%") is not one.
// Throws Failure when the value is out of range or not readable.
ResolvedAssignment resolveAssignment(const host::HostedPlugin& plugin, const std::string& name,
                                     const std::string& value);

// "0 .. 1", or the texts of a stepped parameter: "1-8, 4-31, 16-125, ...".
std::string describeRange(const host::HostedPlugin& plugin, const host::ParameterDescription& p);
} // namespace tolmar::render
