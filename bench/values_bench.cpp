// Hot paths of the value cells: counted stores, integer and float arithmetic, string
// concatenation (which creates a string object and reuses pool records), and member lookup
// with a slot hint.
#include <benchmark/benchmark.h>

#include "platform/Reporter.h"
#include "values/Arithmetic.h"
#include "values/Strings.h"
#include "vm/VirtualMachine.h"

namespace {

using namespace kelvo;

// Does what the kernel String class's destructor does: frees the string body.
class BodyFreeingRunner : public TScriptRunner {
 public:
  explicit BodyFreeingRunner(TVirtualMachine& vm) : vm_(vm) {}
  void RunDestructor(TInstance& inst) override {
    if (inst.Class == vm_.StringClass()) FreeStringBody(vm_, inst.Members()[0]);
  }
  void RunGcMark(TInstance&) override {}

 private:
  TVirtualMachine& vm_;
};

struct Machine {
  Machine() {
    str = vm.NewClass("String", "classes.lang.String");
    str->MemberSlot("_body");
    str->AppendMethod(vm.NewFunction<TDestructor>(str, "destructor"));
    str->Compiled = true;
    vm.SetStringClass(str);
    vm.SetRunner(&runner);
    node = vm.NewClass("Node");
    for (const char* m : {"a", "b", "c", "d", "e", "f", "g", "h"}) node->MemberSlot(m);
    node->Compiled = true;
  }
  Reporter reporter;
  TVirtualMachine vm{reporter};
  BodyFreeingRunner runner{vm};
  TRTTI* str;
  TRTTI* node;
};

void BM_CountedCopy(benchmark::State& state) {
  Machine m;
  TScriptValue src, dst;
  SetObject(src, m.node->NewInstance());
  for (auto _ : state) {
    CopyVal(dst, src);
    benchmark::DoNotOptimize(dst);
    SetNull(dst);
  }
}
BENCHMARK(BM_CountedCopy);

void BM_IntAndFloatAdd(benchmark::State& state) {
  Machine m;
  for (auto _ : state) {
    TScriptValue a = IntValue(3), b = IntValue(4), c = FloatValue(0.5f);
    ValAdd(m.vm, a, b);
    ValAdd(m.vm, a, c);
    benchmark::DoNotOptimize(a);
  }
}
BENCHMARK(BM_IntAndFloatAdd);

// Concatenation while `live` other strings are held: the pool scan must not grow with them.
void BM_Concatenate(benchmark::State& state) {
  Machine m;
  std::vector<TScriptValue> held(static_cast<size_t>(state.range(0)));
  for (auto& h : held) SetString(m.vm, h, "held");
  TScriptValue a;
  for (auto _ : state) {
    SetString(m.vm, a, "abc");
    TScriptValue b = IntValue(42);
    ValAdd(m.vm, a, b);
    benchmark::DoNotOptimize(a);
  }
  state.counters["hosts"] = static_cast<double>(m.vm.Hosts().Live());
}
BENCHMARK(BM_Concatenate)->Arg(0)->Arg(1000)->Arg(100000);

void BM_MemberLookupWithHint(benchmark::State& state) {
  Machine m;
  TInstance* inst = m.node->NewInstance();
  const int32_t sym = m.vm.Symbols().SymbolOf("g");
  int32_t hint = -1;
  for (auto _ : state) benchmark::DoNotOptimize(&TRTTI::MemberCell(*inst, sym, hint));
}
BENCHMARK(BM_MemberLookupWithHint);

}  // namespace
