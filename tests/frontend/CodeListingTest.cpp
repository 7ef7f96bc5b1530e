#include "frontend/CodeListing.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "frontend/CodeBuilder.h"
#include "frontend/Instructions.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

class FakeNames : public TListingNames {
 public:
  std::string CellText(uint8_t tag, uint32_t payload) const override {
    return "cell" + std::to_string(tag) + ":" + std::to_string(payload);
  }
  std::string SymbolName(uint32_t s) const override { return "sym" + std::to_string(s); }
  std::string FunctionName(uint32_t f) const override { return "fn" + std::to_string(f); }
  std::string ClassIdentity(uint32_t c) const override { return "C@" + std::to_string(c); }
  std::string ClassName(uint32_t c) const override { return "C" + std::to_string(c); }
};

using Code = testing::CodeBuilder;

std::vector<std::string> List(const Code& code) {
  std::vector<std::string> lines;
  ListCode(code.bytes.data(), code.bytes.size(), FakeNames(), lines);
  return lines;
}

TEST(Instructions, TableMatchesNumberingAndLengths) {
  EXPECT_EQ(kOpcodeCount, 49);
  EXPECT_EQ(OpcodeName(0), "Op_Pop");
  EXPECT_EQ(OpcodeName(13), "Op_Push_Deref");
  EXPECT_EQ(OpcodeName(48), "Op_Halt");
  EXPECT_EQ(OpcodeName(49), "Invalid Code");
  EXPECT_EQ(OpcodeName(-1), "Invalid Code");
  // PushString sizes: the text and its zero always fit in a multiple of four bytes.
  EXPECT_EQ(8 + PushStringTextBytes(0), 12u);
  EXPECT_EQ(8 + PushStringTextBytes(3), 12u);
  EXPECT_EQ(8 + PushStringTextBytes(4), 16u);
  Code c;
  c.PushString("abcd");
  EXPECT_EQ(InstructionLength(c.bytes.data(), c.bytes.size(), 0), 16u);
  EXPECT_EQ(InstructionLength(c.bytes.data(), c.bytes.size() - 1, 0), 0u);  // cut off
}

TEST(CodeListing, EveryOperandForm) {
  Code c;
  c.Op(Op_Push, {0x02, 7})
      .PushString("hi")
      .Op(Op_SMemberValPtr, {3})
      .Op(Op_DMemberValPtr, {5, 0})
      .Op(Op_PushThis_SMemberValPtr, {0, 4})
      .Op(Op_PushThis_SMemberValPtr_Deref, {0, 6, 0})
      .Op(Op_DMemberValPtr_Deref, {9, 0, 0})
      .Op(Op_Push_Deref, {0x04, 1, 0})
      .Op(Op_DCall, {2, 8, 0})
      .Op(Op_SCall, {1, 5})
      .Op(Op_SuperCall, {0, 11})
      .Op(Op_NativeCall, {3, 12})
      .Op(Op_Constructor, {1, 20})
      .Op(Op_Is, {21})
      .Op(Op_Jump, {static_cast<uint32_t>(-16)})
      .Op(Op_DoForIn, {24})
      .Op(Op_InitForIn)
      .Op(Op_Point, {22, 345, 0})
      .Op(Op_Ret)
      .Op(Op_Halt)
      .Op(Op_Pop);  // after the halt: not listed
  const std::vector<std::string> expected = {
      "00000000:Push cell2:7",
      "0000000C:PushString hi",
      "00000018:SMemberValPtr 3",
      "00000020:DMemberValPtr sym5",
      "0000002C:PushThis_SMemberValPtr 4",
      "00000038:PushThis_SMemberValPtr_Deref 6",
      "00000048:DMemberValPtr_Deref 9",
      "00000058:Push_Deref cell4:1",
      "00000068:DCall 2,sym8",
      "00000078:SCall 1,5",
      "00000084:SuperCall 0,fn11",
      "00000090:NativeCall 3,fn12",
      "0000009C:Constructor 1,C@20",
      "000000A8:Is C@21",
      "000000B0:Jump-16",
      "000000B8:DoForin24",
      "000000C0:InitForin",
      "000000C4:Point C22/345",
      "000000D4:Ret",
  };
  EXPECT_EQ(List(c), expected);
}

TEST(CodeListing, HaltOnlyBlockIsEmpty) {
  EXPECT_TRUE(List(Code().Op(Op_Halt)).empty());
  EXPECT_TRUE(List(Code()).empty());
}

TEST(CodeListing, InvalidOrTruncatedCodeStopsWithLinesKept) {
  for (Code bad : {Code().Op(Op_Add).Op(TOpcode(49)), Code().Op(Op_Add).Op(Op_Jump)}) {
    std::vector<std::string> lines;
    try {
      ListCode(bad.bytes.data(), bad.bytes.size(), FakeNames(), lines);
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), SJ("異常な命令が入っています"));
    }
    EXPECT_EQ(lines, std::vector<std::string>{"00000000:Add"});
  }
}

}  // namespace
}  // namespace kelvo
