#include "control/PrivateProfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "control/FileReplacement.h"
#include "control/IniData.h"

namespace
{
constexpr int kCacheSlots = 32;
constexpr size_t kMaxSectionEntry = 8191;

struct IniFileContext
{
  uint64_t lastUse = 0;
  FileIdentity identity;
  bool inUse = false;
  std::string path;
  IniSections sections;
};

std::mutex s_mutex;
IniFileContext s_ctxs[kCacheSlots];
uint64_t acc_cnt = 0;

bool endsWithIni(std::string_view name)
{
  if (name.size() < 4)
    return false;
  const std::string_view tail = name.substr(name.size() - 4);
  return !IniNameLess{}(tail, ".ini") && !IniNameLess{}(".ini", tail);
}

std::string resolveProfilePath(const std::string& name)
{
  if (name.find('/') != std::string::npos)
    return name;
  const char* home = std::getenv("HOME");
  std::string base = std::string(home && *home ? home : "/tmp") + "/.privateprofile.ini";
  if (name.empty())
    return base;
  const size_t separator = base.find_last_of("/\\");
  const size_t dot = base.rfind('.');
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
    base.erase(dot);
  base += '_';
  base += name;
  if (!endsWithIni(name))
    base += ".ini";
  return base;
}

// Under s_mutex. The slot that holds path, else a free one, else the one
// used longest ago.
IniFileContext& slotFor(const std::string& path)
{
  for (IniFileContext& ctx : s_ctxs)
    if (ctx.inUse && ctx.path == path)
      return ctx;
  for (IniFileContext& ctx : s_ctxs)
    if (!ctx.inUse)
      return ctx;
  IniFileContext* oldest = &s_ctxs[0];
  for (IniFileContext& ctx : s_ctxs)
    if (ctx.lastUse < oldest->lastUse)
      oldest = &ctx;
  return *oldest;
}

void lockFile(int fd, int operation)
{
  while (::flock(fd, operation) != 0 && errno == EINTR)
  {
  }
}

// Under s_mutex. The parsed contents of path, read again when the file on
// disk is no longer the one that was read.
IniFileContext& getFileContext(const std::string& path)
{
  IniFileContext& ctx = slotFor(path);
  ctx.lastUse = ++acc_cnt;
  if (ctx.inUse && ctx.path == path && FileIdentity::ofPath(path) == ctx.identity)
    return ctx;

  ctx.sections.clear();
  ctx.path = path;
  ctx.inUse = true;
  ctx.identity = {};
  // Not blocking: a FIFO or device under the file's name must not hang the
  // host's main thread. Only regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    return ctx;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
  {
    lockFile(fd, LOCK_SH);
    try
    {
      parseIni(fd, ctx.sections);
    }
    catch (...)
    {
      ctx.sections.clear();
      ::close(fd);
      throw;
    }
    if (::fstat(fd, &st) == 0)
      ctx.identity = FileIdentity::of(st);
    lockFile(fd, LOCK_UN);
  }
  ::close(fd);
  return ctx;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// What a writer accepts is what the parser reads back unchanged: a line break
// would start a line of its own (a forged key or section), and "=" in a key,
// "]" in a section name or blanks around a key would move the boundaries.
bool isWritableSection(std::string_view name) { return !name.empty() && !hasLineBreak(name) && name.find(']') == std::string_view::npos; }
bool isWritableKey(std::string_view key)
{
  return !key.empty() && !hasLineBreak(key) && key.find('=') == std::string_view::npos && key[0] != '[' &&
         !isBlank(key.front()) && !isBlank(key.back());
}
bool isWritableValue(std::string_view value) { return !hasLineBreak(value); }

std::string_view trimmedValue(std::string_view value)
{
  size_t begin = 0, end = value.size();
  while (begin < end && isBlank(value[begin]))
    ++begin;
  while (end > begin && isBlank(value[end - 1]))
    --end;
  value = value.substr(begin, end - begin);
  if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

int copyText(std::string_view text, char* out, int outSize)
{
  if (!out || outSize <= 0)
    return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(outSize) - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<int>(n);
}

// A list of zero-ended strings, cut to leave room for two closing zeros.
int copyList(const std::string& list, char* out, int outSize)
{
  if (!out || outSize <= 0)
    return 0;
  if (outSize == 1)
  {
    out[0] = '\0';
    return 0;
  }
  const size_t n = std::min(list.size(), static_cast<size_t>(outSize) - 2);
  std::memcpy(out, list.data(), n);
  out[n] = '\0';
  out[n + 1] = '\0';
  return static_cast<int>(n);
}

// False when the section or key is missing.
bool findValue(const IniSections& sections, std::string_view section, std::string_view key, std::string_view& value)
{
  const auto s = sections.find(section);
  if (s == sections.end())
    return false;
  const auto k = s->second.find(key);
  if (k == s->second.end())
    return false;
  value = k->second;
  return true;
}

int readValue(const IniSections& sections, const char* section, const char* key, const char* defaultValue, char* out,
              int outSize)
{
  std::string_view value;
  if (!findValue(sections, section, key, value))
    value = defaultValue ? defaultValue : "";
  return copyText(trimmedValue(value), out, outSize);
}

// The names of all sections (null section) or of one section's keys, each
// ended by a zero byte.
std::string listNames(const IniSections& sections, const char* section)
{
  std::string list;
  auto add = [&list](const std::string& name) {
    if (!name.empty())
      list.append(name).push_back('\0');
  };
  if (!section)
  {
    for (const auto& entry : sections)
      add(entry.first);
  }
  else if (const auto s = sections.find(std::string_view(section)); s != sections.end())
  {
    for (const auto& entry : s->second)
      add(entry.first);
  }
  return list;
}

// The edits themselves. Each returns whether it changed the sections.
bool applyWriteString(IniSections& sections, const std::string& section, const std::string* key, const std::string* value)
{
  auto s = sections.find(section);
  if (!key)
  {
    if (s == sections.end())
      return false;
    sections.erase(s);
    return true;
  }
  if (!value)
  {
    if (s == sections.end())
      return false;
    const auto k = s->second.find(*key);
    if (k == s->second.end())
      return false;
    s->second.erase(k);
    return true;
  }
  if (s == sections.end())
  {
    sections[section].emplace(*key, *value);
    return true;
  }
  const auto k = s->second.find(*key);
  if (k != s->second.end() && k->second == *value)
    return false;
  setIniKey(s->second, *key, *value);
  return true;
}

bool applyWriteSection(IniSections& sections, const std::string& section, const std::vector<std::string>& entries)
{
  auto s = sections.find(section);
  if (s == sections.end())
  {
    if (entries.empty())
      return false;
    s = sections.emplace(section, IniKeys{}).first;
  }
  else
    s->second.clear();
  for (const std::string& entry : entries)
  {
    const std::string_view text = std::string_view(entry).substr(0, kMaxSectionEntry);
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos)
      continue;
    const std::string_view key = text.substr(0, eq), value = text.substr(eq + 1);
    if (isWritableKey(key) && isWritableValue(value))
      setIniKey(s->second, key, value);
  }
  return true;
}
} // namespace

void PrivateProfileBatch::WriteString(const char* section, const char* key, const char* value)
{
  Edit edit;
  edit.hasSection = section != nullptr;
  edit.section = section ? section : "";
  edit.hasKey = key != nullptr;
  edit.key = key ? key : "";
  edit.hasValue = value != nullptr;
  edit.value = value ? value : "";
  edits.push_back(std::move(edit));
}

void PrivateProfileBatch::WriteSection(const char* section, const char* data)
{
  Edit edit;
  edit.wholeSection = true;
  edit.hasSection = section != nullptr;
  edit.section = section ? section : "";
  if (data)
    for (const char* entry = data; *entry; entry += std::strlen(entry) + 1)
      edit.entries.emplace_back(entry);
  edits.push_back(std::move(edit));
}

bool PrivateProfileBatch::Commit()
{
  for (const Edit& edit : edits)
  {
    if (!edit.hasSection)
      return false;
    // Any name can be deleted; only what is written must read back as written.
    const bool writes = edit.wholeSection || (edit.hasKey && edit.hasValue);
    if (writes ? !isWritableSection(edit.section) : edit.section.empty())
      return false;
    if (edit.wholeSection)
      continue;
    if (edit.hasKey && edit.key.empty())
      return false;
    if (edit.hasKey && edit.hasValue && (!isWritableKey(edit.key) || !isWritableValue(edit.value)))
      return false;
  }

  std::lock_guard<std::mutex> lock(s_mutex);
  const std::string path = resolveProfilePath(file);
  FileReplacement replacement(path);
  const bool locked = replacement.acquire();
  // Read after taking the lock, so that this write builds on the newest file.
  IniFileContext& ctx = getFileContext(path);
  IniSections updated = ctx.sections;
  bool changed = false;
  for (const Edit& edit : edits)
  {
    if (edit.wholeSection)
      changed |= applyWriteSection(updated, edit.section, edit.entries);
    else
      changed |= applyWriteString(updated, edit.section, edit.hasKey ? &edit.key : nullptr,
                                  edit.hasValue ? &edit.value : nullptr);
  }
  if (!changed)
  {
    replacement.discard();
    return true;
  }
  // The cache takes the change only once it is on disk, so that it never
  // shows what the file does not hold.
  FileIdentity written;
  if (!locked || !replacement.replace(serializeIni(updated), written))
    return false;
  ctx.sections = std::move(updated);
  ctx.identity = written;
  return true;
}

int GetPrivateProfileString(const char* section, const char* key, const char* defaultValue, char* out, int outSize,
                            const char* file)
{
  std::lock_guard<std::mutex> lock(s_mutex);
  const IniFileContext& ctx = getFileContext(resolveProfilePath(file ? file : ""));
  if (!section || !key)
    return copyList(listNames(ctx.sections, section), out, outSize);
  return readValue(ctx.sections, section, key, defaultValue, out, outSize);
}

PrivateProfileSnapshot::PrivateProfileSnapshot(const char* file)
{
  std::lock_guard<std::mutex> lock(s_mutex);
  sections = getFileContext(resolveProfilePath(file ? file : "")).sections;
}

int PrivateProfileSnapshot::GetString(const char* section, const char* key, const char* defaultValue, char* out,
                                      int outSize) const
{
  if (!section || !key)
    return copyList(listNames(sections, section), out, outSize);
  return readValue(sections, section, key, defaultValue, out, outSize);
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file)
{
  PrivateProfileBatch batch(file);
  batch.WriteString(section, key, value);
  return batch.Commit();
}

bool WritePrivateProfileSection(const char* section, const char* data, const char* file)
{
  PrivateProfileBatch batch(file);
  batch.WriteSection(section, data);
  return batch.Commit();
}

int GetPrivateProfileSection(const char* section, char* out, int outSize, const char* file)
{
  std::lock_guard<std::mutex> lock(s_mutex);
  const IniFileContext& ctx = getFileContext(resolveProfilePath(file ? file : ""));
  std::string list;
  if (section)
  {
    if (const auto s = ctx.sections.find(std::string_view(section)); s != ctx.sections.end())
      for (const auto& [k, v] : s->second)
      {
        if (k.empty())
          continue;
        list.append(k).append("=").append(trimmedValue(v)).push_back('\0');
      }
  }
  return copyList(list, out, outSize);
}

int GetPrivateProfileInt(const char* section, const char* key, int defaultValue, const char* file)
{
  char text[512];
  if (GetPrivateProfileString(section, key, "", text, sizeof text, file) == 0)
    return defaultValue;
  const long n = std::strtol(text, nullptr, 10);
  const int value = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
  return value != 0 || text[0] == '0' ? value : defaultValue;
}

bool WritePrivateProfileStruct(const char* section, const char* key, const void* data, int size, const char* file)
{
  if (!section || size < 0)
    return false;
  if (!key || !data)
    return WritePrivateProfileString(section, key, nullptr, file);
  static const char kHex[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::string text;
  text.reserve(static_cast<size_t>(size) * 2 + 2);
  unsigned char sum = 0;
  for (int i = 0; i < size; ++i)
  {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 15];
    sum = static_cast<unsigned char>(sum + bytes[i]);
  }
  text += kHex[sum >> 4];
  text += kHex[sum & 15];
  return WritePrivateProfileString(section, key, text.c_str(), file);
}

bool GetPrivateProfileStruct(const char* section, const char* key, void* out, int size, const char* file)
{
  if (!section || !key || size < 0 || (!out && size > 0))
    return false;
  std::string value;
  {
    std::lock_guard<std::mutex> lock(s_mutex);
    const IniFileContext& ctx = getFileContext(resolveProfilePath(file ? file : ""));
    std::string_view found;
    if (!findValue(ctx.sections, section, key, found))
      return false;
    value = trimmedValue(found);
  }
  if (value.size() != static_cast<size_t>(size) * 2 + 2)
    return false;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    return -1;
  };
  std::vector<unsigned char> bytes(static_cast<size_t>(size) + 1);
  unsigned char sum = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
  {
    const int high = digit(value[2 * i]), low = digit(value[2 * i + 1]);
    if (high < 0 || low < 0)
      return false;
    bytes[i] = static_cast<unsigned char>(high * 16 + low);
    if (i < static_cast<size_t>(size))
      sum = static_cast<unsigned char>(sum + bytes[i]);
  }
  if (bytes.back() != sum)
    return false;
  if (size > 0)
    std::memcpy(out, bytes.data(), static_cast<size_t>(size));
  return true;
}

void ClearPrivateProfileCache()
{
  std::lock_guard<std::mutex> lock(s_mutex);
  for (IniFileContext& ctx : s_ctxs)
    ctx = IniFileContext{};
  acc_cnt = 0;
}
