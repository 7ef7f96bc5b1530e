#include <gtest/gtest.h>

#include "frontend/DefinitionReader.h"
#include "frontend/GrammarError.h"
#include "frontend/GrammarNodes.h"
#include "frontend/Yup.h"
#include "frontend/GrammarTestSupport.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

using testing::CapturingReporter;
using testing::TokenText;

template <class Node>
const Node& TopLevel(const Node& root, const std::string& name) {
  for (const auto& def : root.Children)
    if (def->Name == name) return *def;
  throw std::runtime_error("no top-level definition " + name);
}

class ShippedTrees : public ::testing::Test {
 protected:
  void SetUp() override {
    yup = TYup::CreateShipped(capture.reporter);
    yup->SetOnCreateList([this](PResListGetter p) {
      createNames.push_back(p->Name);
      Yup1CreateList(p);
    });
    yup->BuildTrees();
    lex = yup->LexTree();
    gram = yup->GramTree();
  }
  CapturingReporter capture;
  std::unique_ptr<TYup> yup;
  std::vector<std::string> createNames;
  const TLexRule* lex = nullptr;
  const TGramRule* gram = nullptr;
};

TEST_F(ShippedTrees, ReadWithoutMessages) {
  EXPECT_TRUE(capture.messages.empty());
  // Every grammar line but the closing "@" asks for a prototype, in line order.
  EXPECT_EQ(createNames.size(), ShippedGramNode().size() - 1);
  const std::vector<std::string> firstNames = {"Grammar", "Program", "Extends", "", "", "FuncDecl"};
  EXPECT_EQ(std::vector<std::string>(createNames.begin(), createNames.begin() + 6), firstNames);
}

TEST_F(ShippedTrees, LexicalClassificationBoundsAndLinks) {
  ASSERT_EQ(lex->ChildCount(), 56);
  EXPECT_EQ(lex->Children[0]->Name, "while");
  EXPECT_EQ(lex->Children[0]->Kind, TRuleKind::Literal);
  EXPECT_EQ(lex->Children[47]->Name, "}");
  const std::vector<std::string> tail = {"COMM", "NUM", "STRING", "SYMBOL",
                                         "*Stop", "Digit", "Alpha", "Kanji"};
  for (size_t i = 0; i < tail.size(); ++i) EXPECT_EQ(lex->Children[48 + i]->Name, tail[i]);

  // Names without a prefix find themselves and become plain sequences.
  const TLexRule& comm = TopLevel(*lex, "COMM");
  EXPECT_EQ(comm.Kind, TRuleKind::Sequence);
  EXPECT_EQ(comm.Min, 1);
  EXPECT_EQ(comm.Max, 1);
  EXPECT_EQ(comm.Link, &comm);

  const TLexRule& digit = TopLevel(*lex, "Digit");
  EXPECT_EQ(digit.Kind, TRuleKind::Range);
  EXPECT_EQ(digit.Low, '0');
  EXPECT_EQ(digit.High, '9');
  ASSERT_EQ(digit.ChildCount(), 2);  // the bound lines stay children
  EXPECT_EQ(digit.Children[1]->Kind, TRuleKind::Literal);
  EXPECT_EQ(digit.Children[1]->Name, "9");
  EXPECT_EQ(TopLevel(*lex, "Alpha").Kind, TRuleKind::Choice);

  const TLexRule& num = TopLevel(*lex, "NUM");
  EXPECT_EQ(num.Children[0]->Min, 1);
  EXPECT_EQ(num.Children[0]->Max, kUnboundedRepeat);
  EXPECT_EQ(num.Children[1]->Min, 0);
  EXPECT_EQ(num.Children[1]->Max, 1);
  EXPECT_TRUE(num.Children[0]->Children[0]->IsResolvedReference());
  EXPECT_EQ(num.Children[0]->Children[0]->Link, &digit);

  // Inside STRING, "kanji" is not "Kanji": an inline group of two ranges.
  const TLexRule& items = *TopLevel(*lex, "STRING").Children[1]->Children[0];
  const TLexRule& kanjiGroup = *items.Children[0];
  EXPECT_EQ(kanjiGroup.Name, "kanji");
  EXPECT_EQ(kanjiGroup.Kind, TRuleKind::Sequence);
  EXPECT_EQ(kanjiGroup.Link, &kanjiGroup);
  EXPECT_EQ(kanjiGroup.Children[0]->Kind, TRuleKind::Range);
  EXPECT_EQ(kanjiGroup.Children[0]->Low, 0x80);
  EXPECT_EQ(items.Children[4]->Children[0]->Name, "\\");  // $5c
  // Inside SYMBOL it is the top-level definition.
  const TLexRule& symbolFirst = *TopLevel(*lex, "SYMBOL").Children[0];
  EXPECT_EQ(symbolFirst.Children[1]->Link, &TopLevel(*lex, "Kanji"));
}

