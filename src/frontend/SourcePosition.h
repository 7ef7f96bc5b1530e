#pragma once
// Line and column of a source offset, for error reports that name file, line and column.
#include <cstdint>
#include <string_view>

namespace kelvo {

struct TSourcePosition {
  int32_t Line = 1;    // 1-based; a line ends at each LF (a CR before it belongs to the line)
  int32_t Column = 1;  // 1-based, in characters: a Shift-JIS double-byte character is one
  bool operator==(const TSourcePosition&) const = default;
};

// The position of the character that the byte at `offset` belongs to. Offsets below 0 are
// taken as 0 and offsets past the end as the end of the text (the position after its last
// character), so any offset gives an answer.
TSourcePosition SourcePositionOf(std::string_view source, int64_t offset);

}  // namespace kelvo
