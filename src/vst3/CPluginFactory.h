#pragma once
#include <atomic>
#include <vector>

#include "pluginterfaces/base/ipluginbase.h"

namespace Steinberg
{
// The module's class factory: a list of registered classes, each with its
// create function. Classes registered with 8-bit information are offered in
// UTF-16 too. Calls come from whichever thread the host uses to load
// plug-ins; registration happens before the factory is handed out.
class CPluginFactory : public IPluginFactory3
{
public:
  using CreateFunction = FUnknown* (*)(void* context);

  explicit CPluginFactory(const PFactoryInfo& info);
  virtual ~CPluginFactory();
  CPluginFactory(const CPluginFactory&) = delete;
  CPluginFactory& operator=(const CPluginFactory&) = delete;

  bool registerClass(const PClassInfo2& info, CreateFunction create, void* context = nullptr);
  bool isClassRegistered(const FUID& cid) const;

  // FUnknown
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) SMTG_OVERRIDE;
  uint32 PLUGIN_API addRef() SMTG_OVERRIDE;
  uint32 PLUGIN_API release() SMTG_OVERRIDE;

  // IPluginFactory
  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) SMTG_OVERRIDE;
  int32 PLUGIN_API countClasses() SMTG_OVERRIDE;
  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) SMTG_OVERRIDE;
  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) SMTG_OVERRIDE;

  // IPluginFactory2
  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) SMTG_OVERRIDE;

  // IPluginFactory3
  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) SMTG_OVERRIDE;
  // Keeps the host's context (a reference on it) for the instances made
  // afterwards; a later call replaces it.
  tresult PLUGIN_API setHostContext(FUnknown* context) SMTG_OVERRIDE;
  // The context the host gave, or null; valid while the factory lives.
  FUnknown* getHostContext() const { return hostContext; }

private:
  struct ClassEntry
  {
    PClassInfo2 info;
    CreateFunction create;
    void* context;
  };
  const ClassEntry* entryAt(int32 index) const;

  std::atomic<int32> refCount{1};
  PFactoryInfo factoryInfo;
  std::vector<ClassEntry> classes;
  FUnknown* hostContext = nullptr;
};

// The module's one factory while it exists; null otherwise. The factory
// clears it when its last reference goes.
extern IPluginFactory* gPluginFactory;
} // namespace Steinberg
