// The instructions on hand-assembled code: values, counting, jumps, member and local access,
// compound assignment, for … in, and the errors instructions raise.
#include <gtest/gtest.h>

#include <cstring>

#include "frontend/CodeListing.h"
#include "platform/ShiftJis.h"
#include "vm/InterpFixture.h"
#include "vm/MachineListingNames.h"

namespace kelvo {
namespace {

using testing::Asm;
using testing::InterpFixture;

class InstructionTest : public InterpFixture {
 protected:
  InstructionTest() {
    cls = MakeClass("T", {"m0", "m1"});
    sub = MakeClass("U", {}, cls);
  }
  TRTTI* cls;
  TRTTI* sub;
};

struct ValueCase {
  const char* name;
  int locals;
  std::function<void(Asm&)> body;  // leaves the value on top; Ret follows
  uint8_t tag;
  const char* text;
};

TEST_F(InstructionTest, ValuesOfExpressions) {
  const uint32_t T = H(cls), U = H(sub);
  const uint32_t m1 = Sym("m1");
  TScriptValue global = IntValue(11);
  const uint32_t globalHandle = vm.Cells().HandleOf(&global);

  const std::vector<ValueCase> cases = {
      {"push", 0, [](Asm& a) { a.PushInt(7); }, vkInt, "7"},
      {"add wraps", 0, [](Asm& a) { a.PushInt(INT32_MAX).PushInt(1).Op(Op_Add); }, vkInt,
       "-2147483648"},
      {"int plus float", 0, [](Asm& a) { a.PushInt(1).PushFloat(0.5f).Op(Op_Add); }, vkFloat, "1.5"},
      {"sub", 0, [](Asm& a) { a.PushInt(7).PushInt(10).Op(Op_Sub); }, vkInt, "-3"},
      {"mul", 0, [](Asm& a) { a.PushInt(6).PushInt(7).Op(Op_Mul); }, vkInt, "42"},
      {"inexact div", 0, [](Asm& a) { a.PushInt(7).PushInt(2).Op(Op_Div); }, vkFloat, "3.5"},
      {"exact div", 0, [](Asm& a) { a.PushInt(8).PushInt(2).Op(Op_Div); }, vkInt, "4"},
      {"mod", 0, [](Asm& a) { a.PushInt(7).PushInt(3).Op(Op_Mod); }, vkInt, "1"},
      {"comparison leaves a float", 0,
       [](Asm& a) { a.PushInt(1).PushInt(2).Op(Op_LT).PushInt(1).Op(Op_Add); }, vkFloat, "2"},
      {"GT equal", 0, [](Asm& a) { a.PushInt(2).PushInt(2).Op(Op_GT); }, vkFloat, "0"},
      {"GTE equal", 0, [](Asm& a) { a.PushInt(2).PushInt(2).Op(Op_GTE); }, vkFloat, "1"},
      {"LTE greater", 0, [](Asm& a) { a.PushInt(3).PushInt(2).Op(Op_LTE); }, vkFloat, "0"},
      {"EQ", 0, [](Asm& a) { a.PushInt(2).PushFloat(2).Op(Op_EQ); }, vkFloat, "1"},
      {"NEQ", 0, [](Asm& a) { a.PushInt(2).PushInt(2).Op(Op_NEQ); }, vkFloat, "0"},
      {"EQ of equal strings", 0, [](Asm& a) { a.PushString("ab").PushString("ab").Op(Op_EQ); },
       vkFloat, "1"},
      {"not of 0", 0, [](Asm& a) { a.PushInt(0).Op(Op_Not); }, vkInt, "1"},
      {"not of 5", 0, [](Asm& a) { a.PushInt(5).Op(Op_Not); }, vkInt, "0"},
      {"neg", 0, [](Asm& a) { a.PushInt(5).Op(Op_Neg); }, vkInt, "-5"},
      {"and/or are no-ops", 0, [](Asm& a) { a.PushInt(3).Op(Op_And).Op(Op_Or); }, vkInt, "3"},
      {"0 && b keeps 0", 0,
       [](Asm& a) { a.PushInt(0).JumpTo(Op_Jump_And, "e").PushInt(9).Mark("e"); }, vkInt, "0"},
      {"5 && b gives b", 0,
       [](Asm& a) { a.PushInt(5).JumpTo(Op_Jump_And, "e").PushInt(9).Mark("e"); }, vkInt, "9"},
      {"0 || b gives b", 0,
       [](Asm& a) { a.PushInt(0).JumpTo(Op_Jump_Or, "e").PushInt(9).Mark("e"); }, vkInt, "9"},
      {"5 || b keeps 5", 0,
       [](Asm& a) { a.PushInt(5).JumpTo(Op_Jump_Or, "e").PushInt(9).Mark("e"); }, vkInt, "5"},
      {"jump zero takes the else branch", 0,
       [](Asm& a) {
         a.PushInt(0).JumpTo(Op_JumpZero, "else").PushInt(1).JumpTo(Op_Jump, "e");
         a.Mark("else").PushInt(2).Mark("e");
       },
       vkInt, "2"},
      {"string plus int", 0, [](Asm& a) { a.PushString("ab").PushInt(1).Op(Op_Add); }, vkObject,
       "ab1"},
      {"local store and load", 1,
       [](Asm& a) {
         a.Op(Op_LocalValPtr, {0}).PushInt(4).Op(Op_Subst).Op(Op_Pop);
         a.Op(Op_LocalValPtr_Deref, {0, 0});
       },
       vkInt, "4"},
      {"null += 1", 1, [](Asm& a) { a.Op(Op_LocalValPtr, {0}).PushInt(1).Op(Op_AddSubst).Op(Op_Deref); },
       vkInt, "1"},
      {"null -= 1 stores 1", 1,
       [](Asm& a) { a.Op(Op_LocalValPtr, {0}).PushInt(1).Op(Op_SubSubst).Op(Op_Deref); }, vkInt, "1"},
      {"int += 0.5 becomes float", 1,
       [](Asm& a) {
         a.Op(Op_LocalValPtr, {0}).PushInt(1).Op(Op_Subst).Op(Op_Pop);
         a.Op(Op_LocalValPtr, {0}).PushFloat(0.5f).Op(Op_AddSubst).Op(Op_Deref);
       },
       vkFloat, "1.5"},
      {"int -= int", 1,
       [](Asm& a) {
         a.Op(Op_LocalValPtr, {0}).PushInt(1).Op(Op_Subst).Op(Op_Pop);
         a.Op(Op_LocalValPtr, {0}).PushInt(3).Op(Op_SubSubst).Op(Op_Deref);
       },
       vkInt, "-2"},
      {"member by slot and by name", 0,
       [=](Asm& a) {
         a.Op(Op_PushThis_SMemberValPtr, {0, 1}).PushInt(3).Op(Op_Subst).Op(Op_Pop);
         a.Op(Op_PushThis).Op(Op_DMemberValPtr_Deref, {m1, 0, 0});
       },
       vkInt, "3"},
      {"member pointer by name", 0,
       [=](Asm& a) {
         a.Op(Op_PushThis).Op(Op_DMemberValPtr, {m1, 0}).PushInt(5).Op(Op_Subst).Op(Op_Pop);
         a.Op(Op_PushThis).Op(Op_SMemberValPtr, {1}).Op(Op_Deref);
       },
       vkInt, "5"},
      {"is own class", 0, [=](Asm& a) { a.Op(Op_PushThis).Op(Op_Is, {T}); }, vkInt, "1"},
      {"is subclass", 0, [=](Asm& a) { a.Op(Op_PushThis).Op(Op_Is, {U}); }, vkInt, "0"},
      {"is of a number", 0, [=](Asm& a) { a.PushInt(1).Op(Op_Is, {T}); }, vkInt, "0"},
      {"push deref of a registered cell", 0,
       [=](Asm& a) { a.Op(Op_Push_Deref, {vkRef, globalHandle, 0}); }, vkInt, "11"},
      {"push of a pointer, deref", 0,
       [=](Asm& a) { a.Op(Op_Push, {vkRef, globalHandle}).Op(Op_Deref); }, vkInt, "11"},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    Asm code;
    c.body(code);
    code.Op(Op_Ret);
    Method(cls, c.name, 0, c.locals, code);
    TScriptValue obj = NewObject(cls);
    TProcess* p = Start(obj, c.name);
    kelvo::Run(p, 0);
    ASSERT_TRUE(p->Halted);
    ASSERT_EQ(p->ErrorCode, 0);
    ASSERT_NE(p->ResultCell, nullptr);
    EXPECT_EQ(p->ResultCell->Tag, c.tag);
    EXPECT_EQ(Text(*p->ResultCell), c.text);
  }
  EXPECT_TRUE(boxes.empty());
  vm.Cells().Unregister(&global);
}

TEST_F(InstructionTest, ChainedAssignmentCountsEachHolder) {
  // m0 = m1 = x, with x held by a local: the object ends held by the local and both members.
  TScriptValue x = NewObject(sub);
  Asm code;
  code.Op(Op_PushThis_SMemberValPtr, {0, 0}).Op(Op_PushThis_SMemberValPtr, {0, 1});
  code.Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_Subst).Op(Op_Subst).Op(Op_Pop);
  code.PushInt(0).Op(Op_Ret);
  Method(cls, "assign", 1, 0, code);
  // A caller passing x as argument 0.
  Asm caller;
  caller.Op(Op_PushThis).Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&x), 0});
  caller.Op(Op_DCall, {1, Sym("assign"), 0}).Op(Op_Ret);
  Method(cls, "caller", 0, 0, caller);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "caller"), "0");
  EXPECT_EQ(x.Object->RefCount, 3);  // x itself, m0, m1
  EXPECT_EQ(Member(obj, "m0").Object, x.Object);
  EXPECT_EQ(Member(obj, "m1").Object, x.Object);
  vm.Cells().Unregister(&x);
}

