#include "PresetReader.h"

#include "HostError.h"

#include <cstdint>
#include <cstring>

namespace tolmar::host
{
namespace
{
// Header: "VST3", a 32-bit version, the class ID as 32 ASCII hexadecimal
// digits, then the 64-bit position of the chunk list. Everything is little-endian.
constexpr std::size_t kIdSize = 4;
constexpr std::size_t kClassIdSize = 32;
constexpr std::size_t kClassIdPos = kIdSize + 4;
constexpr std::size_t kListOffsetPos = kClassIdPos + kClassIdSize;
constexpr std::size_t kHeaderSize = kListOffsetPos + 8;
// Chunk list: "List", a 32-bit entry count, then per entry an ID, a 64-bit
// offset and a 64-bit size.
constexpr std::size_t kListHeadSize = kIdSize + 4;
constexpr std::size_t kEntrySize = kIdSize + 8 + 8;

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

[[noreturn]] void damaged(const std::string& why)
{
    throw HostError("the preset file is damaged: " + why);
}
} // namespace

PresetLayout readPresetLayout(const char* bytes, std::size_t size)
{
    if (size < kHeaderSize || std::memcmp(bytes, "VST3", kIdSize) != 0)
        throw HostError("not a VST 3 preset file");

    PresetLayout layout;
    layout.classId.assign(bytes + kClassIdPos, kClassIdSize);
    for (char c : layout.classId)
        if (!isHexDigit(c))
            damaged("its class ID is not 32 hexadecimal digits");

    // Every comparison is made on sizes that cannot overflow: the file's size
    // minus what precedes, never a position plus a length read from the file.
    const std::int64_t listOffset = int64At(bytes + kListOffsetPos);
    if (listOffset < static_cast<std::int64_t>(kHeaderSize) ||
        static_cast<std::uint64_t>(listOffset) > size - kListHeadSize)
        damaged("its chunk list lies outside the file");
    const char* list = bytes + listOffset;
    if (std::memcmp(list, "List", kIdSize) != 0)
        damaged("no chunk list where its header says");
    const std::int32_t count = int32At(list + kIdSize);
    const std::size_t room = (size - static_cast<std::size_t>(listOffset) - kListHeadSize) / kEntrySize;
    if (count < 0)
        damaged("its chunk list has a negative number of entries");
    if (static_cast<std::uint64_t>(count) > room)
        damaged("its chunk list (" + std::to_string(count) + " entries) runs past the end of the file");
    if (count == 0)
        throw HostError("not a VST 3 preset file (its chunk list is empty)");

    for (std::int32_t i = 0; i < count; ++i)
    {
        const char* entry = list + kListHeadSize + static_cast<std::size_t>(i) * kEntrySize;
        const std::int64_t offset = int64At(entry + kIdSize);
        const std::int64_t length = int64At(entry + kIdSize + 8);
        if (offset < 0 || length < 0 || static_cast<std::uint64_t>(offset) > size ||
            static_cast<std::uint64_t>(length) > size - static_cast<std::uint64_t>(offset))
            damaged("chunk '" + idText(entry) + "' (offset " + std::to_string(offset) + ", size " +
                    std::to_string(length) + ") lies outside the file of " + std::to_string(size) + " bytes");
        const PresetChunk chunk{static_cast<std::size_t>(offset), static_cast<std::size_t>(length)};
        // Where a kind appears twice, the first entry counts.
        if (std::memcmp(entry, "Comp", kIdSize) == 0 && !layout.componentState)
            layout.componentState = chunk;
        else if (std::memcmp(entry, "Cont", kIdSize) == 0 && !layout.controllerState)
            layout.controllerState = chunk;
    }
    return layout;
}
} // namespace tolmar::host
