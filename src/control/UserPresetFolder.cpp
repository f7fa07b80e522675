#include "control/UserPresetFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "control/FileReplacement.h"
#include "control/UserFolders.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/StateFormat.h"
#include "params/Utf8Text.h"
#include "params/VstPresetFile.h"

namespace
{
// A state of the first version: seven values, no tag, and the bypass word
// when a host wrote it.
constexpr std::size_t kFirstVersionChunk = 7 * 8;
// Nothing this effect writes comes near it; the rest of a bigger state
// would be ignored anyway.
constexpr std::size_t kMaxComponentState = 4096;

bool endsWith(const std::string& text, const std::string& end)
{
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Characters in well-formed UTF-8 text; nothing when it is not.
std::optional<std::size_t> utf8Length(const std::string& text)
{
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count)
  {
    char32_t codePoint = 0;
    bool whole = false;
    i += Utf8Text::Sequence(text, i, codePoint, whole);
    if (!whole)
      return std::nullopt;
  }
  return count;
}

// By name with letter case aside; names that differ only in case in byte
// order, so that the order never depends on the folder's.
bool lessByName(const UserPresetFolder::Entry& a, const UserPresetFolder::Entry& b)
{
  const auto folded = [](std::string name) {
    for (char& c : name)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return name;
  };
  const std::string x = folded(a.name), y = folded(b.name);
  return x != y ? x < y : a.name < b.name;
}

// The whole file when it is a regular file no larger than the limit.
std::optional<std::vector<char>> readBounded(const std::string& path)
{
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return std::nullopt;
  std::optional<std::vector<char>> result;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
      static_cast<std::size_t>(st.st_size) <= UserPresetFolder::kMaxFileBytes)
  {
    // One byte more than allowed tells a file that grew since fstat.
    std::vector<char> bytes(UserPresetFolder::kMaxFileBytes + 1);
    std::size_t got = 0;
    while (got < bytes.size())
    {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      got += static_cast<std::size_t>(n);
    }
    if (got <= UserPresetFolder::kMaxFileBytes)
    {
      bytes.resize(got);
      result = std::move(bytes);
    }
  }
  ::close(fd);
  return result;
}

