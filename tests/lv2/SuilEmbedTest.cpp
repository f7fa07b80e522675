// The LV2 editor embedded as GTK hosts embed X11 editors: through suil's
// X11-in-GTK3 and X11-in-GTK2 wrappers (Audacity and Ardour), in a GTK
// window on a virtual X server. Such hosts lay out their window from what
// the wrapper asks for right after the editor is made, before any idle
// call, follow its sizes afterwards, and keep the keyboard focus on their
// own window.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <suil/suil.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include "editor/TolmarEditor.h"
#include "plugin/TolmarDelay.h"
#include "toolkit/OffscreenEditor.h"

#include "control/UserPresetFolder.h"
#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "vst3/support/X11TestHost.h"

extern char** environ;

namespace
{
// GTK is loaded at run time, as suil's wrapper module loads it: the test
// needs only its library, not its headers. GTK 2 and 3 cannot share a
// process.
constexpr const char* kGtk3Library = "libgtk-3.so.0";
constexpr const char* kGtk2Library = "libgtk-x11-2.0.so.0";

struct Gtk
{
  struct Requisition
  {
    int width;
    int height;
  };
  struct Allocation
  {
    int x, y, width, height;
  };
  int (*initCheck)(int*, char***) = nullptr;
  void* (*windowNew)(int) = nullptr;
  void (*containerAdd)(void*, void*) = nullptr;
  void (*showAll)(void*) = nullptr;
  void (*preferredSize)(void*, Requisition*, Requisition*) = nullptr;
  int (*eventsPending)() = nullptr;
  int (*iterate)(int) = nullptr;
  int (*allocatedWidth)(void*) = nullptr;
  int (*allocatedHeight)(void*) = nullptr;
  void (*destroy)(void*) = nullptr;
  // In both versions.
  void* (*vboxNew)(int, int) = nullptr;
  void (*packStart)(void*, void*, int, int, unsigned) = nullptr;
  void* (*entryNew)() = nullptr;
  const char* (*entryText)(void*) = nullptr;
  void (*grabFocus)(void*) = nullptr;
  void (*present)(void*) = nullptr;
  void (*setTitle)(void*, const char*) = nullptr;
  void (*setResizable)(void*, int) = nullptr;
  void (*allocation)(void*, Allocation*) = nullptr;

  // Never unloaded: GTK cannot be unloaded from a process that used it.
  bool load(const char* libraryName = kGtk3Library)
  {
    void* library = dlopen(libraryName, RTLD_NOW | RTLD_GLOBAL);
    if (!library)
      return false;
    auto find = [library](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      return function != nullptr;
    };
    const bool common = find(initCheck, "gtk_init_check") && find(windowNew, "gtk_window_new") &&
                        find(containerAdd, "gtk_container_add") && find(showAll, "gtk_widget_show_all") &&
                        find(eventsPending, "gtk_events_pending") && find(iterate, "gtk_main_iteration_do") &&
                        find(destroy, "gtk_widget_destroy") && find(vboxNew, "gtk_vbox_new") &&
                        find(packStart, "gtk_box_pack_start") && find(entryNew, "gtk_entry_new") &&
                        find(entryText, "gtk_entry_get_text") && find(grabFocus, "gtk_widget_grab_focus") &&
                        find(present, "gtk_window_present") && find(setTitle, "gtk_window_set_title") &&
                        find(setResizable, "gtk_window_set_resizable") &&
                        find(allocation, "gtk_widget_get_allocation");
    if (std::string(libraryName) != kGtk3Library)
      return common;
    return common && find(preferredSize, "gtk_widget_get_preferred_size") &&
           find(allocatedWidth, "gtk_widget_get_allocated_width") &&
           find(allocatedHeight, "gtk_widget_get_allocated_height");
  }

  // Shows a top-level window, raised, with the keyboard focus in `field`
  // once it has settled for `settle`.
  void showFocused(void* window, void* field, std::chrono::milliseconds settle)
  {
    showAll(window);
    pump(std::chrono::milliseconds(300));
    present(window);
    grabFocus(field);
    pump(settle);
  }

  void pump(std::chrono::milliseconds time)
  {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end)
    {
      while (eventsPending())
        iterate(0);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
};

void ignoreWrite(SuilController, uint32_t, uint32_t, uint32_t, const void*) {}

// The editor wrapped by suil for a GTK container (LV2_UI__Gtk3UI or
// LV2_UI__GtkUI), as the hosts make it.
struct SuilEditor
{
  lv2host::World world;
  SuilHost* host = nullptr;
  SuilInstance* instance = nullptr;

