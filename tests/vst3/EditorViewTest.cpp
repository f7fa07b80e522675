// The editor in a host's window: the bundle loaded with dlopen, its view
// embedded in a window of a virtual X server, driven through the host's run
// loop and clicked with real pointer events.
#include <dirent.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "pluginterfaces/gui/iplugviewcontentscalesupport.h"
#include "pluginterfaces/vst/ivstcontextmenu.h"
#include "pluginterfaces/vst/ivstplugview.h"
#include "vst3/support/RenderHelpers.h"
#include "vst3/support/TestRunLoop.h"
#include "vst3/support/VST3Host.h"
#include "vst3/support/X11TestHost.h"

using namespace host;

namespace
{
constexpr const char* kX11 = "X11EmbedWindowID";
constexpr ParamID kTimeID = 1;
constexpr ParamID kMixID = 5;
constexpr ParamID kDelaySyncID = 7;
// VST 3 key codes.
constexpr int16 kKeyReturn = 4;
constexpr int16 kKeyEscape = 6;
constexpr int16 kKeySpace = 7;
constexpr int16 kKeyDown = 14;

// Layout points at the editor's base scale of 0.5, in window pixels.
int at(float layout) { return static_cast<int>(std::lround(layout * 0.5f)); }

std::string resourcePath(const char* name)
{
  std::string path = TOLMAR_VST3_BUNDLE_BINARY;
  path.resize(path.find_last_of('/'));
  path.resize(path.find_last_of('/'));
  return path + "/Resources/" + name;
}

int openDescriptors()
{
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd"))
  {
    while (readdir(dir))
      ++count;
    closedir(dir);
  }
  return count;
}

// The host's side of the view: resizes its window when asked, after
// letting the view correct the size, and tells the view the outcome.
class PlugFrame final : public IPlugFrame
{
public:
  PlugFrame(TestRunLoop* loop, HostWindow& window) : runLoop(loop), hostWindow(window) {}

  tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override
  {
    EXPECT_FALSE(insideOnSize) << "the view asked for a resize from inside onSize";
    requests.push_back(*newSize);
    ViewRect size = *newSize;
    if (checkConstraints)
      view->checkSizeConstraint(&size);
    hostWindow.resize(size.getWidth(), size.getHeight());
    insideOnSize = true;
    view->onSize(&size);
    insideOnSize = false;
    return kResultTrue;
  }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
  {
    if (runLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid))
      return runLoop->queryInterface(iid, obj);
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, IPlugFrame::iid))
    {
      addRef();
      *obj = static_cast<IPlugFrame*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  TEST_HOST_REFCOUNT

  TestRunLoop* runLoop;
  HostWindow& hostWindow;
  bool checkConstraints = true;
  bool insideOnSize = false;
  std::vector<ViewRect> requests;
};

// A host with context menus for parameters: it records which parameter's
// menu was asked for and where it popped up.
class ContextMenu final : public IContextMenu
{
public:
  int32 PLUGIN_API getItemCount() override { return 0; }
  tresult PLUGIN_API getItem(int32, Item&, IContextMenuTarget**) override { return kResultFalse; }
  tresult PLUGIN_API addItem(const Item&, IContextMenuTarget*) override { return kResultOk; }
  tresult PLUGIN_API removeItem(const Item&, IContextMenuTarget*) override { return kResultOk; }
  tresult PLUGIN_API popup(UCoord x, UCoord y) override
  {
    popups.emplace_back(x, y);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override
  {
    *obj = nullptr;
    return kNoInterface;
  }
  TEST_HOST_REFCOUNT
  std::vector<std::pair<UCoord, UCoord>> popups;
};

// A host whose component handler offers context menus (IComponentHandler3);
// the edits are recorded. Subclasses make the menus.
class ContextMenuHandler : public IComponentHandler, public IComponentHandler3
{
public:
  virtual ~ContextMenuHandler() = default;
  tresult PLUGIN_API beginEdit(ParamID id) override { return edits.beginEdit(id); }
  tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override { return edits.performEdit(id, value); }
  tresult PLUGIN_API endEdit(ParamID id) override { return edits.endEdit(id); }
  tresult PLUGIN_API restartComponent(int32) override { return kResultOk; }
  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override
  {
    if (FUnknownPrivate::iidEqual(iid, IComponentHandler3::iid))
    {
      addRef();
      *obj = static_cast<IComponentHandler3*>(this);
      return kResultOk;
    }
    if (FUnknownPrivate::iidEqual(iid, IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid))
    {
      addRef();
      *obj = static_cast<IComponentHandler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  TEST_HOST_REFCOUNT
  ComponentHandler edits;
};

class MenuComponentHandler final : public ContextMenuHandler
{
public:
  IContextMenu* PLUGIN_API createContextMenu(IPlugView* view, const ParamID* paramID) override
  {
    EXPECT_NE(view, nullptr);
    menuParams.push_back(paramID ? static_cast<int>(*paramID) : -1);
    menu.addRef();
    return &menu;
  }
  ContextMenu menu;
  std::vector<int> menuParams;
};

class EditorViewTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!VirtualDisplay::Shared())
    {
      // Continuous integration installs Xvfb: there, a missing server is a
      // broken setup, not a reason to skip.
      const char* ci = std::getenv("CI");
      if (ci && std::string(ci) == "true")
        FAIL() << "no X server for the editor tests: " << VirtualDisplay::Error();
      GTEST_SKIP() << "no X server for the editor tests: " << VirtualDisplay::Error();
    }
    module = std::make_unique<PluginModule>();
    ASSERT_TRUE(module->loaded());
    loop = std::make_unique<TestRunLoop>();
    hostWindow = std::make_unique<HostWindow>(683, 174);
    ASSERT_TRUE(hostWindow->ok());
    frame = std::make_unique<PlugFrame>(loop.get(), *hostWindow);
    makeEffect("Test Host");
  }

