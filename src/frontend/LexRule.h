#pragma once
// TLexRule: one node of the lexical rule tree.
#include "frontend/First.h"
#include "frontend/RuleNode.h"

namespace kelvo {

struct TLexRule : TRuleNode<TLexRule> {
  TFirst First;      // bytes a match of this node may begin with
  uint8_t Low = 0;   // bounds of a range
  uint8_t High = 0;
};

}  // namespace kelvo
