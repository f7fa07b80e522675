#pragma once
#include "pluginterfaces/vst/vsttypes.h"

#include <string>

namespace tolmar::host
{
// Text conversion at the interface: the plug-in speaks UTF-16, the command
// line UTF-8. Invalid sequences become U+FFFD rather than being dropped.
std::string toUtf8(const Steinberg::Vst::TChar* text, size_t maxLength = 128);
// Writes at most 127 characters and a terminator into a String128.
void toString128(const std::string& utf8, Steinberg::Vst::String128 out);
} // namespace tolmar::host
