#include "frontend/SourcePosition.h"

#include "platform/ShiftJis.h"

namespace kelvo {

TSourcePosition SourcePositionOf(std::string_view source, int64_t offset) {
  if (offset < 0) offset = 0;
  const size_t limit =
      static_cast<uint64_t>(offset) < source.size() ? static_cast<size_t>(offset) : source.size();
  TSourcePosition pos;
  size_t i = 0;
  while (i < limit) {
    const unsigned char b = static_cast<unsigned char>(source[i]);
    if (b == '\n') {
      ++pos.Line;
      pos.Column = 1;
      ++i;
      continue;
    }
    // A lead byte takes its trail byte with it, unless the text ends or a line break follows.
    size_t width = 1;
    if (IsLeadByte(b) && i + 1 < source.size() && source[i + 1] != '\n') width = 2;
    if (i + width > limit) break;  // the offset falls on the trail byte of this character
    ++pos.Column;
    i += width;
  }
  return pos;
}

}  // namespace kelvo
