#pragma once
// Helpers shared by the grammar engine tests: a reporter that records message boxes, the
// shipped component, and short printed forms of token lists.
#include <memory>
#include <string>
#include <vector>

#include "frontend/LexList.h"
#include "frontend/LexRule.h"
#include "frontend/Yup.h"
#include "platform/Reporter.h"

namespace kelvo::testing {

struct CapturingReporter {
  CapturingReporter() {
    reporter.SetMessageBoxSink([this](const std::string& text) { messages.push_back(text); });
  }
  Reporter reporter;
  std::vector<std::string> messages;
};

// "NAME:text" for each token, separated by single spaces.
inline std::string TokenText(const TLexList& list) {
  std::string out;
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (i > 0) out += ' ';
    out += list[i]->Rule->Name + ":" + list[i]->Text();
  }
  return out;
}

// Removes comment tokens, as the compile driver does before parsing.
inline void DropComments(TLexList& list) {
  list.RemoveIf([](const TLexElem& e) { return e.Rule->Name == "COMM"; });
}

}  // namespace kelvo::testing
