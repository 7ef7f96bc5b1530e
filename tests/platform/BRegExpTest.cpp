#include "platform/BRegExp.h"

#include <gtest/gtest.h>

#include <functional>

#include <string>
#include <vector>

#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

// "表" is 0x95 0x5C: its trail byte is the backslash code. "ア" is 0x83 0x41: its trail byte
// is "A".
const std::string kHyo = "\x95\x5C";
const std::string kA = "\x83\x41";

std::vector<std::string> AllStrings(const TBRegExp& re) {
  std::vector<std::string> out;
  for (int i = 0; i < re.Count(); ++i) out.push_back(re.Strings(i));
  return out;
}

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EBRegExpError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(BRegExp, MatchGroupsCountUpToTheFirstEmptyGroup) {
  struct Case {
    const char* pattern;
    std::string text;
    bool matched;
    std::vector<std::string> strings;  // Strings(0 .. Count-1)
  };
  const Case cases[] = {
      {"/(a+)(b*)(c)/", "xaacz", true, {"aac", "aa"}},  // group 2 is empty: Count stops there
      {"/^([0-9]*)\\.([0-9]+)$/", "12.5", true, {"12.5", "12", "5"}},
      {"/(x)|(y)/", "y", true, {"y"}},                   // group 1 did not take part
      {"/x/i", "aXb", true, {"X"}},
      {"/^/", "abc", true, {""}},                        // an empty whole match still counts
      {"/<([\\w\\d]*)/", "<abc x=\"1\">", true, {"<abc", "abc"}},
      {"/q/", "abc", false, {}},
      {"m!b/c!", "ab/cd", true, {"b/c"}},
      {"/a\\/b/", "xa/b", true, {"a/b"}},
      {"/^a.c$/", "a\nc", false, {}},
      {"/^a.c$/s", "a\nc", true, {"a\nc"}},
      {"/^c$/m", "a\nc\nd", true, {"c"}},
  };
  TBRegExp re;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(re.Match(c.pattern, c.text), c.matched);
    EXPECT_EQ(AllStrings(re), c.strings);
  }
}

TEST(BRegExp, GroupTextAndSpanReachPastTheCount) {
  TBRegExp re;
  ASSERT_TRUE(re.Match("/([\\w\\d]*)=\"([^\"]*)\"/", " =\"v\" "));
  EXPECT_EQ(re.Count(), 1);
  EXPECT_EQ(re.GroupText(1), "");
  EXPECT_EQ(re.GroupText(2), "v");
  EXPECT_EQ(re.MatchStart(), 1u);
  EXPECT_EQ(re.MatchEnd(), 5u);
  EXPECT_EQ(ErrorOf([&] { re.GroupText(3); }), "index out of range");

  // Byte offsets, not character offsets, after double-byte text.
  ASSERT_TRUE(re.Match("/b+/", kHyo + kA + "abbc"));
  EXPECT_EQ(re.MatchStart(), 5u);
  EXPECT_EQ(re.MatchEnd(), 7u);
}

TEST(BRegExp, DoubleByteCharacterIsOneCharacter) {
  TBRegExp re;
  const std::string kanji = SJ("漢字");
  ASSERT_TRUE(re.Match("/./", kanji));
  EXPECT_EQ(re.Strings(0), SJ("漢"));
  EXPECT_TRUE(re.Match("/^..$/", kanji));
  EXPECT_TRUE(re.Match("/^.{2}$/", kHyo + kA));

  // The trail bytes 0x5C and 0x41 are not a backslash and not "A".
  EXPECT_FALSE(re.Match("/\\\\/", kHyo));
  EXPECT_FALSE(re.Match("/A/", kA));
  ASSERT_TRUE(re.Match("/\\\\/", kHyo + "\\"));
  EXPECT_EQ(re.MatchStart(), 2u);

  // Byte escapes name single-byte units; a double-byte character is its packed unit.
  EXPECT_FALSE(re.Match("/^[\\x80-\\xff]$/", SJ("あ")));
  EXPECT_TRUE(re.Match("/^\\x{82a0}$/", SJ("あ")));
  EXPECT_TRUE(re.Match("/^\\$([\\_A-Za-z0-9]|[\\x{8000}-\\x{fcff}])*$/", "$a" + SJ("漢字")));

  // A lead byte at the very end stays a character of its own.
  ASSERT_TRUE(re.Match("/.$/", "a\x82"));
  EXPECT_EQ(re.Strings(0), "\x82");

  // In the pattern too: the 0x5C of "表" does not escape the closing slash.
  std::string text = kHyo + "x" + kHyo;
  EXPECT_TRUE(re.Subst("s/" + kHyo + "/y/g", text));
  EXPECT_EQ(text, "yxy");

  // A backslash before a double-byte character takes it literally.
  re.Split("/\\" + kHyo + "/", "a" + kHyo + "b", 0);
  EXPECT_EQ(AllStrings(re), (std::vector<std::string>{"a", "b"}));

  // \W takes the whole double-byte character.
  text = kA + "b";
  EXPECT_TRUE(re.Subst("s/\\W/\\\\$&/", text));
  EXPECT_EQ(text, "\\" + kA + "b");
}

