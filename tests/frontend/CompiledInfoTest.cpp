#include "frontend/CompiledInfo.h"

#include <gtest/gtest.h>

#include "frontend/MapRelinkLookup.h"

#include <map>
#include <stdexcept>

#include "frontend/PeepholeOptimizer.h"
#include "frontend/ProgWriter.h"
#include "frontend/RelinkLookup.h"
#include "frontend/VmListingNames.h"
#include "platform/ByteStream.h"
#include "platform/ShiftJis.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using Elems = std::vector<std::pair<int32_t, std::string>>;  // (op, text) of each entry

using testing::MapLookup;

std::vector<std::string> Listing(const TVirtualMachine& vm, const TCompiledInfo& block) {
  std::vector<std::string> lines;
  ListCode(block.Code.data(), block.Code.size(), testing::VmListingNames(vm), lines);
  return lines;
}

std::vector<uint8_t> Saved(const TCompiledInfo& block) {
  TByteWriter out;
  block.Save(out);
  return out.Take();
}

TEST(SymInfoList, EntriesGroupByOpcodeAndExactText) {
  TSymInfoList info;
  const std::tuple<int32_t, int32_t, const char*> records[] = {
      {Op_Push, 0, "$g"},   {Op_Push, 12, ""},     {Op_Push, 24, "$g"},
      {Op_DCall, 36, "$g"}, {Op_Push, 52, "$G"},   {Op_Push, 64, ""},
      {Op_Push, 76, "$g"},  {Op_Point, 76, "A,3"}, {Op_Push, 88, "$g"},
      {Op_Push, 100, "$g"},
  };
  for (const auto& [op, offset, text] : records) info.Record(op, offset, text);

  ASSERT_EQ(info.Elems().size(), 4u);
  const TCInfoElem& g = info.Elems()[0];
  EXPECT_EQ(g.Op, Op_Push);
  EXPECT_EQ(g.Text, "$g");
  EXPECT_EQ(g.Addresses, (std::vector<int32_t>{0, 24, 76, 88, 100}));  // five reads, one entry
  EXPECT_EQ(info.Elems()[1].Text, "");                                  // the shared constants
  EXPECT_EQ(info.Elems()[1].Addresses, (std::vector<int32_t>{12, 64}));
  EXPECT_EQ(info.Elems()[2].Op, Op_DCall);  // same text, other opcode
  EXPECT_EQ(info.Elems()[3].Text, "$G");    // letter case counts
  ASSERT_EQ(info.Positions().size(), 1u);   // positions are not entries
  EXPECT_EQ(info.Positions()[0].Text, "A,3");
  EXPECT_EQ(info.Positions()[0].Offset, 76);
}

TEST(SymInfoList, DumpListsEveryAddressInEntryOrder) {
  TSymInfoList single;
  single.Record(Op_DMemberValPtr, 8, "x");
  std::vector<std::string> lines;
  single.Dump(lines);
  EXPECT_EQ(lines, std::vector<std::string>{"op=Op_DMemberValPtr ,addr=8 ,info=x"});

  TSymInfoList info;
  info.Record(Op_SCall, 4, "draw");
  info.Record(Op_Point, 4, "A,1");
  info.Record(Op_Push, 16, "");
  info.Record(Op_SCall, 28, "draw");
  info.Record(77, 40, "odd");  // an opcode without a name still dumps
  lines.assign({"kept"});
  info.Dump(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "kept", "op=Op_SCall ,addr=4 ,info=draw", "op=Op_SCall ,addr=28 ,info=draw",
                       "op=Op_Push ,addr=16 ,info=", "op=Invalid Code ,addr=40 ,info=odd"}));
}

TEST(SymInfoList, PositionOfIsTheLastEntryStrictlyBelow) {
  TSymInfoList info;
  EXPECT_EQ(info.PositionOf(100), "none");
  for (auto [text, offset] : {std::pair{"A,0", 0}, {"A,5", 12}, {"A,9", 12}, {"A,20", 30}})
    info.Record(Op_Point, offset, text);
  const std::pair<int32_t, const char*> table[] = {
      {-5, "none"}, {0, "none"}, {1, "A,0"},  {12, "A,0"},
      {13, "A,9"},  {30, "A,9"}, {31, "A,20"}, {100000, "A,20"},
  };
  for (const auto& [offset, expected] : table) EXPECT_EQ(info.PositionOf(offset), expected) << offset;
}

