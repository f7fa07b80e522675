// The LV2 editor in a host's window on a virtual X server: a host of the
// test's own loads the UI module the bundle names, routes its port writes
// and messages to the plug-in and the plug-in's notify messages back, and
// drives it with the pointer.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/ui/ui.h>

#include "lv2/Lv2EditorUI.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "control/UserPresetFolder.h"
#include "params/ProductFacts/StateFormat.h"
#include "plugin/TolmarDelay.h"
#include "vst3/support/X11TestHost.h"

using namespace lv2host;

namespace
{
// Editor coordinates in layout units; the editor opens at scale 0.5.
int at(float layout) { return static_cast<int>(std::lround(layout * 0.5f)); }

class EditorUI : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!host::VirtualDisplay::Shared())
    {
      const char* ci = std::getenv("CI");
      if (ci && std::string(ci) == "true")
        FAIL() << "no X server for the editor tests: " << host::VirtualDisplay::Error();
      GTEST_SKIP() << "no X server for the editor tests: " << host::VirtualDisplay::Error();
    }
    ASSERT_NE(world.plugin, nullptr);
    dsp = std::make_unique<Instance>(world, 48000.0);
    ASSERT_TRUE(dsp->valid());

    // The UI the plug-in names, as lilv finds it.
    LilvUIs* uis = lilv_plugin_get_uis(world.plugin);
    const LilvUI* ui = nullptr;
    LILV_FOREACH(uis, i, uis)
    {
      const LilvUI* candidate = lilv_uis_get(uis, i);
      if (lilv_ui_is_a(candidate, world.uri(LV2_UI__X11UI)))
        ui = candidate;
    }
    ASSERT_NE(ui, nullptr);
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), Lv2Uris::kEditor);
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
    bundlePath = bundle;
    library = dlopen(binary, RTLD_NOW | RTLD_LOCAL);
    lilv_free(binary);
    lilv_free(bundle);
    lilv_uis_free(uis);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor = entry(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(entry(1), nullptr);

    window = std::make_unique<host::HostWindow>(683, 174);
    ASSERT_TRUE(window->ok());
  }

  void TearDown() override
  {
    if (handle)
      descriptor->cleanup(handle);
    if (library)
      dlclose(library);
  }

  void open()
  {
    resizeFeature = {this, [](LV2UI_Feature_Handle self, int width, int height) {
                       auto* test = static_cast<EditorUI*>(self);
                       test->requestedWidth = width;
                       test->requestedHeight = height;
                       test->window->resize(width, height);
                       return 0;
                     }};
    touchFeature = {this, [](LV2UI_Feature_Handle self, uint32_t port, bool grabbed) {
                      static_cast<EditorUI*>(self)->touches.push_back({port, grabbed});
                    }};
    LV2_Feature parent{LV2_UI__parent, window->parentHandle()};
    LV2_Feature resize{LV2_UI__resize, &resizeFeature};
    LV2_Feature touch{LV2_UI__touch, &touchFeature};
    LV2_Feature idle{LV2_UI__idleInterface, nullptr};
    const LV2_Feature* features[] = {world.urids.features()[0], &parent, &resize, &touch, &idle, nullptr};
    LV2UI_Widget widget = nullptr;
    handle = descriptor->instantiate(descriptor, Lv2Uris::kPlugin, bundlePath.c_str(), writeCallback, this, &widget,
                                     features);
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(widget, nullptr);
    widthAtInstantiation = requestedWidth;
    heightAtInstantiation = requestedHeight;
    editorWindow = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(widget));
    idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idleInterface, nullptr);
    // The host tells the editor every port's value when it opens.
    for (int i = 0; i < kNumParams; ++i)
      descriptor->port_event(handle, Lv2Ports::parameterPort(i), sizeof(float), 0, &dsp->parameter(i));
    ASSERT_TRUE(waitFor([&] { return window->grab(0, 0, 683, 174).distinctColours() > 200; }))
        << "the editor never appeared";
  }

  // The editor's own instance, in this process, told every port's value as
  // hosts do when it opens; null when it cannot open.
  std::unique_ptr<Lv2EditorUI> inProcessEditor()
  {
    LV2_Feature parent{LV2_UI__parent, window->parentHandle()};
    const LV2_Feature* features[] = {world.urids.features()[0], &parent, nullptr};
    LV2UI_Widget widget = nullptr;
    auto ui = Lv2EditorUI::Create(bundlePath.c_str(), writeCallback, this, &widget, features);
    if (ui)
      for (int i = 0; i < kNumParams; ++i)
        ui->PortEvent(Lv2Ports::parameterPort(i), sizeof(float), 0, &dsp->parameter(i));
    return ui;
  }

  // The editor's model is the product's own effect, built by the product's
  // factory behind the binding.
  static TolmarDelay& modelOf(Lv2EditorUI& ui) { return static_cast<TolmarDelay&>(ui.GetModel()); }

  static void writeCallback(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                            const void* buffer)
  {
    auto* test = static_cast<EditorUI*>(controller);
    if (protocol == 0 && size == sizeof(float))
    {
      const float value = *static_cast<const float*>(buffer);
      test->portWrites.push_back({port, value});
      if (Lv2Ports::isParameterPort(port))
        test->dsp->parameter(static_cast<int>(port - Lv2Ports::kFirstParameter)) = value;
    }
    else if (protocol == test->world.urids.map(LV2_ATOM__eventTransfer) && port == Lv2Ports::kControl)
    {
      const auto* atom = static_cast<const LV2_Atom*>(buffer);
      test->messages.emplace_back(static_cast<const uint8_t*>(buffer),
                                  static_cast<const uint8_t*>(buffer) + sizeof(LV2_Atom) + atom->size);
    }
  }

  // One round of the host's loops: the plug-in runs a block with the
  // editor's messages, its notify messages reach the editor, the editor idles.
  void cycle()
  {
    for (const auto& message : messages)
      dsp->event(0, reinterpret_cast<const LV2_Atom*>(message.data()));
    messagesSent += static_cast<int>(messages.size());
    messages.clear();
    Stereo out{std::vector<double>(256), std::vector<double>(256)};
    dsp->run(silence, out, 0, 256);
    if (const LV2_Atom* display = dsp->takeDisplayAtom())
      descriptor->port_event(handle, Lv2Ports::kNotify, static_cast<uint32_t>(sizeof(LV2_Atom) + display->size),
                             world.urids.map(LV2_ATOM__eventTransfer), display);
    ASSERT_EQ(idleInterface->idle(handle), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
  }

  void pump(int milliseconds)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
      cycle();
  }

  bool waitFor(const std::function<bool()>& condition)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end)
    {
      cycle();
      if (condition())
        return true;
    }
    return false;
  }

  void click(int x, int y)
  {
    window->click(x, y, 1, [this](int milliseconds) { pump(milliseconds); });
  }

  void drag(int x0, int y0, int x1, int y1, int steps = 10)
  {
    window->drag(x0, y0, x1, y1, steps, [this](int milliseconds) { pump(milliseconds); });
  }

  float lastWrite(uint32_t port) const
  {
    float value = -1000.0f;
    for (const auto& write : portWrites)
      if (write.first == port)
        value = write.second;
    return value;
  }

  World world;
  std::unique_ptr<Instance> dsp;
  std::unique_ptr<host::HostWindow> window;
  void* library = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  const LV2UI_Idle_Interface* idleInterface = nullptr;
  LV2UI_Handle handle = nullptr;
  std::string bundlePath;
  LV2UI_Resize resizeFeature{};
  LV2UI_Touch touchFeature{};
  int requestedWidth = 0;
  int requestedHeight = 0;
  int widthAtInstantiation = 0;
  int heightAtInstantiation = 0;
  uint32_t editorWindow = 0;
  std::vector<std::pair<uint32_t, bool>> touches;
  std::vector<std::pair<uint32_t, float>> portWrites;
  std::vector<std::vector<uint8_t>> messages;
  int messagesSent = 0;
  const Stereo silence{std::vector<double>(256), std::vector<double>(256)};
};
} // namespace

