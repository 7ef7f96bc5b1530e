#include "vm/ClassFile.h"

#include <gtest/gtest.h>

#include "frontend/MapRelinkLookup.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <stdexcept>

#include <unistd.h>

#include "frontend/CodeListing.h"
#include "frontend/CompiledInfo.h"
#include "frontend/PeepholeOptimizer.h"
#include "frontend/ProgWriter.h"
#include "frontend/RelinkLookup.h"
#include "platform/ByteStream.h"
#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "values/Conversions.h"
#include "platform/BRegExp.h"
#include "resources/ClassResource.h"
#include "resources/ResourceTree.h"
#include "resources/TreeRelinkLookup.h"
#include "vm/Diagnostics.h"
#include "vm/MachineListingNames.h"
#include "vm/VirtualMachine.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

using testing::MapLookup;

// One run of the program: a machine with the classes Base, Child (extends Base) and Other,
// and the global $score. Base and Child are uncompiled until Build or a load fills them.
struct Program {
  // A shifted run interns other symbols and makes another class first, so its symbol numbers
  // and handles differ from those of an unshifted run.
  Program(const std::string& baseSrc, const std::string& childSrc, bool shifted = true) {
    if (shifted) {
      for (const char* name : {"zzz1", "move", "zzz2"}) vm.Symbols().SymbolOf(name);
      vm.NewClass("Unrelated");
    }
    other = vm.NewClass("Other", "classes.Other");
    other->Compiled = true;
    base = vm.NewClass("Base", "classes.Base", baseSrc);
    child = vm.NewClass("Child", "classes.Child", childSrc);
    lookup.cells["$score"] = &score;
    lookup.classes = {{"classes.Base", base}, {"classes.Child", child}, {"classes.Other", other}};
  }

  std::unique_ptr<TCompiledInfo> Finish(TProgWriter& w) {
    auto block = w.Finish();
    OptimizeCode(block->Code.data(), block->Code.size());
    return block;
  }

  // Compiles both classes by hand, as the compiler would lay them out.
  void Build() {
    base->MemberSlot("a");
    base->MemberSlot("b");
    auto* ctor = vm.NewFunction<TConstructor>(base, "constructor");
    base->EnterMethod(ctor);
    auto* draw = vm.NewFunction<TNormalFunction>(base, "draw");
    draw->ArgNames.Add("x");
    draw->ArgNames.Add("y");
    draw->LocalNames.Add("t");
    {
      TProgWriter w(vm);
      w.WritePush(RefValue(&score), "$score");
      w.WriteDeref();
      w.WritePushThis();
      w.WriteMemberPtr(base->MemberSlot("b"), "b");
      w.WriteDeref();
      w.WriteRet();
      draw->Code = Finish(w);
    }
    base->EnterMethod(draw);
    auto* len = vm.NewFunction<TNativeFunction>(base, "_n_len");
    base->AppendMethod(len);
    {
      TProgWriter w(vm);
      w.WritePushThis();
      w.WriteSCall(base->MethodIndexByName("draw"), 0, "draw");
      w.WriteHalt();
      base->MainCode = Finish(w);
    }
    base->Compiled = true;

    child->Parent = base;
    child->InheritMembers();
    child->InheritMethods();
    child->MemberSlot("c");
    auto* override = vm.NewFunction<TNormalFunction>(child, "draw");
    {
      TProgWriter w(vm);
      w.WritePushThis();
      w.WriteSuperCall(*draw, 0, "draw");
      w.WritePushThis();
      w.WriteNativeCall(*len, 0, "_n_len");
      w.WriteRet();
      override->Code = Finish(w);
    }
    child->EnterMethod(override);
    auto* jump = vm.NewFunction<TNormalFunction>(child, "jump");
    jump->ArgNames.Add("h");
    {
      TProgWriter w(vm);
      w.WritePushThis();
      w.WriteDMemberPtr("speed");
      w.WriteDeref();
      w.WritePushThis();
      w.WriteDCall("move", 0);
      w.WriteRet();
      jump->Code = Finish(w);
    }
    child->EnterMethod(jump);
    // A native declared again in the subclass is appended, not entered at the parent's index.
    child->AppendMethod(vm.NewFunction<TNativeFunction>(child, "_n_len"));
    {
      TProgWriter w(vm);
      w.WritePushThis();
      w.WriteMemberPtr(child->MemberSlot("c"), "c");
      w.WritePushInt(0);
      w.WriteConstruct(*other, 0);
      w.WriteIs(*base);
      w.WritePushThis();
      w.WriteSCall(child->MethodIndexByName("jump"), 1, "jump");
      w.WriteHalt();
      child->MainCode = Finish(w);
    }
    child->Compiled = true;
  }

