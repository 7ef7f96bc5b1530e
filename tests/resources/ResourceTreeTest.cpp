#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/ShiftJis.h"
#include "resources/ClassResource.h"
#include "resources/GlobalValue.h"
#include "resources/Param.h"
#include "resources/ResourceGcRoots.h"
#include "resources/ResourceTree.h"
#include "resources/SGML.h"
#include "resources/TextFile.h"
#include "resources/ResourceFixture.h"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;
using testing::ResourceFixture;
using testing::kSmallTree;

// ---- Lookup ----

class LookupTest : public ResourceFixture {
 protected:
  LookupTest() { Load(kSmallTree); }
};

TEST_F(LookupTest, DottedPathsIgnoreCase) {
  TResource* root = tree.Root();
  TResource* usrClasses = root->findChild("usr")->findChild("classes");
  TResource* object = root->findChild("classes")->findChild("lang")->findChild("Object");
  ASSERT_TRUE(usrClasses && object);
  struct Case {
    const char* path;
    TResource* expected;
  } cases[] = {
      {"", root},
      {"usr.classes", usrClasses},
      {"Usr.Classes", usrClasses},
      {"USR.CLASSES.player", usrClasses->findChild("Player")},
      {"classes.lang.Object", object},
      {"usr.", root->findChild("usr")},  // an empty rest is the resource itself
      {"usr.nothing", nullptr},
      {"nothing.classes", nullptr},
      {"usr.classes.Player.x", nullptr},  // a leaf has no children
  };
  for (const Case& c : cases) EXPECT_EQ(tree.Lookup(c.path), c.expected) << c.path;
  // From another resource the empty path is that resource.
  EXPECT_EQ(usrClasses->lookup(""), usrClasses);
  EXPECT_EQ(usrClasses->lookup("player"), usrClasses->findChild("Player"));
}

TEST_F(LookupTest, ShortClassNamesOnlyFromTheRootAndOnlyWithoutAChild) {
  TResource* object = Find("classes.lang.Object");
  EXPECT_EQ(Find("Object"), object);
  EXPECT_EQ(Find("OBJECT"), object);
  EXPECT_EQ(Find("Player"), Find("usr.classes.Player"));
  // Short names are a root affair; below the root only children count.
  EXPECT_EQ(Find("usr.Object"), nullptr);
  EXPECT_EQ(Find("Object.x"), nullptr);
  // A direct child of the root wins over the short name.
  TResource* child = tree.Root()->addChild(tree.parseResource("<resourcelist name=\"object\"/>"));
  EXPECT_EQ(Find("Object"), child);
}

TEST_F(LookupTest, DollarNamesFromTheRootAreGlobalsMadeOnFirstUse) {
  TResourceList* globals = tree.UserGlobals();
  ASSERT_TRUE(globals);
  EXPECT_EQ(globals->childCount(), 0u);
  TResource* score = Find("$score");
  ASSERT_TRUE(dynamic_cast<TGlobalValue*>(score));
  EXPECT_EQ(score->parent(), globals);
  EXPECT_EQ(score->valueCell()->Tag, vkNull);
  EXPECT_EQ(static_cast<TGlobalValue*>(score)->valueText, "");
  EXPECT_EQ(Find("$SCORE"), score);
  EXPECT_EQ(globals->childCount(), 1u);
  // Only the bare name from the root makes a global.
  for (const char* path : {"a.$score", "usr.$x", "$a.b", "score"}) {
    EXPECT_EQ(Find(path), nullptr) << path;
  }
  EXPECT_EQ(globals->childCount(), 1u);
  // The name is kept exactly, also with bytes the markup reader would decode.
  TResource* odd = Find("$a%41\"b");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->name(), "$a%41\"b");
  EXPECT_EQ(Find("$a%41\"b"), odd);
}

TEST_F(LookupTest, WithoutUserGlobalsNoGlobalIsMade) {
  tree.deleteResource("usrglobal");
  EXPECT_EQ(tree.UserGlobals(), nullptr);
  EXPECT_EQ(Find("$late"), nullptr);
  EXPECT_EQ(GlobalCell(tree, "$late"), nullptr);
}

