#pragma once
// TRapidStringList: the member names of a class in slot order, as symbol numbers, with a
// lookup that takes a slot hint so that a repeated lookup costs one comparison.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class TSymbolTable;
class TCountingAllocator;

class TRapidStringList {
 public:
  // Entries are accounted as blocks of the counting allocator when one is given.
  TRapidStringList(TSymbolTable& symbols, TCountingAllocator* allocator);
  ~TRapidStringList();
  TRapidStringList(const TRapidStringList&) = delete;
  TRapidStringList& operator=(const TRapidStringList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // Interns the name and appends an entry; returns its slot.
  int32_t Append(std::string_view name);
  // The hint's slot when it holds the symbol; otherwise the last slot holding it, searching
  // down from the end, or -1. The result is written back into the hint.
  int32_t Find(int32_t symbol, int32_t& hint) const {
    if (hint >= 0 && hint < Count() && entries_[hint].symbol == symbol) return hint;
    int32_t slot = Count() - 1;
    while (slot >= 0 && entries_[slot].symbol != symbol) --slot;
    hint = slot;
    return slot;
  }
  int32_t Find(int32_t symbol) const {
    int32_t hint = -1;
    return Find(symbol, hint);
  }
  int32_t SymbolAt(int32_t slot) const;
  // The text of the entry's symbol; empty for a slot outside the list.
  const std::string& NameAt(int32_t slot) const;
  void Delete(int32_t slot);
  void Clear();

 private:
  struct Entry {
    int32_t symbol;
    int32_t reserved;  // always 0
  };
  TSymbolTable& symbols_;
  TCountingAllocator* allocator_;
  std::vector<Entry> entries_;
};

}  // namespace kelvo
