#pragma once
// An ordered list of names found without regard to letter case: the argument and local
// variable names of a bytecode function (position = argument or local index).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vm/SymbolTable.h"

namespace kelvo {

class TNameList {
 public:
  int32_t Count() const { return static_cast<int32_t>(names_.size()); }
  int32_t Add(std::string_view name) {
    names_.emplace_back(name);
    keys_.push_back(TSymbolTable::FoldCase(name));
    return Count() - 1;
  }
  // The first position of the name, or -1.
  int32_t IndexOf(std::string_view name) const {
    std::string key = TSymbolTable::FoldCase(name);
    for (int32_t i = 0; i < Count(); ++i)
      if (keys_[i] == key) return i;
    return -1;
  }
  const std::string& operator[](int32_t i) const { return names_.at(i); }
  const std::vector<std::string>& Names() const { return names_; }
  void Clear() {
    names_.clear();
    keys_.clear();
  }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> keys_;
};

}  // namespace kelvo
