#include "vst3/CPluginFactory.h"

#include <cstring>

namespace Steinberg
{
IPluginFactory* gPluginFactory = nullptr;

CPluginFactory::CPluginFactory(const PFactoryInfo& info) : factoryInfo(info)
{
}

CPluginFactory::~CPluginFactory()
{
  if (hostContext)
    hostContext->release();
  if (gPluginFactory == this)
    gPluginFactory = nullptr;
}

bool CPluginFactory::registerClass(const PClassInfo2& info, CreateFunction create, void* context)
{
  if (!create)
    return false;
  classes.push_back({info, create, context});
  return true;
}

bool CPluginFactory::isClassRegistered(const FUID& cid) const
{
  for (const ClassEntry& entry : classes)
    if (FUnknownPrivate::iidEqual(entry.info.cid, cid.toTUID()))
      return true;
  return false;
}

const CPluginFactory::ClassEntry* CPluginFactory::entryAt(int32 index) const
{
  if (index < 0 || static_cast<size_t>(index) >= classes.size())
    return nullptr;
  return &classes[static_cast<size_t>(index)];
}

tresult PLUGIN_API CPluginFactory::queryInterface(const TUID iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  QUERY_INTERFACE(iid, obj, FUnknown::iid, IPluginFactory)
  QUERY_INTERFACE(iid, obj, IPluginFactory::iid, IPluginFactory)
  QUERY_INTERFACE(iid, obj, IPluginFactory2::iid, IPluginFactory2)
  QUERY_INTERFACE(iid, obj, IPluginFactory3::iid, IPluginFactory3)
  *obj = nullptr;
  return kNoInterface;
}

uint32 PLUGIN_API CPluginFactory::addRef()
{
  return static_cast<uint32>(refCount.fetch_add(1, std::memory_order_relaxed) + 1);
}

uint32 PLUGIN_API CPluginFactory::release()
{
  const int32 left = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0)
  {
    delete this;
    return 0;
  }
  return static_cast<uint32>(left);
}

tresult PLUGIN_API CPluginFactory::getFactoryInfo(PFactoryInfo* info)
{
  if (!info)
    return kInvalidArgument;
  std::memcpy(info, &factoryInfo, sizeof(PFactoryInfo));
  return kResultOk;
}

int32 PLUGIN_API CPluginFactory::countClasses()
{
  return static_cast<int32>(classes.size());
}

tresult PLUGIN_API CPluginFactory::getClassInfo(int32 index, PClassInfo* info)
{
  const ClassEntry* entry = entryAt(index);
  if (!info)
    return kInvalidArgument;
  if (!entry)
    return kInvalidArgument;
  *info = PClassInfo(entry->info.cid, entry->info.cardinality, entry->info.category, entry->info.name);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfo2(int32 index, PClassInfo2* info)
{
  const ClassEntry* entry = entryAt(index);
  if (!info || !entry)
    return kInvalidArgument;
  std::memcpy(info, &entry->info, sizeof(PClassInfo2));
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::getClassInfoUnicode(int32 index, PClassInfoW* info)
{
  const ClassEntry* entry = entryAt(index);
  if (!info || !entry)
    return kInvalidArgument;
  *info = PClassInfoW();
  info->fromAscii(entry->info);
  return kResultOk;
}

tresult PLUGIN_API CPluginFactory::createInstance(FIDString cid, FIDString iid, void** obj)
{
  if (!obj)
    return kInvalidArgument;
  *obj = nullptr;
  if (!cid || !iid)
    return kInvalidArgument;

  for (const ClassEntry& entry : classes)
  {
    if (!FUnknownPrivate::iidEqual(entry.info.cid, cid))
      continue;
    FUnknown* instance = entry.create(entry.context);
    if (!instance)
      return kOutOfMemory;
    // The host keeps the reference of the interface it asked for; the
    // creation reference goes, which destroys an instance nobody took.
    const tresult result = instance->queryInterface(iid, obj);
    instance->release();
    if (result != kResultOk)
    {
      *obj = nullptr;
      return kNoInterface;
    }
    return kResultOk;
  }
  return kNoInterface;
}

tresult PLUGIN_API CPluginFactory::setHostContext(FUnknown* context)
{
  // Instances look for the host's run loop here (for their idle timer).
  if (context)
    context->addRef();
  if (hostContext)
    hostContext->release();
  hostContext = context;
  return kResultOk;
}
} // namespace Steinberg
