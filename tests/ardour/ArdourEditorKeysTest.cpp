// The editor in Ardour's own GUI, as a user meets it: Debian's Ardour on a
// virtual X server with a window manager, a session whose track holds the
// built plug-in with its window open, and keys typed through XTest to
// whatever has the focus. A user preset named with a space is saved from
// the editor's menu and text field; then Space reaches Ardour again and
// starts its transport.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "control/UserPresetFolder.h"
#include "lv2/Lv2Uris.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "support/ArdourBundles.h"
#include "support/LoggedProcess.h"
#include "vst3/support/X11TestHost.h"

namespace fs = std::filesystem;

namespace
{
constexpr const char* kScanner = "/usr/lib/ardour7/ardour-vst3-scanner";
constexpr const char* kArdour = "/usr/bin/ardour";
// The editor's size at 100 %, and its preset button (top left) in pixels.
constexpr int kEditorWidth = 683;
constexpr int kEditorHeight = 174;
constexpr int kPresetsX = 25;
constexpr int kPresetsY = 27;
constexpr uint32_t kMenuHighlight = 0xFFFFC0;
constexpr uint32_t kEscape = 0xFF1B, kUp = 0xFF52, kReturn = 0xFF0D, kSpace = 0x20, kControl = 0xFFE3;

void writeText(const fs::path& path, const std::string& text)
{
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done())
  {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

// A program in a process group of its own, its output in `log`; the group
// is ended with the object, whatever the program started.
class Process
{
public:
  Process(std::vector<std::string> args, const fs::path& log) : pid(logged::start(std::move(args), log, true)) {}
  ~Process() { stop(); }
  bool running() const { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
  void stop()
  {
    if (pid <= 0)
      return;
    kill(-pid, SIGTERM);
    if (!waitFor([this] { return waitpid(pid, nullptr, WNOHANG) != 0; }, std::chrono::seconds(5)))
    {
      kill(-pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
  }

private:
  pid_t pid = -1;
};

// Ardour's configuration in the test's home folder: no first-run wizard,
// its dummy audio backend (hidden in release builds) started at once
// without the audio set-up dialog, no announcements.
constexpr const char* kArdourConfig = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
    <Option name="try-autostart-engine" value="1"/>
    <Option name="check-announcements" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device=""
               sample-rate="48000" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input=""
               lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
)xml";

// A session with one track holding the plug-in, made by Ardour's headless
// session host.
constexpr const char* kSessionScript = R"lua(
local kind, id, folder = arg[1], arg[2], arg[3]
if not create_session(folder, "keys", 48000) then print("tolmar-ardour: error: no session") os.exit(2) end
local track = Session:new_audio_track(2, 2, nil, 1, "Delay", -1, ARDOUR.TrackMode.Normal, true, false):front()
local plugin = ARDOUR.LuaAPI.new_plugin(Session, id, kind == "VST3" and ARDOUR.PluginType.VST3 or ARDOUR.PluginType.LV2, "")
if plugin:isnil() then print("tolmar-ardour: error: no plug-in " .. id) os.exit(2) end
track:add_processor_by_index(plugin, 0, nil, true)
Session:save_state("", false, false, false, false, false)
print("tolmar-ardour: done")
close_session()
)lua";

class ArdourEditorKeys : public testing::TestWithParam<std::string>
{
protected:
  fs::path home;
  fs::path work;

  void SetUp() override
  {
    if (!fs::exists(kArdour) || !fs::exists("/usr/bin/ardour7-lua") || !fs::exists(kScanner))
      GTEST_SKIP() << "Debian's Ardour is not installed (see the ardour_install test's output)";
    if (!host::VirtualDisplay::Shared())
      GTEST_SKIP() << "no X server for Ardour's GUI: " << host::VirtualDisplay::Error();
    std::string error;
    if (!host::Desktop::StartWindowManager(error))
      GTEST_SKIP() << "no window manager for Ardour's GUI: " << error;
    home = std::getenv("HOME");
    work = home / ("ardour-gui-" + GetParam());
    fs::create_directories(work);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("NO_AT_BRIDGE", "1", 1);
    const fs::path bundles = home / "ardour-bundles";
    if (ardourtest::linkBuiltBundles(bundles))
      ardourtest::scanVst3Bundle(bundles, home / "scan.log");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const fs::path ardourConfig = fs::path(config ? config : (home / ".config").string()) / "ardour7";
    writeText(ardourConfig / "config", kArdourConfig);
    writeText(ardourConfig / ".a7", "");
  }

  // The session, made headless, with the plug-in's window saved open so that
  // the GUI opens it with the session.
  fs::path makeSession()
  {
    const fs::path script = work / "session.lua";
    const fs::path folder = work / "session";
    writeText(script, kSessionScript);
    const std::string id = GetParam() == "VST3" ? ProductIdentity::kEffectName : Lv2Uris::kPlugin;
    const int rc = logged::run({"timeout", "120", "ardour7-lua", script.string(), GetParam(), id, folder.string()},
                              work / "session.log");
    const std::string log = readText(work / "session.log");
    if (log.find("tolmar-ardour: done") == std::string::npos)
    {
      ADD_FAILURE() << "Ardour made no session (exit " << rc << "):\n" << log;
      return {};
    }
    const fs::path file = folder / "keys.ardour";
    std::string xml = readText(file);
    std::smatch route, plugin;
    if (!std::regex_search(xml, route, std::regex("<Route [^>]*id=\"([0-9]+)\" name=\"Delay\"")) ||
        !std::regex_search(xml, plugin, std::regex(std::string("<Processor id=\"([0-9]+)\" name=\"") +
                                                    ProductIdentity::kEffectName + "\"")))
    {
      ADD_FAILURE() << "no track or plug-in in the session";
      return {};
    }
    const std::string window = "<Window name=\"P-" + route[1].str() + "-" + plugin[1].str() +
                               "\" visible=\"1\" x-off=\"100\" y-off=\"100\" x-size=\"-1\" y-size=\"-1\" custom-ui=\"1\"/>";
    const size_t ui = xml.find("<UI>");
    if (ui != std::string::npos)
      xml.insert(ui + 4, window);
    else
      xml.insert(xml.rfind("</Session>"), "<Extra><UI>" + window + "</UI></Extra>\n");
    writeText(file, xml);
    return file;
  }
};

TEST_P(ArdourEditorKeys, APresetNamedWithASpaceIsSavedAndSpaceThenPlaysArdour)
{
  const fs::path session = makeSession();
  ASSERT_FALSE(session.empty());
  const fs::path log = work / "ardour.log";
  Process ardour({kArdour, "-n", "-a", session.string()}, log);
  host::Desktop desktop;
  ASSERT_TRUE(desktop.ok());

  // The plug-in's window, with the editor drawn in it.
  uint32_t editor = 0;
  const bool opened = waitFor(
      [&] {
        if (desktop.findWindow(std::string(ProductIdentity::kEffectName) + " (by"))
          editor = desktop.findEmbedded(kEditorWidth, kEditorHeight);
        return editor != 0 || !ardour.running();
      },
      std::chrono::seconds(60));
  if (!opened || !editor)
  {
    const std::string out = readText(log);
    if (!ardour.running())
      GTEST_SKIP() << "Ardour's GUI did not start here:\n" << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);
    FAIL() << "Ardour opened no editor of the plug-in in 60 s:\n" << out.substr(out.size() > 3000 ? out.size() - 3000 : 0);
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  int x = 0, y = 0;
  ASSERT_TRUE(desktop.rootPosition(editor, x, y));
  auto settled = [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return desktop.grab(editor);
  };

  // Escape closes the preset menu.
  const host::Image closed = settled();
  desktop.click(x + kPresetsX, y + kPresetsY);
  ASSERT_TRUE(settled().pixels != closed.pixels) << "the preset menu did not open";
  desktop.typeKey(kEscape);
  EXPECT_TRUE(settled().pixels == closed.pixels) << "Escape left the menu open";

  // "Save Preset…", the last item that can be chosen, clicked where Up
  // highlights it; then a name with a space, and Return.
  desktop.click(x + kPresetsX, y + kPresetsY);
  settled();
  desktop.typeKey(kUp);
  int itemX = 0, itemY = 0;
  ASSERT_TRUE(host::findHighlight(settled(), kMenuHighlight, itemX, itemY)) << "no item highlighted";
  desktop.click(x + itemX, y + itemY);
  settled();
  const std::string name = "My Echo " + GetParam();
  desktop.typeText(name.c_str());
  desktop.typeKey(kReturn);
  EXPECT_TRUE(waitFor([&] { return UserPresetFolder().load(name).has_value(); }, std::chrono::seconds(5)))
      << "no user preset \"" << name << "\" was saved";

  // The field is closed: Space is Ardour's again. It plays for a while and
  // stops; the session saved then holds where the playhead stopped.
  settled();
  desktop.typeKey(kSpace);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  desktop.typeKey(kSpace);
  settled();
  const fs::path instant = session.parent_path() / "instant.xml";
  const std::string before = readText(instant);
  desktop.typeKey('s', kControl);
  std::string state;
  const bool saved = waitFor(
      [&] {
        state = readText(instant);
        return state != before;
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(saved) << "Ardour saved no editor state (Control+S did not reach it)";
  std::smatch playhead;
  ASSERT_TRUE(std::regex_search(state, playhead, std::regex("<Editor [^>]* playhead=\"([0-9]+)\""))) << state;
  EXPECT_GT(std::stoll(playhead[1].str()), 0) << "Space did not start Ardour's transport";
  ardour.stop();
}

INSTANTIATE_TEST_SUITE_P(Formats, ArdourEditorKeys, testing::Values("VST3", "LV2"),
                         [](const auto& info) { return info.param; });
} // namespace
