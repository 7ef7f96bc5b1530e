// Calls of every kind: by name, by table index, super calls, natives and constructors.
#include <gtest/gtest.h>

#include "platform/ShiftJis.h"
#include "vm/InterpFixture.h"

namespace kelvo {
namespace {

using testing::Asm;
using testing::InterpFixture;

class CallTest : public InterpFixture {
 protected:
  CallTest() {
    base = MakeClass("Base", {"v"});
    // Base.describe(a, b) = a * 10 + b; Derived overrides it with a * 100 + b.
    Asm describe;
    describe.Op(Op_ArgValPtr_Deref, {0, 0}).PushInt(10).Op(Op_Mul);
    describe.Op(Op_ArgValPtr_Deref, {1, 0}).Op(Op_Add).Op(Op_Ret);
    baseDescribe = Method(base, "describe", 2, 0, describe);
    // Base.constructor(x): v = x; return this.
    Asm ctor;
    ctor.Op(Op_PushThis_SMemberValPtr, {0, 0}).Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_Subst);
    ctor.Op(Op_Pop).Op(Op_PushThis).Op(Op_Ret);
    Special<TConstructor>(base, "constructor", 1, 0, ctor);
    // sum(...) adds its arguments: the native convention, argument i at ArgAt(result, i).
    sum = Native(base, "sum", [this](TScriptValue& result, int32_t n, int32_t reserved) {
      EXPECT_EQ(reserved, 0);
      int32_t total = 0;
      for (int32_t i = 1; i <= n; ++i) total = total * 10 + ArgAt(result, i).Int;
      EXPECT_EQ(result.Tag, vkObject);  // the receiver is in the result cell
      SetInt(result, total);
    });
    silent = Native(base, "silent", [](TScriptValue&, int32_t, int32_t) {});

    derived = MakeClass("Derived", {}, base);
    Asm over;
    over.Op(Op_ArgValPtr_Deref, {0, 0}).PushInt(100).Op(Op_Mul);
    over.Op(Op_ArgValPtr_Deref, {1, 0}).Op(Op_Add).Op(Op_Ret);
    auto* f = vm.NewFunction<TNormalFunction>(derived, "describe");
    f->ArgNames.Add("a");
    f->ArgNames.Add("b");
    f->Code = over.Done();
    derived->EnterMethod(f);
  }
  // A method of Derived that pushes this and the arguments 3, 4, then the call; Ret.
  std::string CallWith(std::function<void(Asm&)> call) {
    Asm code;
    code.Op(Op_PushThis).PushInt(3).PushInt(4);
    call(code);
    code.Op(Op_Ret);
    static int serial = 0;
    std::string name = "case" + std::to_string(++serial);
    Method(derived, name, 0, 0, code);
    TScriptValue obj = NewObject(derived);
    return Call(obj, name);
  }
  TRTTI* base;
  TRTTI* derived;
  TNormalFunction* baseDescribe;
  TNativeFunction* sum;
  TNativeFunction* silent;
};

TEST_F(CallTest, EveryKindOfCallReachesItsTarget) {
  const int32_t index = base->MethodIndexByName("describe");
  const uint32_t describe = Sym("describe");
  const uint32_t sumH = H(sum), baseH = H(baseDescribe);
  const std::string derivedIdentity = "Derived@" + std::to_string(H(derived));
  struct Case {
    const char* name;
    std::function<void(Asm&)> call;
    std::string result;
  } cases[] = {
      {"by name finds the override", [&](Asm& a) { a.Op(Op_DCall, {2, describe, 0}); }, "304"},
      {"by index reaches the override",
       [&](Asm& a) { a.Op(Op_SCall, {2, static_cast<uint32_t>(index)}); }, "304"},
      {"super call runs the named function", [&](Asm& a) { a.Op(Op_SuperCall, {2, baseH}); }, "34"},
      {"native call", [&](Asm& a) { a.Op(Op_NativeCall, {2, sumH}); }, "34"},
      {"native storing nothing leaves the receiver",
       [&](Asm& a) { a.Op(Op_NativeCall, {2, H(silent)}); }, derivedIdentity},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = CallWith(c.call);
    // The identity text carries the record's handle after "@"; compare the class part.
    if (c.result.find('@') != std::string::npos)
      EXPECT_EQ(text.substr(0, text.find('@')), "Derived");
    else
      EXPECT_EQ(text, c.result);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CallTest, HintsAreWrittenBackIntoTheCode) {
  Asm code;
  code.Op(Op_PushThis).PushInt(1).PushInt(2).Op(Op_DCall, {2, Sym("describe"), 0}).Op(Op_Ret);
  TNormalFunction* f = Method(derived, "hinted", 0, 0, code);
  TScriptValue obj = NewObject(derived);
  EXPECT_EQ(Call(obj, "hinted"), "102");
  const int32_t hint = static_cast<int32_t>(ReadCodeWord(f->Code->Code.data(), 40));
  EXPECT_EQ(hint, derived->MethodIndexByName("describe"));
}

TEST_F(CallTest, ConstructorLeavesTheNewObjectWithOneReference) {
  // new Base(7) stored nowhere: the value of the call is the object, count 1.
  Asm code;
  code.PushFloat(0.0f).PushInt(7).Op(Op_Constructor, {1, H(base)}).Op(Op_Ret);
  Method(derived, "make", 0, 0, code);
  TScriptValue obj = NewObject(derived);
  TProcess* p = Start(obj, "make");
  kelvo::Run(p, 0);
  ASSERT_NE(p->ResultCell, nullptr);
  TInstance* made = GetObject(*p->ResultCell);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Class, base);
  EXPECT_EQ(made->RefCount, 1);
  EXPECT_EQ(Text(made->Members()[0]), "7");
  // A class without a constructor: the new object is the value, the arguments are dropped.
  TRTTI* plain = MakeClass("Plain");
  TScriptValue arg = NewObject(plain);
  Asm bare;
  bare.PushFloat(0.0f).Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&arg), 0});
  bare.Op(Op_Constructor, {1, H(plain)}).Op(Op_Ret);
  Method(derived, "bare", 0, 0, bare);
  TProcess* q = Start(obj, "bare");
  kelvo::Run(q, 0);
  ASSERT_NE(q->ResultCell, nullptr);
  EXPECT_EQ(GetObject(*q->ResultCell)->Class, plain);
  EXPECT_EQ(arg.Object->RefCount, 1);
  vm.Cells().Unregister(&arg);
}

