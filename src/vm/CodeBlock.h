#pragma once
// A compiled code block: the byte array of 32-bit little-endian instruction words that a
// bytecode function or a class's main code runs. The compiled-code information of the front
// end (relink entries, positions) builds on it.
#include <cstdint>
#include <vector>

namespace kelvo {

class TCodeBlock {
 public:
  TCodeBlock() = default;
  explicit TCodeBlock(std::vector<uint8_t> bytes) : Code(std::move(bytes)) {}
  virtual ~TCodeBlock() = default;

  int32_t CodeSize() const { return static_cast<int32_t>(Code.size()); }

  std::vector<uint8_t> Code;
};

}  // namespace kelvo