TEST_F(InstructionTest, CountsBalanceOverEveryKindOfAccess) {
  // Every read that copies an object and every pop releases it: after the method returns, the
  // object held by m0 has only the member's reference and the argument's is given back.
  TScriptValue x = NewObject(sub);
  SetObject(Member(x, "m1"), x.Object);  // a self reference: count 2
  Asm code;
  code.Op(Op_PushThis_SMemberValPtr, {0, 0}).Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_Subst).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).Op(Op_Pop);
  code.Op(Op_PushThis).Op(Op_DMemberValPtr_Deref, {Sym("m0"), 0, 0}).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).Op(Op_DMemberValPtr_Deref, {Sym("m1"), 0, 0});
  code.Op(Op_Pop);
  code.Op(Op_ArgValPtr, {0}).Op(Op_Deref).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).PushInt(1).Op(Op_EQ).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).Op(Op_Not).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).Op(Op_Is, {H(sub)}).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).JumpTo(Op_JumpZero, "z").Mark("z");
  code.Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0}).Op(Op_Ret);
  Method(cls, "touch", 1, 0, code);
  Asm caller;
  caller.Op(Op_PushThis).Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&x), 0});
  caller.Op(Op_DCall, {1, Sym("touch"), 0}).Op(Op_Pop).PushInt(0).Op(Op_Ret);
  Method(cls, "caller", 0, 0, caller);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "caller"), "0");
  EXPECT_EQ(x.Object->RefCount, 3);  // x, its own m1, obj's m0
  vm.Cells().Unregister(&x);
}