// The host knows the size before it lays out its window: the editor asks
// for it while it is instantiated, and its window carries it as hints.
TEST_F(EditorUI, OpensInTheHostsWindowAndAsksForItsSize)
{
  open();
  EXPECT_EQ(widthAtInstantiation, 683);
  EXPECT_EQ(heightAtInstantiation, 174);
  int width = 0, height = 0;
  ASSERT_TRUE(window->geometry(editorWindow, width, height));
  EXPECT_EQ(width, 683);
  EXPECT_EQ(height, 174);
  host::HostWindow::SizeHints hints;
  ASSERT_TRUE(window->sizeHints(editorWindow, hints));
  EXPECT_EQ(hints.programWidth, 683);
  EXPECT_EQ(hints.programHeight, 174);
  EXPECT_EQ(hints.baseWidth, 683);
  EXPECT_EQ(hints.baseHeight, 174);
  EXPECT_EQ(hints.minWidth, 0);
  // It asked the plug-in for what it shows, and got it.
  EXPECT_GE(messagesSent, 1);
  EXPECT_GE(dsp->displayMessages(), 1);
  if (const char* picture = std::getenv("TOLMAR_LV2_EDITOR_SCREENSHOT"))
  {
    EXPECT_TRUE(window->grab(0, 0, 683, 174).writePNG(picture));
  }
}