TEST_F(ShippedTrees, FirstSets) {
  auto bytes = [](const TFirst& f) {
    std::string s;
    for (int b = 0; b < 256; ++b)
      if (f.Has(static_cast<uint8_t>(b))) s += static_cast<char>(b);
    return s;
  };
  EXPECT_EQ(bytes(lex->Children[0]->First), "w");
  EXPECT_EQ(bytes(TopLevel(*lex, "Digit").First), "0123456789");
  EXPECT_EQ(TopLevel(*lex, "NUM").First, TopLevel(*lex, "Digit").First);
  EXPECT_EQ(bytes(TopLevel(*lex, "COMM").First), "/");
  EXPECT_EQ(bytes(TopLevel(*lex, "STRING").First), "\"");
  const TFirst& symbol = TopLevel(*lex, "SYMBOL").First;
  EXPECT_EQ(symbol.Count(), 26 + 26 + 1 + 1 + 32 + 32);
  for (int b : {int{'a'}, int{'Z'}, int{'_'}, int{'$'}, 0x80, 0x9F, 0xE0, 0xFF}) EXPECT_TRUE(symbol.Has(static_cast<uint8_t>(b))) << b;
  for (int b : {int{'0'}, 0xA0, 0xDF, int{' '}}) EXPECT_FALSE(symbol.Has(static_cast<uint8_t>(b))) << b;
  EXPECT_EQ(TopLevel(*lex, "Kanji").First.Count(), 64);
  EXPECT_EQ(TopLevel(*lex, "*Stop").First.Count(), 0);
  // An optional or repeated group may match nothing, so it stands before any byte.
  EXPECT_EQ(TopLevel(*lex, "STRING").Children[1]->First.Count(), 256);
}

TEST_F(ShippedTrees, GrammarLinksAndPrototypes) {
  ASSERT_EQ(gram->ChildCount(), 34);
  const TGramRule& program = *gram->Children[0];
  EXPECT_EQ(program.Name, "Program");
  EXPECT_STREQ(program.Prototype->ClassName(), "G_Program");
  const TGramRule& extends = TopLevel(*gram, "Extends");
  EXPECT_EQ(program.Children[0]->Link, &extends);
  EXPECT_EQ(extends.Min, 0);
  EXPECT_EQ(extends.Max, 1);
  EXPECT_STREQ(extends.Prototype->ClassName(), "G_Extends");
  EXPECT_STREQ(program.Children[1]->Prototype->ClassName(), "G_Err");
  EXPECT_EQ(TopLevel(*gram, "Sentence").Kind, TRuleKind::Choice);
  EXPECT_STREQ(TopLevel(*gram, "Comment").Prototype->ClassName(), "TResList");

  const TGramRule& commentToken = *TopLevel(*gram, "Comment").Children[0];
  EXPECT_EQ(commentToken.Kind, TRuleKind::Literal);
  EXPECT_EQ(commentToken.TokenLink, &TopLevel(*lex, "COMM"));
  const TGramRule& constChoice = *TopLevel(*gram, "Const").Children[0];
  EXPECT_EQ(constChoice.Children[0]->TokenLink, &TopLevel(*lex, "null"));
  EXPECT_EQ(constChoice.Children[1]->TokenLink, &TopLevel(*lex, "NUM"));
}