TEST_F(InstructionTest, ArgumentsAndMissingArguments) {
  // Reading the third of two arguments gives null; writing it changes nothing visible.
  Asm callee;
  callee.Op(Op_ArgValPtr, {2}).PushInt(5).Op(Op_Subst).Op(Op_Pop);
  callee.Op(Op_ArgValPtr_Deref, {2, 0}).JumpTo(Op_Jump_Or, "e");
  callee.Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_ArgValPtr_Deref, {1, 0}).Op(Op_Sub).Mark("e");
  callee.Op(Op_Ret);
  Method(cls, "f", 3, 0, callee);
  Asm caller;
  caller.Op(Op_PushThis).PushInt(10).PushInt(3).Op(Op_DCall, {2, Sym("f"), 0}).Op(Op_Ret);
  Method(cls, "g", 0, 0, caller);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "g"), "7");
  EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : SjisToUtf8(boxes[0]));
}

TEST_F(InstructionTest, ForInVisitsElementsAddedByTheBody) {
  // for (e in arr) { sum += e; if (e == 1) arr.add(5); }
  TScriptValue arr = NewArray({IntValue(1), IntValue(2)});
  Asm code;
  code.Op(Op_LocalValPtr, {0}).Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_InitForIn);
  code.Mark("loop").JumpTo(Op_DoForIn, "end");
  code.Op(Op_LocalValPtr, {1}).Op(Op_LocalValPtr_Deref, {0, 0}).Op(Op_AddSubst).Op(Op_Pop);
  code.Op(Op_LocalValPtr_Deref, {0, 0}).PushInt(1).Op(Op_EQ).JumpTo(Op_JumpZero, "loop");
  code.Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_ArgValPtr_Deref, {0, 0});
  code.Op(Op_DMemberValPtr_Deref, {Sym("_x"), 0, 0}).PushInt(5);
  code.Op(Op_NativeCall, {2, H(arrayAdd)}).Op(Op_Pop).JumpTo(Op_Jump, "loop");
  code.Mark("end").Op(Op_ClearForIn).Op(Op_LocalValPtr_Deref, {1, 0}).Op(Op_Ret);
  Method(cls, "sum", 1, 2, code);
  Asm caller;
  caller.Op(Op_PushThis).Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&arr), 0});
  caller.Op(Op_DCall, {1, Sym("sum"), 0}).Op(Op_Ret);
  Method(cls, "run", 0, 0, caller);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "run"), "8");
  EXPECT_EQ(ListOf(arr).Count(), 3u);
  EXPECT_EQ(arr.Object->RefCount, 1);  // the loop's hold on the array was given back
  EXPECT_TRUE(boxes.empty());
  vm.Cells().Unregister(&arr);
}