  explicit SuilEditor(const char* containerType)
  {
    if (!world.plugin)
      return;
    LilvUIs* uis = lilv_plugin_get_uis(world.plugin);
    const LilvUI* ui = nullptr;
    LILV_FOREACH(uis, i, uis)
      if (lilv_ui_is_a(lilv_uis_get(uis, i), world.uri(LV2_UI__X11UI)))
        ui = lilv_uis_get(uis, i);
    if (ui)
    {
      char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
      char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
      host = suil_host_new(ignoreWrite, nullptr, nullptr, nullptr);
      const LV2_Feature* features[] = {world.urids.features()[0], nullptr};
      instance = suil_instance_new(host, nullptr, containerType, Lv2Uris::kPlugin, Lv2Uris::kEditor, LV2_UI__X11UI,
                                   bundle, binary, features);
      lilv_free(binary);
      lilv_free(bundle);
    }
    lilv_uis_free(uis);
  }
  ~SuilEditor()
  {
    close();
    if (host)
      suil_host_free(host);
  }
  // Before the host's window goes, as hosts close editors.
  void close()
  {
    if (instance)
      suil_instance_free(instance);
    instance = nullptr;
  }
  void* widget() const { return instance ? suil_instance_get_widget(instance) : nullptr; }
};

bool needDisplay()
{
  if (host::VirtualDisplay::Shared())
    return true;
  const char* ci = std::getenv("CI");
  if (ci && std::string(ci) == "true")
    ADD_FAILURE() << "no X server: " << host::VirtualDisplay::Error();
  return false;
}
} // namespace

// GTK keeps what it allocates until the process ends; the plug-in's own
// leaks are watched by every other test binary.
extern "C" int __lsan_is_turned_off() { return 1; }

TEST(SuilEmbed, TheGtk3WrapperGetsTheEditorsFullSizeBeforeItLaysOut)
{
  if (!needDisplay())
    GTEST_SKIP() << "no X server: " << host::VirtualDisplay::Error();
  // No accessibility bus in a virtual X server.
  ::setenv("NO_AT_BRIDGE", "1", 1);
  if (dlopen(kGtk2Library, RTLD_NOW | RTLD_NOLOAD))
    GTEST_SKIP() << "GTK 2 is loaded in this process; ctest runs each case alone";
  Gtk gtk;
  ASSERT_TRUE(gtk.load()) << "GTK 3 (libgtk-3-0) is needed to embed through suil: " << dlerror();
  ASSERT_TRUE(gtk.initCheck(nullptr, nullptr));

  SuilEditor editor(LV2_UI__Gtk3UI);
  ASSERT_NE(editor.instance, nullptr) << "suil could not wrap the editor (is its X11-in-GTK3 module installed?)";
  void* widget = editor.widget();
  ASSERT_NE(widget, nullptr);

  void* window = gtk.windowNew(0);
  gtk.containerAdd(window, widget);
  gtk.showAll(window);
  Gtk::Requisition minimum{}, natural{};
  gtk.preferredSize(widget, &minimum, &natural);
  EXPECT_EQ(natural.width, 683);
  EXPECT_EQ(natural.height, 174);
  EXPECT_GE(minimum.width, 683);
  EXPECT_GE(minimum.height, 174);

  gtk.pump(std::chrono::milliseconds(500));
  EXPECT_GE(gtk.allocatedWidth(widget), 683);
  EXPECT_GE(gtk.allocatedHeight(widget), 174);

  editor.close();
  gtk.destroy(window);
  gtk.pump(std::chrono::milliseconds(50));
}

// Keys typed by a person reach an open menu or text field of the editor,
// and only then: Ardour (GTK 2) and Audacity (GTK 3) keep the keyboard
// focus on their own window, and a window manager focuses that window on
// every click. Their window here holds a text field of its own, which has
// the focus when the editor opens and must get the keys again after.
class SuilKeys : public ::testing::TestWithParam<const char*>
{
};

TEST_P(SuilKeys, EveryKeyReachesAnOpenMenuOrFieldAndTheHostGetsThemBack)
{
  if (!needDisplay())
    GTEST_SKIP() << "no X server: " << host::VirtualDisplay::Error();
  ::setenv("NO_AT_BRIDGE", "1", 1);
  const bool gtk3 = std::string(GetParam()) == kGtk3Library;
  if (dlopen(gtk3 ? kGtk2Library : kGtk3Library, RTLD_NOW | RTLD_NOLOAD))
  {
    // The other GTK is loaded here: the case runs in a process of its own.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    char self[] = "/proc/self/exe";
    char* argv[] = {self, const_cast<char*>(filter.c_str()), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, self, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the case failed in its own process";
    return;
  }
  std::string error;
  if (!host::Desktop::StartWindowManager(error))
    std::cout << "[ note     ] no window manager, so no focus moved by clicks: " << error << "\n";
  Gtk gtk;
  ASSERT_TRUE(gtk.load(GetParam())) << GetParam() << " is needed to embed through suil: " << dlerror();
  ASSERT_TRUE(gtk.initCheck(nullptr, nullptr));
  SuilEditor editor(gtk3 ? LV2_UI__Gtk3UI : LV2_UI__GtkUI);
  ASSERT_NE(editor.instance, nullptr) << "suil could not wrap the editor (is its X11-in-GTK module installed?)";

  void* window = gtk.windowNew(0);
  gtk.setTitle(window, "Suil keys host");
  void* box = gtk.vboxNew(0, 0);
  void* hostField = gtk.entryNew();
  gtk.packStart(box, hostField, 0, 0, 0);
  gtk.packStart(box, editor.widget(), 1, 1, 0);
  gtk.containerAdd(window, box);
  gtk.showFocused(window, hostField, std::chrono::milliseconds(300));

  host::Desktop desktop;
  ASSERT_TRUE(desktop.ok());
  auto typed = [&](const char* text) {
    desktop.typeText(text);
    gtk.pump(std::chrono::milliseconds(200));
    return std::string(gtk.entryText(hostField));
  };
  ASSERT_EQ(typed("ab"), "ab") << "the host's window does not hold the focus";

  const uint32_t editorWindow = desktop.findEmbedded(683, 174);
  ASSERT_NE(editorWindow, 0u);
  int x = 0, y = 0;
  ASSERT_TRUE(desktop.rootPosition(editorWindow, x, y));
  auto settled = [&] {
    gtk.pump(std::chrono::milliseconds(250));
    return desktop.grab(editorWindow);
  };
  // The preset menu's button, top left.
  const int presetsX = x + 25, presetsY = y + 27;

  // Escape closes the menu.
  const host::Image closed = settled();
  desktop.click(presetsX, presetsY);
  ASSERT_TRUE(settled().pixels != closed.pixels) << "the preset menu did not open";
  desktop.typeKey(0xFF1B); // Escape
  EXPECT_TRUE(settled().pixels == closed.pixels) << "Escape left the menu open";

  // "Save Preset…" is the last item that can be chosen: Up reaches it, and
  // the user clicks it where it is highlighted.
  desktop.click(presetsX, presetsY);
  settled();
  desktop.typeKey(0xFF52); // Up
  int itemX = 0, itemY = 0;
  ASSERT_TRUE(host::findHighlight(settled(), 0xFFFFC0, itemX, itemY)) << "no item highlighted";
  desktop.click(x + itemX, y + itemY);
  settled();
  desktop.typeText("My Echo 1");
  desktop.typeKey(0xFF0D); // Return
  settled();
  EXPECT_TRUE(UserPresetFolder().load("My Echo 1").has_value()) << "no user preset \"My Echo 1\" was saved";
  EXPECT_EQ(std::string(gtk.entryText(hostField)), "ab") << "keys meant for the editor reached the host";

  // Closed, the host has the keys again.
  EXPECT_EQ(typed("cd"), "abcd") << "the host did not get the keyboard back";

  // With the menu open the user turns to another application's window: the
  // editor does not take the focus back from it.
  desktop.click(presetsX, presetsY);
  ASSERT_TRUE(settled().pixels != closed.pixels) << "the preset menu did not open";
  void* other = gtk.windowNew(0);
  gtk.setTitle(other, "Another application");
  void* otherField = gtk.entryNew();
  gtk.containerAdd(other, otherField);
  gtk.showFocused(other, otherField, std::chrono::milliseconds(500));
  desktop.typeText("zz");
  gtk.pump(std::chrono::milliseconds(300));
  EXPECT_EQ(std::string(gtk.entryText(otherField)), "zz") << "the editor kept the keyboard from another window";

  // Nor from the host's own field, clicked with the menu still open.
  gtk.present(window);
  gtk.pump(std::chrono::milliseconds(300));
  const uint32_t hostWindow = desktop.findWindow("Suil keys host");
  int hostX = 0, hostY = 0;
  ASSERT_TRUE(hostWindow && desktop.rootPosition(hostWindow, hostX, hostY));
  desktop.click(hostX + 40, hostY + 10);
  EXPECT_EQ(typed("gh"), "abcdgh") << "the editor kept the keyboard from the host's own field";

  // A click opens the menu with the keyboard again (a click on the button
  // of an open menu closes it, and one within the double-click time would
  // be a double click); the host closes the editor with it open, and the
  // keys are the host's at once.
  desktop.click(presetsX, presetsY);
  if (settled().pixels == closed.pixels)
  {
    gtk.pump(std::chrono::milliseconds(500));
    desktop.click(presetsX, presetsY);
  }
  ASSERT_TRUE(settled().pixels != closed.pixels) << "the preset menu did not open";
  editor.close();
  gtk.pump(std::chrono::milliseconds(300));
  EXPECT_EQ(typed("ef"), "abcdghef") << "closing the editor with its menu open left the keyboard captured";

  gtk.destroy(other);
  gtk.destroy(window);
  gtk.pump(std::chrono::milliseconds(50));
}

INSTANTIATE_TEST_SUITE_P(Wrappers, SuilKeys, ::testing::Values(kGtk3Library, kGtk2Library),
                         [](const auto& info) { return std::string(info.param) == kGtk3Library ? "Gtk3" : "Gtk2"; });
// --- Sizes ---------------------------------------------------------------------------
//
// Hosts put the editor into a GTK window through suil: Ardour through the
// X11-in-GTK2 wrapper, Audacity and jalv through the X11-in-GTK3 one. Every
// size the editor takes, larger or smaller, through its size menu or its
// corner, must reach the GTK window's allocation. The hosts let the user
// size that window unless the UI says it sizes itself (ui:noUserResize or
// ui:fixedSize); here, as there, the window is then not resizable.
//
// GTK 2 and GTK 3 cannot share a process, and a process keeps the GTK it
// loaded: each wrapper is tried in a process of its own.

namespace
{
struct Wrapper
{
  const char* name;
  const char* gtkLibrary;
  const char* containerType;
};
void PrintTo(const Wrapper& wrapper, std::ostream* out) { *out << wrapper.name; }

// The editor's own window: the deepest window with base-size hints and
// XEmbed information (a wrapper's plug may have both, and holds it).
xcb_window_t findEditorWindow(xcb_connection_t* connection, xcb_window_t parent, xcb_atom_t xembedInfo)
{
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, parent), nullptr);
  if (!tree)
    return 0;
  xcb_window_t found = 0;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
  {
    xcb_get_property_reply_t* info = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, children[i], xembedInfo, XCB_GET_PROPERTY_TYPE_ANY, 0, 2), nullptr);
    xcb_get_property_reply_t* hints = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, children[i], XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 0, 18), nullptr);
    const bool hasInfo = info && info->type != XCB_ATOM_NONE;
    const bool hasBase = hints && xcb_get_property_value_length(hints) >= 18 * 4 &&
                         (static_cast<const uint32_t*>(xcb_get_property_value(hints))[0] & (1u << 8)) != 0;
    std::free(info);
    std::free(hints);
    found = findEditorWindow(connection, children[i], xembedInfo);
    if (!found && hasInfo && hasBase)
      found = children[i];
  }
  std::free(tree);
  return found;
}

