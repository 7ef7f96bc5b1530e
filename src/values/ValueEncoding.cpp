#include "values/ValueEncoding.h"

#include <cstring>

#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

namespace {

uint32_t PayloadWord(TVirtualMachine& vm, const TScriptValue& v) {
  switch (v.Tag) {
    case vkInt: return static_cast<uint32_t>(v.Int);
    case vkFloat: {
      uint32_t bits;
      std::memcpy(&bits, &v.Float, 4);
      return bits;
    }
    case vkObject: return v.Object ? v.Object->Handle : 0;
    case vkRef: {
      if (!v.Ref) return 0;
      uint32_t handle = vm.Cells().HandleOf(v.Ref);
      if (!handle) throw EScriptError(SJ("値の参照を符号化できません"));
      return handle;
    }
    case vkHost: return v.Host;
    default: return 0;
  }
}

[[noreturn]] void ThrowBadCell() { throw EScriptError(SJ("異常な値が入っています")); }

}  // namespace

TEncodedValue EncodeValue(TVirtualMachine& vm, const TScriptValue& v) {
  const uint32_t word = PayloadWord(vm, v);
  return TEncodedValue{v.Tag, 0, 0, 0, static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                       static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
}

TScriptValue DecodeValue(const TVirtualMachine& vm, const uint8_t* bytes) {
  if (bytes[1] || bytes[2] || bytes[3]) ThrowBadCell();
  const uint32_t word = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 | uint32_t(bytes[6]) << 16 |
                        uint32_t(bytes[7]) << 24;
  switch (bytes[0]) {
    case vkNull: return NullValue();
    case vkInt: return IntValue(static_cast<int32_t>(word));
    case vkFloat: {
      float f;
      std::memcpy(&f, &word, 4);
      return FloatValue(f);
    }
    case vkObject: {
      TInstance* inst = vm.InstanceFromHandle(word);
      if (!inst) ThrowBadCell();
      return UncountedObjectValue(inst);
    }
    case vkRef: {
      TScriptValue* cell = vm.Cells().Find(word);
      if (!cell) ThrowBadCell();
      return RefValue(cell);
    }
    case vkHost: return HostValue(word);
    default: ThrowBadCell();
  }
}

}  // namespace kelvo
