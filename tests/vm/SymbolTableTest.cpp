#include <gtest/gtest.h>

#include "values/CountingAllocator.h"
#include "vm/RapidStringList.h"
#include "vm/SymbolTable.h"

namespace kelvo {
namespace {

TEST(SymbolTable, NumbersInOrderOfFirstUseIgnoringCase) {
  TSymbolTable symbols;
  EXPECT_EQ(symbols.SymbolOf("_body"), 0);
  EXPECT_EQ(symbols.SymbolOf("GC_MARK"), 1);
  EXPECT_EQ(symbols.SymbolOf("_generator"), 2);
  const int32_t foo = symbols.SymbolOf("Foo");
  EXPECT_EQ(foo, 3);
  EXPECT_EQ(symbols.SymbolOf("FOO"), foo);
  EXPECT_EQ(symbols.SymbolOf("foo"), foo);
  EXPECT_EQ(symbols.SymbolText(foo), "Foo");
  EXPECT_EQ(symbols.SymbolOf("bar"), 4);
  EXPECT_EQ(symbols.Lookup("BAR"), 4);
  EXPECT_EQ(symbols.Lookup("baz"), -1);
  EXPECT_EQ(symbols.Count(), 5);  // Lookup does not intern
  EXPECT_EQ(symbols.SymbolText(99), "");
  EXPECT_EQ(symbols.SymbolText(-1), "");
}

TEST(SymbolTable, CaseFoldingIsShiftJisAware) {
  struct Case { const char* a; const char* b; bool same; };
  const Case cases[] = {
      {"abc_1", "ABC_1", true},
      {"\x82\x81", "\x82\x60", true},       // full-width a and A
      {"\x83\xBF", "\x83\x9F", true},       // Greek alpha
      {"\x84\x70", "\x84\x40", true},       // Cyrillic a
      {"\x84\x80", "\x84\x4F", true},       // Cyrillic n (after the gap at 0x7F)
      {"\x88\x61", "\x88\x41", false},      // trail bytes are not ASCII letters
      {"\x95\x5C" "a", "\x95\x5C" "A", true},
      {"a\xFD", "A\xFD", true},
      {"a", "b", false},
  };
  for (const auto& c : cases) EXPECT_EQ(TSymbolTable::SameName(c.a, c.b), c.same) << c.a;
}

TEST(RapidStringList, FindUsesAndCorrectsTheHint) {
  TSymbolTable symbols;
  TCountingAllocator allocator;
  {
    TRapidStringList list(symbols, &allocator);
    const int32_t x = symbols.SymbolOf("x");
    EXPECT_EQ(list.Append("x"), 0);
    EXPECT_EQ(list.Append("y"), 1);
    EXPECT_EQ(list.Append("X"), 2);  // a second entry of the same symbol
    EXPECT_EQ(allocator.BlocksHeld(), 3);
    EXPECT_EQ(list.NameAt(2), "x");

    struct Case { int32_t hint; int32_t found; };
    const Case cases[] = {
        {0, 0},    // a valid hint wins
        {1, 2},    // stale: slot 1 holds y; searched from the end
        {7, 2},    // beyond the list
        {-1, 2},
    };
    for (const auto& c : cases) {
      int32_t hint = c.hint;
      EXPECT_EQ(list.Find(x, hint), c.found) << c.hint;
      EXPECT_EQ(hint, c.found) << c.hint;
    }
    int32_t hint = 1;
    EXPECT_EQ(list.Find(symbols.SymbolOf("z"), hint), -1);
    EXPECT_EQ(hint, -1);

    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.NameAt(0), "y");
    EXPECT_EQ(list.NameAt(5), "");
    EXPECT_EQ(allocator.BlocksHeld(), 2);
  }
  EXPECT_EQ(allocator.BlocksHeld(), 0);
}

}  // namespace
}  // namespace kelvo
