// The hosting library against the built bundle, in-process: loading, the
// parameter conversions the tool relies on, presets and .vstpreset files;
// and the host-side interface objects on their own.
#include "support/RenderToolRun.h"

#include "FactoryPresets.h"
#include "ParameterAssignment.h"
#include "Failure.h"
#include "TolmarPlugin.h"
#include "host/EventList.h"
#include "host/HostError.h"
#include "host/HostedPlugin.h"
#include "host/ParameterChanges.h"
#include "host/PluginModule.h"
#include "host/PresetFile.h"
#include "host/Utf16.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tolmar;
using Steinberg::Vst::ParamID;

namespace
{
class HostedBundle : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { module = std::make_unique<host::PluginModule>(rendertest::bundlePath()); }
    static void TearDownTestSuite() { module.reset(); }

    void SetUp() override { plugin = std::make_unique<host::HostedPlugin>(*module, render::kClassId, "render tests"); }

    double plain(const std::string& title)
    {
        const auto* p = render::parameterTitled(*plugin, title);
        return plugin->toPlain(p->id, plugin->normalized(p->id));
    }
    double resolvedPlain(const std::string& name, const std::string& value)
    {
        const auto r = render::resolveAssignment(*plugin, name, value);
        return plugin->toPlain(r.parameter->id, r.normalized);
    }

    static inline std::unique_ptr<host::PluginModule> module;
    std::unique_ptr<host::HostedPlugin> plugin;
};

constexpr const char* kTitles[9] = {"Range",   "Time",    "Feedback",           "LFOSpeed",        "LFO Depth",
                                    "Mix",     "Quality", "Delay Sync to Host", "LFO Sync to Host"};
} // namespace

TEST_F(HostedBundle, OneObjectAnswersAllThreeInterfaces)
{
    EXPECT_EQ(plugin->className(), "Tolmar Charge Chain Delay");
    EXPECT_EQ(plugin->parameters().size(), 2090u);
    ASSERT_NE(plugin->bypassParameter(), nullptr);
    EXPECT_EQ(plugin->bypassParameter()->title, "Bypass");
    // The same object behind the component and the controller.
    Steinberg::FUnknown* a = nullptr;
    Steinberg::FUnknown* b = nullptr;
    plugin->component()->queryInterface(Steinberg::FUnknown::iid, reinterpret_cast<void**>(&a));
    plugin->controller()->queryInterface(Steinberg::FUnknown::iid, reinterpret_cast<void**>(&b));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    a->release();
    b->release();
}

TEST_F(HostedBundle, AnotherClassIdIsRefusedWithItsName)
{
    const Steinberg::TUID other = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    try
    {
        host::HostedPlugin wrong(*module, other, "render tests");
        FAIL() << "created a class the bundle does not hold";
    }
    catch (const host::HostError& e)
    {
        EXPECT_NE(std::string(e.what()).find("holds no class 0102030405060708090A0B0C0D0E0F10"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("it offers Tolmar Charge Chain Delay"), std::string::npos) << e.what();
    }
}

TEST_F(HostedBundle, FactoryPresetTableAgreesWithThePlugin)
{
    const auto names = plugin->programNames(render::kPresetProgramListId);
    ASSERT_EQ(names.size(), render::factoryPresets().size());
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        const auto& preset = render::factoryPresets()[i];
        EXPECT_EQ(names[i], preset.name);
        plugin->setState(render::componentStateFor(preset));
        for (int k = 0; k < 9; ++k)
            EXPECT_NEAR(plain(kTitles[k]), preset.values[k], 1e-9) << preset.name << " " << kTitles[k];
    }
}

