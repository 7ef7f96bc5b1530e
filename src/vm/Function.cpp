#include "vm/Function.h"

#include "frontend/CompiledInfo.h"
#include "platform/ByteStream.h"
#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"
#include "vm/SymbolTable.h"

namespace kelvo {

TFunction::TFunction(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner,
                     int32_t name, TFunctionKind kind)
    : THostObject(registry, kHostKind), OwnerClass(owner), Name(name), symbols_(symbols),
      kind_(kind) {}

const char* TFunction::KindName(TFunctionKind kind) {
  switch (kind) {
    case TFunctionKind::Normal: return "TNormalFunction";
    case TFunctionKind::Constructor: return "TConstructor";
    case TFunctionKind::Destructor: return "TDestructor";
    case TFunctionKind::Native: return "TNativeFunction";
  }
  return "TFunction";
}

std::string TFunction::GetName() const { return symbols_.SymbolText(Name); }

void TFunction::Save(TByteWriter& out) const {
  out.WriteString(KindName(kind_));
  out.WriteString(GetName());
}

void TNormalFunction::Save(TByteWriter& out) const {
  TFunction::Save(out);
  out.WriteStringList(ArgNames.Names());
  out.WriteStringList(LocalNames.Names());
  if (const auto* info = dynamic_cast<const TCompiledInfo*>(Code.get())) {
    info->Save(out);
  } else {
    TCompiledInfo(Code ? Code->Code : std::vector<uint8_t>{}, TSymInfoList{}).Save(out);
  }
}

void TNormalFunction::LoadBody(TByteReader& in) {
  TNameList args, locals;
  for (const std::string& name : in.ReadStringList()) args.Add(name);
  for (const std::string& name : in.ReadStringList()) locals.Add(name);
  std::unique_ptr<TCompiledInfo> code = TCompiledInfo::Load(in);
  ArgNames = std::move(args);
  LocalNames = std::move(locals);
  Code = std::move(code);
}

TNativeFunction::TNativeFunction(THostRegistry& registry, const TSymbolTable& symbols,
                                 TRTTI* owner, int32_t name)
    : TFunction(registry, symbols, owner, name, TFunctionKind::Native), Callback(Placeholder()) {}

TNativeCallback TNativeFunction::Placeholder() {
  return [](TScriptValue&, int32_t, int32_t) {
    throw EScriptError(SJ("native関数が実装されていません"));
  };
}

}  // namespace kelvo
