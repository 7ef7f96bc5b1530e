#include <gtest/gtest.h>

#include "platform/ShiftJis.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::ErrorOf;
using testing::VmFixture;

// Builds classes the way the compiler does: inherit, then enter the class's own functions.
class ClassTest : public VmFixture {
 protected:
  template <class F>
  F* Enter(TRTTI* cls, const char* name) {
    F* f = vm.NewFunction<F>(cls, name);
    cls->EnterMethod(f);
    return f;
  }
  template <class F>
  F* Append(TRTTI* cls, const char* name) {
    F* f = vm.NewFunction<F>(cls, name);
    cls->AppendMethod(f);
    return f;
  }
  int32_t Sym(const char* name) { return vm.Symbols().SymbolOf(name); }
};

TEST_F(ClassTest, SubclassKeepsParentSlotsAndIndexes) {
  TRTTI* base = MakeClass("Base", {"x", "y"});
  TFunction* move = Enter<TNormalFunction>(base, "move");
  TFunction* draw = Enter<TNormalFunction>(base, "draw");
  TFunction* baseCtor = Enter<TConstructor>(base, "constructor");

  TRTTI* derived = MakeClass("Derived", {"z", "X"}, base);  // X is the inherited x
  TFunction* draw2 = Enter<TNormalFunction>(derived, "Draw");
  TFunction* jump = Enter<TNormalFunction>(derived, "jump");

  EXPECT_EQ(derived->MemberNames.Count(), 3);
  for (const char* m : {"x", "y"}) EXPECT_EQ(derived->MemberSlot(m), base->MemberSlot(m)) << m;
  EXPECT_EQ(derived->MemberSlot("z"), 2);

  // The override took the parent's index; the new method follows the inherited ones.
  EXPECT_EQ(derived->Methods, (std::vector<TFunction*>{move, draw2, baseCtor, jump}));
  EXPECT_EQ(derived->MethodAt(1), draw2);        // a call by index from the parent's code
  int32_t hint = -1;
  EXPECT_EQ(derived->FindMethod(Sym("draw"), hint), draw2);  // a call by name
  EXPECT_EQ(hint, 1);
  EXPECT_EQ(base->MethodAt(1), draw);
  EXPECT_EQ(draw->Users, 1);   // it left the derived table
  EXPECT_EQ(move->Users, 2);
  EXPECT_EQ(derived->MethodIndexOf(jump), 3);
  EXPECT_EQ(derived->MethodIndexOf(draw), -1);
  EXPECT_EQ(derived->MethodIndexByName("JUMP"), 3);
  EXPECT_EQ(derived->MethodIndexByName("fly"), -1);
  EXPECT_EQ(derived->FirstMethodNamed("fly"), nullptr);
  EXPECT_EQ(ErrorOf([&] { derived->MethodAt(4); }), "List index out of bounds (4)");
  EXPECT_EQ(ErrorOf([&] { derived->MethodAt(-1); }), "List index out of bounds (-1)");

  // An instance of the subclass serves code compiled for the parent's slots.
  TScriptValue d = NewObject(derived);
  SetInt(TRTTI::MemberAt(*d.Object, base->MemberSlot("y")), 7);
  EXPECT_EQ(Member(d, "Y").Int, 7);
  EXPECT_EQ(ErrorOf([&] { Member(d, "w"); }), SJ("変数wは定義されていません"));

  EXPECT_TRUE(derived->IsSubclassOf(derived));
  EXPECT_TRUE(derived->IsSubclassOf(base));
  EXPECT_FALSE(base->IsSubclassOf(derived));
  EXPECT_FALSE(base->IsSubclassOf(nullptr));
  EXPECT_EQ(derived->IdentityText(), "Derived@" + std::to_string(derived->HostHandle()));
  EXPECT_NE(derived->HostHandle(), base->HostHandle());
}

TEST_F(ClassTest, ConstructorAndDestructorAreTheLastOfTheirKind) {
  TRTTI* base = MakeClass("Base");
  TFunction* c1 = Enter<TConstructor>(base, "constructor");
  TRTTI* derived = MakeClass("Derived", {}, base);
  EXPECT_EQ(derived->DestructorOf(), nullptr);
  TFunction* c2 = Append<TConstructor>(derived, "constructor");
  TFunction* d1 = Append<TDestructor>(derived, "destructor");
  EXPECT_EQ(base->ConstructorOf(), c1);
  EXPECT_EQ(derived->ConstructorOf(), c2);
  EXPECT_EQ(derived->DestructorOf(), d1);
  // Cached once found: a later entry does not change it until the class is reset.
  Append<TConstructor>(derived, "constructor");
  EXPECT_EQ(derived->ConstructorOf(), c2);
  derived->ResetClass();
  EXPECT_EQ(derived->ConstructorOf(), nullptr);
  EXPECT_EQ(derived->DestructorOf(), nullptr);
}

