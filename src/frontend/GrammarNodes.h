#pragma once
// The node classes of the syntax tree, one per grammar rule name, and the handler that maps
// a grammar line's name to a new node of its class.
#include "frontend/ResList.h"
#include "frontend/ResListGetter.h"

namespace kelvo {

// The rule names that have a node class of their own, in class order; G_Err follows them.
#define KELVO_GRAMMAR_RULE_NODES(X)                                                        \
  X(Program) X(Extends) X(Sentence) X(ExprS) X(Expr) X(RVal) X(OrEx) X(AndEx) X(CompEx)    \
  X(IsEx) X(ASEx) X(IncEx) X(MDEx) X(Una) X(Par) X(Const) X(This) X(NewObj) X(ResourceVal) \
  X(LVal) X(LValE) X(ArgList) X(Block) X(While) X(For) X(Forin) X(If) X(Break) X(Return)   \
  X(FuncDecl) X(NativeDecl) X(VArgList) X(VarBlock) X(VarDecl)

#define KELVO_DECLARE_NODE_CLASS(cls)                                                    \
  class cls : public TResList {                                                          \
   public:                                                                               \
    const char* ClassName() const override { return #cls; }                              \
    std::unique_ptr<TResList> NewEmpty() const override { return std::make_unique<cls>(); } \
  };

#define KELVO_DECLARE_RULE_NODE(name) KELVO_DECLARE_NODE_CLASS(G_##name)
KELVO_GRAMMAR_RULE_NODES(KELVO_DECLARE_RULE_NODE)
#undef KELVO_DECLARE_RULE_NODE
// Groups ({} and []) and every name without a class of its own.
KELVO_DECLARE_NODE_CLASS(G_Err)

// The main window's OnCreateList handler: a rule name gives a node of class "G_" + name,
// "Comment" a plain TResList, and any other name (the empty name of groups included) a
// G_Err. Names compare exactly.
void Yup1CreateList(PResListGetter p);

}  // namespace kelvo
