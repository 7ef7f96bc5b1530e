#include "frontend/ProgWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "frontend/CmpError.h"
#include "frontend/CodeListing.h"
#include "frontend/Context.h"
#include "frontend/VmListingNames.h"
#include "platform/ShiftJis.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

class ProgWriterTest : public testing::VmFixture {
 protected:
  ProgWriterTest() {
    charClass = MakeClass("Char", {"x"});
    charClass->FullName = "classes.game.Char";
    ctor = vm.NewFunction<TConstructor>(charClass, "constructor");
    native = vm.NewFunction<TNativeFunction>(charClass, "_n_len");
    global = IntValue(5);
  }

  std::vector<std::string> Listing(const TCompiledInfo& block) {
    std::vector<std::string> lines;
    ListCode(block.Code.data(), block.Code.size(), testing::VmListingNames(vm), lines);
    return lines;
  }
  std::vector<std::string> Dump(const TCompiledInfo& block) {
    std::vector<std::string> lines;
    block.Dump(lines);
    return lines;
  }

  TRTTI* charClass;
  TConstructor* ctor;
  TNativeFunction* native;
  TScriptValue global;
};

TEST_F(ProgWriterTest, GrowsByDoublingAndKeepsWrittenBytes) {
  TProgWriter w(vm);
  EXPECT_EQ(w.Capacity(), 256);
  for (int i = 0; i < 256; ++i) {
    const uint8_t b = static_cast<uint8_t>(i * 7 + 1);
    w.WriteBytes(&b, 1);
  }
  EXPECT_EQ(w.Capacity(), 256);
  const uint8_t last = 0xAB;
  w.WriteBytes(&last, 1);
  EXPECT_EQ(w.Capacity(), 512);
  EXPECT_EQ(w.End(), 257);
  EXPECT_EQ(w.Position(), 257);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(w.Buffer()[i], static_cast<uint8_t>(i * 7 + 1)) << i;
  EXPECT_EQ(w.Buffer()[256], 0xAB);
  for (int i = 257; i < 512; ++i) ASSERT_EQ(w.Buffer()[i], 0) << i;  // the new part is zeroed

  // Several doublings in one run of bytes.
  std::vector<uint8_t> big(1500, 0x11);
  w.WriteBytes(big.data(), big.size());
  EXPECT_EQ(w.Capacity(), 2048);
  EXPECT_EQ(w.End(), 1757);
  EXPECT_EQ(w.Buffer()[256], 0xAB);
}

TEST_F(ProgWriterTest, BackPatchingRewritesInPlaceAndKeepsEnd) {
  TProgWriter w(vm);
  w.WritePushInt(1);
  const int32_t jumpZero = w.Position();
  w.WriteJumpZero(0);  // placeholder, patched once the target is known
  const int32_t over = w.Position();
  w.WriteJump(0);
  w.WritePop();
  const int32_t end = w.End();

  // The documented pattern: set the position, write the jump again, seek to the end.
  w.SetPosition(over);
  w.WriteJump(w.End() - over);
  w.SeekToEnd();
  EXPECT_EQ(w.End(), end);
  EXPECT_EQ(w.Position(), end);

  w.PatchJump(jumpZero, w.End());  // over the Jump and the Pop
  EXPECT_EQ(w.End(), end);
  EXPECT_EQ(w.Position(), end);
  w.WriteHalt();

  auto block = w.Finish();
  EXPECT_EQ(Listing(*block), (std::vector<std::string>{
                                 "00000000:Push 1", "0000000C:JumpZero20", "00000014:Jump12",
                                 "0000001C:Pop"}));
}

TEST_F(ProgWriterTest, ForwardJumpOffsetsCountFromTheJumpItself) {
  TProgWriter w(vm);
  w.WriteJump(0);  // over the next jump: 16
  w.WriteJump(0);  // to the very next instruction: 8
  w.PatchJump(8, 16);
  w.PatchJump(0, 16);
  w.WriteHalt();
  EXPECT_EQ(Listing(*w.Finish()), (std::vector<std::string>{"00000000:Jump16", "00000008:Jump8"}));
}

TEST_F(ProgWriterTest, FinishHandsOverExactlyTheWrittenBytes) {
  TProgWriter w(vm);
  w.WriteLocalPtr(3);
  w.RecordInfo(Op_Pop, "tag");
  auto block = w.Finish();
  ASSERT_EQ(block->CodeSize(), 8);
  EXPECT_EQ(block->Code, (std::vector<uint8_t>{Op_LocalValPtr, 0, 0, 0, 3, 0, 0, 0}));
  ASSERT_EQ(block->Info.Elems().size(), 1u);
  EXPECT_EQ(block->Info.Elems()[0].Addresses, std::vector<int32_t>{8});

  // The writer owns nothing more; using it again is a programming error, not a silent write.
  EXPECT_THROW(w.WritePop(), std::logic_error);
  EXPECT_THROW(w.Finish(), std::logic_error);
}