TEST(CompiledInfoFormat, SavesTheBlockLayoutAndLoadsItBackWithoutPositions) {
  TSymInfoList info;
  info.Record(Op_DMemberValPtr, 8, "x");
  info.Record(Op_Point, 0, "A,0");
  TCompiledInfo block({Op_Halt, 0, 0, 0}, std::move(info));
  const std::vector<uint8_t> expected = {
      1, 0, 0, 0,                      // one entry
      Op_DMemberValPtr, 0, 0, 0,       // its opcode
      2, 0, 0, 0, 'x', 0,              // its text, length + 1, with the zero
      1, 0, 0, 0, 8, 0, 0, 0,          // one address
      4, 0, 0, 0, Op_Halt, 0, 0, 0,    // the code
  };
  EXPECT_EQ(Saved(block), expected);

  TByteReader in(expected);
  auto loaded = TCompiledInfo::Load(in);
  EXPECT_TRUE(in.AtEnd());
  EXPECT_EQ(loaded->Code, block.Code);
  ASSERT_EQ(loaded->Info.Elems().size(), 1u);
  EXPECT_EQ(loaded->Info.Elems()[0].Op, Op_DMemberValPtr);
  EXPECT_EQ(loaded->Info.Elems()[0].Text, "x");
  EXPECT_EQ(loaded->Info.Elems()[0].Addresses, std::vector<int32_t>{8});
  EXPECT_TRUE(loaded->Info.Positions().empty());
  EXPECT_EQ(block.PositionAt(4), "A,0");
  EXPECT_EQ(loaded->PositionAt(4), "none");
}

TEST(CompiledInfoFormat, ShortOrHostileDataRaisesTheReadError) {
  TSymInfoList info;
  info.Record(Op_Push, 0, "$score");
  info.Record(Op_Push, 12, "");
  info.Record(Op_SCall, 24, "jump");
  TCompiledInfo block(std::vector<uint8_t>(40, 0), std::move(info));
  const std::vector<uint8_t> bytes = Saved(block);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TByteReader in(bytes.data(), cut);
    EXPECT_THROW(TCompiledInfo::Load(in), EReadError) << "cut at " << cut;
  }
  auto word = [](int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    return std::vector<uint8_t>{uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
  };
  auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const std::vector<std::vector<uint8_t>> hostile = {
      join({word(0x7FFFFFFF)}),                                        // entry count
      join({word(-1)}),                                                // negative count
      join({word(1), word(1), word(0)}),                               // text length 0
      join({word(1), word(1), word(-7)}),                              // negative text length
      join({word(1), word(1), word(0x7FFFFFF0), {'a', 0}}),            // text beyond the data
      join({word(1), word(1), word(1), {0}, word(0x40000000)}),        // address count
      join({word(0), word(-4)}),                                       // negative code size
      join({word(0), word(1000), {1, 2, 3}}),                          // code beyond the data
  };
  for (const auto& data : hostile) {
    TByteReader in(data);
    EXPECT_THROW(TCompiledInfo::Load(in), EReadError);
  }
}