  void TearDown() override
  {
    if (view)
    {
      view->removed();
      view->release();
    }
    effect.reset();
    if (loop)
    {
      loop->runFor(20);
      EXPECT_EQ(loop->handlerCount(), 0);
      EXPECT_EQ(loop->timerCount(), 0);
    }
    frame.reset();
    hostWindow.reset();
    loop.reset();
    module.reset();
  }

  void makeEffect(const char* hostName)
  {
    effect = std::make_unique<EffectInstance>(*module, hostName);
    ASSERT_NE(effect->component, nullptr);
    effect->controller->setComponentHandler(&handler);
  }

  IPlugView* createView()
  {
    IPlugView* created = effect->controller->createView(ViewType::kEditor);
    if (created)
      created->setFrame(frame.get());
    return created;
  }

  // Creates and attaches the view the way hosts do: size first, then the
  // window, then attached; runs the loop until the editor is on screen.
  void open()
  {
    view = createView();
    ASSERT_NE(view, nullptr);
    attach(view);
  }

  void attach(IPlugView* target)
  {
    ViewRect size;
    ASSERT_EQ(target->getSize(&size), kResultOk);
    hostWindow->resize(size.getWidth(), size.getHeight());
    ASSERT_EQ(target->attached(hostWindow->parentHandle(), kX11), kResultOk);
    // Drawn by the first frames of the redraw timer.
    ASSERT_TRUE(waitFor([&] {
      return hostWindow->grab(0, 0, size.getWidth(), size.getHeight()).distinctColours() > 200;
    })) << "the editor never appeared";
  }

  void pump(int milliseconds) { loop->runFor(milliseconds); }
  // Runs the host's loop until the condition holds; a loaded machine may
  // take its time, a broken editor never gets there.
  bool waitFor(const std::function<bool()>& condition) { return loop->runUntil(condition, 5000); }

  ViewRect size()
  {
    ViewRect r;
    EXPECT_EQ(view->getSize(&r), kResultOk);
    return r;
  }

  Image screen()
  {
    const ViewRect r = size();
    return hostWindow->grab(0, 0, r.getWidth(), r.getHeight());
  }

  void click(int x, int y, int button = 1)
  {
    hostWindow->click(x, y, button, [this](int milliseconds) { pump(milliseconds); });
  }

  void drag(int x0, int y0, int x1, int y1, int steps = 10)
  {
    hostWindow->drag(x0, y0, x1, y1, steps, [this](int milliseconds) { pump(milliseconds); });
  }

  // The edits the handler saw for one parameter, as a string of kinds.
  std::string editKinds(ParamID id) const
  {
    std::string kinds;
    for (int i = 0; i < handler.count; ++i)
      if (handler.edits[i].id == id && handler.edits[i].kind != 's' && handler.edits[i].kind != 'f')
        kinds += handler.edits[i].kind;
    return kinds;
  }

  double lastPerformed(ParamID id) const
  {
    double value = -1.0;
    for (int i = 0; i < handler.count; ++i)
      if (handler.edits[i].id == id && handler.edits[i].kind == 'p')
        value = handler.edits[i].value;
    return value;
  }

  // Peak output over seconds of a loud input, processed by the bundle.
  double peakOutput(double seconds, ParameterChanges* changes = nullptr)
  {
    const int32 frames = static_cast<int32>(seconds * 48000.0);
    Stereo input;
    for (auto& channel : input)
      channel.assign(static_cast<size_t>(frames), 0.5);
    const Stereo output = renderBundle(*effect->processor, kSample32, input, blockPattern(frames, {512}), changes);
    double peak = 0.0;
    for (const auto& channel : output)
      for (double sample : channel)
        peak = std::max(peak, std::abs(sample));
    return peak;
  }

  std::unique_ptr<PluginModule> module;
  std::unique_ptr<TestRunLoop> loop;
  std::unique_ptr<HostWindow> hostWindow;
  std::unique_ptr<PlugFrame> frame;
  ComponentHandler handler;
  std::unique_ptr<EffectInstance> effect;
  IPlugView* view = nullptr;
};

// --- Drawing ---------------------------------------------------------------------------

TEST_F(EditorViewTest, DrawsTheEditorIntoAChildWindowOfTheHostsWindow)
{
  open();
  EXPECT_EQ(size().getWidth(), 683);
  EXPECT_EQ(size().getHeight(), 174);
  const std::vector<uint32_t> children = hostWindow->children();
  ASSERT_EQ(children.size(), 1u);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(hostWindow->geometry(children[0], width, height));
  EXPECT_EQ(width, 683);
  EXPECT_EQ(height, 174);

  const Image image = screen();
  ASSERT_EQ(image.width, 683);
  EXPECT_GT(image.distinctColours(), 200) << "the window shows no art";
  if (const char* path = std::getenv("TOLMAR_EDITOR_SCREENSHOT"))
  {
    EXPECT_TRUE(image.writePNG(path));
  }

  // Where no control lies, the window shows the background art, halved.
  cairo_surface_t* back = cairo_image_surface_create_from_png(resourcePath("back.png").c_str());
  ASSERT_EQ(cairo_surface_status(back), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(back), 1366);
  const unsigned char* data = cairo_image_surface_get_data(back);
  const int stride = cairo_image_surface_get_stride(back);
  auto channel = [&](int x, int y, int shift) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    return static_cast<int>((row[x] >> shift) & 0xFF);
  };
  for (const auto& [lx, ly] : {std::pair{700, 60}, std::pair{1100, 140}, std::pair{150, 130}, std::pair{460, 120}})
  {
    for (int shift : {16, 8, 0})
    {
      const int expected =
          (channel(lx, ly, shift) + channel(lx + 1, ly, shift) + channel(lx, ly + 1, shift) + channel(lx + 1, ly + 1, shift) + 2) / 4;
      const int shown = static_cast<int>((image.at(lx / 2, ly / 2) >> shift) & 0xFF);
      EXPECT_NEAR(shown, expected, 12) << "at layout " << lx << "," << ly;
    }
  }
  cairo_surface_destroy(back);
}