// ---- Short names ----

TEST_F(ResourceFixture, AliasRegistration) {
  Load("<resourcelist name=\"root\">"
       "<class name=\"Sprite\" src=\"a.kelvo\"/><class name=\"sprite\" src=\"b.kelvo\"/>"
       "</resourcelist>");
  auto* first = static_cast<TClassResource*>(tree.Root()->findChild("Sprite"));
  // The first class of a name takes it; the second is reached only by its path.
  EXPECT_EQ(tree.Alias().Get("SPRITE"), first);
  EXPECT_TRUE(first->Class().Aliased);
  auto* second = static_cast<TClassResource*>(static_cast<TResourceList*>(tree.Root())->childAt(1));
  EXPECT_FALSE(second->Class().Aliased);

  tree.AliasRegistration = false;
  TResourcePtr quiet = tree.parseResource("<class name=\"Quiet\" src=\"\"/>");
  EXPECT_EQ(tree.Alias().Get("Quiet"), nullptr);
  tree.AliasRegistration = true;

  // A class going away takes its entry with it, also one that someone else added for it.
  tree.Alias().Add("Other", second);
  tree.Root()->removeChild(first);
  EXPECT_EQ(tree.Alias().Get("Sprite"), nullptr);
  tree.Root()->removeChild(second);
  EXPECT_EQ(tree.Alias().Get("Other"), nullptr);
  EXPECT_EQ(tree.Alias().Count(), 0u);
}

// ---- Names ----

TEST_F(LookupTest, FullNamesAndTheClassesTheyName) {
  TResource* player = Find("usr.classes.Player");
  EXPECT_EQ(tree.fullName(*player), "usr.classes.Player");
  EXPECT_EQ(tree.fullName(*Find("usr")), "usr");
  EXPECT_EQ(tree.fullName(*tree.Root()), "root");
  EXPECT_EQ(ClassOf(player)->FullName, "usr.classes.Player");
  EXPECT_EQ(ClassOf(Find("Object"))->FullName, "classes.lang.Object");
  EXPECT_EQ(ClassResourceOf(ClassOf(player)), player);
  EXPECT_EQ(ClassOf(Find("usr")), nullptr);

  // A detached class is known by its name alone; attaching gives it its full name.
  TResourcePtr enemy = tree.parseResource("<class name=\"Enemy\" src=\"Enemy.kelvo\"/>");
  EXPECT_EQ(tree.fullName(*enemy), "Enemy");
  TRTTI* enemyClass = ClassOf(enemy.get());
  TResource* attached = tree.attachResource("usr.classes.Foe", std::move(enemy));
  EXPECT_EQ(attached, Find("usr.classes.Foe"));
  EXPECT_EQ(enemyClass->Name, "Foe");
  EXPECT_EQ(enemyClass->FullName, "usr.classes.Foe");
}

TEST(ResourceNames, ParentPathAndLastSegment) {
  struct Case {
    const char* dotted;
    const char* parent;
    const char* last;
  } cases[] = {
      {"usr.classes.Player", "usr.classes", "Player"},
      {"usr", "", "usr"},
      {"", "", ""},
      {"a.", "a", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TResourceTree::parentPath(c.dotted), c.parent) << c.dotted;
    EXPECT_EQ(TResourceTree::lastSegment(c.dotted), c.last) << c.dotted;
  }
}

TEST_F(ResourceFixture, UniqueChildNames) {
  Load("<resourcelist name=\"pages\"><resourcelist name=\"page\"/><resourcelist name=\"page_2\"/>"
       "<resourcelist name=\"mypage_7\"/><resourcelist name=\"x_99999999999999999999999\"/>"
       "<resourcelist name=\"x\"/></resourcelist>");
  auto& list = static_cast<TResourceList&>(*tree.Root());
  struct Case {
    const char* asked;
    const char* given;
  } cases[] = {
      {"page", "page_8"},    // mypage_7 counts too: the base may stand anywhere
      {"page_2", "page_8"},  // a taken suffix is stripped first
      {"PAGE", "PAGE_8"},
      {"other", "other"},
      {"page_3", "page_3"},  // free as asked
      {"x", "x_1"},          // a suffix too long to count is left out
  };
  for (const Case& c : cases) EXPECT_EQ(tree.uniqueChildName(list, c.asked), c.given) << c.asked;
}

