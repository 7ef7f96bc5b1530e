#include "vm/CodeCheck.h"

#include <vector>

#include "frontend/Instructions.h"
#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"

namespace kelvo {

namespace {

bool IsJump(int32_t op) {
  return op == Op_Jump || op == Op_JumpZero || op == Op_Jump_And || op == Op_Jump_Or ||
         op == Op_DoForIn;
}

bool Sound(const std::vector<uint8_t>& code) {
  const size_t size = code.size();
  std::vector<bool> starts(size + 1, false);
  struct Jump {
    size_t from;
    int64_t target;
  };
  std::vector<Jump> jumps;
  size_t at = 0;
  int32_t last = -1;
  bool stoppedAtInvalid = false;
  while (at < size) {
    if (size - at < 4) return false;
    const int32_t op = static_cast<int32_t>(ReadCodeWord(code.data(), at));
    starts[at] = true;
    if (!IsValidOpcode(op)) {
      stoppedAtInvalid = true;
      break;
    }
    const uint32_t length = InstructionLength(code.data(), size, at);
    if (length == 0) return false;
    if (IsJump(op)) {
      const int32_t offset = static_cast<int32_t>(ReadCodeWord(code.data(), at + 4));
      jumps.push_back({at, static_cast<int64_t>(at) + offset});
    }
    last = op;
    at += length;
  }
  if (at == 0 && !stoppedAtInvalid) return false;  // an empty block
  if (!stoppedAtInvalid && last != Op_Halt && last != Op_Ret && last != Op_Jump) return false;
  for (const Jump& j : jumps)
    if (j.target < 0 || j.target >= static_cast<int64_t>(size) || !starts[j.target]) return false;
  return true;
}

}  // namespace

void CheckCode(const TCodeBlock& block) {
  if (block.CheckState == 0) block.CheckState = Sound(block.Code) ? 1 : -1;
  if (block.CheckState < 0) throw EScriptError(SJ("異常な命令が入っています"));
}

}  // namespace kelvo
