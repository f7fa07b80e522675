#pragma once
#include <cstdarg>
#include <cstddef>

// Numbers written and read the same whatever locale the process runs in.
// Hosts set the user's locale before they load plug-ins, and with it a
// decimal comma; texts the plug-in shows, files it writes and numbers it
// reads back must not follow it.
namespace CLocale
{
// snprintf in the C locale.
int Format(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int FormatV(char* out, size_t size, const char* format, va_list args);

// strtod in the C locale: the number at the start of text, 0 where there is
// none; end (when not null) is set past what was read.
double ReadNumber(const char* text, const char** end = nullptr);
} // namespace CLocale
