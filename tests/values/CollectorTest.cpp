#include <gtest/gtest.h>

#include "values/Collector.h"
#include "vm/VmFixture.h"

namespace kelvo {
namespace {

using testing::FakeRunner;
using testing::VmFixture;

// Roots as the resource tree and the root process will give them: a few cells marked as
// resource values, a list of cells standing for the root process's stack, every class
// visited in creation order.
class TestRoots : public TGcRoots {
 public:
  explicit TestRoots(TVirtualMachine& vm) : vm_(vm) {}
  bool HasRootProcess() const override { return hasProcess; }
  void MarkRoots(TCollector& c) override {
    for (TRTTI* cls : vm_.Classes()) c.MarkClass(*cls);
    for (TScriptValue* cell : globals) c.MarkValue(*cell);
    for (TScriptValue* cell : stack) c.MarkValue(*cell);
  }
  void SweepRoots(TCollector& c) override {
    for (TRTTI* cls : vm_.Classes()) c.SweepClass(*cls);
  }
  bool hasProcess = true;
  std::vector<TScriptValue*> globals;
  std::vector<TScriptValue*> stack;

 private:
  TVirtualMachine& vm_;
};

class CollectorTest : public VmFixture {
 protected:
  CollectorTest() {
    vm.SetRunner(&runner);
    vm.Collector().SetRoots(&roots);
    vm.Collector().ShowDebugger = [this] { ++debuggerShown; };
    node->AppendMethod(vm.NewFunction<TDestructor>(node, "destructor"));
  }
  void Link(const TScriptValue& from, const TScriptValue& to) { CopyVal(Member(from, "next"), to); }

