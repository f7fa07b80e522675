// The factory presets as the build writes them for hosts' preset browsers:
// one .vstpreset per preset, loadable by any host, sounding as the preset.
#include "support/RenderToolRun.h"

#include "host/PresetFile.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/StateFormat.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace rendertest;
namespace fs = std::filesystem;

namespace
{
fs::path presetFolder() { return fs::path(TOLMAR_PRESETS_DIR) / ProductIdentity::kPresetSubfolder; }
} // namespace

TEST(PresetFiles, OneFilePerFactoryPresetAndNothingElse)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(presetFolder()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const FactoryPreset& preset : kFactoryPresets)
        expected.push_back(std::string(preset.name) + ".vstpreset");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(PresetFiles, EachCarriesClassStateNameAndCategory)
{
    for (const FactoryPreset& preset : kFactoryPresets)
    {
        SCOPED_TRACE(preset.name);
        const auto bytes = readBytes(presetFolder() / (std::string(preset.name) + ".vstpreset"));
        EXPECT_EQ(tolmar::host::classIdOf(bytes), "F2AEE70D00DE4F4E546F6C6D746C6364");
        // getState after the preset's state was set: the chunk and bypass off.
        const auto state = tolmar::host::componentStateOf(bytes);
        EXPECT_EQ(state, StateFormat::componentState(preset.values));
        const std::string meta = tolmar::host::metaInfoOf(bytes);
        EXPECT_NE(meta.find("id=\"Name\" value=\"" + std::string(preset.name) + "\""), std::string::npos) << meta;
        EXPECT_NE(meta.find("id=\"PlugInCategory\" value=\"Fx|Delay\""), std::string::npos) << meta;
        EXPECT_NE(meta.find("id=\"PlugInName\" value=\"Tolmar Charge Chain Delay\""), std::string::npos) << meta;
    }
}

TEST(PresetFiles, EachSoundsExactlyAsItsPreset)
{
    TempFolder dir;
    for (size_t i = 0; i < kFactoryPresets.size(); ++i)
    {
        const FactoryPreset& preset = kFactoryPresets[i];
        SCOPED_TRACE(preset.name);
        const auto file = presetFolder() / (std::string(preset.name) + ".vstpreset");
        const std::vector<std::string> common = {"--impulse", "--seconds", "0.5", "--tail", "0.5",
                                                 "--bits", "double", "--quiet"};
        auto args = common;
        args.insert(args.end(), {"--state", file.string(), (dir / "file.wav").string()});
        auto r = runTool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        args = common;
        args.insert(args.end(), {"--preset", std::to_string(i), (dir / "preset.wav").string()});
        r = runTool(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readAudio(dir / "file.wav").samples, readAudio(dir / "preset.wav").samples);
    }
}
