// The CLAP module's editor in a host's window of a virtual X server (Xvfb,
// started by the test), on the host's timers and descriptor watch, as a
// CLAP host embeds it: scale, sizes, the editor's own resizing through the
// host, and gestures reported to the host as parameter events.
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "clap/support/FormatSides.h"
#include "control/ConfigTestSupport.h"
#include "host/ClapHost.h"
#include "params/ProductFacts/ParameterIds.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "vst3/support/X11TestHost.h"

using tolmar::host::ClapEvents;
using tolmar::host::ClapHostOptions;
using tolmar::host::ClapInstance;
using tolmar::host::ClapModule;

namespace
{
class ClapEditorTest : public ConfigHomeTest
{
protected:
  void SetUp() override
  {
    ConfigHomeTest::SetUp();
    if (!host::VirtualDisplay::Shared())
      GTEST_SKIP() << "no X server for the editor tests: " << host::VirtualDisplay::Error();
    module = std::make_unique<ClapModule>(TOLMAR_CLAP_MODULE);
  }

  void TearDown() override
  {
    instance.reset();
    window.reset();
    module.reset();
    ConfigHomeTest::TearDown();
  }

  void make(ClapHostOptions options = {})
  {
    instance = std::make_unique<ClapInstance>(*module, ProductIdentity::kClapId, options);
    gui = instance->extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    ASSERT_NE(gui, nullptr);
    plugin = &instance->plugin();
  }

  // Creates the editor at the given scale and embeds it in a host window of
  // the size it asks for.
  void open(double scale = 1.0)
  {
    ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(gui->set_scale(plugin, scale));
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(gui->get_size(plugin, &width, &height));
    window = std::make_unique<host::HostWindow>(static_cast<int>(width), static_cast<int>(height));
    ASSERT_TRUE(window->ok());
    clap_window_t parent{};
    parent.api = CLAP_WINDOW_API_X11;
    parent.x11 = window->id();
    ASSERT_TRUE(gui->set_parent(plugin, &parent));
    ASSERT_TRUE(gui->show(plugin));
    pump(150);
    this->scale = scale;
  }

  // The host's main loop: its timers and callbacks, a few milliseconds apart.
  void pump(int milliseconds)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
      instance->runMainThreadWork();
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
  }

  bool waitFor(const std::function<bool()>& condition)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end)
    {
      pump(10);
      if (condition())
        return true;
    }
    return false;
  }

  // Layout units (1366 x 348 at full size) to the window's pixels at the
  // base size times the scale.
  int at(int layout) const { return static_cast<int>(std::lround(layout * 0.5 * scale)); }

  void drag(int x0, int y0, int x1, int y1, int steps = 10)
  {
    window->drag(x0, y0, x1, y1, steps, [this](int milliseconds) { pump(milliseconds); });
  }

  std::unique_ptr<ClapModule> module;
  std::unique_ptr<ClapInstance> instance;
  std::unique_ptr<host::HostWindow> window;
  const clap_plugin_gui_t* gui = nullptr;
  const clap_plugin_t* plugin = nullptr;
  double scale = 1.0;
};
} // namespace

TEST_F(ClapEditorTest, OpensEmbeddedAtTheHostsScaleAndFollowsItsSizes)
{
  make();
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(plugin, &api, &floating));
  EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
  EXPECT_FALSE(floating);
  EXPECT_TRUE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_X11, true));
  EXPECT_FALSE(gui->is_api_supported(plugin, CLAP_WINDOW_API_WAYLAND, false));
  EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, true));
  open(2.0);
  uint32_t width = 0;
  uint32_t height = 0;
  ASSERT_TRUE(gui->get_size(plugin, &width, &height));
  EXPECT_EQ(width, 1366u);
  EXPECT_EQ(height, 348u);
  auto children = window->children();
  ASSERT_EQ(children.size(), 1u);
  int w = 0;
  int h = 0;
  ASSERT_TRUE(window->geometry(children[0], w, h));
  EXPECT_EQ(w, 1366);
  EXPECT_EQ(h, 348);
  EXPECT_GT(window->grab(0, 0, w, h).distinctColours(), 200);
  // The frame timer beside the idle timer, and the X connection watched.
  EXPECT_EQ(instance->timers.size(), 2u);
  EXPECT_EQ(instance->fds.size(), 1u);

  EXPECT_TRUE(gui->can_resize(plugin));
  clap_gui_resize_hints_t hints{};
  ASSERT_TRUE(gui->get_resize_hints(plugin, &hints));
  EXPECT_TRUE(hints.can_resize_horizontally && hints.can_resize_vertically);
  // Sizes the host proposes are held to the editor's limits (at scale 2).
  uint32_t aw = 100;
  uint32_t ah = 40;
  ASSERT_TRUE(gui->adjust_size(plugin, &aw, &ah));
  EXPECT_EQ(aw, 2u * 227u);
  EXPECT_EQ(ah, 2u * 58u);
  aw = 1366;
  ah = 348;
  ASSERT_TRUE(gui->adjust_size(plugin, &aw, &ah));
  EXPECT_EQ(aw, 1366u);
  EXPECT_EQ(ah, 348u);

  // The host resizes its window: the editor follows without asking back.
  window->resize(1600, 408);
  ASSERT_TRUE(gui->set_size(plugin, 1600, 408));
  pump(100);
  EXPECT_TRUE(instance->resizeRequests.empty());
  ASSERT_TRUE(gui->get_size(plugin, &width, &height));
  EXPECT_EQ(width, 1600u);
  ASSERT_TRUE(window->geometry(window->children().at(0), w, h));
  EXPECT_EQ(w, 1600);

  // Back to scale 1: same points, half the pixels, and the host is asked.
  ASSERT_TRUE(gui->set_scale(plugin, 1.0));
  ASSERT_TRUE(waitFor([&] { return !instance->resizeRequests.empty(); }));
  EXPECT_EQ(instance->resizeRequests.back().first, 800u);

  gui->destroy(plugin);
  EXPECT_TRUE(instance->fds.empty());
  EXPECT_EQ(instance->timers.size(), 1u);
  window->sync();
  EXPECT_TRUE(window->children().empty());
}

