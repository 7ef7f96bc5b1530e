#include "vm/ClassFile.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "frontend/CompiledInfo.h"
#include "frontend/RelinkLookup.h"
#include "platform/ByteStream.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "vm/Function.h"
#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo {
namespace {

// Whether a member name of the class is its own: the parent's member list does not hold it.
// Saving counts and writes with this one test, so the count always matches the names.
bool IsOwnMember(const TRTTI& cls, int32_t slot) {
  if (!cls.Parent) return true;
  return cls.Parent->MemberNames.Find(cls.MemberNames.SymbolAt(slot)) < 0;
}

void SaveMainCode(const TRTTI& cls, TByteWriter& out) {
  if (const auto* info = dynamic_cast<const TCompiledInfo*>(cls.MainCode.get())) {
    info->Save(out);
    return;
  }
  TCompiledInfo(cls.MainCode ? cls.MainCode->Code : std::vector<uint8_t>{}, TSymInfoList{})
      .Save(out);
}

[[noreturn]] void Corrupted(const TRTTI& cls) {
  throw std::runtime_error(SJ("クラスファイル") + cls.Name + SJ("は壊れています。"));
}

TFunction* NewFunctionOfKind(TRTTI& cls, std::string_view kind, std::string_view name) {
  TVirtualMachine& vm = cls.Vm();
  if (kind == TFunction::KindName(TFunctionKind::Normal))
    return vm.NewFunction<TNormalFunction>(&cls, name);
  if (kind == TFunction::KindName(TFunctionKind::Constructor))
    return vm.NewFunction<TConstructor>(&cls, name);
  if (kind == TFunction::KindName(TFunctionKind::Destructor))
    return vm.NewFunction<TDestructor>(&cls, name);
  if (kind == TFunction::KindName(TFunctionKind::Native))
    return vm.NewFunction<TNativeFunction>(&cls, name);
  return nullptr;
}

// The functions read from a file before they join a method table: destroyed again unless
// Release hands them on.
class TStagedFunctions {
 public:
  explicit TStagedFunctions(TVirtualMachine& vm) : vm_(vm) {}
  ~TStagedFunctions() {
    for (TFunction* f : functions_) vm_.DestroyFunction(f);
  }
  void Add(TFunction* f) { functions_.push_back(f); }
  std::vector<TFunction*> Release() { return std::move(functions_); }

 private:
  TVirtualMachine& vm_;
  std::vector<TFunction*> functions_;
};

// The smallest function record: an empty kind and an empty name (5 bytes each).
constexpr size_t kMinFunctionRecord = 10;

}  // namespace

std::vector<uint8_t> ClassFileBytes(const TRTTI& cls) {
  TByteWriter out;
  out.WriteInt(kClassFileVersion);
  out.WriteInt(FileAge(cls.Src));
  out.WriteString(cls.Parent ? cls.Parent->FullName : std::string());

  int32_t own = 0;
  for (int32_t slot = 0; slot < cls.MemberNames.Count(); ++slot)
    if (IsOwnMember(cls, slot)) ++own;
  out.WriteInt(own);
  for (int32_t slot = 0; slot < cls.MemberNames.Count(); ++slot)
    if (IsOwnMember(cls, slot)) out.WriteString(cls.MemberNames.NameAt(slot));

  int32_t owned = 0;
  for (const TFunction* f : cls.Methods)
    if (f->OwnerClass == &cls) ++owned;
  out.WriteInt(owned);
  for (const TFunction* f : cls.Methods)
    if (f->OwnerClass == &cls) f->Save(out);

  SaveMainCode(cls, out);
  return out.Take();
}

bool SaveClassFile(const TRTTI& cls, std::string_view file) {
  const std::vector<uint8_t> bytes = ClassFileBytes(cls);
  return WriteFileBytes(file, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                               bytes.size()));
}

bool LoadClassFile(TRTTI& cls, TByteReader& in, TRelinkLookup& lookup) {
  const int32_t version = in.ReadInt();
  if (version < kClassFileVersion || version > kClassFileNewestVersion) return false;
  if (in.ReadInt() != FileAge(cls.Src)) return false;

  const std::string parentName = in.ReadString();
  TRTTI* parent = nullptr;
  if (!parentName.empty()) {
    parent = lookup.ClassOf(parentName);
    if (!parent) throw std::runtime_error(SJ("親クラス") + parentName + SJ("はありません。"));
    // A class cannot extend itself or one of its own subclasses.
    if (parent->IsSubclassOf(&cls)) Corrupted(cls);
    if (!parent->Compiled) {
      cls.Parent = parent;
      return false;
    }
  }

  // Read everything first: a short or inconsistent file leaves the class as it was.
  const std::vector<std::string> members = in.ReadStringList();
  TStagedFunctions staged(cls.Vm());
  const int32_t functionCount = in.ReadCount(kMinFunctionRecord);
  for (int32_t i = 0; i < functionCount; ++i) {
    const std::string kind = in.ReadString();
    const std::string name = in.ReadString();
    TFunction* f = NewFunctionOfKind(cls, kind, name);
    if (!f) Corrupted(cls);
    staged.Add(f);
    f->LoadBody(in);
  }
  std::unique_ptr<TCompiledInfo> mainCode = TCompiledInfo::Load(in);

  // Fill the class.
  cls.Parent = parent;
  cls.InheritMethods();
  cls.InheritMembers();
  for (const std::string& name : members)
    if (cls.MemberNames.Find(cls.Vm().Symbols().SymbolOf(name)) < 0) cls.MemberNames.Append(name);
  std::vector<TFunction*> functions = staged.Release();
  for (TFunction* f : functions) {
    // A bytecode method takes the index of the inherited one it overrides; a native is
    // appended, as the compiler does, so the table comes out as compiling made it.
    if (f->IsNative())
      cls.AppendMethod(f);
    else
      cls.EnterMethod(f);
  }
  // Two records of one name (a damaged file) leave the first without a table.
  for (TFunction* f : functions)
    if (f->Users <= 0) cls.Vm().DestroyFunction(f);
  cls.MainCode = std::move(mainCode);

  try {
    for (TFunction* f : cls.Methods) {
      TNormalFunction* body = AsBytecode(f);
      if (!body || f->OwnerClass != &cls) continue;
      auto* code = dynamic_cast<TCompiledInfo*>(body->Code.get());
      if (!code) Corrupted(cls);
      code->Relink(cls, lookup);
    }
    static_cast<TCompiledInfo&>(*cls.MainCode).Relink(cls, lookup);
  } catch (...) {
    cls.ResetClass();
    throw;
  }
  cls.Compiled = true;
  return true;
}

bool LoadClassFile(TRTTI& cls, std::string_view file, TRelinkLookup& lookup) {
  const std::optional<std::string> bytes = ReadFileBytes(file);
  if (!bytes) return false;
  TByteReader in(reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size());
  return LoadClassFile(cls, in, lookup);
}

}  // namespace kelvo
