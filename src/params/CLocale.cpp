#include "params/CLocale.h"

#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace CLocale
{
namespace
{
locale_t cLocale()
{
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}
// Made when the module loads, so that no call on the audio thread makes it.
// Where the C library cannot give one (it always can for "C"), the
// process's locale is used.
[[maybe_unused]] const bool cLocaleMade = cLocale() != static_cast<locale_t>(0);

// The C locale for this thread while it lives; uselocale only swaps a
// per-thread pointer, it neither allocates nor calls the system.
class ThreadLocale
{
public:
  ThreadLocale() : previous(cLocale() ? uselocale(cLocale()) : static_cast<locale_t>(0)) {}
  ~ThreadLocale()
  {
    if (previous)
      uselocale(previous);
  }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
  locale_t previous;
};
} // namespace

int FormatV(char* out, size_t size, const char* format, va_list args)
{
  ThreadLocale c;
  return std::vsnprintf(out, size, format, args);
}

int Format(char* out, size_t size, const char* format, ...)
{
  va_list args;
  va_start(args, format);
  const int written = FormatV(out, size, format, args);
  va_end(args);
  return written;
}

double ReadNumber(const char* text, const char** end)
{
  char* stop = nullptr;
  const double value = cLocale() ? strtod_l(text, &stop, cLocale()) : std::strtod(text, &stop);
  if (end)
    *end = stop;
  return value;
}
} // namespace CLocale