TEST_F(EditorViewTest, OffersOnlyTheX11Embedding)
{
  view = createView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(effect->controller->createView("other"), nullptr);
  EXPECT_EQ(view->isPlatformTypeSupported(kX11), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("HWND"), kResultFalse);
  EXPECT_EQ(view->attached(hostWindow->parentHandle(), "NSView"), kResultFalse);
  EXPECT_TRUE(hostWindow->children().empty());
  EXPECT_EQ(view->canResize(), kResultTrue);

  void* support = nullptr;
  ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid, &support), kResultOk);
  static_cast<IPlugViewContentScaleSupport*>(support)->release();

  // A parent that does not exist on the display is refused, not crashed on.
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(uintptr_t{0x7FFFFFF0}), kX11), kResultFalse);
  EXPECT_EQ(loop->handlerCount() + loop->timerCount(), 0);
}

TEST_F(EditorViewTest, RefusesToOpenWhereNothingCouldRedrawIt)
{
  view = createView();
  // A frame without a run loop, in a host that offers none elsewhere.
  frame->runLoop = nullptr;
  EXPECT_EQ(view->attached(hostWindow->parentHandle(), kX11), kResultFalse);
  // A run loop that takes no timers.
  frame->runLoop = loop.get();
  loop->refuseTimers = true;
  EXPECT_EQ(view->attached(hostWindow->parentHandle(), kX11), kResultFalse);
  EXPECT_EQ(loop->handlerCount() + loop->timerCount(), 0);
  hostWindow->sync();
  EXPECT_TRUE(hostWindow->children().empty());
  // Once the host behaves, the same view opens.
  loop->refuseTimers = false;
  attach(view);
}

// --- Mouse ---------------------------------------------------------------------------------

TEST_F(EditorViewTest, DraggingTheTimeKnobSendsOneGestureToTheHostAndTheEngine)
{
  open();
  const double before = effect->controller->getParamNormalized(kTimeID);
  drag(at(290), at(250), at(290), at(250) - 40);

  // One gesture: a begin, values, an end.
  const std::string kinds = editKinds(kTimeID);
  ASSERT_GE(kinds.size(), 4u);
  EXPECT_EQ(kinds.front(), 'b');
  EXPECT_EQ(kinds.back(), 'e');
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 'b'), 1);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 'e'), 1);
  const double after = lastPerformed(kTimeID);
  EXPECT_GT(after, before + 0.05);
  EXPECT_DOUBLE_EQ(effect->controller->getParamNormalized(kTimeID), after);
  EXPECT_NEAR(stateValue(*effect->component, static_cast<int>(kTimeID)),
              effect->controller->normalizedParamToPlain(kTimeID, after), 1e-9);
}

TEST_F(EditorViewTest, ADragGoesOnOutsideTheWindowUntilTheButtonIsReleased)
{
  open();
  effect->controller->setParamNormalized(kTimeID, 0.0);
  hostWindow->moveTo(at(290), at(250));
  pump(40);
  hostWindow->press(1);
  pump(40);
  for (int y = at(250); y >= 0; y -= 25)
  {
    hostWindow->moveTo(at(290), y);
    pump(20);
  }
  hostWindow->moveTo(at(290), 0);
  pump(40);
  const double atTheEdge = effect->controller->getParamNormalized(kTimeID);
  EXPECT_GT(atTheEdge, 0.3);
  hostWindow->moveTo(at(290), -30);
  pump(20);
  hostWindow->moveTo(at(290), -60);
  pump(40);
  const double outside = effect->controller->getParamNormalized(kTimeID);
  EXPECT_GT(outside, atTheEdge + 0.1);
  hostWindow->release(1);
  pump(80);
  const std::string kinds = editKinds(kTimeID);
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 'b'), 1);
  EXPECT_EQ(kinds.back(), 'e');
  // Released outside: moving back in is a hover, not a drag.
  hostWindow->moveTo(at(290), at(200));
  pump(40);
  EXPECT_EQ(effect->controller->getParamNormalized(kTimeID), outside);
}

