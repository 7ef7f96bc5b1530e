#pragma once
// The regular expression service. Every pattern of the system goes through one shared TBRegExp:
// Perl literals "/expr/flags" for Match and Split and "s/expr/replacement/flags" for Subst.
//
// Text is Shift-JIS. Before matching, text and pattern are packed so that every character is
// one code unit (see PackSjis), then matched by PCRE2 with 32-bit code units in non-UTF mode.
// So "." takes a whole double-byte character, and a trail byte 0x5C is never a backslash.
// A pattern escape such as \x80 or a class [\x80-\xff] names single-byte units only; a
// double-byte character is the unit (lead << 8 | trail), e.g. \x{82a0} for "あ".
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kelvo {

// A bad pattern (the engine's message, at most 256 bytes) or a result asked for when there is
// none ("no count now", "no strings now", "index out of range").
class EBRegExpError : public std::runtime_error {
 public:
  explicit EBRegExpError(const std::string& message);
};

// One code unit per Shift-JIS character: a byte b with IsLeadByte(b) followed by any byte
// becomes (b << 8 | next); a lead byte at the very end and every other byte stay one unit.
std::vector<uint32_t> PackSjis(std::string_view text);
// The inverse of PackSjis: a unit above 0xFF gives two bytes, any other unit one byte.
std::string UnpackSjis(const uint32_t* units, size_t count);

class TBRegExp {
 public:
  TBRegExp();
  ~TBRegExp();
  TBRegExp(const TBRegExp&) = delete;
  TBRegExp& operator=(const TBRegExp&) = delete;

  // Searches `text` for the first match of "/expr/flags". Afterwards Count() is the number of
  // consecutive groups from group 0 whose start lies before their end; group 0 of a
  // successful match always counts, even when the match is empty (so Count() >= 1 and
  // Strings(0) may be ""). After a failed match Count() is 0.
  bool Match(std::string_view pattern, std::string_view text);

  // Applies "s/expr/replacement/flags" to `text`: flag g replaces every occurrence, otherwise
  // the first. In the replacement $& is the whole match and $1..$9 the groups (empty when
  // unset); \n, \t, \r are control characters and a backslash before any other character
  // takes it literally (\\, \/, \$). Returns whether anything was replaced; `text` is changed
  // only then. Count and Strings are not available after a substitution.
  bool Subst(std::string_view pattern, std::string& text);

  // Splits `text` at the matches of "/expr/flags" with Perl's rules: the pieces between
  // matches; a match of non-zero length at the start gives a leading empty piece, an empty
  // match never splits at the start of a piece; limit 0 removes trailing empty pieces, a
  // positive limit gives at most `limit` pieces (the last holds the rest of the text), a
  // negative limit keeps all pieces. An empty text gives no pieces. Count() is the number of
  // pieces and Strings(i) piece i.
  void Split(std::string_view pattern, std::string_view text, int limit);

  int Count() const;
  std::string Strings(int index) const;

  // After a successful Match: the text of group `index` (0 … number of groups in the
  // pattern), empty when the group did not take part. Unlike Strings it also reaches groups
  // after an empty one.
  std::string GroupText(int index) const;
  // After a successful Match: byte offsets in the text of the start and end of the whole
  // match.
  size_t MatchStart() const;
  size_t MatchEnd() const;

 private:
  struct Compiled;
  enum class Kind { Match, Subst };
  enum class Mode { None, Match, Split };

  Compiled& Compile(std::string_view pattern, Kind kind);

  // Compiled patterns, keyed by kind and pattern text; the least recently used one is
  // dropped when the cache is full.
  std::unordered_map<std::string, std::unique_ptr<Compiled>> cache_;
  uint64_t useClock_ = 0;

  Mode mode_ = Mode::None;
  std::vector<std::optional<std::string>> groups_;  // last match: every group of the pattern
  int count_ = 0;
  size_t matchStart_ = 0;
  size_t matchEnd_ = 0;
  std::vector<std::string> pieces_;  // last split
};

}  // namespace kelvo
