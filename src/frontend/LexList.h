#pragma once
// The token list the lexer produces and the parser walks. Tokens refer into the source
// text; the text must outlive the list and every tree built from it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

struct TLexRule;

struct TLexElem {
  TLexElem(const TLexRule* rule, const char* start, const char* end)
      : Rule(rule), Start(start), End(end) {}

  const TLexRule* Rule;  // the top-level lexical definition that produced the token
  const char* Start;     // first byte in the source text
  const char* End;       // just after the last byte

  std::string_view View() const { return {Start, static_cast<size_t>(End - Start)}; }
  std::string Text() const { return std::string(View()); }
};

class TLexList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TLexElem* Item(int32_t i) const { return items_.at(static_cast<size_t>(i)).get(); }
  TLexElem* operator[](int32_t i) const { return Item(i); }

  TLexElem* Add(std::unique_ptr<TLexElem> elem);
  // Destroys every token for which `drop` answers true; the rest keep their order.
  void RemoveIf(const std::function<bool(const TLexElem&)>& drop);

  // Index of the next token the parser looks at.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t p) { position_ = p; }

  // Start of the token most recently accepted, or null before the first accept.
  const char* LastAccepted() const { return lastAccepted_; }
  void SetLastAccepted(const char* p) { lastAccepted_ = p; }

  // When the token at Position was produced by exactly `definition`: records its start as
  // Last accepted, advances Position and answers the token. Otherwise answers null and
  // changes nothing.
  TLexElem* Accept(const TLexRule* definition);

 private:
  std::vector<std::unique_ptr<TLexElem>> items_;
  int32_t position_ = 0;
  const char* lastAccepted_ = nullptr;
};

}  // namespace kelvo
