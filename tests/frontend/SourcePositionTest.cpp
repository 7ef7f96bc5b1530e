#include "frontend/SourcePosition.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

TEST(SourcePosition, LineAndColumnOfAnOffset) {
  // "漢" is two bytes in Shift-JIS and one column.
  const std::string text = "ab\r\n" + SJ("漢") + "x\n\nz";
  ASSERT_EQ(text.size(), 10u);
  struct Case {
    int64_t offset;
    TSourcePosition pos;
  };
  const Case table[] = {
      {0, {1, 1}},   {1, {1, 2}},   {2, {1, 3}},   // the CR belongs to the first line
      {3, {1, 4}},                                 // the LF itself
      {4, {2, 1}},   {5, {2, 1}},                  // both bytes of the double-byte character
      {6, {2, 2}},   {7, {2, 3}},   {8, {3, 1}},   {9, {4, 1}},
      {10, {4, 2}},                                // the end of the text
      {500, {4, 2}}, {-3, {1, 1}},                 // out of range: clamped
  };
  for (const Case& c : table) {
    const TSourcePosition got = SourcePositionOf(text, c.offset);
    EXPECT_EQ(got, c.pos) << "offset " << c.offset << " gave " << got.Line << ":" << got.Column;
  }
}

TEST(SourcePosition, LeadBytesNeverSwallowALineBreakOrRunPastTheEnd) {
  const std::string lead(1, '\x81');
  struct Case {
    std::string text;
    int64_t offset;
    TSourcePosition pos;
  };
  const Case table[] = {
      {lead + "\nab", 2, {2, 1}},  // a lead byte before LF is a character of its own
      {lead + "\nab", 3, {2, 2}},
      {"a" + lead, 2, {1, 3}},     // a lead byte at the very end
      {"", 0, {1, 1}},
  };
  for (const Case& c : table) {
    const TSourcePosition got = SourcePositionOf(c.text, c.offset);
    EXPECT_EQ(got, c.pos) << "offset " << c.offset << " gave " << got.Line << ":" << got.Column;
  }
}

}  // namespace
}  // namespace kelvo
