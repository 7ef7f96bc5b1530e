#include "frontend/Lexer.h"

#include "frontend/GrammarError.h"
#include "platform/ShiftJis.h"

namespace kelvo {

namespace {

// Matches `rule` at `p`; answers the end of the match or null. Matching is greedy: once a
// repetition or a choice has decided, nothing reopens the decision. No match consumes a
// zero byte, so the cursor never passes the end of the text.
const char* Match(const TLexRule& rule, const char* p, int depth) {
  if (depth > kMaxMatchDepth) throw EGrammarError(SJ("字句定義の入れ子が深すぎます"));
  const TLexRule& r = rule.Target();
  switch (r.Kind) {
    case TRuleKind::Literal: {
      for (char c : r.Name) {
        if (*p == '\0' || *p != c) return nullptr;
        ++p;
      }
      return p;
    }
    case TRuleKind::Range: {
      auto b = static_cast<unsigned char>(*p);
      return b != 0 && b >= r.Low && b <= r.High ? p + 1 : nullptr;
    }
    case TRuleKind::Choice:
      for (const auto& child : r.Children)
        if (const char* end = Match(*child, p, depth + 1)) return end;
      return nullptr;
    case TRuleKind::Sequence: {
      if (r.Children.empty()) return nullptr;  // an empty group never matches
      const char* cursor = p;
      int32_t count = 0;
      while (count < r.Max) {
        const char* q = cursor;
        for (const auto& child : r.Children) {
          q = Match(*child, q, depth + 1);
          if (q == nullptr) break;
        }
        if (q == nullptr) break;
        ++count;
        // An iteration that consumed nothing would repeat identically up to Max times.
        if (q == cursor) break;
        cursor = q;
      }
      return count >= r.Min ? cursor : nullptr;
    }
    case TRuleKind::Reference:
      break;  // unresolved names were turned into sequences when linking
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<TLexList> LexText(const TLexRule& root, const char* text) {
  auto list = std::make_unique<TLexList>();
  if (text == nullptr) return list;
  size_t stop = 0;  // definitions from the one named "*Stop" on are never tried
  while (stop < root.Children.size() && root.Children[stop]->Name != "*Stop") ++stop;
  const char* cursor = text;
  while (*cursor != '\0') {
    const TLexRule* best = nullptr;
    const char* bestEnd = cursor;
    const auto first = static_cast<uint8_t>(*cursor);
    for (size_t i = 0; i < stop; ++i) {
      const TLexRule* def = root.Children[i].get();
      if (!def->First.Has(first)) continue;
      const char* end = Match(*def, cursor, 0);
      if (end != nullptr && end > bestEnd) {
        best = def;
        bestEnd = end;
      }
    }
    if (best != nullptr) {
      list->Add(std::make_unique<TLexElem>(best, cursor, bestEnd));
      cursor = bestEnd;
    } else {
      ++cursor;
    }
  }
  return list;
}

}  // namespace kelvo
