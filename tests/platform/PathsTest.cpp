#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace kelvo {
namespace {

// Double-byte characters whose trail bytes look like ASCII: 表 ends in 0x5C (backslash),
// ア ends in 0x41 ('A'), 示 is an ordinary character.
const std::string kHyo = "\x95\x5C";
const std::string kHyoji = "\x95\x5C\x8E\xA6";
const std::string kA = "\x83\x41";

TEST(Paths, LowerCaseTouchesOnlySingleByteLetters) {
  EXPECT_EQ(LowerCaseSjis("AbC:\\Z9"), "abc:\\z9");
  EXPECT_EQ(LowerCaseSjis(kA + "A"), kA + "a");  // the trail byte 0x41 stays
  EXPECT_EQ(LowerCaseSjis("X\x83"), "x\x83");     // a lone lead byte at the end
}

TEST(Paths, SplitsAtBackslashCharactersOnly) {
  struct Case { std::string path; std::vector<std::string> pieces; };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\\b", {"a", "b"}},
      {"\\a", {"", "a"}},
      {"a\\", {"a"}},          // trailing empty pieces are dropped
      {"a\\\\", {"a"}},
      {"\\", {}},
      {"a\\\\b", {"a", "", "b"}},
      {kHyo + "\\x", {kHyo, "x"}},
      {"x\\" + kHyoji + "\\y", {"x", kHyoji, "y"}},
      {"a\\\x95", {"a", "\x95"}},  // lone lead byte at the end
  };
  for (const auto& c : cases) EXPECT_EQ(SplitPath(c.path), c.pieces) << c.path;
}

TEST(Paths, FileNameParts) {
  struct Case {
    std::string path, name, filePath, dir, ext, base;
  };
  const Case cases[] = {
      {"C:\\a\\b.txt", "b.txt", "C:\\a\\", "C:\\a", ".txt", "b"},
      {"C:\\b.txt", "b.txt", "C:\\", "C:\\", ".txt", "b"},
      {"\\b", "b", "\\", "\\", "", "b"},
      {"b.tar.gz", "b.tar.gz", "", "", ".gz", "b.tar"},
      {"C:b.x", "b.x", "C:", "C:", ".x", "b"},
      {"a.d\\b", "b", "a.d\\", "a.d", "", "b"},
      {".profile", ".profile", "", "", ".profile", ""},
      {"a\\", "", "a\\", "a", "", ""},
      {"a\\\\b", "b", "a\\\\", "a\\\\", "", "b"},  // a backslash after a delimiter stays
      {"x/y.z", "x/y.z", "", "", ".z", "x/y"},  // a slash is an ordinary character
      {"C:\\d\\" + kHyo + ".txt", kHyo + ".txt", "C:\\d\\", "C:\\d", ".txt", kHyo},
      {"C:\\" + kHyoji, kHyoji, "C:\\", "C:\\", "", kHyoji},
      {"d\\" + kHyo, kHyo, "d\\", "d", "", kHyo},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.filePath) << c.path;
    EXPECT_EQ(ExtractFileDir(c.path), c.dir) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
    EXPECT_EQ(ExtractBaseName(c.path), c.base) << c.path;
  }
}

