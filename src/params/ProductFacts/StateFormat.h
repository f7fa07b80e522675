#pragma once

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
} // namespace StateFormat
