#pragma once
// Reads definition texts into rule trees: the lexical tree (read, linked, first sets
// computed) and the grammar tree (token references linked against the lexical tree while it
// is read, prototypes asked from OnCreateList, then linked).
//
// Line format: the depth is the number of leading spaces (0x20 only), the rest is the text.
// The first line is the root; its children are the top-level definitions and end at the
// next line of depth 0 (the shipped texts put "@" there).
#include <memory>

#include "frontend/DefinitionText.h"
#include "frontend/GramRule.h"
#include "frontend/LexRule.h"
#include "frontend/ResListGetter.h"
#include "platform/Reporter.h"

namespace kelvo {

// Deepest nesting of lines a definition text may have.
inline constexpr int kMaxDefinitionNesting = 256;

// Both raise EGrammarError for a text that cannot be read: no lines, no line of depth 0
// after the definitions, nesting deeper than kMaxDefinitionNesting; the grammar also when
// no OnCreateList handler is given or the handler answers no node. Warnings about the text
// go to reporter's message box, and reading continues after each.
std::unique_ptr<TLexRule> ReadLexTree(const TDefinitionLines& lines, const Reporter& reporter);
std::unique_ptr<TGramRule> ReadGramTree(const TDefinitionLines& lines, const TLexRule& lexRoot,
                                        const TCrLst& onCreateList, const Reporter& reporter);

}  // namespace kelvo
