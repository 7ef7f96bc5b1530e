#pragma once
// A relink lookup over two maps, for tests that relink code without a resource tree.
#include <map>
#include <string>
#include <string_view>

#include "frontend/RelinkLookup.h"

namespace kelvo::testing {

class MapLookup : public TRelinkLookup {
 public:
  TScriptValue* ValueCellOf(std::string_view name) override {
    auto it = cells.find(std::string(name));
    return it == cells.end() ? nullptr : it->second;
  }
  TRTTI* ClassOf(std::string_view name) override {
    auto it = classes.find(std::string(name));
    return it == classes.end() ? nullptr : it->second;
  }
  std::map<std::string, TScriptValue*> cells;
  std::map<std::string, TRTTI*> classes;
};

}  // namespace kelvo::testing
