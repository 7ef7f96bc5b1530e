#include "values/Globals.h"

#include <string>

#include "platform/BRegExp.h"
#include "resources/GlobalValue.h"
#include "resources/ResourceTree.h"

namespace kelvo {

bool IsLegalGlobalName(TBRegExp& regExp, std::string_view name) {
  if (name.empty()) return false;
  // The regex service matches one unit per Shift-JIS character. A double-byte character is
  // one unit above 0xFF; a high byte that is not a lead byte (half-width kana) stays a unit
  // of its own and, as in a byte-wise reading, pairs with the unit after it.
  return regExp.Match("/^\\$([\\_A-Za-z0-9]|[\\x{100}-\\x{ffff}]|[\\x80-\\xff][\\x00-\\xff])*$/",
                      name);
}

TScriptValue* GlobalCell(TResourceTree& tree, std::string_view name) {
  if (name.empty() || name[0] != '$') return nullptr;
  TResource* r = tree.Lookup(name);
  return r ? r->valueCell() : nullptr;
}

void SetGlobal(TResourceTree& tree, std::string_view name, const TScriptValue& value) {
  if (TScriptValue* cell = GlobalCell(tree, name)) CopyVal(*cell, value);
}

void DeclarePageGlobal(TResourceTree& tree, std::string_view name, bool create) {
  TResource* list = tree.Lookup("usr.global");
  if (!list) {
    TResource* usr = tree.Lookup("usr");
    if (!usr) return;
    list = usr->addChild(tree.parseResource("<resourcelist name=\"global\"></resourcelist>"));
    if (!list) return;
  }
  TResource* existing = list->findChild(name);
  if (!create) {
    if (existing) list->removeChild(existing);
    return;
  }
  // Built directly: the name is kept exactly as given (see TResourceTree::globalVariable).
  if (!existing) list->addChild(TResourcePtr(new TGlobalValue(tree, std::string(name))));
}

TScriptValue* ValueOfText(TResourceTree& tree, std::string_view text) {
  tree.Eval("extends Object; $_tmp_valueOf=" + std::string(text) + ";");
  return GlobalCell(tree, globals::kTmpValueOf);
}

}  // namespace kelvo
