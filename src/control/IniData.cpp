#include "control/IniData.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
unsigned char asciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c; }

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEndOrBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Hands out the file line by line. A line ends at a line feed or at the end
// of the file; only its first kIniMaxLineLength bytes are kept, the rest of a
// longer line is skipped so that it can never pose as a line of its own.
class LineReader
{
public:
  explicit LineReader(int fd) : fd(fd) {}

  // False at the end of the file. consumed counts every byte of the line,
  // the line feed included.
  bool next(std::string& line, size_t& consumed)
  {
    line.clear();
    consumed = 0;
    for (;;)
    {
      if (pos == len && !refill())
        return consumed > 0;
      const char* start = buffer + pos;
      const size_t avail = len - pos;
      const void* lf = std::memchr(start, '\n', avail);
      const size_t take = lf ? static_cast<size_t>(static_cast<const char*>(lf) - start) + 1 : avail;
      if (line.size() < kIniMaxLineLength)
        line.append(start, std::min(take, kIniMaxLineLength - line.size()));
      pos += take;
      consumed += take;
      if (lf)
        return true;
    }
  }

private:
  bool refill()
  {
    for (;;)
    {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0)
      {
        pos = 0;
        len = static_cast<size_t>(n);
        return true;
      }
      // A read error ends the file like its end does: what was read stands.
      if (n < 0 && errno == EINTR)
        continue;
      return false;
    }
  }

  int fd;
  char buffer[65536];
  size_t pos = 0;
  size_t len = 0;
};
} // namespace

bool IniNameLess::operator()(std::string_view a, std::string_view b) const
{
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
  {
    const unsigned char ca = asciiLower(static_cast<unsigned char>(a[i]));
    const unsigned char cb = asciiLower(static_cast<unsigned char>(b[i]));
    if (ca != cb)
      return ca < cb;
  }
  return a.size() < b.size();
}

void setIniKey(IniKeys& keys, std::string_view key, std::string_view value)
{
  auto it = keys.find(key);
  if (it != keys.end())
  {
    if (it->first == key)
    {
      it->second.assign(value);
      return;
    }
    keys.erase(it);
  }
  keys.emplace(std::string(key), std::string(value));
}

void parseIni(int fd, IniSections& sections)
{
  sections.clear();
  // The reader's buffer is large; keep it off the caller's stack.
  auto reader = std::make_unique<LineReader>(fd);
  std::string line;
  size_t consumed = 0;
  bool seenHeader = false;
  size_t bytesBeforeHeader = 0;
  IniKeys* current = nullptr;

  while (reader->next(line, consumed))
  {
    if (!line.empty() && line[0] == '\0')
      break;
    // Text stops at a zero byte, as everywhere else in the file's readers.
    line.resize(std::strlen(line.c_str()));

    if (!seenHeader)
    {
      bytesBeforeHeader += consumed;
      if (bytesBeforeHeader > kIniMaxBytesBeforeSection)
        break;
    }

    size_t end = line.size();
    while (end > 0 && isLineEndOrBlank(line[end - 1]))
      --end;
    size_t begin = 0;
    while (begin < end && isBlank(line[begin]))
      ++begin;
    const std::string_view text(line.data() + begin, end - begin);

    if (!text.empty() && text[0] == '[')
    {
      const size_t close = text.find(']');
      if (close == std::string_view::npos)
        continue;
      seenHeader = true;
      const std::string_view name = text.substr(1, close - 1);
      if (name.empty())
      {
        current = nullptr;
        continue;
      }
      // A repeated header starts its section afresh: only what follows the
      // last header of a name counts, spelled as that header spells it.
      auto it = sections.find(name);
      if (it != sections.end())
        sections.erase(it);
      current = &sections.emplace(std::string(name), IniKeys{}).first->second;
      continue;
    }

    if (!current)
      continue;
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos)
      continue;
    size_t keyEnd = eq;
    while (keyEnd > 0 && isLineEndOrBlank(text[keyEnd - 1]))
      --keyEnd;
    if (keyEnd == 0)
      continue;
    // Of several equal keys the last one read wins, as a later line in a
    // hand-edited file is what its author meant most recently.
    setIniKey(*current, text.substr(0, keyEnd), text.substr(eq + 1));
  }
}

std::string serializeIni(const IniSections& sections)
{
  std::string text;
  for (const auto& [name, keys] : sections)
  {
    text += '[';
    text += name;
    text += "]\n";
    for (const auto& [key, value] : keys)
    {
      if (key.empty())
        continue;
      text += key;
      text += '=';
      text += value;
      text += '\n';
    }
    text += '\n';
  }
  return text;
}
