#pragma once
// The check a code block passes before the machine runs it, so that no block, however it was
// made (compiler, class file, hand assembly), makes the interpreter read outside it: every
// instruction lies complete inside the block, every jump lands on the first byte of an
// instruction, and the last instruction is Op_Halt, Op_Ret or Op_Jump, so running cannot go
// past the end. An invalid opcode is allowed (the process stays at it), but no jump may lead
// past it, since what follows cannot be decoded.
#include "vm/CodeBlock.h"

namespace kelvo {

// Raises "異常な命令が入っています" for a malformed block. The verdict is kept in the block.
void CheckCode(const TCodeBlock& block);

}  // namespace kelvo
