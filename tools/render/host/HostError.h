#pragma once
#include <stdexcept>
#include <string>

namespace tolmar::host
{
// A failure on the host's side of the plug-in boundary, worded for the
// person at the command line: what could not be done, and why. It is thrown
// only by host code, never through a call that the plug-in makes into the
// host.
class HostError : public std::runtime_error
{
public:
    explicit HostError(const std::string& what) : std::runtime_error(what) {}
};
} // namespace tolmar::host
