#pragma once
// Handles of value cells that code blocks refer to (the value cells of global variables and
// other resources). The encoded form of a value pointer inside code is such a handle.
#include <cstdint>
#include <unordered_map>

#include "values/HandleTable.h"

namespace kelvo {

struct TScriptValue;

class TCellTable {
 public:
  // The handle of the cell, registering it on first use. 0 when the table is full.
  uint32_t HandleOf(TScriptValue* cell) {
    auto it = byCell_.find(cell);
    if (it != byCell_.end()) return it->second;
    uint32_t handle = table_.Add(cell);
    if (handle) byCell_.emplace(cell, handle);
    return handle;
  }
  // The cell of a live handle, or nullptr.
  TScriptValue* Find(uint32_t handle) const { return table_.Find(handle); }
  // Called by the owner of a cell before the cell goes away.
  void Unregister(TScriptValue* cell) {
    auto it = byCell_.find(cell);
    if (it == byCell_.end()) return;
    table_.Remove(it->second);
    byCell_.erase(it);
  }

 private:
  THandleTable<TScriptValue, 9> table_;
  std::unordered_map<TScriptValue*, uint32_t> byCell_;
};

}  // namespace kelvo
