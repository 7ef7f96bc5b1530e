#include "platform/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kHyoji = "\x95\x5C\x8E\xA6";  // 表示; 0x5C is the trail byte of 表

// A fresh temporary directory per test, known both as a host path and as a system path.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelvo-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    host_ = pattern;
    root_ = FromPosixPath(host_);
  }
  void TearDown() override { fs::remove_all(host_); }

  void MakeFile(const std::string& relativeHost, const std::string& content = "x") {
    fs::create_directories(fs::path(host_ + "/" + relativeHost).parent_path());
    std::ofstream(host_ + "/" + relativeHost, std::ios::binary) << content;
  }
  // Sets the modification time of a host file.
  void SetModified(const std::string& hostPath, time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, hostPath.c_str(), times, 0), 0);
  }

  std::string host_;
  std::string root_;
};

TEST(FilePaths, MapsSystemPathsWithoutExistingEntries) {
  struct Case { std::string system, posix; };
  const Case cases[] = {
      {"", ""},
      {"\\", "/"},
      {"C:\\", "/"},
      {"\\kelvo-no-such\\A\\b.txt", "/kelvo-no-such/A/b.txt"},
      {"C:\\kelvo-no-such\\x", "/kelvo-no-such/x"},   // the drive is dropped
      {"c:kelvo-no-such\\x", "kelvo-no-such/x"},      // drive-relative stays relative
      {"C:", "."},
      {"\\kelvo-no-such\\\\a\\", "/kelvo-no-such/a"},  // doubled and trailing separators
      {"\\kelvo-no-such/a", "/kelvo-no-such/a"},
      {"\\kelvo-no-such\\" + kHyoji + "\\x", "/kelvo-no-such/表示/x"},
      {"\\kelvo-no-such\\a\0b"s, ""},  // an embedded NUL names nothing
  };
  for (const auto& c : cases) EXPECT_EQ(ToPosixPath(c.system), c.posix) << c.system;
}

TEST(FilePaths, MapsHostPathsBack) {
  struct Case { std::string posix, system; };
  const Case cases[] = {
      {"/opt/kelvo", "\\opt\\kelvo"},
      {"/", "\\"},
      {"/a//b/", "\\a\\b\\"},
      {"rel/x", "rel\\x"},
      {"/tmp/表示", "\\tmp\\" + kHyoji},
  };
  for (const auto& c : cases) EXPECT_EQ(FromPosixPath(c.posix), c.system) << c.posix;
}

TEST(FilePaths, ProgramAndCurrentDirectories) {
  // The test program runs from the directory ExecutableDir names.
  EXPECT_TRUE(FileExists(ExecutableDir() + "\\kelvo_tests"));
  EXPECT_TRUE(DirectoryExists(CurrentDir()));
}

TEST_F(FilesTest, FindsComponentsIgnoringCase) {
  MakeFile("kernel/resource.kelvores", "<resourcelist/>");
  const std::string wanted = root_ + "\\Kernel\\Resource.KELVORES";
  EXPECT_EQ(ToPosixPath(wanted), host_ + "/kernel/resource.kelvores");
  EXPECT_TRUE(FileExists(wanted));
  EXPECT_EQ(ReadFileBytes(wanted), "<resourcelist/>");
  EXPECT_TRUE(DirectoryExists(root_ + "\\KERNEL\\"));
  // A missing tail is kept as the game wrote it, below the entries that were found.
  EXPECT_EQ(ToPosixPath(root_ + "\\KERNEL\\New\\File.Txt"), host_ + "/kernel/New/File.Txt");
  // Relative paths are looked up from the current directory.
  const fs::path before = fs::current_path();
  ASSERT_TRUE(SetCurrentDir(root_));
  EXPECT_EQ(ToPosixPath("KERNEL\\RESOURCE.kelvores"), "kernel/resource.kelvores");
  EXPECT_EQ(ReadFileBytes(".\\Kernel\\..\\kernel\\resource.KELVORES"), "<resourcelist/>");
  fs::current_path(before);
}

