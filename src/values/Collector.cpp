#include "values/Collector.h"

#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

void TCollector::MarkInstance(TInstance& first) {
  // Depth first in the order of the recursive definition: an instance's hook runs on its
  // first visit, then its members are visited in slot order, each one's references before
  // the next member. A hook may mark further values; those run on a work list of their own.
  std::vector<TInstance*> work{&first};
  while (!work.empty()) {
    TInstance* inst = work.back();
    work.pop_back();
    if (inst->Mark > 0) {
      ++inst->Mark;
      continue;
    }
    inst->Mark = 1;
    TRTTI* cls = inst->Class;
    if (vm_.Runner() && cls->FindMethod(vm_.Symbols().GcMarkSymbol(), cls->GcMarkHint))
      vm_.Runner()->RunGcMark(*inst);
    const TScriptValue* members = inst->Members();
    for (uint32_t slot = inst->MemberCount; slot-- > 0;)
      if (members[slot].Tag == vkObject && members[slot].Object)
        work.push_back(members[slot].Object);
  }
}

void TCollector::SweepInstance(TInstance& inst) {
  if (GcCheckMode) {
    if (inst.Mark != inst.RefCount + 1) {
      if (ShowDebugger) ShowDebugger();
      ListObj.push_back(inst.Class->Name + "@" + std::to_string(inst.Class->HostHandle()) +
                        ":r=" + std::to_string(inst.Mark - 1) + ",f=" +
                        std::to_string(inst.RefCount) + "," + std::to_string(inst.Handle));
    }
  } else if (inst.Mark == 0) {
    inst.Class->DestroyInstance(inst);
  }
  inst.Mark = 0;
}

void TCollector::MarkClass(TRTTI& cls) {
  MarkValue(cls.SelfCell);
  if (!GcCheckMode) return;
  // Every present instance is visited once, so a correct count ends with Mark = RefCount + 1.
  for (size_t i = 0; i < cls.Instances.size(); ++i)
    if (cls.Instances[i]->RefCount >= 0) MarkInstance(*cls.Instances[i]);
}

void TCollector::SweepClass(TRTTI& cls) {
  vm_.Report().LogLine("sweeping " + cls.Name);
  // Destructors may add records to the pool meanwhile; the index walk sees them too.
  for (size_t i = 0; i < cls.Instances.size(); ++i)
    if (cls.Instances[i]->RefCount >= 0) SweepInstance(*cls.Instances[i]);
}

void TCollector::CollectGarbage() {
  if (roots_) {
    roots_->MarkRoots(*this);
    roots_->SweepRoots(*this);
    return;
  }
  std::vector<TRTTI*> classes = vm_.Classes();
  for (TRTTI* cls : classes) MarkClass(*cls);
  for (TRTTI* cls : classes) SweepClass(*cls);
}

void TCollector::CheckAndCollect() {
  if (!roots_ || !roots_->HasRootProcess()) return;
  ListObj.clear();
  struct ModeReset {
    bool& mode;
    ~ModeReset() { mode = false; }
  } reset{GcCheckMode};
  GcCheckMode = true;
  CollectGarbage();
  GcCheckMode = false;
  CollectGarbage();
}

}  // namespace kelvo
