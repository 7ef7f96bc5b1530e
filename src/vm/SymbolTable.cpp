#include "vm/SymbolTable.h"

#include "platform/ShiftJis.h"

namespace kelvo {

TSymbolTable::TSymbolTable() {
  SymbolOf("_body");
  SymbolOf("gc_mark");
  SymbolOf("_generator");
}

int32_t TSymbolTable::SymbolOf(std::string_view text) {
  std::string key = FoldCase(text);
  auto it = byKey_.find(key);
  if (it != byKey_.end()) return it->second;
  int32_t symbol = Count();
  byKey_.emplace(std::move(key), symbol);
  texts_.emplace_back(text);
  return symbol;
}

int32_t TSymbolTable::Lookup(std::string_view text) const {
  auto it = byKey_.find(FoldCase(text));
  return it == byKey_.end() ? -1 : it->second;
}

const std::string& TSymbolTable::SymbolText(int32_t symbol) const {
  static const std::string kNone;
  if (symbol < 0 || symbol >= Count()) return kNone;
  return texts_[symbol];
}

namespace {

// Lower-case double-byte letter (lead, trail) to its upper-case trail byte, or 0.
unsigned FoldDoubleByte(unsigned lead, unsigned trail) {
  if (lead == 0x82 && trail >= 0x81 && trail <= 0x9A) return trail - 0x21;  // ａ-ｚ to Ａ-Ｚ
  if (lead == 0x83 && trail >= 0xBF && trail <= 0xD6) return trail - 0x20;  // Greek
  if (lead == 0x84 && trail >= 0x70 && trail <= 0x7E) return trail - 0x30;  // Cyrillic а-м
  if (lead == 0x84 && trail >= 0x80 && trail <= 0x91) return trail - 0x31;  // Cyrillic н-я
  return 0;
}

}  // namespace

std::string TSymbolTable::FoldCase(std::string_view text) {
  std::string key(text);
  for (size_t i = 0; i < key.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(key[i]);
    if (IsLeadByte(c) && i + 1 < key.size()) {
      unsigned folded = FoldDoubleByte(c, static_cast<unsigned char>(key[i + 1]));
      if (folded) key[i + 1] = static_cast<char>(folded);
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      key[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return key;
}

}  // namespace kelvo