TEST_F(EditorUI, DraggingAKnobWritesItsControlPort)
{
  open();
  const float before = dsp->parameter(kTime);
  drag(at(290), at(250), at(290), at(250) - 40);
  const float after = lastWrite(Lv2Ports::parameterPort(kTime));
  EXPECT_GT(after, before + 0.05f);
  // One gesture: grabbed, then released.
  std::vector<std::pair<uint32_t, bool>> timeTouches;
  for (const auto& t : touches)
    if (t.first == Lv2Ports::parameterPort(kTime))
      timeTouches.push_back(t);
  ASSERT_EQ(timeTouches.size(), 2u);
  EXPECT_TRUE(timeTouches[0].second);
  EXPECT_FALSE(timeTouches[1].second);
  // The plug-in applied what the port carries.
  pump(50);
  EXPECT_EQ(dsp->display().parameterValues.at(kTime), static_cast<double>(after));
}

TEST_F(EditorUI, LearnAndFreezeTravelAsMessagesBothWays)
{
  open();
  const auto learnArea = [&] { return window->grab(at(1210), at(160), at(148), at(48)).pixels; };
  const auto unlit = learnArea();
  click(at(1284), at(184));
  ASSERT_TRUE(waitFor([&] { return dsp->display().learnArmed; })) << "the plug-in never armed";
  EXPECT_NE(learnArea(), unlit);

  // A controller, then the Mix knob: the plug-in binds them and tells the
  // editor, whose button goes out.
  dsp->midi(0, 0xB0, 21, 10);
  pump(50);
  drag(at(970), at(250), at(970), at(250) - 20);
  ASSERT_TRUE(waitFor([&] { return !dsp->display().learnArmed; }));
  EXPECT_EQ(dsp->display().controllerMap.at(21), kMix);
  EXPECT_TRUE(waitFor([&] { return learnArea() == unlit; }));

  // The controller now moves Mix in the plug-in, and the editor's knob
  // follows without the host's port changing.
  const auto mixArea = [&] { return window->grab(at(900), at(190), at(140), at(140)).pixels; };
  const auto before = mixArea();
  const size_t writes = portWrites.size();
  dsp->midi(0, 0xB0, 21, 127);
  ASSERT_TRUE(waitFor([&] { return dsp->display().parameterValues.at(kMix) == 1.0; }));
  EXPECT_TRUE(waitFor([&] { return mixArea() != before; }));
  EXPECT_EQ(portWrites.size(), writes);

  click(at(1284), at(296));
  EXPECT_TRUE(waitFor([&] { return dsp->display().frozen; }));
}