  Reporter reporter;
  TVirtualMachine vm{reporter};
  TScriptValue score = IntValue(7);
  TRTTI* other;
  TRTTI* base;
  TRTTI* child;
  MapLookup lookup;
};

// The listing of a block with class handles blanked out (they differ between runs).
std::vector<std::string> Listing(const TVirtualMachine& vm, const TCodeBlock* block) {
  std::vector<std::string> lines;
  if (!block) return lines;
  ListCode(block->Code.data(), block->Code.size(), TMachineListingNames(vm), lines);
  static const std::regex handle("@[0-9]+");
  static const std::regex symbol("(DMemberValPtr(_Deref)? )([0-9]+)");
  for (std::string& line : lines) {
    line = std::regex_replace(line, handle, "@#");
    std::smatch m;
    if (std::regex_search(line, m, symbol))
      line = m.prefix().str() + m[1].str() + "#" +
             vm.Symbols().SymbolText(std::stoi(m[3].str())) + m.suffix().str();
  }
  return lines;
}

// Everything a load must reproduce, in a form two runs can compare.
std::vector<std::string> Describe(const TRTTI& cls) {
  const TVirtualMachine& vm = cls.Vm();
  std::vector<std::string> out;
  out.push_back(std::string("compiled=") + (cls.Compiled ? "1" : "0") +
                " parent=" + (cls.Parent ? cls.Parent->Name : "-"));
  for (int32_t slot = 0; slot < cls.MemberNames.Count(); ++slot)
    out.push_back("member " + std::to_string(slot) + " " + cls.MemberNames.NameAt(slot));
  for (size_t i = 0; i < cls.Methods.size(); ++i) {
    const TFunction* f = cls.Methods[i];
    std::string line = "method " + std::to_string(i) + " " + f->HostClassName() + " " +
                       f->GetName() + " of " + f->OwnerClass->Name;
    if (const TNormalFunction* body = AsBytecode(const_cast<TFunction*>(f))) {
      for (const std::string& a : body->ArgNames.Names()) line += " arg:" + a;
      for (const std::string& l : body->LocalNames.Names()) line += " local:" + l;
      out.push_back(line);
      for (const std::string& code : Listing(vm, body->Code.get())) out.push_back("  " + code);
    } else {
      out.push_back(line);
    }
  }
  for (const std::string& code : Listing(vm, cls.MainCode.get())) out.push_back("main " + code);
  return out;
}

// Whether the class is exactly as it was created: nothing half-loaded left behind.
void ExpectUntouched(const TRTTI& cls) {
  EXPECT_FALSE(cls.Compiled);
  EXPECT_EQ(cls.MemberNames.Count(), 0);
  EXPECT_TRUE(cls.Methods.empty());
  EXPECT_EQ(cls.MainCode, nullptr);
}

