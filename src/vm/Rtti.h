#pragma once
// TRTTI: a script class. It carries the member names that give every instance its slots, the
// method table calls dispatch through, the compiled main code, the link to its parent class
// and the pool of its instances.
//
// A class is also a resource of the resource tree: the tree's class resource
// (resources/ClassResource.h) creates the class through TVirtualMachine::NewClass, keeps Name,
// FullName and Src in step with the tree and points to it from Resource. The virtual machine
// owns the class; classes made outside the tree (tests, snippets) have no resource.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "values/HostObject.h"
#include "values/Instance.h"
#include "values/ScriptValue.h"
#include "vm/CodeBlock.h"
#include "vm/Function.h"
#include "vm/RapidStringList.h"

namespace kelvo {

class TResource;
class TVirtualMachine;

class TRTTI : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::Class;

  // A fresh, uncompiled class: no parent, no members or methods, no pool, record size -1.
  TRTTI(TVirtualMachine& vm, std::string name, std::string fullName, std::string src);
  // Frees the records of the pool without finalization. Functions are the host registry's.
  ~TRTTI() override;

  std::string HostClassName() const override { return "TRTTI"; }
  TVirtualMachine& Vm() const { return vm_; }

  // ---- Members ----
  // The slot of the name, appended first when absent (compiler use); never fails.
  int32_t MemberSlot(std::string_view name);
  int32_t FindMember(int32_t symbol, int32_t& hint) const { return MemberNames.Find(symbol, hint); }
  // The member cell of the name in the instance; "変数" + name + "は定義されていません" when
  // the name is not a member of the instance's class (or beyond the instance's record).
  static TScriptValue& MemberCell(TInstance& inst, int32_t symbol, int32_t& hint);
  // The member cell of a slot known at compile time, checked against the record.
  static TScriptValue& MemberAt(TInstance& inst, int32_t slot);
  // Appends every member name of the parent, in order.
  void InheritMembers();

  // ---- Methods ----
  // The hint's method when it has the name; otherwise the last one with the name, searching
  // down from the end; the index (or -1) goes back into the hint. Run-time calls by name.
  TFunction* FindMethod(int32_t symbol, int32_t& hint) const;
  // The first function with the name from index 0 (compiler, process creation, binding).
  TFunction* FirstMethodNamed(std::string_view name) const;
  int32_t MethodIndexByName(std::string_view name) const;
  int32_t MethodIndexOf(const TFunction* function) const;
  // The function at the index; the host's list index error outside the table.
  TFunction* MethodAt(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(Methods.size())) ThrowMethodIndex(index);
    return Methods[index];
  }
  // The last constructor (destructor) of the table, looked up once and cached.
  TFunction* ConstructorOf();
  TFunction* DestructorOf();
  void AppendMethod(TFunction* function);
  // Puts the function at the index of the first one with its name (an override keeps the
  // parent's index; the old one loses a user but stays), else appends it.
  void EnterMethod(TFunction* function);
  // Appends every function of the parent's table, in order.
  void InheritMethods();

  // ---- Queries ----
  bool IsSubclassOf(const TRTTI* ancestor) const;
  // Name + "@" + the class's handle.
  std::string IdentityText() const;
  // Instances of the pool with RefCount > 0, in pool order.
  std::vector<TInstance*> LiveInstances() const;
  // Whether any record of the pool is held by counted cells, compiled or not (records kept
  // over a reset included). A class is not destroyed while this holds.
  bool HasReferencedRecords() const;

  // ---- Instances (the pool) ----
  // A fresh instance with count 0 and null members, from the first reusable record of the
  // pool (finalizing an unreferenced one first) or a new record. The class must be compiled.
  TInstance* NewInstance();
  // Runs the destructor, releases the members in slot order, makes the record a free slot.
  void DestroyInstance(TInstance& inst);
  // Called when a record's count falls to 0 or below: the reuse scan of NewInstance starts
  // no later than this record. (Every record before the scan start is held or unusable.)
  void NoteReusable(const TInstance& inst) {
    if (inst.PoolIndex < ReuseScanStart) ReuseScanStart = inst.PoolIndex;
  }
  // DestroyInstance of every record with RefCount >= 0, in pool order.
  void ForgetValues();
  // Back to the uncompiled state: members and methods cleared (functions without users are
  // destroyed), pool records freed without finalization, main code freed.
  void ResetClass();
  // Sets the callback of the first method of that name; shows "クラス" + name + "のnative関数"
  // + name + "は未定義です" when there is none. Answers whether it bound.
  bool BindNative(std::string_view name, TNativeCallback callback);

  std::string Name;      // the class name
  std::string FullName;  // the full dotted resource name ("classes.lang.String")
  std::string Src;       // the class source file, or empty
  TRTTI* Parent = nullptr;
  int32_t RecordSize = -1;
  TRapidStringList MemberNames;
  std::vector<TFunction*> Methods;
  TFunction* CachedConstructor = nullptr;
  TFunction* CachedDestructor = nullptr;
  std::unique_ptr<TCodeBlock> MainCode;
  TScriptValue SelfCell;  // vkHost holding the class: the class's value cell
  std::vector<TInstance*> Instances;
  bool HasPool = false;
  bool Compiled = false;
  bool CompileFailed = false;
  bool Aliased = false;
  int32_t InstantiationCount = 0;
  TResource* Resource = nullptr;  // the class's resource in the tree, or none
  int32_t GcMarkHint = -1;  // slot hint of the collector's "gc_mark" lookup
  // NewInstance's scan for the first reusable record starts here: the records before it
  // are held by counted cells or belong to an older layout.
  uint32_t ReuseScanStart = 0;

 private:
  [[noreturn]] static void ThrowMethodIndex(int32_t index);
  void LoseUser(TFunction* function);
  void FreeRecord(TInstance* inst);
  TFunction* LastOfKind(TFunctionKind kind) const;

  TVirtualMachine& vm_;
};

}  // namespace kelvo
