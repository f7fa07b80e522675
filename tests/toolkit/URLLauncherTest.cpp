#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "ToolkitFixtures.h"
#include "toolkit/URLLauncher.h"

#ifndef TOLMAR_ARGV_RECORDER
#error "TOLMAR_ARGV_RECORDER must name the argument recording helper"
#endif

namespace
{
struct LauncherFixture : OffscreenFixture
{
  LauncherFixture()
  {
    graphics->SetURLLauncher([this](const std::string& url) {
      launched.push_back(url);
      return launcherWorks;
    });
  }
  std::vector<std::string> launched;
  bool launcherWorks = true;
};

std::vector<std::string> readLines(const std::string& path)
{
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}
} // namespace

TEST(OpenURL, HandsTheAddressOverUnchangedAsOneString)
{
  LauncherFixture f;
  const std::string tricky = "https://example.com/a b;echo 'x' \"$(id)\"&c=|d`e`";
  EXPECT_TRUE(f.graphics->OpenURL(tricky.c_str()));
  ASSERT_EQ(f.launched.size(), 1u);
  EXPECT_EQ(f.launched[0], tricky);
}

TEST(OpenURL, OpensOnlyWebAndMailAddresses)
{
  EXPECT_TRUE(IsOpenableURL("http://example.com/"));
  EXPECT_TRUE(IsOpenableURL("HTTPS://example.com/music/vst.html"));
  EXPECT_TRUE(IsOpenableURL("mailto:someone@example.com"));
  EXPECT_FALSE(IsOpenableURL(""));
  EXPECT_FALSE(IsOpenableURL("http://"));
  EXPECT_FALSE(IsOpenableURL("--help"));
  EXPECT_FALSE(IsOpenableURL("file:///etc/passwd"));
  EXPECT_FALSE(IsOpenableURL("/usr/bin/xterm"));
  EXPECT_FALSE(IsOpenableURL("javascript:alert(1)"));
  EXPECT_FALSE(IsOpenableURL("http://example.com/\nsecond"));

  LauncherFixture f;
  EXPECT_FALSE(f.graphics->OpenURL("file:///etc/passwd"));
  EXPECT_FALSE(f.graphics->OpenURL(nullptr));
  EXPECT_TRUE(f.launched.empty());
}

TEST(OpenURL, AFailureIsShownWhenAMessageIsGiven)
{
  LauncherFixture f;
  f.launcherWorks = false;
  EXPECT_FALSE(f.graphics->OpenURL("http://example.com/"));
  EXPECT_FALSE(f.graphics->IsShowingMessageBox());
  EXPECT_FALSE(f.graphics->OpenURL("http://example.com/", "Browser", nullptr, "No browser could be started."));
  EXPECT_TRUE(f.graphics->IsShowingMessageBox());
}

TEST(OpenURL, AsksFirstWhenToldTo)
{
  LauncherFixture f;
  EXPECT_TRUE(f.graphics->OpenURL("http://example.com/", "Update", "Open the download page?"));
  EXPECT_TRUE(f.launched.empty());
  f.editor.Key(kVK_ESCAPE);
  EXPECT_TRUE(f.launched.empty());
  f.graphics->OpenURL("http://example.com/", "Update", "Open the download page?");
  f.editor.Key(kVK_RETURN);
  EXPECT_EQ(f.launched, std::vector<std::string>{"http://example.com/"});
}

TEST(LaunchDetached, ReportsWhetherTheProgramStarted)
{
  EXPECT_TRUE(LaunchDetached("/bin/true", "http://example.com/"));
  EXPECT_TRUE(LaunchDetached("true", "http://example.com/")) << "found through PATH";
  EXPECT_FALSE(LaunchDetached("/nonexistent/xdg-open", "http://example.com/"));
  EXPECT_FALSE(LaunchDetached("tolmar-no-such-program", "http://example.com/"));
  EXPECT_FALSE(LaunchDetached("", "http://example.com/"));

  // Executable but not a program: the exec fails in the child and is
  // reported, not mistaken for success.
  const std::string script = std::filesystem::temp_directory_path() / ("tolmar-not-a-program-" + std::to_string(::getpid()));
  std::ofstream(script) << "\x01\x02 not an executable\n";
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  EXPECT_FALSE(LaunchDetached(script, "http://example.com/"));
  std::filesystem::remove(script);
}

TEST(LaunchDetached, TheProgramGetsTheAddressAsItsOnlyArgument)
{
  const std::string record = std::filesystem::temp_directory_path() / ("tolmar-argv-" + std::to_string(::getpid()));
  std::filesystem::remove(record);
  ASSERT_EQ(::setenv("TOLMAR_ARGV_FILE", record.c_str(), 1), 0);
  const std::string url = "https://example.com/music/vst.html?a=1&b=two words;$(id)";

  LauncherFixture f;
  f.graphics->SetURLLauncher(MakeProgramLauncher(TOLMAR_ARGV_RECORDER));
  ASSERT_TRUE(f.graphics->OpenURL(url.c_str()));

  // The program runs detached; wait for its record (bounded).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(record) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ::unsetenv("TOLMAR_ARGV_FILE");
  ASSERT_TRUE(std::filesystem::exists(record));
  EXPECT_EQ(readLines(record), (std::vector<std::string>{"1", url}));
  std::filesystem::remove(record);
}
