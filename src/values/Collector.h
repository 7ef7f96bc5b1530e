#pragma once
// The mark-and-sweep collector. It never runs on its own: the debugger's GC button calls
// CheckAndCollect. In checking mode it verifies every reference count against the references
// it finds and lists the mismatches in the debugger's object list; in collecting mode it
// finalizes every instance no root reaches, cycles included.
#include <functional>
#include <string>
#include <vector>

#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;
class TRTTI;
class TCollector;

// What the collector starts from: the resource tree and the root process. The resource tree
// and the frame loop provide it; until they exist the collector visits the classes of the
// virtual machine in creation order and has no root process.
class TGcRoots {
 public:
  virtual ~TGcRoots() = default;
  virtual bool HasRootProcess() const = 0;
  // The mark phase: the resource tree's mark() in child order (each class through
  // TCollector::MarkClass, other resources through MarkValue of their cells), then
  // MarkProcess of the root process.
  virtual void MarkRoots(TCollector& collector) = 0;
  // The sweep phase: the resource tree's sweep(), each class through TCollector::SweepClass.
  virtual void SweepRoots(TCollector& collector) = 0;
};

class TCollector {
 public:
  explicit TCollector(TVirtualMachine& vm) : vm_(vm) {}

  void SetRoots(TGcRoots* roots) { roots_ = roots; }
  TGcRoots* Roots() const { return roots_; }

  void MarkValue(const TScriptValue& cell) {
    if (cell.Tag == vkObject && cell.Object) MarkInstance(*cell.Object);
  }
  // Marks an instance and, on its first visit, runs its class's "gc_mark" hook and marks its
  // members in slot order. Uses a work list, so long chains do not deepen the host stack.
  void MarkInstance(TInstance& inst);
  // Checks or collects one instance, then clears its mark.
  void SweepInstance(TInstance& inst);
  // The class steps of the tree walk: mark() and sweep() of a class.
  void MarkClass(TRTTI& cls);
  void SweepClass(TRTTI& cls);

  // Mark phase over the roots, then sweep phase, in the current mode.
  void CollectGarbage();
  // Without a root process nothing happens. Otherwise clears the object list and collects in
  // checking mode, then in collecting mode.
  void CheckAndCollect();

  bool GcCheckMode = false;
  // The debugger window's object list (ListObj) and the hook that shows that window.
  std::vector<std::string> ListObj;
  std::function<void()> ShowDebugger;

 private:
  TVirtualMachine& vm_;
  TGcRoots* roots_ = nullptr;
};

}  // namespace kelvo
