#include "frontend/GrammarNodes.h"

#include <string_view>

namespace kelvo {

namespace {

struct NodeClassEntry {
  std::string_view name;
  std::unique_ptr<TResList> (*make)();
};

#define KELVO_NODE_CLASS_ENTRY(name) \
  {#name, []() -> std::unique_ptr<TResList> { return std::make_unique<G_##name>(); }},
constexpr NodeClassEntry kNodeClasses[] = {KELVO_GRAMMAR_RULE_NODES(KELVO_NODE_CLASS_ENTRY)};
#undef KELVO_NODE_CLASS_ENTRY

}  // namespace

void Yup1CreateList(PResListGetter p) {
  if (p->Name == "Comment") {
    p->Node = std::make_unique<TResList>();
    return;
  }
  for (const NodeClassEntry& entry : kNodeClasses) {
    if (entry.name == p->Name) {
      p->Node = entry.make();
      return;
    }
  }
  p->Node = std::make_unique<G_Err>();
}

}  // namespace kelvo
