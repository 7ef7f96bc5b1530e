// kelvo: the player's command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/Commands.h"

namespace {

constexpr const char* kUsage =
    "Usage: kelvo [options] [PAGE]\n"
    "       kelvo tokens FILE.kelvo\n"
    "       kelvo --help | --version\n"
    "\n"
    "Commands:\n"
    "  tokens FILE.kelvo   print the tokens of a class source, one per line:\n"
    "                      the token's definition name, a tab, its text\n"
    "\n"
    "Options:\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string_view command = argv[1];
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("Kelvo System ver %s\n", kelvo::cli::kVersionText);
    return 0;
  }
  if (command == "tokens") {
    if (argc != 3) {
      std::fputs("Usage: kelvo tokens FILE.kelvo\n", stderr);
      return 2;
    }
    return kelvo::cli::RunTokens(argv[2]);
  }
  std::fprintf(stderr, "kelvo: unknown command or option '%s'\n\n%s", argv[1], kUsage);
  return 2;
}
