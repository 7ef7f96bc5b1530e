#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/ShiftJis.h"
#include "values/Conversions.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::VmFixture;

TEST(FloatText, WidenedSingleWithFifteenDigits) {
  struct Case { float value; const char* text; };
  const Case cases[] = {
      {2.5f, "2.5"},
      {3.0f, "3"},
      {-7.0f, "-7"},
      {0.0f, "0"},
      {0.1f, "0.100000001490116"},
      {1.0f / 3.0f, "0.333333343267441"},
      {123456789.0f, "123456792"},
      {0.0001f, "9.99999974737875E-5"},
      {0.001f, "0.00100000004749745"},
      {-0.5f, "-0.5"},
      {std::ldexp(1.0f, 60), "1.15292150460685E18"},
      {std::ldexp(1.0f, -20), "9.5367431640625E-7"},
      {std::ldexp(1.0f, 49), "562949953421312"},   // below 1E15: fixed form
      {std::ldexp(1.0f, 50), "1.12589990684262E15"},  // from 1E15: exponent form
      {-std::ldexp(1.0f, 60), "-1.15292150460685E18"},
      {std::numeric_limits<float>::infinity(), "INF"},
      {-std::numeric_limits<float>::infinity(), "-INF"},
      {std::numeric_limits<float>::quiet_NaN(), "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToText(c.value), c.text) << c.text;
}

TEST(Conversions, NumbersAndTruthOfEveryKind) {
  TScriptValue target = IntValue(5);
  struct Case {
    TScriptValue v;
    int32_t asInt;
    float asFloat;
    bool truth;
  };
  const Case cases[] = {
      {NullValue(), 0, 0.0f, false},
      {IntValue(-7), -7, -7.0f, true},
      {IntValue(0), 0, 0.0f, false},
      {FloatValue(3.99f), 3, 3.99f, true},
      {FloatValue(-3.99f), -3, -3.99f, true},
      {FloatValue(0.0f), 0, 0.0f, false},
      {FloatValue(0.25f), 0, 0.25f, true},
      // low 32 bits of the 64-bit truncation
      {FloatValue(4294967296.0f + 1024.0f * 1024.0f), 1048576, 4296015872.0f, true},
      {FloatValue(std::ldexp(1.0f, 70)), 0, std::ldexp(1.0f, 70), true},  // out of 64-bit range
      {FloatValue(std::numeric_limits<float>::quiet_NaN()), 0, 0.0f, true},  // NaN != 0
      {RefValue(&target), 0, 0.0f, false},
      {HostValue(12345), 0, 0.0f, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    EXPECT_EQ(ValToInt(c.v), c.asInt) << i;
    if (c.v.Tag == vkFloat && std::isnan(c.v.Float))
      EXPECT_TRUE(std::isnan(ValToFloat(c.v))) << i;
    else
      EXPECT_EQ(ValToFloat(c.v), c.asFloat) << i;
    EXPECT_EQ(ValIsTrue(c.v), c.truth) << i;
  }
}

class ValueTextTest : public VmFixture {};

TEST_F(ValueTextTest, TextOfEveryKind) {
  TRTTI* enemy = MakeClass("Enemy", {"hp"});
  TScriptValue e = NewObject(enemy);
  TScriptValue five = IntValue(5);
  TScriptValue s = Str("abc");
  TScriptValue empty = Str("");

  EXPECT_EQ(Text(NullValue()), "null");
  EXPECT_EQ(Text(IntValue(-7)), "-7");
  EXPECT_EQ(Text(IntValue(INT32_MIN)), "-2147483648");
  EXPECT_EQ(Text(FloatValue(2.5f)), "2.5");
  EXPECT_EQ(Text(s), "abc");
  EXPECT_EQ(Text(empty), "");
  EXPECT_EQ(Text(e), "Enemy@" + std::to_string(e.Object->Handle));
  EXPECT_EQ(Text(RefValue(&five)), "[5]");
  EXPECT_EQ(Text(RefValue(&s)), "[abc]");
  EXPECT_EQ(Text(enemy->SelfCell), "TRTTI");
  EXPECT_EQ(Text(Member(s, "_body")), "TfString");

  // A string is a direct instance of the String class only.
  TRTTI* sub = MakeClass("MyString", {}, stringClass);
  TScriptValue notString = NewObject(sub);
  SetHost(Member(notString, "_body"), GetHost(Member(s, "_body")));
  EXPECT_EQ(Text(notString), "MyString@" + std::to_string(notString.Object->Handle));

  // A string object whose body is not a string body has the empty text.
  TScriptValue broken = Str("x");
  SetInt(Member(broken, "_body"), 3);
  EXPECT_EQ(Text(broken), "");

  // A pointer that designates itself does not recurse without end.
  TScriptValue self;
  self = RefValue(&self);
  EXPECT_EQ(Text(self).substr(0, 2), "[[");
}

TEST_F(ValueTextTest, LiteralsReadBackAsTheSameText) {
  struct Case { const char* text; const char* literal; };
  const Case cases[] = {
      {"a\"b", "\"a\\\"b\""},
      {"c:\\dir", "\"c:\\\\dir\""},
      {"1\r\n2\t3", "\"1\\r\\n2\\t3\""},
      {"", "\"\""},
      // 表 is 0x95 0x5C: its trail byte is copied as it is, not doubled
      {"\x95\x5C\\", "\"\x95\x5C\\\\\""},
      // a lead byte at the very end is an ordinary byte
      {"x\x95", "\"x\x95\""},
      // 0xFD-0xFF do not begin a double-byte character here
      {"\xFD\\", "\"\xFD\\\\\""},
  };
  for (const auto& c : cases) {
    TScriptValue s = Str(c.text);
    EXPECT_EQ(ValToLiteral(vm, s), c.literal) << c.literal;
  }
  TRTTI* enemy = MakeClass("Enemy");
  TScriptValue e = NewObject(enemy);
  EXPECT_EQ(ValToLiteral(vm, e), "objectFromID(" + std::to_string(e.Object->Handle) + ")");
  EXPECT_EQ(ValToLiteral(vm, FloatValue(0.1f)), "0.100000001490116");
  EXPECT_EQ(ValToLiteral(vm, NullValue()), "null");
}

}  // namespace
}  // namespace kelvo
