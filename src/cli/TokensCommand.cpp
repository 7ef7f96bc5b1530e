#include "cli/Commands.h"

#include <cstdio>

namespace kelvo::cli {

int RunTokens(const char* path) {
  std::fprintf(stderr, "kelvo tokens: the lexer is not built into this version yet\n");
  return 2;
}

}  // namespace kelvo::cli
