#include "control/TolmarConfig.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "control/PrivateProfile.h"
#include "control/UserFolders.h"
#include "params/CLocale.h"

namespace
{
constexpr const char* kFolderName = "TolmarMusic";
constexpr const char* kFileName = "/tolmardelay.ini";
constexpr const char* kMidiSection = "MIDI Control";
constexpr const char* kEditorSection = "Editor";
constexpr mode_t kFolderMode = 0774;
constexpr mode_t kFileMode = 0666;

// Makes the folder with exactly kFolderMode. The Music folder above it is
// made too when missing (with the usual permissions), as a desktop would have
// made it, so that a fresh account still keeps its settings.
void makeConfigFolder(const std::string& folder)
{
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
    ::mkdir(folder.substr(0, slash).c_str(), 0777);
  if (::mkdir(folder.c_str(), kFolderMode) != 0)
    return;
  // mkdir applies the file-creation mask; changing the mask itself would
  // race with the host's other threads, so the mode is set afterwards.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0)
  {
    ::fchmod(fd, kFolderMode);
    ::close(fd);
  }
}

bool copyBytes(int from, int to)
{
  char buffer[65536];
  for (;;)
  {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      return true;
    for (ssize_t done = 0; done < n;)
    {
      const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR)
        continue;
      if (w <= 0)
        return false;
      done += w;
    }
  }
}

// The earlier file, open for reading, or -1.
int openEarlierFile()
{
  const std::string earlier = earlierConfigFilePath();
  if (earlier.empty())
    return -1;
  const int fd = ::open(earlier.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)))
  {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Creates path as an empty file, or with the bytes of source when it is
// given. False when the file could not be made; true also when another
// process made it first, as its file is then just as good.
bool createFileDirectly(const std::string& path, int source)
{
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
  if (fd < 0)
    return errno == EEXIST;
  ::fchmod(fd, kFileMode);
  bool ok = true;
  if (source >= 0)
    ok = ::lseek(source, 0, SEEK_SET) == 0 && copyBytes(source, fd) && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok)
    ::unlink(path.c_str());
  return ok;
}

// The copy is made under a private name and then linked into place, so
// that no reader, and no other instance starting at the same moment, ever
// finds a half-copied file, and a file that appeared meanwhile is never
// overwritten.
bool createMigratedFile(const std::string& path, int source)
{
  const size_t slash = path.rfind('/');
  std::string temp = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0)
    return createFileDirectly(path, source);
  const bool copied = ::fchmod(fd, kFileMode) == 0 && copyBytes(source, fd) && ::fsync(fd) == 0;
  ::close(fd);
  if (!copied)
  {
    ::unlink(temp.c_str());
    return false;
  }
  const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
  const int linkError = errno;
  ::unlink(temp.c_str());
  if (linked || linkError == EEXIST)
    return true;
  // File systems without hard links: create the file in place instead.
  return createFileDirectly(path, source);
}
} // namespace

bool configFileExists(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string configFolderPath()
{
  const std::string music = userMusicFolder();
  return music.empty() ? std::string() : music + "/" + kFolderName;
}

std::string earlierConfigFilePath()
{
  const std::string config = userConfigFolder();
  return config.empty() ? std::string() : config + "/" + kFolderName + kFileName;
}

bool prepareConfigFile(std::string& iniPath)
{
  iniPath.clear();
  const std::string folder = configFolderPath();
  if (folder.empty())
    return false;
  if (!configFileExists(folder))
    makeConfigFolder(folder);
  iniPath = folder + kFileName;
  if (configFileExists(iniPath))
    return true;

  const int earlier = openEarlierFile();
  // The earlier file stays where it is: an older version of the effect may
  // still be installed and read it.
  const bool created = earlier >= 0 ? createMigratedFile(iniPath, earlier) : createFileDirectly(iniPath, -1);
  if (earlier >= 0)
    ::close(earlier);
  return created;
}

void readConfig(const std::string& iniPath, int32_t (&midiCCMap)[kConfigControllers], float& editorScale)
{
  const PrivateProfileSnapshot file(iniPath.c_str());
  for (int c = 0; c < kConfigControllers; ++c)
  {
    char key[16];
    std::snprintf(key, sizeof key, "CC%d", c);
    char text[64];
    if (file.GetString(kMidiSection, key, "-1", text, sizeof text) == 0)
      continue;
    const long n = std::strtol(text, nullptr, 10);
    // Text that is no number unbinds; so does a number beyond 32 bits, which
    // would otherwise wrap around to some parameter's index.
    if ((n == 0 && text[0] != '0') || n < INT32_MIN || n > INT32_MAX)
      midiCCMap[c] = -1;
    else
      midiCCMap[c] = static_cast<int32_t>(n);
  }

  char text[1023];
  if (file.GetString(kEditorSection, "Scale", "", text, sizeof text) == 0)
  {
    editorScale = 0.5f;
    return;
  }
  // Not a number reads as 0 (the editor then opens at its smallest scale);
  // a number beyond single precision is limited to it.
  const double scale = CLocale::ReadNumber(text);
  editorScale = std::isnan(scale) ? 0.0f : static_cast<float>(std::fmax(-FLT_MAX, std::fmin(FLT_MAX, scale)));
}

bool writeConfig(const std::string& iniPath, const int32_t (&midiCCMap)[kConfigControllers], float scale)
{
  if (iniPath.empty())
    return false;
  PrivateProfileBatch batch(iniPath.c_str());
  batch.WriteSection(kMidiSection, "");
  for (int c = 0; c < kConfigControllers; ++c)
  {
    if (midiCCMap[c] < 0)
      continue;
    char key[16], value[16];
    std::snprintf(key, sizeof key, "CC%d", c);
    std::snprintf(value, sizeof value, "%i", midiCCMap[c]);
    batch.WriteString(kMidiSection, key, value);
  }
  char value[512];
  CLocale::Format(value, sizeof value, "%f", static_cast<double>(scale));
  batch.WriteString(kEditorSection, "Scale", value);
  return batch.Commit();
}
