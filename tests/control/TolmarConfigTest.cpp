// The effect's settings file as instances meet it: where it is, how it is
// made and migrated, what loading and saving do, and saving from two
// processes at once.
#include <pwd.h>
#include <sys/wait.h>

#include "control/ConfigTestSupport.h"
#include "control/TolmarConfig.h"
#include "control/UserFolders.h"
#include "plugin/TolmarDelay.h"
#include "support/UserLocale.h"

namespace
{
// Binds or (with kUnbound) unbinds a controller the way a user does: learn,
// then move the controller and touch the parameter or the freeze button.
// The buttons and the touch are posted; ApplyPendingChanges stands in for
// the start of the next block.
void learn(TolmarDelay& effect, int controller, int32_t target)
{
  if (target == TolmarDelay::kUnbound)
  {
    effect.doMidiUnlearn(true);
    effect.ApplyPendingChanges();
    effect.setMidiLearnCC(controller);
    return;
  }
  effect.doMidiLearn(true);
  effect.ApplyPendingChanges();
  effect.setMidiLearnCC(controller);
  if (target == TolmarDelay::kFreezeTarget)
    effect.doFreeze();
  else
    effect.BeginInformHostOfParamChangeFromUI(target);
  effect.ApplyPendingChanges();
  ASSERT_EQ(effect.getMidiCCMapping(controller), target);
}

class TolmarConfigTest : public ConfigHomeTest
{
protected:
  std::string iniFile() const { return path("Music/TolmarMusic/tolmardelay.ini"); }
  std::string earlierFile() const { return path(".config/TolmarMusic/tolmardelay.ini"); }
};

TEST_F(TolmarConfigTest, TheFirstRunMakesFolderAndEmptyFileWithExactPermissions)
{
  ScopedUmask mask(077);
  TolmarDelay effect;
  EXPECT_EQ(std::string(effect.getIniPath()), iniFile());
  EXPECT_EQ(modeOf(path("Music/TolmarMusic")), 0774u);
  EXPECT_EQ(modeOf(iniFile()), 0666u);
  EXPECT_EQ(readFile(iniFile()), "");
  EXPECT_FLOAT_EQ(effect.getEditorScale(), 0.5f);
  for (int c = 0; c < TolmarDelay::kNumMidiControllers; ++c)
    EXPECT_EQ(effect.getMidiCCMapping(c), TolmarDelay::kUnbound);
  EXPECT_TRUE(TolmarDelay::fileExists(IString(effect.getIniPath())));

  // Saving keeps the file's permissions whatever the mask.
  ASSERT_TRUE(effect.saveConfig());
  EXPECT_EQ(modeOf(iniFile()), 0666u);
}

TEST_F(TolmarConfigTest, TheMusicFolderComesFromTheUserDirsFile)
{
  writeFile(path(".config/user-dirs.dirs"), "# written by xdg-user-dirs-update\n"
                                            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                            "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
  EXPECT_EQ(userMusicFolder(), path("Musik"));
  TolmarDelay effect;
  EXPECT_EQ(std::string(effect.getIniPath()), path("Musik/TolmarMusic/tolmardelay.ini"));
  EXPECT_TRUE(std::filesystem::exists(path("Musik/TolmarMusic/tolmardelay.ini")));

  // XDG_CONFIG_HOME moves the user-dirs file with it.
  ::setenv("XDG_CONFIG_HOME", path("cfg").c_str(), 1);
  EXPECT_EQ(userMusicFolder(), path("Music"));
  writeFile(path("cfg/user-dirs.dirs"), "XDG_MUSIC_DIR=\"" + path("Audio Files") + "/\"\n");
  EXPECT_EQ(userMusicFolder(), path("Audio Files"));
  EXPECT_EQ(earlierConfigFilePath(), path("cfg/TolmarMusic/tolmardelay.ini"));

  // A relative configuration folder is no configuration folder.
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(userConfigFolder(), path(".config"));
}

TEST(UserDirsTest, ValuesAreReadAsTheShellWouldReadThem)
{
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"$HOME/Music\"\n", "/home/u"), "/home/u/Music");
  EXPECT_EQ(musicFolderFromUserDirs("  XDG_MUSIC_DIR = \"/srv/a\\\"b\"  # note\n", "/home/u"), "/srv/a\"b");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"$HOME/A\"\nXDG_MUSIC_DIR=\"$HOME/B\"\n", "/h"), "/h/B");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"$HOME\"\n", "/h"), "/h");
  EXPECT_EQ(musicFolderFromUserDirs("#XDG_MUSIC_DIR=\"/x\"\n", "/h"), "");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"Music\"\n", "/h"), "");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"$HOMEX/Music\"\n", "/h"), "");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIR=\"/unclosed\n", "/h"), "");
  EXPECT_EQ(musicFolderFromUserDirs("XDG_MUSIC_DIRS=\"/other\"\n", "/h"), "");
}

