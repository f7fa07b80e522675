// The profile functions: writing, listing, numbers and structs, the cache,
// and the file's life on disk shared with other processes.
#include <fcntl.h>
#include <sys/wait.h>

#include "control/ConfigTestSupport.h"

namespace
{
class PrivateProfileTest : public ConfigHomeTest
{
protected:
  std::string file() const { return path("test.ini"); }
  const char* f() const { return filePath.c_str(); }
  void SetUp() override
  {
    ConfigHomeTest::SetUp();
    filePath = file();
  }
  std::string filePath;
};

std::string listOf(const char* section, const std::string& file, int size = 256)
{
  std::vector<char> out(static_cast<size_t>(size) + 8, 'x');
  const int n = GetPrivateProfileString(section, nullptr, nullptr, out.data(), size, file.c_str());
  return std::string(out.data(), static_cast<size_t>(n) + (size >= 2 ? 2 : size));
}

TEST_F(PrivateProfileTest, WritesCreateDeleteAndReplace)
{
  EXPECT_TRUE(WritePrivateProfileString("S", "a", "1", f()));
  EXPECT_TRUE(WritePrivateProfileString("S", "B", "2", f()));
  EXPECT_TRUE(WritePrivateProfileString("T", "c", "3", f()));
  EXPECT_EQ(readFile(file()), "[S]\na=1\nB=2\n\n[T]\nc=3\n\n");

  // Replacing a key of another case takes the new spelling.
  EXPECT_TRUE(WritePrivateProfileString("s", "b", "22", f()));
  EXPECT_EQ(readFile(file()), "[S]\na=1\nb=22\n\n[T]\nc=3\n\n");

  EXPECT_TRUE(WritePrivateProfileString("S", "a", nullptr, f()));
  EXPECT_TRUE(WritePrivateProfileString("t", nullptr, nullptr, f()));
  EXPECT_EQ(readFile(file()), "[S]\nb=22\n\n");

  EXPECT_FALSE(WritePrivateProfileString(nullptr, "a", "1", f()));
  EXPECT_FALSE(WritePrivateProfileString("S", "", "1", f()));
  EXPECT_EQ(readFile(file()), "[S]\nb=22\n\n");
}

TEST_F(PrivateProfileTest, AnUnchangedValueLeavesTheFileAlone)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "a", "1", f()));
  const ino_t before = inodeOf(file());
  EXPECT_TRUE(WritePrivateProfileString("S", "a", "1", f()));
  EXPECT_TRUE(WritePrivateProfileString("S", "missing", nullptr, f()));
  EXPECT_TRUE(WritePrivateProfileString("missing", nullptr, nullptr, f()));
  EXPECT_EQ(inodeOf(file()), before);
  EXPECT_FALSE(std::filesystem::exists(path(".test.ini.new")));
  EXPECT_TRUE(WritePrivateProfileString("S", "a", "A", f()));
  EXPECT_NE(inodeOf(file()), before);
}

TEST_F(PrivateProfileTest, TextThatWouldNotReadBackIsRefused)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "a", "1", f()));
  const std::string before = readFile(file());
  EXPECT_FALSE(WritePrivateProfileString("S", "a", "1\n[Forged]\nx=1", f()));
  EXPECT_FALSE(WritePrivateProfileString("S", "a\rb", "1", f()));
  EXPECT_FALSE(WritePrivateProfileString("S", "a=b", "1", f()));
  EXPECT_FALSE(WritePrivateProfileString("S", "[x]", "1", f()));
  EXPECT_FALSE(WritePrivateProfileString("S]", "a", "1", f()));
  EXPECT_FALSE(WritePrivateProfileString("", "a", "1", f()));
  EXPECT_EQ(readFile(file()), before);
}

TEST_F(PrivateProfileTest, SectionWritesReplaceAllKeys)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "old", "1", f()));
  const char data[] = "a=1\0no equals\0b= 2 \0=empty key\0\0";
  EXPECT_TRUE(WritePrivateProfileSection("s", data, f()));
  EXPECT_EQ(readFile(file()), "[S]\na=1\nb= 2 \n\n");

  char out[64];
  const int n = GetPrivateProfileSection("S", out, sizeof out, f());
  EXPECT_EQ(std::string(out, static_cast<size_t>(n) + 2), std::string("a=1\0b=2\0\0\0", 10));

  // Emptying keeps the section; an empty list for a missing one does nothing.
  EXPECT_TRUE(WritePrivateProfileSection("S", "", f()));
  EXPECT_TRUE(WritePrivateProfileSection("Missing", "", f()));
  EXPECT_EQ(readFile(file()), "[S]\n\n");
  EXPECT_FALSE(WritePrivateProfileSection(nullptr, data, f()));
}