TEST_F(LookupTest, ListNamesWalksInPreOrder) {
  Lines names;
  tree.Root()->listNames(names, "");
  EXPECT_EQ(names, (Lines{"<root>", "usrglobal", "classes", "classes.lang", "classes.lang.Object",
                          "usr", "usr.classes", "usr.classes.Player"}));
}

TEST_F(LookupTest, VisitorsAndIterators) {
  struct Collect : TResourceIterator {
    void visit(TResource& r) override { seen.push_back(r.name()); }
    Lines seen;
  } visitor;
  Find("usr")->accept(visitor);
  EXPECT_EQ(visitor.seen, (Lines{"usr", "classes", "Player"}));

  EXPECT_EQ(Find("usr.classes.Player")->iterator(), nullptr);
  tree.Root()->addChild(tree.parseResource(
      "<resourcelist name=\"l\"><param name=\"a\"/><param name=\"b\"/><param name=\"c\"/>"
      "</resourcelist>"));
  auto it = Find("l")->iterator();
  Lines kept;
  while (it->hasNext()) {
    TResource* r = it->next();
    if (r->name() == "b")
      it->remove();
    else
      kept.push_back(r->name());
  }
  EXPECT_EQ(kept, (Lines{"a", "c"}));
  EXPECT_EQ(static_cast<TResourceList*>(Find("l"))->childCount(), 2u);
}

// ---- Attaching and deleting ----

TEST_F(LookupTest, AttachAndDelete) {
  TResource* added = tree.attachResource("usr.pages", tree.parseResource("<resourcelist/>"));
  ASSERT_TRUE(added);
  EXPECT_EQ(added->name(), "pages");
  EXPECT_EQ(Find("usr.pages"), added);
  // A missing parent, or one that is not a list, takes nothing.
  EXPECT_EQ(tree.attachResource("no.where", tree.parseResource("<resourcelist/>")), nullptr);
  EXPECT_EQ(tree.attachResource("usr.classes.Player.x", tree.parseResource("<param/>")), nullptr);

  tree.deleteResource("usr.pages");
  EXPECT_EQ(Find("usr.pages"), nullptr);
  tree.deleteResource("usr.pages");  // nothing left to delete
  tree.deleteResource("usr");        // a single name is a child of the root
  EXPECT_EQ(Find("usr"), nullptr);
  EXPECT_EQ(Find("Player"), nullptr);  // its class took its short name along
  // Removing something that is not a child does nothing.
  TResourcePtr stray = tree.parseResource("<param name=\"p\"/>");
  tree.Root()->removeChild(stray.get());
  EXPECT_EQ(stray->name(), "p");
}

TEST_F(LookupTest, AClassWithObjectsIsNotDestroyed) {
  TRTTI* player = ClassOf(Find("usr.classes.Player"));
  player->Compiled = true;
  TScriptValue held = NewObject(player);
  const std::string error = SJ("Player@") + std::to_string(player->HostHandle()) +
                            SJ(":オブジェクトがまだ残っています");
  EXPECT_EQ(testing::ErrorText<EScriptError>([&] { tree.deleteResource("usr"); }), error);
  EXPECT_EQ(Find("usr.classes.Player"), ClassResourceOf(player));
  SetNull(held);
  tree.deleteResource("usr");
  EXPECT_EQ(Find("usr"), nullptr);
  EXPECT_EQ(std::count(vm.Classes().begin(), vm.Classes().end(), player), 0);
}

// ---- Initialisation ----

