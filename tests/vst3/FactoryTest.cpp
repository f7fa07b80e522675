// The module and its factory, loaded from the built bundle as a host does.
#include <dlfcn.h>

#include <array>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "vst3/support/VST3Host.h"

using namespace host;

namespace
{
constexpr std::array<uint8_t, 16> kClassID = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                              0x54, 0x6F, 0x6C, 0x6D, 0x74, 0x6C, 0x63, 0x64};

bool sameID(const TUID id, const std::array<uint8_t, 16>& expected)
{
  return std::memcmp(id, expected.data(), 16) == 0;
}

template <typename T>
T* queryFrom(FUnknown* object)
{
  void* result = nullptr;
  if (object->queryInterface(T::iid, &result) != kResultOk)
    return nullptr;
  return static_cast<T*>(result);
}
} // namespace

TEST(ModuleTest, ExportsOnlyTheThreeEntryPoints)
{
  PluginModule module;
  ASSERT_TRUE(module.loaded()) << dlerror();
  EXPECT_NE(module.symbol("GetPluginFactory"), nullptr);
  EXPECT_NE(module.symbol("ModuleEntry"), nullptr);
  EXPECT_NE(module.symbol("ModuleExit"), nullptr);
  // Nothing else leaks out: no module hooks, no SDK globals.
  EXPECT_EQ(module.symbol("InitModule"), nullptr);
  EXPECT_EQ(module.symbol("_Z10InitModulev"), nullptr);
  EXPECT_EQ(module.symbol("_ZN9Steinberg14gPluginFactoryE"), nullptr);
  EXPECT_EQ(module.symbol("_Z10MakeEffectRK12InstanceInfo"), nullptr);
}

TEST(ModuleTest, EntryAndExitAreCounted)
{
  PluginModule module; // entered once with its library handle
  ASSERT_TRUE(module.loaded());
  // A host without a handle to pass is answered yes, and nothing is counted.
  EXPECT_TRUE(module.entry(nullptr));
  EXPECT_TRUE(module.entry(module.library()));
  EXPECT_TRUE(module.exit());
  EXPECT_TRUE(module.exit());
  // No entry is outstanding any more.
  EXPECT_FALSE(module.exit());
  EXPECT_TRUE(module.entry(module.library())); // left entered for the destructor
}

TEST(FactoryTest, DescribesTheVendor)
{
  PluginModule module;
  IPluginFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  PFactoryInfo info;
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Tolmar Music");
  EXPECT_STREQ(info.url, "http://www.tolmarmusic.com/music/");
  EXPECT_STREQ(info.email, "support@tolmarmusic.com");
  EXPECT_EQ(info.flags, 16);
  EXPECT_EQ(factory->getFactoryInfo(nullptr), kInvalidArgument);
  factory->release();
}

TEST(FactoryTest, ListsOneClassInEveryForm)
{
  PluginModule module;
  IPluginFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->countClasses(), 1);

  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_TRUE(sameID(info.cid, kClassID));
  EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.name, "Tolmar Charge Chain Delay");
  EXPECT_NE(factory->getClassInfo(1, &info), kResultOk);
  EXPECT_NE(factory->getClassInfo(-1, &info), kResultOk);
  EXPECT_NE(factory->getClassInfo(0, nullptr), kResultOk);

  auto* factory2 = queryFrom<IPluginFactory2>(factory);
  ASSERT_NE(factory2, nullptr);
  PClassInfo2 info2;
  ASSERT_EQ(factory2->getClassInfo2(0, &info2), kResultOk);
  EXPECT_TRUE(sameID(info2.cid, kClassID));
  EXPECT_STREQ(info2.category, "Audio Module Class");
  EXPECT_STREQ(info2.name, "Tolmar Charge Chain Delay");
  EXPECT_EQ(info2.classFlags, 2u);
  EXPECT_STREQ(info2.subCategories, "Fx|Delay");
  EXPECT_STREQ(info2.vendor, "");
  EXPECT_STREQ(info2.version, "2.0.3");
  EXPECT_STREQ(info2.sdkVersion, "VST 3.7.3");
  factory2->release();

  auto* factory3 = queryFrom<IPluginFactory3>(factory);
  ASSERT_NE(factory3, nullptr);
  PClassInfoW infoW;
  ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
  EXPECT_TRUE(sameID(infoW.cid, kClassID));
  EXPECT_EQ(toString(infoW.name), "Tolmar Charge Chain Delay");
  EXPECT_EQ(toString(infoW.version), "2.0.3");
  EXPECT_EQ(toString(infoW.sdkVersion), "VST 3.7.3");
  EXPECT_STREQ(infoW.subCategories, "Fx|Delay");
  EXPECT_EQ(infoW.classFlags, 2u);
  EXPECT_NE(factory3->getClassInfoUnicode(1, &infoW), kResultOk);
  factory3->release();

  factory->release();
}

