// The definition reader on arbitrary texts. The first byte picks the OnCreateList handler
// (the shipped one, none, or one that answers no node for names beginning with "X"); the
// rest is the lexical text, and after a zero byte the grammar text (the shipped grammar when
// there is none). The component then lexes and parses a small source in both modes.
// Unreadable texts must end in EGrammarError; messages are only collected.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/GrammarError.h"
#include "frontend/GrammarNodes.h"
#include "frontend/TreeText.h"
#include "frontend/Yup.h"
#include "platform/Reporter.h"

namespace {

const char kSource[] = "extends a.b; function f(x) { var y; y = x + 1; return y; }\n"
                       "x = f(g.h(1, \"s\")); if (x) { while (x < 3) x++; } else x = -2;\n";

std::string TryParse(kelvo::TYup& yup, kelvo::TParseMode mode) {
  yup.SetParseMode(mode);
  auto list = yup.Lex(kSource);
  auto tree = yup.Parse(*list);
  return tree ? kelvo::TreeText(*tree) : "-";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> messages;
  kelvo::Reporter reporter;
  reporter.SetMessageBoxSink([&](const std::string& text) { messages.push_back(text); });
  kelvo::TYup yup(reporter);
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t zero = input.find('\0');
  yup.SetLexNodeText(input.substr(0, zero));
  if (zero == std::string::npos)
    yup.SetGramNode(kelvo::ShippedGramNode());
  else
    yup.SetGramNodeText(input.substr(zero + 1));
  switch (data[0] % 3) {
    case 0: yup.SetOnCreateList(kelvo::Yup1CreateList); break;
    case 1: break;
    case 2:
      yup.SetOnCreateList([](kelvo::PResListGetter p) {
        if (p->Name.empty() || p->Name[0] != 'X') kelvo::Yup1CreateList(p);
      });
      break;
  }
  std::string results[2];
  for (int m = 0; m < 2; ++m) {
    try {
      results[m] = TryParse(yup, m == 0 ? kelvo::TParseMode::Memoised : kelvo::TParseMode::Plain);
    } catch (const kelvo::EGrammarError&) {
      results[m] = "error";
    }
  }
  if (results[0] != results[1]) __builtin_trap();
  return 0;
}
