#include "control/UserFolders.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace
{
std::string withoutTrailingSlashes(std::string path)
{
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }
} // namespace

std::string userHomeFolder()
{
  if (const char* home = std::getenv("HOME"); home && *home)
    return withoutTrailingSlashes(home);
  // Reentrant lookup: the host may be reading the account database too.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return withoutTrailingSlashes(found->pw_dir);
  return {};
}

std::string userConfigFolder()
{
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    return withoutTrailingSlashes(config);
  const std::string home = userHomeFolder();
  return home.empty() ? std::string() : home + "/.config";
}

// The file is written for the shell: NAME="value" lines where the value is
// "$HOME/..." or an absolute path, with backslash escapes. The last setting
// counts, as it would for the shell.
std::string musicFolderFromUserDirs(const std::string& text, const std::string& home)
{
  static const std::string kName = "XDG_MUSIC_DIR";
  std::string result;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line))
  {
    size_t i = 0;
    while (i < line.size() && isBlank(line[i]))
      ++i;
    if (line.compare(i, kName.size(), kName) != 0)
      continue;
    i += kName.size();
    while (i < line.size() && isBlank(line[i]))
      ++i;
    if (i >= line.size() || line[i] != '=')
      continue;
    ++i;
    while (i < line.size() && isBlank(line[i]))
      ++i;
    if (i >= line.size() || line[i] != '"')
      continue;
    ++i;
    std::string value;
    bool closed = false;
    for (; i < line.size(); ++i)
    {
      if (line[i] == '"')
      {
        closed = true;
        break;
      }
      if (line[i] == '\\' && i + 1 < line.size())
        ++i;
      value += line[i];
    }
    if (!closed)
      continue;
    if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
    {
      if (home.empty())
        continue;
      value = home + value.substr(5);
    }
    else if (value.empty() || value[0] != '/')
      continue;
    result = withoutTrailingSlashes(value);
  }
  return result;
}

std::string userMusicFolder()
{
  const std::string home = userHomeFolder();
  const std::string config = userConfigFolder();
  if (!config.empty())
  {
    std::ifstream file(config + "/user-dirs.dirs", std::ios::binary);
    if (file)
    {
      std::ostringstream text;
      text << file.rdbuf();
      std::string music = musicFolderFromUserDirs(text.str(), home);
      if (!music.empty())
        return music;
    }
  }
  return home.empty() ? std::string() : home + "/Music";
}
