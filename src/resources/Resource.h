#pragma once
// TResource: everything the running system knows by name is a resource in one tree (classes,
// global variables, parameters, placed objects, patterns, modules, custom resources). A
// resource is found by its dotted path from the root ("classes.lang.Object", "usr.classes").
//
// Resources are owned by the list that holds them (TResourcePtr); the tree owns the root.
// Destroying a resource always goes through Dispose() first (the deleter of TResourcePtr
// calls it), so that its script object hears onDestroy() while the resource is still whole.
//
// Every resource is a host object, so that scripts can hold a host pointer to it (the
// BuiltInResource wrapper, generators, custom resources); see ResourceFromValue.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "values/HostObject.h"
#include "values/ScriptValue.h"

namespace kelvo {

class TCollector;
class TResource;
class TResourceList;
class TResourceTree;
class TVirtualMachine;

// Initialisation failures ("初期化に失敗しました", "循環参照があります") and other errors of
// the resource tree that are not script errors.
class EResourceError : public std::runtime_error {
 public:
  explicit EResourceError(const std::string& sjisMessage) : std::runtime_error(sjisMessage) {}
};

struct TResourceDeleter {
  void operator()(TResource* r) const;
};
using TResourcePtr = std::unique_ptr<TResource, TResourceDeleter>;

// Counters of one initialisation pass. Each initStep adds one to at most one of them.
struct TInitContext {
  int32_t pending = 0;  // not ready yet
  int32_t done = 0;     // ready
  int32_t failed = 0;   // cannot be initialised
};

// An iterator over the children of a list.
class TIterator {
 public:
  virtual ~TIterator() = default;
  virtual bool hasNext() = 0;
  virtual TResource* next() = 0;
  // Takes the child last returned by next() out of the list and destroys it.
  virtual void remove() = 0;
};

// A visitor of the tree (accept walks it in pre-order).
class TResourceIterator {
 public:
  virtual ~TResourceIterator() = default;
  virtual void visit(TResource& r) = 0;
};

class TResource : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::Resource;

  TResource(TResourceTree& tree, std::string name, std::string src = {});
  ~TResource() override;
  std::string HostClassName() const override { return "TResource"; }

  TResourceTree& Tree() const { return tree_; }
  const std::string& name() const { return name_; }
  // The name lower-cased as child lookup compares it (ASCII letters only).
  const std::string& lowerName() const { return lowerName_; }
  virtual void setName(std::string name);
  // Absolute path of the source file; empty when there is none.
  const std::string& src() const { return src_; }
  virtual void setSrc(std::string src) { src_ = std::move(src); }
  TResourceList* parent() const { return parent_; }
  // The resource's object as scripts see it; null until getObject() makes it.
  TScriptValue objectCell;

  // ---- The operations, in slot order ----
  // None for a leaf.
  virtual std::unique_ptr<TIterator> iterator() { return nullptr; }
  // Lists append the child (taking it) and answer it; other kinds take nothing and answer
  // nullptr, so the resource passed in is destroyed.
  virtual TResource* addChild(TResourcePtr r) { return nullptr; }
  virtual TResource* findChild(std::string_view name) const { return nullptr; }
  // The value cell of a global value or a class; none for other kinds.
  virtual TScriptValue* valueCell() { return nullptr; }
  // The resource's object cell, filled on first use with a new BuiltInResource wrapper.
  TScriptValue* getObject();
  // Dotted-path lookup: the empty path is the resource itself; names compare ignoring ASCII
  // case; from the root a single name may also be a short class name or a global variable
  // (created in userGlobals on first use).
  TResource* lookup(std::string_view path);
  // Takes r out of the list and destroys it; nothing when r is not a child. Raises, leaving
  // everything in place, when r or its subtree holds a class that still has objects.
  virtual void removeChild(TResource* r) {}
  // Initialisation passes until nothing is pending: "初期化に失敗しました" (logged and raised)
  // when anything failed, "循環参照があります" when a pass made no progress.
  bool init();
  virtual void initStep(TInitContext& context) {}
  // Appends the markup lines of the resource; kinds without a written form write nothing.
  virtual void save(std::vector<std::string>& writer, const std::string& indent, int flag) {}
  // Drops script references without releasing them (before the whole tree is reset).
  virtual void forgetValues();
  // The collector's walk over the tree.
  virtual void mark(TCollector& collector);
  virtual void sweep(TCollector& collector) {}
  virtual void listNames(std::vector<std::string>& names, const std::string& path) {
    names.push_back(path);
  }
  virtual void accept(TResourceIterator& visitor) { visitor.visit(*this); }
  // A copy built from the resource's own markup with the current base directory; detached.
  TResourcePtr clone();

  // ---- Life cycle ----
  // Raises the error that destroying this resource would raise (a class with objects left).
  virtual void checkDestroyable() const {}
  // Runs before the resource is deleted: tells its script object onDestroy() ($_1 holds the
  // object meanwhile) and releases it. Kinds extend it; a list disposes its children first.
  virtual void Dispose();
  // Dispose() unless it ran already; the owner calls it before deleting the resource.
  void DisposeOnce() {
    if (disposed_) return;
    disposed_ = true;
    Dispose();
  }
  // Called when the resource's place in the tree changed (added to a list, renamed).
  virtual void placeChanged() {}

 private:
  friend class TResourceList;
  TResourceTree& tree_;
  std::string name_;
  std::string lowerName_;
  std::string src_;
  TResourceList* parent_ = nullptr;
  bool disposed_ = false;
};

class TResourceList : public TResource {
 public:
  using TResource::TResource;
  std::string HostClassName() const override { return "TResourceList"; }

  const std::vector<TResourcePtr>& children() const { return children_; }
  size_t childCount() const { return children_.size(); }
  TResource* childAt(size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
  }
  // Takes the child out of the list without destroying it; nullptr when it is not a child.
  TResourcePtr detachChild(TResource* r);

  std::unique_ptr<TIterator> iterator() override;
  TResource* addChild(TResourcePtr r) override;
  TResource* findChild(std::string_view name) const override;
  void removeChild(TResource* r) override;
  void initStep(TInitContext& context) override;
  void save(std::vector<std::string>& writer, const std::string& indent, int flag) override;
  void forgetValues() override;
  void mark(TCollector& collector) override;
  void sweep(TCollector& collector) override;
  void listNames(std::vector<std::string>& names, const std::string& path) override;
  void accept(TResourceIterator& visitor) override;
  void checkDestroyable() const override;
  void Dispose() override;
  void placeChanged() override;

 private:
  std::vector<TResourcePtr> children_;
};

// Walks a list's children by index; remove() steps back and destroys the child last returned.
class TResListIterator : public TIterator {
 public:
  explicit TResListIterator(TResourceList& list) : list_(list) {}
  bool hasNext() override { return index_ < list_.childCount(); }
  TResource* next() override { return list_.childAt(index_++); }
  void remove() override;

 private:
  TResourceList& list_;
  size_t index_ = 0;
};

// The resource a host pointer designates: a resource, or a class (through its resource);
// nullptr for anything else.
TResource* ResourceFromValue(const THostRegistry& hosts, const TScriptValue& v);

}  // namespace kelvo
