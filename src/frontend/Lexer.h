#pragma once
// The table-driven lexer: at each position every top-level lexical definition up to the one
// named "*Stop" whose first set holds the byte there is matched; the longest match becomes
// a token, the first listed winning among equals. A byte that starts no token is dropped.
#include <memory>

#include "frontend/LexList.h"
#include "frontend/LexRule.h"

namespace kelvo {

// Deepest nesting of rule matches (lexical or grammar) before matching gives up with
// EGrammarError. Only a definition that refers to itself gets anywhere near it in the lexer.
inline constexpr int kMaxMatchDepth = 4000;

// Lexes the zero-terminated `text` (null counts as empty) with the lexical tree `root`.
// Nothing at or past the terminating zero is read.
std::unique_ptr<TLexList> LexText(const TLexRule& root, const char* text);

}  // namespace kelvo
