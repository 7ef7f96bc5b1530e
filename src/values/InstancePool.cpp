// The instance pool of a class: creating instances from reusable records, finalization,
// and the records' return to the counting allocator.
#include "platform/ShiftJis.h"
#include "values/ScriptValue.h"
#include "vm/Rtti.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TInstance* TRTTI::NewInstance() {
  if (!Compiled)
    throw EScriptError(SJ("クラス") + IdentityText() +
                       SJ("はコンパイルが完了していないため、インスタンスを生成できません"));
  if (RecordSize < 0) {
    RecordSize = MemberNames.Count();
    HasPool = true;
  }
  ++InstantiationCount;

  // The first reusable record from the start of the pool. Records before ReuseScanStart are
  // known to be held, so the scan starts there. Records kept over a reset have another
  // layout and are never reused.
  TInstance* inst = nullptr;
  size_t index = ReuseScanStart;
  for (; index < Instances.size(); ++index) {
    TInstance* candidate = Instances[index];
    if (candidate->RefCount <= 0 && candidate->MemberCount == static_cast<uint32_t>(RecordSize)) {
      inst = candidate;
      break;
    }
  }
  ReuseScanStart = static_cast<uint32_t>(index);
  if (!inst) {
    const size_t bytes = sizeof(TInstance) + sizeof(TScriptValue) * static_cast<size_t>(RecordSize);
    inst = static_cast<TInstance*>(vm_.Allocator().Alloc(bytes));
    inst->Handle = vm_.InstanceHandles().Add(inst);
    if (inst->Handle == 0) {
      vm_.Allocator().Free(inst);
      throw EScriptError(SJ("オブジェクトが多すぎます"));
    }
    inst->Class = this;
    inst->MemberCount = static_cast<uint32_t>(RecordSize);
    inst->RefCount = -1;
    inst->PoolIndex = static_cast<uint32_t>(Instances.size());
    Instances.push_back(inst);
  }
  // An unreferenced instance that was never finalized is finalized now, at its reuse.
  if (inst->RefCount == 0) DestroyInstance(*inst);

  inst->RefCount = 0;
  inst->Mark = 0;
  inst->Class = this;
  TScriptValue* members = inst->Members();
  for (uint32_t i = 0; i < inst->MemberCount; ++i) ClearCell(members[i]);
  ++vm_.LiveInstanceCount;
  return inst;
}

void TRTTI::DestroyInstance(TInstance& inst) {
  if (DestructorOf() && vm_.Runner()) vm_.Runner()->RunDestructor(inst);
  TScriptValue* members = inst.Members();
  for (uint32_t slot = 0; slot < inst.MemberCount; ++slot) {
    try {
      Release(members[slot]);
    } catch (const std::exception&) {
      vm_.Report().LogLine("Decref failed at " + Name + "." +
                           MemberNames.NameAt(static_cast<int32_t>(slot)));
      break;
    }
  }
  inst.RefCount = -1;
  NoteReusable(inst);
  --vm_.LiveInstanceCount;
}

void TRTTI::ForgetValues() {
  for (size_t i = 0; i < Instances.size(); ++i)
    if (Instances[i]->RefCount >= 0) DestroyInstance(*Instances[i]);
}

void TRTTI::FreeRecord(TInstance* inst) {
  vm_.InstanceHandles().Remove(inst->Handle);
  vm_.Allocator().Free(inst);
}

}  // namespace kelvo
