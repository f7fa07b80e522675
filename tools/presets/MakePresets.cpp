// Writes the factory presets as .vstpreset files, the way a host saves them:
// it loads the built bundle, restores each preset's state into an instance
// and keeps the component state that getState hands back.
//
//   tolmar_make_presets <bundle> <presets folder>
//
// Files go to <presets folder>/<vendor>/<effect>/<preset name>.vstpreset.
#include "host/HostError.h"
#include "host/HostedPlugin.h"
#include "host/PluginModule.h"
#include "host/PresetFile.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/StateFormat.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    std::fprintf(stderr, "usage: %s <bundle> <presets folder>\n", argv[0]);
    return 2;
  }
  try
  {
    const char* const classId = ProductIdentity::kClassId.data();

    const tolmar::host::PluginModule module(argv[1]);
    tolmar::host::HostedPlugin plugin(module, classId, "tolmar_make_presets");
    // The names the plug-in itself shows in its menu must be the ones the
    // files carry.
    const auto names = plugin.programNames(static_cast<Steinberg::int32>(ParamIDs::kPresetList));

    const fs::path folder = fs::path(argv[2]) / ProductIdentity::kPresetSubfolder;
    fs::create_directories(folder);
    for (size_t i = 0; i < kFactoryPresets.size(); ++i)
    {
      const FactoryPreset& preset = kFactoryPresets[i];
      if (i >= names.size() || names[i] != preset.name)
        throw tolmar::host::HostError(std::string("the plug-in names preset ") + std::to_string(i) + " \"" +
                                      (i < names.size() ? names[i] : "") + "\", not \"" + preset.name + "\"");
      plugin.setState(StateFormat::componentState(preset.values));
      const auto bytes = tolmar::host::presetFile(
          classId, plugin.state(),
          tolmar::host::presetMetaInfo(preset.name, ProductIdentity::kEffectName, ProductIdentity::kSubCategories));

      const fs::path path = folder / (std::string(preset.name) + ProductIdentity::kPresetExtension);
      const fs::path partial = fs::path(path).concat(".part");
      {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
          throw tolmar::host::HostError("could not write " + partial.string());
      }
      fs::rename(partial, path);
    }
    return 0;
  }
  catch (const std::exception& e)
  {
    std::fprintf(stderr, "tolmar_make_presets: %s\n", e.what());
    return 1;
  }
}
