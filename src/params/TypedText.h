#pragma once
#include <cstddef>
#include <string_view>

// Pieces for reading a value a user typed into a host's field or a command
// line: blanks, letter case, numbers and units. Locale-independent, so "0.5"
// reads the same whatever the host set; never reads past the view given.
namespace TypedText
{
// Longest text, in bytes after trimming, that can stand for a value. Anything
// longer is refused before it is looked at further.
inline constexpr size_t kMaxLength = 64;

std::string_view Trimmed(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The whole text as one finite number ("0.4", "-20", "+1e-3"); nothing else,
// not even surrounding blanks.
bool ParseNumber(std::string_view text, double& number);

// A number followed by the unit, with or without blanks between them and in
// any letter case ("40%", "40 %", "0.15 hz"). The unit is required.
bool ParseNumberWithUnit(std::string_view text, std::string_view unit, double& number);

// Two numbers with a separator between them and optional blanks around it
// ("16-125", "67 : 33"). Neither number may carry a sign: the separator
// could otherwise be taken for one.
bool ParseNumberPair(std::string_view text, char separator, double& first, double& second);
} // namespace TypedText
