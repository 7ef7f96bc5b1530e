// The shipped parser on arbitrary input. The first byte chooses how the rest is read: as a
// source text that is lexed (odd), or as a token list in which each byte picks a top-level
// lexical definition (even), which reaches the parser with any token list at all. Memoised
// and plain parsing must agree on the tree, on Last accepted and on raising an error.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "frontend/GrammarError.h"
#include "frontend/LexRule.h"
#include "frontend/TreeText.h"
#include "frontend/Yup.h"
#include "platform/Reporter.h"

namespace {

kelvo::TYup& Shipped() {
  static const kelvo::Reporter reporter;
  static const std::unique_ptr<kelvo::TYup> yup = kelvo::TYup::CreateShipped(reporter);
  return *yup;
}

std::unique_ptr<kelvo::TLexList> Tokens(kelvo::TYup& yup, bool lexText, const std::string& text) {
  if (lexText) {
    auto list = yup.Lex(text.c_str());
    list->RemoveIf([](const kelvo::TLexElem& e) { return e.Rule->Name == "COMM"; });
    return list;
  }
  yup.BuildTrees();
  const auto& defs = yup.LexTree()->Children;
  auto list = std::make_unique<kelvo::TLexList>();
  for (size_t i = 0; i < text.size(); ++i) {
    const kelvo::TLexRule* rule = defs[static_cast<uint8_t>(text[i]) % defs.size()].get();
    list->Add(std::make_unique<kelvo::TLexElem>(rule, text.data() + i, text.data() + i + 1));
  }
  return list;
}

struct Outcome {
  bool error = false;
  std::string tree;
  const char* lastAccepted = nullptr;
  bool operator==(const Outcome&) const = default;
};

Outcome ParseWith(kelvo::TYup& yup, kelvo::TParseMode mode, kelvo::TLexList& list) {
  Outcome o;
  yup.SetParseMode(mode);
  list.SetLastAccepted(nullptr);
  try {
    auto tree = yup.Parse(list);
    o.tree = tree ? kelvo::TreeText(*tree) : "-";
  } catch (const kelvo::EGrammarError&) {
    o.error = true;
  }
  o.lastAccepted = list.LastAccepted();
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool lexText = (data[0] & 1) != 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  kelvo::TYup& yup = Shipped();
  auto list = Tokens(yup, lexText, text);
  Outcome memoised = ParseWith(yup, kelvo::TParseMode::Memoised, *list);
  // Plain parsing may take time exponential in the nesting; keep it to short lists.
  if (list->Count() <= 40) {
    Outcome plain = ParseWith(yup, kelvo::TParseMode::Plain, *list);
    if (!(plain == memoised)) __builtin_trap();
  }
  return 0;
}
