#pragma once
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

// The state chunk: this tag, then the nine parameter values as
// little-endian binary64 in parameter index order. The VST 3 component
// state adds the bypass word, a little-endian int32, behind it. Chunks of
// the first version had no tag and seven values.
namespace StateFormat
{
inline constexpr char kTag[] = "Tolmar Charge Chain Delay_2.X.X";
inline constexpr int kTagLength = sizeof(kTag) - 1;
// What every tagged chunk starts with, whatever its minor version.
inline constexpr char kTagPrefix[] = "Tolmar Charge Chain Delay_2.";
inline constexpr int kValueCount = 9;
inline constexpr int kChunkSize = kTagLength + 8 * kValueCount;
static_assert(kChunkSize == 103);
// A state a host hands back that goes on far past the chunk is not one of
// ours: reading it stops here rather than filling memory.
inline constexpr int kMaxStateBytes = 1 << 20;

// The component state a host keeps for these values: the chunk, then the
// bypass word.
inline std::vector<char> componentState(const std::array<double, kValueCount>& values, bool bypass = false)
{
  std::vector<char> out(kTag, kTag + kTagLength);
  auto put = [&out](uint64_t bits, int bytes) {
    for (int i = 0; i < bytes; ++i)
      out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  };
  for (double v : values)
    put(std::bit_cast<uint64_t>(v), 8);
  put(bypass ? 1u : 0u, 4);
  return out;
}
} // namespace StateFormat
