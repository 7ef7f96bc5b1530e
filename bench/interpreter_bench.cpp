// Instructions per second of the interpreter on hand-assembled loops: a local counter to
// ten million with compare and jump, and a loop of method calls.
#include <benchmark/benchmark.h>

#include "../tests/frontend/CodeBuilder.h"
#include "platform/Reporter.h"
#include "vm/Process.h"
#include "vm/ProcessRunner.h"
#include "vm/VirtualMachine.h"

namespace kelvo {
namespace {

using testing::CodeBuilder;

constexpr int32_t kLoopCount = 10000000;

void PushInt(CodeBuilder& c, int32_t i) { c.Op(Op_Push, {vkInt, static_cast<uint32_t>(i)}); }

struct Machine {
  Reporter reporter;
  TVirtualMachine vm{reporter};
  TProcessRunner runner{vm};
  TRTTI* cls = vm.NewClass("Bench");
  Machine() { cls->Compiled = true; }
  // Runs the method to its end; answers the instructions it took.
  int64_t RunToEnd(const char* method, TInstance* inst) {
    TProcess* p = CreateProcess(vm, inst, method);
    int64_t used = 0;
    while (!p->Halted) {
      Run(p, TRunState::kStandardBudget);  // one slice: Used is what it ran
      used += p->Used;
    }
    FreeProcess(p);
    return used;
  }
};

TNormalFunction* AddMethod(Machine& m, const char* name, int args, int locals, CodeBuilder& c) {
  auto* f = m.vm.NewFunction<TNormalFunction>(m.cls, name);
  for (int i = 0; i < args; ++i) f->ArgNames.Add("a" + std::to_string(i));
  for (int i = 0; i < locals; ++i) f->LocalNames.Add("l" + std::to_string(i));
  f->Code = std::make_unique<TCodeBlock>(c.bytes);
  m.cls->AppendMethod(f);
  return f;
}

// i = 0; while (i < N) i += 1;  (the fused forms the optimizer makes)
void BM_CounterLoop(benchmark::State& state) {
  Machine m;
  CodeBuilder c;
  c.Op(Op_LocalValPtr, {0});
  PushInt(c, 0);
  c.Op(Op_Subst).Op(Op_Pop);                       // 0..24
  c.Op(Op_LocalValPtr_Deref, {0, 0});              // 28: loop
  PushInt(c, kLoopCount);  // 40
  c.Op(Op_LT).Op(Op_JumpZero, {44});               // 52, 56 -> 100
  c.Op(Op_LocalValPtr, {0});                       // 64
  PushInt(c, 1);
  c.Op(Op_AddSubst).Op(Op_Pop).Op(Op_Jump, {static_cast<uint32_t>(-64)});  // 92 -> 28
  c.Op(Op_LocalValPtr_Deref, {0, 0}).Op(Op_Ret);  // 100
  AddMethod(m, "count", 0, 1, c);
  TInstance* inst = m.cls->NewInstance();
  int64_t instructions = 0;
  for (auto _ : state) instructions += m.RunToEnd("count", inst);
  state.counters["instr/s"] =
      benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CounterLoop)->Unit(benchmark::kMillisecond);

// for (i = 0; i < N; i += 1) total += this.one(i);
void BM_MethodCalls(benchmark::State& state) {
  Machine m;
  CodeBuilder one;
  one.Op(Op_ArgValPtr_Deref, {0, 0}).Op(Op_Ret);
  AddMethod(m, "one", 1, 0, one);
  const uint32_t oneIndex = static_cast<uint32_t>(m.cls->MethodIndexByName("one"));
  CodeBuilder d;
  d.Op(Op_LocalValPtr, {0});
  PushInt(d, 0);
  d.Op(Op_Subst).Op(Op_Pop);
  const size_t loop = d.bytes.size();
  d.Op(Op_LocalValPtr_Deref, {0, 0});
  PushInt(d, kLoopCount / 10);
  d.Op(Op_LT);
  const size_t exitJump = d.bytes.size();
  d.Op(Op_JumpZero, {0});
  d.Op(Op_LocalValPtr, {1}).Op(Op_PushThis).Op(Op_LocalValPtr_Deref, {0, 0});
  d.Op(Op_SCall, {1, oneIndex}).Op(Op_AddSubst).Op(Op_Pop);
  d.Op(Op_LocalValPtr, {0});
  PushInt(d, 1);
  d.Op(Op_AddSubst).Op(Op_Pop);
  const size_t back = d.bytes.size();
  d.Op(Op_Jump, {static_cast<uint32_t>(static_cast<int32_t>(loop) - static_cast<int32_t>(back))});
  const size_t end = d.bytes.size();
  d.Op(Op_LocalValPtr_Deref, {1, 0}).Op(Op_Ret);
  const uint32_t off = static_cast<uint32_t>(end - exitJump);
  for (int i = 0; i < 4; ++i) d.bytes[exitJump + 4 + i] = static_cast<uint8_t>(off >> (8 * i));
  AddMethod(m, "calls", 0, 2, d);
  TInstance* inst = m.cls->NewInstance();
  int64_t instructions = 0;
  for (auto _ : state) instructions += m.RunToEnd("calls", inst);
  state.counters["instr/s"] =
      benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MethodCalls)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo
