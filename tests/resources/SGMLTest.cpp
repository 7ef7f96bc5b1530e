#include "resources/SGML.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/BRegExp.h"
#include "platform/Reporter.h"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;

// Reads one element from a copy of `text` in its own allocation, and reports where the cursor
// stopped.
std::unique_ptr<TSGML> Read(const std::string& text, size_t* stop = nullptr) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  const char* cursor = buffer.data();
  auto element = TSGML::readElement(cursor);
  EXPECT_LE(cursor, buffer.data() + text.size());
  if (stop) *stop = static_cast<size_t>(cursor - buffer.data());
  return element;
}

TEST(SGMLRead, ResourceListRoundTrip) {
  const std::string text =
      "<resourcelist name=\"test\">\r\n <resourcelist name=\"pages\">\r\n </resourcelist>\r\n"
      "</resourcelist>\r\n";
  size_t stop = 0;
  auto root = Read(text, &stop);
  ASSERT_TRUE(root);
  EXPECT_EQ(stop, text.size() - 2);  // just past the outer closing tag
  ASSERT_TRUE(root->subItems);
  ASSERT_EQ(root->subItems->size(), 1u);
  const TSGML& inner = *(*root->subItems)[0];
  ASSERT_TRUE(inner.subItems);  // present but empty, so written self-closing
  EXPECT_TRUE(inner.subItems->empty());
  EXPECT_EQ(root->toText(),
            "<resourcelist name=\"test\">\r\n <resourcelist name=\"pages\"/></resourcelist>");
}

