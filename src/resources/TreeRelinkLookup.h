#pragma once
// The relink lookup of class files over the resource tree: names resolve through the root's
// dotted-name lookup (short class names and "$" globals included).
#include "frontend/RelinkLookup.h"

namespace kelvo {

class TResourceTree;

class TTreeRelinkLookup : public TRelinkLookup {
 public:
  explicit TTreeRelinkLookup(TResourceTree& tree) : tree_(tree) {}
  TScriptValue* ValueCellOf(std::string_view dottedName) override;
  TRTTI* ClassOf(std::string_view dottedName) override;

 private:
  TResourceTree& tree_;
};

}  // namespace kelvo
