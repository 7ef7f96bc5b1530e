#pragma once
// Hand assembly of code blocks for tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "frontend/Instructions.h"

namespace kelvo::testing {

class CodeBuilder {
 public:
  CodeBuilder& Word(uint32_t w) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return *this;
  }
  CodeBuilder& Op(TOpcode op, std::initializer_list<uint32_t> operands = {}) {
    Word(op);
    for (uint32_t w : operands) Word(w);
    return *this;
  }
  CodeBuilder& PushString(const std::string& text) {
    uint32_t n = PushStringTextBytes(text.size());
    Word(Op_PushString).Word(n);
    std::string padded = text;
    padded.resize(n, '\0');
    bytes.insert(bytes.end(), padded.begin(), padded.end());
    return *this;
  }
  // The opcode words of the block, in order, skipping operands by the instruction lengths.
  std::vector<int32_t> Opcodes() const {
    std::vector<int32_t> ops;
    for (size_t at = 0; at + 4 <= bytes.size();) {
      uint32_t length = InstructionLength(bytes.data(), bytes.size(), at);
      ops.push_back(static_cast<int32_t>(ReadCodeWord(bytes.data(), at)));
      if (length == 0) break;
      at += length;
    }
    return ops;
  }
  std::vector<uint8_t> bytes;
};

}  // namespace kelvo::testing
