#pragma once
// Definition texts as lists of lines, and the two texts the system ships: the lexical
// definition (LexNode) and the grammar (GramNode) of the script language.
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

using TDefinitionLines = std::vector<std::string>;

// Splits a text into lines at LF, CR LF or a lone CR; a final line break adds no empty line.
TDefinitionLines SplitDefinitionLines(std::string_view text);

const TDefinitionLines& ShippedLexNode();
const TDefinitionLines& ShippedGramNode();

}  // namespace kelvo