TEST_F(ResourceFixture, GlobalValuesAreReadyInOnePass) {
  Load("<resourcelist name=\"root\"><resourcelist name=\"usrglobal\"/>"
       "<globalvalue name=\"$a\" value=\"1\"/><globalvalue name=\"$b\" value=\"\"/>"
       "<resourcelist name=\"l\"><globalvalue name=\"$c\" value=\"3\"/></resourcelist>"
       "</resourcelist>");
  TInitContext context;
  tree.Root()->initStep(context);
  EXPECT_EQ(context.done, 3);
  EXPECT_EQ(context.pending + context.failed, 0);
  caller.evals.clear();
  EXPECT_TRUE(tree.Root()->init());
  EXPECT_EQ(caller.evals, (Lines{"$a=1;", "$c=3;"}));
  // The snippets assign the variables a root lookup finds.
  EXPECT_EQ(GlobalCell(tree, "$c")->Int, 3);
}

class ClassInitTest : public ResourceFixture {
 protected:
  // A root with classes whose source files hold the given texts.
  void LoadClasses(std::initializer_list<std::pair<const char*, const char*>> classes) {
    std::string text = "<resourcelist name=\"root\">";
    for (auto [name, source] : classes) {
      const std::string file = dir + "\\" + name + ".kelvo";
      ASSERT_TRUE(WriteFileBytes(file, source));
      text += std::string("<class name=\"") + name + "\" src=\"" + file + "\"/>";
    }
    Load(text + "</resourcelist>");
  }
  ~ClassInitTest() override { std::filesystem::remove_all(ToPosixPath(dir)); }

  std::string dir = [] {
    std::string d = FromPosixPath(std::filesystem::temp_directory_path().string()) +
                     "\\kelvo_res_" + std::to_string(::getpid());
    ForceDirectories(d);
    return d;
  }();
};

TEST_F(ClassInitTest, CompiledClassesAreDone) {
  LoadClasses({{"A", "ok"}, {"B", "ok"}});
  EXPECT_TRUE(tree.Root()->init());
  EXPECT_EQ(caller.compiled, (Lines{"A", "B"}));
  // A compiled class is not compiled again.
  EXPECT_TRUE(tree.Root()->init());
  EXPECT_EQ(caller.compiled.size(), 2u);
}

TEST_F(ClassInitTest, AClassThatNeverCompilesIsACycle) {
  LoadClasses({{"A", "ok"}, {"Waits", "waits"}});
  EXPECT_EQ(testing::ErrorText<EResourceError>([&] { tree.Root()->init(); }),
            SJ("循環参照があります"));
  // Two passes: the second made no progress over the first.
  EXPECT_EQ(caller.compiled, (Lines{"A", "Waits", "Waits"}));
}

TEST_F(ClassInitTest, AFailedClassFailsTheInitialisation) {
  LoadClasses({{"Bad", "bad"}, {"A", "ok"}});
  const std::string text = SJ("初期化に失敗しました");
  EXPECT_EQ(testing::ErrorText<EResourceError>([&] { tree.Root()->init(); }), text);
  EXPECT_EQ(logs.back(), text);
  // The failed class is compiled afresh by the next pass.
  EXPECT_TRUE(ClassOf(Find("Bad"))->CompileFailed);
  EXPECT_EQ(testing::ErrorText<EResourceError>([&] { tree.Root()->init(); }), text);
  EXPECT_EQ(caller.compiled, (Lines{"Bad", "A", "Bad"}));
}

TEST_F(ClassInitTest, ProgressOverSeveralPasses) {
  LoadClasses({{"Child", "waits"}, {"Parent", "ok"}});
  // The child compiles once its parent has: the fake compiles "waits" on the second try.
  struct ParentFirst : testing::FakeCaller {
    using FakeCaller::FakeCaller;
    bool CompileClass(TRTTI& cls, const std::string& source, bool report) override {
      compiled.push_back(cls.Name);
      cls.Compiled = source == "ok" || ++tries > 1;
      return false;
    }
    int tries = 0;
  } parentFirst{tree, wrapperClass};
  tree.SetCaller(&parentFirst);
  EXPECT_TRUE(tree.Root()->init());
  EXPECT_EQ(parentFirst.compiled, (Lines{"Child", "Parent", "Child"}));
  tree.SetCaller(&caller);
}