TEST(NodeClassMap, NamesGiveTheirClassesExactly) {
  struct Case {
    const char* name;
    const char* cls;
  };
  const Case cases[] = {{"Program", "G_Program"}, {"VarDecl", "G_VarDecl"}, {"This", "G_This"},
                        {"Sentence", "G_Sentence"}, {"Comment", "TResList"}, {"", "G_Err"},
                        {"program", "G_Err"}, {"Grammar", "G_Err"}, {"Err", "G_Err"},
                        {"Program ", "G_Err"}};
  for (const Case& c : cases) {
    TResListGetter getter{c.name, nullptr};
    Yup1CreateList(&getter);
    ASSERT_NE(getter.Node, nullptr);
    EXPECT_STREQ(getter.Node->ClassName(), c.cls) << c.name;
    EXPECT_STREQ(getter.Node->NewEmpty()->ClassName(), c.cls) << c.name;
  }
}

// A component over custom definition texts, with the shipped node classes.
struct Custom {
  Custom(const char* lexText, const char* gramText = "Grammar\n Start\n@\n") {
    yup.SetLexNodeText(lexText);
    yup.SetGramNodeText(gramText);
    yup.SetOnCreateList(Yup1CreateList);
  }
  std::string Lexed(const char* source) { return TokenText(*yup.Lex(source)); }
  CapturingReporter capture;
  TYup yup{capture.reporter};
};

TEST(CustomDefinitions, LinkingComparesNamesWithCaseAndSkipsDuplicates) {
  Custom c(
      "Lexical\n"
      " Kanji\n  'K\n"
      " Name\n  kanji\n   'k\n  'n\n"   // "kanji" labels a group of its own
      " Twice\n  'a\n"
      " Twice\n  'b\n"                 // refers to the first Twice; its children are ignored
      " Other\n  Empty\n  'e\n"        // Empty: no definition, no children: never matches
      " Ref\n  Kanji\n  'r\n"
      "@\n");
  EXPECT_EQ(c.Lexed("kn Kn a b e Kr"), "Name:kn Kanji:K Twice:a Ref:Kr");
  EXPECT_TRUE(c.capture.messages.empty());
  const TLexRule& root = *c.yup.LexTree();
  EXPECT_EQ(root.Children[3]->Kind, TRuleKind::Reference);
  EXPECT_EQ(root.Children[3]->Link, root.Children[2].get());
  EXPECT_EQ(root.Children[4]->Children[0]->Kind, TRuleKind::Sequence);
  EXPECT_EQ(root.Children[4]->Children[0]->ChildCount(), 0);
  // The token of "a" comes from the first Twice.
  EXPECT_EQ(c.yup.Lex("a")->Item(0)->Rule, root.Children[2].get());
}

