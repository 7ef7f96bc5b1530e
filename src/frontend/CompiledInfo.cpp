#include "frontend/CompiledInfo.h"

#include <stdexcept>

#include "frontend/Instructions.h"
#include "frontend/RelinkLookup.h"
#include "platform/ByteStream.h"
#include "platform/ShiftJis.h"
#include "values/ValueEncoding.h"
#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo {
namespace {

void StoreWord(std::vector<uint8_t>& code, size_t at, uint32_t word) {
  for (int i = 0; i < 4; ++i) code[at + i] = static_cast<uint8_t>(word >> (8 * i));
}

// Whether the instruction at `at` is one an entry of opcode `op` may name: the opcode itself,
// or the fused form the peephole pass gave it (the operand words keep their places).
bool OpcodeFits(int32_t op, int32_t found) {
  if (found == op) return true;
  return (op == Op_Push && found == Op_Push_Deref) ||
         (op == Op_DMemberValPtr && found == Op_DMemberValPtr_Deref);
}

[[noreturn]] void Fail(const std::string& prefix, const std::string& text,
                       const std::string& suffix) {
  throw std::runtime_error(prefix + text + suffix);
}

}  // namespace

void TCompiledInfo::Relink(TRTTI& cls, TRelinkLookup& lookup) {
  TVirtualMachine& vm = cls.Vm();
  for (const TCInfoElem& elem : Info.Elems()) {
    if (!IsValidOpcode(elem.Op) || elem.Op == Op_Point) continue;
    if (elem.Op == Op_Push && elem.Text.empty()) continue;  // constants name nothing
    const std::string& text = elem.Text;
    for (int32_t address : elem.Addresses) {
      const uint32_t length = kInstructions[elem.Op].length;
      if (address < 0 || length == 0 || static_cast<size_t>(address) + length > Code.size() ||
          !OpcodeFits(elem.Op, static_cast<int32_t>(ReadCodeWord(Code.data(), address))))
        Fail(SJ("クラスファイル"), cls.Name, SJ("は壊れています。"));
      const size_t at = static_cast<size_t>(address);
      switch (elem.Op) {
        case Op_Push: {
          TScriptValue* cell = lookup.ValueCellOf(text);
          if (!cell) Fail(SJ("値"), text, SJ("が見つかりません"));
          const TEncodedValue encoded = EncodeValue(vm, RefValue(cell));
          std::copy(encoded.begin(), encoded.end(), Code.begin() + at + 4);
          break;
        }
        case Op_SMemberValPtr:
          StoreWord(Code, at + 4, static_cast<uint32_t>(cls.MemberSlot(text)));
          break;
        case Op_DMemberValPtr:
          StoreWord(Code, at + 4, static_cast<uint32_t>(vm.Symbols().SymbolOf(text)));
          break;
        case Op_DCall:
          StoreWord(Code, at + 8, static_cast<uint32_t>(vm.Symbols().SymbolOf(text)));
          break;
        case Op_SCall: {
          const int32_t index = cls.MethodIndexByName(text);
          if (index < 0) Fail(SJ("メソッド"), text, SJ("が見つかりません"));
          StoreWord(Code, at + 8, static_cast<uint32_t>(index));
          break;
        }
        case Op_SuperCall: {
          TFunction* function = nullptr;
          if (TRTTI* parent = cls.Parent) {
            if (TSymbolTable::SameName(text, "constructor"))
              function = parent->ConstructorOf();
            else if (TSymbolTable::SameName(text, "destructor"))
              function = parent->DestructorOf();
            else
              function = parent->FirstMethodNamed(text);
          }
          if (!function) Fail(SJ("メソッドsuper."), text, SJ("が見つかりません"));
          StoreWord(Code, at + 8, function->HostHandle());
          break;
        }
        case Op_NativeCall: {
          // Only a native may stand here: the machine calls it without a frame.
          TFunction* function = AsNative(cls.FirstMethodNamed(text));
          if (!function) Fail(SJ("nativeメソッド"), text, SJ("が見つかりません"));
          StoreWord(Code, at + 8, function->HostHandle());
          break;
        }
        case Op_Constructor:
        case Op_Is: {
          TRTTI* target = lookup.ClassOf(text);
          if (!target) Fail(SJ("クラス"), text, SJ("が見つかりません"));
          StoreWord(Code, at + (elem.Op == Op_Is ? 4 : 8), target->HostHandle());
          break;
        }
        default: break;  // the other opcodes carry nothing to relink
      }
    }
  }
}

void TCompiledInfo::Save(TByteWriter& out) const {
  Info.Save(out);
  out.WriteInt(CodeSize());
  out.WriteBytes(Code.data(), Code.size());
}

std::unique_ptr<TCompiledInfo> TCompiledInfo::Load(TByteReader& in) {
  TSymInfoList info;
  info.Load(in);
  const int32_t size = in.ReadCount(1);
  return std::make_unique<TCompiledInfo>(in.ReadBytes(static_cast<size_t>(size)),
                                         std::move(info));
}

}  // namespace kelvo
