#include "frontend/Parser.h"

#include <unordered_map>
#include <vector>

#include "frontend/GrammarError.h"
#include "frontend/Lexer.h"
#include "platform/ShiftJis.h"

namespace kelvo {

namespace {

// What one sequence rule did at one token position.
struct MemoEntry {
  bool inProgress = true;
  bool ok = false;
  int32_t end = 0;
  bool acceptedAny = false;           // whether it accepted a token (then Last accepted ...)
  const char* lastAccepted = nullptr;  // ... ends up here)
  const TResList* original = nullptr;  // the node it built; stays alive until the parse ends
  std::unique_ptr<TResList> node;      // that node, when no tree holds it at the moment
};

struct MemoKey {
  const TGramRule* rule;
  int32_t position;
  bool operator==(const MemoKey&) const = default;
};

struct MemoKeyHash {
  size_t operator()(const MemoKey& k) const {
    return std::hash<const void*>()(k.rule) ^ (static_cast<size_t>(k.position) * 0x9E3779B97F4A7C15ull);
  }
};

// The result of matching one child: a token, a node, or failure. A node taken from the
// memo remembers its entry, so that an undone iteration can hand it back.
struct Match {
  bool ok = false;
  TLexElem* token = nullptr;
  std::unique_ptr<TResList> node;
  MemoEntry* origin = nullptr;
};

class TParser {
 public:
  TParser(TLexList& list, TParseMode mode) : list_(list), memoised_(mode == TParseMode::Memoised) {}

  Match MatchRule(const TGramRule& rule, int depth) {
    if (depth > kMaxMatchDepth) throw EGrammarError(SJ("構文の入れ子が深すぎます"));
    const TGramRule& r = rule.Target();
    switch (r.Kind) {
      case TRuleKind::Literal: {
        Match m;
        if (r.TokenLink != nullptr) m.token = list_.Accept(r.TokenLink);
        if (m.token != nullptr) ++accepts_;
        m.ok = m.token != nullptr;
        return m;
      }
      case TRuleKind::Choice: {
        const int32_t start = list_.Position();
        for (const auto& alternative : r.Children) {
          Match m = MatchRule(*alternative, depth + 1);
          if (m.ok) return m;
          list_.SetPosition(start);
        }
        return Match{};
      }
      case TRuleKind::Sequence:
        return memoised_ ? MatchSequenceMemoised(r, depth) : MatchSequence(r, depth);
      default:
        return Match{};  // ranges do not occur in a grammar; references were resolved
    }
  }

 private:
  Match MatchSequenceMemoised(const TGramRule& r, int depth) {
    const MemoKey key{&r, list_.Position()};
    auto found = memo_.find(key);
    if (found != memo_.end()) {
      MemoEntry& e = found->second;
      // Matching the rule again before it has finished would recurse without end.
      if (e.inProgress) throw EGrammarError(SJ("構文の入れ子が深すぎます"));
      if (e.acceptedAny) {
        list_.SetLastAccepted(e.lastAccepted);
        ++accepts_;
      }
      if (!e.ok) return Match{};
      list_.SetPosition(e.end);
      Match m;
      m.ok = true;
      if (e.node) {
        m.node = std::move(e.node);
        m.origin = &e;
      } else {
        m.node = e.original->DeepCopy();
      }
      return m;
    }
    // Elements of an unordered_map keep their address while the map grows.
    MemoEntry& e = memo_[key];
    const uint64_t acceptsBefore = accepts_;
    Match m = MatchSequence(r, depth);
    e.inProgress = false;
    e.ok = m.ok;
    e.end = list_.Position();
    e.acceptedAny = accepts_ != acceptsBefore;
    e.lastAccepted = list_.LastAccepted();
    if (m.ok) {
      e.original = m.node.get();
      m.origin = &e;
    }
    return m;
  }

  Match MatchSequence(const TGramRule& r, int depth) {
    Match result;
    result.node = r.Prototype->NewEmpty();
    TResList& node = *result.node;
    const int32_t start = list_.Position();
    int32_t count = 0;
    std::vector<MemoEntry*> origins;  // where each node child came from, in child order
    while (count < r.Max && !r.Children.empty()) {
      const int32_t iterationStart = list_.Position();
      const int32_t childBase = node.Count();
      bool ok = true;
      for (const auto& child : r.Children) {
        Match m = MatchRule(*child, depth + 1);
        if (!m.ok) {
          ok = false;
          break;
        }
        if (m.node) {
          origins.push_back(m.origin);
          node.Append(std::move(m.node));
        } else {
          node.Append(m.token);
        }
      }
      if (!ok) {
        list_.SetPosition(iterationStart);
        Undo(node, childBase, origins);
        break;
      }
      ++count;
      // An iteration that consumed no token would repeat identically up to Max times.
      if (list_.Position() == iterationStart) break;
    }
    if (count < r.Min) {
      list_.SetPosition(start);
      Undo(node, 0, origins);
      return Match{};
    }
    result.ok = true;
    return result;
  }

  // Removes the children from `childBase` on; nodes that came from the memo go back to their
  // entries, the rest are destroyed.
  static void Undo(TResList& node, int32_t childBase, std::vector<MemoEntry*>& origins) {
    while (node.Count() > childBase) {
      const bool isNode = node.IsNode(node.Count() - 1);
      std::unique_ptr<TResList> removed = node.RemoveLast();
      if (!isNode) continue;
      MemoEntry* origin = origins.back();
      origins.pop_back();
      if (origin != nullptr) origin->node = std::move(removed);
    }
  }

  TLexList& list_;
  const bool memoised_;
  uint64_t accepts_ = 0;
  std::unordered_map<MemoKey, MemoEntry, MemoKeyHash> memo_;
};

}  // namespace

std::unique_ptr<TResList> ParseTokens(const TGramRule& root, TLexList& list, TParseMode mode) {
  list.SetPosition(0);
  if (root.Children.empty()) return nullptr;
  TParser parser(list, mode);
  Match m = parser.MatchRule(*root.Children.front(), 0);
  if (!m.ok || !m.node || list.Position() != list.Count()) return nullptr;
  return std::move(m.node);
}

}  // namespace kelvo
