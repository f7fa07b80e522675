// The user's preset folder: what it lists, what it leaves out, and saving,
// replacing and deleting presets in it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "control/UserPresetFolder.h"
#include "params/ProductFacts/FactoryPresets.h"
#include "params/ProductFacts/ProductIdentity.h"
#include "params/ProductFacts/StateFormat.h"
#include "params/VstPresetFile.h"

namespace fs = std::filesystem;

namespace
{
std::vector<char> stateWithFeedback(double feedback)
{
  return StateFormat::componentState({3, 0.6, feedback, 0.15, 0.0, 0.5, 1.0, 0, 0});
}

std::vector<char> presetBytes(const std::vector<char>& state, std::array<char, 16> classId = ProductIdentity::kClassId)
{
  return VstPresetFile::write(classId, state, VstPresetFile::metaInfo("x", "y", "z"));
}

void writeFile(const fs::path& path, const std::vector<char>& bytes)
{
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> names(const std::vector<UserPresetFolder::Entry>& entries)
{
  std::vector<std::string> out;
  for (const auto& e : entries)
    out.push_back(e.name);
  return out;
}

class UserPresetFolderTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    folder = fs::path(std::getenv("HOME")) / ".vst3/presets" / ProductIdentity::kPresetSubfolder;
    fs::remove_all(fs::path(std::getenv("HOME")) / ".vst3");
  }
  void TearDown() override { fs::remove_all(fs::path(std::getenv("HOME")) / ".vst3"); }
  fs::path folder;
};
} // namespace

TEST_F(UserPresetFolderTest, ListsTheReadablePresetsByNameAndLeavesEverythingElseOut)
{
  EXPECT_EQ(UserPresetFolder::defaultFolder(), folder.string());
  EXPECT_TRUE(UserPresetFolder().list().empty()) << "no folder yet";
  fs::create_directories(folder);
  const std::vector<char> good = presetBytes(stateWithFeedback(0.25));
  writeFile(folder / "b echo.vstpreset", good);
  writeFile(folder / "A Echo.vstpreset", good);
  writeFile(folder / "c\xC3\xA9.vstpreset", good);
  // A first-version state (seven values, no tag, the bypass word) still counts.
  writeFile(folder / "Old.vstpreset", presetBytes(std::vector<char>(60, '\0')));

  // Factory files installed beside them are the factory presets.
  writeFile(folder / (std::string(kFactoryPresets[5].name) + ".vstpreset"), good);
  // Damaged: the chunk list cut off, or a state that is not ours.
  std::vector<char> cut = good;
  cut.resize(cut.size() - 10);
  writeFile(folder / "cut.vstpreset", cut);
  writeFile(folder / "garbage state.vstpreset", presetBytes(std::vector<char>(103, 'x')));
  writeFile(folder / "empty.vstpreset", {});
  // Another plug-in's preset.
  std::array<char, 16> other = ProductIdentity::kClassId;
  other[15] ^= 1;
  writeFile(folder / "other plugin.vstpreset", presetBytes(stateWithFeedback(0.25), other));
  // Too large, though valid at its start.
  std::vector<char> huge = presetBytes(std::vector<char>(UserPresetFolder::kMaxFileBytes, 'T'));
  writeFile(folder / "huge.vstpreset", huge);
  // Not preset files at all.
  writeFile(folder / ".hidden.vstpreset", good);
  writeFile(folder / "notes.txt", good);
  writeFile(folder / ".vstpreset", good);
  fs::create_directories(folder / "folder.vstpreset");
  fs::create_symlink("/dev/zero", folder / "zero.vstpreset");

  EXPECT_EQ(names(UserPresetFolder().list()), (std::vector<std::string>{"A Echo", "b echo", "c\xC3\xA9", "Old"}));
  const auto state = UserPresetFolder().load("b echo");
  ASSERT_TRUE(state);
  EXPECT_EQ(*state, stateWithFeedback(0.25));
  EXPECT_FALSE(UserPresetFolder().load("cut"));
  EXPECT_FALSE(UserPresetFolder().load("huge"));
  EXPECT_FALSE(UserPresetFolder().load("zero"));
  EXPECT_FALSE(UserPresetFolder().load("missing"));
  EXPECT_FALSE(UserPresetFolder().load("../b echo"));
}

TEST_F(UserPresetFolderTest, SavesReplacesAndDeletesWholeFilesAndRefusesNamesThatCannotBeFiles)
{
  std::string error;
  ASSERT_TRUE(UserPresetFolder().save("My Echo", stateWithFeedback(0.5), error)) << error;
  const fs::path file = folder / "My Echo.vstpreset";
  ASSERT_TRUE(fs::exists(file));
  // A file hosts read: our class, the component state, the name to show.
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto layout = VstPresetFile::read(bytes.data(), bytes.size());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->classId, VstPresetFile::classIdText(ProductIdentity::kClassId));
  ASSERT_TRUE(layout->metaInfo);
  EXPECT_NE(std::string(bytes.data() + layout->metaInfo->offset, layout->metaInfo->size).find("value=\"My Echo\""),
            std::string::npos);
  EXPECT_TRUE(UserPresetFolder().exists("My Echo"));

  ASSERT_TRUE(UserPresetFolder().save("My Echo", stateWithFeedback(-0.5), error)) << error;
  EXPECT_EQ(*UserPresetFolder().load("My Echo"), stateWithFeedback(-0.5));
  // Nothing but the preset is left in the folder.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    files += entry.path().filename().string()[0] != '.' ? 1 : 0;
  EXPECT_EQ(files, 1);

  const std::string hundred(100, 'n');
  std::string hundredAccents;
  for (int i = 0; i < 100; ++i)
    hundredAccents += "\xC3\xA9";
  EXPECT_TRUE(UserPresetFolder::nameProblem(hundred).empty());
  EXPECT_TRUE(UserPresetFolder::nameProblem(hundredAccents).empty());
  for (const std::string& bad : {std::string(), std::string("   "), std::string("a/b"), std::string("tab\there"),
                                 std::string("bell\x07"), std::string(101, 'n'), hundredAccents + "e",
                                 std::string("\xFF\xFE"), std::string(".hidden"), std::string(kFactoryPresets[0].name)})
  {
    EXPECT_FALSE(UserPresetFolder::nameProblem(bad).empty()) << bad;
    EXPECT_FALSE(UserPresetFolder().save(bad, stateWithFeedback(0.1), error)) << bad;
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(UserPresetFolder().remove(bad, error)) << bad;
  }
  EXPECT_FALSE(fs::exists(folder / "a"));
  EXPECT_EQ(names(UserPresetFolder().list()), std::vector<std::string>{"My Echo"});

  ASSERT_TRUE(UserPresetFolder().remove("My Echo", error)) << error;
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(UserPresetFolder().list().empty());

  // A folder that cannot be made is a message, not a crash.
  fs::remove_all(fs::path(std::getenv("HOME")) / ".vst3");
  writeFile(fs::path(std::getenv("HOME")) / ".vst3", {'x'});
  EXPECT_FALSE(UserPresetFolder().save("Blocked", stateWithFeedback(0.1), error));
  EXPECT_NE(error.find("could not"), std::string::npos);
}