TEST(BRegExp, Subst) {
  struct Case {
    const char* pattern;
    std::string text;
    bool replaced;
    std::string result;
  };
  const Case cases[] = {
      {"s/a/b/", "aaa", true, "baa"},
      {"s/a/b/g", "aaa", true, "bbb"},
      {"s/A/b/gi", "aAa", true, "bbb"},
      {"s/z/y/g", "abc", false, "abc"},
      {"s/\\W/\\\\$&/", "a.b.c", true, "a\\.b.c"},  // only the first non-word character
      {"s/(\\w+)@(\\w+)/$2 at $1/", "me@host", true, "host at me"},
      {"s/(a)|(b)/[$2]/g", "ab", true, "[][b]"},    // an unset group gives nothing
      {"s/x*/-/g", "abc", true, "-a-b-c-"},
      {"s/x*/-/g", "axb", true, "-a--b-"},
      {"s/\\%/\\%25/g", "100%", true, "100%25"},
      {"s/\\%3c/\\</g", "%3c%3C", true, "<%3C"},
      {"s/\\//_/g", "a/b/c", true, "a_b_c"},
      {"s/\\\\$//", "dir\\", true, "dir"},
      {"s/\\.[^.]*$//", "file.tar.gz", true, "file.tar"},
      {"s/\\_[0-9][0-9]*$//", "name_12", true, "name"},
      {"s/,/\\n\\t\\$/g", "a,b", true, "a\n\t$b"},
      {"s/$/!/", "", true, "!"},
      {"s#/#\\\\#g", "a/b", true, "a\\b"},
  };
  TBRegExp re;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::string text = c.text;
    EXPECT_EQ(re.Subst(c.pattern, text), c.replaced);
    EXPECT_EQ(text, c.result);
  }
}

TEST(BRegExp, SplitFollowsPerl) {
  struct Case {
    const char* pattern;
    std::string text;
    int limit;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"/,/", "a,b,,c,,", 0, {"a", "b", "", "c"}},
      {"/,/", "a,b,,c,,", -1, {"a", "b", "", "c", "", ""}},
      {"/,/", ",a", 0, {"", "a"}},
      {"/,/", ",,,", 0, {}},
      {"/,/", "", 0, {}},
      {"/,/", "", 3, {}},
      {"/,/", "abc", 0, {"abc"}},
      {"/,/", "a,b,c", 1, {"a,b,c"}},
      {"/,/", "a,b,c", 2, {"a", "b,c"}},
      {"/,/", "a,b,", 5, {"a", "b", ""}},
      {"//", "abc", 0, {"a", "b", "c"}},
      {"//", "abc", -1, {"a", "b", "c", ""}},
      {"/x*/", "axxb", 0, {"a", "b"}},
      {"/x*/", "xa", 0, {"", "a"}},
      {"/\\\\/", "C:\\dir\\file", 0, {"C:", "dir", "file"}},
      {"/\\\\/", "dir\\", 0, {"dir"}},
      {"/ *, */", "a , b,c", 0, {"a", "b", "c"}},
  };
  TBRegExp re;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " on '" + c.text + "' limit " + std::to_string(c.limit));
    re.Split(c.pattern, c.text, c.limit);
    EXPECT_EQ(AllStrings(re), c.pieces);
  }
  re.Split("//", SJ("表示"), 0);
  EXPECT_EQ(AllStrings(re), (std::vector<std::string>{SJ("表"), SJ("示")}));
}

