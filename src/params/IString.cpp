#include "params/IString.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "params/CLocale.h"

void IString::SetFormatted(int maxLen, const char* format, ...)
{
  if (maxLen < 0)
    maxLen = 0;
  char small[64];
  std::vector<char> large;
  char* out = small;
  if (static_cast<size_t>(maxLen) + 1 > sizeof small)
  {
    large.resize(static_cast<size_t>(maxLen) + 1);
    out = large.data();
  }
  va_list args;
  va_start(args, format);
  const int written = CLocale::FormatV(out, static_cast<size_t>(maxLen) + 1, format, args);
  va_end(args);
  if (written < 0)
    out[0] = '\0';
  value.assign(out);
}