TEST_F(FilesTest, ChoosesAmongCaseVariantsDeterministically) {
  for (const char* name : {"data", "Data", "DATA"}) fs::create_directory(host_ + "/" + name);
  struct Case { std::string written, found; };
  const Case cases[] = {{"data", "data"}, {"Data", "Data"}, {"dAtA", "DATA"}};
  for (const auto& c : cases)
    EXPECT_EQ(ToPosixPath(root_ + "\\" + c.written), host_ + "/" + c.found) << c.written;
}

TEST_F(FilesTest, ShiftJisNamesAreUtf8OnDisk) {
  const std::string file = root_ + "\\" + kHyoji + "\\" + kHyoji + ".txt";
  ASSERT_TRUE(ForceDirectories(root_ + "\\" + kHyoji));
  ASSERT_TRUE(WriteFileBytes(file, "abc"));
  EXPECT_TRUE(fs::is_regular_file(host_ + "/表示/表示.txt"));
  const auto entries = ListDirectory(root_ + "\\" + kHyoji);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, kHyoji + ".txt");
  EXPECT_EQ(ReadFileBytes(file), "abc");
}

TEST_F(FilesTest, MissingFilesAndDirectories) {
  MakeFile("dir/f", "");
  const std::string missing = root_ + "\\nothing\\here.txt";
  const std::string dir = root_ + "\\dir";
  EXPECT_FALSE(FileExists(missing));
  EXPECT_FALSE(DirectoryExists(missing));
  EXPECT_FALSE(ReadFileBytes(missing).has_value());
  EXPECT_EQ(FileAge(missing), -1);
  EXPECT_FALSE(DeleteFile(missing));
  EXPECT_FALSE(WriteFileBytes(missing, "x"));  // no parent directory
  EXPECT_TRUE(ListDirectory(missing).empty());
  EXPECT_FALSE(OpenFileStream(missing, std::ios::in).is_open());
  // A directory is not a file.
  EXPECT_FALSE(FileExists(dir));
  EXPECT_TRUE(DirectoryExists(dir));
  EXPECT_FALSE(ReadFileBytes(dir).has_value());
  EXPECT_EQ(FileAge(dir), -1);
  EXPECT_FALSE(DeleteFile(dir));
  EXPECT_FALSE(OpenFileStream(dir, std::ios::in).is_open());
  // An empty file is read as empty, not as missing.
  EXPECT_EQ(ReadFileBytes(dir + "\\F"), "");
}

TEST_F(FilesTest, ForceDirectoriesReusesExistingComponents) {
  fs::create_directory(host_ + "/kernel");
  ASSERT_TRUE(ForceDirectories(root_ + "\\KERNEL\\Temp\\Deep\\"));
  EXPECT_TRUE(fs::is_directory(host_ + "/kernel/Temp/Deep"));
  EXPECT_FALSE(fs::exists(host_ + "/KERNEL"));
  EXPECT_TRUE(ForceDirectories(root_ + "\\kernel\\temp\\deep"));  // already there
  MakeFile("plain");
  EXPECT_FALSE(ForceDirectories(root_ + "\\plain\\sub"));  // a file is in the way
  EXPECT_FALSE(ForceDirectories(""));
}

TEST_F(FilesTest, WritesReadsRenamesAndDeletes) {
  const std::string bytes("a\0\xFF\r\nz", 6);
  const std::string file = root_ + "\\out.bin";
  ASSERT_TRUE(WriteFileBytes(file, bytes));
  EXPECT_EQ(ReadFileBytes(root_ + "\\OUT.BIN"), bytes);
  ASSERT_TRUE(WriteFileBytes(file, "q"));  // replacing truncates
  EXPECT_EQ(ReadFileBytes(file), "q");

  {
    std::fstream stream = OpenFileStream(root_ + "\\Other.bin", std::ios::out | std::ios::binary);
    ASSERT_TRUE(stream.is_open());
    stream << "other";
  }
  ASSERT_TRUE(RenameFile(root_ + "\\OTHER.bin", root_ + "\\Out.Bin"));  // replaces out.bin
  EXPECT_EQ(ReadFileBytes(file), "other");
  EXPECT_FALSE(FileExists(root_ + "\\Other.bin"));
  EXPECT_TRUE(DeleteFile(root_ + "\\OUT.bin"));
  EXPECT_FALSE(fs::exists(host_ + "/out.bin"));
}

