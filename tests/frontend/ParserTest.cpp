#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "frontend/GrammarError.h"
#include "frontend/GrammarNodes.h"
#include "frontend/TreeText.h"
#include "frontend/Yup.h"
#include "frontend/GrammarTestSupport.h"

namespace kelvo {
namespace {

// Printed forms of the expression chain, built from the grammar's levels so that a test
// states only what differs.
std::string Empty() { return "G_Err()"; }
std::string Level(const char* cls, const std::string& first, const std::string& rest = Empty()) {
  return std::string(cls) + "(" + first + " " + rest + ")";
}
std::string Group(const std::string& items) { return "G_Err(" + items + ")"; }
std::string Tok(const std::string& text) { return "\"" + text + "\""; }
std::string LValE(const std::string& name, const std::string& call = Empty()) {
  return "G_LValE(" + Tok(name) + " " + call + ")";
}
std::string Name(const std::string& name) {
  return Level("G_IncEx", Level("G_LVal", LValE(name)));
}
std::string Md(const std::string& una, const std::string& prefix = Empty()) {
  return "G_MDEx(" + prefix + " " + una + ")";
}
std::string As(const std::string& md, const std::string& rest = Empty()) { return Level("G_ASEx", md, rest); }
std::string Cp(const std::string& as, const std::string& rest = Empty()) { return Level("G_CompEx", as, rest); }
std::string Is(const std::string& cp, const std::string& rest = Empty()) { return Level("G_IsEx", cp, rest); }
std::string And(const std::string& is, const std::string& rest = Empty()) { return Level("G_AndEx", is, rest); }
std::string Or(const std::string& a, const std::string& rest = Empty()) { return Level("G_OrEx", a, rest); }
std::string Rv(const std::string& o, const std::string& rest = Empty()) { return Level("G_RVal", o, rest); }
// A value with no binary operator around it.
std::string Value(const std::string& md) { return Rv(Or(And(Is(Cp(As(md)))))); }
std::string Expr(const std::string& rval, const std::string& target = Empty()) {
  return "G_Expr(" + target + " " + rval + ")";
}
std::string ExprS(const std::string& expr) { return "G_ExprS(" + expr + " " + Tok(";") + ")"; }
std::string NameS(const std::string& name) { return ExprS(Expr(Value(Md(Name(name))))); }
std::string Program(const std::string& statements, const std::string& decls = Empty(),
                    const std::string& extends = "G_Extends()") {
  return "G_Program(" + extends + " " + decls + " " + statements + ")";
}

class ShippedParser : public ::testing::Test {
 protected:
  // The printed tree of `source` (comments removed), or "" when it does not parse. Both
  // parsing modes must agree on the tree and on Last accepted.
  std::string Parsed(const std::string& source, int32_t* lastAccepted = nullptr) {
    std::string trees[2];
    int32_t last[2];
    const TParseMode modes[2] = {TParseMode::Memoised, TParseMode::Plain};
    for (int m = 0; m < 2; ++m) {
      yup->SetParseMode(modes[m]);
      auto list = yup->Lex(source.c_str());
      testing::DropComments(*list);
      auto tree = yup->Parse(*list);
      trees[m] = tree ? TreeText(*tree) : "";
      last[m] = list->LastAccepted() ? static_cast<int32_t>(list->LastAccepted() - source.c_str()) : -1;
    }
    EXPECT_EQ(trees[0], trees[1]) << source;
    EXPECT_EQ(last[0], last[1]) << source;
    if (lastAccepted) *lastAccepted = last[0];
    return trees[0];
  }
  Reporter reporter;
  std::unique_ptr<TYup> yup = TYup::CreateShipped(reporter);
};

TEST_F(ShippedParser, TreeShapes) {
  struct Case {
    const char* source;
    std::string tree;
  };
  const std::string one = Expr(Value(Md("G_Const(\"1\")")));
  const Case cases[] = {
      {"", Program(Empty())},
      {"a;", Program(Group(NameS("a")))},
      {"a = b;", Program(Group(ExprS(Expr(Value(Md(Name("b"))),
                                          Group(Level("G_LVal", LValE("a")) + " " + Tok("=")))))) },
      {"f();", Program(Group(ExprS(Expr(Value(Md(Level(
                   "G_IncEx", Level("G_LVal", LValE("f", Group(Tok("(") + " G_ArgList() " + Tok(")"))))))))))) },
      {"a.b(1, 2).c++;",
       Program(Group(ExprS(Expr(Value(Md(Level(
           "G_IncEx",
           Level("G_LVal", LValE("a"),
                 Group(Tok(".") + " " +
                       LValE("b", Group(Tok("(") + " G_ArgList(" + one + " " +
                                        Group(Tok(",") + " " + Expr(Value(Md("G_Const(\"2\")")))) +
                                        ") " + Tok(")"))) +
                       " " + Tok(".") + " " + LValE("c"))),
           Group(Tok("++")))))))))},
      {"x = -1 + !y * z;",
       Program(Group(ExprS(Expr(
           Rv(Or(And(Is(Cp(As(Md("G_Const(\"1\")", Group(Tok("-")))),
                            Group(Tok("+") + " " +
                                  As(Md(Name("y"), Group(Tok("!"))),
                                     Group(Tok("*") + " " + Md(Name("z")))))))))),
           Group(Level("G_LVal", LValE("x")) + " " + Tok("=")))))) },
      {"a || b && c;",
       Program(Group(ExprS(Expr(Rv(Or(And(Is(Cp(As(Md(Name("a"))))))),
                                   Group(Tok("||") + " " +
                                         Or(And(Is(Cp(As(Md(Name("b")))))),
                                            Group(Tok("&&") + " " +
                                                  And(Is(Cp(As(Md(Name("c"))))))))))))))},
      {"q = new A.B(null) is C;",
       Program(Group(ExprS(Expr(
           Rv(Or(And(Is(Cp(As(Md("G_NewObj(\"new\" G_ResourceVal(\"A\" G_Err(\".\" \"B\")) \"(\" "
                                  "G_ArgList(" + Expr(Value(Md("G_Const(\"null\")"))) + " G_Err()) \")\")"))),
                        Group(Tok("is") + " G_ResourceVal(\"C\" G_Err())"))))),
           Group(Level("G_LVal", LValE("q")) + " " + Tok("=")))))) },
      {"(a);", Program(Group(ExprS(Expr(Value(Md("G_Par(\"(\" " + Expr(Value(Md(Name("a")))) + " \")\")"))))))},
      // The else goes to the innermost if.
      {"if (a) if (b) x; else y;",
       Program(Group("G_If(\"if\" \"(\" " + Expr(Value(Md(Name("a")))) + " \")\" G_If(\"if\" \"(\" " +
                     Expr(Value(Md(Name("b")))) + " \")\" " + NameS("x") + " G_Err(\"else\" " +
                     NameS("y") + ")) G_Err())"))},
      {"for (i in list) x;",
       Program(Group("G_Forin(\"for\" \"(\" " + Level("G_LVal", LValE("i")) + " \"in\" " +
                     Expr(Value(Md(Name("list")))) + " \")\" " + NameS("x") + ")"))},
      {"while (1) { break; return; }",
       Program(Group("G_While(\"while\" \"(\" " + one + " \")\" G_Block(\"{\" G_Err(G_Break(\"break\" "
                     "\";\") G_Return(\"return\" G_Err() \";\")) \"}\"))"))},
      {"extends classes.lang.Object; function f(a, b) { var x; return x; } native n; /* c */",
       Program(Empty(),
               Group("G_FuncDecl(\"function\" \"f\" \"(\" G_VArgList(\"a\" G_Err(\",\" \"b\")) \")\" "
                     "G_VarBlock(\"{\" G_Err(G_VarDecl(\"var\" G_VArgList(\"x\" G_Err()) \";\")) "
                     "G_Err(G_Return(\"return\" G_Err(" + Expr(Value(Md(Name("x")))) + ") \";\")) \"}\")) "
                     "G_NativeDecl(\"native\" \"n\" \";\")"),
               "G_Extends(\"extends\" G_ResourceVal(\"classes\" G_Err(\".\" \"lang\" \".\" \"Object\")) \";\")")},
      {"constructor make() { constructor(); }",
       Program(Empty(), Group("G_FuncDecl(\"constructor\" \"make\" \"(\" G_VArgList() \")\" G_VarBlock(\"{\" "
                              "G_Err() G_Err(" +
                              ExprS(Expr(Value(Md(Level("G_IncEx", Level("G_LVal",
                                  LValE("constructor", Group(Tok("(") + " G_ArgList() " + Tok(")"))))))))) +
                              ") \"}\"))"))},
  };
  for (const Case& c : cases) EXPECT_EQ(Parsed(c.source), c.tree) << c.source;
}

TEST_F(ShippedParser, ForIsTriedBeforeForin) {
  auto list = yup->Lex("for (i = 0; i < 3; i++) x;");
  auto tree = yup->Parse(*list);
  ASSERT_NE(tree, nullptr);
  const TResList* loop = tree->Child(2)->Child(0);
  EXPECT_STREQ(loop->ClassName(), "G_For");
  ASSERT_EQ(loop->Count(), 9);
  for (int i : {2, 4, 6}) EXPECT_STREQ(loop->Child(i)->ClassName(), "G_Expr");
  EXPECT_EQ(loop->Token(3)->Text(), ";");
  EXPECT_STREQ(loop->Child(8)->ClassName(), "G_ExprS");
  // i++ : the IncEx group holds the "++" token.
  const TResList* incEx = loop->Child(6)->Child(1)->Child(0)->Child(0)->Child(0)->Child(0)->Child(0)->Child(0)->Child(1);
  EXPECT_STREQ(incEx->ClassName(), "G_IncEx");
  EXPECT_EQ(incEx->Child(1)->Token(0)->Text(), "++");
}

TEST_F(ShippedParser, FailuresAndLastAccepted) {
  struct Case {
    const char* source;
    int32_t lastAccepted;  // offset of the last accepted token, -1 when none
  };
  const Case cases[] = {
      {"x = 1", 4},                      // no final ";"
      {"x = 1; function f() { }", 5},    // a declaration after the first statement
      {"x = - -y;", 4},                  // unary operators apply once
      {"x *= 2;", 0},                    // *= is a token no rule accepts
      {"y = (a).b;", 6},                 // no member access after parentheses
      {"if (a) x; else", 10},            // the else was accepted, then given back
      {"{", 0},
      // Forin takes the call from the memo that For built: Last accepted is the "1" inside
      // it, not the "(" that Forin accepted just before.
      {"for (a(1 in x) y;", 7},
      {"a a;", 0},
      {"for", 0},
      {"constructor new() { }", 0},      // new is a keyword, not a name
      {"fork;", -1},
  };
  for (const Case& c : cases) {
    int32_t last = -2;
    EXPECT_EQ(Parsed(c.source, &last), "") << c.source;
    EXPECT_EQ(last, c.lastAccepted) << c.source;
  }
}

TEST_F(ShippedParser, ChildAccessorsCheckIndexAndKind) {
  auto list = yup->Lex("a;");
  auto tree = yup->Parse(*list);
  ASSERT_NE(tree, nullptr);
  const TResList* exprS = tree->Child(2)->Child(0);
  EXPECT_EQ(exprS->Token(1)->Text(), ";");
  EXPECT_THROW(exprS->Child(1), EGrammarError);
  EXPECT_THROW(exprS->Token(0), EGrammarError);
  EXPECT_THROW(exprS->Child(2), EGrammarError);
  EXPECT_THROW(exprS->Child(-1), EGrammarError);
}

TEST_F(ShippedParser, DeepNestingIsAnErrorNotACrash) {
  auto nested = [](int depth) {
    return "x = " + std::string(depth, '(') + "1" + std::string(depth, ')') + ";";
  };
  EXPECT_NE(Parsed(nested(100)), "");
  for (TParseMode mode : {TParseMode::Memoised, TParseMode::Plain}) {
    yup->SetParseMode(mode);
    const std::string source = nested(2000);
    auto list = yup->Lex(source.c_str());
    EXPECT_THROW(yup->Parse(*list), EGrammarError);
  }
}

// Memoised and plain parsing of every fixture source: the same tree, the same Last accepted.
// Sources named "bad_*" must not parse, the others must.
TEST_F(ShippedParser, MemoisedEqualsPlainOnTheCorpus) {
  int valid = 0, invalid = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KELVO_FIXTURES "/grammar")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool bad = entry.path().filename().string().rfind("bad_", 0) == 0;
    const std::string tree = Parsed(source);
    EXPECT_EQ(tree.empty(), bad) << entry.path();
    ++(bad ? invalid : valid);
  }
  EXPECT_GE(valid, 8);
  EXPECT_GE(invalid, 8);
}