TEST_F(CallTest, DeepRecursionAndStackOverflow) {
  // depth(n) = n <= 0 ? 0 : 1 + depth(n - 1)
  Asm code;
  code.Op(Op_ArgValPtr_Deref, {0, 0}).PushInt(0).Op(Op_LTE).JumpTo(Op_JumpZero, "rec");
  code.PushInt(0).Op(Op_Ret);
  code.Mark("rec").PushInt(1).Op(Op_PushThis).Op(Op_ArgValPtr_Deref, {0, 0}).PushInt(1);
  code.Op(Op_Sub).Op(Op_DCall, {1, Sym("depth"), 0}).Op(Op_Add).Op(Op_Ret);
  Method(base, "depth", 1, 1, code);
  for (int n : {1000, 5000}) {
    SCOPED_TRACE(n);
    Asm start;
    start.Op(Op_PushThis).PushInt(n).Op(Op_DCall, {1, Sym("depth"), 0}).Op(Op_Ret);
    Method(base, "start" + std::to_string(n), 0, 0, start);
    TScriptValue obj = NewObject(base);
    EXPECT_EQ(Call(obj, "start" + std::to_string(n)), std::to_string(n));
    EXPECT_EQ(obj.Object->RefCount, 1);
  }
  EXPECT_TRUE(boxes.empty());

  // Without an end the recursion runs out of stack: a clean run-time error.
  Asm forever;
  forever.Op(Op_PushThis).PushInt(1).Op(Op_DCall, {1, Sym("forever"), 0}).Op(Op_Ret);
  Method(base, "forever", 1, 0, forever);
  TScriptValue obj = NewObject(base);
  TProcess* p = Start(obj, "forever");
  kelvo::Run(p, 0);
  EXPECT_EQ(p->ErrorCode, 2);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(SjisToUtf8(boxes[0]).rfind("スタックがあふれました", 0), 0u);
  EXPECT_EQ(obj.Object->RefCount, 1);  // every frame's this was released

  // Pushing without end overflows the same way.
  Asm pushes;
  pushes.Mark("top").PushInt(1).JumpTo(Op_Jump, "top");
  Main(base, pushes);
  TProcess* q = Start(obj);
  kelvo::Run(q, 1000000);
  EXPECT_EQ(q->ErrorCode, 2);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(SjisToUtf8(boxes[1]).rfind("スタックがあふれました", 0), 0u);
}

}  // namespace
}  // namespace kelvo
