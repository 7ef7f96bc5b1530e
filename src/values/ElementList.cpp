#include "values/ElementList.h"

#include "vm/ScriptError.h"

namespace kelvo {

TElementList::~TElementList() {
  try {
    Clear();
  } catch (const std::exception&) {
    // A count that fell below zero has been reported where it was raised before; the cells
    // are gone either way.
  }
}

TScriptValue& TElementList::At(int64_t index) {
  if (index < 0 || static_cast<uint64_t>(index) >= cells_.size()) throw EListIndexError(index);
  return *cells_[static_cast<size_t>(index)];
}

void TElementList::Insert(int64_t index, const TScriptValue& v) {
  if (index < 0 || static_cast<uint64_t>(index) > cells_.size()) throw EListIndexError(index);
  auto* cell = new TScriptValue(v);
  AddRef(*cell);
  cells_.insert(cells_.begin() + index, cell);
  ++liveCells_;
}

void TElementList::Delete(int64_t index) {
  TScriptValue* cell = &At(index);
  cells_.erase(cells_.begin() + index);
  --liveCells_;
  TScriptValue old = *cell;
  delete cell;
  Release(old);
}

void TElementList::Clear() {
  std::vector<TScriptValue*> cells;
  cells.swap(cells_);
  std::exception_ptr failure;
  for (TScriptValue* cell : cells) {
    TScriptValue old = *cell;
    delete cell;
    --liveCells_;
    try {
      Release(old);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kelvo
