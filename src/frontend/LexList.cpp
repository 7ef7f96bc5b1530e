#include "frontend/LexList.h"

#include <algorithm>

namespace kelvo {

TLexElem* TLexList::Add(std::unique_ptr<TLexElem> elem) {
  items_.push_back(std::move(elem));
  return items_.back().get();
}

void TLexList::RemoveIf(const std::function<bool(const TLexElem&)>& drop) {
  std::erase_if(items_, [&](const std::unique_ptr<TLexElem>& e) { return drop(*e); });
}

TLexElem* TLexList::Accept(const TLexRule* definition) {
  if (position_ < 0 || position_ >= Count()) return nullptr;
  TLexElem* elem = items_[static_cast<size_t>(position_)].get();
  if (elem->Rule != definition) return nullptr;
  lastAccepted_ = elem->Start;
  ++position_;
  return elem;
}

}  // namespace kelvo