// The pointer of a user, through XTEST, at a point of a window.
struct Pointer
{
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;

  ~Pointer() { xcb_disconnect(connection); }
  void sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
  void moveTo(xcb_window_t window, int x, int y)
  {
    xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, root, static_cast<int16_t>(x), static_cast<int16_t>(y)),
        nullptr);
    if (!at)
      return;
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, at->dst_x, at->dst_y, 0);
    std::free(at);
    sync();
  }
  void button(int button, bool down)
  {
    xcb_test_fake_input(connection, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, static_cast<uint8_t>(button),
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
  }
  bool size(xcb_window_t window, int& width, int& height)
  {
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (!geometry)
      return false;
    width = geometry->width;
    height = geometry->height;
    std::free(geometry);
    return true;
  }
};

// Where the size menu shows its items: the same editor, drawn offscreen at
// the same scale with the bundle's art and font, asked after the same
// right-click. Its items are "Set Windows Size to 50%", 75%, 100%, 200%,
// 400%, 800%.
struct SizeMenuMirror
{
  std::string resources;

  // The item's centre in window pixels, its text, and the size the editor
  // takes when it is chosen.
  bool find(float scale, float x, float y, int item, int& px, int& py, std::string& text, int& width, int& height)
  {
    TolmarDelay delay;
    delay.setEditorScale(scale);
    TolmarEditor editor(delay, resources);
    OffscreenEditor offscreen(editor.EnsureGraphics());
    IEditorGraphics& g = *editor.GetGraphics();
    offscreen.Click(x, y, IMouseMod(false, true));
    const IRECT area = g.GetPopupMenuItemRECT(item);
    if (area.Empty())
      return false;
    text = g.GetPopupMenuItemText(item);
    px = static_cast<int>(std::lround(area.MW() * g.GetDrawScale()));
    py = static_cast<int>(std::lround(area.MH() * g.GetDrawScale()));
    offscreen.Click(area.MW(), area.MH());
    width = g.WindowWidth();
    height = g.WindowHeight();
    editor.CloseWindow();
    return true;
  }
};