TEST_F(EditorViewTest, TheWheelStepsTheKnobAndADoubleClickResetsIt)
{
  open();
  const double before = effect->controller->getParamNormalized(kTimeID);
  hostWindow->moveTo(at(290), at(250));
  pump(40);
  for (int i = 0; i < 3; ++i)
  {
    hostWindow->press(4);  // wheel up
    hostWindow->release(4);
  }
  pump(80);
  EXPECT_EQ(editKinds(kTimeID), "bpebpebpe");
  EXPECT_NEAR(effect->controller->getParamNormalized(kTimeID), before + 0.03, 1e-6);

  // Two quick presses at one spot are a double click: back to the default.
  ParameterInfo info{};
  ASSERT_EQ(effect->controller->getParameterInfo(2, info), kResultOk);
  ASSERT_EQ(info.id, kTimeID);
  drag(at(290), at(250), at(290), at(250) - 30);
  ASSERT_GT(std::abs(effect->controller->getParamNormalized(kTimeID) - info.defaultNormalizedValue), 0.05);
  pump(500);
  hostWindow->moveTo(at(290), at(250));
  pump(40);
  hostWindow->press(1);
  hostWindow->release(1);
  hostWindow->press(1);
  hostWindow->release(1);
  pump(100);
  EXPECT_NEAR(effect->controller->getParamNormalized(kTimeID), info.defaultNormalizedValue, 1e-9);
  EXPECT_EQ(editKinds(kTimeID).back(), 'e');
}

TEST_F(EditorViewTest, ARightClickOnAParameterOpensTheHostsMenuForIt)
{
  MenuComponentHandler menuHandler;
  effect->controller->setComponentHandler(&menuHandler);
  open();
  click(at(290), at(250), 3);
  ASSERT_EQ(menuHandler.menuParams, std::vector<int>{static_cast<int>(kTimeID)});
  ASSERT_EQ(menuHandler.menu.popups.size(), 1u);
  EXPECT_NEAR(menuHandler.menu.popups[0].first, at(290), 1);
  EXPECT_NEAR(menuHandler.menu.popups[0].second, at(250), 1);
  EXPECT_EQ(menuHandler.menu.refs, 1);
  EXPECT_EQ(menuHandler.edits.count, 0);
  // The background has no parameter: the editor's own size menu opens,
  // which takes keys.
  click(at(700), at(60), 3);
  EXPECT_EQ(menuHandler.menuParams.size(), 1u);
  EXPECT_EQ(view->onKeyDown(0, kKeyEscape, 0), kResultTrue);
  view->removed();
  effect->controller->setComponentHandler(nullptr);
}

TEST_F(EditorViewTest, ClickingTheDelaySyncSwitchAndFreezeReachesHostAndEngine)
{
  ASSERT_TRUE(effect->start(48000.0, 512));
  open();

  // The switch: one click is a whole gesture that turns it on.
  click(at(196), at(233));
  EXPECT_EQ(editKinds(kDelaySyncID), "bpe");
  EXPECT_EQ(lastPerformed(kDelaySyncID), 1.0);
  EXPECT_EQ(effect->controller->getParamNormalized(kDelaySyncID), 1.0);
  EXPECT_EQ(stateValue(*effect->component, static_cast<int>(kDelaySyncID)), 1.0);
  pump(500);  // not a double click
  click(at(196), at(233));
  EXPECT_EQ(effect->controller->getParamNormalized(kDelaySyncID), 0.0);

  // Freeze sends nothing to the host; the next block freezes the line and
  // the button lights up. The delay line, empty so far, takes no input: a
  // fully wet output stays silent.
  const Image off = hostWindow->grab(at(1210), at(272), at(148), at(48));
  handler.count = 0;
  click(at(1284), at(296));
  peakOutput(0.01);
  EXPECT_TRUE(waitFor([&] { return hostWindow->grab(at(1210), at(272), at(148), at(48)).pixels != off.pixels; }));
  EXPECT_EQ(handler.count, 0);
  ParameterChanges wet;
  wet.add(kMixID, 1.0);
  EXPECT_LT(peakOutput(2.5, &wet), 1e-6);

  pump(500);
  click(at(1284), at(296));
  peakOutput(0.01);
  EXPECT_TRUE(waitFor([&] { return hostWindow->grab(at(1210), at(272), at(148), at(48)).pixels == off.pixels; }));
  EXPECT_GT(peakOutput(2.5), 0.05);
}

TEST_F(EditorViewTest, WorksInHostsThatNeverReportTheDescriptor)
{
  loop->deliverDescriptorEvents = false;
  open();
  EXPECT_EQ(loop->descriptorCallbacks, 0);
  click(at(196), at(233));
  EXPECT_EQ(editKinds(kDelaySyncID), "bpe");
}

// --- Keys ------------------------------------------------------------------------------------

TEST_F(EditorViewTest, KeysReachTheSizeMenuAndUnusedKeysGoBackToTheHost)
{
  open();
  // No menu open: the editor has no use for the key.
  hostWindow->moveTo(at(700), at(60));
  pump(40);
  EXPECT_EQ(view->onKeyDown(0, kKeyDown, 0), kResultFalse);

  click(at(700), at(60), 3);
  EXPECT_EQ(view->onKeyDown(0, kKeyDown, 0), kResultTrue);
  EXPECT_EQ(view->onKeyDown(0, kKeyEscape, 0), kResultTrue);
  pump(40);
  EXPECT_EQ(view->onKeyDown(0, kKeyDown, 0), kResultFalse);
  EXPECT_TRUE(frame->requests.empty());
}

TEST_F(EditorViewTest, InReaperOnlyTheSpaceBarAndEscapeForAnOpenMenuReachTheEditor)
{
  effect.reset();
  makeEffect("REAPER");
  open();
  click(at(700), at(60), 3);
  // Down would move through the open menu, but REAPER keeps it.
  EXPECT_EQ(view->onKeyDown(0, kKeyDown, 0), kResultFalse);
  EXPECT_EQ(view->onKeyDown(0, kKeyReturn, 0), kResultFalse);
  // Escape closes the open menu; with none open it is the host's again.
  EXPECT_EQ(view->onKeyDown(0, kKeyEscape, 0), kResultTrue);
  pump(40);
  EXPECT_EQ(view->onKeyDown(0, kKeyEscape, 0), kResultFalse);
  pump(500); // not a double click
  click(at(700), at(60), 3);
  EXPECT_EQ(view->onKeyDown(u' ', kKeySpace, 0), kResultTrue);
}

