#include "vm/HostAccess.h"

#include <string>

#include "platform/ShiftJis.h"
#include "values/Conversions.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

THostObject& ResolveHost(const TVirtualMachine& vm, const TScriptValue& v, THostKind kind) {
  if (v.Tag != vkHost) throw EScriptError(ValToText(vm, v) + SJ("はホストオブジェクトではありません"));
  THostObject* host = vm.Hosts().Find(v.Host);
  if (!host) throw EScriptError(SJ("ホスト参照") + std::to_string(v.Host) + SJ("は無効です"));
  if (host->HostKind() != kind)
    throw EScriptError(host->HostClassName() + SJ("は") + HostKindName(kind) + SJ("ではありません"));
  return *host;
}

}  // namespace kelvo