TEST_F(FilesTest, ListsMatchingEntriesInStableOrder) {
  for (const char* name : {"b.cmml", "A.CMML", "c.txt", "a.cmmlx", "noext"}) MakeFile(name);
  fs::create_directory(host_ + "/Sub.cmml");
  auto names = [&](const std::string& pattern) {
    std::vector<std::string> out;
    for (const auto& e : ListDirectory(root_ + "\\", pattern))
      out.push_back(e.name + (e.isDirectory ? "/" : ""));
    return out;
  };
  EXPECT_EQ(names("*.cmml"), (std::vector<std::string>{"A.CMML", "b.cmml", "Sub.cmml/"}));
  EXPECT_EQ(names("*"), (std::vector<std::string>{"A.CMML", "a.cmmlx", "b.cmml", "c.txt",
                                                   "noext", "Sub.cmml/"}));
  EXPECT_EQ(names("?.*").size(), 4u);  // a.cmmlx, A.CMML, b.cmml, c.txt
}

TEST(FilePaths, WildcardsMatchCharacters) {
  struct Case { std::string name, pattern; bool matches; };
  const Case cases[] = {
      {"a.cmml", "*.cmml", true},   {"A.CMML", "*.cmml", true},
      {"a.cmmlx", "*.cmml", false}, {"abc", "a?c", true},
      {"ac", "a?c", false},         {kHyoji + "c", "??c", true},  // ? takes a whole character
      {kHyoji + "c", "???c", false}, {"abc", "*.*", true},
      {"a.b.c", "*.c", true},       {"", "*", true},
      {"x", "", false},             {"aXbXc", "a*b*c", true},
      {"abcab", "*ab", true},       {"abcac", "*ab", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

std::tm Broken(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return t;
}

TEST(FileTimes, PacksDosDateAndTime) {
  struct Case { std::tm time; uint32_t packed; };
  const Case cases[] = {
      {Broken(2026, 12, 11, 12, 27, 5), 0x5D8B6362u},   // seconds are halved, rounding down
      {Broken(2023, 6, 15, 13, 45, 37), 0x56CF6DB2u},
      {Broken(1980, 1, 1, 0, 0, 0), 0x00210000u},
      {Broken(2107, 12, 31, 23, 59, 59), 0xFF9FBF7Du},
      {Broken(2044, 1, 1, 0, 0, 0), 0x80210000u},       // the sign bit is a year bit
      {Broken(1970, 1, 1, 0, 0, 0), 0x00210000u},       // before 1980: the earliest stamp
      {Broken(2200, 5, 5, 5, 5, 5), 0xFF9FBF7Du},       // after 2107: the latest stamp
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(PackDosDateTime(c.time)), c.packed)
        << std::asctime(&c.time);
    const std::tm back = UnpackDosDateTime(static_cast<int32_t>(c.packed));
    EXPECT_EQ(PackDosDateTime(back), static_cast<int32_t>(c.packed));
  }
  const std::tm t = UnpackDosDateTime(0x56CF6DB2);
  EXPECT_EQ(std::vector<int>({t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec}),
            std::vector<int>({123, 5, 15, 13, 45, 36}));
}

TEST_F(FilesTest, FileAgeIsTheLocalModificationTime) {
  MakeFile("Src.kelvo");
  const std::string host = host_ + "/Src.kelvo";
  // mktime reads the broken-down time in the local zone, as FileAge writes it.
  std::tm local = Broken(2023, 6, 15, 13, 45, 37);
  SetModified(host, std::mktime(&local));
  EXPECT_EQ(static_cast<uint32_t>(FileAge(root_ + "\\src.KELVO")), 0x56CF6DB2u);

  // Touching the file two seconds later changes the stamp.
  std::tm later = Broken(2023, 6, 15, 13, 45, 39);
  SetModified(host, std::mktime(&later));
  EXPECT_EQ(static_cast<uint32_t>(FileAge(root_ + "\\Src.kelvo")), 0x56CF6DB3u);

  // A file from before 1980 exists all the same.
  SetModified(host, 0);
  EXPECT_EQ(static_cast<uint32_t>(FileAge(root_ + "\\Src.kelvo")), 0x00210000u);
}

}  // namespace
}  // namespace kelvo
