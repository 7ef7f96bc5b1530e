#include "frontend/DefinitionReader.h"

#include <string_view>

#include "frontend/GrammarError.h"
#include "platform/ShiftJis.h"

namespace kelvo {

namespace {

size_t LineDepth(std::string_view line) {
  size_t depth = 0;
  while (depth < line.size() && line[depth] == ' ') ++depth;
  return depth;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte a "$" line gives: its leading hexadecimal digits, low 8 bits; 0 without digits.
uint8_t HexByte(std::string_view digits) {
  unsigned value = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) break;
    value = ((value << 4) | static_cast<unsigned>(d)) & 0xFFu;
  }
  return static_cast<uint8_t>(value);
}

// The value of a range's bound line: the byte after a quote, or a "$" line's value.
uint8_t BoundValue(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == '\'') return text.size() > 1 ? static_cast<uint8_t>(text[1]) : 0;
  if (text[0] == '$') return HexByte(text.substr(1));
  return 0;
}

std::string_view From(std::string_view text, size_t pos) {
  return pos < text.size() ? text.substr(pos) : std::string_view();
}

template <class Node>
void Classify(Node& node, std::string_view text, bool lexical) {
  node.Kind = TRuleKind::Reference;
  node.Name = std::string(text);
  if (text.empty()) return;
  switch (text[0]) {
    case '\'':
      node.Kind = TRuleKind::Literal;
      node.Name = std::string(text.substr(1));
      break;
    case '$':
      if (lexical) {
        node.Kind = TRuleKind::Literal;
        node.Name = std::string(1, static_cast<char>(HexByte(text.substr(1))));
      }
      break;
    case '-':
      if (lexical) {
        node.Kind = TRuleKind::Range;
        node.Name = std::string(text.substr(1));
      }
      break;
    case '[':
      node.Kind = TRuleKind::Sequence;
      node.Name = std::string(From(text, 2));
      if (text.size() > 1 && text[1] == ']') {
        node.Min = 0;
        node.Max = 1;
      } else {
        node.Min = 1;
        node.Max = kUnboundedRepeat;
      }
      break;
    case '{':
      node.Kind = TRuleKind::Sequence;
      node.Name = std::string(From(text, 2));
      node.Min = 0;
      node.Max = kUnboundedRepeat;
      break;
    case '|':
      node.Kind = TRuleKind::Choice;
      node.Name = std::string(text.substr(1));
      break;
    default:
      break;
  }
}

// The recursive reading of lines into nodes, shared by both trees. `Language` adds what
// each tree does with a freshly classified line.
template <class Node, class Language>
class TTreeReader {
 public:
  TTreeReader(const TDefinitionLines& lines, const Reporter& reporter, Language& language)
      : lines_(lines), reporter_(reporter), language_(language) {}

  std::unique_ptr<Node> ReadRoot() {
    if (lines_.empty()) throw EGrammarError(SJ("定義テキストが空です"));
    next_ = 0;
    return ReadNode(0);
  }

  // Index of the first line after `line` whose depth is not greater than `depth`.
  size_t RegionEnd(size_t line, size_t depth) const {
    for (size_t i = line + 1; i < lines_.size(); ++i)
      if (LineDepth(lines_[i]) <= depth) return i;
    throw EGrammarError(SJ("定義テキストの最後に深さ0の行(@)がありません"));
  }

  // Indexes of the lines that are children of `line` (one level deeper, inside its region).
  std::vector<size_t> ChildLines(size_t line, size_t depth) const {
    std::vector<size_t> children;
    size_t end = RegionEnd(line, depth);
    for (size_t i = line + 1; i < end; ++i)
      if (LineDepth(lines_[i]) == depth + 1) children.push_back(i);
    return children;
  }

  std::string_view TextOf(size_t line) const {
    std::string_view s = lines_[line];
    return s.substr(LineDepth(s));
  }

  const Reporter& reporter() const { return reporter_; }

 private:
  std::unique_ptr<Node> ReadNode(int nesting) {
    if (nesting > kMaxDefinitionNesting)
      throw EGrammarError(SJ("定義テキストの入れ子が深すぎます"));
    const size_t line = next_;
    const std::string& s = lines_[line];
    if (!s.empty() && s.back() == ' ') reporter_.MessageBox("Wanring: extra space in " + s);
    const size_t depth = LineDepth(s);
    const std::string_view text = std::string_view(s).substr(depth);

    auto node = std::make_unique<Node>();
    Classify(*node, text, Language::kLexical);
    node->Link = node.get();
    language_.Prepare(*node, *this, line, depth);

    const size_t count = ChildLines(line, depth).size();
    next_ = line + 1;
    for (size_t i = 0; i < count; ++i) node->Children.push_back(ReadNode(nesting + 1));
    return node;
  }

