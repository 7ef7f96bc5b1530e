#pragma once
// One pass over a finished code block that fuses the commonest pointer-then-dereference pairs
// into single instructions. Only opcode words change: every fused instruction is exactly as
// long as what it replaces (the replaced opcodes stay as leftovers the machine skips), so no
// jump offset, information entry or length moves.
#include <cstddef>
#include <cstdint>

namespace kelvo {

// Rewrites `code` in place, up to its first Op_Halt. An invalid opcode, an already fused
// pointer instruction (11, 12, 13), or an instruction running past the end raises
// "異常な命令が入っています:" + the opcode's low byte as a signed decimal; instructions before it stay
// rewritten.
void OptimizeCode(uint8_t* code, size_t size);

}  // namespace kelvo
