// Processes: budgets and preemption, suspension, the debugger's step allowance, nested runs
// and their errors, the nesting bound, destructors, the collector with processes as roots,
// the stack text and the counters.
#include <gtest/gtest.h>

#include "platform/ShiftJis.h"
#include "values/Collector.h"
#include "vm/InterpFixture.h"

namespace kelvo {
namespace {

using testing::Asm;
using testing::InterpFixture;

class ProcessTest : public InterpFixture {
 protected:
  ProcessTest() {
    cls = MakeClass("P", {"count", "other"});
    suspend = Native(cls, "suspend", [this](TScriptValue&, int32_t, int32_t) {
      Suspend(vm.RunState().CurrentProcess);
    });
    // Main code: count += 1 forever, five instructions a round.
    Asm loop;
    loop.Mark("top").Op(Op_PushThis_SMemberValPtr, {0, 0}).PushInt(1).Op(Op_AddSubst).Op(Op_Pop);
    loop.JumpTo(Op_Jump, "top");
    Main(cls, loop);
  }
  TRTTI* cls;
  TNativeFunction* suspend;
};

TEST_F(ProcessTest, BudgetsCountInstructionsAndSetPreempted) {
  struct Case {
    int32_t budget;
    int32_t rounds;  // completed count += 1 rounds
  } cases[] = {{10, 2}, {0, 123456 / 5}, {-7, 123456 / 5}, {7, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.budget);
    vm.RunState().Preempted = false;
    TScriptValue obj = NewObject(cls);
    TProcess* p = Start(obj);
    kelvo::Run(p, c.budget);
    // A round's effect lands at its third instruction (AddSubst).
    const int32_t budget = c.budget > 0 ? c.budget : 123456;
    EXPECT_EQ(Member(obj, "count").Int, budget / 5 + (budget % 5 >= 3 ? 1 : 0));
    EXPECT_EQ(p->Used, budget);
    EXPECT_TRUE(vm.RunState().Preempted);
    EXPECT_FALSE(p->Halted);
  }
  // A process that ends within its budget does not preempt.
  vm.RunState().Preempted = false;
  Asm quick;
  quick.PushInt(1).Op(Op_Ret);
  Method(cls, "quick", 0, 0, quick);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "quick"), "1");
  EXPECT_FALSE(vm.RunState().Preempted);
}

TEST_F(ProcessTest, SuspendContinuesAfterTheNativeCall) {
  Asm code;
  code.Op(Op_PushThis_SMemberValPtr, {0, 0}).PushInt(1).Op(Op_Subst).Op(Op_Pop);
  code.Op(Op_PushThis).Op(Op_NativeCall, {0, H(suspend)}).Op(Op_Pop);
  code.Op(Op_PushThis_SMemberValPtr, {0, 0}).PushInt(2).Op(Op_Subst).Op(Op_Pop).Op(Op_Halt);
  Main(cls, code);
  TScriptValue obj = NewObject(cls);
  TProcess* p = Start(obj);
  vm.RunState().Preempted = false;
  kelvo::Run(p, 0);
  EXPECT_TRUE(p->Suspended);
  EXPECT_EQ(p->Used, 6);
  EXPECT_EQ(Text(Member(obj, "count")), "1");
  EXPECT_FALSE(vm.RunState().Preempted);
  EXPECT_EQ(vm.RunState().CurrentProcess, nullptr);
  kelvo::Run(p, 0);
  EXPECT_TRUE(p->Halted);
  EXPECT_EQ(Text(Member(obj, "count")), "2");
  EXPECT_EQ(p->ResultCell, nullptr);  // main code has no result
}

class StepHook : public TDebugStopHook {
 public:
  void Stopped(TVirtualMachine& vm, TProcess& process) override {
    EXPECT_TRUE(vm.RunState().DebugStopped);
    counts.push_back(GetObject(process.StackEnd()[-1])->Members()[0].Int);
    // Step twice more, then run on.
    vm.RunState().GlobalBudget = counts.size() < 3 ? 1 : 123456;
  }
  std::vector<int32_t> counts;
};

TEST_F(ProcessTest, StepAllowanceStopsInTheDebuggerHook) {
  StepHook hook;
  TRunState& rs = vm.RunState();
  rs.DebugHook = &hook;
  rs.GlobalBudget = 1;
  TScriptValue obj = NewObject(cls);
  TProcess* p = Start(obj);
  kelvo::Run(p, 20);
  // One instruction per stop: the third instruction of the loop is the first increment. Each
  // step makes the allowance the rest of the run's budget, so after the third stop lifts the
  // allowance nothing of the run is left.
  EXPECT_EQ(hook.counts, (std::vector<int32_t>{0, 0, 1}));
  EXPECT_EQ(Member(obj, "count").Int, 1);
  EXPECT_EQ(rs.GlobalBudget, 123456);
  EXPECT_FALSE(rs.DebugStopped);

  // Without a hook a spent allowance is lifted and the run goes on.
  rs.DebugHook = nullptr;
  rs.GlobalBudget = 1;
  TScriptValue other = NewObject(cls);
  TProcess* q = Start(other);
  kelvo::Run(q, 20);
  EXPECT_EQ(Member(other, "count").Int, 4);
  EXPECT_EQ(rs.GlobalBudget, 123456);
}

