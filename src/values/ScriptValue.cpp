#include "values/ScriptValue.h"

#include "platform/ShiftJis.h"
#include "values/Conversions.h"
#include "vm/Rtti.h"
#include "vm/ScriptError.h"

namespace kelvo {

void ThrowEmptyObjectRelease() { throw EScriptError("null" + SJ(":どうやってきたの？")); }

void ThrowNegativeRefCount(const TScriptValue& cell) {
  throw EScriptError(ValToText(cell.Object->Class->Vm(), cell) + SJ(":参照カウントが負になりました"));
}

}  // namespace kelvo
