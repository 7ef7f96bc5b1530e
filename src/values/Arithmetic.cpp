#include "values/Arithmetic.h"

#include <cmath>

#include "values/Conversions.h"
#include "values/Strings.h"
#include "vm/Rtti.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

namespace {

inline bool IsNum(const TScriptValue& v) { return v.Tag == vkInt || v.Tag == vkFloat; }
// null, ref and host: the left operands that take B's value.
inline bool TakesB(const TScriptValue& v) {
  return v.Tag == vkNull || v.Tag == vkRef || v.Tag == vkHost;
}
inline long double Wide(const TScriptValue& v) {
  return v.Tag == vkInt ? static_cast<long double>(v.Int) : static_cast<long double>(v.Float);
}

// B's unit moves into A (A holds nothing counted).
inline void MoveBIntoA(TScriptValue& a, TScriptValue& b) {
  a = b;
  ClearCell(b);
}

// Releases an object in B and leaves B null.
inline void DropB(TScriptValue& b) {
  TScriptValue old = b;
  ClearCell(b);
  Release(old);
}

void Concatenate(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b) {
  std::string text = ValToText(vm, a) + ValToText(vm, b);
  SetObject(a, NewString(vm, text));
  DropB(b);
}

[[noreturn]] void ThrowZeroDivide(bool floating) {
  throw EArithmeticError(floating ? "Floating point division by zero" : "Division by zero");
}
[[noreturn]] void ThrowOverflow() { throw EArithmeticError("Integer overflow"); }

enum class TOp { Add, Sub, Mul };

void AddSubMul(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b, TOp op) {
  if (IsNum(a)) {
    if (IsNum(b)) {
      if (a.Tag == vkInt && b.Tag == vkInt) {
        const uint32_t x = static_cast<uint32_t>(a.Int), y = static_cast<uint32_t>(b.Int);
        const uint32_t r = op == TOp::Add ? x + y : op == TOp::Sub ? x - y : x * y;
        a.Int = static_cast<int32_t>(r);
      } else {
        const long double x = Wide(a), y = Wide(b);
        const long double r = op == TOp::Add ? x + y : op == TOp::Sub ? x - y : x * y;
        a = FloatValue(static_cast<float>(r));
      }
      ClearCell(b);
    } else if (b.Tag == vkObject) {
      if (op == TOp::Add)
        Concatenate(vm, a, b);
      else
        DropB(b);
    } else {
      ClearCell(b);  // num and null / ref / host: A unchanged
    }
  } else if (a.Tag == vkObject) {
    if (op == TOp::Add)
      Concatenate(vm, a, b);
    else
      DropB(b);
  } else {
    MoveBIntoA(a, b);
    if (op == TOp::Sub) ValNeg(a);
  }
}

}  // namespace

void ValAdd(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b) {
  AddSubMul(vm, a, b, TOp::Add);
}
void ValSub(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b) {
  AddSubMul(vm, a, b, TOp::Sub);
}
void ValMul(TVirtualMachine& vm, TScriptValue& a, TScriptValue& b) {
  AddSubMul(vm, a, b, TOp::Mul);
}

void ValDiv(TVirtualMachine&, TScriptValue& a, TScriptValue& b) {
  if (TakesB(a)) return MoveBIntoA(a, b);
  if (a.Tag == vkObject || !IsNum(b)) return DropB(b);
  if (a.Tag == vkInt && b.Tag == vkInt) {
    if (b.Int == 0) ThrowZeroDivide(false);
    if (a.Int == INT32_MIN && b.Int == -1) ThrowOverflow();
    if (a.Int % b.Int == 0)
      a.Int /= b.Int;
    else
      a = FloatValue(static_cast<float>(static_cast<long double>(a.Int) / b.Int));
  } else {
    const long double y = Wide(b);
    if (y == 0) ThrowZeroDivide(true);
    a = FloatValue(static_cast<float>(Wide(a) / y));
  }
  ClearCell(b);
}

void ValMod(TVirtualMachine&, TScriptValue& a, TScriptValue& b) {
  if (TakesB(a)) return MoveBIntoA(a, b);
  if (a.Tag == vkObject || !IsNum(b)) return DropB(b);
  if (a.Tag == vkInt && b.Tag == vkInt) {
    if (b.Int == 0) ThrowZeroDivide(false);
    if (a.Int == INT32_MIN && b.Int == -1) ThrowOverflow();
    a.Int %= b.Int;
  } else {
    const int64_t x = TruncTo64(Wide(a)), y = TruncTo64(Wide(b));
    if (y == 0) ThrowZeroDivide(false);
    if (x == INT64_MIN && y == -1) ThrowOverflow();
    a = IntValue(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(x % y))));
  }
  ClearCell(b);
}

void ValNeg(TScriptValue& v) {
  if (v.Tag == vkInt)
    v.Int = static_cast<int32_t>(0u - static_cast<uint32_t>(v.Int));
  else if (v.Tag == vkFloat)
    v.Float = -v.Float;
}

void ValNot(TScriptValue& v) { SetInt(v, ValIsTrue(v) ? 0 : 1); }

float ValCompare(const TVirtualMachine& vm, const TScriptValue& a, const TScriptValue& b) {
  switch (a.Tag) {
    case vkNull: return b.Tag == vkNull ? 0.0f : 1.0f;
    case vkInt:
    case vkFloat:
      if (!IsNum(b)) return 1.0f;
      if (a.Tag == vkInt && b.Tag == vkInt)
        return static_cast<float>(
            static_cast<int32_t>(static_cast<uint32_t>(a.Int) - static_cast<uint32_t>(b.Int)));
      return static_cast<float>(Wide(a) - Wide(b));
    case vkObject:
      if (IsStringObject(vm, a.Object)) return ValToText(vm, a) == ValToText(vm, b) ? 0.0f : 1.0f;
      return b.Tag == vkObject && b.Object == a.Object ? 0.0f : 1.0f;
    default: return 1.0f;
  }
}

int32_t ValIsA(const TScriptValue& v, const TRTTI* cls) {
  return v.Tag == vkObject && v.Object && v.Object->Class->IsSubclassOf(cls) ? 1 : 0;
}

}  // namespace kelvo
