#pragma once
// TGramRule: one node of the grammar rule tree.
#include "frontend/ResList.h"
#include "frontend/RuleNode.h"

namespace kelvo {

struct TLexRule;

struct TGramRule : TRuleNode<TGramRule> {
  // The node the line's OnCreateList call answered. A sequence makes a new node of the
  // same class each time it matches.
  std::unique_ptr<TResList> Prototype;
  // For a token reference (kind Literal): the lexical top-level definition whose tokens it
  // accepts, or null when no definition bears its name (then it never matches).
  const TLexRule* TokenLink = nullptr;
};

}  // namespace kelvo
