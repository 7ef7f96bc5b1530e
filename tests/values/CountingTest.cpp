#include <gtest/gtest.h>

#include "platform/ShiftJis.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::ErrorOf;
using testing::FakeRunner;
using testing::VmFixture;

class CountingTest : public VmFixture {
 protected:
  TRTTI* node = MakeClass("Node", {"next", "value"});
};

TEST_F(CountingTest, StoresCountEachHoldingCell) {
  TInstance* inst = node->NewInstance();
  EXPECT_EQ(inst->RefCount, 0);
  TScriptValue x, y;
  SetObject(x, inst);
  CopyVal(y, x);
  EXPECT_EQ(inst->RefCount, 2);
  CopyVal(y, y);  // copying a cell onto itself keeps the count
  EXPECT_EQ(inst->RefCount, 2);

  // Every store releases what the destination held.
  SetInt(x, 1);
  EXPECT_EQ(inst->RefCount, 1);
  CopyVal(y, nullptr);
  EXPECT_EQ(y.Tag, vkNull);
  EXPECT_EQ(inst->RefCount, 0);

  // A count of 0 frees nothing: the record and its members stay as they were.
  SetObject(x, inst);
  SetFloat(Member(x, "value"), 2.5f);
  SetNull(x);
  EXPECT_EQ(inst->RefCount, 0);
  EXPECT_EQ(inst->Members()[1].Tag, vkFloat);
  EXPECT_EQ(vm.InstanceFromHandle(inst->Handle), inst);

  // Non-object kinds never touch a count.
  TScriptValue h;
  SetObject(h, inst);
  SetHost(h, node->HostHandle());
  EXPECT_EQ(inst->RefCount, 0);
  EXPECT_EQ(GetObject(h), nullptr);
  EXPECT_EQ(GetHost(h), node->HostHandle());
  EXPECT_EQ(GetHost(IntValue(7)), 0u);
}

TEST_F(CountingTest, ReleaseErrors) {
  TScriptValue x = NewObject(node);
  TInstance* inst = x.Object;
  Release(x);
  EXPECT_EQ(ErrorOf([&] { Release(x); }),
            "Node@" + std::to_string(inst->Handle) + SJ(":参照カウントが負になりました"));
  EXPECT_EQ(inst->RefCount, -1);

  TScriptValue empty = UncountedObjectValue(nullptr);
  EXPECT_EQ(ErrorOf([&] { Release(empty); }), "null" + SJ(":どうやってきたの？"));
  // A failing release leaves the destination of a store untouched.
  EXPECT_EQ(ErrorOf([&] { SetInt(empty, 3); }), "null" + SJ(":どうやってきたの？"));
  EXPECT_EQ(empty.Tag, vkObject);
}

TEST_F(CountingTest, StringsStartUncounted) {
  TInstance* s = NewString(vm, "abc");
  EXPECT_EQ(s->RefCount, 0);
  EXPECT_EQ(StringText(vm, *s), "abc");
  TScriptValue cell = Str("def");
  EXPECT_EQ(cell.Object->RefCount, 1);
  EXPECT_EQ(Text(cell), "def");

  // The "_body" hint follows a changed String class.
  TRTTI* other = MakeClass("String2", {"pad", "_body"});
  vm.SetStringClass(other);
  TScriptValue moved = Str("xyz");
  EXPECT_EQ(moved.Object->Class, other);
  EXPECT_EQ(Text(moved), "xyz");
  EXPECT_EQ(vm.BodySlotHint(), 1);

  TRTTI* bodiless = MakeClass("Bare", {"text"});
  vm.SetStringClass(bodiless);
  EXPECT_EQ(ErrorOf([&] { NewString(vm, "q"); }), SJ("変数_bodyは定義されていません"));

  // The String class's _free_body frees the body; the text form then is empty.
  vm.SetStringClass(other);
  TScriptValue freed = Str("gone");
  const size_t hosts = vm.Hosts().Live();
  FreeStringBody(vm, Member(freed, "_body"));
  EXPECT_EQ(vm.Hosts().Live(), hosts - 1);
  EXPECT_EQ(Text(freed), "");
}

class InstancePoolTest : public VmFixture {
 protected:
  InstancePoolTest() { vm.SetRunner(&runner); }
  void AddDestructor(TRTTI* cls) {
    cls->AppendMethod(vm.NewFunction<TDestructor>(cls, "destructor"));
  }
  FakeRunner runner;
  TRTTI* node = MakeClass("Node", {"next", "value"});
};

TEST_F(InstancePoolTest, ReuseFinalizesTheDroppedObject) {
  AddDestructor(node);
  TScriptValue held = NewObject(node);
  TScriptValue x = NewObject(node);
  TInstance* first = x.Object;
  const uint32_t handle = first->Handle;
  CopyVal(Member(x, "next"), held);
  EXPECT_EQ(held.Object->RefCount, 2);

  SetNull(x);  // count 0: nothing runs yet
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_EQ(held.Object->RefCount, 2);

  TInstance* again = node->NewInstance();
  EXPECT_EQ(again, first);
  EXPECT_EQ(again->Handle, handle);
  EXPECT_EQ(runner.calls, std::vector<std::string>{"destructor Node#" + std::to_string(handle)});
  EXPECT_EQ(held.Object->RefCount, 1);  // the finalized member was released
  EXPECT_EQ(again->Members()[0].Tag, vkNull);
  EXPECT_EQ(again->RefCount, 0);
  EXPECT_EQ(node->InstantiationCount, 3);
  EXPECT_EQ(vm.LiveInstanceCount, 2);
}