TEST_F(ProcessTest, ErrorInANestedProcessEndsOnlyThatProcess) {
  // exec(obj) runs obj's method "bad" in a process of its own.
  Asm bad;
  bad.PushInt(1).PushInt(0).Op(Op_Mod).Op(Op_Ret);
  Method(cls, "bad", 0, 0, bad);
  TProcess* inner = nullptr;
  TNativeFunction* exec = Native(cls, "exec", [&](TScriptValue& r, int32_t, int32_t) {
    TProcess* outer = vm.RunState().CurrentProcess;
    inner = CreateProcess(vm, GetObject(r), "bad");
    kelvo::Run(inner, 0);
    EXPECT_EQ(vm.RunState().CurrentProcess, outer);
    FreeProcess(inner);
    SetInt(r, 5);
  });
  Asm code;
  code.Op(Op_PushThis).Op(Op_NativeCall, {0, H(exec)}).PushInt(1).Op(Op_Add).Op(Op_Ret);
  Method(cls, "outer", 0, 0, code);
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(Call(obj, "outer"), "6");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Division by zero\n  at P.bad", 0), 0u) << boxes[0];
  EXPECT_EQ(vm.RunState().LiveProcesses, 1);
}

TEST_F(ProcessTest, RunNestingIsBounded) {
  // recurse() runs recurse() of the same object in a new process, without end.
  TNativeFunction* again = Native(cls, "again", [&](TScriptValue& r, int32_t, int32_t) {
    TProcess* p = CreateProcess(vm, GetObject(r), "recurse");
    kelvo::Run(p, 0);
    FreeProcess(p);
  });
  Asm code;
  code.Op(Op_PushThis).Op(Op_NativeCall, {0, H(again)}).Op(Op_Ret);
  Method(cls, "recurse", 0, 0, code);
  TScriptValue obj = NewObject(cls);
  Call(obj, "recurse");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(SjisToUtf8(boxes[0]).rfind("プロセスの実行が深く入れ子になりすぎました", 0), 0u);
  EXPECT_EQ(vm.RunState().RunNesting, 0);
  EXPECT_EQ(vm.RunState().LiveProcesses, 1);
  EXPECT_EQ(obj.Object->RefCount, 2);  // the test's cell and the outer process's result
}

TEST_F(ProcessTest, DestructorRunsWhenTheRecordIsReused) {
  // The destructor copies its object's count into the other object's member.
  TRTTI* keep = MakeClass("Keep", {"seen"});
  TScriptValue witness = NewObject(keep);
  TRTTI* mortal = MakeClass("Mortal", {"id"});
  Asm dtor;
  dtor.Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&witness), 0});
  dtor.Op(Op_DMemberValPtr, {Sym("seen"), 0}).Op(Op_PushThis_SMemberValPtr_Deref, {0, 0, 0});
  dtor.Op(Op_Subst).Op(Op_Pop).PushInt(0).Op(Op_Ret);
  Special<TDestructor>(mortal, "destructor", 0, 0, dtor);
  {
    TScriptValue first = NewObject(mortal);
    SetInt(Member(first, "id"), 41);
    SetNull(first);  // count 0: not finalized yet
  }
  EXPECT_EQ(Text(Member(witness, "seen")), "null");
  TScriptValue second = NewObject(mortal);  // reuses the record: the destructor runs first
  EXPECT_EQ(Text(Member(witness, "seen")), "41");
  EXPECT_EQ(Text(Member(second, "id")), "null");
  EXPECT_EQ(vm.RunState().LiveProcesses, 0);
  vm.Cells().Unregister(&witness);
}

// Roots for the collector: every class, then the one process.
class ProcessRoots : public TGcRoots {
 public:
  ProcessRoots(TVirtualMachine& vm, TProcess* p) : vm_(vm), p_(p) {}
  bool HasRootProcess() const override { return true; }
  void MarkRoots(TCollector& c) override {
    for (TRTTI* cls : vm_.Classes()) c.MarkClass(*cls);
    MarkProcess(c, p_);
  }
  void SweepRoots(TCollector& c) override {
    for (TRTTI* cls : vm_.Classes()) c.SweepClass(*cls);
  }