// --- Sizes -------------------------------------------------------------------------------------

TEST_F(EditorViewTest, CorrectsProposedSizesToTheEditorsLimits)
{
  view = createView();
  ViewRect small(0, 0, 100, 40);
  EXPECT_EQ(view->checkSizeConstraint(&small), kResultOk);
  EXPECT_EQ(small.getWidth(), 227);
  EXPECT_EQ(small.getHeight(), 58);
  ViewRect base(10, 20, 693, 194);
  EXPECT_EQ(view->checkSizeConstraint(&base), kResultOk);
  EXPECT_EQ(base.left, 10);
  EXPECT_EQ(base.getWidth(), 683);
  EXPECT_EQ(base.getHeight(), 174);
  ViewRect huge(0, 0, 5000, 100);
  EXPECT_EQ(view->checkSizeConstraint(&huge), kResultOk);
  EXPECT_EQ(huge.getWidth(), 2049);
  EXPECT_EQ(huge.getHeight(), 100);
}

TEST_F(EditorViewTest, TheSizeMenuAsksTheHostAndTheWindowFollowsItsAnswer)
{
  open();
  // "Set Windows Size to 200%" is the fourth entry.
  click(at(700), at(60), 3);
  for (int i = 0; i < 4; ++i)
    view->onKeyDown(0, kKeyDown, 0);
  view->onKeyDown(0, kKeyReturn, 0);
  ASSERT_TRUE(waitFor([&] { return frame->requests.size() >= 1u; }));
  ASSERT_EQ(frame->requests.size(), 1u);
  EXPECT_EQ(frame->requests[0].getWidth(), 965);
  EXPECT_EQ(frame->requests[0].getHeight(), 246);
  EXPECT_EQ(size().getWidth(), 965);
  EXPECT_EQ(size().getHeight(), 246);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(hostWindow->geometry(hostWindow->children().at(0), width, height));
  EXPECT_EQ(width, 965);
  EXPECT_EQ(height, 246);

  // "800%" is more than the host allows: it corrects the size through the
  // view, and the editor follows the corrected size.
  click(at(700), at(60), 3);
  for (int i = 0; i < 6; ++i)
    view->onKeyDown(0, kKeyDown, 0);
  view->onKeyDown(0, kKeyReturn, 0);
  ASSERT_TRUE(waitFor([&] { return frame->requests.size() >= 2u; }));
  ASSERT_EQ(frame->requests.size(), 2u);
  EXPECT_EQ(frame->requests[1].getWidth(), 2732);
  EXPECT_EQ(size().getWidth(), 2049);
  EXPECT_EQ(size().getHeight(), 522);
}

TEST_F(EditorViewTest, DraggingTheCornerResizesTheHostsWindow)
{
  open();
  // The handle: the bottom-right 26 layout units.
  drag(at(1353), at(335), at(1353) + 200, at(335) + 51, 8);
  // The host hears the size the drag ended at.
  ASSERT_TRUE(waitFor([&] { return !frame->requests.empty() && frame->requests.back().getWidth() == size().getWidth(); }));
  const ViewRect last = frame->requests.back();
  EXPECT_GT(last.getWidth(), 800);
  EXPECT_EQ(size().getWidth(), last.getWidth());
  EXPECT_EQ(size().getHeight(), last.getHeight());
  EXPECT_NEAR(static_cast<double>(last.getWidth()) / last.getHeight(), 1366.0 / 348.0, 0.05);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(hostWindow->geometry(hostWindow->children().at(0), width, height));
  EXPECT_EQ(width, last.getWidth());
  // Embedders that lay out from the window's hints find the new size there,
  // and no minimum that would keep them from following a smaller one.
  host::HostWindow::SizeHints hints;
  ASSERT_TRUE(hostWindow->sizeHints(hostWindow->children().at(0), hints));
  EXPECT_EQ(hints.baseWidth, width);
  EXPECT_EQ(hints.baseHeight, height);
  EXPECT_EQ(hints.maxWidth, width);
  EXPECT_EQ(hints.maxHeight, height);
  EXPECT_EQ(hints.minWidth, 0);
}

TEST_F(EditorViewTest, FollowsSizesTheHostChoosesWithoutAskingBack)
{
  open();
  ViewRect bigger(0, 0, 1366, 348);
  hostWindow->resize(1366, 348);
  frame->insideOnSize = true;
  EXPECT_EQ(view->onSize(&bigger), kResultOk);
  frame->insideOnSize = false;
  pump(100);
  EXPECT_TRUE(frame->requests.empty());
  EXPECT_EQ(size().getWidth(), 1366);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(hostWindow->geometry(hostWindow->children().at(0), width, height));
  EXPECT_EQ(width, 1366);
  EXPECT_EQ(height, 348);
  EXPECT_GT(screen().distinctColours(), 200);

  // Back to 100% from the menu: the host's window is larger than that
  // now, so the host is asked although the editor once had the size.
  click(at(700) * 2, at(60) * 2, 3);
  for (int i = 0; i < 3; ++i)
    view->onKeyDown(0, kKeyDown, 0);
  view->onKeyDown(0, kKeyReturn, 0);
  ASSERT_TRUE(waitFor([&] { return frame->requests.size() >= 1u; }));
  ASSERT_EQ(frame->requests.size(), 1u);
  EXPECT_EQ(frame->requests[0].getWidth(), 683);
}

