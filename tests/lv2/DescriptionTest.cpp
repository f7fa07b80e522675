// The bundle as an LV2 host reads it: lilv loads it, and every port, range,
// default, property, scale point and preset says what the effect itself says.
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/presets/presets.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "plugin/TolmarDelay.h"

using namespace lv2host;

namespace
{
class Description : public ::testing::Test
{
public:
  World world;
  TolmarDelay delay;

  const LilvPort* portBySymbol(const std::string& symbol)
  {
    LilvNode* node = lilv_new_string(world.world, symbol.c_str());
    const LilvPort* port = lilv_plugin_get_port_by_symbol(world.plugin, node);
    lilv_node_free(node);
    return port;
  }

  bool portIs(const LilvPort* port, const char* classURI)
  {
    return lilv_port_is_a(world.plugin, port, world.uri(classURI));
  }

  bool portHas(const LilvPort* port, const char* propertyURI)
  {
    return lilv_port_has_property(world.plugin, port, world.uri(propertyURI));
  }
};

std::string run(const std::string& command)
{
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r"))
  {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
      out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}
} // namespace

TEST_F(Description, LoadsAsADelayPluginWithItsFeatures)
{
  ASSERT_NE(world.plugin, nullptr);
  EXPECT_TRUE(lilv_plugin_verify(world.plugin));
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(world.plugin))),
               LV2_CORE__DelayPlugin);
  LilvNode* name = lilv_plugin_get_name(world.plugin);
  EXPECT_STREQ(lilv_node_as_string(name), "Tolmar Charge Chain Delay");
  lilv_node_free(name);
  EXPECT_TRUE(lilv_plugin_has_feature(world.plugin, world.uri(LV2_CORE__hardRTCapable)));
  LilvNodes* required = lilv_plugin_get_required_features(world.plugin);
  ASSERT_EQ(lilv_nodes_size(required), 1u);
  EXPECT_TRUE(lilv_nodes_contains(required, world.uri(LV2_URID__map)));
  lilv_nodes_free(required);
  EXPECT_EQ(lilv_plugin_get_num_ports(world.plugin), Lv2Ports::kNumPorts);
  EXPECT_FALSE(lilv_plugin_has_latency(world.plugin));
}

TEST_F(Description, ParameterPortsAreTheEffectsParameters)
{
  ASSERT_NE(world.plugin, nullptr);
  for (int i = 0; i < kNumParams; ++i)
  {
    const IParam& param = delay.Param(i);
    SCOPED_TRACE(param.GetName());
    const LilvPort* port = portBySymbol(Lv2Ports::symbolForName(param.GetName()));
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(lilv_port_get_index(world.plugin, port), Lv2Ports::parameterPort(i));
    EXPECT_TRUE(portIs(port, LV2_CORE__ControlPort));
    EXPECT_TRUE(portIs(port, LV2_CORE__InputPort));
    LilvNode* name = lilv_port_get_name(world.plugin, port);
    EXPECT_STREQ(lilv_node_as_string(name), param.GetName());
    lilv_node_free(name);

    LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
    lilv_port_get_range(world.plugin, port, &def, &min, &max);
    ASSERT_TRUE(def && min && max);
    EXPECT_EQ(lilv_node_as_float(def), static_cast<float>(param.GetDefault()));
    EXPECT_EQ(lilv_node_as_float(min), static_cast<float>(param.GetMin()));
    EXPECT_EQ(lilv_node_as_float(max), static_cast<float>(param.GetMax()));
    lilv_node_free(def);
    lilv_node_free(min);
    lilv_node_free(max);

    const bool isBool = param.Type() == IParam::kTypeBool;
    const bool isInt = param.Type() == IParam::kTypeInt;
    EXPECT_EQ(portHas(port, LV2_CORE__integer), isBool || isInt);
    EXPECT_EQ(portHas(port, LV2_CORE__toggled), isBool);
    EXPECT_EQ(portHas(port, LV2_CORE__enumeration), isInt);

    // Every whole-number setting has its scale point with the effect's text.
    std::map<float, std::string> expected;
    if (param.GetStepped())
      for (double v = param.GetMin(); v <= param.GetMax(); v += param.GetStep())
      {
        IString text;
        param.GetDisplay(v, false, text);
        expected[static_cast<float>(v)] = text.Get();
      }
    std::map<float, std::string> actual;
    LilvScalePoints* points = lilv_port_get_scale_points(world.plugin, port);
    LILV_FOREACH(scale_points, it, points)
    {
      const LilvScalePoint* point = lilv_scale_points_get(points, it);
      actual[lilv_node_as_float(lilv_scale_point_get_value(point))] =
          lilv_node_as_string(lilv_scale_point_get_label(point));
    }
    lilv_scale_points_free(points);
    EXPECT_EQ(actual, expected);
  }
}

