// The LV2 editor embedded as GTK 3 hosts embed X11 editors: through suil's
// X11-in-GTK3 wrapper, in a GTK window on a virtual X server. Such hosts lay
// out their window from what the wrapper asks for right after the editor
// is made, before any idle call.
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <lv2/ui/ui.h>
#include <suil/suil.h>

#include "lv2/Lv2Uris.h"
#include "lv2/support/Lv2Host.h"
#include "vst3/support/X11TestHost.h"

namespace
{
// GTK 3 is loaded at run time, as suil's wrapper module loads it: the test
// needs only its library, not its headers.
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

  // Never unloaded: GTK cannot be unloaded from a process that used it.
  bool load()
  {
    void* library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_GLOBAL);
    if (!library)
      return false;
    auto find = [library](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      return function != nullptr;
    };
    return find(initCheck, "gtk_init_check") && find(windowNew, "gtk_window_new") &&
           find(containerAdd, "gtk_container_add") && find(showAll, "gtk_widget_show_all") &&
           find(preferredSize, "gtk_widget_get_preferred_size") && find(eventsPending, "gtk_events_pending") &&
           find(iterate, "gtk_main_iteration_do") && find(allocatedWidth, "gtk_widget_get_allocated_width") &&
           find(allocatedHeight, "gtk_widget_get_allocated_height") && find(destroy, "gtk_widget_destroy");
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
} // namespace

// GTK keeps what it allocates until the process ends; the plug-in's own
// leaks are watched by every other test binary.
extern "C" int __lsan_is_turned_off() { return 1; }

TEST(SuilEmbed, TheGtk3WrapperGetsTheEditorsFullSizeBeforeItLaysOut)
{
  if (!host::VirtualDisplay::Shared())
  {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true")
      FAIL() << "no X server: " << host::VirtualDisplay::Error();
    GTEST_SKIP() << "no X server: " << host::VirtualDisplay::Error();
  }
  // No accessibility bus in a virtual X server.
  ::setenv("NO_AT_BRIDGE", "1", 1);
  Gtk gtk;
  ASSERT_TRUE(gtk.load()) << "GTK 3 (libgtk-3-0) is needed to embed through suil: " << dlerror();
  ASSERT_TRUE(gtk.initCheck(nullptr, nullptr));

  lv2host::World world;
  ASSERT_NE(world.plugin, nullptr);
  LilvUIs* uis = lilv_plugin_get_uis(world.plugin);
  const LilvUI* ui = nullptr;
  LILV_FOREACH(uis, i, uis)
    if (lilv_ui_is_a(lilv_uis_get(uis, i), world.uri(LV2_UI__X11UI)))
      ui = lilv_uis_get(uis, i);
  ASSERT_NE(ui, nullptr);
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);

  SuilHost* suilHost = suil_host_new(ignoreWrite, nullptr, nullptr, nullptr);
  const LV2_Feature* features[] = {world.urids.features()[0], nullptr};
  SuilInstance* instance = suil_instance_new(suilHost, nullptr, LV2_UI__Gtk3UI, Lv2Uris::kPlugin, Lv2Uris::kEditor,
                                             LV2_UI__X11UI, bundle, binary, features);
  lilv_free(binary);
  lilv_free(bundle);
  lilv_uis_free(uis);
  ASSERT_NE(instance, nullptr) << "suil could not wrap the editor (is its X11-in-GTK3 module installed?)";
  void* widget = suil_instance_get_widget(instance);
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

  suil_instance_free(instance);
  gtk.destroy(window);
  gtk.pump(std::chrono::milliseconds(50));
  suil_host_free(suilHost);
}
