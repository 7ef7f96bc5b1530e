#include "frontend/Yup.h"

#include "frontend/DefinitionReader.h"
#include "frontend/GrammarNodes.h"
#include "frontend/Lexer.h"

namespace kelvo {

TYup::TYup(const Reporter& reporter) : reporter_(reporter) {}
TYup::~TYup() = default;

std::unique_ptr<TYup> TYup::CreateShipped(const Reporter& reporter) {
  auto yup = std::make_unique<TYup>(reporter);
  yup->SetLexNode(ShippedLexNode());
  yup->SetGramNode(ShippedGramNode());
  yup->SetOnCreateList(Yup1CreateList);
  return yup;
}

void TYup::BuildTrees() {
  if (TreesBuilt()) return;
  std::unique_ptr<TLexRule> lexTree = ReadLexTree(lexNode_, reporter_);
  std::unique_ptr<TGramRule> gramTree = ReadGramTree(gramNode_, *lexTree, onCreateList_, reporter_);
  lexTree_ = std::move(lexTree);
  gramTree_ = std::move(gramTree);
}

std::unique_ptr<TLexList> TYup::Lex(const char* text) {
  BuildTrees();
  return LexText(*lexTree_, text);
}

std::unique_ptr<TResList> TYup::Parse(TLexList& list) {
  BuildTrees();
  return ParseTokens(*gramTree_, list, parseMode_);
}

}  // namespace kelvo
