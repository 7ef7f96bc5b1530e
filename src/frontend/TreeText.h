#pragma once
// A one-line printed form of a syntax tree, for tests and debugging: each node is its class
// name with its children in parentheses, each token its text in double quotes, children
// separated by spaces. `a = b;` gives
//   G_ExprS(G_Expr(G_Err(G_LVal(G_LValE("a" G_Err()) G_Err()) "=") G_RVal(...)) ";")
// Inside a token's text, a double quote and a backslash are preceded by a backslash. The
// text stays Shift-JIS bytes.
#include <string>

#include "frontend/ResList.h"

namespace kelvo {

std::string TreeText(const TResList& node);

}  // namespace kelvo