// The user's gestures in the editor reach the host as parameter events, in
// the next flush the editor asks for.
TEST_F(ClapEditorTest, AKnobDraggedInTheEditorIsReportedAsAGesture)
{
  make();
  open();
  const double before = *instance->value(kTime);
  drag(at(290), at(250), at(290), at(250) - 40);
  EXPECT_GT(instance->flushRequests.load(), 0);
  ClapEvents none;
  ClapEvents out;
  instance->flush(none, out);
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(out.at(0)->type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
  EXPECT_EQ(reinterpret_cast<const clap_event_param_gesture_t*>(out.at(0))->param_id, static_cast<clap_id>(kTime));
  EXPECT_EQ(out.at(out.size() - 1)->type, CLAP_EVENT_PARAM_GESTURE_END);
  double last = -1.0;
  for (size_t i = 0; i < out.size(); ++i)
    if (out.at(i)->type == CLAP_EVENT_PARAM_VALUE)
      last = reinterpret_cast<const clap_event_param_value_t*>(out.at(i))->value;
  EXPECT_GT(last, before + 0.05);
  EXPECT_EQ(instance->value(kTime), last);
  EXPECT_GE(instance->dirtyMarks, 1);
}

// A value the host sets in a block moves the knob, on the main thread's
// callback.
TEST_F(ClapEditorTest, AValueFromTheHostMovesTheKnob)
{
  make();
  open();
  ASSERT_TRUE(instance->start(48000.0, 256));
  const auto knob = [&] { return window->grab(at(240), at(200), at(100), at(100)).pixels; };
  const auto before = knob();
  ClapEvents in;
  ClapEvents out;
  in.paramValue(kTime, 1.0);
  std::vector<float> l(256), r(256), ol(256), orr(256);
  const float* ins[2] = {l.data(), r.data()};
  float* outs[2] = {ol.data(), orr.data()};
  instance->process(ins, outs, 256, &in, &out);
  EXPECT_GT(instance->callbackRequests.load(), 0);
  ASSERT_TRUE(waitFor([&] { return knob() != before; })) << "the knob never moved";
}

// The corner handle resizes the editor, and the host is asked to follow;
// a host that refuses keeps its size and the editor goes back to it.
TEST_F(ClapEditorTest, TheCornerAsksTheHostToResize)
{
  for (bool accept : {true, false})
  {
    ClapHostOptions options;
    options.acceptResize = accept;
    make(options);
    open();
    // The handle: the bottom-right 26 layout units.
    drag(at(1353), at(335), at(1353) + 200, at(335) + 51, 8);
    ASSERT_TRUE(waitFor([&] { return !instance->resizeRequests.empty(); })) << accept;
    const auto last = instance->resizeRequests.back();
    EXPECT_GT(last.first, 800u);
    EXPECT_NEAR(static_cast<double>(last.first) / last.second, 1366.0 / 348.0, 0.05);
    pump(100);
    uint32_t width = 0;
    uint32_t height = 0;
    ASSERT_TRUE(gui->get_size(plugin, &width, &height));
    EXPECT_EQ(width, accept ? last.first : 683u) << accept;
    gui->destroy(plugin);
    instance.reset();
    window.reset();
  }
}

// Without the host's timers the editor still runs on the descriptor watch;
// a host with neither gets no editor rather than a dead one.
TEST_F(ClapEditorTest, NeedsTheHostsTimerOrDescriptorWatch)
{
  ClapHostOptions neither;
  neither.timers = false;
  neither.fds = false;
  make(neither);
  EXPECT_FALSE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
  instance.reset();

  ClapHostOptions fdsOnly;
  fdsOnly.timers = false;
  make(fdsOnly);
  open();
  EXPECT_EQ(instance->fds.size(), 1u);
  ASSERT_EQ(window->children().size(), 1u);
  gui->destroy(plugin);
  EXPECT_TRUE(instance->fds.empty());
}
