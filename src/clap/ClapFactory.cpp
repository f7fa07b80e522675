#include "clap/ClapFactory.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "clap/ClapEffect.h"
#include "plugin/MakeEffect.h"

namespace ClapFactory
{
namespace
{
constexpr const char* kModuleSuffix = ".clap";
constexpr const char* kResourceSuffix = "-resources";

std::string resourcesBeside(const std::string& path)
{
  std::string stem = path;
  const size_t suffixLength = std::strlen(kModuleSuffix);
  if (stem.size() > suffixLength && stem.compare(stem.size() - suffixLength, suffixLength, kModuleSuffix) == 0)
    stem.resize(stem.size() - suffixLength);
  return stem + kResourceSuffix;
}

bool isFolder(const std::string& path)
{
  struct stat info{};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

std::string ResourceFolderFor(const std::string& modulePath)
{
  if (modulePath.empty())
    return {};
  std::string folder = resourcesBeside(modulePath);
  if (isFolder(folder))
    return folder;
  char resolved[PATH_MAX];
  if (realpath(modulePath.c_str(), resolved))
  {
    std::string other = resourcesBeside(resolved);
    if (isFolder(other))
      return other;
  }
  return folder;
}

const clap_plugin_t* Create(const clap_host_t* host, const char* pluginId, const clap_plugin_descriptor_t& descriptor,
                            const std::string& resourceFolder)
{
  if (!host || !pluginId || !descriptor.id || std::strcmp(pluginId, descriptor.id) != 0 ||
      !clap_version_is_compatible(host->clap_version))
    return nullptr;
  IEffectPlugin* plugin = MakeEffect(InstanceInfo{});
  if (!plugin)
    return nullptr;
  std::unique_ptr<IEffectPlugin> owned(plugin);
  try
  {
    // The instance deletes itself when the host destroys the plug-in.
    auto* effect = new ClapEffect(host, &descriptor, std::move(owned), resourceFolder);
    return effect->ClapPlugin();
  }
  catch (...)
  {
    return nullptr;
  }
}
} // namespace ClapFactory
