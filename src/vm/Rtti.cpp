#include "vm/Rtti.h"

#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TRTTI::TRTTI(TVirtualMachine& vm, std::string name, std::string fullName, std::string src)
    : THostObject(vm.Hosts(), kHostKind),
      Name(std::move(name)),
      FullName(std::move(fullName)),
      Src(std::move(src)),
      MemberNames(vm.Symbols(), &vm.Allocator()),
      vm_(vm) {
  SelfCell = HostValue(HostHandle());
}

TRTTI::~TRTTI() {
  for (TInstance* inst : Instances) FreeRecord(inst);
  Instances.clear();
}

// ---- Members ----

int32_t TRTTI::MemberSlot(std::string_view name) {
  int32_t symbol = vm_.Symbols().SymbolOf(name);
  int32_t slot = MemberNames.Find(symbol);
  return slot >= 0 ? slot : MemberNames.Append(name);
}

TScriptValue& TRTTI::MemberCell(TInstance& inst, int32_t symbol, int32_t& hint) {
  int32_t slot = inst.Class->FindMember(symbol, hint);
  if (slot < 0 || static_cast<uint32_t>(slot) >= inst.MemberCount)
    throw EScriptError(SJ("変数") + inst.Class->vm_.Symbols().SymbolText(symbol) +
                       SJ("は定義されていません"));
  return inst.Members()[slot];
}

TScriptValue& TRTTI::MemberAt(TInstance& inst, int32_t slot) {
  if (slot < 0 || static_cast<uint32_t>(slot) >= inst.MemberCount) throw EListIndexError(slot);
  return inst.Members()[slot];
}

void TRTTI::InheritMembers() {
  if (!Parent) return;
  for (int32_t slot = 0; slot < Parent->MemberNames.Count(); ++slot)
    MemberNames.Append(Parent->MemberNames.NameAt(slot));
}

// ---- Methods ----

TFunction* TRTTI::FindMethod(int32_t symbol, int32_t& hint) const {
  const int32_t count = static_cast<int32_t>(Methods.size());
  if (hint >= 0 && hint < count && Methods[hint]->Name == symbol) return Methods[hint];
  int32_t index = count - 1;
  while (index >= 0 && Methods[index]->Name != symbol) --index;
  hint = index;
  return index >= 0 ? Methods[index] : nullptr;
}

int32_t TRTTI::MethodIndexByName(std::string_view name) const {
  int32_t symbol = vm_.Symbols().Lookup(name);
  if (symbol < 0) return -1;
  for (size_t i = 0; i < Methods.size(); ++i)
    if (Methods[i]->Name == symbol) return static_cast<int32_t>(i);
  return -1;
}

TFunction* TRTTI::FirstMethodNamed(std::string_view name) const {
  int32_t index = MethodIndexByName(name);
  return index >= 0 ? Methods[index] : nullptr;
}

int32_t TRTTI::MethodIndexOf(const TFunction* function) const {
  for (size_t i = 0; i < Methods.size(); ++i)
    if (Methods[i] == function) return static_cast<int32_t>(i);
  return -1;
}

void TRTTI::ThrowMethodIndex(int32_t index) { throw EListIndexError(index); }

TFunction* TRTTI::LastOfKind(TFunctionKind kind) const {
  for (size_t i = Methods.size(); i-- > 0;)
    if (Methods[i]->Kind() == kind) return Methods[i];
  return nullptr;
}

TFunction* TRTTI::ConstructorOf() {
  if (!CachedConstructor) CachedConstructor = LastOfKind(TFunctionKind::Constructor);
  return CachedConstructor;
}

TFunction* TRTTI::DestructorOf() {
  if (!CachedDestructor) CachedDestructor = LastOfKind(TFunctionKind::Destructor);
  return CachedDestructor;
}

void TRTTI::AppendMethod(TFunction* function) {
  Methods.push_back(function);
  ++function->Users;
}

void TRTTI::EnterMethod(TFunction* function) {
  for (TFunction*& slot : Methods) {
    if (slot->Name == function->Name) {
      --slot->Users;
      slot = function;
      ++function->Users;
      return;
    }
  }
  AppendMethod(function);
}

void TRTTI::InheritMethods() {
  if (!Parent) return;
  for (TFunction* function : Parent->Methods) AppendMethod(function);
}

void TRTTI::LoseUser(TFunction* function) {
  if (--function->Users <= 0) vm_.DestroyFunction(function);
}

// ---- Queries ----

bool TRTTI::IsSubclassOf(const TRTTI* ancestor) const {
  // The walk is bounded by the number of classes, so a parent cycle cannot hang it.
  size_t steps = vm_.Classes().size() + 1;
  for (const TRTTI* c = this; c && steps-- > 0; c = c->Parent)
    if (c == ancestor) return true;
  return false;
}

std::string TRTTI::IdentityText() const { return Name + "@" + std::to_string(HostHandle()); }

std::vector<TInstance*> TRTTI::LiveInstances() const {
  std::vector<TInstance*> live;
  if (!Compiled || !HasPool) return live;
  for (TInstance* inst : Instances)
    if (inst->RefCount > 0) live.push_back(inst);
  return live;
}

bool TRTTI::HasReferencedRecords() const {
  for (const TInstance* inst : Instances)
    if (inst->RefCount > 0) return true;
  return false;
}

// ---- Life cycle ----

void TRTTI::ResetClass() {
  Compiled = false;
  MemberNames.Clear();
  std::vector<TFunction*> methods;
  methods.swap(Methods);
  CachedConstructor = nullptr;
  CachedDestructor = nullptr;
  for (TFunction* function : methods) LoseUser(function);
  // Records that counted cells still hold stay in the pool (with their old size, so they
  // are never reused for the new layout) until a later reset finds them unreferenced; every
  // other record is freed without finalization.
  std::vector<TInstance*> kept;
  for (TInstance* inst : Instances) {
    if (inst->RefCount > 0)
      kept.push_back(inst);
    else
      FreeRecord(inst);
  }
  Instances.swap(kept);
  for (size_t i = 0; i < Instances.size(); ++i) Instances[i]->PoolIndex = static_cast<uint32_t>(i);
  ReuseScanStart = 0;
  HasPool = !Instances.empty();
  RecordSize = -1;
  MainCode.reset();
}

bool TRTTI::BindNative(std::string_view name, TNativeCallback callback) {
  TFunction* f = FirstMethodNamed(name);
  if (TNativeFunction* native = AsNative(f)) {
    native->Callback = std::move(callback);
    return true;
  }
  if (!f)
    vm_.Report().MessageBox(SJ("クラス") + Name + SJ("のnative関数") + std::string(name) +
                            SJ("は未定義です"));
  return false;
}

}  // namespace kelvo