TEST_F(Description, PortSymbolsNeverChange)
{
  // Saved sessions and presets refer to ports by these symbols.
  const char* const expected[kNumParams] = {"range",    "time",    "feedback",           "lfospeed",        "lfo_depth",
                                            "mix",      "quality", "delay_sync_to_host", "lfo_sync_to_host"};
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(Lv2Ports::symbolForName(delay.Param(i).GetName()), expected[i]);
  ASSERT_NE(world.plugin, nullptr);
  const std::pair<uint32_t, const char*> fixed[] = {{Lv2Ports::kAudioInLeft, "in_left"},
                                                    {Lv2Ports::kAudioInRight, "in_right"},
                                                    {Lv2Ports::kAudioOutLeft, "out_left"},
                                                    {Lv2Ports::kAudioOutRight, "out_right"},
                                                    {Lv2Ports::kEnabled, "enabled"},
                                                    {Lv2Ports::kControl, "control"},
                                                    {Lv2Ports::kNotify, "notify"}};
  for (const auto& [index, symbol] : fixed)
    EXPECT_STREQ(lilv_node_as_string(
                     lilv_port_get_symbol(world.plugin, lilv_plugin_get_port_by_index(world.plugin, index))),
                 symbol);
}

TEST_F(Description, BypassAudioAndAtomPorts)
{
  ASSERT_NE(world.plugin, nullptr);
  const LilvPort* enabled = lilv_plugin_get_port_by_designation(world.plugin, world.uri(LV2_CORE__InputPort),
                                                                world.uri(LV2_CORE__enabled));
  ASSERT_NE(enabled, nullptr);
  EXPECT_EQ(lilv_port_get_index(world.plugin, enabled), Lv2Ports::kEnabled);
  EXPECT_TRUE(portHas(enabled, LV2_CORE__toggled));
  LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
  lilv_port_get_range(world.plugin, enabled, &def, &min, &max);
  EXPECT_EQ(lilv_node_as_float(def), 1.0f);
  lilv_node_free(def);
  lilv_node_free(min);
  lilv_node_free(max);

  for (uint32_t p : {Lv2Ports::kAudioInLeft, Lv2Ports::kAudioInRight, Lv2Ports::kAudioOutLeft, Lv2Ports::kAudioOutRight})
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(world.plugin, p);
    EXPECT_TRUE(portIs(port, LV2_CORE__AudioPort));
    EXPECT_EQ(portIs(port, LV2_CORE__InputPort), p < Lv2Ports::kAudioOutLeft);
  }

  const LilvPort* control = lilv_plugin_get_port_by_index(world.plugin, Lv2Ports::kControl);
  EXPECT_TRUE(portIs(control, LV2_ATOM__AtomPort));
  EXPECT_TRUE(portIs(control, LV2_CORE__InputPort));
  EXPECT_TRUE(lilv_port_supports_event(world.plugin, control, world.uri(LV2_MIDI__MidiEvent)));
  EXPECT_TRUE(lilv_port_supports_event(world.plugin, control, world.uri(LV2_TIME__Position)));
  const LilvPort* notify = lilv_plugin_get_port_by_index(world.plugin, Lv2Ports::kNotify);
  EXPECT_TRUE(portIs(notify, LV2_ATOM__AtomPort));
  EXPECT_TRUE(portIs(notify, LV2_CORE__OutputPort));
}

TEST_F(Description, TheTenFactoryPresetsCarryTheEffectsValues)
{
  ASSERT_NE(world.plugin, nullptr);
  const auto presets = world.presets();
  ASSERT_EQ(presets.size(), static_cast<size_t>(delay.NPresets()));

  std::map<std::string, std::vector<float>> byName;
  for (const auto& preset : presets)
  {
    std::vector<float> values(kNumParams, -1000.0f);
    struct Target
    {
      Description* self;
      std::vector<float>* values;
    } target{this, &values};
    lilv_state_emit_port_values(
        preset.state,
        [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
          auto* t = static_cast<Target*>(data);
          for (int i = 0; i < kNumParams; ++i)
            if (Lv2Ports::symbolForName(t->self->delay.Param(i).GetName()) == symbol && size == sizeof(float))
              (*t->values)[static_cast<size_t>(i)] = *static_cast<const float*>(value);
        },
        &target);
    byName[preset.label] = values;
  }
  for (int p = 0; p < delay.NPresets(); ++p)
  {
    const std::string name = delay.GetPresetName(p);
    ASSERT_TRUE(byName.count(name)) << name;
    ASSERT_TRUE(delay.RestorePreset(p));
    for (int i = 0; i < kNumParams; ++i)
      EXPECT_EQ(byName[name][static_cast<size_t>(i)], static_cast<float>(delay.Param(i).Value()))
          << name << " " << delay.Param(i).GetName();
  }
}

TEST_F(Description, Lv2infoListsPortsAndPresets)
{
  // The command-line tool reads the same LV2_PATH as the world above.
  const std::string out = run(std::string("lv2info ") + Lv2Uris::kPlugin + " 2>/dev/null");
  ASSERT_NE(out.find("Tolmar Charge Chain Delay"), std::string::npos) << out;
  EXPECT_NE(out.find("Delay Plugin"), std::string::npos);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_NE(out.find(std::string("Name:        ") + delay.Param(i).GetName() + "\n"), std::string::npos)
        << delay.Param(i).GetName();
  for (int p = 0; p < delay.NPresets(); ++p)
    EXPECT_NE(out.find(delay.GetPresetName(p)), std::string::npos) << delay.GetPresetName(p);
  for (const char* text : {"\"1-8\"", "\"250-2000\"", "\"OFF\"", "\"ON\"", "lv2core#enabled"})
    EXPECT_NE(out.find(text), std::string::npos) << text;
}
