#pragma once
#include <clocale>
#include <string>

#include <gtest/gtest.h>

// The locale a German desktop gives its programs, with a decimal comma, as
// hosts set it for the whole process before they load plug-ins. The test
// set-up installs it (scripts/install-deps.sh).
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

// Switches the process to a locale for its lifetime and back after.
class ScopedLocale
{
public:
  explicit ScopedLocale(const char* name) : previous(std::setlocale(LC_ALL, nullptr))
  {
    ok = std::setlocale(LC_ALL, name) != nullptr;
    EXPECT_TRUE(ok) << "the locale " << name << " is not installed (scripts/install-deps.sh makes it)";
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, previous.c_str()); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

  bool ok = false;

private:
  std::string previous;
};