TEST_F(EditorUI, FreezeIsLearnedFromTheEditorsButton)
{
  open();
  click(at(1284), at(184)); // LEARN
  ASSERT_TRUE(waitFor([&] { return dsp->display().learnArmed; }));
  dsp->midi(0, 0xB0, 64, 127);
  pump(50);
  click(at(1284), at(296)); // FREEZE: the target, not a toggle
  ASSERT_TRUE(waitFor([&] { return !dsp->display().learnArmed; }));
  EXPECT_EQ(dsp->display().controllerMap.at(64), TolmarDelay::kFreezeTarget);
  EXPECT_FALSE(dsp->display().frozen);
  pump(100);
  dsp->midi(0, 0xB0, 64, 127);
  EXPECT_TRUE(waitFor([&] { return dsp->display().frozen; }));

  // Unlearning it the same way.
  pump(500); // not a double click
  const auto learnArea = [&] { return window->grab(at(1210), at(160), at(148), at(48)).pixels; };
  const auto unlit = learnArea();
  window->moveTo(at(1284), at(184));
  pump(40);
  window->press(3);
  window->release(3); // right click: UNLEARN
  pump(100);
  click(at(1284), at(184));
  ASSERT_TRUE(waitFor([&] { return dsp->display().learnArmed && dsp->display().unlearnMode; }));
  EXPECT_TRUE(waitFor([&] { return learnArea() != unlit; }));
  click(at(1284), at(296));
  ASSERT_TRUE(waitFor([&] { return !dsp->display().learnArmed; }));
  EXPECT_EQ(dsp->display().controllerMap.at(64), -1);
  EXPECT_TRUE(dsp->display().frozen);
}

TEST_F(EditorUI, AValueFromTheHostMovesTheKnob)
{
  open();
  const auto mixArea = [&] { return window->grab(at(900), at(190), at(140), at(140)).pixels; };
  const auto before = mixArea();
  const float full = 1.0f;
  descriptor->port_event(handle, Lv2Ports::parameterPort(kMix), sizeof(float), 0, &full);
  EXPECT_TRUE(waitFor([&] { return mixArea() != before; }));
  // The editor does not echo it back.
  EXPECT_EQ(lastWrite(Lv2Ports::parameterPort(kMix)), -1000.0f);
}

TEST_F(EditorUI, APresetChosenInTheEditorReachesThePortsAndTheLearnButtonTheControlPort)
{
  // The editor's own instance, in this process: its preset menu switches
  // presets on the model (as the editor tests show), which must reach the
  // plug-in as port writes.
  auto ui = inProcessEditor();
  ASSERT_NE(ui, nullptr);
  portWrites.clear();
  modelOf(*ui).changePreset(7); // "Vibrato"
  EXPECT_EQ(ui->Idle(), 0);
  TolmarDelay reference;
  ASSERT_TRUE(reference.RestorePreset(7));
  for (int i = 0; i < kNumParams; ++i)
  {
    if (reference.Param(i).Value() != reference.Param(i).GetDefault())
    {
      EXPECT_EQ(lastWrite(Lv2Ports::parameterPort(i)), static_cast<float>(reference.Param(i).Value()))
          << reference.Param(i).GetName();
    }
  }

  // Pressing LEARN on the model sends the command once.
  messages.clear();
  modelOf(*ui).doMidiLearn(true);
  EXPECT_EQ(ui->Idle(), 0);
  EXPECT_EQ(ui->Idle(), 0);
  ASSERT_EQ(messages.size(), 1u);
  const auto* object = reinterpret_cast<const LV2_Atom_Object*>(messages[0].data());
  EXPECT_EQ(object->body.otype, world.urids.map(Lv2Uris::kCommand));
}

