#pragma once
// A compiled code block: the byte array of 32-bit little-endian instruction words that a
// bytecode function or a class's main code runs. The compiled-code information of the front
// end (relink entries, positions) builds on it.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

class TCodeBlock {
 public:
  TCodeBlock() = default;
  explicit TCodeBlock(std::vector<uint8_t> bytes) : Code(std::move(bytes)) {}
  virtual ~TCodeBlock() = default;

  int32_t CodeSize() const { return static_cast<int32_t>(Code.size()); }
  // The source position text of a code offset for run-time error traces; "none" when the
  // block knows no positions.
  virtual std::string PositionAt(int32_t offset) const { return "none"; }

  std::vector<uint8_t> Code;
  // Set by the machine once it has checked that the block is safe to run (every instruction
  // complete, every jump landing on an instruction, no way to run past the end). Whoever
  // changes Code after the block has run clears it.
  mutable int8_t CheckState = 0;  // 0 unchecked, 1 sound, -1 malformed
};

}  // namespace kelvo