TEST_F(InstructionTest, InvalidOpcodeStaysAndSpendsTheBudget) {
  Asm code;
  code.PushInt(1).Op(Op_Pop).Word(99).Op(Op_Halt);
  Main(cls, code);
  TScriptValue obj = NewObject(cls);
  TProcess* p = Start(obj);
  kelvo::Run(p, 50);
  EXPECT_EQ(p->IP - cls->MainCode->Code.data(), 16);
  EXPECT_FALSE(p->Halted);
  EXPECT_EQ(p->Used, 50);
  EXPECT_TRUE(vm.RunState().Preempted);
  kelvo::Run(p, 50);
  EXPECT_EQ(p->IP - cls->MainCode->Code.data(), 16);
}

struct ErrorCase {
  const char* name;
  std::function<void(Asm&)> body;  // main code of the test class; Halt follows
  const char* message;             // UTF-8; the report starts with it
};

TEST_F(InstructionTest, RunTimeErrorsEndOnlyTheirProcess) {
  TNativeFunction* native = Native(cls, "nat", [](TScriptValue&, int32_t, int32_t) {});
  TNativeFunction* failing = Native(cls, "fails", [](TScriptValue&, int32_t, int32_t) {
    throw EScriptError(SJ("ネイティブの失敗"));
  });
  (void)native;
  const std::vector<ErrorCase> cases = {
      {"call on an integer",
       [&](Asm& a) { a.PushInt(3).Op(Op_DCall, {0, Sym("f"), 0}); },
       "3はオブジェクトではないため、メソッドfを呼び出せません"},
      {"no such method", [&](Asm& a) { a.Op(Op_PushThis).Op(Op_DCall, {0, Sym("nothing"), 0}); },
       "メソッドnothingは定義されていません"},
      {"native called by name", [&](Asm& a) { a.Op(Op_PushThis).Op(Op_DCall, {0, Sym("nat"), 0}); },
       "Native関数natは呼び出せません"},
      {"member of a number",
       [&](Asm& a) { a.PushInt(4).Op(Op_DMemberValPtr, {Sym("m0"), 0}); },
       "4はオブジェクトではないため、メンバ変数m0を参照できません"},
      {"member of null", [&](Asm& a) { a.PushNull().Op(Op_DMemberValPtr_Deref, {Sym("m0"), 0, 0}); },
       "nullはオブジェクトではないため、メンバ変数m0を参照できません"},
      {"undefined member",
       [&](Asm& a) { a.Op(Op_PushThis).Op(Op_DMemberValPtr_Deref, {Sym("zz"), 0, 0}); },
       "変数zzは定義されていません"},
      {"for in over a number",
       [&](Asm& a) { a.Op(Op_PushThis_SMemberValPtr, {0, 0}).PushInt(5).Op(Op_InitForIn); },
       "inの後ろの値が配列でありません"},
      {"method index outside the table",
       [&](Asm& a) { a.Op(Op_PushThis).Op(Op_SCall, {0, 77}); }, "List index out of bounds (77)"},
      {"zero divisor", [&](Asm& a) { a.PushInt(1).PushInt(0).Op(Op_Div); }, "Division by zero"},
      {"native that raises", [&](Asm& a) { a.Op(Op_PushThis).PushInt(1).Op(Op_NativeCall, {1, H(failing)}); },
       "ネイティブの失敗"},
      {"pop of an empty stack", [&](Asm& a) { a.Op(Op_Pop); }, "異常な命令が入っています"},
      {"stale class operand", [&](Asm& a) { a.Op(Op_PushThis).Op(Op_Is, {12345}); },
       "異常な命令が入っています"},
      {"local beyond the frame", [&](Asm& a) { a.Op(Op_LocalValPtr, {0}); },
       "List index out of bounds (0)"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    boxes.clear();
    Asm code;
    c.body(code);
    code.Op(Op_Halt);
    Main(cls, code);
    TScriptValue obj = NewObject(cls);
    TProcess* p = Start(obj);
    kelvo::Run(p, 0);
    EXPECT_EQ(p->ErrorCode, 2);
    EXPECT_TRUE(p->Halted);
    EXPECT_TRUE(p->StackReleased);
    EXPECT_EQ(obj.Object->RefCount, 1);  // the stack's references were given back
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(SjisToUtf8(boxes[0]).rfind(c.message, 0), 0u) << SjisToUtf8(boxes[0]);
    EXPECT_NE(boxes[0].find("  at T.main"), std::string::npos);
    // Later runs do nothing.
    kelvo::Run(p, 0);
    EXPECT_EQ(boxes.size(), 1u);
  }
}

TEST_F(InstructionTest, MalformedBlocksAreRefusedBeforeRunning) {
  const std::vector<std::pair<const char*, std::function<void(Asm&)>>> blocks = {
      {"jump outside", [](Asm& a) { a.Op(Op_Jump, {400}).Op(Op_Halt); }},
      {"jump into an operand", [](Asm& a) { a.Op(Op_Jump, {12}).PushInt(1).Op(Op_Halt); }},
      {"falls off the end", [](Asm& a) { a.PushInt(1); }},
      {"truncated instruction", [](Asm& a) { a.Op(Op_Halt).Word(Op_Push).Word(1); }},
      {"jump past an invalid opcode", [](Asm& a) { a.Op(Op_Jump, {12}).Word(77).Op(Op_Halt); }},
      {"empty", [](Asm&) {}},
  };
  TScriptValue obj = NewObject(cls);
  for (auto& [name, build] : blocks) {
    SCOPED_TRACE(name);
    Asm code;
    build(code);
    Main(cls, code);
    EXPECT_EQ(SjisToUtf8(testing::ErrorOf([&] { CreateProcess(vm, obj.Object); })),
              "異常な命令が入っています");
  }
}

TEST_F(InstructionTest, ListingShowsMachineNames) {
  TNativeFunction* nat = Native(cls, "nat", [](TScriptValue&, int32_t, int32_t) {});
  Asm empty;
  empty.Op(Op_Ret);
  TNormalFunction* f = Method(cls, "meth", 0, 0, empty);
  TScriptValue global = IntValue(11);
  const uint32_t cell = vm.Cells().HandleOf(&global);
  Asm code;
  code.Op(Op_Push, {vkRef, cell}).Op(Op_DCall, {2, Sym("draw"), 0});
  code.Op(Op_SuperCall, {1, H(f)}).Op(Op_NativeCall, {0, H(nat)});
  code.Op(Op_Constructor, {0, H(cls)}).Op(Op_Is, {H(sub)}).Op(Op_Point, {H(cls), 42, 0});
  code.Op(Op_Is, {999}).Op(Op_Halt);
  std::vector<std::string> lines;
  TMachineListingNames names(vm);
  ListCode(code.bytes.data(), code.bytes.size(), names, lines);
  const std::string t = "T@" + std::to_string(H(cls)), u = "U@" + std::to_string(H(sub));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "00000000:Push [11]", "0000000C:DCall 2,draw", "0000001C:SuperCall 1,meth",
                       "00000028:NativeCall 0,nat", "00000034:Constructor 0," + t,
                       "00000040:Is " + u, "00000048:Point T/42", "00000058:Is ?"}));
  vm.Cells().Unregister(&global);
}

}  // namespace
}  // namespace kelvo
