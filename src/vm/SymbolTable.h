#pragma once
// The program's symbol table: every member and method name is a number, given in order of
// first use and compared by identity at run time. Names compare without regard to letter case;
// the text kept is the form of first use.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo {

class TSymbolTable {
 public:
  // "_body", "gc_mark" and "_generator" are interned first, as 0, 1 and 2.
  TSymbolTable();

  // The number of the name, interning it when new.
  int32_t SymbolOf(std::string_view text);
  // The number of the name, or -1 when it was never interned.
  int32_t Lookup(std::string_view text) const;
  // The text of a number; the empty text for numbers that were never given.
  const std::string& SymbolText(int32_t symbol) const;
  int32_t Count() const { return static_cast<int32_t>(texts_.size()); }

  // The case-folded key under which two names compare equal. Shift-JIS aware: ASCII letters
  // and the double-byte Latin, Greek and Cyrillic letters fold; trail bytes are never taken
  // for letters.
  static std::string FoldCase(std::string_view text);
  static bool SameName(std::string_view a, std::string_view b) {
    return FoldCase(a) == FoldCase(b);
  }

  int32_t BodySymbol() const { return 0; }
  int32_t GcMarkSymbol() const { return 1; }
  int32_t GeneratorSymbol() const { return 2; }

 private:
  std::unordered_map<std::string, int32_t> byKey_;
  std::vector<std::string> texts_;
};

}  // namespace kelvo