TEST_F(ClassTest, NativesDeclaredTwiceAndBinding) {
  TRTTI* base = MakeClass("Base");
  TNativeFunction* parentNative = Enter<TNativeFunction>(base, "_n_len");
  Enter<TNormalFunction>(base, "plain");
  TRTTI* derived = MakeClass("Derived", {}, base);
  TNativeFunction* again = Append<TNativeFunction>(derived, "_n_len");  // natives are appended

  int32_t hint = -1;
  EXPECT_EQ(derived->FindMethod(Sym("_n_len"), hint), again);
  EXPECT_EQ(derived->FirstMethodNamed("_n_len"), parentNative);

  // Unbound natives raise the placeholder's error.
  TScriptValue stack[3] = {IntValue(2), IntValue(1), IntValue(0)};
  EXPECT_EQ(ErrorOf([&] { again->Call(stack[2], 2); }), SJ("native関数が実装されていません"));

  // Binding reaches the first function of the name, shared by the subclass's table.
  int32_t seenCount = -1, seenReserved = -1;
  EXPECT_TRUE(derived->BindNative("_N_LEN", [&](TScriptValue& result, int32_t n, int32_t r) {
    seenCount = n;
    seenReserved = r;
    SetInt(result, ValToInt(ArgAt(result, 1)) * 10 + ValToInt(ArgAt(result, 2)));
  }));
  // The result cell holds the receiver; argument i lies i cells below it.
  parentNative->Call(stack[2], 2);
  EXPECT_EQ(seenCount, 2);
  EXPECT_EQ(seenReserved, 0);
  EXPECT_EQ(stack[2].Tag, vkInt);
  EXPECT_EQ(stack[2].Int, 12);
  // The subclass's own declaration was not bound.
  EXPECT_EQ(ErrorOf([&] { again->Call(stack[2], 2); }), SJ("native関数が実装されていません"));
  EXPECT_TRUE(boxes.empty());

  // A name the class does not declare only shows the dialog; a bytecode method is left alone.
  EXPECT_FALSE(base->BindNative("missing", [](TScriptValue&, int32_t, int32_t) {}));
  EXPECT_EQ(boxes, std::vector<std::string>{SJ("クラスBaseのnative関数missingは未定義です")});
  EXPECT_FALSE(base->BindNative("plain", [](TScriptValue&, int32_t, int32_t) {}));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(base->FirstMethodNamed("plain")->Kind(), TFunctionKind::Normal);
}

TEST_F(ClassTest, ResetAndDestroy) {
  TRTTI* base = MakeClass("Base", {"a"});
  TFunction* shared = Enter<TNormalFunction>(base, "shared");
  TRTTI* derived = MakeClass("Derived", {"b"}, base);
  TFunction* own = Enter<TNormalFunction>(derived, "own");
  derived->MainCode = std::make_unique<TCodeBlock>(std::vector<uint8_t>{48, 0, 0, 0});
  const uint32_t sharedHandle = shared->HostHandle(), ownHandle = own->HostHandle();

  derived->ResetClass();
  EXPECT_FALSE(derived->Compiled);
  EXPECT_EQ(derived->MainCode, nullptr);
  EXPECT_EQ(derived->RecordSize, -1);
  // A function another table still holds survives; one without users is destroyed.
  EXPECT_EQ(vm.Hosts().Find(sharedHandle), shared);
  EXPECT_EQ(shared->Users, 1);
  EXPECT_EQ(vm.Hosts().Find(ownHandle), nullptr);

  TScriptValue held = NewObject(base);
  EXPECT_EQ(ErrorOf([&] { vm.DestroyClass(base); }),
            base->IdentityText() + SJ(":オブジェクトがまだ残っています"));
  EXPECT_EQ(vm.Hosts().Find(base->HostHandle()), base);
  SetNull(held);
  const uint32_t baseHandle = base->HostHandle();
  vm.DestroyClass(base);
  EXPECT_EQ(vm.Hosts().Find(baseHandle), nullptr);
  EXPECT_EQ(vm.Hosts().Find(sharedHandle), nullptr);
  EXPECT_EQ(derived->Parent, nullptr);
  EXPECT_EQ(std::count(vm.Classes().begin(), vm.Classes().end(), base), 0);
}

}  // namespace
}  // namespace kelvo
