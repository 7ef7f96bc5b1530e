// Writing a code block of n statements, each a global read, a member write and a call, with a
// position entry per statement: appending is amortised constant time, and grouping the
// information entries costs one search over the block's distinct names per entry. Then saving
// the finished block and loading it back, as class files do.
#include <benchmark/benchmark.h>

#include <string>

#include "frontend/CompiledInfo.h"
#include "frontend/ProgWriter.h"
#include "platform/ByteStream.h"
#include "platform/Reporter.h"
#include "vm/VirtualMachine.h"

namespace {

using namespace kelvo;

std::unique_ptr<TCompiledInfo> WriteBlock(TVirtualMachine& vm, TRTTI& cls, TScriptValue& global,
                                          int statements, int distinctNames) {
  TProgWriter w(vm);
  for (int i = 0; i < statements; ++i) {
    const std::string name = "m" + std::to_string(i % distinctNames);
    w.WritePoint(cls, i * 10);
    w.WritePushThis();
    w.WriteMemberPtr(i % distinctNames, name);
    w.WritePush(RefValue(&global), "$g");
    w.WriteDeref();
    w.WriteOperator("=");
    w.WritePop();
    w.WritePushThis();
    w.WriteDCall(name, 0);
    w.WritePop();
  }
  w.WriteHalt();
  return w.Finish();
}

void WriteCode(benchmark::State& state) {
  Reporter reporter;
  TVirtualMachine vm(reporter);
  TRTTI* cls = vm.NewClass("A", "classes.A");
  TScriptValue global = IntValue(0);
  const int statements = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(WriteBlock(vm, *cls, global, statements, 16));
  state.SetItemsProcessed(state.iterations() * statements);
}
BENCHMARK(WriteCode)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

void SaveAndLoadBlock(benchmark::State& state) {
  Reporter reporter;
  TVirtualMachine vm(reporter);
  TRTTI* cls = vm.NewClass("A", "classes.A");
  TScriptValue global = IntValue(0);
  auto block = WriteBlock(vm, *cls, global, static_cast<int>(state.range(0)), 16);
  for (auto _ : state) {
    TByteWriter out;
    block->Save(out);
    TByteReader in(out.Bytes());
    benchmark::DoNotOptimize(TCompiledInfo::Load(in));
  }
}
BENCHMARK(SaveAndLoadBlock)->Arg(100)->Arg(10000);

}  // namespace