TEST_F(ClassInitTest, AMissingSourceIsShownAndRaised) {
  Load("<resourcelist name=\"root\"><class name=\"Lost\" src=\"" + dir +
       "\\lost.kelvo\"/></resourcelist>");
  EXPECT_THROW(tree.Root()->init(), EInOutError);
  EXPECT_EQ(boxes, (Lines{dir + "\\lost.kelvo" + SJ("が見つかりません")}));
}

TEST_F(ClassInitTest, SourcesAreReadAsLinesJoinedWithCrLf) {
  LoadClasses({{"Lines", "a\nb\r\nc\rd\r\n"}});
  struct Capture : testing::FakeCaller {
    using FakeCaller::FakeCaller;
    bool CompileClass(TRTTI& cls, const std::string& source, bool report) override {
      text = source;
      cls.Compiled = true;
      return false;
    }
    std::string text;
  } capture{tree, wrapperClass};
  tree.SetCaller(&capture);
  tree.Root()->init();
  EXPECT_EQ(capture.text, "a\r\nb\r\nc\r\nd");
  tree.SetCaller(&caller);
}

// ---- Objects of resources ----

TEST_F(LookupTest, GetObjectWrapsTheResourceOnce) {
  TResource* usr = Find("usr");
  TScriptValue* object = usr->getObject();
  EXPECT_EQ(object, &usr->objectCell);
  ASSERT_EQ(object->Tag, vkObject);
  EXPECT_EQ(object->Object->Class, wrapperClass);
  // The wrapper was made from a host pointer to the resource.
  EXPECT_EQ(ResourceFromValue(vm.Hosts(), Member(*object, "res")), usr);
  EXPECT_EQ(object->Object->RefCount, 2);  // objectCell and $_2
  EXPECT_EQ(caller.evals, (Lines{"$_2=new BuiltInResource($_1);"}));
  EXPECT_EQ(usr->getObject(), object);
  EXPECT_EQ(caller.evals.size(), 1u);

  // A failed wrapping leaves no object, not the previous resource's.
  caller.failEvals = true;
  TResource* classes = Find("classes");
  EXPECT_EQ(classes->getObject()->Tag, vkNull);
}

