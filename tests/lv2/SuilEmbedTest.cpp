// The LV2 editor embedded as GTK hosts embed X11 editors: through suil's
// X11-in-GTK3 and X11-in-GTK2 wrappers (Audacity and Ardour), in a GTK
// window on a virtual X server. Such hosts lay out their window from what
// the wrapper asks for right after the editor is made, before any idle
// call, and keep the keyboard focus on their own window.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <lv2/ui/ui.h>
#include <suil/suil.h>

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
                        find(present, "gtk_window_present") && find(setTitle, "gtk_window_set_title");
    if (std::string(libraryName) != kGtk3Library)
      return common;
    return common && find(preferredSize, "gtk_widget_get_preferred_size") &&
           find(allocatedWidth, "gtk_widget_get_allocated_width") &&
           find(allocatedHeight, "gtk_widget_get_allocated_height");
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
  gtk.showAll(window);
  gtk.pump(std::chrono::milliseconds(300));
  gtk.present(window);
  gtk.grabFocus(hostField);
  gtk.pump(std::chrono::milliseconds(300));

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
  gtk.showAll(other);
  gtk.pump(std::chrono::milliseconds(300));
  gtk.present(other);
  gtk.grabFocus(otherField);
  gtk.pump(std::chrono::milliseconds(500));
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

  // A click opens the menu with the keyboard again; the host closes the
  // editor with it open, and the keys are the host's at once.
  desktop.click(presetsX, presetsY);
  if (settled().pixels == closed.pixels)
    desktop.click(presetsX, presetsY);
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