TEST(SGMLRead, LeafTagsNeedNoClosingTag) {
  auto root = Read(
      "<resourcelist name=\"a\"><globalvalue name=\"$x\" value=\"0\">"
      "<class name=\"C\" src=\"C.kelvo\"/></resourcelist>");
  ASSERT_TRUE(root && root->subItems);
  ASSERT_EQ(root->subItems->size(), 2u);
  const TSGML& global = *(*root->subItems)[0];
  EXPECT_EQ(global.tagName, "globalvalue");
  EXPECT_EQ(global.attrs, (Lines{"name=$x", "value=0"}));
  EXPECT_FALSE(global.subItems);
  EXPECT_EQ((*root->subItems)[1]->getAttr("src"), "C.kelvo");

  // Which names are leaves is exact, letter case included.
  struct Case { const char* tag; size_t children; };
  const Case cases[] = {{"class", 2},    {"globalvalue", 2}, {"link", 2}, {"generator", 2},
                        {"cpattern", 2}, {"Class", 1},       {"links", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    auto r = Read(std::string("<r><") + c.tag + " a=\"1\"><b/></r>");
    ASSERT_TRUE(r && r->subItems);
    EXPECT_EQ(r->subItems->size(), c.children);
  }
}

TEST(SGMLRead, MalformedAndTruncatedText) {
  struct Case {
    const char* text;
    bool element;
    std::string written;  // toText of the result
  };
  const Case cases[] = {
      {"no tag at all", false, ""},
      {"", false, ""},
      {"</a><b/>", false, ""},                              // a closing tag first
      {"<a x=\"1\" y=\"ab", true, "<a x=\"1\"/>"},          // cut inside a value
      {"<a x=\"1\" y", true, "<a x=\"1\"/>"},               // cut before a value
      {"<r><a/><b", true, "<r>\r\n <a/> <b/></r>"},         // cut inside a child's tag
      {"<r><a/><", true, "<r>\r\n <a/> </></r>"},           // a lone "<" is an empty element
      {"<r><a/>", true, "<r>\r\n <a/></r>"},                // no closing tag
      {"<a/", true, "<a/>"},
      {"junk < a \t x = \"1\"\r\n/> tail", true, "<a x=\"1\"/>"},
      {"<a><b></x><c/></y>", true, "<a>\r\n <b/> <c/></a>"},  // closing names never compared
      {"<a b><c/></a>\"/>\"/>", true, "<a b=\"/>\"/>"},     // the value starts at any next quote
      {"<a x=\"1\" x=\"2\"/>", true, "<a x=\"1\" x=\"2\"/>"},
      {"<a v=\"\"/>", true, "<a/>"},                          // empty values are not written
      {"<r>text <a/> more</r>", true, "<r>\r\n <a/></r>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto element = Read(c.text);
    EXPECT_EQ(static_cast<bool>(element), c.element);
    if (element) {
      EXPECT_EQ(element->toText(), c.written);
    }
  }

  auto cut = Read("<a x=\"1\" y=\"ab");
  EXPECT_EQ(cut->attrs, (Lines{"x=1"}));
  EXPECT_FALSE(cut->subItems);

  // A text without "<" leaves the cursor on its NUL; a closing tag leaves it on the "<".
  size_t stop = 99;
  Read("plain", &stop);
  EXPECT_EQ(stop, 5u);
  Read("  </r>", &stop);
  EXPECT_EQ(stop, 2u);
}

TEST(SGMLRead, PercentEscapesInValues) {
  struct Case { const char* text; std::string value; };
  const Case cases[] = {
      {"<a v=\"%3C%3e%41\"/>", "<>A"},
      {"<a v=\"%zz!\"/>", std::string("\0!", 2)},   // two characters that are not hexadecimal
      {"<a v=\"%4g\"/>", std::string("\0", 1)},
      {"<a v=\"100%\"/>", "100%"},                  // the quote still ends the value
      {"<a v=\"5%2\"/>", "5%2"},
      {"<a v=\"%2522\"/>", "%22"},                  // decoded once only
      {"<a v=\"\x95\\\"/>", "\x95\\"},              // value bytes are taken as they are
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto element = Read(c.text);
    ASSERT_TRUE(element);
    EXPECT_EQ(element->getAttr("v"), c.value);
    EXPECT_EQ(element->getAttrCount(), 1u);
  }
  // The attribute escape decodes lower-case digits of its four codes only.
  EXPECT_EQ(TSGML::unescapeAttr("%3C%3e%41"), "%3C>%41");
}

TEST(SGMLRead, DeepNestingNeitherOverflowsNorLoses) {
  const size_t depth = 200000;
  std::string text;
  for (size_t i = 0; i < depth; ++i) text += "<a>";
  text += "<leaf/>";
  for (size_t i = 0; i < depth; ++i) text += "</a>";
  auto root = Read(text);
  size_t levels = 0;
  const TSGML* e = root.get();
  while (e && e->subItems && e->subItems->size() == 1) {
    e = (*e->subItems)[0].get();
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->tagName, "leaf");
  root.reset();  // freeing the chain must not recurse either
}

TEST(SGMLElement, Attributes) {
  auto a = Read("<a x=\"1\" x=\"2\"/>");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->getAttr("x"), "1");
  EXPECT_EQ(a->getAttr("X"), "1");
  a->setAttr("x", "3");
  EXPECT_EQ(a->attrs, (Lines{"x=2", "x=3"}));
  EXPECT_EQ(a->getAttr("x"), "2");
  a->setAttr("X", "4");  // removal is exact: nothing named X yet
  EXPECT_EQ(a->attrs, (Lines{"x=2", "x=3", "X=4"}));
  EXPECT_EQ(a->getAttrCount(), 3u);
  EXPECT_EQ(a->getAttrName(2), "X");
  EXPECT_EQ(a->getAttrName(3), "");
  EXPECT_EQ(a->getAttr("missing"), "");

  auto v = Read("<a v=\"\"/>");
  EXPECT_EQ(v->attrs, (Lines{"v="}));
  EXPECT_EQ(v->getAttr("v"), "");
  EXPECT_EQ(v->toText(), "<a/>");

  // A value may hold "=", and everything after the first "=" is the value.
  TSGML e("e");
  e.setAttr("expr", "a=b");
  EXPECT_EQ(e.getAttr("EXPR"), "a=b");
  EXPECT_EQ(e.toText(), "<e expr=\"a=b\"/>");
}

TEST(SGMLElement, WritingSubItemsAndIndent) {
  TSGML root("root");
  root.setAttr("name", "r");
  EXPECT_FALSE(root.subItems);
  auto child = std::make_unique<TSGML>("list");
  child->addSubItem(std::make_unique<TSGML>("leaf"));
  root.addSubItem(std::move(child));
  root.addSubItem(std::make_unique<TSGML>("empty"));
  root.addSubItem(nullptr);
  ASSERT_TRUE(root.subItems);
  EXPECT_EQ(root.subItems->size(), 2u);
  EXPECT_EQ(root.toText(),
            "<root name=\"r\">\r\n <list>\r\n  <leaf/> </list> <empty/></root>");
  EXPECT_EQ(root.toText("\t"),
            "\t<root name=\"r\">\r\n\t <list>\r\n\t  <leaf/>\t </list>\t <empty/>\t</root>");
  // A multi-line value is written whole.
  TSGML source("generator");
  source.setAttr("const_x", "1\r\n+2");
  EXPECT_EQ(source.toText(), "<generator const_x=\"1\r\n+2\"/>");
}

TEST(SGMLEscape, RoundTripAndAgreementWithTheSubstitutions) {
  EXPECT_EQ(TSGML::escapeAttr("a%b\"<c>"), "a%25b%22%3cc%3e");
  EXPECT_EQ(TSGML::unescapeAttr("a%25b%22%3cc%3e"), "a%b\"<c>");
  EXPECT_EQ(TSGML::escapeAttr(""), "");
  EXPECT_EQ(TSGML::unescapeAttr(""), "");

  // The escapes must equal the four global substitutions applied in their order.
  TBRegExp re;
  auto bySubstitution = [&](std::string text, std::initializer_list<const char*> patterns) {
    for (const char* p : patterns) re.Subst(p, text);
    return text;
  };
  const std::string texts[] = {"a%b\"<c>",  "%253c",  "%%3c3e",   "%3c%3e%22%25", "%3C%2",
                               "%2522",     "<<>>%",  "100%",     "%2%3c5",       "\x95\\%22"};
  for (const std::string& t : texts) {
    SCOPED_TRACE(t);
    EXPECT_EQ(TSGML::escapeAttr(t),
              bySubstitution(t, {"s/\\%/\\%25/g", "s/\\\"/\\%22/g", "s/\\</\\%3c/g",
                                 "s/\\>/\\%3e/g"}));
    EXPECT_EQ(TSGML::unescapeAttr(t),
              bySubstitution(t, {"s/\\%3c/\\</g", "s/\\%3e/\\>/g", "s/\\%22/\\\"/g",
                                 "s/\\%25/\\%/g"}));
    EXPECT_EQ(TSGML::unescapeAttr(TSGML::escapeAttr(t)), t);
  }
}

class SGMLParse : public ::testing::Test {
 protected:
  SGMLParse() {
    reporter.SetMessageBoxSink([this](const std::string& t) { boxes.push_back(t); });
    reporter.SetLogLineSink([this](const std::string& t) { logs.push_back(t); });
  }

  std::unique_ptr<TSGML> Parse(const std::string& text, std::string* rest = nullptr) {
    const char* cursor = text.c_str();
    auto element = parser.parseElement(cursor);
    if (rest) *rest = cursor;
    return element;
  }

  TBRegExp re;
  Reporter reporter;
  TSGMLParser parser{re, reporter};
  Lines boxes;
  Lines logs;
};

TEST_F(SGMLParse, ReadsTreesLikeTheFastReader) {
  const char* texts[] = {
      "<resourcelist name=\"a\"><globalvalue name=\"$x\" value=\"0\">"
      "<class name=\"C\" src=\"C.kelvo\"/></resourcelist>",
      "<resourcelist name=\"test\">\r\n <resourcelist name=\"pages\">\r\n </resourcelist>\r\n"
      "</resourcelist>",
      "<a><b><c k=\"v\"/></b><d/></a>",
      "<x/>",
      "<generator class=\"Ball\" inst_x=\"10\">",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    std::string rest = "?";
    auto parsed = Parse(text, &rest);
    EXPECT_EQ(rest, "");
    EXPECT_EQ(parsed->toText(), Read(text)->toText());
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SGMLParse, TagsAttributesAndCursor) {
  std::string rest;
  auto a = Parse("junk <a b=\"1\" c=\"x y\"/> tail", &rest);
  EXPECT_EQ(a->tagName, "a");
  EXPECT_EQ(a->attrs, (Lines{"b=1", "c=x y"}));
  EXPECT_FALSE(a->subItems);
  EXPECT_EQ(rest, " tail");

  // Values are unescaped twice; a repeated name keeps the last value; an empty name is kept.
  auto e = Parse("<e v=\"%2522\" w=\"%3c\" x=\"1\" x=\"2\" =\"n\" z=\"\"/>");
  EXPECT_EQ(e->attrs, (Lines{"v=\"", "w=<", "x=2", "=n", "z="}));

  auto empty = Parse("<></>");
  EXPECT_EQ(empty->tagName, "");
  ASSERT_TRUE(empty->subItems);  // not self-closing: content was read, and none came

  auto list = Parse("<r>text<s/>between</r>after", &rest);
  ASSERT_TRUE(list->subItems);
  EXPECT_EQ(list->subItems->size(), 1u);
  EXPECT_EQ(rest, "after");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SGMLParse, Errors) {
  try {
    Parse("no tag here");
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Tag Error");
  }

  // An element left open keeps what it read; every open element reports the rest.
  std::string rest = "?";
  auto a = Parse("<a><b/><c>tail", &rest);
  EXPECT_EQ(a->toText(), "<a>\r\n <b/> <c/></a>");
  EXPECT_EQ(boxes, (Lines{"invalid Tag : tail", "invalid Tag : "}));
  EXPECT_EQ(rest, "");
}

TEST_F(SGMLParse, LongReadingsAreBracketedOnceOutermost) {
  std::vector<std::string> sections;
  parser.setAnalyzerHooks([&](int n) { sections.push_back("enter " + std::to_string(n)); },
                          [&](int n) { sections.push_back("leave " + std::to_string(n)); });
  const std::string padding(100, ' ');
  Parse("<a><b/><c/></a>");  // short: not bracketed
  EXPECT_TRUE(logs.empty());

  Parse("<a><b><c/></b></a>" + padding);
  EXPECT_EQ(logs, (Lines{"sgml.create", "/sgml.create"}));
  EXPECT_EQ(sections, (Lines{"enter 64", "leave 64"}));

  // Closed also when the reading fails, and the counter is back to zero afterwards.
  logs.clear();
  EXPECT_THROW(Parse(padding + "no tag"), std::runtime_error);
  EXPECT_EQ(logs, (Lines{"sgml.create", "/sgml.create"}));

  // A reading that starts while another is in progress is not bracketed again.
  logs.clear();
  std::unique_ptr<TSGML> inner;
  reporter.SetLogLineSink([&](const std::string& t) {
    logs.push_back(t);
    if (t == "sgml.create" && !inner) inner = Parse("<inner/>" + padding);
  });
  Parse("<outer/>" + padding);
  ASSERT_TRUE(inner);
  EXPECT_EQ(logs, (Lines{"sgml.create", "/sgml.create"}));
}

}  // namespace
}  // namespace kelvo
