// The instruction loop. Dispatch is threaded (one indirect jump per instruction through a
// table of label addresses), operands are read in place from the code words, and the hot
// state (stack top, instruction pointer, frame) lives in locals that are written back to the
// process before anything that may look at it (natives, object creation, calls, errors).
//
// Safety: code blocks are checked before they first run (CodeCheck.h), so instructions are
// complete and jumps land on instructions. What the check cannot see is verified here at low
// cost: pushes against the stack limit, pops and operand reads against the frame's operand
// stack, local indexes against the frame's locals, and object operands through the host
// registry with their kind.
#include <bit>
#include <cstring>
#include <string>

#include "frontend/Instructions.h"
#include "platform/ShiftJis.h"
#include "values/Arithmetic.h"
#include "values/Conversions.h"
#include "values/ElementList.h"
#include "values/Strings.h"
#include "values/ValueEncoding.h"
#include "vm/HostAccess.h"
#include "vm/Interpreter.h"
#include "vm/Process.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

static_assert(std::endian::native == std::endian::little, "code words are read in place");

namespace {

inline int32_t Word(const uint8_t* ip, int k) {
  int32_t w;
  std::memcpy(&w, ip + 4 * k, 4);
  return w;
}
// The cache words of the name lookups are written back into the code block.
inline void StoreWord(const uint8_t* ip, int k, int32_t w) {
  std::memcpy(const_cast<uint8_t*>(ip) + 4 * k, &w, 4);
}

[[noreturn]] void Malformed() { throw EScriptError(SJ("異常な命令が入っています")); }

[[noreturn]] void NotObjectForMember(const TVirtualMachine& vm, const TScriptValue& v,
                                     const std::string& name) {
  throw EScriptError(ValToText(vm, v) + SJ("はオブジェクトではないため、メンバ変数") + name +
                     SJ("を参照できません"));
}
[[noreturn]] void NotObjectForCall(const TVirtualMachine& vm, const TScriptValue& v,
                                   const std::string& name) {
  throw EScriptError(ValToText(vm, v) + SJ("はオブジェクトではないため、メソッド") + name +
                     SJ("を呼び出せません"));
}
[[noreturn]] void NativeNotCallable(const TFunction* f) {
  throw EScriptError(SJ("Native関数") + f->GetName() + SJ("は呼び出せません"));
}
[[noreturn]] void NotAnArray() { throw EScriptError(SJ("inの後ろの値が配列でありません")); }

TFunction* FunctionOperand(const TVirtualMachine& vm, int32_t handle) {
  THostObject* h = vm.Hosts().Find(static_cast<uint32_t>(handle));
  if (!h || h->HostKind() != THostKind::Function) Malformed();
  return static_cast<TFunction*>(h);
}
TRTTI* ClassOperand(const TVirtualMachine& vm, int32_t handle) {
  THostObject* h = vm.Hosts().Find(static_cast<uint32_t>(handle));
  if (!h || h->HostKind() != THostKind::Class) Malformed();
  return static_cast<TRTTI*>(h);
}

// Keeps the debugger's step allowance over nested work (object and string creation may run
// destructors in processes of their own).
struct TBudgetKeeper {
  explicit TBudgetKeeper(TRunState& rs) : budget(rs.GlobalBudget), saved(rs.GlobalBudget) {}
  ~TBudgetKeeper() { budget = saved; }
  int32_t& budget;
  int32_t saved;
};

// Releases and clears the cells [from, to).
void DropCells(TScriptValue* from, TScriptValue* to) {
  for (TScriptValue* cell = from; cell < to; ++cell) {
    TScriptValue old = *cell;
    ClearCell(*cell);
    Release(old);
  }
}

inline long double Wide(const TScriptValue& v) {
  return v.Tag == vkInt ? static_cast<long double>(v.Int) : static_cast<long double>(v.Float);
}

// The compound assignments: B combined into the target t of the pointer (B's unit is taken).
template <bool kSubtract>
void CombineInto(TScriptValue& t, const TScriptValue& b) {
  const bool bNum = b.Tag == vkInt || b.Tag == vkFloat;
  switch (t.Tag) {
    case vkInt:
      if (b.Tag == vkInt) {
        const uint32_t x = static_cast<uint32_t>(t.Int), y = static_cast<uint32_t>(b.Int);
        t.Int = static_cast<int32_t>(kSubtract ? x - y : x + y);
      } else if (b.Tag == vkFloat) {
        t = FloatValue(static_cast<float>(kSubtract ? Wide(t) - Wide(b) : Wide(t) + Wide(b)));
      } else {
        Release(b);
      }
      return;
    case vkFloat:
      if (bNum)
        t.Float = static_cast<float>(kSubtract ? Wide(t) - Wide(b) : Wide(t) + Wide(b));
      else
        Release(b);
      return;
    case vkObject: Release(b); return;
    default:
      // A null, pointer or host target takes B itself (its unit moves in), for += and -=.
      if (b.Tag == vkRef) Malformed();
      t = b;
      return;
  }
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"

void Execute(TProcess* p) {
  TVirtualMachine& vm = p->Vm();
  TRunState& rs = vm.RunState();
  TScriptValue* sp = p->SP;
  const uint8_t* ip = p->IP;
  TFrame* frame = p->Frame;
  TScriptValue* thisCell = p->ThisCell;
  TScriptValue* opTop = frame ? frame->OperandTop() : nullptr;
  TScriptValue* const limit = p->StackLimit();

  static const void* const kLabels[kOpcodeCount] = {
#define KELVO_LABEL(name, number, length, text, form) &&L_##name,
      KELVO_INSTRUCTIONS(KELVO_LABEL)
#undef KELVO_LABEL
  };

#define SYNC() (p->SP = sp, p->IP = ip)
#define RELOAD()                                      \
  do {                                                \
    sp = p->SP;                                       \
    ip = p->IP;                                       \
    frame = p->Frame;                                 \
    thisCell = p->ThisCell;                           \
    opTop = frame ? frame->OperandTop() : nullptr;    \
  } while (0)
#define NEED(n) \
  if (sp + (n) > opTop) [[unlikely]] Malformed()
#define ROOM() \
  if (sp <= limit) [[unlikely]] ThrowStackOverflow()
#define DISPATCH()                                                     \
  do {                                                                 \
    if (p->Budget <= 0) goto done;                                     \
    --p->Budget;                                                       \
    const uint32_t op_ = static_cast<uint32_t>(Word(ip, 0));           \
    if (op_ >= static_cast<uint32_t>(kOpcodeCount)) goto invalid;      \
    goto* kLabels[op_];                                                \
  } while (0)
#define COUNT_OK(n) \
  if ((n) < 0 || sp + (n) >= opTop) [[unlikely]] Malformed()
#define CALL(n, function, returnIP)               \
  do {                                            \
    SYNC();                                       \
    EnterCall(p, (n), (function), (returnIP));    \
    RELOAD();                                     \
    DISPATCH();                                   \
  } while (0)

  try {
    DISPATCH();

  L_Op_Pop: {
    NEED(1);
    TScriptValue v = *sp++;
    Release(v);
    ip += 4;
    DISPATCH();
  }
  L_Op_Push: {
    ROOM();
    TScriptValue v;
    const uint8_t tag = ip[4];
    if (tag <= vkFloat && !(ip[5] | ip[6] | ip[7])) {
      v.Tag = tag;
      if (tag) v.Int = Word(ip, 2);
    } else {
      v = DecodeValue(vm, ip + 4);
      AddRef(v);  // an object operand is counted like every stack cell
    }
    *--sp = v;
    ip += 12;
    DISPATCH();
  }
  L_Op_PushString: {
    ROOM();
    const int32_t n = Word(ip, 1);
    const char* text = reinterpret_cast<const char*>(ip + 8);
    SYNC();
    TInstance* s;
    {
      TBudgetKeeper keep(rs);
      s = NewString(vm, std::string_view(text, strnlen(text, static_cast<size_t>(n))));
    }
    *--sp = UncountedObjectValue(s);
    AddRef(*sp);
    ip += 8 + n;
    DISPATCH();
  }
  L_Op_PushThis: {
    ROOM();
    *--sp = *thisCell;
    AddRef(*sp);
    ip += 4;
    DISPATCH();
  }
  L_Op_SMemberValPtr: {
    NEED(1);
    const int32_t slot = Word(ip, 1);
    const TScriptValue obj = *sp;
    if (obj.Tag != vkObject || !obj.Object) NotObjectForMember(vm, obj, std::to_string(slot));
    *sp = RefValue(&TRTTI::MemberAt(*obj.Object, slot));
    Release(obj);
    ip += 8;
    DISPATCH();
  }
  L_Op_DMemberValPtr: {
    NEED(1);
    const int32_t symbol = Word(ip, 1);
    const TScriptValue obj = *sp;
    if (obj.Tag != vkObject || !obj.Object)
      NotObjectForMember(vm, obj, vm.Symbols().SymbolText(symbol));
    int32_t hint = Word(ip, 2);
    TScriptValue& member = TRTTI::MemberCell(*obj.Object, symbol, hint);
    StoreWord(ip, 2, hint);
    *sp = RefValue(&member);
    Release(obj);
    ip += 12;
    DISPATCH();
  }
  L_Op_LocalValPtr: {
    ROOM();
    const int32_t index = Word(ip, 1);
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(frame->LocalCount))
      throw EListIndexError(index);
    *--sp = RefValue(frame->Local0() - index);
    ip += 8;
    DISPATCH();
  }
  L_Op_ArgValPtr: {
    ROOM();
    const int32_t index = Word(ip, 1);
    TScriptValue* target;
    if (static_cast<uint32_t>(index) < static_cast<uint32_t>(frame->ArgCount)) {
      target = thisCell - 1 - index;
    } else {
      SetNull(rs.MissingArgCell);
      target = &rs.MissingArgCell;
    }
    *--sp = RefValue(target);
    ip += 8;
    DISPATCH();
  }
  L_Op_PushThis_SMemberValPtr: {
    ROOM();
    const int32_t slot = Word(ip, 2);
    if (thisCell->Tag != vkObject || !thisCell->Object)
      NotObjectForMember(vm, *thisCell, std::to_string(slot));
    TScriptValue* member = &TRTTI::MemberAt(*thisCell->Object, slot);
    *--sp = RefValue(member);
    ip += 12;
    DISPATCH();
  }
  L_Op_PushThis_SMemberValPtr_Deref: {
    ROOM();
    const int32_t slot = Word(ip, 2);
    if (thisCell->Tag != vkObject || !thisCell->Object)
      NotObjectForMember(vm, *thisCell, std::to_string(slot));
    const TScriptValue v = TRTTI::MemberAt(*thisCell->Object, slot);
    *--sp = v;
    AddRef(v);
    ip += 16;
    DISPATCH();
  }
  L_Op_DMemberValPtr_Deref: {
    NEED(1);
    const int32_t symbol = Word(ip, 1);
    const TScriptValue obj = *sp;
    if (obj.Tag != vkObject || !obj.Object)
      NotObjectForMember(vm, obj, vm.Symbols().SymbolText(symbol));
    int32_t hint = Word(ip, 2);
    const TScriptValue v = TRTTI::MemberCell(*obj.Object, symbol, hint);
    StoreWord(ip, 2, hint);
    *sp = v;
    AddRef(v);
    Release(obj);
    ip += 16;
    DISPATCH();
  }
  L_Op_LocalValPtr_Deref: {
    ROOM();
    const int32_t index = Word(ip, 1);
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(frame->LocalCount))
      throw EListIndexError(index);
    const TScriptValue v = frame->Local0()[-index];
    *--sp = v;
    AddRef(v);
    ip += 12;
    DISPATCH();
  }
  L_Op_ArgValPtr_Deref: {
    ROOM();
    const int32_t index = Word(ip, 1);
    TScriptValue v;
    if (static_cast<uint32_t>(index) < static_cast<uint32_t>(frame->ArgCount)) v = thisCell[-1 - index];
    *--sp = v;
    AddRef(v);
    ip += 12;
    DISPATCH();
  }
  L_Op_Push_Deref: {
    ROOM();
    TScriptValue v = DecodeValue(vm, ip + 4);
    if (v.Tag == vkRef) v = *v.Ref;
    *--sp = v;
    AddRef(v);
    ip += 16;
    DISPATCH();
  }
  L_Op_DCall: {
    const int32_t n = Word(ip, 1);
    COUNT_OK(n);
    const int32_t symbol = Word(ip, 2);
    const TScriptValue& receiver = sp[n];
    if (receiver.Tag != vkObject || !receiver.Object)
      NotObjectForCall(vm, receiver, vm.Symbols().SymbolText(symbol));
    int32_t hint = Word(ip, 3);
    TFunction* f = receiver.Object->Class->FindMethod(symbol, hint);
    StoreWord(ip, 3, hint);
    if (!f)
      throw EScriptError(SJ("メソッド") + vm.Symbols().SymbolText(symbol) + SJ("は定義されていません"));
    if (f->IsNative()) NativeNotCallable(f);
    CALL(n, static_cast<TNormalFunction*>(f), ip + 16);
  }
  L_Op_SCall: {
    const int32_t n = Word(ip, 1);
    COUNT_OK(n);
    const int32_t index = Word(ip, 2);
    const TScriptValue& receiver = sp[n];
    if (receiver.Tag != vkObject || !receiver.Object)
      NotObjectForCall(vm, receiver, std::to_string(index));
    TFunction* f = receiver.Object->Class->MethodAt(index);
    if (f->IsNative()) NativeNotCallable(f);
    CALL(n, static_cast<TNormalFunction*>(f), ip + 12);
  }
  L_Op_SuperCall: {
    const int32_t n = Word(ip, 1);
    COUNT_OK(n);
    TFunction* f = FunctionOperand(vm, Word(ip, 2));
    if (f->IsNative()) NativeNotCallable(f);
    CALL(n, static_cast<TNormalFunction*>(f), ip + 12);
  }
  L_Op_NativeCall: {
    const int32_t n = Word(ip, 1);
    COUNT_OK(n);
    TFunction* f = FunctionOperand(vm, Word(ip, 2));
    if (!f->IsNative()) Malformed();
    TScriptValue* result = sp + n;
    // The arguments stay in their cells below the result cell while the callback runs.
    p->SP = result;
    p->IP = ip;
    try {
      static_cast<TNativeFunction*>(f)->Call(*result, n);
    } catch (...) {
      DropCells(sp, result);
      sp = result;
      throw;
    }
    DropCells(sp, result);
    sp = result;
    ip += 12;
    DISPATCH();
  }
  L_Op_Constructor: {
    const int32_t n = Word(ip, 1);
    COUNT_OK(n);
    TRTTI* cls = ClassOperand(vm, Word(ip, 2));
    TScriptValue* receiver = sp + n;
    SYNC();
    TInstance* inst;
    {
      TBudgetKeeper keep(rs);
      inst = cls->NewInstance();
    }
    SetObject(*receiver, inst);  // the placeholder holds no reference: count 1
    TFunction* ctor = cls->ConstructorOf();
    if (!ctor) {
      // No constructor: the new object is the value, the arguments are dropped.
      DropCells(sp, receiver);
      sp = receiver;
      ip += 12;
      DISPATCH();
    }
    CALL(n, static_cast<TNormalFunction*>(ctor), ip + 12);
  }

#define KELVO_ARITH(label, fn, intExpr)                                     \
  label : {                                                                 \
    NEED(2);                                                                \
    TScriptValue& a = sp[1];                                                \
    TScriptValue& b = sp[0];                                                \
    if (a.Tag == vkInt && b.Tag == vkInt) {                                 \
      const uint32_t x = static_cast<uint32_t>(a.Int);                      \
      const uint32_t y = static_cast<uint32_t>(b.Int);                      \
      a.Int = static_cast<int32_t>(intExpr);                                \
    } else {                                                                \
      SYNC();                                                               \
      fn(vm, a, b);                                                         \
    }                                                                       \
    ++sp;                                                                   \
    ip += 4;                                                                \
    DISPATCH();                                                             \
  }
  L_Op_Add: {
    NEED(2);
    TScriptValue& a = sp[1];
    TScriptValue& b = sp[0];
    if (a.Tag == vkInt && b.Tag == vkInt) {
      a.Int = static_cast<int32_t>(static_cast<uint32_t>(a.Int) + static_cast<uint32_t>(b.Int));
    } else {
      SYNC();
      if (a.Tag == vkObject) {
        TBudgetKeeper keep(rs);
        ValAdd(vm, a, b);
      } else {
        ValAdd(vm, a, b);
      }
    }
    ++sp;
    ip += 4;
    DISPATCH();
  }
    KELVO_ARITH(L_Op_Sub, ValSub, x - y)
    KELVO_ARITH(L_Op_Mul, ValMul, x * y)
  L_Op_Div: {
    NEED(2);
    SYNC();
    ValDiv(vm, sp[1], sp[0]);
    ++sp;
    ip += 4;
    DISPATCH();
  }
  L_Op_Mod: {
    NEED(2);
    SYNC();
    ValMod(vm, sp[1], sp[0]);
    ++sp;
    ip += 4;
    DISPATCH();
  }
#undef KELVO_ARITH

#define KELVO_COMPARE(label, test)                                                        \
  label : {                                                                               \
    NEED(2);                                                                              \
    const TScriptValue a = sp[1];                                                         \
    const TScriptValue b = sp[0];                                                         \
    float d;                                                                              \
    if (a.Tag == vkInt && b.Tag == vkInt) {                                               \
      /* ValCompare's rule for two integers: the wrapped 32-bit difference */             \
      d = static_cast<float>(                                                             \
          static_cast<int32_t>(static_cast<uint32_t>(a.Int) - static_cast<uint32_t>(b.Int))); \
      ++sp;                                                                               \
    } else {                                                                              \
      ClearCell(sp[0]);                                                                   \
      ClearCell(sp[1]);                                                                   \
      ++sp;                                                                               \
      Release(a);                                                                         \
      Release(b);                                                                         \
      d = ValCompare(vm, a, b);                                                           \
    }                                                                                     \
    *sp = FloatValue((test) ? 1.0f : 0.0f);                                               \
    ip += 4;                                                                              \
    DISPATCH();                                                                           \
  }
    KELVO_COMPARE(L_Op_GT, d > 0)
    KELVO_COMPARE(L_Op_GTE, d >= 0)
    KELVO_COMPARE(L_Op_LT, d < 0)
    KELVO_COMPARE(L_Op_LTE, d <= 0)
    KELVO_COMPARE(L_Op_EQ, d == 0)
    KELVO_COMPARE(L_Op_NEQ, d != 0)
#undef KELVO_COMPARE

  L_Op_And:
  L_Op_Or: {
    ip += 4;
    DISPATCH();
  }
  L_Op_Is: {
    NEED(1);
    TRTTI* cls = ClassOperand(vm, Word(ip, 1));
    const TScriptValue old = *sp;
    *sp = IntValue(ValIsA(old, cls));
    Release(old);
    ip += 8;
    DISPATCH();
  }
  L_Op_Not: {
    NEED(1);
    const TScriptValue old = *sp;
    *sp = IntValue(ValIsTrue(old) ? 0 : 1);
    Release(old);
    ip += 4;
    DISPATCH();
  }
  L_Op_Neg: {
    NEED(1);
    ValNeg(*sp);
    ip += 4;
    DISPATCH();
  }
  L_Op_Subst: {
    NEED(2);
    TScriptValue& a = sp[1];
    const TScriptValue b = sp[0];
    if (a.Tag != vkRef || b.Tag == vkRef) Malformed();
    TScriptValue* target = a.Ref;
    const TScriptValue old = *target;
    *target = b;  // B's unit moves into the target
    a = b;        // the value of the assignment, one more unit
    AddRef(b);
    ++sp;
    Release(old);
    ip += 4;
    DISPATCH();
  }
  L_Op_AddSubst:
  L_Op_SubSubst: {
    NEED(2);
    if (sp[1].Tag != vkRef) Malformed();
    const TScriptValue b = sp[0];
    ClearCell(sp[0]);
    ++sp;
    if (Word(ip, 0) == Op_SubSubst) CombineInto<true>(*sp->Ref, b);
    else CombineInto<false>(*sp->Ref, b);
    ip += 4;
    DISPATCH();
  }
  L_Op_Deref: {
    NEED(1);
    if (sp->Tag == vkRef) {
      *sp = *sp->Ref;
      AddRef(*sp);
    }
    ip += 4;
    DISPATCH();
  }
  L_Op_Jump: {
    ip += Word(ip, 1);
    DISPATCH();
  }
  L_Op_JumpZero: {
    NEED(1);
    const TScriptValue v = *sp;
    ClearCell(*sp);
    ++sp;
    const bool truth = ValIsTrue(v);
    Release(v);
    ip += truth ? 8 : Word(ip, 1);
    DISPATCH();
  }
  L_Op_Jump_And: {
    NEED(1);
    if (!ValIsTrue(*sp)) {
      ip += Word(ip, 1);
    } else {
      const TScriptValue v = *sp;
      ClearCell(*sp);
      ++sp;
      Release(v);
      ip += 8;
    }
    DISPATCH();
  }
  L_Op_Jump_Or: {
    NEED(1);
    if (ValIsTrue(*sp)) {
      ip += Word(ip, 1);
    } else {
      const TScriptValue v = *sp;
      ClearCell(*sp);
      ++sp;
      Release(v);
      ip += 8;
    }
    DISPATCH();
  }
  L_Op_Ret: {
    SYNC();
    ReturnFromCall(p);
    RELOAD();
    DISPATCH();
  }
  L_Op_InitForIn: {
    NEED(2);
    const TScriptValue x = *sp;
    if (x.Tag != vkObject || !x.Object || !rs.ArrayClass ||
        !x.Object->Class->IsSubclassOf(rs.ArrayClass))
      NotAnArray();
    const TScriptValue list = TRTTI::MemberAt(*x.Object, rs.ArrayListSlot);
    ROOM();
    *--sp = list;  // not counted: the list is a host reference
    *--sp = IntValue(0);
    ip += 4;
    DISPATCH();
  }
  L_Op_DoForIn: {
    NEED(4);
    const int32_t i = ValToInt(sp[0]);
    TElementList* list = HostIf<TElementList>(vm.Hosts(), sp[1]);
    if (!list) NotAnArray();
    if (sp[3].Tag != vkRef) Malformed();
    if (i >= 0 && static_cast<size_t>(i) < list->Count()) {
      CopyVal(*sp[3].Ref, list->At(i));
      SetInt(sp[0], i + 1);
      ip += 8;
    } else {
      ip += Word(ip, 1);
    }
    DISPATCH();
  }
  L_Op_ClearForIn: {
    NEED(4);
    const TScriptValue collection = sp[2];
    const TScriptValue pointer = sp[3];
    for (int k = 0; k < 4; ++k) ClearCell(sp[k]);
    sp += 4;
    Release(collection);
    Release(pointer);
    ip += 4;
    DISPATCH();
  }
  L_Op_Point: {
    p->Point.Words[0] = static_cast<uint32_t>(Word(ip, 1));
    p->Point.Words[1] = static_cast<uint32_t>(Word(ip, 2));
    p->Point.Words[2] = static_cast<uint32_t>(Word(ip, 3));
    ip += 16;
    DISPATCH();
  }
  L_Op_Halt: {
    Halt(p);  // IP stays at the Op_Halt
    goto done;
  }
  invalid:
    // Not executed; IP stays, and the process spends its whole budget here.
    p->Budget = 0;
  done:
    SYNC();
  } catch (...) {
    SYNC();
    throw;
  }

#undef SYNC
#undef RELOAD
#undef NEED
#undef ROOM
#undef DISPATCH
#undef COUNT_OK
#undef CALL
}

#pragma GCC diagnostic pop

}  // namespace kelvo
