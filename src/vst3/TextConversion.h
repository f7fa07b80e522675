#pragma once
#include <cstddef>
#include <string>

// Conversions between the instance's 8-bit texts (UTF-8) and the host's
// UTF-16 texts. Main thread only: the 8-bit results are heap strings.
namespace TextConversion
{
// Writes at most destChars - 1 UTF-16 code units and a terminator. Bytes that
// are not valid UTF-8 are taken as Latin-1, so every 8-bit text survives.
void ToUTF16(const char* text, char16_t* dest, size_t destChars);

// Reads at most maxChars code units, stopping at a terminator. Unpaired
// surrogates become U+FFFD.
std::string ToUTF8(const char16_t* text, size_t maxChars);
} // namespace TextConversion