TEST_F(PrivateProfileTest, ListingsAreCutToTheBufferWithTwoClosingZeros)
{
  writeFile(file(), "[One]\nk1=1\nk2=2\n[Two]\n[Three]\nx=\n");
  EXPECT_EQ(listOf(nullptr, file()), std::string("One\0Three\0Two\0\0\0", 16));
  EXPECT_EQ(listOf("one", file()), std::string("k1\0k2\0\0\0", 8));
  EXPECT_EQ(listOf("missing", file()), std::string("\0\0", 2));
  EXPECT_EQ(listOf(nullptr, file(), 6), std::string("One\0\0\0", 6));
  EXPECT_EQ(listOf(nullptr, file(), 2), std::string("\0\0", 2));
}

TEST_F(PrivateProfileTest, IntegersFallBackToTheDefaultForNonNumbers)
{
  writeFile(file(), "[S]\nn=42\nzero=0\nneg=-7\ntext=abc\nempty=\nzeros=007\nhuge=99999999999\n");
  EXPECT_EQ(GetPrivateProfileInt("S", "n", -1, f()), 42);
  EXPECT_EQ(GetPrivateProfileInt("S", "zero", -1, f()), 0);
  EXPECT_EQ(GetPrivateProfileInt("S", "neg", -1, f()), -7);
  EXPECT_EQ(GetPrivateProfileInt("S", "text", -1, f()), -1);
  EXPECT_EQ(GetPrivateProfileInt("S", "empty", -1, f()), -1);
  EXPECT_EQ(GetPrivateProfileInt("S", "zeros", -1, f()), 7);
  EXPECT_EQ(GetPrivateProfileInt("S", "missing", 5, f()), 5);
  EXPECT_EQ(GetPrivateProfileInt("S", "huge", -1, f()), INT_MAX);
}

TEST_F(PrivateProfileTest, StructsCarryAChecksum)
{
  const unsigned char data[] = {0x00, 0x7F, 0xFF, 0x12};
  ASSERT_TRUE(WritePrivateProfileStruct("S", "blob", data, sizeof data, f()));
  EXPECT_EQ(value("S", "blob", file()), "007FFF1290");

  unsigned char out[4] = {};
  EXPECT_TRUE(GetPrivateProfileStruct("S", "blob", out, sizeof out, f()));
  EXPECT_EQ(std::memcmp(out, data, sizeof data), 0);
  EXPECT_FALSE(GetPrivateProfileStruct("S", "blob", out, 3, f()));

  writeFile(file(), "[S]\nlower=007fff1290\nbad=007FFF1291\nhex=0G7FFF1290\nempty=00\n");
  ClearPrivateProfileCache();
  EXPECT_TRUE(GetPrivateProfileStruct("S", "lower", out, sizeof out, f()));
  unsigned char untouched[4] = {9, 9, 9, 9};
  EXPECT_FALSE(GetPrivateProfileStruct("S", "bad", untouched, sizeof untouched, f()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", "hex", untouched, sizeof untouched, f()));
  EXPECT_EQ(untouched[0], 9);
  EXPECT_TRUE(GetPrivateProfileStruct("S", "empty", nullptr, 0, f()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", "lower", out, -1, f()));
  EXPECT_FALSE(GetPrivateProfileStruct("S", nullptr, out, 4, f()));

  EXPECT_TRUE(WritePrivateProfileStruct("S", "lower", nullptr, 4, f()));
  EXPECT_EQ(value("S", "lower", file(), "-"), "-");
  EXPECT_TRUE(WritePrivateProfileStruct("S", nullptr, data, 4, f()));
  EXPECT_EQ(readFile(file()), "");
}

TEST_F(PrivateProfileTest, NamesWithoutAFolderLiveBesideTheDefaultFile)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "1", "settings"));
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", "other.INI"));
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "3", ""));
  EXPECT_EQ(readFile(path(".privateprofile_settings.ini")), "[S]\nk=1\n\n");
  EXPECT_EQ(readFile(path(".privateprofile_other.INI")), "[S]\nk=2\n\n");
  EXPECT_EQ(readFile(path(".privateprofile.ini")), "[S]\nk=3\n\n");
}

TEST_F(PrivateProfileTest, AFileReplacedByAnotherProcessIsReadAgain)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "1", f()));
  ASSERT_EQ(value("S", "k", file()), "1");
  // Same size and, very likely, the same second: only the file's identity
  // tells the versions apart.
  const pid_t child = ::fork();
  if (child == 0)
  {
    const std::string temp = file() + ".tmp";
    std::FILE* out = std::fopen(temp.c_str(), "w");
    const bool ok = out && std::fputs("[S]\nk=2\n\n", out) >= 0 && std::fclose(out) == 0 &&
                    std::rename(temp.c_str(), file().c_str()) == 0;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(value("S", "k", file()), "2");

  // Changed in place to another size.
  writeFile(file(), "[S]\nk=333\n");
  EXPECT_EQ(value("S", "k", file()), "333");

  // Deleted: nothing is left to read.
  std::filesystem::remove(file());
  EXPECT_EQ(value("S", "k", file(), "-"), "-");
}

