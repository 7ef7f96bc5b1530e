// Reading markup with the fast reader must cost time linear in the text: the same list of
// resources with 1k, 10k and 100k elements, flat and nested.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/BRegExp.h"
#include "platform/Reporter.h"
#include "resources/SGML.h"

namespace {

std::string FlatList(int64_t elements) {
  std::string text = "<resourcelist name=\"usr\">\r\n";
  for (int64_t i = 0; i < elements; ++i)
    text += " <globalvalue name=\"$v" + std::to_string(i) + "\" value=\"%3c" +
            std::to_string(i) + "%3e\"/>\r\n";
  return text + "</resourcelist>\r\n";
}

std::string NestedLists(int64_t elements) {
  std::string text;
  for (int64_t i = 0; i < elements; ++i) text += "<resourcelist name=\"l\">";
  for (int64_t i = 0; i < elements; ++i) text += "</resourcelist>";
  return text;
}

template <std::string (*Make)(int64_t)>
void BM_ReadElement(benchmark::State& state) {
  const std::string text = Make(state.range(0));
  for (auto _ : state) {
    const char* cursor = text.c_str();
    auto element = kelvo::TSGML::readElement(cursor);
    benchmark::DoNotOptimize(element.get());
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadElement<FlatList>)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();
BENCHMARK(BM_ReadElement<NestedLists>)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

// The pattern reader on the short texts it is meant for, with the patterns cached.
void BM_ParseElementShort(benchmark::State& state) {
  kelvo::TBRegExp regExp;
  kelvo::Reporter reporter;
  kelvo::TSGMLParser parser(regExp, reporter);
  const std::string text = "<custom name=\"c\" a=\"1\" b=\"%253c\"><item v=\"x\"/><item v=\"y\"/></custom>";
  for (auto _ : state) {
    const char* cursor = text.c_str();
    auto element = parser.parseElement(cursor);
    benchmark::DoNotOptimize(element.get());
  }
}
BENCHMARK(BM_ParseElementShort);

}  // namespace