// A block compiled in one run, saved, and loaded into another run whose classes, symbols,
// member layout, method tables and global cells all differ: relinking must make every
// operand name the new run's objects.
TEST(CompiledInfoRelink, OperandsFollowTheNamesIntoAnotherRun) {
  std::vector<uint8_t> saved;
  {
    Reporter reporter;
    TVirtualMachine vm(reporter);
    TRTTI* base = vm.NewClass("Base", "classes.Base");
    base->MemberSlot("a");
    auto* ctor = vm.NewFunction<TConstructor>(base, "constructor");
    base->EnterMethod(ctor);
    base->EnterMethod(vm.NewFunction<TNormalFunction>(base, "draw"));
    base->Compiled = true;
    TRTTI* other = vm.NewClass("Other", "classes.Other");
    TRTTI* derived = vm.NewClass("Derived", "classes.Derived");
    derived->Parent = base;
    derived->InheritMembers();
    derived->InheritMethods();
    const int32_t x = derived->MemberSlot("x");
    derived->EnterMethod(vm.NewFunction<TNormalFunction>(derived, "jump"));
    auto* native = vm.NewFunction<TNativeFunction>(derived, "_n_len");
    derived->EnterMethod(native);
    TScriptValue score = IntValue(1);

    TProgWriter w(vm);
    w.WritePush(RefValue(&score), "$score");
    w.WriteDeref();
    w.WritePushThis();
    w.WriteMemberPtr(x, "x");
    w.WriteDeref();
    w.WritePushThis();
    w.WriteDMemberPtr("speed");
    w.WriteDeref();
    w.WritePushThis();
    w.WriteSCall(derived->MethodIndexByName("jump"), 0, "jump");
    w.WritePushThis();
    w.WriteSuperCall(*ctor, 0, "constructor");
    w.WritePushThis();
    w.WriteNativeCall(*native, 0, "_n_len");
    w.WritePushThis();
    w.WriteDCall("move", 0);
    w.WritePushInt(0);
    w.WriteConstruct(*other, 0);
    w.WriteIs(*other);
    w.WriteHalt();
    auto block = w.Finish();
    OptimizeCode(block->Code.data(), block->Code.size());
    saved = Saved(*block);
  }

  Reporter reporter;
  TVirtualMachine vm(reporter);
  for (const char* name : {"zzz1", "zzz2", "zzz3"}) vm.Symbols().SymbolOf(name);
  vm.NewClass("Unrelated");
  TRTTI* other = vm.NewClass("Other", "classes.Other");
  TRTTI* base = vm.NewClass("Base", "classes.Base");
  base->MemberSlot("b");
  base->MemberSlot("a");
  base->EnterMethod(vm.NewFunction<TNormalFunction>(base, "extra"));
  auto* ctor = vm.NewFunction<TConstructor>(base, "constructor");
  base->EnterMethod(ctor);
  base->EnterMethod(vm.NewFunction<TNormalFunction>(base, "draw"));
  base->Compiled = true;
  TRTTI* derived = vm.NewClass("Derived", "classes.Derived");
  derived->Parent = base;
  derived->InheritMembers();
  derived->InheritMethods();
  derived->MemberSlot("y");
  derived->EnterMethod(vm.NewFunction<TNormalFunction>(derived, "hop"));
  derived->EnterMethod(vm.NewFunction<TNormalFunction>(derived, "jump"));
  auto* native = vm.NewFunction<TNativeFunction>(derived, "_n_len");
  derived->EnterMethod(native);
  TScriptValue score = IntValue(99);
  MapLookup lookup;
  lookup.cells["$score"] = &score;
  lookup.classes["classes.Other"] = other;

  TByteReader in(saved);
  auto block = TCompiledInfo::Load(in);
  block->Relink(*derived, lookup);

  EXPECT_EQ(derived->MemberSlot("x"), 3);  // absent before: appended by relinking
  const int32_t speed = vm.Symbols().Lookup("speed");
  ASSERT_GE(speed, 0);
  const std::string otherId = other->IdentityText();
  EXPECT_EQ(Listing(vm, *block), (std::vector<std::string>{
                                     "00000000:Push_Deref [99]",
                                     "00000010:PushThis_SMemberValPtr_Deref 3",
                                     "00000020:PushThis",
                                     "00000024:DMemberValPtr_Deref " + std::to_string(speed),
                                     "00000034:PushThis",
                                     "00000038:SCall 0,4",
                                     "00000044:PushThis",
                                     "00000048:SuperCall 0,constructor",
                                     "00000054:PushThis",
                                     "00000058:NativeCall 0,_n_len",
                                     "00000064:PushThis",
                                     "00000068:DCall 0,move",
                                     "00000078:Push 0",
                                     "00000084:Constructor 0," + otherId,
                                     "00000090:Is " + otherId,
                                 }));
  EXPECT_EQ(ReadCodeWord(block->Code.data(), 0x48 + 8), ctor->HostHandle());
  EXPECT_EQ(ReadCodeWord(block->Code.data(), 0x58 + 8), native->HostHandle());
  EXPECT_EQ(ReadCodeWord(block->Code.data(), 0x68 + 8),
            static_cast<uint32_t>(vm.Symbols().Lookup("move")));
}

