// Parsing time of a statement with calls nested d deep inside an assignment's value:
//   x = f(o.g(f(o.g( ... 1 ... ))));
// Every argument is first parsed as a possible assignment target and then again as a value.
// Memoised parsing stays linear in d; plain parsing doubles its work with each level.
#include <benchmark/benchmark.h>

#include <string>

#include "frontend/Yup.h"
#include "platform/Reporter.h"

namespace {

std::string NestedCalls(int depth) {
  std::string source = "x = ";
  for (int i = 0; i < depth; ++i) source += i % 2 == 0 ? "f(" : "o.g(";
  source += "1";
  source += std::string(depth, ')');
  return source + ";";
}

void ParseNested(benchmark::State& state, kelvo::TParseMode mode) {
  kelvo::Reporter reporter;
  auto yup = kelvo::TYup::CreateShipped(reporter);
  yup->SetParseMode(mode);
  const int depth = static_cast<int>(state.range(0));
  const std::string source = NestedCalls(depth);
  auto tokens = yup->Lex(source.c_str());
  for (auto _ : state) {
    auto tree = yup->Parse(*tokens);
    if (!tree) state.SkipWithError("did not parse");
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetComplexityN(depth);
}

void BM_ParseNestedCallsMemoised(benchmark::State& state) {
  ParseNested(state, kelvo::TParseMode::Memoised);
}
BENCHMARK(BM_ParseNestedCallsMemoised)->DenseRange(5, 40, 5)->Complexity(benchmark::oN);

void BM_ParseNestedCallsPlain(benchmark::State& state) {
  ParseNested(state, kelvo::TParseMode::Plain);
}
BENCHMARK(BM_ParseNestedCallsPlain)->DenseRange(2, 14, 2);

}  // namespace
