#include "frontend/Instructions.h"

namespace kelvo {

uint32_t InstructionLength(const uint8_t* code, size_t size, size_t offset) {
  if (offset > size || size - offset < 4) return 0;
  int32_t op = static_cast<int32_t>(ReadCodeWord(code, offset));
  if (!IsValidOpcode(op)) return 0;
  uint64_t length = kInstructions[op].length;
  if (length == 0) {  // Op_PushString: opcode, n, then n bytes of text
    if (size - offset < 8) return 0;
    uint32_t n = ReadCodeWord(code, offset + 4);
    if (n == 0 || n % 4 != 0) return 0;
    length = 8 + static_cast<uint64_t>(n);
  }
  return length <= size - offset ? static_cast<uint32_t>(length) : 0;
}

}  // namespace kelvo