TEST_F(EditorViewTest, HonoursTheContentScaleFactorBeforeAndAfterAttaching)
{
  view = createView();
  void* support = nullptr;
  ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport::iid, &support), kResultOk);
  auto* scaling = static_cast<IPlugViewContentScaleSupport*>(support);
  EXPECT_EQ(scaling->setContentScaleFactor(2.f), kResultOk);
  attach(view);
  EXPECT_EQ(size().getWidth(), 1366);
  EXPECT_EQ(size().getHeight(), 348);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(hostWindow->geometry(hostWindow->children().at(0), width, height));
  EXPECT_EQ(width, 1366);
  EXPECT_GT(screen().distinctColours(), 200);

  EXPECT_EQ(scaling->setContentScaleFactor(1.f), kResultOk);
  ASSERT_TRUE(waitFor([&] { return frame->requests.size() >= 1u; }));
  ASSERT_EQ(frame->requests.size(), 1u);
  EXPECT_EQ(frame->requests[0].getWidth(), 683);
  ASSERT_TRUE(hostWindow->geometry(hostWindow->children().at(0), width, height));
  EXPECT_EQ(width, 683);
  scaling->release();
}

// --- Lifecycle -----------------------------------------------------------------------------------

TEST_F(EditorViewTest, AttachesAndRemovesAHundredTimesWithoutLeavingAnythingBehind)
{
  view = createView();
  ASSERT_NE(view, nullptr);
  attach(view);
  view->removed();
  const int descriptors = openDescriptors();
  for (int i = 0; i < 100; ++i)
  {
    ASSERT_EQ(view->attached(hostWindow->parentHandle(), kX11), kResultOk);
    // Every pass registers one descriptor and the frame timer (and the idle
    // timer, which no host context offers here).
    EXPECT_EQ(loop->handlerCount(), 1);
    EXPECT_EQ(loop->timersWithInterval(16), 1);
    EXPECT_EQ(loop->timersWithInterval(20), 1);
    loop->runOnce(i % 10 == 0 ? 20 : 0);
    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(loop->handlerCount() + loop->timerCount(), 0);
  }
  EXPECT_EQ(loop->refusedRegistrations, 0);
  EXPECT_EQ(openDescriptors(), descriptors);
  hostWindow->sync();
  EXPECT_TRUE(hostWindow->children().empty());

  // A fresh view after all that works as the first did.
  view->release();
  open();
  EXPECT_GT(screen().distinctColours(), 200);
}

TEST_F(EditorViewTest, ToleratesHostsThatCallHandlersAfterUnregistering)
{
  loop->callAfterUnregister = true;
  open();
  view->removed();
  pump(50);
  view->release();
  view = nullptr;
  pump(50);
  open();
  click(at(196), at(233));
  EXPECT_EQ(editKinds(kDelaySyncID), "bpe");
}

TEST_F(EditorViewTest, OneViewAtATimeShowsTheEditor)
{
  open();
  IPlugView* second = createView();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->attached(hostWindow->parentHandle(), kX11), kResultFalse);
  second->release();
  EXPECT_EQ(hostWindow->children().size(), 1u);
}

TEST_F(EditorViewTest, ReleasingTheInstanceAndThenTheOpenViewIsSafe)
{
  open();
  click(at(196), at(233));
  // The host drops the instance while the view is still attached, then the
  // view without removing it.
  effect.reset();
  pump(50);
  EXPECT_EQ(hostWindow->children().size(), 1u);
  view->release();
  view = nullptr;
  hostWindow->sync();
  EXPECT_TRUE(hostWindow->children().empty());
  EXPECT_EQ(loop->handlerCount() + loop->timerCount(), 0);
}

// --- The idle timer --------------------------------------------------------------------------------

TEST_F(EditorViewTest, TheIdleTimerRunsOnTheRunLoopOfTheHostContext)
{
  effect.reset();
  TestRunLoop contextLoop;
  effect = std::make_unique<EffectInstance>(*module, "Test Host", false);
  effect->application->runLoop = &contextLoop;
  EXPECT_EQ(contextLoop.timerCount(), 0);
  ASSERT_TRUE(effect->initialize());
  EXPECT_EQ(contextLoop.timersWithInterval(20), 1);
  // An open editor leaves the idle timer where it is.
  effect->controller->setComponentHandler(&handler);
  open();
  EXPECT_EQ(loop->timersWithInterval(20), 0);
  EXPECT_EQ(contextLoop.timersWithInterval(20), 1);
  view->removed();
  view->release();
  view = nullptr;
  effect->component->terminate();
  EXPECT_EQ(contextLoop.timerCount(), 0);
  effect.reset();
}

TEST_F(EditorViewTest, TheIdleTimerRunsOnTheRunLoopOfTheFactoryContext)
{
  effect.reset();
  TestRunLoop contextLoop;
  HostApplication application("Test Host");
  application.runLoop = &contextLoop;
  IPluginFactory* factory = module->factory();
  ASSERT_NE(factory, nullptr);
  void* factory3 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid, &factory3), kResultOk);
  EXPECT_EQ(static_cast<IPluginFactory3*>(factory3)->setHostContext(&application), kResultOk);
  effect = std::make_unique<EffectInstance>(*module, "Test Host");
  EXPECT_EQ(contextLoop.timersWithInterval(20), 1);
  effect.reset();
  EXPECT_EQ(contextLoop.timerCount(), 0);
  static_cast<IPluginFactory3*>(factory3)->setHostContext(nullptr);
  static_cast<IPluginFactory3*>(factory3)->release();
  factory->release();
  EXPECT_EQ(application.refs, 1);
}
} // namespace