TEST_F(LookupTest, HostPointersToResources) {
  TResource* player = Find("usr.classes.Player");
  struct Case {
    TScriptValue value;
    TResource* expected;
  } cases[] = {
      {HostValue(Find("usr")->HostHandle()), Find("usr")},
      {*player->valueCell(), player},  // a class's own cell leads to its resource
      {HostValue(wrapperClass->HostHandle()), nullptr},  // a class outside the tree
      {IntValue(static_cast<int32_t>(Find("usr")->HostHandle())), nullptr},
      {HostValue(999999), nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(ResourceFromValue(vm.Hosts(), c.value), c.expected);
  // A destroyed resource's handle leads nowhere.
  const uint32_t handle = Find("usr")->HostHandle();
  tree.deleteResource("usr");
  EXPECT_EQ(ResourceFromValue(vm.Hosts(), HostValue(handle)), nullptr);
}

TEST_F(ResourceFixture, DestructionTellsObjectsInOrder) {
  Load("<resourcelist name=\"root\"><resourcelist name=\"usrglobal\"/>"
       "<resourcelist name=\"page\"><param name=\"a\"/><param name=\"b\"/>"
       "<resourcelist name=\"sub\"><param name=\"c\"/></resourcelist><param name=\"plain\"/>"
       "</resourcelist></resourcelist>");
  for (const char* name : {"page", "page.a", "page.b", "page.sub", "page.sub.c"})
    Find(name)->getObject();
  TInstance* aObject = Find("page.a")->objectCell.Object;
  const int32_t before = aObject->RefCount;
  tree.deleteResource("page");
  // Children first, in order, each subtree before its list; the resource without an object
  // is not asked.
  EXPECT_EQ(caller.destroyed, (Lines{"a", "b", "c", "sub", "page"}));
  EXPECT_EQ(aObject->RefCount, before - 1);  // objectCell let it go ($_1 still holds the last)
}

TEST_F(ResourceFixture, DestroyingTheTreeStillReachesTheVariables) {
  Load("<resourcelist name=\"root\"><param name=\"first\"/><resourcelist name=\"usrglobal\"/>"
       "<param name=\"last\"/></resourcelist>");
  Find("first")->getObject();
  Find("last")->getObject();
  const uint32_t handle = vm.Cells().HandleOf(GlobalCell(tree, "$kept"));
  ASSERT_NE(vm.Cells().Find(handle), nullptr);
  tree.SetRoot(nullptr);
  // "first" went while the variables existed; "last" after them, without a script.
  EXPECT_EQ(caller.destroyed, (Lines{"first"}));
  EXPECT_EQ(vm.Cells().Find(handle), nullptr);  // code can no longer reach the variable
  EXPECT_EQ(tree.UserGlobals(), nullptr);
  EXPECT_EQ(GlobalCell(tree, "$kept"), nullptr);
}

// ---- Collection ----

class CollectionTest : public ResourceFixture {
 protected:
  CollectionTest() {
    Load(kSmallTree);
    node = ClassOf(Find("usr.classes.Player"));
    vm.SetRunner(&runner);
    vm.Collector().SetRoots(&roots);
    node->MemberSlot("next");
    node->AppendMethod(vm.NewFunction<TDestructor>(node, "destructor"));
    node->Compiled = true;
  }
  ~CollectionTest() override {
    vm.SetRunner(nullptr);
    vm.Collector().SetRoots(nullptr);
  }
  testing::FakeRunner runner;
  TResourceGcRoots roots{tree};
  TRTTI* node = nullptr;
};

TEST_F(CollectionTest, WhatTheTreeHoldsSurvivesAndTheRestIsSwept) {
  TScriptValue global = NewObject(node);
  SetGlobal(tree, "$held", global);
  TInstance* viaGlobal = global.Object;
  SetNull(global);
  TScriptValue a = NewObject(node), b = NewObject(node);
  CopyVal(Member(a, "next"), b);
  CopyVal(Member(b, "next"), a);
  TInstance* cycleA = a.Object;
  TInstance* cycleB = b.Object;
  SetNull(a);
  SetNull(b);
  TResource* usr = Find("usr");
  SetObject(usr->objectCell, node->NewInstance());
  TInstance* viaObjectCell = usr->objectCell.Object;
  TInstance* unheld = node->NewInstance();  // count 0: held by nothing

  // Without a root process the debugger's button does nothing.
  vm.Collector().CheckAndCollect();
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_EQ(unheld->RefCount, 0);

  bool processMarked = false;
  roots.MarkProcess = [&](TCollector&) { processMarked = true; };
  roots.HasProcess = [] { return true; };
  vm.Collector().CheckAndCollect();
  EXPECT_TRUE(processMarked);
  // Checking found every count right; collecting kept what the tree holds.
  EXPECT_TRUE(vm.Collector().ListObj.empty()) << vm.Collector().ListObj.front();
  EXPECT_EQ(viaGlobal->RefCount, 1);
  EXPECT_EQ(viaObjectCell->RefCount, 1);
  EXPECT_EQ(unheld->RefCount, -1);
  EXPECT_LT(cycleA->RefCount, 0);
  EXPECT_LT(cycleB->RefCount, 0);
  auto destructorOf = [](TInstance* i) { return "destructor Player#" + std::to_string(i->Handle); };
  EXPECT_EQ(runner.calls, (Lines{destructorOf(cycleA), destructorOf(cycleB), destructorOf(unheld)}));
  EXPECT_NE(std::find(logs.begin(), logs.end(), "sweeping Player"), logs.end());
}

TEST_F(CollectionTest, CheckingListsAWrongCount) {
  TScriptValue obj = NewObject(node);
  SetGlobal(tree, "$held", obj);
  SetNull(obj);
  TInstance* inst = GlobalCell(tree, "$held")->Object;
  ++inst->RefCount;  // counted once too often
  roots.HasProcess = [] { return true; };
  vm.Collector().CheckAndCollect();
  ASSERT_EQ(vm.Collector().ListObj.size(), 1u);
  EXPECT_EQ(vm.Collector().ListObj[0], "Player@" + std::to_string(node->HostHandle()) +
                                           ":r=1,f=2," + std::to_string(inst->Handle));
  --inst->RefCount;
}

TEST_F(ResourceFixture, ForgetValuesDropsReferencesWithoutReleasing) {
  Load(kSmallTree);
  TRTTI* player = ClassOf(Find("usr.classes.Player"));
  player->Compiled = true;
  TScriptValue obj = NewObject(player);
  SetGlobal(tree, "$p", obj);
  TInstance* inst = obj.Object;
  Find("usr")->getObject();
  TInstance* wrapper = Find("usr")->objectCell.Object;
  const int32_t wrapperCount = wrapper->RefCount;
  tree.Root()->forgetValues();
  EXPECT_EQ(GlobalCell(tree, "$p")->Tag, vkNull);
  EXPECT_EQ(Find("usr")->objectCell.Tag, vkNull);
  EXPECT_EQ(wrapper->RefCount, wrapperCount);  // not released
  EXPECT_EQ(inst->RefCount, -1);               // the class finalized its pool
  ClearCell(obj);
}

// ---- Markup ----

TEST_F(ResourceFixture, TagsAreBuiltAndWrittenBack) {
  Load("<resourcelist name=\"root\">\r\n"
       " <resourcelist name=\"usrglobal\"/>\r\n"
       " <classlist name=\"classes\">\r\n"
       "  <class name=\"Player\" src=\"sub\\Player.kelvo\">\r\n"
       "  <class name=\"Away\" src=\"..\\game\\lib\\Away.kelvo\"/>\r\n"
       " </classlist>\r\n"
       " <param name=\"title\" value=\"A &quot;game&quot;\"/>\r\n"
       " <globalvalue name=\"$n\" value=\"7\"/>\r\n"
       " <resourcelist name=\"empty\"/>\r\n"
       "</resourcelist>\r\n");
  EXPECT_EQ(Find("classes.Player")->src(), "\\game\\sub\\Player.kelvo");
  EXPECT_EQ(ClassOf(Find("classes.Player"))->Src, "\\game\\sub\\Player.kelvo");
  EXPECT_EQ(static_cast<TfParam*>(Find("title"))->valueText, "A &quot;game&quot;");
  EXPECT_EQ(static_cast<TGlobalValue*>(Find("$n"))->valueText, "7");
  EXPECT_EQ(static_cast<TResourceList*>(Find("empty"))->childCount(), 0u);
  SetInt(*GlobalCell(tree, "$n"), 8);

  EXPECT_EQ(Save(*tree.Root()),
            (Lines{"<resourcelist name=\"root\">",
                   " <resourcelist name=\"usrglobal\">",
                   " </resourcelist>",
                   " <resourcelist name=\"classes\">",
                   "  <class name=\"Player\" src=\"sub\\Player.kelvo\"/>",
                   "  <class name=\"Away\" src=\"lib\\Away.kelvo\"/>",
                   " </resourcelist>",
                   " <param name=\"title\" value=\"A &quot;game&quot;\"/>",
                   " <globalvalue name=\"$n\" value=\"8\"/>",
                   " <resourcelist name=\"empty\">",
                   " </resourcelist>",
                   "</resourcelist>"}));
}

TEST_F(ResourceFixture, GlobalValueWriterTakesTheVariablesValue) {
  Load("<resourcelist name=\"root\"><resourcelist name=\"usrglobal\"/>"
       "<globalvalue name=\"$msg\" value=\"%22hi%22\"/></resourcelist>");
  auto* msg = static_cast<TGlobalValue*>(Find("$msg"));
  EXPECT_EQ(msg->valueText, "\"hi\"");
  tree.Root()->init();
  EXPECT_EQ(caller.evals.back(), "$msg=\"hi\";");

  struct Case {
    TScriptValue value;
    const char* written;
    const char* valueText;
  } cases[] = {
      {Str("hi"), "%22hi%22", "\"hi\""},
      {Str("a\"<b>%"), "%22a\\%22%3cb%3e%25%22", "\"a\\\"<b>%\""},
      {IntValue(-12), "-12", "-12"},
      {FloatValue(1.5f), "", ""},
      {NewObject(wrapperClass), "", ""},
      {NullValue(), "", ""},
  };
  for (Case& c : cases) {
    SetGlobal(tree, "$msg", c.value);
    SetNull(c.value);
    EXPECT_EQ(Save(*msg), (Lines{"<globalvalue name=\"$msg\" value=\"" + std::string(c.written) +
                                 "\"/>"}));
    EXPECT_EQ(msg->valueText, c.valueText);
  }
  // A name that is not a variable has no value.
  TGlobalValue plain(tree, "plain", "", "5");
  EXPECT_EQ(Save(plain), (Lines{"<globalvalue name=\"plain\" value=\"\"/>"}));
}

TEST_F(ResourceFixture, ReadingOddTexts) {
  EXPECT_EQ(tree.parseResource(""), nullptr);
  EXPECT_EQ(tree.parseResource("no tags at all"), nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(tree.parseResource("<mystery name=\"m\"/>"), nullptr);
  EXPECT_EQ(boxes, (Lines{"mystery" + SJ("は不正なタグ名です")}));
  // Inside a list an unknown element is skipped.
  TResourcePtr list =
      tree.parseResource("<resourcelist name=\"l\"><odd/><param name=\"p\"/></resourcelist>");
  ASSERT_EQ(static_cast<TResourceList&>(*list).childCount(), 1u);
  EXPECT_EQ(static_cast<TResourceList&>(*list).childAt(0)->name(), "p");
  // Other parts plug their tags in.
  tree.SetTagBuilder("odd", [this](const TSGML& e, const std::string&) {
    return TResourcePtr(new TfParam(tree, "built-" + e.getAttr("name")));
  });
  EXPECT_EQ(tree.parseResource("<odd name=\"x\"/>")->name(), "built-x");
}

TEST_F(ResourceFixture, DeepNestingIsCutOff) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<resourcelist name=\"n\">";
  TResourcePtr top = tree.parseResource(text);
  int depth = 0;
  for (TResource* r = top.get(); r; r = static_cast<TResourceList*>(r)->childAt(0)) ++depth;
  EXPECT_EQ(depth, TResourceTree::kMaxNesting);
  EXPECT_EQ(logs.size(), 1u);
}

TEST_F(ResourceFixture, CloneIsADetachedCopy) {
  Load(kSmallTree);
  TResource* player = Find("usr.classes.Player");
  TResourcePtr copy = player->clone();
  ASSERT_TRUE(ClassOf(copy.get()));
  EXPECT_NE(ClassOf(copy.get()), ClassOf(player));
  EXPECT_EQ(copy->name(), "Player");
  EXPECT_EQ(copy->src(), player->src());
  EXPECT_EQ(copy->parent(), nullptr);
  TResourcePtr listCopy = Find("usr")->clone();
  Lines names;
  listCopy->listNames(names, "x");
  EXPECT_EQ(names, (Lines{"x", "x.classes", "x.classes.Player"}));
}

TEST(TextLines, SplitAtEveryKindOfLineEnd) {
  struct Case {
    const char* text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"\n", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitTextLines(c.text), c.lines) << c.text;
}

}  // namespace
}  // namespace kelvo
