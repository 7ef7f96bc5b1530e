#include "resources/Alias.h"

#include <algorithm>

#include "platform/Paths.h"
#include "resources/ClassResource.h"

namespace kelvo {

void TAlias::Add(std::string_view name, TClassResource* cls) {
  const std::string key = LowerCaseSjis(name);
  for (Entry& e : entries_) {
    if (e.key == key) {
      e.cls = cls;
      return;
    }
  }
  entries_.push_back({std::string(name), key, cls});
}

TClassResource* TAlias::Get(std::string_view name) const {
  const std::string key = LowerCaseSjis(name);
  for (const Entry& e : entries_)
    if (e.key == key) return e.cls;
  return nullptr;
}

void TAlias::Delete(const TClassResource* cls) {
  if (!cls) return;
  const std::string key = cls->lowerName();
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.key == key; });
  if (it != entries_.end()) entries_.erase(it);
}

void TAlias::Forget(const TClassResource* cls) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return e.cls == cls; }),
                 entries_.end());
}

}  // namespace kelvo
