#include <gtest/gtest.h>

#include "frontend/GrammarError.h"
#include "frontend/Yup.h"
#include "frontend/GrammarTestSupport.h"

namespace kelvo {
namespace {

using testing::TokenText;

class ShippedLexer : public ::testing::Test {
 protected:
  std::string Lexed(const std::string& source) { return TokenText(*yup->Lex(source.c_str())); }
  Reporter reporter;
  std::unique_ptr<TYup> yup = TYup::CreateShipped(reporter);
};

TEST_F(ShippedLexer, TokenTable) {
  struct Case {
    const char* source;
    const char* tokens;
  };
  const Case cases[] = {
      // Keywords are definitions listed before SYMBOL: equal length wins, longer is a name.
      {"fork forks in int format ifx in2", "fork:fork SYMBOL:forks in:in SYMBOL:int "
                                           "SYMBOL:format SYMBOL:ifx SYMBOL:in2"},
      {"this super constructor", "SYMBOL:this SYMBOL:super constructor:constructor"},
      {"while break if is in else null for function destructor extends native new return var",
       "while:while break:break if:if is:is in:in else:else null:null for:for "
       "function:function destructor:destructor extends:extends native:native new:new "
       "return:return var:var"},
      // The longest operator wins.
      {"a+=b a++b a<=b a<b !== ||| &&&",
       "SYMBOL:a +=:+= SYMBOL:b SYMBOL:a ++:++ SYMBOL:b SYMBOL:a <=:<= SYMBOL:b SYMBOL:a <:< "
       "SYMBOL:b !=:!= =:= ||:|| |:| &&:&& &:&"},
      {"-- -= *= /= %= >= > ; ( ) . , { } * / % ! + -",
       "--:-- -=:-= *=:*= /=:/= %=:%= >=:>= >:> ;:; (:( ):) .:. ,:, {:{ }:} *:* /:/ %:% !:! "
       "+:+ -:-"},
      // Numbers: digits, optionally "." and digits; nothing else.
      {"1.5 1. .5 1.2.3", "NUM:1.5 NUM:1 .:. .:. NUM:5 NUM:1.2 .:. NUM:3"},
      {"12abc $ a$b 0x1F", "NUM:12 SYMBOL:abc SYMBOL:$ SYMBOL:a SYMBOL:$b NUM:0 SYMBOL:x1F"},
      // Bytes that start no token are dropped.
      {"x = a[1];", "SYMBOL:x =:= SYMBOL:a NUM:1 ;:;"},
      {"# @ [ ] : ? ' ~ ^ \\ \xB1", ""},
      {"a\xB1" "b", "SYMBOL:a SYMBOL:b"},
      {"", ""},
      {" \t\r\n  ", ""},
      // Line comments end before the first byte below 0x20.
      {"//x y\ty\nz", "COMM://x y SYMBOL:y SYMBOL:z"},
      {"//", "COMM://"},
      // Block comments: a "*" pairs with the byte after it.
      {"/**/ /* a\nb */", "COMM:/**/ COMM:/* a\nb */"},
      {"/***/", "/:/ *:* *:* *:* /:/"},
      {"/* a **/", "/:/ *:* SYMBOL:a *:* *:* /:/"},
      {"/* x", "/:/ *:* SYMBOL:x"},
      // Strings.
      {"\"a\\\"b\"", "STRING:\"a\\\"b\""},
      {"\"\" \"\\\\\"", "STRING:\"\" STRING:\"\\\\\""},
      {"\"ab\ncd\"", "SYMBOL:ab SYMBOL:cd"},
      {"\"a\tb\"", "SYMBOL:a SYMBOL:b"},
      // A double-byte character keeps a quote or backslash trail byte inside the string.
      {"\"\x95\\\"", "STRING:\"\x95\\\""},
      {"\"\x81\"\"", "STRING:\"\x81\"\""},
      // A lone lead byte before the closing quote takes it: the string runs on and, here,
      // never closes, so its quote is dropped; the name then takes the pair as well.
      {"\"a\x81\" b", "SYMBOL:a\x81\" SYMBOL:b"},
      // Names: double-byte characters with lead bytes 0x80-0x9F and 0xE0-0xFF.
      {"\x8a\xbf\x8e\x9a" "1 _x9 \xFF\x41", "SYMBOL:\x8a\xbf\x8e\x9a" "1 SYMBOL:_x9 SYMBOL:\xFF\x41"},
      // A lead byte at the end has no trail byte and is dropped.
      {"a\x81", "SYMBOL:a"},
      {"\"\x81", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Lexed(c.source), c.tokens) << c.source;
}

TEST_F(ShippedLexer, TokensReferIntoTheSourceAndStopAtTheTerminatingZero) {
  const char text[] = "ab\0cd";
  auto list = yup->Lex(text);
  ASSERT_EQ(list->Count(), 1);
  EXPECT_EQ(list->Item(0)->Start, text);
  EXPECT_EQ(list->Item(0)->End, text + 2);
  EXPECT_EQ(yup->Lex(nullptr)->Count(), 0);
}

TEST_F(ShippedLexer, AcceptTakesOnlyTheTokenOfThatDefinition) {
  const char text[] = "x = 1";
  auto list = yup->Lex(text);
  const TLexRule* symbol = list->Item(0)->Rule;
  const TLexRule* num = list->Item(2)->Rule;
  EXPECT_EQ(list->LastAccepted(), nullptr);
  EXPECT_EQ(list->Accept(num), nullptr);
  EXPECT_EQ(list->Position(), 0);
  EXPECT_EQ(list->Accept(symbol), list->Item(0));
  EXPECT_EQ(list->Position(), 1);
  EXPECT_EQ(list->LastAccepted(), text);
  list->SetPosition(2);
  EXPECT_EQ(list->Accept(num), list->Item(2));
  EXPECT_EQ(list->LastAccepted(), text + 4);
  // At the end nothing is accepted, and restoring Position leaves Last accepted alone.
  EXPECT_EQ(list->Accept(num), nullptr);
  list->SetPosition(0);
  EXPECT_EQ(list->LastAccepted(), text + 4);
}

}  // namespace
}  // namespace kelvo
