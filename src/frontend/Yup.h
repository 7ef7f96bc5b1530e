#pragma once
// TYup: the grammar component. It holds the two definition texts (LexNode, GramNode), reads
// them into rule trees on the first lexing request, and lexes and parses with those trees.
// Once the trees are built, later changes to the texts have no effect.
#include <memory>
#include <string_view>

#include "frontend/DefinitionText.h"
#include "frontend/GramRule.h"
#include "frontend/LexList.h"
#include "frontend/LexRule.h"
#include "frontend/Parser.h"
#include "frontend/ResListGetter.h"
#include "platform/Reporter.h"

namespace kelvo {

class TYup {
 public:
  // Messages about the definition texts are shown through `reporter`, which must outlive
  // the component. The texts start empty and no OnCreateList handler is set.
  explicit TYup(const Reporter& reporter);
  ~TYup();
  TYup(const TYup&) = delete;
  TYup& operator=(const TYup&) = delete;

  // The main window's component: the shipped texts and Yup1CreateList as OnCreateList.
  static std::unique_ptr<TYup> CreateShipped(const Reporter& reporter);

  TDefinitionLines& LexNode() { return lexNode_; }
  void SetLexNode(const TDefinitionLines& lines) { lexNode_ = lines; }
  void SetLexNodeText(std::string_view text) { lexNode_ = SplitDefinitionLines(text); }
  TDefinitionLines& GramNode() { return gramNode_; }
  void SetGramNode(const TDefinitionLines& lines) { gramNode_ = lines; }
  void SetGramNodeText(std::string_view text) { gramNode_ = SplitDefinitionLines(text); }

  const TCrLst& OnCreateList() const { return onCreateList_; }
  void SetOnCreateList(TCrLst handler) { onCreateList_ = std::move(handler); }

  // Lexes the zero-terminated `text`; the first call builds the trees, the lexical one
  // first. Raises EGrammarError when a definition text cannot be read (the trees are then
  // not kept, and the next call reads the texts again).
  std::unique_ptr<TLexList> Lex(const char* text);
  // Parses `list` (built by Lex of this component) into the root node, or null when it does
  // not parse. The caller owns the tree; the list must outlive it.
  std::unique_ptr<TResList> Parse(TLexList& list);

  TParseMode ParseMode() const { return parseMode_; }
  void SetParseMode(TParseMode mode) { parseMode_ = mode; }

  // Builds the trees now if they are not built yet (Lex does this on its first call).
  void BuildTrees();
  bool TreesBuilt() const { return lexTree_ != nullptr; }
  // The trees, once built; null before.
  const TLexRule* LexTree() const { return lexTree_.get(); }
  const TGramRule* GramTree() const { return gramTree_.get(); }

 private:
  const Reporter& reporter_;
  TDefinitionLines lexNode_;
  TDefinitionLines gramNode_;
  TCrLst onCreateList_;
  TParseMode parseMode_ = TParseMode::Memoised;
  std::unique_ptr<TLexRule> lexTree_;
  std::unique_ptr<TGramRule> gramTree_;
};

}  // namespace kelvo