TEST_F(TolmarConfigTest, WithoutHomeTheAccountsHomeFolderIsUsed)
{
  ::unsetenv("HOME");
  struct passwd* account = ::getpwuid(::getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(userHomeFolder(), std::filesystem::path(account->pw_dir).lexically_normal().string());
  ::setenv("HOME", "", 1);
  EXPECT_EQ(userHomeFolder(), std::filesystem::path(account->pw_dir).lexically_normal().string());
}

TEST_F(TolmarConfigTest, AnEarlierFileIsCopiedByteForByteAndLeftInPlace)
{
  ScopedUmask mask(077);
  const std::string earlier = "; kept as it is\r\n[MIDI Control]\r\nCC7=5\r\n[Editor]\r\nScale=1.25\r\n\xff\n";
  writeFile(earlierFile(), earlier);
  TolmarDelay effect;
  EXPECT_EQ(readFile(iniFile()), earlier);
  EXPECT_EQ(readFile(earlierFile()), earlier);
  EXPECT_EQ(modeOf(iniFile()), 0666u);
  EXPECT_EQ(effect.getMidiCCMapping(7), kMix);
  EXPECT_FLOAT_EQ(effect.getEditorScale(), 1.25f);
  for (const auto& entry : std::filesystem::directory_iterator(path("Music/TolmarMusic")))
    EXPECT_EQ(entry.path().filename(), "tolmardelay.ini") << "left behind";

  // Only once: the new file is not replaced by a later change of the old one.
  writeFile(earlierFile(), "[MIDI Control]\nCC7=6\n");
  TolmarDelay again;
  EXPECT_EQ(again.getMidiCCMapping(7), kMix);
  EXPECT_EQ(readFile(iniFile()), earlier);
}

TEST_F(TolmarConfigTest, ALowerCaseSectionStillBindsAndBadNumbersUnbind)
{
  writeFile(iniFile(), "[midi control]\nCC7=5\nCC64=-12\nCC20=abc\ncc21=0\nCC22=4294967301\nCC23=\n"
                       "CC119=8\nCC120=1\n");
  TolmarDelay effect;
  EXPECT_EQ(effect.getMidiCCMapping(7), kMix);
  EXPECT_EQ(effect.getMidiCCMapping(64), TolmarDelay::kFreezeTarget);
  EXPECT_EQ(effect.getMidiCCMapping(20), TolmarDelay::kUnbound);
  EXPECT_EQ(effect.getMidiCCMapping(21), kRange);
  EXPECT_EQ(effect.getMidiCCMapping(22), TolmarDelay::kUnbound);
  EXPECT_EQ(effect.getMidiCCMapping(23), TolmarDelay::kUnbound);
  EXPECT_EQ(effect.getMidiCCMapping(119), kLFOSync);
  EXPECT_FLOAT_EQ(effect.getEditorScale(), 0.5f);
}

TEST_F(TolmarConfigTest, TheScaleReadsAsANumberOrZero)
{
  const std::pair<const char*, float> cases[] = {
      {"Scale=1.5", 1.5f}, {"Scale= '2' ", 2.0f}, {"Scale=abc", 0.0f}, {"Scale=nan", 0.0f},
      {"Scale=1e300", FLT_MAX}, {"Scale=", 0.5f}, {"", 0.5f},
  };
  for (const auto& [line, expected] : cases)
  {
    writeFile(iniFile(), std::string("[Editor]\n") + line + "\n");
    ClearPrivateProfileCache();
    TolmarDelay effect;
    EXPECT_FLOAT_EQ(effect.getEditorScale(), expected) << line;
  }
}

TEST_F(TolmarConfigTest, ASaveKeepsParameterBindingsOnlyAndIsStable)
{
  writeFile(iniFile(), "[Other]\nkeep=me\n[MIDI Control]\nCC5=3\nCC64=-12\n[Editor]\nScale=0.75\nTheme=dark\n");
  TolmarDelay effect;
  learn(effect, 5, TolmarDelay::kUnbound);
  learn(effect, 7, kMix);
  learn(effect, 10, kTime);
  learn(effect, 2, kQuality);
  learn(effect, 0, kRange);
  ASSERT_TRUE(effect.saveConfig());
  const std::string expected = "[Editor]\nScale=0.750000\nTheme=dark\n\n"
                               "[MIDI Control]\nCC0=0\nCC10=1\nCC2=6\nCC7=5\n\n"
                               "[Other]\nkeep=me\n\n";
  EXPECT_EQ(readFile(iniFile()), expected);

  const ino_t first = inodeOf(iniFile());
  ASSERT_TRUE(effect.saveConfig());
  EXPECT_NE(inodeOf(iniFile()), first); // written again...
  EXPECT_EQ(readFile(iniFile()), expected); // ...to the same bytes
  EXPECT_FALSE(std::filesystem::exists(path("Music/TolmarMusic/.tolmardelay.ini.new")));
}

TEST_F(TolmarConfigTest, ASaveWithoutBindingsStillStoresTheScale)
{
  TolmarDelay effect;
  ASSERT_TRUE(effect.saveConfig());
  EXPECT_EQ(readFile(iniFile()), "[Editor]\nScale=0.500000\n\n");

  // Bindings that were in the file go.
  writeFile(iniFile(), "[MIDI Control]\nCC1=1\n");
  TolmarDelay other;
  learn(other, 1, TolmarDelay::kUnbound);
  ASSERT_TRUE(other.saveConfig());
  EXPECT_EQ(readFile(iniFile()), "[Editor]\nScale=0.500000\n\n[MIDI Control]\n\n");
}

// A host in a locale with a decimal comma writes the file that a host in
// the C locale reads, and the other way round.
TEST_F(TolmarConfigTest, TheFileIsTheSameInEveryLocale)
{
  ScopedLocale comma(kCommaLocale);
  ASSERT_TRUE(comma.ok);
  writeFile(iniFile(), "[Editor]\nScale=1.5\n");
  ClearPrivateProfileCache();
  TolmarDelay effect;
  EXPECT_FLOAT_EQ(effect.getEditorScale(), 1.5f);
  learn(effect, 7, kMix);
  ASSERT_TRUE(effect.saveConfig());
  EXPECT_EQ(readFile(iniFile()), "[Editor]\nScale=1.500000\n\n[MIDI Control]\nCC7=5\n\n");
}

TEST_F(TolmarConfigTest, BindingsSavedByOneInstanceAreInForceInTheNext)
{
  {
    TolmarDelay first;
    learn(first, 7, kMix);
    learn(first, 74, kQuality);
    learn(first, 64, TolmarDelay::kFreezeTarget);
    ASSERT_TRUE(first.saveConfig());
    EXPECT_EQ(readFile(iniFile()), "[Editor]\nScale=0.500000\n\n[MIDI Control]\nCC7=5\nCC74=6\n\n");
  }
  TolmarDelay second;
  EXPECT_EQ(second.getMidiCCMapping(7), kMix);
  EXPECT_EQ(second.getMidiCCMapping(74), kQuality);
  EXPECT_EQ(second.getMidiCCMapping(64), TolmarDelay::kUnbound);
}

TEST_F(TolmarConfigTest, AFileInTheWayOfTheFolderLeavesDefaults)
{
  // A plain file where the Music folder should be: no folder, no file, even
  // for root.
  writeFile(path("Music"), "not a folder");
  writeFile(earlierFile(), "[MIDI Control]\nCC7=5\n");
  TolmarDelay effect;
  EXPECT_EQ(effect.getMidiCCMapping(7), TolmarDelay::kUnbound);
  EXPECT_FLOAT_EQ(effect.getEditorScale(), 0.5f);
  EXPECT_FALSE(effect.saveConfig());
  EXPECT_EQ(readFile(path("Music")), "not a folder");
}

// Two processes save different bindings as fast as they can while this one
// reads the file: every reading is one complete version.
TEST_F(TolmarConfigTest, ConcurrentSavesFromTwoProcessesNeverTearTheFile)
{
  std::string ini;
  ASSERT_TRUE(prepareConfigFile(ini));
  constexpr int kSaves = 150;

  auto contentsFor = [](int32_t target) {
    int32_t map[kConfigControllers];
    std::string text = "[Editor]\nScale=0.500000\n\n[MIDI Control]\n";
    std::vector<std::string> keys;
    for (int c = 0; c < kConfigControllers; ++c)
    {
      map[c] = target;
      keys.push_back("CC" + std::to_string(c));
    }
    std::sort(keys.begin(), keys.end(), IniNameLess{});
    for (const std::string& key : keys)
      text += key + "=" + std::to_string(target) + "\n";
    return std::make_pair(text + "\n", std::vector<int32_t>(map, map + kConfigControllers));
  };
  const auto [textA, mapA] = contentsFor(1);
  const auto [textB, mapB] = contentsFor(2);

  auto writer = [&ini](const std::vector<int32_t>& values) {
    const pid_t pid = ::fork();
    if (pid == 0)
    {
      ClearPrivateProfileCache();
      int32_t map[kConfigControllers];
      std::copy(values.begin(), values.end(), map);
      bool ok = true;
      for (int i = 0; i < kSaves; ++i)
        ok = writeConfig(ini, map, 0.5f) && ok;
      ::_exit(ok ? 0 : 1);
    }
    return pid;
  };
  const pid_t a = writer(mapA);
  const pid_t b = writer(mapB);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);

  int readings = 0, torn = 0;
  int statusA = -1, statusB = -1;
  bool doneA = false, doneB = false;
  while (!doneA || !doneB)
  {
    const std::string now = readFile(ini);
    ++readings;
    if (!now.empty() && now != textA && now != textB)
      ++torn;
    if (!doneA)
      doneA = ::waitpid(a, &statusA, WNOHANG) == a;
    if (!doneB)
      doneB = ::waitpid(b, &statusB, WNOHANG) == b;
  }
  EXPECT_EQ(statusA, 0);
  EXPECT_EQ(statusB, 0);
  EXPECT_EQ(torn, 0) << "of " << readings << " readings";
  const std::string last = readFile(ini);
  EXPECT_TRUE(last == textA || last == textB);
  EXPECT_FALSE(std::filesystem::exists(path("Music/TolmarMusic/.tolmardelay.ini.new")));

  TolmarDelay effect;
  const int32_t bound = effect.getMidiCCMapping(0);
  EXPECT_TRUE(bound == 1 || bound == 2);
  for (int c = 0; c < kConfigControllers; ++c)
    EXPECT_EQ(effect.getMidiCCMapping(c), bound);
}
} // namespace