TEST_F(PrivateProfileTest, AWriteBuildsOnTheNewestFile)
{
  ASSERT_TRUE(WritePrivateProfileString("S", "mine", "1", f()));
  writeFile(file(), "[S]\nmine=1\ntheirs=2\n");
  ASSERT_TRUE(WritePrivateProfileString("S", "mine", "3", f()));
  EXPECT_EQ(readFile(file()), "[S]\nmine=3\ntheirs=2\n\n");
}

TEST_F(PrivateProfileTest, RewritesKeepPermissionsAndSymbolicLinks)
{
  ScopedUmask mask(077);
  writeFile(path("real/target.ini"), "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path("real/target.ini").c_str(), 0666), 0);
  std::filesystem::create_symlink(path("real/target.ini"), file());

  ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", f()));
  EXPECT_TRUE(std::filesystem::is_symlink(file()));
  EXPECT_EQ(readFile(path("real/target.ini")), "[S]\nk=2\n\n");
  EXPECT_EQ(modeOf(path("real/target.ini")), 0666u);
  EXPECT_FALSE(std::filesystem::exists(path("real/.target.ini.new")));
}

TEST_F(PrivateProfileTest, ATempFileThatCannotBeMadeChangesNothing)
{
  // A folder in place of the temporary file: refused even for root.
  writeFile(file(), "[S]\nk=1\n");
  std::filesystem::create_directory(path(".test.ini.new"));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", f()));
  EXPECT_EQ(value("S", "k", file()), "1");
  EXPECT_EQ(readFile(file()), "[S]\nk=1\n");
}

TEST_F(PrivateProfileTest, ATempNameLinkedToTheFileItselfIsNotFilled)
{
  writeFile(file(), "[S]\nk=1\n");
  ASSERT_EQ(::link(file().c_str(), path(".test.ini.new").c_str()), 0);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "2", f()));
  EXPECT_EQ(readFile(file()), "[S]\nk=2\n\n");
  EXPECT_FALSE(std::filesystem::exists(path(".test.ini.new")));
}

TEST_F(PrivateProfileTest, MoreFilesThanTheCacheHoldsStayCorrect)
{
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 40; ++i)
    {
      std::string name = path("f");
      name.append(std::to_string(i)).append(".ini");
      if (round == 0)
        ASSERT_TRUE(WritePrivateProfileString("S", "i", std::to_string(i).c_str(), name.c_str()));
      else
        EXPECT_EQ(value("S", "i", name), std::to_string(i));
    }
}

TEST_F(PrivateProfileTest, SomethingOtherThanAFileReadsAsEmpty)
{
  ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
  EXPECT_EQ(value("S", "k", file(), "default"), "default"); // and does not hang
  std::filesystem::remove(file());
  std::filesystem::create_directory(file());
  EXPECT_EQ(value("S", "k", file(), "default"), "default");
}

TEST_F(PrivateProfileTest, ASnapshotReadsOneVersionOfTheFile)
{
  writeFile(file(), "[S]\na=1\nb=2\n");
  const PrivateProfileSnapshot snapshot(f());
  writeFile(file(), "[S]\na=10\nb=20\n");
  char out[16];
  snapshot.GetString("S", "a", "", out, sizeof out);
  EXPECT_STREQ(out, "1");
  snapshot.GetString("s", "B", "", out, sizeof out);
  EXPECT_STREQ(out, "2");
  EXPECT_EQ(value("S", "a", file()), "10");
}

TEST_F(PrivateProfileTest, ABatchLandsInOneRewrite)
{
  writeFile(file(), "[Keep]\nx=1\n[S]\nold=1\n");
  PrivateProfileBatch batch(f());
  batch.WriteSection("S", "");
  batch.WriteString("S", "a", "1");
  batch.WriteString("T", "b", "2");
  batch.WriteString("Keep", "x", nullptr);
  EXPECT_EQ(readFile(file()), "[Keep]\nx=1\n[S]\nold=1\n"); // nothing before Commit
  ASSERT_TRUE(batch.Commit());
  EXPECT_EQ(readFile(file()), "[Keep]\n\n[S]\na=1\n\n[T]\nb=2\n\n");

  // One refused edit refuses the whole batch.
  PrivateProfileBatch refused(f());
  refused.WriteString("S", "a", "2");
  refused.WriteString("S", "bad\nkey", "2");
  EXPECT_FALSE(refused.Commit());
  EXPECT_EQ(value("S", "a", file()), "1");
}
} // namespace