class ClassFileTest : public ::testing::Test {
 protected:
  ClassFileTest() {
    dir = fs::temp_directory_path() /
          ("kelvo_classfile_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    for (const char* name : {"Base.kelvo", "Child.kelvo"}) std::ofstream(dir / name) << "// src\n";
    baseSrc = FromPosixPath((dir / "Base.kelvo").string());
    childSrc = FromPosixPath((dir / "Child.kelvo").string());
    Program saving(baseSrc, childSrc, false);
    saving.Build();
    baseBytes = ClassFileBytes(*saving.base);
    childBytes = ClassFileBytes(*saving.child);
    baseDescription = Describe(*saving.base);
    childDescription = Describe(*saving.child);
  }
  ~ClassFileTest() override { fs::remove_all(dir); }

  static bool Load(TRTTI& cls, const std::vector<uint8_t>& bytes, TRelinkLookup& lookup) {
    TByteReader in(bytes);
    return LoadClassFile(cls, in, lookup);
  }
  static std::string ErrorOf(TRTTI& cls, const std::vector<uint8_t>& bytes,
                             TRelinkLookup& lookup) {
    try {
      Load(cls, bytes, lookup);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no error)";
  }

  fs::path dir;
  std::string baseSrc, childSrc;
  std::vector<uint8_t> baseBytes, childBytes;
  std::vector<std::string> baseDescription, childDescription;
};

TEST_F(ClassFileTest, LoadingInAnotherRunRebuildsTheSameClasses) {
  Program loading(baseSrc, childSrc);
  const std::string baseFile = (dir / "class_Base").string();
  {
    Program saving(baseSrc, childSrc, false);
    saving.Build();
    ASSERT_TRUE(SaveClassFile(*saving.base, FromPosixPath(baseFile)));
  }
  ASSERT_TRUE(LoadClassFile(*loading.base, FromPosixPath(baseFile), loading.lookup));
  ASSERT_TRUE(Load(*loading.child, childBytes, loading.lookup));

  EXPECT_EQ(Describe(*loading.base), baseDescription);
  EXPECT_EQ(Describe(*loading.child), childDescription);
  // The listings name the operands; the relinked words must also be this run's own.
  EXPECT_EQ(loading.child->Parent, loading.base);
  const auto* override = AsBytecode(loading.child->Methods[1]);
  ASSERT_NE(override, nullptr);
  EXPECT_EQ(override->OwnerClass, loading.child);
  EXPECT_EQ(ReadCodeWord(override->Code->Code.data(), 4 + 8),
            loading.base->FirstMethodNamed("draw")->HostHandle());
}

TEST_F(ClassFileTest, OnlyOwnMembersAndMethodsAreStored) {
  TByteReader in(childBytes);
  EXPECT_EQ(in.ReadInt(), kClassFileVersion);
  EXPECT_EQ(in.ReadInt(), FileAge(childSrc));
  EXPECT_EQ(in.ReadString(), "classes.Base");
  EXPECT_EQ(in.ReadStringList(), std::vector<std::string>{"c"});
  EXPECT_EQ(in.ReadInt(), 3);  // draw (the override), jump, _n_len
  std::vector<std::string> records;
  for (int i = 0; i < 3; ++i) {
    const std::string kind = in.ReadString();
    records.push_back(kind + " " + in.ReadString());
    if (kind == "TNativeFunction") continue;
    in.ReadStringList();
    in.ReadStringList();
    TCompiledInfo::Load(in);
  }
  EXPECT_EQ(records, (std::vector<std::string>{"TNormalFunction draw", "TNormalFunction jump",
                                               "TNativeFunction _n_len"}));
  TCompiledInfo::Load(in);
  EXPECT_TRUE(in.AtEnd());
}

TEST_F(ClassFileTest, LoadedNativeStartsWithThePlaceholder) {
  Program loading(baseSrc, childSrc);
  ASSERT_TRUE(Load(*loading.base, baseBytes, loading.lookup));
  TNativeFunction* len = AsNative(loading.base->FirstMethodNamed("_n_len"));
  ASSERT_NE(len, nullptr);
  TScriptValue result;
  try {
    len->Call(result, 0);
    ADD_FAILURE() << "the placeholder did not raise";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), SJ("native関数が実装されていません"));
  }
  int called = 0;
  EXPECT_TRUE(loading.base->BindNative("_n_len", [&](TScriptValue&, int32_t, int32_t) { ++called; }));
  len->Call(result, 0);
  EXPECT_EQ(called, 1);
}

std::vector<uint8_t> WithVersion(std::vector<uint8_t> bytes, int32_t version) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(version) >> (8 * i));
  return bytes;
}