// --- Typed values ------------------------------------------------------------------------

namespace
{
constexpr ParamID kFeedbackID = 2;
constexpr int16 kKeyBack = 1;
// X11 key symbols.
constexpr uint32_t kXReturn = 0xFF0D;
constexpr uint32_t kXEscape = 0xFF1B;
constexpr uint32_t kXDown = 0xFF54;

// An item of the host's own in its menu.
class HostTarget final : public IContextMenuTarget
{
public:
  tresult PLUGIN_API executeMenuItem(int32) override
  {
    ++executed;
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override
  {
    *obj = nullptr;
    return kNoInterface;
  }
  TEST_HOST_REFCOUNT
  int executed = 0;
};

// A host menu that keeps its items, hands them out as hosts do (without a
// reference) and, when it pops up, runs the item the user would choose.
class ItemMenu final : public IContextMenu
{
public:
  struct Entry
  {
    Item item;
    IContextMenuTarget* target;
  };
  ~ItemMenu()
  {
    for (Entry& e : items)
      if (e.target)
        e.target->release();
  }
  int32 PLUGIN_API getItemCount() override { return static_cast<int32>(items.size()); }
  tresult PLUGIN_API getItem(int32 index, Item& item, IContextMenuTarget** target) override
  {
    if (index < 0 || index >= getItemCount())
      return kResultFalse;
    item = items[static_cast<size_t>(index)].item;
    if (target)
      *target = items[static_cast<size_t>(index)].target;
    return kResultOk;
  }
  tresult PLUGIN_API addItem(const Item& item, IContextMenuTarget* target) override
  {
    if (target)
      target->addRef();
    items.push_back({item, target});
    return kResultOk;
  }
  tresult PLUGIN_API removeItem(const Item& item, IContextMenuTarget* target) override
  {
    for (auto it = items.begin(); it != items.end(); ++it)
      if (it->item.tag == item.tag && it->target == target)
      {
        if (target)
          target->release();
        items.erase(it);
        return kResultOk;
      }
    return kResultFalse;
  }
  tresult PLUGIN_API popup(UCoord, UCoord) override
  {
    ++popups;
    if (choose >= 0 && choose < getItemCount() && items[static_cast<size_t>(choose)].target)
      items[static_cast<size_t>(choose)].target->executeMenuItem(items[static_cast<size_t>(choose)].item.tag);
    return kResultOk;
  }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override
  {
    *obj = nullptr;
    return kNoInterface;
  }
  TEST_HOST_REFCOUNT
  std::vector<Entry> items;
  int choose = -1;
  int popups = 0;
};

class ItemMenuHandler final : public ContextMenuHandler
{
public:
  IContextMenu* PLUGIN_API createContextMenu(IPlugView*, const ParamID*) override
  {
    // A fresh menu each time, holding the host's own item.
    menu = std::make_unique<ItemMenu>();
    IContextMenuItem own{};
    const std::u16string name = u"Host Item";
    std::copy(name.begin(), name.end(), own.name);
    own.tag = 77;
    menu->addItem(own, &hostTarget);
    menu->choose = choose;
    menu->addRef();
    return menu.get();
  }
  HostTarget hostTarget;
  std::unique_ptr<ItemMenu> menu;
  int choose = -1;
};

std::u16string itemName(const IContextMenuItem& item) { return std::u16string(item.name); }
} // namespace

class TypedValueTest : public EditorViewTest
{
protected:
  // Types text into the editor through the host's key path.
  void typeThroughHost(const char16_t* text)
  {
    for (const char16_t* c = text; *c; ++c)
      EXPECT_EQ(view->onKeyDown(*c, 0, 0), kResultTrue) << static_cast<char>(*c);
  }

