#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/Commands.h"
#include "frontend/LexRule.h"
#include "frontend/Yup.h"
#include "platform/Reporter.h"
#include "platform/ShiftJis.h"

namespace kelvo::cli {

namespace {

// A token's text for the terminal: UTF-8, with control bytes (which only a block comment can
// hold) written as \n, \r, \t or \xNN so that every token stays on its own line.
std::string Printable(const std::string& sjis) {
  std::string out;
  for (char c : SjisToUtf8(sjis)) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b != 0x7F) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

}  // namespace

// Reads the whole file; answers false with errno set when it cannot be read.
static bool ReadFile(const char* path, std::string& out) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  const int error = errno;
  std::fclose(f);
  errno = error;
  return ok;
}

int RunTokens(const char* path) {
  std::string source;
  if (!ReadFile(path, source)) {
    std::fprintf(stderr, "kelvo tokens: cannot read %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  Reporter reporter;
  std::unique_ptr<TYup> yup = TYup::CreateShipped(reporter);
  std::unique_ptr<TLexList> tokens = yup->Lex(source.c_str());
  std::string out;
  for (int32_t i = 0; i < tokens->Count(); ++i) {
    const TLexElem& token = *tokens->Item(i);
    out += Printable(token.Rule->Name);
    out += '\t';
    out += Printable(token.Text());
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kelvo::cli