TEST_F(InstancePoolTest, PoolAndCounters) {
  const int64_t blocks = vm.Allocator().BlocksHeld();
  TScriptValue a = NewObject(node), b = NewObject(node);
  EXPECT_EQ(node->Instances.size(), 2u);
  EXPECT_EQ(node->RecordSize, 2);
  EXPECT_EQ(vm.Allocator().BlocksHeld(), blocks + 2);
  EXPECT_EQ(vm.LiveInstanceCount, 2);
  EXPECT_NE(a.Object->Handle, b.Object->Handle);
  EXPECT_GT(a.Object->Handle, 0u);
  EXPECT_EQ(node->LiveInstances(), (std::vector<TInstance*>{a.Object, b.Object}));

  // The first reusable record is taken, scanning from the start of the pool.
  TInstance* second = b.Object;
  SetNull(b);
  TScriptValue again;
  SetObject(again, node->NewInstance());
  EXPECT_EQ(again.Object, second);
  EXPECT_EQ(node->Instances.size(), 2u);
  TScriptValue third = NewObject(node);
  EXPECT_EQ(third.Object->PoolIndex, 2u);
  // A record before the later ones is found again once it is let go.
  TInstance* first = a.Object;
  SetNull(a);
  EXPECT_EQ(node->NewInstance(), first);

  // A member added after the first instance does not change the record size.
  node->MemberSlot("late");
  TScriptValue c = NewObject(node);
  EXPECT_EQ(c.Object->MemberCount, 2u);
  int32_t hint = -1;
  EXPECT_EQ(ErrorOf([&] { TRTTI::MemberCell(*c.Object, vm.Symbols().SymbolOf("late"), hint); }),
            SJ("変数lateは定義されていません"));
  EXPECT_EQ(ErrorOf([&] { TRTTI::MemberAt(*c.Object, 2); }), "List index out of bounds (2)");

  // Forgetting the values (a reset of the whole tree) finalizes every present record.
  node->ForgetValues();
  for (TInstance* inst : node->Instances) EXPECT_EQ(inst->RefCount, -1);
  EXPECT_EQ(vm.LiveInstanceCount, 0);

  TRTTI* raw = vm.NewClass("Raw");
  EXPECT_EQ(ErrorOf([&] { raw->NewInstance(); }),
            SJ("クラス") + raw->IdentityText() +
                SJ("はコンパイルが完了していないため、インスタンスを生成できません"));
  EXPECT_TRUE(raw->LiveInstances().empty());
}

TEST_F(InstancePoolTest, FailingMemberReleaseIsLoggedAndTheSlotFreed) {
  TScriptValue victim = NewObject(node);
  TScriptValue holder = NewObject(node);
  SetInt(Member(holder, "value"), 9);
  // An uncounted reference in the first member makes its release fail.
  Member(holder, "next") = UncountedObjectValue(victim.Object);
  Release(victim);
  ClearCell(victim);
  TInstance* h = holder.Object;
  Release(holder);
  node->DestroyInstance(*h);
  EXPECT_EQ(logs, std::vector<std::string>{"Decref failed at Node.next"});
  EXPECT_EQ(h->RefCount, -1);
  EXPECT_EQ(vm.LiveInstanceCount, 1);  // the victim, unreferenced but not finalized
}

TEST_F(InstancePoolTest, ResetKeepsOnlyReferencedRecords) {
  TScriptValue kept = NewObject(node);
  TScriptValue dropped = NewObject(node);
  SetNull(dropped);
  TFunction* f = vm.NewFunction<TNormalFunction>(node, "run");
  node->AppendMethod(f);
  const size_t hosts = vm.Hosts().Live();
  const int64_t blocks = vm.Allocator().BlocksHeld();

  node->ResetClass();
  EXPECT_FALSE(node->Compiled);
  EXPECT_EQ(node->MemberNames.Count(), 0);
  EXPECT_TRUE(node->Methods.empty());
  EXPECT_EQ(vm.Hosts().Live(), hosts - 1);  // the function had no other user
  // The unreferenced record and two member-name entries went back to the allocator.
  EXPECT_EQ(vm.Allocator().BlocksHeld(), blocks - 3);
  EXPECT_EQ(node->Instances, std::vector<TInstance*>{kept.Object});

  // The kept record is valid memory; the class cannot go while it is held.
  EXPECT_EQ(Text(kept), "Node@" + std::to_string(kept.Object->Handle));
  EXPECT_EQ(ErrorOf([&] { vm.DestroyClass(node); }),
            node->IdentityText() + SJ(":オブジェクトがまだ残っています"));

  // Recompiled with another layout, the old record is never reused.
  node->MemberSlot("a");
  node->MemberSlot("b");
  node->MemberSlot("c");
  node->Compiled = true;
  TInstance* oldRecord = kept.Object;
  SetNull(kept);
  TInstance* fresh = node->NewInstance();
  EXPECT_NE(fresh, oldRecord);
  EXPECT_EQ(fresh->MemberCount, 3u);

  const uint32_t freshHandle = fresh->Handle;
  vm.DestroyClass(node);
  EXPECT_EQ(vm.InstanceFromHandle(freshHandle), nullptr);
}

}  // namespace
}  // namespace kelvo
