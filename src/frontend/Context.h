#pragma once
// TContext: the state of one compilation as it passes through the node compilers. The
// compile driver makes one per source; the node compiler that starts a code block sets its
// writer as Writer and finishes it at the end.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class TFunction;
class TProgWriter;
class TResource;
class TRTTI;

struct TContext {
  TProgWriter* Writer = nullptr;  // the writer of the block being produced (not owned)
  TResource* Root = nullptr;      // the resource tree's root, for dotted-name lookups
  TRTTI* CurClass = nullptr;      // the class being compiled
  TFunction* CurFunc = nullptr;   // the function whose body is compiled; null for main code
  bool LValueMode = false;        // true while an assignment target is compiled
  uint8_t ChainState = 0;         // the state of the name chain being compiled
  TResource* Found = nullptr;     // what the last resource or global lookup resolved to
  int32_t Pass = 0;               // 1 while declarations are collected, 2 for bodies
  std::string FoundName;          // the dotted name text of the last resource value
  std::string_view Source;        // the source text; Source.data() is its first byte
  int32_t Position = 0;           // source offset of the statement being compiled
  // Code positions of the unpatched break jumps of the innermost loop; null outside loops.
  // The loop compiler owns the list and restores the outer one when it is done.
  std::vector<int32_t>* Breaks = nullptr;

  // The source offset of a pointer into Source (token starts), or -1 outside it.
  int32_t OffsetOf(const char* p) const {
    if (!p || p < Source.data() || p > Source.data() + Source.size()) return -1;
    return static_cast<int32_t>(p - Source.data());
  }
};

}  // namespace kelvo
