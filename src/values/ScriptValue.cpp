#include "values/ScriptValue.h"

#include "platform/ShiftJis.h"
#include "values/Conversions.h"
#include "vm/Rtti.h"
#include "vm/ScriptError.h"

namespace kelvo {

void ThrowEmptyObjectRelease() { throw EScriptError("null" + SJ(":どうやってきたの？")); }

void CountFellToZero(const TScriptValue& cell) {
  TInstance* inst = cell.Object;
  inst->Class->NoteReusable(*inst);
  if (inst->RefCount != -1) return;
  throw EScriptError(ValToText(cell.Object->Class->Vm(), cell) + SJ(":参照カウントが負になりました"));
}

}  // namespace kelvo
