#include "frontend/DefinitionText.h"

#include "embedded/GramNode.h"
#include "embedded/LexNode.h"

namespace kelvo {

TDefinitionLines SplitDefinitionLines(std::string_view text) {
  TDefinitionLines lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\n' && c != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

const TDefinitionLines& ShippedLexNode() {
  static const TDefinitionLines lines = SplitDefinitionLines(embedded::LexNode);
  return lines;
}

const TDefinitionLines& ShippedGramNode() {
  static const TDefinitionLines lines = SplitDefinitionLines(embedded::GramNode);
  return lines;
}

}  // namespace kelvo
