#include <gtest/gtest.h>

#include <string>

#include "framework/platform/IniFile.h"
#include "support/TempFolder.h"

namespace {

// Every case writes its own file once: the Windows profile functions cache
// files by modification time, so a file is never rewritten behind their back.
class IniFileTest : public ::testing::Test {
 protected:
  std::string FileWith(const std::string& bytes) {
    const std::string path = folder.File("case" + std::to_string(++files) + ".ini");
    WriteBytes(path, bytes);
    return path;
  }
  std::string Get(const char* section, const char* key, const std::string& path,
                  int maxChars = 63) {
    return IniFile::GetString(section, key, "default", maxChars, path);
  }
  std::string Text(const std::string& path) { return WithoutCarriageReturns(ReadBytes(path)); }

  TempFolder folder;
  int files = 0;
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefaultCutToTheLimit) {
  const std::string missing = folder.File("missing.ini");
  EXPECT_EQ(Get("Global", "Key", missing), "default");
  EXPECT_EQ(IniFile::GetString("Global", "Key", "abcdef", 3, missing), "abc");
  const std::string path = FileWith("[Global]\nKey=1\n");
  EXPECT_EQ(Get("Other", "Key", path), "default");
  EXPECT_EQ(Get("Global", "Other", path), "default");
  EXPECT_EQ(Get("Global", "Key", path), "1");
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToCaseAndTheFirstOccurrenceCounts) {
  const std::string path =
      FileWith("[MIDI Global]\nMIDI Thru=true\nmidi thru=second\n[midi global]\nOther=x\n");
  EXPECT_EQ(Get("midi GLOBAL", "midi THRU", path), "true");
  // Keys of a repeated section are not found through the first one.
  EXPECT_EQ(Get("MIDI Global", "Other", path), "default");
}

TEST_F(IniFileTest, ValuesLoseSurroundingSpaceAndOnePairOfQuotes) {
  const std::string path = FileWith(
      "[S]\n  spaced  =   a b   \ndouble=\"quoted\"\nsingle='it'\nnested=\"\"x\"\"\n"
      "unbalanced=\"open\nempty=\nbare\n");
  EXPECT_EQ(Get("S", "spaced", path), "a b");
  EXPECT_EQ(Get("S", "double", path), "quoted");
  EXPECT_EQ(Get("S", "single", path), "it");
  EXPECT_EQ(Get("S", "nested", path), "\"x\"");
  EXPECT_EQ(Get("S", "unbalanced", path), "\"open");
  EXPECT_EQ(Get("S", "empty", path), "");
}

TEST_F(IniFileTest, LongValuesAreCutToTheCallersLimit) {
  const std::string seventy(70, 'f');
  const std::string path = FileWith("[Global]\nPath to WAV Files=" + seventy + "\n");
  EXPECT_EQ(Get("Global", "Path to WAV Files", path), seventy.substr(0, 63));
  EXPECT_EQ(Get("Global", "Path to WAV Files", path, 258), seventy);
  EXPECT_EQ(Get("Global", "Path to WAV Files", path, 0), "");
}

TEST_F(IniFileTest, WritingCreatesTheFileAndAppendsMissingSectionsAndKeys) {
  const std::string path = folder.File("new.ini");
  ASSERT_TRUE(IniFile::WriteString("Startup Bank", "File", "", path));
  ASSERT_TRUE(IniFile::WriteString("MIDI Global", "MIDI Thru", "true", path));
  ASSERT_TRUE(IniFile::WriteString("Startup Bank", "Other", "x", path));
  EXPECT_EQ(Text(path), "[Startup Bank]\nFile=\nOther=x\n[MIDI Global]\nMIDI Thru=true\n");
}

TEST_F(IniFileTest, WritingReplacesTheValueInPlaceAndKeepsEverythingElse) {
  const std::string path = FileWith("[A]\nx=1\ny=2\nz=3\n[B]\ny=4\n");
  ASSERT_TRUE(IniFile::WriteString("a", "Y", "changed", path));
  EXPECT_EQ(Text(path), "[A]\nx=1\ny=changed\nz=3\n[B]\ny=4\n");
  EXPECT_EQ(Get("A", "y", path), "changed");
  EXPECT_EQ(Get("B", "y", path), "4");
}

TEST_F(IniFileTest, AnEmptySectionBodyRemovesEveryKeyButKeepsTheHeader) {
  const std::string path =
      FileWith("[Startup Bank]\nFile=bank.fxb\nMore=1\n[MIDI Control]\nCC7=3\n");
  ASSERT_TRUE(IniFile::WriteSection("startup bank", "\0", path));
  EXPECT_EQ(Text(path), "[Startup Bank]\n[MIDI Control]\nCC7=3\n");
  EXPECT_EQ(Get("Startup Bank", "File", path), "default");
}

TEST_F(IniFileTest, ASectionBodyReplacesTheKeys) {
  const std::string path = FileWith("[S]\nold=1\n[T]\nt=2\n");
  ASSERT_TRUE(IniFile::WriteSection("S", "a=1\0b=2\0", path));
  EXPECT_EQ(Text(path), "[S]\na=1\nb=2\n[T]\nt=2\n");
}

TEST_F(IniFileTest, CrLfFilesAndFilesWithoutAFinalLineBreakReadAndStayCrLf) {
  const std::string crlf = FileWith("[S]\r\nk=v\r\n[T]\r\nlast=end");
  EXPECT_EQ(Get("S", "k", crlf), "v");
  EXPECT_EQ(Get("T", "last", crlf), "end");
  ASSERT_TRUE(IniFile::WriteString("T", "new", "n", crlf));
  EXPECT_EQ(ReadBytes(crlf), "[S]\r\nk=v\r\n[T]\r\nlast=end\r\nnew=n\r\n");
}

TEST_F(IniFileTest, JunkFilesReadAndTakeWrites) {
  std::string junk;
  unsigned state = 12345;
  for (int i = 0; i < 200000; ++i) {
    state = state * 1103515245u + 12345u;
    junk += static_cast<char>(state >> 16);
  }
  junk += std::string(300000, 'x') + "=" + std::string(300000, 'y');  // one very long line
  const std::string path = FileWith(junk);
  EXPECT_EQ(Get("Junk Free Section", "Key", path), "default");
  ASSERT_TRUE(IniFile::WriteString("Junk Free Section", "Key", "value", path));
  EXPECT_EQ(Get("Junk Free Section", "Key", path), "value");

  const std::string brackets = FileWith("[\n]\n[[[\n=\n==\n[S\n]]]\n[S]\n=x\nk=v\n");
  EXPECT_EQ(Get("S", "k", brackets), "v");
}

#ifndef _WIN32
// The Windows functions keep the file's text; the Wine version rewrites it
// from its own model, so this holds for the POSIX writer and Windows only.
TEST_F(IniFileTest, CommentsBlankLinesAndSpacingOfOtherLinesSurviveAWrite) {
  const std::string path = FileWith("; settings\n[A]\n  x = 1 \n\n[B]\ny=2\n");
  ASSERT_TRUE(IniFile::WriteString("A", "new", "n", path));
  ASSERT_TRUE(IniFile::WriteString("B", "y", "3", path));
  EXPECT_EQ(Text(path), "; settings\n[A]\n  x = 1 \nnew=n\n\n[B]\ny=3\n");
}
#endif

}  // namespace