bool makeFolders(const std::string& path)
{
  std::string partial;
  std::size_t start = 0;
  while (start <= path.size())
  {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    partial = path.substr(0, end);
    if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
      return false;
    if (slash == std::string::npos)
      break;
    start = slash + 1;
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string UserPresetFolder::defaultFolder()
{
  const std::string home = userHomeFolder();
  return home.empty() ? std::string() : home + "/.vst3/presets/" + ProductIdentity::kPresetSubfolder;
}

UserPresetFolder::UserPresetFolder(std::string folder) : path(std::move(folder)) {}

std::string UserPresetFolder::fileOf(const std::string& name) const
{
  return path + "/" + name + ProductIdentity::kPresetExtension;
}

bool UserPresetFolder::isFactoryName(const std::string& name)
{
  return std::any_of(kFactoryPresets.begin(), kFactoryPresets.end(),
                     [&name](const FactoryPreset& preset) { return name == preset.name; });
}

std::string UserPresetFolder::nameProblem(const std::string& name)
{
  if (name.empty())
    return "A preset needs a name.";
  const std::optional<std::size_t> length = utf8Length(name);
  if (!length)
    return "The name is not valid text.";
  if (*length > kMaxNameLength)
    return "A preset name can have at most " + std::to_string(kMaxNameLength) + " characters.";
  if (name.find('/') != std::string::npos)
    return "A preset name cannot contain a slash (/).";
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "A preset name cannot contain control characters.";
  // The file would be hidden, and the replacement's temporary files are.
  if (name.front() == '.')
    return "A preset name cannot begin with a dot.";
  if (name.find_first_not_of(' ') == std::string::npos)
    return "A preset needs a name.";
  if (isFactoryName(name))
    return "\"" + name + "\" is a factory preset, which cannot be overwritten.";
  return {};
}

std::optional<std::vector<char>> UserPresetFolder::componentStateOf(const char* bytes, std::size_t size)
{
  const std::optional<VstPresetFile::Layout> layout = VstPresetFile::read(bytes, size);
  if (!layout || !layout->componentState)
    return std::nullopt;
  // Another effect's preset, whatever its state looks like.
  const std::string ours = VstPresetFile::classIdText(ProductIdentity::kClassId);
  if (layout->classId.size() != ours.size() ||
      !std::equal(ours.begin(), ours.end(), layout->classId.begin(), [](char a, char b) {
        return a == (b >= 'a' && b <= 'f' ? static_cast<char>(b - 32) : b);
      }))
    return std::nullopt;
  const VstPresetFile::Chunk chunk = *layout->componentState;
  if (chunk.size > kMaxComponentState)
    return std::nullopt;
  const char* state = bytes + chunk.offset;
  const bool tagged = chunk.size >= static_cast<std::size_t>(StateFormat::kChunkSize) &&
                      std::memcmp(state, StateFormat::kTagPrefix, sizeof StateFormat::kTagPrefix - 1) == 0;
  const bool firstVersion = chunk.size == kFirstVersionChunk || chunk.size == kFirstVersionChunk + 4;
  if (!tagged && !firstVersion)
    return std::nullopt;
  return std::vector<char>(state, state + chunk.size);
}

std::vector<UserPresetFolder::Entry> UserPresetFolder::list() const
{
  std::vector<Entry> found;
  if (path.empty())
    return found;
  DIR* dir = ::opendir(path.c_str());
  if (!dir)
    return found;
  const std::string extension = ProductIdentity::kPresetExtension;
  std::size_t examined = 0;
  while (const dirent* entry = ::readdir(dir))
  {
    if (++examined > kMaxExamined || found.size() >= kMaxListed)
      break;
    const std::string file = entry->d_name;
    if (!endsWith(file, extension) || file.size() == extension.size())
      continue;
    const std::string name = file.substr(0, file.size() - extension.size());
    // Factory presets, hidden files and names the menu could not show.
    if (!nameProblem(name).empty())
      continue;
    const std::string full = path + "/" + file;
    const std::optional<std::vector<char>> bytes = readBounded(full);
    if (!bytes || !componentStateOf(bytes->data(), bytes->size()))
      continue;
    found.push_back({name, full});
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end(), lessByName);
  return found;
}

std::optional<std::vector<char>> UserPresetFolder::load(const std::string& name) const
{
  if (path.empty() || !nameProblem(name).empty())
    return std::nullopt;
  const std::optional<std::vector<char>> bytes = readBounded(fileOf(name));
  if (!bytes)
    return std::nullopt;
  return componentStateOf(bytes->data(), bytes->size());
}

bool UserPresetFolder::exists(const std::string& name) const
{
  struct stat st;
  return !path.empty() && nameProblem(name).empty() && ::lstat(fileOf(name).c_str(), &st) == 0;
}

bool UserPresetFolder::save(const std::string& name, const std::vector<char>& componentState, std::string& error) const
{
  error = nameProblem(name);
  if (!error.empty())
    return false;
  if (path.empty())
  {
    error = "There is no home folder to keep presets in.";
    return false;
  }
  if (!makeFolders(path))
  {
    error = "The preset folder could not be made:\n" + path + "\n" + std::strerror(errno);
    return false;
  }
  const std::vector<char> bytes =
      VstPresetFile::write(ProductIdentity::kClassId, componentState,
                           VstPresetFile::metaInfo(name, ProductIdentity::kEffectName, ProductIdentity::kSubCategories));
  FileReplacement replacement(fileOf(name));
  FileIdentity written;
  if (!replacement.acquire() || !replacement.replace(std::string(bytes.begin(), bytes.end()), written))
  {
    const int why = errno;
    error = "The preset could not be written:\n" + fileOf(name);
    if (why)
      error.append("\n").append(std::strerror(why));
    return false;
  }
  return true;
}

bool UserPresetFolder::remove(const std::string& name, std::string& error) const
{
  error = nameProblem(name);
  if (!error.empty())
    return false;
  if (::unlink(fileOf(name).c_str()) != 0 && errno != ENOENT)
  {
    error = "The preset could not be deleted:\n" + fileOf(name) + "\n" + std::strerror(errno);
    return false;
  }
  return true;
}
