#include "values/Strings.h"

#include <memory>

#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TInstance* NewString(TVirtualMachine& vm, std::string_view text) {
  TRTTI* cls = vm.StringClass();
  if (!cls) throw EScriptError(SJ("クラスclasses.lang.Stringがありません"));
  TInstance* inst = cls->NewInstance();
  TScriptValue& body = TRTTI::MemberCell(*inst, vm.Symbols().BodySymbol(), vm.BodySlotHint());
  TfString* str = vm.Hosts().Adopt(std::make_unique<TfString>(vm.Hosts(), std::string(text)));
  SetHost(body, str->HostHandle());
  return inst;
}

void SetString(TVirtualMachine& vm, TScriptValue& dst, std::string_view text) {
  SetObject(dst, NewString(vm, text));
}

bool IsStringObject(const TVirtualMachine& vm, const TInstance* inst) {
  return inst && inst->Class == vm.StringClass();
}

TfString* StringBody(const TVirtualMachine& vm, const TScriptValue& body) {
  if (body.Tag != vkHost) return nullptr;
  THostObject* host = vm.Hosts().Find(body.Host);
  return host && host->HostKind() == THostKind::String ? static_cast<TfString*>(host) : nullptr;
}

std::string StringText(const TVirtualMachine& vm, const TInstance& inst) {
  int32_t slot = inst.Class->FindMember(vm.Symbols().BodySymbol(), vm.BodySlotHint());
  if (slot < 0 || static_cast<uint32_t>(slot) >= inst.MemberCount) return {};
  TfString* body = StringBody(vm, inst.Members()[slot]);
  return body ? body->Text : std::string();
}

void FreeStringBody(TVirtualMachine& vm, const TScriptValue& body) {
  if (TfString* str = StringBody(vm, body)) vm.Hosts().Free(str->HostHandle());
}

}  // namespace kelvo