TEST_F(ProgWriterTest, PositionsOutsideTheBlockAndNonJumpsAreRefused) {
  TProgWriter w(vm);
  w.WritePop();
  w.WriteJump(0);
  EXPECT_THROW(w.SetPosition(-1), std::out_of_range);
  EXPECT_THROW(w.SetPosition(13), std::out_of_range);
  w.SetPosition(12);  // the end itself is fine
  EXPECT_THROW(w.PatchJump(0, 12), std::logic_error);   // a Pop is there
  EXPECT_THROW(w.PatchJump(8, 12), std::logic_error);   // the middle of the jump
  EXPECT_THROW(w.PatchJump(-4, 12), std::logic_error);
  EXPECT_EQ(w.End(), 12);
}

// Each emit operation, written after a Pop so that the instruction starts at offset 4: its
// listing, its information entries (at the instruction's own offset) and its length.
TEST_F(ProgWriterTest, EveryEmitOperationWritesItsInstructionAndEntry) {
  const std::string ident = charClass->IdentityText();
  struct Case {
    const char* what;
    std::function<void(TProgWriter&)> emit;
    std::string line;  // the instruction's listing line without the address; "" for none
    std::vector<std::string> dump;
    int32_t length;
  };
  const std::vector<Case> cases = {
      {"Pop", [](TProgWriter& w) { w.WritePop(); }, "Pop", {}, 4},
      {"Push constant", [](TProgWriter& w) { w.WritePush(IntValue(7), ""); }, "Push 7",
       {"op=Op_Push ,addr=4 ,info="}, 12},
      {"Push pointer", [&](TProgWriter& w) { w.WritePush(RefValue(&global), "$g"); }, "Push [5]",
       {"op=Op_Push ,addr=4 ,info=$g"}, 12},
      {"Push integer", [](TProgWriter& w) { w.WritePushInt(-3); }, "Push -3",
       {"op=Op_Push ,addr=4 ,info="}, 12},
      {"Push float", [](TProgWriter& w) { w.WritePushFloat(1.5f); }, "Push 1.5",
       {"op=Op_Push ,addr=4 ,info="}, 12},
      {"Push empty string", [](TProgWriter& w) { w.WritePushString(""); }, "PushString ", {}, 12},
      {"Push string of 3", [](TProgWriter& w) { w.WritePushString("abc"); }, "PushString abc",
       {}, 12},
      {"Push string of 4", [](TProgWriter& w) { w.WritePushString("abcd"); }, "PushString abcd",
       {}, 16},
      {"Push this", [](TProgWriter& w) { w.WritePushThis(); }, "PushThis", {}, 4},
      {"Member pointer", [](TProgWriter& w) { w.WriteMemberPtr(3, "x"); }, "SMemberValPtr 3",
       {"op=Op_SMemberValPtr ,addr=4 ,info=x"}, 8},
      {"Dynamic member pointer", [](TProgWriter& w) { w.WriteDMemberPtr("speed"); },
       "DMemberValPtr speed", {"op=Op_DMemberValPtr ,addr=4 ,info=speed"}, 12},
      {"Local pointer", [](TProgWriter& w) { w.WriteLocalPtr(2); }, "LocalValPtr 2", {}, 8},
      {"Argument pointer", [](TProgWriter& w) { w.WriteArgPtr(1); }, "ArgValPtr 1", {}, 8},
      {"Dynamic call", [](TProgWriter& w) { w.WriteDCall("move", 2); }, "DCall 2,move",
       {"op=Op_DCall ,addr=4 ,info=move"}, 16},
      {"Static call", [](TProgWriter& w) { w.WriteSCall(5, 1, "draw"); }, "SCall 1,5",
       {"op=Op_SCall ,addr=4 ,info=draw"}, 12},
      {"Super call", [&](TProgWriter& w) { w.WriteSuperCall(*ctor, 0, "constructor"); },
       "SuperCall 0,constructor", {"op=Op_SuperCall ,addr=4 ,info=constructor"}, 12},
      {"Native call", [&](TProgWriter& w) { w.WriteNativeCall(*native, 3, "_n_len"); },
       "NativeCall 3,_n_len", {"op=Op_NativeCall ,addr=4 ,info=_n_len"}, 12},
      {"Construct", [&](TProgWriter& w) { w.WriteConstruct(*charClass, 1); },
       "Constructor 1," + ident, {"op=Op_Constructor ,addr=4 ,info=classes.game.Char"}, 12},
      {"Is", [&](TProgWriter& w) { w.WriteIs(*charClass); }, "Is " + ident,
       {"op=Op_Is ,addr=4 ,info=classes.game.Char"}, 8},
      {"Operator", [](TProgWriter& w) { w.WriteOperator("+="); }, "AddSubst", {}, 4},
      {"Not", [](TProgWriter& w) { w.WriteNot(); }, "Not", {}, 4},
      {"Neg", [](TProgWriter& w) { w.WriteNeg(); }, "Neg", {}, 4},
      {"Deref", [](TProgWriter& w) { w.WriteDeref(); }, "Deref", {}, 4},
      {"Ret", [](TProgWriter& w) { w.WriteRet(); }, "Ret", {}, 4},
      {"Init for-in", [](TProgWriter& w) { w.WriteInitForIn(); }, "InitForin", {}, 4},
      {"Clear for-in", [](TProgWriter& w) { w.WriteClearForIn(); }, "ClearForin", {}, 4},
      {"Jump", [](TProgWriter& w) { w.WriteJump(-4); }, "Jump-4", {}, 8},
      {"Jump if zero", [](TProgWriter& w) { w.WriteJumpZero(16); }, "JumpZero16", {}, 8},
      {"Jump and", [](TProgWriter& w) { w.WriteJumpAnd(24); }, "Jump_And24", {}, 8},
      {"Jump or", [](TProgWriter& w) { w.WriteJumpOr(-12); }, "Jump_Or-12", {}, 8},
      {"Do for-in", [](TProgWriter& w) { w.WriteDoForIn(32); }, "DoForin32", {}, 8},
      {"Halt", [](TProgWriter& w) { w.WriteHalt(); }, "", {}, 4},
      {"Point", [&](TProgWriter& w) { w.WritePoint(*charClass, 42); }, "", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TProgWriter w(vm);
    w.WritePop();
    c.emit(w);
    EXPECT_EQ(w.End(), 4 + c.length);
    w.WriteHalt();
    auto block = w.Finish();
    std::vector<std::string> expected = {"00000000:Pop"};
    if (!c.line.empty()) expected.push_back("00000004:" + c.line);
    EXPECT_EQ(Listing(*block), expected);
    EXPECT_EQ(Dump(*block), c.dump);
    EXPECT_EQ(block->Info.Positions().empty(), std::string(c.what) != "Point");
  }
}

TEST_F(ProgWriterTest, PointRecordsAPositionAndNoCode) {
  TProgWriter w(vm);
  w.WritePoint(*charClass, 0);
  w.WritePushInt(1);
  w.WritePoint(*charClass, 17);
  w.WritePop();
  const auto& positions = w.Info().Positions();
  ASSERT_EQ(positions.size(), 2u);
  EXPECT_EQ(positions[0].Text, "classes.game.Char,0");
  EXPECT_EQ(positions[0].Offset, 0);
  EXPECT_EQ(positions[1].Text, "classes.game.Char,17");
  EXPECT_EQ(positions[1].Offset, 12);
  EXPECT_EQ(w.End(), 16);
}

TEST_F(ProgWriterTest, PushRefusesObjectCellsWithoutWritingAnything) {
  TScriptValue object = NewObject(charClass);
  TScriptValue badTag;
  badTag.Tag = 9;
  for (const TScriptValue* cell : {&object, &badTag}) {
    TProgWriter w(vm);
    w.WritePop();
    try {
      w.WritePush(*cell, "o");
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "WritePush Error");
    }
    EXPECT_EQ(w.End(), 4);
    EXPECT_TRUE(w.Info().Elems().empty());
  }
  SetNull(object);
}

