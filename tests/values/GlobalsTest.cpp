#include "values/Globals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ShiftJis.h"
#include "resources/ResourceFixture.h"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;
using testing::ResourceFixture;

TEST(GlobalNames, Legality) {
  TBRegExp regExp;
  struct Case {
    std::string name;
    bool legal;
  } cases[] = {
      {"$", true},
      {"$a_1", true},
      {"$ABC_def_09", true},
      {SJ("$あ"), true},           // a double-byte character
      {SJ("$表示x"), true},        // its trail byte 0x5C is not a backslash
      {"$\xB1\xB2", true},         // two half-width kana pair up as one character
      {"$\xB1", false},            // one of them has no partner
      {"$a\x82", false},           // a lead byte cut off at the end
      {"$a.b", false},
      {"$a-b", false},
      {"$a b", false},
      {"a", false},
      {"a$", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsLegalGlobalName(regExp, c.name), c.legal) << c.name;
}

class GlobalsTest : public ResourceFixture {
 protected:
  GlobalsTest() { Load(testing::kSmallTree); }
};

TEST_F(GlobalsTest, CellsAreMadeOnceAndFoundIgnoringCase) {
  EXPECT_EQ(GlobalCell(tree, "x"), nullptr);
  EXPECT_EQ(GlobalCell(tree, ""), nullptr);
  EXPECT_EQ(GlobalCell(tree, "$a.b"), nullptr);
  EXPECT_EQ(tree.UserGlobals()->childCount(), 0u);

  TScriptValue* x = GlobalCell(tree, "$x");
  ASSERT_TRUE(x);
  EXPECT_EQ(x->Tag, vkNull);
  EXPECT_EQ(tree.UserGlobals()->childAt(0)->name(), "$x");
  EXPECT_EQ(GlobalCell(tree, "$x"), x);
  EXPECT_EQ(GlobalCell(tree, "$X"), x);
  EXPECT_EQ(tree.UserGlobals()->childCount(), 1u);
  // A class reached by its path has a cell too (itself), but only "$" names are looked up.
  EXPECT_EQ(GlobalCell(tree, "usr.classes.Player"), nullptr);
}

TEST_F(GlobalsTest, SetGlobalCopiesCounted) {
  TScriptValue s = Str("text");
  SetGlobal(tree, "$s", s);
  EXPECT_EQ(s.Object->RefCount, 2);
  SetGlobal(tree, "$S", IntValue(5));
  EXPECT_EQ(s.Object->RefCount, 1);  // the old value was released
  EXPECT_EQ(GlobalCell(tree, "$s")->Int, 5);
  SetGlobal(tree, "nothing", s);  // no cell, nothing happens
  EXPECT_EQ(s.Object->RefCount, 1);
  SetNull(s);
}

TEST_F(GlobalsTest, PageGlobalsAreDeclaredInUsrGlobal) {
  DeclarePageGlobal(tree, "$w", false);  // absent: nothing to remove, but the list is made
  TResource* list = Find("usr.global");
  ASSERT_TRUE(dynamic_cast<TResourceList*>(list));
  auto count = [&] { return static_cast<TResourceList*>(list)->childCount(); };
  EXPECT_EQ(count(), 0u);
  DeclarePageGlobal(tree, "$w", true);
  DeclarePageGlobal(tree, "$W", true);
  ASSERT_EQ(count(), 1u);
  auto* w = dynamic_cast<TGlobalValue*>(list->findChild("$w"));
  ASSERT_TRUE(w);
  EXPECT_EQ(w->valueText, "");
  DeclarePageGlobal(tree, "$h", true);
  DeclarePageGlobal(tree, "$w", false);
  EXPECT_EQ(count(), 1u);
  EXPECT_EQ(list->findChild("$w"), nullptr);
  EXPECT_NE(list->findChild("$h"), nullptr);

  // Without "usr" there is nowhere to declare.
  tree.deleteResource("usr");
  DeclarePageGlobal(tree, "$w", true);
  EXPECT_EQ(Find("usr"), nullptr);
  EXPECT_EQ(Find("usr.global"), nullptr);
}

TEST_F(GlobalsTest, ValueOfTextEvaluatesAnAssignment) {
  TScriptValue* cell = ValueOfText(tree, "3");
  EXPECT_EQ(caller.evals, (Lines{"extends Object; $_tmp_valueOf=3;"}));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell, GlobalCell(tree, globals::kTmpValueOf));
  EXPECT_EQ(cell->Int, 3);
  // A text that does not run leaves the previous value.
  EXPECT_EQ(ValueOfText(tree, "1+")->Int, 3);
}

}  // namespace
}  // namespace kelvo