TEST(FactoryTest, RepeatedCallsShareOneFactoryUntilItIsReleased)
{
  PluginModule module;
  IPluginFactory* first = module.factory();
  IPluginFactory* second = module.factory();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  // Two references are held: one release leaves the factory alive.
  EXPECT_EQ(second->release(), 1u);
  EXPECT_EQ(first->release(), 0u);

  // A fresh factory lists the same class again.
  IPluginFactory* fresh = module.factory();
  ASSERT_NE(fresh, nullptr);
  ASSERT_EQ(fresh->countClasses(), 1);
  PClassInfo info;
  ASSERT_EQ(fresh->getClassInfo(0, &info), kResultOk);
  EXPECT_TRUE(sameID(info.cid, kClassID));
  EXPECT_STREQ(info.name, "Tolmar Charge Chain Delay");
  EXPECT_EQ(fresh->release(), 0u);
}

TEST(FactoryTest, OneObjectAnswersEveryInterface)
{
  PluginModule module;
  IPluginFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  for (const TUID* asked : {&IAudioProcessor::iid.toTUID(), &IComponent::iid.toTUID(), &IEditController::iid.toTUID()})
  {
    void* object = nullptr;
    ASSERT_EQ(factory->createInstance(reinterpret_cast<const char*>(kClassID.data()), *asked, &object), kResultOk);
    ASSERT_NE(object, nullptr);
    auto* unknown = static_cast<FUnknown*>(object);
    auto* component = queryFrom<IComponent>(unknown);
    auto* processor = queryFrom<IAudioProcessor>(unknown);
    auto* controller = queryFrom<IEditController>(unknown);
    auto* units = queryFrom<IUnitInfo>(unknown);
    auto* mapping = queryFrom<IMidiMapping>(unknown);
    auto* listener = queryFrom<ChannelContext::IInfoListener>(unknown);
    auto* requirements = queryFrom<IProcessContextRequirements>(unknown);
    ASSERT_TRUE(component && processor && controller && units && mapping && listener && requirements);
    // All of them are the same object.
    FUnknown* identity = queryFrom<FUnknown>(component);
    for (FUnknown* other : std::initializer_list<FUnknown*>{processor, controller, units, mapping, listener,
                                                             requirements})
    {
      FUnknown* otherIdentity = queryFrom<FUnknown>(other);
      EXPECT_EQ(identity, otherIdentity);
      otherIdentity->release();
      other->release();
    }
    identity->release();
    // Component and controller are one object: no connection point is offered.
    void* connection = reinterpret_cast<void*>(1);
    EXPECT_EQ(component->queryInterface(IConnectionPoint::iid, &connection), kNoInterface);
    EXPECT_EQ(connection, nullptr);
    component->release();
    static_cast<FUnknown*>(object)->release();
  }
  factory->release();
}

TEST(FactoryTest, RefusesUnknownClassesAndInterfaces)
{
  PluginModule module;
  IPluginFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  std::array<uint8_t, 16> other = kClassID;
  other[15] ^= 1;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->createInstance(reinterpret_cast<const char*>(other.data()), IComponent::iid, &object),
            kNoInterface);
  EXPECT_EQ(object, nullptr);

  // A known class asked for an interface it does not have.
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->createInstance(reinterpret_cast<const char*>(kClassID.data()), IPluginFactory::iid, &object),
            kNoInterface);
  EXPECT_EQ(object, nullptr);

  EXPECT_NE(factory->createInstance(nullptr, IComponent::iid, &object), kResultOk);
  EXPECT_NE(factory->createInstance(reinterpret_cast<const char*>(kClassID.data()), IComponent::iid, nullptr),
            kResultOk);
  factory->release();
}

TEST(FactoryTest, InstancesCreatedFromTwoThreadsAreIndependent)
{
  PluginModule module;
  IPluginFactory* factory = module.factory();
  ASSERT_NE(factory, nullptr);
  constexpr int kPerThread = 8;
  std::array<std::array<IEditController*, kPerThread>, 2> made{};
  auto create = [&](int t) {
    for (int i = 0; i < kPerThread; ++i)
    {
      void* object = nullptr;
      factory->createInstance(reinterpret_cast<const char*>(kClassID.data()), IEditController::iid, &object);
      made[static_cast<size_t>(t)][static_cast<size_t>(i)] = static_cast<IEditController*>(object);
    }
  };
  std::thread a(create, 0), b(create, 1);
  a.join();
  b.join();

  HostApplication application("Test Host");
  for (auto& row : made)
    for (IEditController* controller : row)
    {
      ASSERT_NE(controller, nullptr);
      ASSERT_EQ(controller->initialize(&application), kResultOk);
    }
  // A value set on one instance stays on that instance.
  made[0][0]->setParamNormalized(5, 0.25);
  EXPECT_DOUBLE_EQ(made[0][0]->getParamNormalized(5), 0.25);
  EXPECT_DOUBLE_EQ(made[1][0]->getParamNormalized(5), 0.5);
  for (auto& row : made)
    for (IEditController* controller : row)
    {
      controller->terminate();
      controller->release();
    }
  factory->release();
}
