#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The .vstpreset file format, without any plug-in SDK: a header with the
// class ID, chunks of data, and a chunk list at the end that says where each
// chunk lies. Hosts and the editor share these files, so the one writer and
// the one reader of the project live here.
//
//   "VST3", int32 version 1, the class ID as 32 hexadecimal digits, int64
//   offset of the chunk list; the chunks; "List", int32 count, then per
//   entry a four-letter ID, int64 offset, int64 size. All little-endian.
namespace VstPresetFile
{
struct Chunk
{
  std::size_t offset = 0;
  std::size_t size = 0;
};

struct Layout
{
  std::string classId; // 32 hexadecimal digits as the file writes them
  std::optional<Chunk> componentState;
  std::optional<Chunk> controllerState;
  std::optional<Chunk> metaInfo; // the XML hosts read name and category from
};

// The class ID as the file writes it: each of the 16 bytes as two upper-case
// hexadecimal digits, in order.
std::string classIdText(const std::array<char, 16>& classId);

// A whole file: the component state (the plug-in's state followed by
// whatever else its getState writes), an optional controller state and
// the meta-information XML (omitted when empty).
std::vector<char> write(const std::array<char, 16>& classId, const std::vector<char>& componentState,
                        const std::string& metaInfoXml, const std::vector<char>* controllerState = nullptr);

// The meta-information XML hosts show a preset's name from.
std::string metaInfo(const std::string& presetName, const std::string& plugInName, const std::string& plugInCategory);

// Reads the layout without trusting any of it: every chunk handed out lies
// inside the bytes given. Nothing, with a reason a user can act on in
// whyNot, when the bytes are not a preset file or are damaged.
std::optional<Layout> read(const char* bytes, std::size_t size, std::string* whyNot = nullptr);
} // namespace VstPresetFile
