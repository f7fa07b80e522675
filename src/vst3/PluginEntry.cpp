// The module's exported factory entry and the description of its one class.
#include <memory>
#include <string>

#include "base/source/updatehandler.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "plugin/MakeEffect.h"
#include "plugin/VendorInfo.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "vst3/CPluginFactory.h"
#include "vst3/IEffectVST3.h"
#include "vst3/ModuleMain.h"

using namespace Steinberg;

namespace
{
constexpr const char* kSdkVersionString = "VST 3.7.3";
constexpr int32 kFactoryFlags = PFactoryInfo::kUnicode;
constexpr uint32 kClassFlags = Vst::kSimpleModeSupported;

const PFactoryInfo& factoryInfo()
{
  static const PFactoryInfo info(VendorInfo::kVendorName, VendorInfo::kFactoryURL, VendorInfo::kVendorEmail,
                                 kFactoryFlags);
  return info;
}

const PClassInfo2& classInfo()
{
  static const PClassInfo2 info(ProductIdentity::kClassId.data(), PClassInfo::kManyInstances, kVstAudioEffectClass,
                                ProductIdentity::kEffectName, static_cast<int32>(kClassFlags),
                                ProductIdentity::kSubCategories, "", ProductIdentity::kVersion, kSdkVersionString);
  return info;
}

// The bundle's resources: Contents/Resources beside the folder of the
// library (Contents/x86_64-linux).
std::string resourceFolder()
{
  std::string path = GetModulePath();
  for (int level = 0; level < 2; ++level)
  {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
      return {};
    path.resize(slash);
  }
  return path + "/Resources";
}

// The create function of the class; its context is the factory.
FUnknown* createInstance(void* context)
{
  IEffectPlugin* plugin = MakeEffect(InstanceInfo{});
  if (!plugin)
    return nullptr;
  std::unique_ptr<IEffectPlugin> owned(plugin);
  try
  {
    FUnknown* hostContext = context ? static_cast<CPluginFactory*>(context)->getHostContext() : nullptr;
    return static_cast<Vst::IAudioProcessor*>(new IEffectVST3(std::move(owned), hostContext, resourceFolder()));
  }
  catch (...)
  {
    return nullptr;
  }
}
} // namespace

bool InitModule()
{
  return true;
}

bool DeinitModule()
{
  return true;
}

extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
  if (gPluginFactory)
  {
    gPluginFactory->addRef();
    return gPluginFactory;
  }
  try
  {
    // The SDK's edit controller fetches a process-wide update handler in its
    // constructor, and that singleton is made without a lock on its first
    // check. Making it here, before the host can hold the factory, means
    // instances created from several threads at once only ever read it.
    UpdateHandler::instance();
    auto* factory = new CPluginFactory(factoryInfo());
    factory->registerClass(classInfo(), createInstance, factory);
    gPluginFactory = factory;
    return factory;
  }
  catch (...)
  {
    return nullptr;
  }
}
