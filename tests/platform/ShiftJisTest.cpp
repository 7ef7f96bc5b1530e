#include "platform/ShiftJis.h"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(ShiftJis, LeadByteRangesDifferOnlyAboveFC) {
  struct Case { unsigned char byte; bool lex; bool compiler; };
  const Case cases[] = {
      {0x7F, false, false}, {0x80, true, true},  {0x9F, true, true},  {0xA0, false, false},
      {0xDF, false, false}, {0xE0, true, true},  {0xFC, true, true},  {0xFD, true, false},
      {0xFF, true, false},  {0x5C, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLexLeadByte(c.byte), c.lex) << int(c.byte);
    EXPECT_EQ(IsLeadByte(c.byte), c.compiler) << int(c.byte);
  }
}

TEST(ShiftJis, ConvertsBothWays) {
  // "表" is 0x95 0x5C: its trail byte is the backslash code.
  const std::string sjis = "\x95\x5C\x8E\xA6 ok \xB1";  // 表示, ASCII, half-width katakana ｱ
  const std::string utf8 = "表示 ok ｱ";
  EXPECT_EQ(SjisToUtf8(sjis), utf8);
  EXPECT_EQ(Utf8ToSjis(utf8), sjis);
  EXPECT_EQ(SJ("バグ発生:"), "\x83\x6F\x83\x4F\x94\xAD\x90\xB6:");
}

TEST(ShiftJis, BadInputIsReplacedNotLost) {
  EXPECT_EQ(SjisToUtf8("a\x81"), "a\xEF\xBF\xBD");          // lead byte cut off at the end
  EXPECT_EQ(SjisToUtf8("\xFF" "b"), "\xEF\xBF\xBD" "b");    // byte outside CP932
  EXPECT_EQ(Utf8ToSjis("x\xC3"), "x?");                     // truncated UTF-8
  EXPECT_EQ(Utf8ToSjis("\xF0\x9F\x98\x80!"), "?!");         // no CP932 form
}

}  // namespace
}  // namespace kelvo