TEST(CustomDefinitions, Messages) {
  const std::string bug = SJ("バグ発生:");
  const std::string bounds = bug + "Please Put '' or $ at the first letters of each children";
  struct Case {
    const char* lex;
    const char* gram;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"Lexical\n 'while \n 'x\n@\n", "Grammar\n Start\n  'x\n@\n",
       {"Wanring: extra space in  'while "}},
      {"Lexical \n 'x\n@\n", "Grammar\n Start\n  'x \n@\n",
       {"Wanring: extra space in Lexical ", "Wanring: extra space in   'x ",
        bug + "x  is not linked."}},
      {"Lexical\n -D\n  0\n  '9\n 'x\n@\n", "Grammar\n Start\n  'x\n@\n", {bounds}},
      {"Lexical\n -D\n  $00\n  $00\n 'x\n@\n", "Grammar\n Start\n  'x\n@\n", {bounds}},
      {"Lexical\n -D\n  'a\n 'x\n@\n", "Grammar\n Start\n  'x\n@\n", {bounds}},
      {"Lexical\n -D\n  'a\n  $7a\n 'x\n@\n", "Grammar\n Start\n  'x\n@\n", {}},
      {"Lexical\n 'x\n@\n", "Grammar\n Start\n  'Nope\n  'x\n@\n", {bug + "Nope is not linked."}},
      // Lexical messages first, then the grammar's, each in line order.
      {"Lexical\n -D \n  x\n  'z\n 'x\n@\n", "Grammar\n Start\n  'y\n  'X\n@\n",
       {"Wanring: extra space in  -D ", bounds, bug + "y is not linked.",
        bug + "X is not linked."}},
  };
  for (const Case& c : cases) {
    Custom custom(c.lex, c.gram);
    custom.yup.BuildTrees();
    EXPECT_EQ(custom.capture.messages, c.messages) << c.lex << c.gram;
  }
}

TEST(CustomDefinitions, TrailingSpaceStaysInTheLiteral) {
  Custom c("Lexical\n 'while \n SYM\n  [}\n   -\n    'a\n    'z\n@\n");
  EXPECT_EQ(c.Lexed("while"), "SYM:while");
  EXPECT_EQ(c.Lexed("while x"), "while :while  SYM:x");
}

TEST(CustomDefinitions, RangeWithABoundOfZeroNeverMatchesTheEndOfText) {
  Custom c("Lexical\n -Any\n  $00\n  $ff\n@\n");
  const char text[] = "ab\0cd";
  auto list = c.yup.Lex(text);
  EXPECT_EQ(TokenText(*list), "Any:a Any:b");
  EXPECT_EQ(c.capture.messages.size(), 1u);
}

TEST(CustomDefinitions, RepetitionStopsAtItsBound) {
  Custom c("Lexical\n A\n  [}\n   'a\n@\n");
  std::string text(kUnboundedRepeat + 3, 'a');
  auto list = c.yup.Lex(text.c_str());
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Item(0)->View().size(), static_cast<size_t>(kUnboundedRepeat));
  EXPECT_EQ(list->Item(1)->View().size(), 3u);
}

TEST(CustomDefinitions, TokenReferencesAndMissingRulesInTheGrammar) {
  struct Case {
    const char* gram;
    const char* source;
    bool parses;
  };
  const Case cases[] = {
      {"Grammar\n Start\n  'NUM\n@\n", "1", true},
      // Digit follows *Stop: it links without a message, but no token ever comes from it.
      {"Grammar\n Start\n  'Digit\n@\n", "1", false},
      // A name no rule bears, without children, never matches.
      {"Grammar\n Start\n  'NUM\n  Missing\n@\n", "1", false},
      {"Grammar\n Start\n  'NUM\n  []\n   Missing\n@\n", "1", true},
      // ... and with children it is an inline group.
      {"Grammar\n Start\n  Pair\n   'NUM\n   ';\n@\n", "1;", true},
      // The start rule must consume every token.
      {"Grammar\n Start\n  'NUM\n@\n", "1 2", false},
  };
  for (const Case& c : cases) {
    Reporter quiet;
    quiet.SetMessageBoxSink([](const std::string&) {});
    TYup yup(quiet);
    yup.SetLexNode(ShippedLexNode());
    yup.SetGramNodeText(c.gram);
    yup.SetOnCreateList(Yup1CreateList);
    auto list = yup.Lex(c.source);
    EXPECT_EQ(yup.Parse(*list) != nullptr, c.parses) << c.gram << c.source;
  }
}

