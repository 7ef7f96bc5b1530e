#include "vm/RapidStringList.h"

#include "values/CountingAllocator.h"
#include "vm/ScriptError.h"
#include "vm/SymbolTable.h"

namespace kelvo {

TRapidStringList::TRapidStringList(TSymbolTable& symbols, TCountingAllocator* allocator)
    : symbols_(symbols), allocator_(allocator) {}

TRapidStringList::~TRapidStringList() { Clear(); }

int32_t TRapidStringList::Append(std::string_view name) {
  entries_.push_back(Entry{symbols_.SymbolOf(name), 0});
  if (allocator_) allocator_->NoteHeld(1);
  return Count() - 1;
}

int32_t TRapidStringList::SymbolAt(int32_t slot) const {
  if (slot < 0 || slot >= Count()) throw EListIndexError(slot);
  return entries_[slot].symbol;
}

const std::string& TRapidStringList::NameAt(int32_t slot) const {
  static const std::string kNone;
  if (slot < 0 || slot >= Count()) return kNone;
  return symbols_.SymbolText(entries_[slot].symbol);
}

void TRapidStringList::Delete(int32_t slot) {
  if (slot < 0 || slot >= Count()) throw EListIndexError(slot);
  entries_.erase(entries_.begin() + slot);
  if (allocator_) allocator_->NoteHeld(-1);
}

void TRapidStringList::Clear() {
  if (allocator_) allocator_->NoteHeld(-Count());
  entries_.clear();
}

}  // namespace kelvo