class RelinkFailure : public testing::VmFixture {
 protected:
  RelinkFailure() {
    base = MakeClass("Base");
    ctor = vm.NewFunction<TConstructor>(base, "constructor");
    base->EnterMethod(ctor);
    derived = MakeClass("Derived", {}, base);
    draw = vm.NewFunction<TNormalFunction>(derived, "draw");
    derived->EnterMethod(draw);
    ghost = vm.NewClass("Ghost", "classes.Ghost");
  }
  std::string ErrorOf(TCompiledInfo& block, TRTTI& cls) {
    try {
      block.Relink(cls, lookup);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "(no error)";
  }
  TRTTI* base;
  TRTTI* derived;
  TRTTI* ghost;
  TConstructor* ctor;
  TNormalFunction* draw;
  MapLookup lookup;
};

TEST_F(RelinkFailure, NamesThatCannotBeResolvedRaiseTheirMessages) {
  struct Case {
    std::function<void(TProgWriter&)> emit;
    bool inDerived;  // relink for Derived, else for Base (which has no parent)
    std::string message;
  };
  const std::vector<Case> cases = {
      {[](TProgWriter& w) { w.WritePush(IntValue(0), "$missing"); }, true,
       SJ("値$missingが見つかりません")},
      {[](TProgWriter& w) { w.WriteSCall(0, 0, "fly"); }, true, SJ("メソッドflyが見つかりません")},
      {[&](TProgWriter& w) { w.WriteSuperCall(*ctor, 0, "fly"); }, true,
       SJ("メソッドsuper.flyが見つかりません")},
      {[&](TProgWriter& w) { w.WriteSuperCall(*ctor, 0, "constructor"); }, false,
       SJ("メソッドsuper.constructorが見つかりません")},
      {[&](TProgWriter& w) { w.WriteSuperCall(*ctor, 0, "destructor"); }, true,
       SJ("メソッドsuper.destructorが見つかりません")},
      {[&](TProgWriter& w) { w.WriteNativeCall(*draw, 0, "fly"); }, true,
       SJ("nativeメソッドflyが見つかりません")},
      // A bytecode method of that name is no native; the machine would call it without a frame.
      {[&](TProgWriter& w) { w.WriteNativeCall(*draw, 0, "draw"); }, true,
       SJ("nativeメソッドdrawが見つかりません")},
      {[&](TProgWriter& w) { w.WriteConstruct(*ghost, 0); }, true,
       SJ("クラスclasses.Ghostが見つかりません")},
      {[&](TProgWriter& w) { w.WriteIs(*ghost); }, true, SJ("クラスclasses.Ghostが見つかりません")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TProgWriter w(vm);
    w.WritePushThis();
    c.emit(w);
    w.WriteHalt();
    auto block = w.Finish();
    EXPECT_EQ(ErrorOf(*block, c.inDerived ? *derived : *base), c.message);
  }
}

TEST_F(RelinkFailure, ResolvedNamesSucceedAndConstantsAreLeftAlone) {
  TProgWriter w(vm);
  w.WritePushInt(7);
  w.WriteSuperCall(*draw, 0, "CONSTRUCTOR");  // a stale operand; names ignore case
  w.WriteSCall(99, 0, "draw");
  w.WriteHalt();
  auto block = w.Finish();
  const std::vector<uint8_t> before = block->Code;
  EXPECT_EQ(ErrorOf(*block, *derived), "(no error)");
  EXPECT_EQ(std::vector<uint8_t>(block->Code.begin(), block->Code.begin() + 12),
            std::vector<uint8_t>(before.begin(), before.begin() + 12));
  EXPECT_EQ(ReadCodeWord(block->Code.data(), 12 + 8), ctor->HostHandle());
  EXPECT_EQ(ReadCodeWord(block->Code.data(), 24 + 8),
            static_cast<uint32_t>(derived->MethodIndexOf(draw)));
}

TEST_F(RelinkFailure, EntriesThatDoNotFitTheCodeMeanABrokenFile) {
  const std::string broken = SJ("クラスファイルDerivedは壊れています。");
  const std::vector<uint8_t> code = {Op_Pop, 0, 0, 0, Op_SCall, 0, 0, 0, 0, 0, 0, 0,
                                     0,      0, 0, 0, Op_Halt,  0, 0, 0};
  const std::pair<int32_t, int32_t> entries[] = {
      {Op_SCall, 0},     // a Pop is there
      {Op_SCall, 16},    // the Halt is too short for it
      {Op_SCall, 100},   // beyond the code
      {Op_SCall, -4},    // before the code
      {Op_SCall, 6},     // not an instruction start
      {Op_DCall, 4},     // another instruction
  };
  for (const auto& [op, address] : entries) {
    TSymInfoList info;
    info.Record(op, address, "draw");
    TCompiledInfo block(code, std::move(info));
    EXPECT_EQ(ErrorOf(block, *derived), broken) << OpcodeName(op) << " at " << address;
    EXPECT_EQ(block.Code, code);
  }
}

}  // namespace
}  // namespace kelvo
