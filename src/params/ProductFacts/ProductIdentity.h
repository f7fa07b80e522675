#pragma once
#include <array>
#include <cstdint>

// Who the effect is to hosts and to the files they keep: names, class ID,
// category and the folders presets live in.
namespace ProductIdentity
{
inline constexpr const char* kEffectName = "Tolmar Charge Chain Delay";
inline constexpr const char* kVendorName = "Tolmar Music";
inline constexpr const char* kVersion = "2.0.3";
inline constexpr const char* kSubCategories = "Fx|Delay";
// The class ID: a fixed prefix, then the manufacturer and plug-in codes,
// each word most significant byte first.
inline constexpr uint32_t kClassIdWords[4] = {0xF2AEE70D, 0x00DE4F4E, 0x546F6C6D /* Tolm */, 0x746C6364 /* tlcd */};
// The 16 bytes of the class ID in the order the SDK's TUID holds them; its
// data() is what the SDK's TUID parameters take.
inline constexpr std::array<char, 16> kClassId = [] {
  std::array<char, 16> bytes{};
  for (int i = 0; i < 16; ++i)
    bytes[static_cast<size_t>(i)] = static_cast<char>((kClassIdWords[i / 4] >> (24 - 8 * (i % 4))) & 0xFF);
  return bytes;
}();
// The bundle folder hosts find in their VST 3 folders.
inline constexpr const char* kBundleFolderName = "Tolmar Charge Chain Delay.vst3";
// The CLAP plug-in's ID: reverse-domain, never to change (hosts store it in
// their projects), and the module's file name.
inline constexpr const char* kClapId = "com.tolmarmusic.charge-chain-delay";
inline constexpr const char* kClapModuleName = "tolmar-charge-chain-delay.clap";
inline constexpr const char* kDescription = "Stereo delay modelled on a clocked analog delay line";
// Preset files: <presets folder>/<vendor>/<effect name>/<preset name>.vstpreset
inline constexpr const char* kPresetSubfolder = "Tolmar Music/Tolmar Charge Chain Delay";
inline constexpr const char* kPresetExtension = ".vstpreset";
} // namespace ProductIdentity
