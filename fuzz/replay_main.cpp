// Driver for fuzz targets built without libFuzzer. It feeds the target every file named on
// the command line (directories are read file by file), then, with "--mutations N", N inputs
// made by randomly flipping, inserting, deleting and truncating bytes of those seeds. The
// random generator has a fixed seed so that a failure can be replayed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::string> readSeeds(const std::vector<std::string>& paths) {
  std::vector<std::string> seeds;
  auto readFile = [&](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  for (const auto& path : paths) {
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) readFile(entry.path());
    } else if (std::filesystem::exists(path)) {
      readFile(path);
    } else {
      std::fprintf(stderr, "no such seed: %s\n", path.c_str());
    }
  }
  if (seeds.empty()) seeds.emplace_back();
  return seeds;
}

void runOne(const std::string& input) {
  // A copy in its own allocation, so that AddressSanitizer sees reads past the end.
  std::vector<uint8_t> bytes(input.begin(), input.end());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

std::string mutate(std::string s, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  int steps = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < steps; ++i) {
    size_t pos = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 4) {
      case 0: if (pos < s.size()) s[pos] = static_cast<char>(byte(rng)); break;
      case 1: s.insert(s.begin() + static_cast<std::ptrdiff_t>(pos), static_cast<char>(byte(rng))); break;
      case 2: if (pos < s.size()) s.erase(pos, 1 + rng() % 4); break;
      case 3: s.resize(pos); break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  long mutations = 0;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--mutations" && i + 1 < argc) mutations = std::atol(argv[++i]);
    else paths.push_back(arg);
  }
  std::vector<std::string> seeds = readSeeds(paths);
  for (const auto& seed : seeds) runOne(seed);
  std::mt19937 rng(12345);
  for (long i = 0; i < mutations; ++i) runOne(mutate(seeds[rng() % seeds.size()], rng));
  std::printf("%zu seeds and %ld mutations ran\n", seeds.size(), mutations);
  return 0;
}