// Runs in a process of its own: says on stderr what went wrong, exits 0
// when every size reached the GTK window.
[[noreturn]] void followEverySize(const Wrapper& wrapper)
{
  int failures = 0;
  auto fail = [&failures](const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    ++failures;
  };
  auto finish = [&failures] {
    if (!failures)
      std::fprintf(stderr, "followed every size\n");
    std::fflush(stderr);
    std::_Exit(failures ? 1 : 0);
  };
  ::setenv("NO_AT_BRIDGE", "1", 1);
  Gtk gtk;
  if (!gtk.load(wrapper.gtkLibrary) || !gtk.initCheck(nullptr, nullptr))
  {
    fail(std::string("cannot start ") + wrapper.gtkLibrary);
    finish();
  }

  lv2host::World world;
  LilvUIs* uis = lilv_plugin_get_uis(world.plugin);
  const LilvUI* ui = nullptr;
  LILV_FOREACH(uis, i, uis)
    if (lilv_ui_is_a(lilv_uis_get(uis, i), world.uri(LV2_UI__X11UI)))
      ui = lilv_uis_get(uis, i);
  if (!ui)
  {
    fail("no X11 UI");
    finish();
  }
  // The hosts' rule for their window.
  const LilvNode* uiNode = lilv_ui_get_uri(ui);
  const LilvNode* optional = world.uri(LV2_CORE__optionalFeature);
  const bool sizesItself = lilv_world_ask(world.world, uiNode, optional, world.uri(LV2_UI__noUserResize)) ||
                           lilv_world_ask(world.world, uiNode, optional, world.uri(LV2_UI__fixedSize));
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
  SizeMenuMirror mirror{std::string(bundle) + "/resources"};

  SuilHost* suilHost = suil_host_new(ignoreWrite, nullptr, nullptr, nullptr);
  const LV2_Feature* features[] = {world.urids.features()[0], nullptr};
  SuilInstance* instance = suil_instance_new(suilHost, nullptr, wrapper.containerType, Lv2Uris::kPlugin,
                                             Lv2Uris::kEditor, LV2_UI__X11UI, bundle, binary, features);
  lilv_free(binary);
  lilv_free(bundle);
  lilv_uis_free(uis);
  if (!instance)
  {
    fail(std::string("suil could not wrap the editor in ") + wrapper.name);
    finish();
  }
  void* widget = suil_instance_get_widget(instance);
  void* window = gtk.windowNew(0);
  gtk.setResizable(window, sizesItself ? 0 : 1);
  gtk.containerAdd(window, widget);
  gtk.showAll(window);
  gtk.pump(std::chrono::milliseconds(300));

  Pointer pointer;
  const xcb_atom_t xembedInfo = [&pointer] {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(pointer.connection, xcb_intern_atom(pointer.connection, 0, 12, "_XEMBED_INFO"), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
  }();
  const xcb_window_t editorWindow = findEditorWindow(pointer.connection, pointer.root, xembedInfo);
  if (!editorWindow)
  {
    fail("the editor's window is not in the GTK window");
    finish();
  }

  // Waits until the editor's window has the size and the GTK widget holds
  // exactly that; says what it saw otherwise.
  auto settlesAt = [&](const std::string& step, int width, int height) {
    int w = 0, h = 0;
    Gtk::Allocation allocation{};
    for (int tries = 0; tries < 60; ++tries)
    {
      gtk.pump(std::chrono::milliseconds(50));
      pointer.size(editorWindow, w, h);
      gtk.allocation(widget, &allocation);
      if (w == width && h == height && allocation.width == width && allocation.height == height)
        return true;
    }
    fail(step + ": editor " + std::to_string(w) + "x" + std::to_string(h) + ", GTK allocation " +
         std::to_string(allocation.width) + "x" + std::to_string(allocation.height) + ", expected " +
         std::to_string(width) + "x" + std::to_string(height));
    return false;
  };

  if (!settlesAt("opened", 683, 174))
    finish();

  // An empty spot of the editor (layout units) opens the size menu there.
  constexpr float kSpotX = 500.f, kSpotY = 320.f;
  float scale = 0.5f;
  struct Choice
  {
    int item;
    const char* text;
  };
  for (const Choice& choice : {Choice{3, "Set Windows Size to 200%"}, Choice{4, "Set Windows Size to 400%"},
                               Choice{0, "Set Windows Size to 50%"}, Choice{2, "Set Windows Size to 100%"}})
  {
    int x = 0, y = 0, width = 0, height = 0;
    std::string text;
    if (!mirror.find(scale, kSpotX, kSpotY, choice.item, x, y, text, width, height) || text != choice.text)
    {
      fail(std::string("the size menu has no item ") + choice.text + " (found \"" + text + "\")");
      finish();
    }
    pointer.moveTo(editorWindow, static_cast<int>(std::lround(kSpotX * scale)), static_cast<int>(std::lround(kSpotY * scale)));
    pointer.button(3, true);
    pointer.button(3, false);
    gtk.pump(std::chrono::milliseconds(150));
    pointer.moveTo(editorWindow, x, y);
    gtk.pump(std::chrono::milliseconds(50));
    pointer.button(1, true);
    pointer.button(1, false);
    if (!settlesAt(choice.text, width, height))
      finish();
    scale = static_cast<float>(width) / 1366.f;
  }

  // The corner, dragged out and back in further: the window follows each
  // size the drag ends at.
  for (const int by : {200, -360})
  {
    int before = 0, height = 0;
    pointer.size(editorWindow, before, height);
    pointer.moveTo(editorWindow, before - 3, height - 3);
    gtk.pump(std::chrono::milliseconds(50));
    pointer.button(1, true);
    for (int step = 1; step <= 8; ++step)
    {
      pointer.moveTo(editorWindow, before - 3 + by * step / 8, height - 3 + by * step / 8 * 348 / 1366);
      gtk.pump(std::chrono::milliseconds(30));
    }
    pointer.button(1, false);
    gtk.pump(std::chrono::milliseconds(200));
    int width = 0;
    pointer.size(editorWindow, width, height);
    if (by > 0 ? width <= before + 100 : width >= before - 200)
      fail("the corner drag by " + std::to_string(by) + " left the editor " + std::to_string(width) + " wide, from " +
           std::to_string(before));
    settlesAt("corner drag by " + std::to_string(by), width, height);
  }
  finish();
  std::abort();  // not reached: finish ends the process
}
} // namespace

class SuilSizes : public ::testing::TestWithParam<Wrapper>
{
};

TEST_P(SuilSizes, TheGtkWindowFollowsTheEditorLargerAndSmaller)
{
  if (!host::VirtualDisplay::Shared())
  {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true")
      FAIL() << "no X server: " << host::VirtualDisplay::Error();
    GTEST_SKIP() << "no X server: " << host::VirtualDisplay::Error();
  }
  // A process of its own, started afresh (not forked from one that may
  // hold the other GTK already).
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(followEverySize(GetParam()), ::testing::ExitedWithCode(0), "followed every size");
}

INSTANTIATE_TEST_SUITE_P(Wrappers, SuilSizes,
                         ::testing::Values(Wrapper{"GTK2", "libgtk-x11-2.0.so.0", LV2_UI__GtkUI},
                                           Wrapper{"GTK3", "libgtk-3.so.0", LV2_UI__Gtk3UI}),
                         [](const ::testing::TestParamInfo<Wrapper>& info) { return std::string(info.param.name); });