 private:
  TVirtualMachine& vm_;
  TProcess* p_;
};

TEST_F(ProcessTest, CyclesGoOnlyInASweepAndTheStackKeepsItsObjects) {
  // The root process holds one object in a local; two other objects hold each other.
  TScriptValue held = NewObject(cls);
  TScriptValue a = NewObject(cls), b = NewObject(cls);
  SetObject(Member(a, "other"), b.Object);
  SetObject(Member(b, "other"), a.Object);
  Asm code;
  code.Op(Op_LocalValPtr, {0}).Op(Op_Push_Deref, {vkRef, vm.Cells().HandleOf(&held), 0});
  code.Op(Op_Subst).Op(Op_Pop).Op(Op_PushThis).Op(Op_NativeCall, {0, H(suspend)}).Op(Op_Pop);
  code.PushInt(0).Op(Op_Ret);
  Method(cls, "hold", 0, 1, code);
  TScriptValue root = NewObject(cls);
  TProcess* p = Start(root, "hold");
  kelvo::Run(p, 0);
  ASSERT_TRUE(p->Suspended);
  vm.Cells().Unregister(&held);
  SetNull(held);
  SetNull(a);
  SetNull(b);
  SetNull(root);
  const int64_t before = vm.LiveInstanceCount;
  ProcessRoots roots(vm, p);
  vm.Collector().SetRoots(&roots);
  vm.Collector().CheckAndCollect();
  vm.Collector().SetRoots(nullptr);
  EXPECT_TRUE(vm.Collector().ListObj.empty());  // every count matched the references found
  EXPECT_EQ(vm.LiveInstanceCount, before - 2);  // the cycle went; held and root stay
  std::vector<std::string> lines;
  DumpStack(p, lines);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "stacks");
  EXPECT_EQ(lines[1].substr(0, 2), "P@");  // the receiver of the suspended native call
  EXPECT_EQ(lines[2].substr(0, 2), "P@");  // local 0: the held object
  EXPECT_EQ(lines[3], "args/this 0");
  EXPECT_EQ(lines[4].substr(0, 2), "P@");  // this
  EXPECT_EQ(lines[5], "-----------");
  EXPECT_EQ(lines[6], lines[4]);
}

TEST_F(ProcessTest, CreationNamesAndCounters) {
  TScriptValue obj = NewObject(cls);
  EXPECT_EQ(SjisToUtf8(testing::ErrorOf([&] { CreateProcess(vm, obj.Object, "Constructor"); })),
            "メソッドConstructorは未定義です");
  EXPECT_EQ(SjisToUtf8(testing::ErrorOf([&] { CreateProcess(vm, obj.Object, "suspend"); })),
            "Native関数suspendは呼び出せません");
  const int64_t blocks = vm.Allocator().BlocksHeld();
  TProcess* p = CreateProcess(vm, obj.Object);
  EXPECT_EQ(vm.RunState().LiveProcesses, 1);
  EXPECT_EQ(vm.RunState().LiveStacks, 1);
  EXPECT_EQ(vm.Allocator().BlocksHeld(), blocks + 1);
  EXPECT_EQ(obj.Object->RefCount, 2);
  ReleaseStack(p);
  EXPECT_TRUE(p->Halted);
  EXPECT_EQ(obj.Object->RefCount, 1);
  kelvo::Run(p, 0);  // does nothing
  EXPECT_EQ(Member(obj, "count").Tag, vkNull);
  FreeProcess(p);
  EXPECT_EQ(vm.RunState().LiveProcesses, 0);
  EXPECT_EQ(vm.Allocator().BlocksHeld(), blocks);
}

TEST_F(ProcessTest, AProcessFreedByItsOwnNativeGoesWhenItsRunEnds) {
  TProcess* self = nullptr;
  TNativeFunction* freeSelf = Native(cls, "freeSelf", [&](TScriptValue&, int32_t, int32_t) {
    self = vm.RunState().CurrentProcess;
    FreeProcess(self);
  });
  Asm code;
  code.Op(Op_PushThis).Op(Op_NativeCall, {0, H(freeSelf)}).Op(Op_Pop).PushInt(1).Op(Op_Ret);
  Method(cls, "selfFree", 0, 0, code);
  TScriptValue obj = NewObject(cls);
  TProcess* p = CreateProcess(vm, obj.Object, "selfFree");
  kelvo::Run(p, 0);
  EXPECT_EQ(self, p);
  EXPECT_EQ(vm.RunState().LiveProcesses, 0);
  EXPECT_EQ(obj.Object->RefCount, 1);
}

}  // namespace
}  // namespace kelvo
