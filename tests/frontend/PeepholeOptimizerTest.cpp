#include "frontend/PeepholeOptimizer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "frontend/CodeBuilder.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

using Code = testing::CodeBuilder;

std::vector<int32_t> Optimized(Code code) {
  OptimizeCode(code.bytes.data(), code.bytes.size());
  return code.Opcodes();
}

TEST(PeepholeOptimizer, FusesPointerThenDereference) {
  struct Case { const char* what; Code code; std::vector<int32_t> expected; };
  const Case cases[] = {
      // $g = $g + 1: the target pointer stays, the read is fused.
      {"global update",
       Code().Op(Op_Push, {4, 1}).Op(Op_Push, {4, 1}).Op(Op_Deref).Op(Op_Push, {1, 1})
           .Op(Op_Add).Op(Op_Subst).Op(Op_Halt),
       {Op_Push, Op_Push_Deref, Op_Push, Op_Add, Op_Subst, Op_Halt}},
      // x = this.a reads through the fused triple; this.a = 1 writes through the pair.
      {"member read", Code().Op(Op_PushThis).Op(Op_SMemberValPtr, {2}).Op(Op_Deref).Op(Op_Halt),
       {Op_PushThis_SMemberValPtr_Deref, Op_Halt}},
      {"member target",
       Code().Op(Op_PushThis).Op(Op_SMemberValPtr, {2}).Op(Op_Push, {1, 1}).Op(Op_Subst)
           .Op(Op_Halt),
       {Op_PushThis_SMemberValPtr, Op_Push, Op_Subst, Op_Halt}},
      // x.y with x a local.
      {"local member",
       Code().Op(Op_LocalValPtr, {0}).Op(Op_Deref).Op(Op_DMemberValPtr, {7, 0}).Op(Op_Deref)
           .Op(Op_Halt),
       {Op_LocalValPtr_Deref, Op_DMemberValPtr_Deref, Op_Halt}},
      {"argument", Code().Op(Op_ArgValPtr, {1}).Op(Op_Deref).Op(Op_ArgValPtr, {0}).Op(Op_Halt),
       {Op_ArgValPtr_Deref, Op_ArgValPtr, Op_Halt}},
      {"this alone", Code().Op(Op_PushThis).Op(Op_Deref).Op(Op_Halt),
       {Op_PushThis, Op_Deref, Op_Halt}},
      // A string's text is skipped by its length word, even when it looks like a Deref.
      {"string", Code().PushString(std::string("\x26\0\0\0", 4)).Op(Op_Deref).Op(Op_Halt),
       {Op_PushString, Op_Deref, Op_Halt}},
      // Nothing after the first Op_Halt is touched.
      {"after halt", Code().Op(Op_Halt).Op(Op_LocalValPtr, {0}).Op(Op_Deref),
       {Op_Halt, Op_LocalValPtr, Op_Deref}},
  };
  for (const auto& c : cases) EXPECT_EQ(Optimized(c.code), c.expected) << c.what;
}

TEST(PeepholeOptimizer, RejectsFusedAndInvalidOpcodes) {
  struct Case { Code code; std::string message; int32_t firstOpAfter; };
  const Case cases[] = {
      // A second pass meets the fused instruction of the first; the pair before it stays fused.
      {Code().Op(Op_ArgValPtr, {0}).Op(Op_Deref).Op(Op_LocalValPtr_Deref, {0, 0}).Op(Op_Halt),
       "11", Op_ArgValPtr_Deref},
      {Code().Op(Op_Pop).Op(TOpcode(-2)).Op(Op_Halt), "-2", Op_Pop},
      {Code().Op(Op_Pop).Op(TOpcode(0x1F0)).Op(Op_Halt), "-16", Op_Pop},  // low byte 0xF0
      {Code().Op(Op_Pop).Op(Op_Jump), "39", Op_Pop},                       // cut-off operand
  };
  for (auto c : cases) {
    try {
      OptimizeCode(c.code.bytes.data(), c.code.bytes.size());
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), SJ("異常な命令が入っています:") + c.message);
    }
    EXPECT_EQ(c.code.Opcodes().front(), c.firstOpAfter);
  }
}

}  // namespace
}  // namespace kelvo
