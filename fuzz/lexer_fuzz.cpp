// Arbitrary bytes through the shipped lexer. Every token must be a non-empty run of bytes
// inside the text before its terminating zero, in order, made by a definition before "*Stop".
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "frontend/LexRule.h"
#include "frontend/Yup.h"
#include "platform/Reporter.h"

namespace {

kelvo::TYup& Shipped() {
  static const kelvo::Reporter reporter;
  static const std::unique_ptr<kelvo::TYup> yup = kelvo::TYup::CreateShipped(reporter);
  return *yup;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // c_str() adds the zero
  kelvo::TYup& yup = Shipped();
  auto tokens = yup.Lex(text.c_str());
  const char* begin = text.c_str();
  const char* end = begin + std::strlen(begin);
  const kelvo::TLexRule& root = *yup.LexTree();
  const char* previous = begin;
  for (int32_t i = 0; i < tokens->Count(); ++i) {
    const kelvo::TLexElem& t = *tokens->Item(i);
    if (t.Start < previous || t.End <= t.Start || t.End > end) __builtin_trap();
    bool known = false;
    for (const auto& def : root.Children) {
      if (def->Name == "*Stop") break;
      known |= def.get() == t.Rule;
    }
    if (!known) __builtin_trap();
    previous = t.End;
  }
  return 0;
}
