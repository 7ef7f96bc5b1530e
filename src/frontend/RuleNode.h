#pragma once
// What the lexical and the grammar rule trees have in common. Each line of a definition text
// becomes one node; its kind says how it matches.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvo {

enum class TRuleKind : uint8_t {
  Sequence,   // its children one after another, repeated Min..Max times
  Choice,     // the first child that matches
  Literal,    // lexical: exact bytes; grammar: one token of a lexical definition
  Range,      // lexical only: one byte from Low to High
  Reference,  // while reading: a name; after linking: a reference resolved to a definition
};

// The repetition bound that stands for "unbounded".
inline constexpr int32_t kUnboundedRepeat = 123456;

template <class Node>
struct TRuleNode {
  TRuleNode() = default;
  TRuleNode(const TRuleNode&) = delete;
  TRuleNode& operator=(const TRuleNode&) = delete;

  std::vector<std::unique_ptr<Node>> Children;
  std::string Name;
  // The node matched where this one stands: the node itself, or for a resolved reference
  // the top-level definition it names.
  Node* Link = nullptr;
  TRuleKind Kind = TRuleKind::Reference;
  int32_t Min = 1;
  int32_t Max = 1;

  int32_t ChildCount() const { return static_cast<int32_t>(Children.size()); }
  bool IsResolvedReference() const {
    return Kind == TRuleKind::Reference && Link != nullptr && Link != this;
  }
  // The node whose kind decides how this one matches.
  const Node& Target() const {
    const Node* n = static_cast<const Node*>(this);
    // A link always names the first definition of its name, which is never a reference
    // itself; the bound only protects against trees assembled by hand.
    for (int hops = 0; n->IsResolvedReference() && hops < 8; ++hops) n = n->Link;
    return *n;
  }
};

}  // namespace kelvo