// Grammars where a rule matches twice at one position or refers to itself.
TEST(CustomGrammarParsing, MemoisedEqualsPlain) {
  struct Case {
    const char* gram;
    const char* source;
    const char* tree;  // "" when it does not parse
  };
  const Case cases[] = {
      // Opt matches nothing at 0 twice: the second result is a copy of the first.
      {"Grammar\n Start\n  Opt\n  Opt\n  'NUM\n []Opt\n  'SYMBOL\n  [}\n   'NUM\n@\n", "1",
       "G_Err(G_Err() G_Err() \"1\")"},
      {"Grammar\n Start\n  Opt\n  Opt\n []Opt\n  'SYMBOL\n  [}\n   'NUM\n@\n", "a 1 2 b 3",
       "G_Err(G_Err(\"a\" G_Err(\"1\" \"2\")) G_Err(\"b\" G_Err(\"3\")))"},
      // Repetition is greedy and never gives back what the rest of the rule needs.
      {"Grammar\n Start\n  Opt\n  Opt\n  'NUM\n []Opt\n  'SYMBOL\n  [}\n   'NUM\n@\n", "a 1 2 b 3",
       ""},
      // An empty iteration ends the repetition.
      {"Grammar\n Start\n  {}\n   []\n    'NUM\n  'SYMBOL\n@\n", "a", "G_Err(G_Err(G_Err()) \"a\")"},
      // Alternatives sharing a prefix parse it again (or take it from the memo).
      {"Grammar\n Start\n  |\n   Both\n   Item\n Both\n  Item\n  ';\n Item\n  'SYMBOL\n  []\n   '(\n   'NUM\n   ')\n@\n",
       "f(1)", "G_Err(G_Err(\"f\" G_Err(\"(\" \"1\" \")\")))"},
  };
  for (const Case& c : cases) {
    std::string trees[2];
    int m = 0;
    for (TParseMode mode : {TParseMode::Memoised, TParseMode::Plain}) {
      Reporter reporter;
      TYup yup(reporter);
      yup.SetLexNode(ShippedLexNode());
      yup.SetGramNodeText(c.gram);
      yup.SetOnCreateList(Yup1CreateList);
      yup.SetParseMode(mode);
      auto list = yup.Lex(c.source);
      auto tree = yup.Parse(*list);
      trees[m++] = tree ? TreeText(*tree) : "";
    }
    EXPECT_EQ(trees[0], c.tree) << c.gram << c.source;
    EXPECT_EQ(trees[1], c.tree) << c.gram << c.source;
  }
}

TEST(CustomGrammarParsing, LeftRecursionIsAnError) {
  for (TParseMode mode : {TParseMode::Memoised, TParseMode::Plain}) {
    Reporter reporter;
    TYup yup(reporter);
    yup.SetLexNode(ShippedLexNode());
    yup.SetGramNodeText("Grammar\n Start\n  Start\n  'NUM\n@\n");
    yup.SetOnCreateList(Yup1CreateList);
    yup.SetParseMode(mode);
    auto list = yup.Lex("1");
    EXPECT_THROW(yup.Parse(*list), EGrammarError);
  }
}

}  // namespace
}  // namespace kelvo