  std::string kindsIn(const ComponentHandler& edits, ParamID id) const
  {
    std::string kinds;
    for (int i = 0; i < edits.count; ++i)
      if (edits.edits[i].id == id && edits.edits[i].kind != 's' && edits.edits[i].kind != 'f')
        kinds += edits.edits[i].kind;
    return kinds;
  }
};

TEST_F(TypedValueTest, TheHostsMenuOffersEnterValueOnTopAndTheShownTimeTypedSetsIt)
{
  ItemMenuHandler menuHandler;
  effect->controller->setComponentHandler(&menuHandler);
  open();
  // The user opens the host's menu on the time knob and takes our item.
  menuHandler.choose = 0;
  click(at(290), at(250), 3);
  ASSERT_NE(menuHandler.menu, nullptr);
  ASSERT_EQ(menuHandler.menu->items.size(), 3u);
  EXPECT_EQ(itemName(menuHandler.menu->items[0].item), u"Enter Value\u2026");
  EXPECT_TRUE(menuHandler.menu->items[1].item.flags & IContextMenuItem::kIsSeparator);
  EXPECT_EQ(itemName(menuHandler.menu->items[2].item), u"Host Item");
  EXPECT_EQ(menuHandler.menu->items[2].target, &menuHandler.hostTarget);
  EXPECT_EQ(menuHandler.edits.count, 0);

  // The field holds "325ms", selected: typing replaces it; nothing reaches
  // the host before Return.
  typeThroughHost(u"250ms");
  EXPECT_EQ(menuHandler.edits.count, 0);
  EXPECT_EQ(view->onKeyDown(0, kKeyReturn, 0), kResultTrue);
  EXPECT_EQ(kindsIn(menuHandler.edits, kTimeID), "bpe");
  // 250 ms in the range of 62.5 to 500 ms.
  const double time250 = (250.0 - 62.5) / (500.0 - 62.5);
  EXPECT_NEAR(effect->controller->getParamNormalized(kTimeID), time250, 1e-9);
  EXPECT_EQ(view->onKeyDown(u'x', 0, 0), kResultFalse) << "the field closed; keys are the host's again";

  // A text that cannot be read keeps the value and the field; Escape
  // closes it.
  pump(500);
  click(at(290), at(250), 3);
  typeThroughHost(u"fast");
  EXPECT_EQ(view->onKeyDown(0, kKeyReturn, 0), kResultTrue);
  EXPECT_EQ(kindsIn(menuHandler.edits, kTimeID), "bpe");
  EXPECT_EQ(view->onKeyDown(0, kKeyBack, 0), kResultTrue);
  EXPECT_EQ(view->onKeyDown(0, kKeyEscape, 0), kResultTrue);
  EXPECT_EQ(view->onKeyDown(u'x', 0, 0), kResultFalse);
  EXPECT_NEAR(effect->controller->getParamNormalized(kTimeID), time250, 1e-9);

  // Control+V pastes what another program copied (its first line).
  pump(500);
  hostWindow->offerClipboard("125ms\nsecond line");
  click(at(290), at(250), 3);
  EXPECT_EQ(view->onKeyDown(u'v', 0, 4 /* control */), kResultTrue);
  for (int i = 0; i < 20; ++i)
  {
    hostWindow->serveClipboard();
    pump(20);
  }
  EXPECT_EQ(view->onKeyDown(0, kKeyReturn, 0), kResultTrue);
  EXPECT_NEAR(effect->controller->getParamNormalized(kTimeID), (125.0 - 62.5) / (500.0 - 62.5), 1e-9);

  // The host's own item still works.
  pump(500);
  menuHandler.choose = 2;
  click(at(290), at(250), 3);
  EXPECT_EQ(menuHandler.hostTarget.executed, 1);
  view->removed();
  effect->controller->setComponentHandler(nullptr);
}

TEST_F(TypedValueTest, WithoutAHostMenuTheKnobsOwnMenuTakesKeysFromTheXServer)
{
  // Like Ardour: no menu of the host's and no keys through the view. The
  // editor takes the keyboard from X while its menu and field are open.
  open();
  const uint32_t editorWindow = hostWindow->children().at(0);
  click(at(422), at(250), 3);
  ASSERT_TRUE(waitFor([&] { return hostWindow->inputFocus() == editorWindow; })) << "the menu took no focus";
  ASSERT_TRUE(hostWindow->typeKey(kXDown));
  ASSERT_TRUE(hostWindow->typeKey(kXReturn)); // "Enter Value…"
  pump(100);
  ASSERT_TRUE(hostWindow->typeText("40%"));
  ASSERT_TRUE(hostWindow->typeKey(kXReturn));
  ASSERT_TRUE(waitFor([&] { return editKinds(kFeedbackID) == "bpe"; })) << editKinds(kFeedbackID);
  EXPECT_NEAR(effect->controller->getParamNormalized(kFeedbackID), 0.7, 1e-9);
  EXPECT_TRUE(waitFor([&] { return hostWindow->inputFocus() != editorWindow; })) << "the focus was not given back";

  // "Default Value" from the same menu.
  pump(500);
  click(at(422), at(250), 3);
  ASSERT_TRUE(waitFor([&] { return hostWindow->inputFocus() == editorWindow; }));
  hostWindow->typeKey(kXDown);
  hostWindow->typeKey(kXDown);
  hostWindow->typeKey(kXReturn);
  ASSERT_TRUE(waitFor([&] { return editKinds(kFeedbackID) == "bpebpe"; })) << editKinds(kFeedbackID);
  EXPECT_EQ(effect->controller->getParamNormalized(kFeedbackID), 0.5);

  // Escape closes the window-size menu, and a text field, from the keyboard.
  pump(500);
  const Image before = screen();
  click(at(700), at(60), 3);
  ASSERT_TRUE(waitFor([&] { return screen().pixels != before.pixels; }));
  hostWindow->typeKey(kXEscape);
  EXPECT_TRUE(waitFor([&] { return screen().pixels == before.pixels; })) << "Escape left the menu open";
  EXPECT_TRUE(waitFor([&] { return hostWindow->inputFocus() != editorWindow; }));
  EXPECT_TRUE(frame->requests.empty());
}

TEST_F(TypedValueTest, InReaperEveryKeyGoesToAnOpenFieldAndOnlyThen)
{
  effect.reset();
  makeEffect("REAPER");
  ItemMenuHandler menuHandler;
  effect->controller->setComponentHandler(&menuHandler);
  open();
  EXPECT_EQ(view->onKeyDown(u'4', 0, 0), kResultFalse) << "no field: the key is REAPER's";
  menuHandler.choose = 0;
  click(at(422), at(250), 3);
  typeThroughHost(u"-40 %");
  EXPECT_EQ(view->onKeyDown(0, kKeyReturn, 0), kResultTrue);
  EXPECT_EQ(kindsIn(menuHandler.edits, kFeedbackID), "bpe");
  EXPECT_NEAR(effect->controller->getParamNormalized(kFeedbackID), 0.3, 1e-9);
  EXPECT_EQ(view->onKeyDown(u'4', 0, 0), kResultFalse);
  view->removed();
  effect->controller->setComponentHandler(nullptr);
}