// After the host restores a state the preset menu ticks the preset the
// state holds, or none; a knob turned away from it leaves the tick.
TEST_F(EditorUI, ThePresetMenuTicksThePresetARestoredStateHolds)
{
  auto ui = inProcessEditor();
  ASSERT_NE(ui, nullptr);
  // One round of the host: the plug-in runs, its display message and the
  // ports reach the editor.
  auto round = [&] {
    Stereo out{std::vector<double>(256), std::vector<double>(256)};
    dsp->run(silence, out, 0, 256);
    if (const LV2_Atom* display = dsp->takeDisplayAtom())
      ui->PortEvent(Lv2Ports::kNotify, static_cast<uint32_t>(sizeof(LV2_Atom) + display->size),
                    world.urids.map(LV2_ATOM__eventTransfer), display);
    for (int i = 0; i < kNumParams; ++i)
      ui->PortEvent(Lv2Ports::parameterPort(i), sizeof(float), 0, &dsp->parameter(i));
    ui->Idle();
  };
  // A saved state and its port values, which hosts restore together.
  struct Saved
  {
    std::vector<uint8_t> bytes;
    uint32_t type = 0;
    float ports[kNumParams] = {};
  };
  // The states come from another instance, as from a saved session.
  auto stateWith = [&](int preset, double timeOffset) {
    TolmarDelay values;
    EXPECT_TRUE(values.RestorePreset(preset));
    Instance source(world, 48000.0);
    Saved saved;
    for (int i = 0; i < kNumParams; ++i)
      saved.ports[i] = source.parameter(i) =
          static_cast<float>(values.Param(i).Value() + (i == kTime ? timeOffset : 0.0));
    Stereo out{std::vector<double>(256), std::vector<double>(256)};
    source.run(silence, out, 0, 256);
    EXPECT_TRUE(source.save(saved.bytes, saved.type));
    return saved;
  };
  auto restore = [&](const Saved& saved) {
    ASSERT_EQ(dsp->restore(saved.bytes, saved.type), 0);
    for (int i = 0; i < kNumParams; ++i)
      dsp->parameter(i) = saved.ports[i];
    round();
    round();
  };
  const Saved vibrato = stateWith(7, 0.0);
  const Saved nearlySlapback = stateWith(5, 0.01);

  modelOf(*ui).changePreset(2);
  round();
  EXPECT_EQ(modelOf(*ui).GetCurrentPresetIdx(), 2);
  restore(vibrato);
  EXPECT_EQ(modelOf(*ui).GetCurrentPresetIdx(), 7);
  dsp->parameter(kMix) = 0.2f;
  round();
  EXPECT_EQ(modelOf(*ui).GetCurrentPresetIdx(), 7);
  restore(nearlySlapback);
  EXPECT_EQ(modelOf(*ui).GetCurrentPresetIdx(), -1);
}

TEST_F(EditorUI, AUserPresetRecalledInTheEditorReachesThePorts)
{
  // The same preset file both formats list: recalled on the editor's model
  // as from its menu, its values go to the plug-in as port writes.
  std::string error;
  const std::array<double, StateFormat::kValueCount> values = {0, 0.75, -0.5, 2.0, 0.3, 0.8, 0.5, 1, 0};
  ASSERT_TRUE(UserPresetFolder().save("Shared", StateFormat::componentState(values), error)) << error;
  auto ui = inProcessEditor();
  ASSERT_NE(ui, nullptr);
  portWrites.clear();
  const auto state = UserPresetFolder().load("Shared");
  ASSERT_TRUE(state);
  ASSERT_TRUE(modelOf(*ui).changeToUserPreset("Shared", *state));
  EXPECT_EQ(ui->Idle(), 0);
  for (int i = 0; i < kNumParams; ++i)
  {
    if (values[static_cast<size_t>(i)] != dsp->parameter(i))
    {
      EXPECT_EQ(lastWrite(Lv2Ports::parameterPort(i)), static_cast<float>(values[static_cast<size_t>(i)]))
          << modelOf(*ui).Param(i).GetName();
    }
  }
  UserPresetFolder().remove("Shared", error);
}

TEST_F(EditorUI, FeaturesOfferedWithoutDataAreRefusedNotRead)
{
  // A host that lists urid:map, ui:resize or ui:touch without their data
  // gets no editor, or one that does without them; nothing reads the null.
  LV2_Feature parent{LV2_UI__parent, window->parentHandle()};
  LV2_Feature emptyMap{LV2_URID__map, nullptr};
  LV2_Feature emptyResize{LV2_UI__resize, nullptr};
  LV2_Feature emptyTouch{LV2_UI__touch, nullptr};
  LV2UI_Widget widget = nullptr;
  const LV2_Feature* withoutMap[] = {&emptyMap, &parent, nullptr};
  EXPECT_EQ(Lv2EditorUI::Create(bundlePath.c_str(), writeCallback, this, &widget, withoutMap), nullptr);

  const LV2_Feature* withoutExtras[] = {world.urids.features()[0], &parent, &emptyResize, &emptyTouch, nullptr};
  auto ui = Lv2EditorUI::Create(bundlePath.c_str(), writeCallback, this, &widget, withoutExtras);
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->Idle(), 0);
}
