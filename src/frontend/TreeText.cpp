#include "frontend/TreeText.h"

#include "frontend/LexList.h"

namespace kelvo {

namespace {

void Print(const TResList& node, std::string& out) {
  out += node.ClassName();
  out += '(';
  for (int32_t i = 0; i < node.Count(); ++i) {
    if (i > 0) out += ' ';
    if (node.IsNode(i)) {
      Print(*node.Child(i), out);
      continue;
    }
    out += '"';
    for (char c : node.Token(i)->View()) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  out += ')';
}

}  // namespace

std::string TreeText(const TResList& node) {
  std::string out;
  Print(node, out);
  return out;
}

}  // namespace kelvo