TEST(ProgWriterOperators, TextChoosesTheInstruction) {
  const std::pair<const char*, TOpcode> table[] = {
      {"=", Op_Subst},  {"+=", Op_AddSubst}, {"-=", Op_SubSubst}, {"+", Op_Add},
      {"-", Op_Sub},    {"*", Op_Mul},       {"/", Op_Div},       {"%", Op_Mod},
      {"==", Op_EQ},    {"!=", Op_NEQ},      {"<", Op_LT},        {"<=", Op_LTE},
      {">", Op_GT},     {">=", Op_GTE},      {"&&", Op_And},      {"||", Op_Or},
  };
  for (const auto& [text, op] : table)
    EXPECT_EQ(TProgWriter::OperatorOpcode(text), op) << text;
  for (const char* bad : {"", "^", "a", "~"}) {
    try {
      TProgWriter::OperatorOpcode(bad);
      ADD_FAILURE() << "no error for '" << bad << "'";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), SJ("演算子") + bad + SJ("は使えません"));
    }
  }
}

TEST_F(ProgWriterTest, CompileErrorNamesTheClass) {
  TContext context;
  context.CurClass = charClass;
  const std::string message = SJ("文が正しくありません");
  try {
    throw ECmpError(message, context);
  } catch (const std::runtime_error& e) {  // the driver catches the host's exception class
    EXPECT_EQ(std::string(e.what()), "Char:" + message);
  }
  TContext none;
  EXPECT_EQ(std::string(ECmpError("x", none).what()), ":x");
}

TEST(CompileContext, OffsetOfPointersIntoTheSource) {
  const std::string text = "class A {}";
  TContext context;
  context.Source = text;
  EXPECT_EQ(context.OffsetOf(text.data()), 0);
  EXPECT_EQ(context.OffsetOf(text.data() + 6), 6);
  EXPECT_EQ(context.OffsetOf(text.data() + text.size()), static_cast<int32_t>(text.size()));
  EXPECT_EQ(context.OffsetOf(nullptr), -1);
  const std::string other = "x";
  EXPECT_EQ(context.OffsetOf(other.data()), -1);
}

}  // namespace
}  // namespace kelvo