  FakeRunner runner;
  TestRoots roots{vm};
  int debuggerShown = 0;
  TRTTI* node = MakeClass("Node", {"next", "other"});
};

TEST_F(CollectorTest, CyclesAreFinalizedOnlyByASweep) {
  TScriptValue a = NewObject(node), b = NewObject(node), kept = NewObject(node);
  Link(a, b);
  Link(b, a);
  TInstance* ia = a.Object;
  TInstance* ib = b.Object;
  SetNull(a);
  SetNull(b);
  EXPECT_EQ(ia->RefCount, 1);
  EXPECT_EQ(ib->RefCount, 1);
  // Creating another instance does not reach them: their records are not reusable.
  TScriptValue other = NewObject(node);
  EXPECT_NE(other.Object, ia);
  EXPECT_NE(other.Object, ib);
  EXPECT_TRUE(runner.calls.empty());

  roots.globals = {&kept, &other};
  vm.Collector().CheckAndCollect();
  // a went first and released b; b's finalization then took a's free slot below -1.
  EXPECT_EQ(ia->RefCount, -2);
  EXPECT_EQ(ib->RefCount, -1);
  EXPECT_EQ(runner.calls,
            (std::vector<std::string>{"destructor Node#" + std::to_string(ia->Handle),
                                      "destructor Node#" + std::to_string(ib->Handle)}));
  EXPECT_EQ(kept.Object->RefCount, 1);
  EXPECT_EQ(kept.Object->Mark, 0);
  // Both freed records are reusable.
  TInstance* next = node->NewInstance();
  EXPECT_TRUE(next == ia || next == ib);
}

TEST_F(CollectorTest, CheckingModeListsWrongCounts) {
  TScriptValue a = NewObject(node), b = NewObject(node);
  Link(a, b);
  TScriptValue s = Str("text");
  roots.globals = {&a, &s};
  roots.stack = {&b};

  vm.Collector().GcCheckMode = true;
  vm.Collector().CollectGarbage();
  EXPECT_TRUE(vm.Collector().ListObj.empty());
  EXPECT_EQ(debuggerShown, 0);

  AddRef(b);  // counted once too often
  vm.Collector().CollectGarbage();
  vm.Collector().GcCheckMode = false;
  EXPECT_EQ(vm.Collector().ListObj,
            std::vector<std::string>{"Node@" + std::to_string(node->HostHandle()) + ":r=2,f=3," +
                                     std::to_string(b.Object->Handle)});
  EXPECT_EQ(debuggerShown, 1);
  EXPECT_EQ(b.Object->Mark, 0);
  EXPECT_EQ(b.Object->RefCount, 3);  // checking destroys nothing

  // The button clears the list, checks and then collects; the over-counted object is
  // reachable and survives.
  vm.Collector().CheckAndCollect();
  EXPECT_EQ(vm.Collector().ListObj.size(), 1u);
  EXPECT_FALSE(vm.Collector().GcCheckMode);
  EXPECT_EQ(b.Object->RefCount, 3);
  EXPECT_TRUE(runner.calls.empty());
  // One "sweeping" line per class and collection.
  EXPECT_EQ(std::count(logs.begin(), logs.end(), "sweeping Node"), 4);
  EXPECT_EQ(std::count(logs.begin(), logs.end(), "sweeping String"), 4);
}

TEST_F(CollectorTest, UnreferencedInstancesAreFinalizedToo) {
  TScriptValue a = NewObject(node);
  TInstance* ia = a.Object;
  SetNull(a);  // count 0, pending
  vm.Collector().CheckAndCollect();
  EXPECT_TRUE(vm.Collector().ListObj.empty());  // Mark 0 = RefCount 0 ... + 1 in checking mode
  EXPECT_EQ(ia->RefCount, -1);
  EXPECT_EQ(runner.calls.size(), 1u);
}

TEST_F(CollectorTest, NothingHappensWithoutARootProcess) {
  TScriptValue a = NewObject(node), b = NewObject(node);
  Link(a, b);
  Link(b, a);
  TInstance* ia = a.Object;
  SetNull(a);
  SetNull(b);
  roots.hasProcess = false;
  vm.Collector().CheckAndCollect();
  EXPECT_EQ(ia->RefCount, 1);
  EXPECT_TRUE(logs.empty());
}

TEST_F(CollectorTest, GcMarkHookMarksWhatTheObjectHoldsOutsideItsMembers) {
  TRTTI* box = MakeClass("Box", {"v"});
  box->AppendMethod(vm.NewFunction<TNormalFunction>(box, "GC_MARK"));  // names ignore case
  TScriptValue hidden = NewObject(node);  // held by a host structure of the box only
  TScriptValue b = NewObject(box);
  roots.globals = {&b};
  runner.gcMarks["Box"] = [&](TInstance&) { vm.Collector().MarkValue(hidden); };
  TInstance* ih = hidden.Object;
  vm.Collector().CheckAndCollect();
  EXPECT_EQ(ih->RefCount, 1);
  EXPECT_TRUE(vm.Collector().ListObj.empty());
  // Each collection marks the box once as present (checking) and once from the root.
  EXPECT_EQ(std::count(runner.calls.begin(), runner.calls.end(),
                       "gc_mark Box#" + std::to_string(b.Object->Handle)),
            2);
  EXPECT_EQ(std::count_if(runner.calls.begin(), runner.calls.end(),
                          [](const std::string& c) { return c.rfind("gc_mark Node", 0) == 0; }),
            0);  // classes without the hook are not asked
}

TEST_F(CollectorTest, LongChainsMarkWithoutDeepRecursion) {
  TScriptValue head = NewObject(node);
  TScriptValue tail = head;
  AddRef(tail);
  for (int i = 0; i < 200000; ++i) {
    TScriptValue n = NewObject(node);
    Link(tail, n);
    CopyVal(tail, n);
    SetNull(n);
  }
  SetNull(tail);
  roots.globals = {&head};
  vm.Collector().CheckAndCollect();
  EXPECT_TRUE(vm.Collector().ListObj.empty());
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_EQ(node->LiveInstances().size(), 200001u);
}

}  // namespace
}  // namespace kelvo
