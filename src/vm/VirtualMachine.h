#pragma once
// TVirtualMachine: the program-wide state of the script machine. The system creates it once;
// each test creates a fresh one. Everything that needs this state takes it by reference.
//
// Destruction order matters: the host registry (which owns classes, functions and string
// bodies) goes first, then the handle tables and the allocator the class pools use.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Reporter.h"
#include "values/CellTable.h"
#include "values/Collector.h"
#include "values/CountingAllocator.h"
#include "values/HandleTable.h"
#include "values/HostObject.h"
#include "vm/Rtti.h"
#include "vm/RunState.h"
#include "vm/SymbolTable.h"

namespace kelvo {

// Runs the script hooks of the object life cycle; the interpreter provides it. Each call
// creates a process on the instance, runs it once with the standard budget and frees it.
// Errors inside the process are reported by the process's own run and do not propagate.
class TScriptRunner {
 public:
  virtual ~TScriptRunner() = default;
  // The class's destructor ("destructor"); a destructor that suspends is not resumed.
  virtual void RunDestructor(TInstance& inst) = 0;
  // The "gc_mark" method; the global instruction budget is restored afterwards.
  virtual void RunGcMark(TInstance& inst) = 0;
};

class TVirtualMachine {
 public:
  explicit TVirtualMachine(Reporter& reporter);
  ~TVirtualMachine();
  TVirtualMachine(const TVirtualMachine&) = delete;
  TVirtualMachine& operator=(const TVirtualMachine&) = delete;

  Reporter& Report() const { return reporter_; }
  TCountingAllocator& Allocator() { return allocator_; }
  TSymbolTable& Symbols() { return symbols_; }
  const TSymbolTable& Symbols() const { return symbols_; }
  THostRegistry& Hosts() { return *hosts_; }
  const THostRegistry& Hosts() const { return *hosts_; }
  TCellTable& Cells() { return cells_; }
  const TCellTable& Cells() const { return cells_; }
  TCollector& Collector() { return collector_; }

  // ---- Object handles ----
  THandleTable<TInstance, 0>& InstanceHandles() { return instanceHandles_; }
  // The record of an object handle (live or a free slot), or nullptr.
  TInstance* InstanceFromHandle(uint32_t handle) const { return instanceHandles_.Find(handle); }

  // ---- Classes ----
  // Creates a class owned by the machine. FullName defaults to the name.
  TRTTI* NewClass(std::string name, std::string fullName = {}, std::string src = {});
  // Destroys a class: "IdentityText:オブジェクトがまだ残っています" while it has live
  // instances (the class stays); otherwise resets it and frees it.
  void DestroyClass(TRTTI* cls);
  const std::vector<TRTTI*>& Classes() const { return classes_; }
  // Creates a function of one of the four kinds, owned by the machine.
  template <class F>
  F* NewFunction(TRTTI* owner, std::string_view name) {
    return hosts_->Adopt(std::make_unique<F>(*hosts_, symbols_, owner, symbols_.SymbolOf(name)));
  }
  // Destroys a function (ResetClass does this when its last table lets it go).
  void DestroyFunction(TFunction* function) { hosts_->Free(function->HostHandle()); }

  // ---- Strings ----
  // The kernel class classes.lang.String, found at boot; strings are its direct instances.
  TRTTI* StringClass() const { return stringClass_; }
  void SetStringClass(TRTTI* cls) { stringClass_ = cls; }
  // The slot hint of NewString's "_body" lookup.
  int32_t& BodySlotHint() const { return bodySlotHint_; }

  // ---- Script hooks and counters ----
  TScriptRunner* Runner() const { return runner_; }
  void SetRunner(TScriptRunner* runner) { runner_ = runner; }
  // Live instances: incremented by NewInstance, decremented by DestroyInstance.
  int64_t LiveInstanceCount = 0;

  // ---- Processes ----
  // The state around running processes (current process, budgets, counters).
  TRunState& RunState() { return runState_; }
  const TRunState& RunState() const { return runState_; }

 private:
  Reporter& reporter_;
  TCountingAllocator allocator_;
  TSymbolTable symbols_;
  THandleTable<TInstance, 0> instanceHandles_;
  TCellTable cells_;
  TCollector collector_;
  std::unique_ptr<THostRegistry> hosts_;
  std::vector<TRTTI*> classes_;
  TRTTI* stringClass_ = nullptr;
  mutable int32_t bodySlotHint_ = -1;
  TScriptRunner* runner_ = nullptr;
  TRunState runState_;
};

}  // namespace kelvo
