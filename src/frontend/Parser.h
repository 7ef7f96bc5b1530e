#pragma once
// The parser: a deterministic top-down match of the grammar rule tree over a token list,
// with ordered choice and greedy repetition that never backtracks into a finished decision.
// It succeeds only when the start rule (the first top-level rule) consumes every token.
//
// Memoised parsing remembers, per sequence rule and token position, what the match gave and
// what it did to the list's Last accepted, and replays that instead of matching again. It
// builds exactly the tree, and leaves exactly the Last accepted, of plain parsing, which
// matches again after every failed alternative and may take time exponential in the nesting
// of calls inside an assignment target.
#include <memory>

#include "frontend/GramRule.h"
#include "frontend/LexList.h"
#include "frontend/ResList.h"

namespace kelvo {

enum class TParseMode { Memoised, Plain };

// Parses `list` from Position 0 with the grammar tree `root`. Answers the root node, or null
// when the tokens do not parse. Raises EGrammarError when matching nests deeper than
// kMaxMatchDepth (deeply nested source, or a rule that refers to itself at its start).
std::unique_ptr<TResList> ParseTokens(const TGramRule& root, TLexList& list, TParseMode mode);

}  // namespace kelvo
