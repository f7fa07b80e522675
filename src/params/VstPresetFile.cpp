#include "params/VstPresetFile.h"

#include <cstdint>
#include <cstring>

namespace VstPresetFile
{
namespace
{
constexpr std::size_t kIdSize = 4;
constexpr std::size_t kClassIdSize = 32;
constexpr std::size_t kClassIdPos = kIdSize + 4;
constexpr std::size_t kListOffsetPos = kClassIdPos + kClassIdSize;
constexpr std::size_t kHeaderSize = kListOffsetPos + 8;
constexpr std::size_t kListHeadSize = kIdSize + 4;
constexpr std::size_t kEntrySize = kIdSize + 8 + 8;
constexpr int32_t kFormatVersion = 1;

std::int64_t int64At(const char* p)
{
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<std::int64_t>(v);
}

std::int32_t int32At(const char* p)
{
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<std::int32_t>(v);
}

void putBytes(std::vector<char>& out, const char* data, std::size_t size)
{
  for (std::size_t i = 0; i < size; ++i)
    out.push_back(data[i]);
}

void putLE(std::vector<char>& out, std::uint64_t value, int bytes)
{
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool isHexDigit(char c)
{
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The chunk ID as text for a message; bytes that are not printable show as '?'.
std::string idText(const char* p)
{
  std::string s(p, kIdSize);
  for (char& c : s)
    if (c < 0x20 || c > 0x7E)
      c = '?';
  return s;
}

std::optional<Layout> refuse(std::string* whyNot, const std::string& why)
{
  if (whyNot)
    *whyNot = why;
  return std::nullopt;
}

std::optional<Layout> damaged(std::string* whyNot, const std::string& why)
{
  return refuse(whyNot, "the preset file is damaged: " + why);
}

std::string xmlEscaped(const std::string& text)
{
  std::string out;
  for (char c : text)
  {
    switch (c)
    {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string attribute(const char* id, const std::string& value)
{
  return std::string("\t<Attr id=\"") + id + "\" value=\"" + xmlEscaped(value) +
         "\" type=\"string\" flags=\"writeProtected\"/>\n";
}
} // namespace

std::string classIdText(const std::array<char, 16>& classId)
{
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (char byte : classId)
  {
    const auto b = static_cast<unsigned char>(byte);
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

std::vector<char> write(const std::array<char, 16>& classId, const std::vector<char>& componentState,
                        const std::string& metaInfoXml, const std::vector<char>* controllerState)
{
  struct Entry
  {
    const char* id;
    std::size_t offset;
    std::size_t size;
  };
  std::vector<char> out;
  out.reserve(kHeaderSize + componentState.size() + metaInfoXml.size() + 128);
  putBytes(out, "VST3", kIdSize);
  putLE(out, static_cast<std::uint32_t>(kFormatVersion), 4);
  const std::string id = classIdText(classId);
  putBytes(out, id.data(), id.size());
  putLE(out, 0, 8); // the list's offset, known at the end

  std::vector<Entry> entries;
  auto addChunk = [&](const char* chunkId, const char* data, std::size_t size) {
    entries.push_back({chunkId, out.size(), size});
    putBytes(out, data, size);
  };
  addChunk("Comp", componentState.data(), componentState.size());
  if (controllerState)
    addChunk("Cont", controllerState->data(), controllerState->size());
  if (!metaInfoXml.empty())
    addChunk("Info", metaInfoXml.data(), metaInfoXml.size());

  const std::uint64_t listOffset = out.size();
  for (int i = 0; i < 8; ++i)
    out[kListOffsetPos + static_cast<std::size_t>(i)] = static_cast<char>((listOffset >> (8 * i)) & 0xFF);
  putBytes(out, "List", kIdSize);
  putLE(out, entries.size(), 4);
  for (const Entry& e : entries)
  {
    putBytes(out, e.id, kIdSize);
    putLE(out, e.offset, 8);
    putLE(out, e.size, 8);
  }
  return out;
}

std::string metaInfo(const std::string& presetName, const std::string& plugInName, const std::string& plugInCategory)
{
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n" + attribute("MediaType", "VstPreset") +
         attribute("PlugInName", plugInName) + attribute("PlugInCategory", plugInCategory) +
         attribute("Name", presetName) + "</MetaInfo>\n";
}

std::optional<Layout> read(const char* bytes, std::size_t size, std::string* whyNot)
{
  if (!bytes || size < kHeaderSize || std::memcmp(bytes, "VST3", kIdSize) != 0)
    return refuse(whyNot, "not a VST 3 preset file");

  Layout layout;
  layout.classId.assign(bytes + kClassIdPos, kClassIdSize);
  for (char c : layout.classId)
    if (!isHexDigit(c))
      return damaged(whyNot, "its class ID is not 32 hexadecimal digits");

  // Every comparison is made on sizes that cannot overflow: the file's size
  // minus what precedes, never a position plus a length read from the file.
  const std::int64_t listOffset = int64At(bytes + kListOffsetPos);
  if (listOffset < static_cast<std::int64_t>(kHeaderSize) || static_cast<std::uint64_t>(listOffset) > size - kListHeadSize)
    return damaged(whyNot, "its chunk list lies outside the file");
  const char* list = bytes + listOffset;
  if (std::memcmp(list, "List", kIdSize) != 0)
    return damaged(whyNot, "no chunk list where its header says");
  const std::int32_t count = int32At(list + kIdSize);
  const std::size_t room = (size - static_cast<std::size_t>(listOffset) - kListHeadSize) / kEntrySize;
  if (count < 0)
    return damaged(whyNot, "its chunk list has a negative number of entries");
  if (static_cast<std::uint64_t>(count) > room)
    return damaged(whyNot, "its chunk list (" + std::to_string(count) + " entries) runs past the end of the file");
  if (count == 0)
    return refuse(whyNot, "not a VST 3 preset file (its chunk list is empty)");

  for (std::int32_t i = 0; i < count; ++i)
  {
    const char* entry = list + kListHeadSize + static_cast<std::size_t>(i) * kEntrySize;
    const std::int64_t offset = int64At(entry + kIdSize);
    const std::int64_t length = int64At(entry + kIdSize + 8);
    if (offset < 0 || length < 0 || static_cast<std::uint64_t>(offset) > size ||
        static_cast<std::uint64_t>(length) > size - static_cast<std::uint64_t>(offset))
      return damaged(whyNot, "chunk '" + idText(entry) + "' (offset " + std::to_string(offset) + ", size " +
                                 std::to_string(length) + ") lies outside the file of " + std::to_string(size) +
                                 " bytes");
    const Chunk chunk{static_cast<std::size_t>(offset), static_cast<std::size_t>(length)};
    // Where a kind appears twice, the first entry counts.
    if (std::memcmp(entry, "Comp", kIdSize) == 0 && !layout.componentState)
      layout.componentState = chunk;
    else if (std::memcmp(entry, "Cont", kIdSize) == 0 && !layout.controllerState)
      layout.controllerState = chunk;
    else if (std::memcmp(entry, "Info", kIdSize) == 0 && !layout.metaInfo)
      layout.metaInfo = chunk;
  }
  return layout;
}
} // namespace VstPresetFile
