// The module's exported entry and the description of its one plug-in.
#include <mutex>
#include <string>
#include <string_view>

#include "clap/ClapExtensions.h"
#include "clap/ClapFactory.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "plugin/VendorInfo.h"

namespace
{
const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_DELAY,
                                 CLAP_PLUGIN_FEATURE_STEREO, nullptr};

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION_INIT,
    ProductIdentity::kClapId,
    ProductIdentity::kEffectName,
    VendorInfo::kVendorName,
    VendorInfo::kVendorStartPage,
    "",
    VendorInfo::kVendorStartPage,
    ProductIdentity::kVersion,
    ProductIdentity::kDescription,
    const_cast<const char**>(kFeatures),
};

// Set in init, read by every later call; the host makes no call before
// init returns.
std::mutex entryMutex;
int initCount = 0;
std::string resourceFolder;

uint32_t CLAP_ABI factoryCount(const clap_plugin_factory_t*)
{
  return 1;
}

const clap_plugin_descriptor_t* CLAP_ABI factoryDescriptor(const clap_plugin_factory_t*, uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin_t* CLAP_ABI factoryCreate(const clap_plugin_factory_t*, const clap_host_t* host, const char* id)
{
  std::string resources;
  {
    std::lock_guard<std::mutex> lock(entryMutex);
    if (initCount == 0)
      return nullptr;
    resources = resourceFolder;
  }
  return ClapFactory::Create(host, id, kDescriptor, resources);
}

const clap_plugin_factory_t kFactory = {factoryCount, factoryDescriptor, factoryCreate};

bool CLAP_ABI entryInit(const char* pluginPath)
{
  try
  {
    std::lock_guard<std::mutex> lock(entryMutex);
    // Hosts that load the module twice (a scanner and the host) may call
    // init again; the folder stays the first one's.
    if (initCount++ == 0)
      resourceFolder = ClapFactory::ResourceFolderFor(pluginPath ? pluginPath : "");
    return true;
  }
  catch (...)
  {
    return false;
  }
}

void CLAP_ABI entryDeinit()
{
  std::lock_guard<std::mutex> lock(entryMutex);
  if (initCount > 0)
    --initCount;
}

const void* CLAP_ABI entryGetFactory(const char* factoryId)
{
  if (!factoryId || std::string_view(factoryId) != CLAP_PLUGIN_FACTORY_ID)
    return nullptr;
  return &kFactory;
}
} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, entryInit, entryDeinit,
                                                               entryGetFactory};
