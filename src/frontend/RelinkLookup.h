#pragma once
// What relinking a loaded code block needs from the resource tree: the root's dotted-name
// lookup, seen from the two sides the code refers to (a resource's value cell, a class).
#include <string_view>

namespace kelvo {

class TRTTI;
struct TScriptValue;

class TRelinkLookup {
 public:
  virtual ~TRelinkLookup() = default;
  // The value cell of the resource the dotted name designates, or nullptr.
  virtual TScriptValue* ValueCellOf(std::string_view dottedName) = 0;
  // The class the dotted name designates, or nullptr (also when it names no class).
  virtual TRTTI* ClassOf(std::string_view dottedName) = 0;
};

}  // namespace kelvo
