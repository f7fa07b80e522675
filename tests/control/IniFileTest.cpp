// How files are read and how they come out again after a write.
#include "control/ConfigTestSupport.h"

namespace
{
class IniFileTest : public ConfigHomeTest
{
protected:
  std::string file() const { return path("test.ini"); }
  // Any write normalises the whole file.
  void touch() { ASSERT_TRUE(WritePrivateProfileString("zzz", "touched", "1", file().c_str())); }
};

TEST_F(IniFileTest, ValuesLoseSurroundingBlanksAndOnePairOfQuotes)
{
  writeFile(file(), "[S]\n"
                    "quoted=  \"a b\"  \n"
                    "single='a b'\n"
                    "open='a\n"
                    "mixed=\"a'\n"
                    "lone=\"\n"
                    "empty=''\n"
                    "inner=a \"b\" c\n"
                    "tabs=\t x \t\n");
  EXPECT_EQ(value("S", "quoted", file()), "a b");
  EXPECT_EQ(value("S", "single", file()), "a b");
  EXPECT_EQ(value("S", "open", file()), "'a");
  EXPECT_EQ(value("S", "mixed", file()), "\"a'");
  EXPECT_EQ(value("S", "lone", file()), "\"");
  EXPECT_EQ(value("S", "empty", file()), "");
  EXPECT_EQ(value("S", "inner", file()), "a \"b\" c");
  EXPECT_EQ(value("S", "tabs", file()), "x");
  // The default goes through the same rules.
  EXPECT_EQ(value("S", "missing", file(), " 'd' "), "d");
  EXPECT_EQ(value("S", "missing", file(), nullptr), "");
}

TEST_F(IniFileTest, SectionsAndKeysAreFoundWithoutRegardToCase)
{
  writeFile(file(), "  [Some Section]  \r\n  Key One  = v1 \r\n");
  EXPECT_EQ(value("some section", "KEY ONE", file()), "v1");
  EXPECT_EQ(value("Some Section", "Key One", file()), "v1");
  EXPECT_EQ(value("SomeSection", "Key One", file(), "none"), "none");
}

TEST_F(IniFileTest, OutputIsCutToTheBufferAndAlwaysEnded)
{
  writeFile(file(), "[S]\nk=abcdef\n");
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", out, 3, file().c_str()), 2);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", out, 1, file().c_str()), 0);
  EXPECT_STREQ(out, "");
  out[0] = 'x';
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", out, 0, file().c_str()), 0);
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", nullptr, 100, file().c_str()), 0);
}

TEST_F(IniFileTest, AWriteDropsStrayLinesButKeepsEverythingElse)
{
  writeFile(file(), "orphan=1\n"
                    "; a comment line\n"
                    "[S]\n"
                    "no equals sign\n"
                    ";CC1=3\n"
                    "#x=4\n"
                    "\n"
                    "Key=Value With Case\n");
  EXPECT_EQ(value("S", ";cc1", file()), "3");
  touch();
  EXPECT_EQ(readFile(file()), "[S]\n"
                              "#x=4\n"
                              ";CC1=3\n"
                              "Key=Value With Case\n"
                              "\n"
                              "[zzz]\n"
                              "touched=1\n"
                              "\n");
}

TEST_F(IniFileTest, WritesComeOutSortedAsText)
{
  writeFile(file(), "[b]\nCC2=1\nCC10=2\ncc1=3\n[A]\nx=1\n[_]\ny=1\n");
  touch();
  // Case-insensitive order: "_" (0x5F) sorts before the lower-cased letters.
  EXPECT_EQ(readFile(file()), "[_]\ny=1\n\n"
                              "[A]\nx=1\n\n"
                              "[b]\ncc1=3\nCC10=2\nCC2=1\n\n"
                              "[zzz]\ntouched=1\n\n");
}

TEST_F(IniFileTest, OnlyTheKeysAfterTheLastOfRepeatedHeadersCount)
{
  writeFile(file(), "[Editor]\nScale=1.0\nOther=x\n[MIDI Control]\nCC1=2\n[editor]\nScale=2.0\n");
  EXPECT_EQ(value("Editor", "Scale", file()), "2.0");
  EXPECT_EQ(value("Editor", "Other", file(), "gone"), "gone");
  EXPECT_EQ(value("MIDI Control", "CC1", file()), "2");
}

TEST_F(IniFileTest, OfEqualKeysTheLastOneReadWins)
{
  writeFile(file(), "[S]\nkey=first\nKEY=second\n");
  EXPECT_EQ(value("S", "key", file()), "second");
  touch();
  EXPECT_EQ(readFile(file()).substr(0, 16), "[S]\nKEY=second\n\n");
}

TEST_F(IniFileTest, HeadersWithoutNameOrWithoutBracketAreHandledApart)
{
  writeFile(file(), "[S]\na=1\n[unclosed\nb=2\n[]\nc=3\n[T] trailing text\nd=4\n");
  EXPECT_EQ(value("S", "a", file()), "1");
  EXPECT_EQ(value("S", "b", file()), "2"); // "[" without "]" keeps the section
  EXPECT_EQ(value("S", "c", file(), "-"), "-");
  EXPECT_EQ(value("T", "d", file()), "4");
  char list[64];
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, list, sizeof list, file().c_str()), 4);
  EXPECT_EQ(std::string(list, 6), std::string("S\0T\0\0\0", 6));
}

TEST_F(IniFileTest, ALongPrefaceWithoutAnySectionIsNotReadOn)
{
  std::string text;
  while (text.size() < 300000)
    text += "this is not an ini file, just some text of no interest = 1\n";
  writeFile(file(), text);
  char list[16];
  EXPECT_EQ(GetPrivateProfileString(nullptr, nullptr, nullptr, list, sizeof list, file().c_str()), 0);

  // Nothing after such a preface counts, even a proper section.
  writeFile(file(), text + "[S]\nk=v\n");
  ClearPrivateProfileCache();
  EXPECT_EQ(value("S", "k", file(), "none"), "none");

  // Below the limit the section is found.
  writeFile(file(), text.substr(0, 200000) + "\n[S]\nk=v\n");
  ClearPrivateProfileCache();
  EXPECT_EQ(value("S", "k", file()), "v");
}

TEST_F(IniFileTest, AnOverlongLineIsCutAndItsRestCannotPoseAsALine)
{
  std::string text = "[S]\nlong=";
  text.append(kIniMaxLineLength, 'x');
  text += "=forged\nafter=1\n";
  writeFile(file(), text);
  EXPECT_EQ(value("S", "after", file()), "1");
  char list[256];
  const int n = GetPrivateProfileString("S", nullptr, nullptr, list, sizeof list, file().c_str());
  EXPECT_EQ(std::string(list, static_cast<size_t>(n)), std::string("after\0long\0", 11));
}

TEST_F(IniFileTest, AZeroByteAtTheStartOfALineEndsTheFile)
{
  writeFile(file(), std::string("[S]\na=1\nb=x\0y\n\0c=3\nd=4\n", 23));
  EXPECT_EQ(value("S", "a", file()), "1");
  EXPECT_EQ(value("S", "b", file()), "x");
  EXPECT_EQ(value("S", "c", file(), "-"), "-");
  EXPECT_EQ(value("S", "d", file(), "-"), "-");
}
} // namespace
