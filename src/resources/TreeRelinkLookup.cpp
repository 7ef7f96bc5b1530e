#include "resources/TreeRelinkLookup.h"

#include "resources/ClassResource.h"
#include "resources/ResourceTree.h"

namespace kelvo {

TScriptValue* TTreeRelinkLookup::ValueCellOf(std::string_view dottedName) {
  TResource* r = tree_.Lookup(dottedName);
  return r ? r->valueCell() : nullptr;
}

TRTTI* TTreeRelinkLookup::ClassOf(std::string_view dottedName) {
  return kelvo::ClassOf(tree_.Lookup(dottedName));
}

}  // namespace kelvo