TEST_F(HostedBundle, ValuesByNumberAndByDisplayText)
{
    EXPECT_EQ(resolvedPlain("Mix", "Wet"), 1.0);
    EXPECT_EQ(resolvedPlain("mix", "dry"), 0.0);
    EXPECT_NEAR(resolvedPlain("Mix", "67:33"), 0.33, 0.005);
    EXPECT_EQ(resolvedPlain("Range", "16-125"), 2.0);
    EXPECT_EQ(resolvedPlain("Range", "4"), 4.0);
    EXPECT_EQ(resolvedPlain("Delay Sync to Host", "ON"), 1.0);
    EXPECT_EQ(resolvedPlain("delaysynctohost", "off"), 0.0);
    EXPECT_NEAR(resolvedPlain("Time", "0.25"), 0.25, 1e-12);
    EXPECT_NEAR(resolvedPlain("LFOSpeed", "1.20Hz"), 1.2, 1e-9);
    EXPECT_NEAR(resolvedPlain("Feedback", "-50.0%"), -0.5, 0.01);
    EXPECT_EQ(resolvedPlain("Bypass", "on"), 1.0);
    EXPECT_EQ(resolvedPlain("5", "Wet"), 1.0); // by ID
    // The first of sixteen "Modulation" controllers by its ID.
    EXPECT_EQ(render::findParameter(*plugin, "65539").title, "Modulation");

    EXPECT_THROW(render::resolveAssignment(*plugin, "Time", "1.01"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Time", "nan"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Delay Sync to Host", "0.5"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Quality", ""), render::Failure);
}

TEST_F(HostedBundle, TextsReadAsThePluginReadsAHostsField)
{
    // Percentages in percent, whatever the case and spacing; bare numbers
    // stay plain values.
    EXPECT_DOUBLE_EQ(resolvedPlain("Feedback", "40%"), 0.4);
    EXPECT_DOUBLE_EQ(resolvedPlain("Feedback", " -20.0 % "), -0.2);
    EXPECT_DOUBLE_EQ(resolvedPlain("Feedback", "0.4"), 0.4);
    EXPECT_DOUBLE_EQ(resolvedPlain("Quality", "58%"), 0.58);
    EXPECT_NEAR(resolvedPlain("LFO Depth", "25%"), 0.25, 1e-12);
    EXPECT_EQ(resolvedPlain("Mix", " WET "), 1.0);
    EXPECT_DOUBLE_EQ(resolvedPlain("Mix", "50 : 50"), 0.5);
    EXPECT_EQ(resolvedPlain("Range", "1-8"), 0.0);
    EXPECT_NEAR(resolvedPlain("LFOSpeed", "5.4 hz"), 5.4, 1e-9);
    EXPECT_EQ(resolvedPlain("Bypass", "ON"), 1.0);
    EXPECT_EQ(resolvedPlain("LFOSpeed", "0.00Hz"), 0.001); // shown for the lowest speed
    EXPECT_EQ(resolvedPlain("Mix", " 0.25 "), 0.25);

    // Beyond the range, as a text or as a number, is still an error.
    EXPECT_THROW(render::resolveAssignment(*plugin, "Feedback", "200%"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Quality", "-5%"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Mix", " 1.5 "), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "Range", "15-125"), render::Failure);
    EXPECT_THROW(render::resolveAssignment(*plugin, "LFOSpeed", "30Hz"), render::Failure);
}

TEST_F(HostedBundle, PresetFileRoundTripBetweenInstances)
{
    plugin->setState(render::componentStateFor(render::factoryPresets()[6]));
    const auto bytes = host::savePreset(*plugin, render::kClassId);

    host::HostedPlugin other(*module, render::kClassId, "render tests");
    host::loadPreset(other, render::kClassId, bytes);
    for (const char* title : kTitles)
    {
        const auto* p = render::parameterTitled(other, title);
        EXPECT_EQ(other.normalized(p->id), plugin->normalized(p->id)) << title;
    }
    EXPECT_EQ(host::componentStateOf(bytes), plugin->state());
    EXPECT_THROW(host::loadPreset(other, render::kClassId, std::vector<char>(bytes.begin(), bytes.begin() + 40)),
                 host::HostError);
}

TEST_F(HostedBundle, DelayEstimateFollowsRangeTimeAndSync)
{
    plugin->setState(render::componentStateFor(render::factoryPresets()[5])); // Slapback
    auto d = render::estimateDelay(*plugin, 120);
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->nominalSeconds, 0.0921875, 1e-12);
    EXPECT_NEAR(d->longestSeconds, 0.125, 1e-12);

    const auto sync = render::resolveAssignment(*plugin, "Delay Sync to Host", "ON");
    plugin->setNormalized(sync.parameter->id, sync.normalized);
    const auto time = render::resolveAssignment(*plugin, "Time", "0");
    plugin->setNormalized(time.parameter->id, time.normalized); // "1/64": 31.25 ms at 120
    d = render::estimateDelay(*plugin, 120);
    EXPECT_NEAR(d->nominalSeconds, 0.03125, 1e-12);
    EXPECT_NEAR(d->longestSeconds, 0.125, 1e-12);
}

