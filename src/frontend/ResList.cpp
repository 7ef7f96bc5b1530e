#include "frontend/ResList.h"

#include <string>

#include "frontend/GrammarError.h"
#include "frontend/LexList.h"

namespace kelvo {

TResultList::TResultList() = default;
TResultList::~TResultList() = default;

bool TResultList::IsToken(int32_t i) const {
  return i >= 0 && i < Count() && items_[static_cast<size_t>(i)].token != nullptr;
}

bool TResultList::IsNode(int32_t i) const {
  return i >= 0 && i < Count() && items_[static_cast<size_t>(i)].node != nullptr;
}

void TResultList::Append(TLexElem* token) { items_.push_back(Item{token, nullptr}); }

void TResultList::Append(std::unique_ptr<TResList> node) {
  items_.push_back(Item{nullptr, std::move(node)});
}

std::unique_ptr<TResList> TResultList::RemoveLast() {
  std::unique_ptr<TResList> node = std::move(items_.back().node);
  items_.pop_back();
  return node;
}

int32_t TResList::Compile(TContext&) { return 0; }

TResList* TResList::Child(int32_t i) const {
  if (!IsNode(i))
    throw EGrammarError(std::string(ClassName()) + ": child " + std::to_string(i) +
                        " is not a node");
  return items_[static_cast<size_t>(i)].node.get();
}

TLexElem* TResList::Token(int32_t i) const {
  if (!IsToken(i))
    throw EGrammarError(std::string(ClassName()) + ": child " + std::to_string(i) +
                        " is not a token");
  return items_[static_cast<size_t>(i)].token;
}

std::unique_ptr<TResList> TResList::DeepCopy() const {
  std::unique_ptr<TResList> copy = NewEmpty();
  for (const Item& item : items_) {
    if (item.node)
      copy->Append(item.node->DeepCopy());
    else
      copy->Append(item.token);
  }
  return copy;
}

}  // namespace kelvo
