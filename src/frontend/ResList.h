#pragma once
// Syntax-tree nodes. A node is a list of children in match order; a child is either a token
// (owned by the token list) or a node (owned by this node).
#include <cstdint>
#include <memory>
#include <vector>

namespace kelvo {

class TContext;  // the compile context of the code writer
class TResList;
struct TLexElem;

class TResultList {
 public:
  TResultList();
  TResultList(const TResultList&) = delete;
  TResultList& operator=(const TResultList&) = delete;
  virtual ~TResultList();

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool IsToken(int32_t i) const;
  bool IsNode(int32_t i) const;

  void Append(TLexElem* token);
  void Append(std::unique_ptr<TResList> node);
  // Removes the last child; answers it when it is a node, null when it is a token.
  std::unique_ptr<TResList> RemoveLast();

 protected:
  struct Item {
    TLexElem* token = nullptr;
    std::unique_ptr<TResList> node;
  };
  std::vector<Item> items_;
};

// The base of every node class. Compile generates the node's code; the base does nothing.
class TResList : public TResultList {
 public:
  virtual int32_t Compile(TContext& ctx);

  // Child i as a node, or as a token. Asking for a child that is not there, or not of that
  // kind, raises EGrammarError.
  TResList* Child(int32_t i) const;
  TLexElem* Token(int32_t i) const;

  virtual const char* ClassName() const { return "TResList"; }
  // A new empty node of this node's class.
  virtual std::unique_ptr<TResList> NewEmpty() const { return std::make_unique<TResList>(); }
  // A copy of the whole subtree; tokens are shared, nodes are copied.
  std::unique_ptr<TResList> DeepCopy() const;
};

}  // namespace kelvo
