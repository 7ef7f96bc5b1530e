#include "resources/SGML.h"

#include <cstring>
#include <stdexcept>

#include "platform/BRegExp.h"
#include "platform/Reporter.h"

namespace kelvo {
namespace {

bool IsNameChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsBlank(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void SkipBlanks(const char*& p) {
  while (IsBlank(*p)) ++p;
}

std::string ReadName(const char*& p) {
  const char* start = p;
  while (IsNameChar(*p)) ++p;
  return std::string(start, p);
}

// Reads an open tag at or after `p` (everything up to and including the end of its attribute
// list). Returns nothing at the end of the text or when the next tag is a closing tag, leaving
// `p` on its "<". Sets `hasContent` when the element's children follow.
std::unique_ptr<TSGML> ReadOpenTag(const char*& p, bool& hasContent) {
  hasContent = false;
  while (*p && *p != '<') ++p;
  if (!*p) return nullptr;
  if (p[1] == '/') return nullptr;
  ++p;
  auto element = std::make_unique<TSGML>();
  SkipBlanks(p);
  element->tagName = ReadName(p);
  for (;;) {
    SkipBlanks(p);
    if (!*p) return element;
    if (*p == '>') {
      ++p;
      hasContent = true;
      break;
    }
    if (*p == '/') {
      ++p;
      if (*p) ++p;  // the ">" of "/>", taken unseen
      break;
    }
    std::string line = ReadName(p);
    while (*p && *p != '"') ++p;
    if (!*p) return element;
    ++p;
    line.push_back('=');
    while (*p != '"') {
      if (!*p) return element;  // the value is incomplete: the line is not added
      if (*p == '%' && p[1] && p[1] != '"' && p[2] && p[2] != '"') {
        int high = HexDigit(p[1]), low = HexDigit(p[2]);
        line.push_back(high >= 0 && low >= 0 ? static_cast<char>(high * 16 + low) : '\0');
        p += 3;
      } else {
        // Also a "%" too close to the closing quote to have two digits: it stays as it is,
        // and the quote still ends the value.
        line.push_back(*p++);
      }
    }
    ++p;
    element->attrs.push_back(std::move(line));
  }
  if (TSGML::isLeafTag(element->tagName)) hasContent = false;
  return element;
}

// Consumes the closing tag of an element with content, whatever its name.
void SkipClosingTag(const char*& p) {
  while (*p && *p != '>') ++p;
  if (*p) ++p;
}

size_t NameEnd(const std::string& line) {
  size_t eq = line.find('=');
  return eq == std::string::npos ? line.size() : eq;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Appends the open tag of `e` and answers whether its sub-items and closing tag follow.
bool AppendOpenTag(const TSGML& e, const std::string& indent, std::string& out) {
  out += indent;
  out += '<';
  out += e.tagName;
  for (const std::string& line : e.attrs) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == line.size()) continue;
    out += ' ';
    out.append(line, 0, eq);
    out += "=\"";
    out.append(line, eq + 1, std::string::npos);
    out += '"';
  }
  if (!e.subItems || e.subItems->empty()) {
    out += "/>";
    return false;
  }
  out += ">\r\n";
  return true;
}

}  // namespace

TSGML::~TSGML() {
  if (!subItems) return;
  SubItemList pending = std::move(*subItems);
  while (!pending.empty()) {
    std::unique_ptr<TSGML> node = std::move(pending.back());
    pending.pop_back();
    if (node && node->subItems) {
      for (auto& child : *node->subItems) pending.push_back(std::move(child));
      node->subItems.reset();
    }
  }
}

bool TSGML::isLeafTag(std::string_view name) {
  return name == "class" || name == "globalvalue" || name == "link" || name == "generator" ||
         name == "cpattern";
}

std::unique_ptr<TSGML> TSGML::readElement(const char*& cursor) {
  bool hasContent = false;
  std::unique_ptr<TSGML> root = ReadOpenTag(cursor, hasContent);
  if (!root || !hasContent) return root;
  // Elements whose children are being read, innermost last.
  std::vector<TSGML*> open{root.get()};
  root->subItems.emplace();
  while (!open.empty()) {
    std::unique_ptr<TSGML> child = ReadOpenTag(cursor, hasContent);
    if (!child) {
      SkipClosingTag(cursor);
      open.pop_back();
      continue;
    }
    TSGML* added = child.get();
    open.back()->subItems->push_back(std::move(child));
    if (hasContent) {
      added->subItems.emplace();
      open.push_back(added);
    }
  }
  return root;
}

std::string TSGML::toText(const std::string& indent) const {
  std::string out;
  if (!AppendOpenTag(*this, indent, out)) return out;
  struct Frame {
    const TSGML* element;
    size_t next;
    std::string indent;
  };
  std::vector<Frame> open{{this, 0, indent}};
  while (!open.empty()) {
    Frame& top = open.back();
    if (top.next < top.element->subItems->size()) {
      const TSGML* child = (*top.element->subItems)[top.next++].get();
      if (!child) continue;
      std::string childIndent = top.indent + " ";
      if (AppendOpenTag(*child, childIndent, out))
        open.push_back({child, 0, std::move(childIndent)});
    } else {
      out += top.indent;
      out += "</";
      out += top.element->tagName;
      out += '>';
      open.pop_back();
    }
  }
  return out;
}

std::string TSGML::getAttr(std::string_view name) const {
  for (const std::string& line : attrs) {
    size_t end = NameEnd(line);
    if (EqualsNoCase(std::string_view(line).substr(0, end), name))
      return end < line.size() ? line.substr(end + 1) : std::string();
  }
  return std::string();
}

void TSGML::setAttr(const std::string& name, const std::string& value) {
  for (auto it = attrs.begin(); it != attrs.end(); ++it) {
    if (std::string_view(*it).substr(0, NameEnd(*it)) == name) {
      attrs.erase(it);
      break;
    }
  }
  attrs.push_back(name + "=" + value);
}

std::string TSGML::getAttrName(size_t index) const {
  if (index >= attrs.size()) return std::string();
  return attrs[index].substr(0, NameEnd(attrs[index]));
}

void TSGML::addSubItem(std::unique_ptr<TSGML> child) {
  if (!child) return;
  if (!subItems) subItems.emplace();
  subItems->push_back(std::move(child));
}

// Both escapes make one pass. That gives what the four global substitutions in their order
// give: every pattern begins with the only "%" it holds, so occurrences never overlap, and no
// substitution produces text that a later one would replace.
std::string TSGML::escapeAttr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '%': out += "%25"; break;
      case '"': out += "%22"; break;
      case '<': out += "%3c"; break;
      case '>': out += "%3e"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TSGML::unescapeAttr(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      std::string_view code = text.substr(i + 1, 2);
      char decoded = code == "3c" ? '<' : code == "3e" ? '>' : code == "22" ? '"'
                   : code == "25" ? '%' : 0;
      if (decoded) {
        out += decoded;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::unique_ptr<TSGML> TSGMLParser::readTag(const char*& cursor, bool& hasContent) {
  if (!regExp_.Match("/<[^>]*>/", cursor)) throw std::runtime_error("Tag Error");
  cursor += regExp_.MatchEnd();
  const std::string tag = regExp_.Strings(0);
  const bool selfClosing = regExp_.Match("/\\/>$/", tag);

  auto element = std::make_unique<TSGML>();
  regExp_.Match("/<([\\w\\d]*)/", tag);  // always matches: the tag begins with "<"
  element->tagName = regExp_.GroupText(1);
  std::string_view rest = std::string_view(tag).substr(regExp_.MatchEnd());
  while (regExp_.Match("/([\\w\\d]*)=\"([^\"]*)\"/", rest)) {
    element->setAttr(regExp_.GroupText(1),
                     TSGML::unescapeAttr(TSGML::unescapeAttr(regExp_.GroupText(2))));
    rest = rest.substr(regExp_.MatchEnd());
  }
  hasContent = !selfClosing && !TSGML::isLeafTag(element->tagName);
  if (hasContent) element->subItems.emplace();
  return element;
}

std::unique_ptr<TSGML> TSGMLParser::parseElement(const char*& cursor) {
  // The reading counts as in progress from here on, also for whatever the log line runs.
  const bool bracketed = nesting_ == 0 && std::strlen(cursor) > 100;
  ++nesting_;
  struct Close {
    TSGMLParser& parser;
    bool bracketed;
    ~Close() {
      --parser.nesting_;
      if (!bracketed) return;
      parser.reporter_.LogLine("/sgml.create");
      if (parser.leaveSection_) parser.leaveSection_(kAnalyzerSection);
    }
  } close{*this, bracketed};
  if (bracketed) {
    reporter_.LogLine("sgml.create");
    if (enterSection_) enterSection_(kAnalyzerSection);
  }

  bool hasContent = false;
  std::unique_ptr<TSGML> root = readTag(cursor, hasContent);
  if (!hasContent) return root;
  // Elements whose content is being read, innermost last.
  std::vector<TSGML*> open{root.get()};
  while (!open.empty()) {
    if (!regExp_.Match("/<[^>]*>/", cursor)) {
      reporter_.MessageBox("invalid Tag : " + std::string(cursor));
      cursor += std::strlen(cursor);
      open.pop_back();
      continue;
    }
    const size_t start = regExp_.MatchStart(), end = regExp_.MatchEnd();
    if (regExp_.Match("/^<\\/[^>]*>/", regExp_.Strings(0))) {
      cursor += end;
      open.pop_back();
      continue;
    }
    cursor += start;
    std::unique_ptr<TSGML> child = readTag(cursor, hasContent);
    TSGML* added = child.get();
    open.back()->addSubItem(std::move(child));
    if (hasContent) open.push_back(added);
  }
  return root;
}

}  // namespace kelvo
