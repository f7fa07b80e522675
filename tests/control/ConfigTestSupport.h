#pragma once
#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <algorithm>
#include <vector>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "control/PrivateProfile.h"

// A fresh home folder for each test: HOME and XDG_CONFIG_HOME point into
// it, the INI cache starts empty, and everything is put back afterwards.
class ConfigHomeTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    savedHome = get("HOME");
    savedConfig = get("XDG_CONFIG_HOME");
    std::string pattern = (std::filesystem::temp_directory_path() / "tolmar-config-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home = pattern;
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ClearPrivateProfileCache();
  }

  void TearDown() override
  {
    ClearPrivateProfileCache();
    restore("HOME", savedHome);
    restore("XDG_CONFIG_HOME", savedConfig);
    std::error_code ignored;
    std::filesystem::permissions(home, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(home, ignored);
  }

  std::string path(const std::string& relative) const { return home + "/" + relative; }

  static void writeFile(const std::string& file, const std::string& bytes)
  {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  static std::string readFile(const std::string& file)
  {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static mode_t modeOf(const std::string& file)
  {
    struct stat st;
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  static ino_t inodeOf(const std::string& file)
  {
    struct stat st;
    return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  static std::string value(const char* section, const char* key, const std::string& file, const char* def = "")
  {
    char out[4096];
    GetPrivateProfileString(section, key, def, out, sizeof out, file.c_str());
    return out;
  }

  std::string home;

private:
  static std::optional<std::string> get(const char* name)
  {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& v)
  {
    if (v)
      ::setenv(name, v->c_str(), 1);
    else
      ::unsetenv(name);
  }

  std::optional<std::string> savedHome, savedConfig;
};

// Sets the file-creation mask for one scope.
class ScopedUmask
{
public:
  explicit ScopedUmask(mode_t mask) : previous(::umask(mask)) {}
  ~ScopedUmask() { ::umask(previous); }

private:
  mode_t previous;
};