TEST(CustomDefinitions, UnreadableTextsRaiseErrors) {
  struct Case {
    const char* lex;
    const char* gram;
  };
  const std::string deep = [] {
    std::string s = "Lexical\n";
    for (int i = 1; i <= kMaxDefinitionNesting + 2; ++i) s += std::string(i, ' ') + "A\n";
    return s + "@\n";
  }();
  const Case cases[] = {
      {"", "Grammar\n Start\n  'x\n@\n"},
      {"Lexical\n 'x\n", "Grammar\n Start\n  'x\n@\n"},   // no closing line of depth 0
      {"Lexical\n 'x\n -R", "Grammar\n Start\n  'x\n@\n"},
      {"Lexical\n 'x\n@\n", "Grammar\n Start\n  'x\n"},
      {"Lexical\n 'x\n@\n", ""},
      {deep.c_str(), "Grammar\n Start\n  'x\n@\n"},
  };
  for (const Case& c : cases) {
    Custom custom(c.lex, c.gram);
    EXPECT_THROW(custom.yup.Lex("x"), EGrammarError) << c.lex << c.gram;
    EXPECT_FALSE(custom.yup.TreesBuilt());
  }
}

TEST(CustomDefinitions, NoOnCreateListHandler) {
  CapturingReporter capture;
  TYup yup(capture.reporter);
  yup.SetLexNodeText("Lexical\n 'x \n@\n");
  yup.SetGramNodeText("Grammar\n Start\n  'x \n@\n");
  try {
    yup.Lex("x");
    FAIL() << "no exception";
  } catch (const EGrammarError& e) {
    EXPECT_STREQ(e.what(), "No onCreateList Assigned");
  }
  // The lexical tree was read first, and the grammar failed at its first line.
  EXPECT_EQ(capture.messages, std::vector<std::string>{"Wanring: extra space in  'x "});

  yup.SetOnCreateList([](PResListGetter) {});  // answers no node
  EXPECT_THROW(yup.Lex("x"), EGrammarError);

  yup.SetOnCreateList(Yup1CreateList);
  EXPECT_EQ(TokenText(*yup.Lex("x ")), "x :x ");
}

TEST(CustomDefinitions, TextsAssignedAfterTheFirstLexHaveNoEffect) {
  Custom c("Lexical\n 'x\n@\n", "Grammar\n Start\n  'x\n@\n");
  EXPECT_EQ(c.Lexed("xy"), "x:x");
  c.yup.SetLexNodeText("Lexical\n 'y\n@\n");
  c.yup.SetGramNodeText("");
  EXPECT_EQ(c.Lexed("xy"), "x:x");
  auto list = c.yup.Lex("x");
  EXPECT_NE(c.yup.Parse(*list), nullptr);
  // The component keeps its own copy of what it was given.
  TDefinitionLines lines = {"Lexical", "@"};
  c.yup.SetLexNode(lines);
  lines.push_back("changed");
  EXPECT_EQ(c.yup.LexNode().size(), 2u);
}

TEST(DefinitionText, SplitsLinesLikeAStringList) {
  EXPECT_EQ(SplitDefinitionLines("a\nb\r\nc\rd\n"), (TDefinitionLines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitDefinitionLines("a\n\nb"), (TDefinitionLines{"a", "", "b"}));
  EXPECT_TRUE(SplitDefinitionLines("").empty());
  // The shipped texts: root first, "@" last, nothing else at depth 0, no tabs.
  for (const TDefinitionLines* text : {&ShippedLexNode(), &ShippedGramNode()}) {
    ASSERT_GE(text->size(), 3u);
    EXPECT_EQ(text->back(), "@");
    for (size_t i = 1; i + 1 < text->size(); ++i) {
      EXPECT_EQ((*text)[i][0], ' ') << i;
      EXPECT_EQ((*text)[i].find('\t'), std::string::npos) << i;
      EXPECT_NE((*text)[i].back(), ' ') << i;
    }
  }
  EXPECT_EQ(ShippedLexNode().front(), "Lexical");
  EXPECT_EQ(ShippedGramNode().front(), "Grammar");
}

}  // namespace
}  // namespace kelvo