TEST(HostObjects, ParameterQueueKeepsPointsInOrderAndReplacesAnOffset)
{
    host::ParamValueQueue q;
    q.reset(7);
    Steinberg::int32 index = -1;
    EXPECT_EQ(q.addPoint(100, 0.5, index), Steinberg::kResultOk);
    EXPECT_EQ(q.addPoint(10, 0.1, index), Steinberg::kResultOk);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(q.addPoint(100, 0.9, index), Steinberg::kResultOk);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(q.getPointCount(), 2);
    Steinberg::int32 offset = 0;
    double value = 0;
    ASSERT_EQ(q.getPoint(1, offset, value), Steinberg::kResultOk);
    EXPECT_EQ(offset, 100);
    EXPECT_EQ(value, 0.9);
    EXPECT_NE(q.getPoint(2, offset, value), Steinberg::kResultOk);
    for (int i = 2; i < host::ParamValueQueue::kMaxPoints; ++i)
        q.addPoint(1000 + i, 0, index);
    EXPECT_EQ(q.addPoint(5000, 0, index), Steinberg::kResultFalse);
}

TEST(HostObjects, ParameterChangesHoldOneQueuePerParameterUpToCapacity)
{
    host::ParameterChanges changes(2);
    Steinberg::int32 index = -1;
    auto* a = changes.addParameterData(5, index);
    EXPECT_EQ(changes.addParameterData(5, index), a);
    EXPECT_NE(changes.addParameterData(6, index), nullptr);
    EXPECT_EQ(changes.addParameterData(7, index), nullptr);
    EXPECT_EQ(changes.getParameterCount(), 2);
    EXPECT_EQ(changes.getParameterData(2), nullptr);
    changes.clear();
    EXPECT_EQ(changes.getParameterCount(), 0);
    EXPECT_TRUE(changes.set(9, 0, 0.25));
    EXPECT_EQ(changes.getParameterData(0)->getParameterId(), 9u);
}

TEST(HostObjects, EventListIsBounded)
{
    host::EventList events(1);
    Steinberg::Vst::Event e{};
    e.sampleOffset = 3;
    EXPECT_EQ(events.addEvent(e), Steinberg::kResultOk);
    EXPECT_EQ(events.addEvent(e), Steinberg::kResultFalse);
    Steinberg::Vst::Event out{};
    ASSERT_EQ(events.getEvent(0, out), Steinberg::kResultOk);
    EXPECT_EQ(out.sampleOffset, 3);
    EXPECT_NE(events.getEvent(1, out), Steinberg::kResultOk);
}

TEST(HostObjects, TextCrossesTheInterfaceIntact)
{
    Steinberg::Vst::String128 wide{};
    host::toString128("Größe \xF0\x9F\x8E\xB8 ok", wide);
    EXPECT_EQ(host::toUtf8(wide), "Größe \xF0\x9F\x8E\xB8 ok");
    host::toString128(std::string(300, 'x'), wide);
    EXPECT_EQ(host::toUtf8(wide).size(), 127u);
    host::toString128("bad \xC3 byte", wide);
    EXPECT_EQ(host::toUtf8(wide), "bad \xEF\xBF\xBD byte");
}