  const TDefinitionLines& lines_;
  const Reporter& reporter_;
  Language& language_;
  size_t next_ = 0;
};

// Resolves the references of a tree: a name that a top-level definition other than the
// node itself bears becomes a reference to the first such definition; any other name
// becomes a plain sequence of its own children.
template <class Node>
void LinkNode(Node& node, const Node& root) {
  if (node.Kind == TRuleKind::Reference) {
    Node* found = nullptr;
    for (const auto& def : root.Children) {
      if (def->Name == node.Name) {
        found = def.get();
        break;
      }
    }
    if (found != nullptr && found != &node) {
      node.Link = found;
    } else {
      node.Kind = TRuleKind::Sequence;
      node.Min = 1;
      node.Max = 1;
      node.Link = &node;
    }
  }
  for (auto& child : node.Children) LinkNode(*child, root);
}

// One pass of first-set propagation over a subtree, children first.
bool UpdateFirst(TLexRule& node) {
  bool changed = false;
  for (auto& child : node.Children) changed |= UpdateFirst(*child);
  switch (node.Kind) {
    case TRuleKind::Choice:
      for (auto& child : node.Children) changed |= node.First.Merge(child->First);
      break;
    case TRuleKind::Reference:
      if (node.IsResolvedReference()) changed |= node.First.Merge(node.Link->First);
      break;
    case TRuleKind::Sequence:
      if (!node.Children.empty()) changed |= node.First.Merge(node.Children.front()->First);
      break;
    default:
      break;
  }
  return changed;
}

struct LexicalLanguage {
  static constexpr bool kLexical = true;

  template <class Reader>
  void Prepare(TLexRule& node, const Reader& reader, size_t line, size_t depth) {
    switch (node.Kind) {
      case TRuleKind::Literal:
        // An empty literal matches without consuming, so it may stand before any byte.
        if (node.Name.empty())
          node.First.AddAll();
        else
          node.First.Add(static_cast<uint8_t>(node.Name[0]));
        break;
      case TRuleKind::Range: {
        std::vector<size_t> children = reader.ChildLines(line, depth);
        node.Low = children.size() > 0 ? BoundValue(reader.TextOf(children[0])) : 0;
        node.High = children.size() > 1 ? BoundValue(reader.TextOf(children[1])) : 0;
        if (node.Low == 0 || node.High == 0)
          reader.reporter().MessageBox(
              SJ("バグ発生:") + "Please Put '' or $ at the first letters of each children");
        if (node.Low <= node.High) node.First.AddRange(node.Low, node.High);
        break;
      }
      case TRuleKind::Sequence:
        if (node.Min == 0) node.First.AddAll();
        break;
      default:
        break;
    }
  }
};

struct GrammarLanguage {
  static constexpr bool kLexical = false;
  const TLexRule& lexRoot;
  const TCrLst& onCreateList;

  template <class Reader>
  void Prepare(TGramRule& node, const Reader& reader, size_t, size_t) {
    if (node.Kind == TRuleKind::Literal) {
      for (const auto& def : lexRoot.Children) {
        if (def->Name == node.Name) {
          node.TokenLink = def.get();
          break;
        }
      }
      if (node.TokenLink == nullptr)
        reader.reporter().MessageBox(SJ("バグ発生:") + node.Name + " is not linked.");
    }
    if (!onCreateList) throw EGrammarError("No onCreateList Assigned");
    TResListGetter getter{node.Name, nullptr};
    onCreateList(&getter);
    if (!getter.Node) throw EGrammarError("OnCreateList gave no node for " + node.Name);
    node.Prototype = std::move(getter.Node);
  }
};

}  // namespace

std::unique_ptr<TLexRule> ReadLexTree(const TDefinitionLines& lines, const Reporter& reporter) {
  LexicalLanguage language;
  TTreeReader<TLexRule, LexicalLanguage> reader(lines, reporter, language);
  std::unique_ptr<TLexRule> root = reader.ReadRoot();
  LinkNode(*root, *root);
  bool changed = true;
  while (changed) {
    changed = false;
    for (auto& def : root->Children) changed |= UpdateFirst(*def);
  }
  return root;
}

std::unique_ptr<TGramRule> ReadGramTree(const TDefinitionLines& lines, const TLexRule& lexRoot,
                                        const TCrLst& onCreateList, const Reporter& reporter) {
  GrammarLanguage language{lexRoot, onCreateList};
  TTreeReader<TGramRule, GrammarLanguage> reader(lines, reporter, language);
  std::unique_ptr<TGramRule> root = reader.ReadRoot();
  LinkNode(*root, *root);
  return root;
}

}  // namespace kelvo
