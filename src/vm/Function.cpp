#include "vm/Function.h"

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

TNativeFunction::TNativeFunction(THostRegistry& registry, const TSymbolTable& symbols,
                                 TRTTI* owner, int32_t name)
    : TFunction(registry, symbols, owner, name, TFunctionKind::Native), Callback(Placeholder()) {}

TNativeCallback TNativeFunction::Placeholder() {
  return [](TScriptValue&, int32_t, int32_t) {
    throw EScriptError(SJ("native関数が実装されていません"));
  };
}

}  // namespace kelvo
