#pragma once
// The markup every structured text of the system is written in: resource files, page files,
// the project file and the texts resources are built from at run time.
//
//   <tag name="value" other="x">  children  </tag>     or     <tag name="value"/>
//
// Tag and attribute names are A-Z, a-z, 0-9 and "_"; values are any bytes but the double
// quote; whitespace is any byte 1..32; text between tags means nothing. The leaf tags "class",
// "globalvalue", "link", "generator" and "cpattern" never have children, so their open tag is
// complete even when it ends with ">". A closing tag closes the innermost open element
// whatever its name.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class Reporter;
class TBRegExp;

// One element. It owns its attribute lines and its whole subtree.
class TSGML {
 public:
  using SubItemList = std::vector<std::unique_ptr<TSGML>>;

  TSGML() = default;
  explicit TSGML(std::string name) : tagName(std::move(name)) {}
  // Frees the subtree without recursion, so that no nesting depth can exhaust the stack.
  ~TSGML();
  TSGML(const TSGML&) = delete;
  TSGML& operator=(const TSGML&) = delete;

  std::string tagName;  // may be empty
  // One line per attribute: the name, "=" and the value, in the order read or added. The name
  // is the part before the first "="; a name may occur more than once.
  std::vector<std::string> attrs;
  // Absent for a self-closing tag or a leaf tag; present, possibly empty, when the open tag
  // ended with ">".
  std::optional<SubItemList> subItems;

  // The fast reader. `cursor` points into a NUL-terminated text and is advanced past what was
  // read; it never moves past the NUL. Returns nothing when no element starts before the end
  // or the next tag is a closing tag (the cursor then stays on its "<"). Never fails: malformed
  // text gives what the scan makes of it, truncated text the elements and attributes completed
  // before the end. Linear in the text. Inside a value, "%" and two hexadecimal digits (either
  // case) give that byte, and "%" with two other characters the byte 0.
  static std::unique_ptr<TSGML> readElement(const char*& cursor);

  // The element as text: self-closing when it has no sub-items, otherwise the open tag, CR LF,
  // each sub-item with `indent` plus one blank, then the closing tag. Attribute lines with an
  // empty name or an empty value are left out; values are written as they stand (callers
  // escape them where the format wants it).
  std::string toText(const std::string& indent = std::string()) const;

  const std::string& getTagName() const { return tagName; }
  void setTagName(std::string name) { tagName = std::move(name); }

  // The value of the first line whose name equals `name` ignoring ASCII letter case; empty
  // when there is none.
  std::string getAttr(std::string_view name) const;
  // Removes the first line whose name equals `name` exactly, then appends name=value.
  void setAttr(const std::string& name, const std::string& value);
  // The name part of line `index`; empty for an index outside the list.
  std::string getAttrName(size_t index) const;
  size_t getAttrCount() const { return attrs.size(); }

  // Appends `child` (creating the sub-item list when absent); the element owns it from then
  // on. A null child is ignored.
  void addSubItem(std::unique_ptr<TSGML> child);

  // "%" -> "%25", '"' -> "%22", "<" -> "%3c", ">" -> "%3e".
  static std::string escapeAttr(std::string_view text);
  // "%3c" -> "<", "%3e" -> ">", "%22" -> '"', "%25" -> "%"; lower-case digits only.
  static std::string unescapeAttr(std::string_view text);

  static bool isLeafTag(std::string_view name);
};

// The pattern reader: builds an element from a short text inside the program with the shared
// regular expression object. It rescans the rest of the text for every tag, so it is meant for
// short texts only; whole files go through TSGML::readElement.
class TSGMLParser {
 public:
  // The performance analyzer section that brackets a long pattern reading.
  static constexpr int kAnalyzerSection = 64;

  TSGMLParser(TBRegExp& regExp, Reporter& reporter) : regExp_(regExp), reporter_(reporter) {}

  // Reads the first tag of the text at `cursor` and, unless it is self-closing or a leaf tag,
  // its content up to the matching closing tag; advances the cursor past it. Attribute values
  // are unescaped twice. Throws std::runtime_error "Tag Error" when the text holds no tag. An
  // element left open shows "invalid Tag : " plus the rest of the text, keeps the sub-items
  // read so far, and leaves the cursor at the end of the text. The outermost reading of a text
  // longer than 100 bytes is bracketed with the log lines "sgml.create" and "/sgml.create"
  // and the analyzer section.
  std::unique_ptr<TSGML> parseElement(const char*& cursor);

  // Where the performance analyzer plugs in: called with kAnalyzerSection on entering and
  // leaving a bracketed reading.
  void setAnalyzerHooks(std::function<void(int)> enter, std::function<void(int)> leave) {
    enterSection_ = std::move(enter);
    leaveSection_ = std::move(leave);
  }

 private:
  std::unique_ptr<TSGML> readTag(const char*& cursor, bool& hasContent);

  TBRegExp& regExp_;
  Reporter& reporter_;
  int nesting_ = 0;  // pattern readings in progress
  std::function<void(int)> enterSection_;
  std::function<void(int)> leaveSection_;
};

}  // namespace kelvo
