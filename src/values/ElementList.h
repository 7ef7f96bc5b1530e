#pragma once
// The element list of an array (classes.lang.Array keeps it in its member "_x"): element
// cells in index order, each separately allocated and holding a counted copy of its value.
// Scripts see the list as a vkHost reference; the number of element cells alive is kept in a
// counter the owner gives (the frame loop shows it as list=).
#include <cstdint>
#include <string>
#include <vector>

#include "values/HostObject.h"
#include "values/ScriptValue.h"

namespace kelvo {

class TElementList : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::ElementList;

  TElementList(THostRegistry& registry, int64_t& liveCells)
      : THostObject(registry, kHostKind), liveCells_(liveCells) {}
  // Releases and frees every element cell in index order.
  ~TElementList() override;
  std::string HostClassName() const override { return "TList"; }

  size_t Count() const { return cells_.size(); }
  // The element cell at the index; the host's list index error outside the list.
  TScriptValue& At(int64_t index);
  // A new element cell holding a counted copy of v, inserted at the index (0 … Count()).
  void Insert(int64_t index, const TScriptValue& v);
  void Add(const TScriptValue& v) { Insert(static_cast<int64_t>(cells_.size()), v); }
  // Takes the element out, releases it and frees its cell.
  void Delete(int64_t index);
  void Clear();

 private:
  std::vector<TScriptValue*> cells_;
  int64_t& liveCells_;
};

}  // namespace kelvo