TEST(BRegExp, ResultErrors) {
  TBRegExp re;
  EXPECT_EQ(ErrorOf([&] { re.Count(); }), "no count now");
  EXPECT_EQ(ErrorOf([&] { re.Strings(0); }), "no strings now");

  ASSERT_TRUE(re.Match("/(a)(b)/", "ab"));
  EXPECT_EQ(re.Count(), 3);
  EXPECT_EQ(ErrorOf([&] { re.Strings(3); }), "index out of range");
  EXPECT_EQ(ErrorOf([&] { re.Strings(-1); }), "index out of range");

  ASSERT_FALSE(re.Match("/c/", "ab"));
  EXPECT_EQ(re.Count(), 0);
  EXPECT_EQ(ErrorOf([&] { re.Strings(0); }), "index out of range");
  EXPECT_EQ(ErrorOf([&] { re.MatchEnd(); }), "no strings now");

  re.Split("/,/", "a,b", 0);
  EXPECT_EQ(re.Count(), 2);
  EXPECT_EQ(ErrorOf([&] { re.Strings(2); }), "index out of range");
  EXPECT_EQ(ErrorOf([&] { re.GroupText(0); }), "no strings now");

  // A substitution leaves no count and no strings behind.
  std::string text = "a";
  re.Subst("s/a/b/", text);
  EXPECT_EQ(ErrorOf([&] { re.Count(); }), "no count now");
  EXPECT_EQ(ErrorOf([&] { re.Strings(0); }), "no strings now");
}

TEST(BRegExp, BadPatternsRaiseTheEngineMessage) {
  TBRegExp re;
  std::string text = "abc";
  EXPECT_EQ(ErrorOf([&] { re.Match("/(a/", "a"); }), "missing closing parenthesis");
  EXPECT_EQ(ErrorOf([&] { re.Split("/[a/", "a", 0); }),
            "missing terminating ] for character class");
  EXPECT_EQ(ErrorOf([&] { re.Subst("s/a)/b/", text); }),
            "unmatched closing parenthesis");
  // Not a Perl literal of the right kind.
  for (const char* bad : {"abc", "/abc", "", "s/a/b/"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(ErrorOf([&] { re.Match(bad, "abc"); }), "(no error)");
  }
  for (const char* bad : {"/a/b/", "s/a/b", "s/a", "sab"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(ErrorOf([&] { re.Subst(bad, text); }), "(no error)");
  }
  EXPECT_EQ(text, "abc");
  EXPECT_NE(ErrorOf([&] { re.Match("/a/q", "a"); }), "(no error)");
  // After a failed call there are no results of an earlier one.
  EXPECT_EQ(ErrorOf([&] { re.Count(); }), "no count now");

  // Runaway backtracking ends in the engine's error, not in a hang.
  EXPECT_EQ(ErrorOf([&] { re.Match("/(a+)+$/", std::string(40, 'a') + "b"); }),
            "match limit exceeded");

  EXPECT_EQ(std::string(EBRegExpError(std::string(300, 'x')).what()).size(), 256u);
}

TEST(BRegExp, CachedPatternsStayCorrectPastTheCacheSize) {
  TBRegExp re;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 150; ++i) {
      std::string digits = std::to_string(i);
      ASSERT_TRUE(re.Match("/^" + digits + "$/", digits)) << i;
      ASSERT_FALSE(re.Match("/^" + digits + "$/", digits + "x")) << i;
    }
  }
}

TEST(BRegExp, PackingRoundTripsEveryByteSequence) {
  const std::string texts[] = {"", "abc", SJ("漢字かな"), kHyo + "\\", "a\x82", std::string("\x81\x00z", 3),
                               std::string("\xFD\xFE\xFF\xA1\xDF", 5)};
  for (const std::string& text : texts) {
    std::vector<uint32_t> units = PackSjis(text);
    EXPECT_EQ(UnpackSjis(units.data(), units.size()), text);
  }
  EXPECT_EQ(PackSjis(kHyo + "a\x82"), (std::vector<uint32_t>{0x955C, 'a', 0x82}));
}

}  // namespace
}  // namespace kelvo
