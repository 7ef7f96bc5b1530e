// Cost of the path work done for every file the system opens: the string arithmetic on
// system paths, and the mapping to a host path when components must be found ignoring case.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

void BM_ResolveAndRelative(benchmark::State& state) {
  const std::string base = "\\opt\\kelvo\\Usr\\games\\\x95\x5C\x8E\xA6";
  const std::string path = "..\\..\\..\\kernel\\classes\\lang\\Object.kelvo";
  for (auto _ : state) {
    std::string resolved = kelvo::ResolvePath(path, base);
    benchmark::DoNotOptimize(kelvo::RelativePath(resolved, "\\opt\\kelvo"));
  }
}
BENCHMARK(BM_ResolveAndRelative);

// A directory of `state.range(0)` files; the name asked for differs in case from the one on
// disk, so the last component is found by listing the directory.
void BM_ToPosixPathIgnoringCase(benchmark::State& state) {
  char pattern[] = "/tmp/kelvo-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string host = pattern;
  std::filesystem::create_directory(host + "/kernel");
  for (int i = 0; i < state.range(0); ++i)
    std::ofstream(host + "/kernel/file" + std::to_string(i) + ".kelvo") << "x";
  const std::string wanted = kelvo::FromPosixPath(host) + "\\Kernel\\FILE0.KELVO";
  for (auto _ : state) benchmark::DoNotOptimize(kelvo::ToPosixPath(wanted));
  std::filesystem::remove_all(host);
}
BENCHMARK(BM_ToPosixPathIgnoringCase)->Arg(10)->Arg(1000);

}  // namespace
