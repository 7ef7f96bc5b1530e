#pragma once
// TAlias: the short names of classes ("Object" for classes.lang.Object). Names compare
// ignoring ASCII letter case; the first entry of a name wins.
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class TClassResource;

class TAlias {
 public:
  // Replaces the class of an existing name, or appends a new entry.
  void Add(std::string_view name, TClassResource* cls);
  // The class of the name, or nullptr.
  TClassResource* Get(std::string_view name) const;
  // Removes the entry carrying the class's name, if any.
  void Delete(const TClassResource* cls);
  // Removes every entry that carries the class, whatever its name (a class going away must
  // not leave an entry behind).
  void Forget(const TClassResource* cls);
  size_t Count() const { return entries_.size(); }

 private:
  struct Entry {
    std::string name;
    std::string key;  // lower-cased name
    TClassResource* cls;
  };
  std::vector<Entry> entries_;
};

}  // namespace kelvo