TEST_F(ClassFileTest, VersionRangeIsChecked) {
  const std::pair<int32_t, bool> cases[] = {
      {11099, false}, {11100, true}, {50000, true}, {50001, false}, {-1, false}};
  for (const auto& [version, accepted] : cases) {
    SCOPED_TRACE(version);
    Program loading(baseSrc, childSrc);
    EXPECT_EQ(Load(*loading.base, WithVersion(baseBytes, version), loading.lookup), accepted);
    if (accepted)
      EXPECT_EQ(Describe(*loading.base), baseDescription);
    else
      ExpectUntouched(*loading.base);
  }
}

TEST_F(ClassFileTest, TouchedSourceInvalidatesTheFile) {
  const fs::path source = dir / "Base.kelvo";
  fs::last_write_time(source, fs::last_write_time(source) - std::chrono::hours(3));
  Program loading(baseSrc, childSrc);
  EXPECT_FALSE(Load(*loading.base, baseBytes, loading.lookup));
  ExpectUntouched(*loading.base);

  fs::remove(source);  // a missing source has the stamp -1, which the file does not hold
  EXPECT_FALSE(Load(*loading.base, baseBytes, loading.lookup));
  ExpectUntouched(*loading.base);
}

TEST_F(ClassFileTest, ParentMustExistAndBeCompiled) {
  Program loading(baseSrc, childSrc);
  // Not compiled yet: not loaded, but the class knows its parent.
  EXPECT_FALSE(Load(*loading.child, childBytes, loading.lookup));
  EXPECT_EQ(loading.child->Parent, loading.base);
  EXPECT_FALSE(loading.child->Compiled);
  EXPECT_EQ(loading.child->MemberNames.Count(), 0);

  loading.lookup.classes.erase("classes.Base");
  EXPECT_EQ(ErrorOf(*loading.child, childBytes, loading.lookup),
            SJ("親クラス") + "classes.Base" + SJ("はありません。"));
  EXPECT_FALSE(loading.child->Compiled);
  EXPECT_TRUE(loading.child->Methods.empty());
}

// Replaces the first occurrence of `from` in the bytes by `to` (same length).
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, const std::string& from,
                             const std::string& to) {
  auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
  EXPECT_NE(it, bytes.end());
  if (it != bytes.end()) std::copy(to.begin(), to.end(), it);
  return bytes;
}

TEST_F(ClassFileTest, BrokenContentsRaiseAndLeaveTheClassClean) {
  const std::string broken = SJ("クラスファイル") + "Base" + SJ("は壊れています。");
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool dropScore;
    std::string message;
  } cases[] = {
      {"unknown function kind", Patched(baseBytes, "TNormalFunction", "TNormalFunctioX"), false,
       broken},
      {"unknown native kind", Patched(baseBytes, "TNativeFunction", "TNativeFunctioN"), false,
       broken},
      {"global that does not exist", baseBytes, true, SJ("値") + "$score" + SJ("が見つかりません")},
      {"method that does not exist", Patched(baseBytes, std::string("draw\0", 5),
                                             std::string("dra\0\0", 5)),
       false, SJ("メソッド") + "draw" + SJ("が見つかりません")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Program loading(baseSrc, childSrc);
    if (c.dropScore) loading.lookup.cells.clear();
    const size_t hostsBefore = loading.vm.Hosts().Live();
    EXPECT_EQ(ErrorOf(*loading.base, c.bytes, loading.lookup), c.message);
    ExpectUntouched(*loading.base);
    EXPECT_EQ(loading.vm.Hosts().Live(), hostsBefore);  // no function left over
  }
}

