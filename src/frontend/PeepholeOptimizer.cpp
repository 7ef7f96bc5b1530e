#include "frontend/PeepholeOptimizer.h"

#include <stdexcept>
#include <string>

#include "frontend/Instructions.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

void WriteOpcode(uint8_t* code, size_t at, TOpcode op) {
  for (int i = 0; i < 4; ++i) code[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(op) >> (8 * i));
}

[[noreturn]] void Invalid(uint32_t opcodeWord) {
  int lowByte = static_cast<int8_t>(opcodeWord & 0xFF);
  throw std::runtime_error(SJ("異常な命令が入っています:") + std::to_string(lowByte));
}

}  // namespace

void OptimizeCode(uint8_t* code, size_t size) {
  // True when the word `distance` bytes after `at` exists and holds `op`.
  auto wordIs = [&](size_t at, size_t distance, TOpcode op) {
    return at + distance + 4 <= size &&
           ReadCodeWord(code, at + distance) == static_cast<uint32_t>(op);
  };
  size_t at = 0;
  while (at + 4 <= size) {
    uint32_t word = ReadCodeWord(code, at);
    int32_t op = static_cast<int32_t>(word);
    if (op == Op_Halt) return;
    if (op == Op_LocalValPtr_Deref || op == Op_ArgValPtr_Deref || op == Op_Push_Deref)
      Invalid(word);
    uint32_t length = InstructionLength(code, size, at);
    if (length == 0) Invalid(word);
    // A fused instruction covers exactly the instructions it replaces.
    auto fuse = [&](TOpcode fused) {
      WriteOpcode(code, at, fused);
      length = kInstructions[fused].length;
    };
    switch (op) {
      case Op_Push:
        if (wordIs(at, 12, Op_Deref)) fuse(Op_Push_Deref);
        break;
      case Op_PushThis:
        if (wordIs(at, 4, Op_SMemberValPtr))
          fuse(wordIs(at, 12, Op_Deref) ? Op_PushThis_SMemberValPtr_Deref
                                        : Op_PushThis_SMemberValPtr);
        break;
      case Op_DMemberValPtr:
        if (wordIs(at, 12, Op_Deref)) fuse(Op_DMemberValPtr_Deref);
        break;
      case Op_LocalValPtr:
        if (wordIs(at, 8, Op_Deref)) fuse(Op_LocalValPtr_Deref);
        break;
      case Op_ArgValPtr:
        if (wordIs(at, 8, Op_Deref)) fuse(Op_ArgValPtr_Deref);
        break;
      default:
        break;
    }
    at += length;
  }
}

}  // namespace kelvo