TEST(Paths, AbsolutePaths) {
  struct Case { std::string path; bool absolute; };
  const Case cases[] = {
      {"", false},       {"C:\\", true},   {"z:\\a", true},  {"\\", true},
      {"\\\\srv", true}, {"C:", false},    {"C:a", false},   {"1:\\a", false},
      {"a\\b", false},   {"/a", false},    {kHyo, false},    {"\x95:\\", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << c.path;
}

TEST(Paths, TrailingBackslashAndParent) {
  struct Case { std::string path, stripped, parent; };
  const Case cases[] = {
      {"C:\\a\\", "C:\\a", "C:"},
      {"C:\\a", "C:\\a", "C:"},
      {"C:", "C:", ""},
      {"C:\\", "C:", ""},
      {"", "", ""},
      {"\\", "", ""},
      {"\\a", "\\a", ""},
      {"a\\b\\c", "a\\b\\c", "a\\b"},
      {"a\\\\", "a\\", "a"},
      // The trail byte 0x5C of 表 is neither a trailing backslash nor a separator.
      {"C:\\" + kHyo, "C:\\" + kHyo, "C:"},
      {"C:\\a\\" + kHyoji, "C:\\a\\" + kHyoji, "C:\\a"},
      {"C:\\x\\" + kHyo + "\\", "C:\\x\\" + kHyo, "C:\\x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StripTrailingBackslash(c.path), c.stripped) << c.path;
    EXPECT_EQ(ParentDir(c.path), c.parent) << c.path;
  }
}

TEST(Paths, ResolvesAgainstBaseDirectory) {
  struct Case { std::string path, base, resolved; };
  const Case cases[] = {
      {"..\\x", "C:\\a\\b", "C:\\a\\x"},
      {"\\x", "C:\\a", "\\x"},
      {".\\x", "", ""},
      {"", "C:\\a", ""},
      {"D:\\y", "C:\\a", "D:\\y"},
      {"x\\y", "C:\\a\\", "C:\\a\\x\\y"},
      {".\\x\\.\\y", "C:\\a", "C:\\a\\x\\y"},
      {"x\\..\\..\\y", "C:\\a\\b", "C:\\a\\y"},
      {"..\\..\\..\\x", "C:\\a", "\\x"},  // above the root, later pieces start from ""
      {"x\\", "C:\\a", "C:\\a\\x"},
      {"x\\\\y", "C:\\a", "C:\\a\\x\\\\y"},  // an empty piece in the middle is kept
      {"Temp", "\\opt\\kelvo", "\\opt\\kelvo\\Temp"},
      {kHyo + "\\x", "C:\\a", "C:\\a\\" + kHyo + "\\x"},
      {"..\\y", "C:\\a\\" + kHyoji, "C:\\a\\y"},
      {"..\\y", "C:\\a\\" + kHyo + "\\", "C:\\a\\y"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolvePath(c.path, c.base), c.resolved) << c.path << " in " << c.base;
}

TEST(Paths, StartsWithIgnoringCase) {
  struct Case { std::string text, prefix; bool expected; };
  const Case cases[] = {
      {"C:\\Kernel\\x", "c:\\kernel", true},
      {"abc", "", true},
      {"ab", "abc", false},
      {"abc", "abd", false},
      {kA + "x", "\x83\x61", false},      // the trail byte 'A' is not a letter
      {kHyo + "x", "\x95", false},        // the prefix would end inside a character
      {kHyo + "x", kHyo, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StartsWithNoCase(c.text, c.prefix), c.expected) << c.text << " / " << c.prefix;
}

TEST(Paths, WithinDirAndSamePath) {
  struct Case { std::string path, dir; bool within, same; };
  const Case cases[] = {
      {"C:\\A\\B", "c:\\a\\", true, false},
      {"C:\\A\\", "c:\\a", true, true},
      {"c:\\ab", "c:\\a", false, false},
      {"c:\\a", "c:\\a\\b", false, false},
      {"\\x", "\\", true, false},
      {"", "", true, true},
      {"C:\\a", "D:\\a", false, false},
      // C:\表\x does not lie below "C:\" + lone lead byte, although its bytes begin so.
      {"C:\\" + kHyo + "\\x", "C:\\\x95", false, false},
      {"C:\\" + kA, "C:\\\x83\x61", false, false},
      {"C:\\" + kHyoji + "\\X", "c:\\" + kHyoji, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsWithinDir(c.path, c.dir), c.within) << c.path << " in " << c.dir;
    EXPECT_EQ(SamePath(c.path, c.dir), c.same) << c.path << " = " << c.dir;
    EXPECT_EQ(SamePath(c.dir, c.path), c.same) << c.dir << " = " << c.path;
  }
}

TEST(Paths, CommonDirectory) {
  struct Case { std::string a, b, common; };
  const Case cases[] = {
      {"C:\\a\\b\\c", "C:\\a\\d", "C:\\a"},
      {"C:\\a\\b", "C:\\a", "C:\\a"},
      {"C:\\a", "C:\\a\\b", "C:\\a"},
      {"C:\\A\\b", "c:\\a\\c", "C:\\A"},
      {"C:\\x", "D:\\y", ""},
      {"", "C:\\a", ""},
      {"C:\\a", "", ""},
      {"\\opt\\kelvo\\Usr", "\\opt\\kelvo\\kernel", "\\opt\\kelvo"},
  };
  for (const auto& c : cases) EXPECT_EQ(CommonDir(c.a, c.b), c.common) << c.a << " & " << c.b;
}

TEST(Paths, RelativeToBaseDirectory) {
  struct Case { std::string path, base, relative; };
  const Case cases[] = {
      {"C:\\a\\b\\c.txt", "C:\\a\\d", "..\\b\\c.txt"},
      {"D:\\x", "C:\\a", "D:\\x"},
      {"C:\\a\\b", "C:\\a\\", "b"},
      {"C:\\a\\b\\", "C:\\a", "b"},
      {"C:\\a", "C:\\a", ""},
      {"C:\\A\\B", "c:\\a", "B"},
      {"x\\y", "C:\\a", "x\\y"},
      {"C:\\b", "C:\\a\\c", "..\\..\\b"},
      {"\\opt\\kelvo\\kernel\\x", "\\opt\\kelvo\\Usr", "..\\kernel\\x"},
      {"\\home\\x", "\\opt\\kelvo", "\\home\\x"},
      {"C:\\" + kHyo + "\\x", "C:\\\x95", "..\\" + kHyo + "\\x"},
      {"C:\\" + kHyoji + "\\x", "C:\\" + kHyoji + "\\y", "..\\x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RelativePath(c.path, c.base), c.relative) << c.path << " from " << c.base;
}

// Resolving what RelativePath wrote leads back to the same file.
TEST(Paths, RelativeThenResolveRoundTrips) {
  const std::string bases[] = {"C:\\a\\d", "C:\\a", "C:\\a\\b\\c\\d", "C:\\" + kHyoji};
  const std::string paths[] = {"C:\\a\\b\\c.txt", "C:\\a\\d\\e", "C:\\" + kHyoji + "\\" + kHyo,
                               "C:\\z"};
  for (const auto& base : bases)
    for (const auto& path : paths)
      EXPECT_TRUE(SamePath(ResolvePath(RelativePath(path, base), base), path))
          << path << " from " << base;
}

class CacheFileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvo-paths-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    posixRoot_ = pattern;
    root_ = FromPosixPath(posixRoot_);
  }
  void TearDown() override { std::filesystem::remove_all(posixRoot_); }

  std::string posixRoot_;
  std::string root_;  // the temporary directory as a system path
};

TEST_F(CacheFileNameTest, NamesAndCreatesTheCacheDirectory) {
  const std::string program = root_ + "\\a\\b";
  struct Case { std::string source, prefix, name; };
  const Case cases[] = {
      {program + "\\kernel\\classes\\Object.kelvo", "class_", "class_kernelclassesObjectkelvo"},
      {root_ + "\\x_1.kelvo", "class_", "class_@@x_1kelvo"},  // two levels above
      {program + "\\Usr\\p\\" + kHyoji + "@" + kA + "b.cmml", "init_", "init_Usrp@bcmml"},
      {program + "\\...\\x", "c_", "c_@x"},
      {"D:\\games\\x.kelvo", "class_", "class_Dgamesxkelvo"},  // no common root
      {"rel\\y.kelvo", "class_", "class_relykelvo"},
  };
  EXPECT_EQ(TempDir(program), program + "\\Temp");
  for (const auto& c : cases)
    EXPECT_EQ(CacheFileName(c.source, c.prefix, program), program + "\\Temp\\" + c.name)
        << c.source;
  EXPECT_TRUE(std::filesystem::is_directory(posixRoot_ + "/a/b/Temp"));
}

}  // namespace
}  // namespace kelvo