TEST_F(ClassFileTest, TruncationAtEveryLengthFallsBackCleanly) {
  Program loading(baseSrc, childSrc);
  ASSERT_TRUE(Load(*loading.base, baseBytes, loading.lookup));
  const size_t hostsBefore = loading.vm.Hosts().Live();
  for (size_t length = 0; length < childBytes.size(); ++length) {
    SCOPED_TRACE(length);
    const std::vector<uint8_t> prefix(childBytes.begin(), childBytes.begin() + length);
    EXPECT_THROW(Load(*loading.child, prefix, loading.lookup), EReadError);
    ExpectUntouched(*loading.child);
    ASSERT_EQ(loading.vm.Hosts().Live(), hostsBefore);
  }
  ASSERT_TRUE(Load(*loading.child, childBytes, loading.lookup));
  EXPECT_EQ(Describe(*loading.child), childDescription);
}

TEST_F(ClassFileTest, ClassThatWouldExtendItselfIsBroken) {
  Program loading(baseSrc, childSrc);
  loading.lookup.classes["classes.Base"] = loading.child;  // the file's parent is the class
  loading.child->Compiled = false;
  EXPECT_EQ(ErrorOf(*loading.child, childBytes, loading.lookup),
            SJ("クラスファイル") + "Child" + SJ("は壊れています。"));
  EXPECT_EQ(loading.child->Parent, nullptr);
}

// Loading through the resource tree: parent and classes by dotted name, globals in usrglobal.
TEST(ClassFileTree, NamesResolveThroughTheResourceTree) {
  Program saving("", "", false);
  saving.Build();
  const std::vector<uint8_t> base = ClassFileBytes(*saving.base);
  const std::vector<uint8_t> child = ClassFileBytes(*saving.child);
  const std::vector<std::string> childDescription = Describe(*saving.child);

  Reporter reporter;
  TVirtualMachine vm(reporter);
  TBRegExp regExp;
  TDiagnostics diagnostics(reporter);
  TResourceTree tree(vm, regExp, diagnostics);
  tree.SetRoot(tree.parseResource(
      "<resourcelist name=\"root\"><resourcelist name=\"usrglobal\"/>"
      "<classlist name=\"classes\"><class name=\"Other\"/><class name=\"Base\"/>"
      "<class name=\"Child\"/></classlist></resourcelist>"));
  TRTTI* treeBase = ClassOf(tree.Lookup("classes.Base"));
  TRTTI* treeChild = ClassOf(tree.Lookup("classes.Child"));
  ASSERT_TRUE(treeBase && treeChild);
  ClassOf(tree.Lookup("classes.Other"))->Compiled = true;
  TTreeRelinkLookup lookup(tree);

  TByteReader baseIn(base), childIn(child);
  ASSERT_TRUE(LoadClassFile(*treeBase, baseIn, lookup));
  ASSERT_TRUE(LoadClassFile(*treeChild, childIn, lookup));
  EXPECT_EQ(treeChild->Parent, treeBase);
  EXPECT_EQ(Describe(*treeChild), childDescription);
  // The global the parent's code reads now exists, and the code points at its cell.
  TResource* score = tree.UserGlobals()->findChild("$score");
  ASSERT_NE(score, nullptr);
  EXPECT_EQ(lookup.ValueCellOf("$score"), score->valueCell());
  EXPECT_EQ(lookup.ClassOf("usrglobal"), nullptr);  // a resource that is no class
}

// Writes the seeds of the class-file fuzz target: the two classes saved with no source file,
// as the fuzz target's classes have none. Run with --gtest_also_run_disabled_tests.
TEST(ClassFileSeeds, DISABLED_WriteFuzzSeeds) {
  Program saving("", "", false);
  saving.Build();
  const std::string dir = std::string(KELVO_SOURCE_DIR) + "/fuzz/corpus/classfile_fuzz/";
  fs::create_directories(dir);
  ASSERT_TRUE(SaveClassFile(*saving.base, FromPosixPath(dir + "base_no_parent")));
  ASSERT_TRUE(SaveClassFile(*saving.child, FromPosixPath(dir + "child_with_override")));
  std::vector<uint8_t> old = WithVersion(ClassFileBytes(*saving.base), 50001);
  ASSERT_TRUE(WriteFileBytes(FromPosixPath(dir + "base_version_too_new"),
                             std::string(old.begin(), old.end())));
}

}  // namespace
}  // namespace kelvo
