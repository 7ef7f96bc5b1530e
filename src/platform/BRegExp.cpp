#include "platform/BRegExp.h"

#include <algorithm>

#define PCRE2_CODE_UNIT_WIDTH 32
#include <pcre2.h>

#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

constexpr size_t kMaxMessageBytes = 256;
constexpr size_t kCacheCapacity = 64;

// One part of a substitution's replacement: literal units, or a group reference.
struct ReplacementPiece {
  int group = -1;  // -1: literal
  std::vector<uint32_t> literal;
};

// A Perl literal taken apart (on packed units, so a double-byte character is never mistaken
// for a delimiter or a backslash).
struct Literal {
  std::vector<uint32_t> expression;
  std::vector<uint32_t> replacement;  // raw, escapes still in place
  uint32_t options = 0;
  bool global = false;
};

bool IsDelimiter(uint32_t u) {
  if (u >= 0x80 || u <= 0x20 || u == '\\' || u == 0x7F) return false;
  bool alnum = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
  return !alnum;
}

// Reads up to the next unescaped `delimiter`, keeping escapes as written. Returns the position
// after the delimiter.
size_t ReadPart(const std::vector<uint32_t>& p, size_t i, uint32_t delimiter,
                std::vector<uint32_t>& out) {
  while (i < p.size() && p[i] != delimiter) {
    if (p[i] == '\\' && i + 1 < p.size()) {
      out.push_back(p[i++]);
    }
    out.push_back(p[i++]);
  }
  if (i >= p.size()) throw EBRegExpError("unterminated pattern: missing closing delimiter");
  return i + 1;
}

Literal ParseLiteral(const std::vector<uint32_t>& p, bool substitution) {
  Literal lit;
  size_t i = 0;
  uint32_t delimiter = 0;
  if (substitution) {
    if (p.size() < 2 || p[0] != 's' || !IsDelimiter(p[1]))
      throw EBRegExpError("substitution must be written s/expr/replacement/flags");
    delimiter = p[1];
    i = 2;
  } else if (!p.empty() && p[0] == '/') {
    delimiter = '/';
    i = 1;
  } else if (p.size() >= 2 && p[0] == 'm' && IsDelimiter(p[1])) {
    delimiter = p[1];
    i = 2;
  } else {
    throw EBRegExpError("pattern must be written /expr/flags");
  }
  i = ReadPart(p, i, delimiter, lit.expression);
  if (substitution) i = ReadPart(p, i, delimiter, lit.replacement);
  for (; i < p.size(); ++i) {
    switch (p[i]) {
      case 'i': lit.options |= PCRE2_CASELESS; break;
      case 'm': lit.options |= PCRE2_MULTILINE; break;
      case 's': lit.options |= PCRE2_DOTALL; break;
      case 'x': lit.options |= PCRE2_EXTENDED; break;
      case 'g': lit.global = true; break;
      case 'o': case 'k': break;  // compile once, double-byte text: always so here
      default: {
        std::string flag = UnpackSjis(&p[i], 1);
        throw EBRegExpError("unknown flag '" + flag + "' after the pattern");
      }
    }
  }
  return lit;
}

std::vector<ReplacementPiece> ParseReplacement(const std::vector<uint32_t>& raw) {
  std::vector<ReplacementPiece> pieces;
  auto literal = [&]() -> std::vector<uint32_t>& {
    if (pieces.empty() || pieces.back().group >= 0) pieces.emplace_back();
    return pieces.back().literal;
  };
  for (size_t i = 0; i < raw.size(); ++i) {
    uint32_t u = raw[i];
    if (u == '\\' && i + 1 < raw.size()) {
      uint32_t next = raw[++i];
      literal().push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next);
    } else if (u == '$' && i + 1 < raw.size() &&
               (raw[i + 1] == '&' || (raw[i + 1] >= '1' && raw[i + 1] <= '9'))) {
      ReplacementPiece ref;
      ref.group = raw[i + 1] == '&' ? 0 : static_cast<int>(raw[i + 1] - '0');
      pieces.push_back(std::move(ref));
      ++i;
    } else {
      literal().push_back(u);
    }
  }
  return pieces;
}

std::string EngineMessage(int code) {
  PCRE2_UCHAR buffer[kMaxMessageBytes + 1];
  int length = pcre2_get_error_message(code, buffer, kMaxMessageBytes + 1);
  std::string message;
  for (int i = 0; i < length; ++i)
    message.push_back(buffer[i] < 0x80 ? static_cast<char>(buffer[i]) : '?');
  return message;
}

// Number of bytes the first `count` units unpack to.
size_t ByteLength(const std::vector<uint32_t>& units, size_t count) {
  size_t bytes = 0;
  for (size_t i = 0; i < count; ++i) bytes += units[i] > 0xFF ? 2 : 1;
  return bytes;
}

}  // namespace

EBRegExpError::EBRegExpError(const std::string& message)
    : std::runtime_error(message.substr(0, kMaxMessageBytes)) {}

std::vector<uint32_t> PackSjis(std::string_view text) {
  std::vector<uint32_t> units;
  units.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b) && i + 1 < text.size()) {
      units.push_back(static_cast<uint32_t>(b) << 8 | static_cast<unsigned char>(text[++i]));
    } else {
      units.push_back(b);
    }
  }
  return units;
}

std::string UnpackSjis(const uint32_t* units, size_t count) {
  std::string text;
  text.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    uint32_t u = units[i];
    if (u > 0xFF) text.push_back(static_cast<char>((u >> 8) & 0xFF));
    text.push_back(static_cast<char>(u & 0xFF));
  }
  return text;
}

struct TBRegExp::Compiled {
  pcre2_code* code = nullptr;
  pcre2_match_data* matchData = nullptr;
  bool global = false;
  std::vector<ReplacementPiece> replacement;
  uint64_t lastUse = 0;

  Compiled() = default;
  Compiled(const Compiled&) = delete;
  Compiled& operator=(const Compiled&) = delete;
  ~Compiled() {
    pcre2_match_data_free(matchData);
    pcre2_code_free(code);
  }

  // Runs one search from unit `start`; PCRE2_ERROR_NOMATCH or the number of set groups.
  int Exec(const std::vector<uint32_t>& subject, size_t start, uint32_t options) {
    static const uint32_t empty = 0;
    PCRE2_SPTR data = subject.empty() ? &empty : subject.data();
    int rc = pcre2_match(code, data, subject.size(), start, options, matchData, nullptr);
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) throw EBRegExpError(EngineMessage(rc));
    return rc;
  }
  const PCRE2_SIZE* Spans() const { return pcre2_get_ovector_pointer(matchData); }
};

TBRegExp::TBRegExp() = default;
TBRegExp::~TBRegExp() = default;

TBRegExp::Compiled& TBRegExp::Compile(std::string_view pattern, Kind kind) {
  std::string key;
  key.reserve(pattern.size() + 1);
  key.push_back(kind == Kind::Subst ? 's' : 'm');
  key.append(pattern);
  auto found = cache_.find(key);
  if (found != cache_.end()) {
    found->second->lastUse = ++useClock_;
    return *found->second;
  }

  Literal lit = ParseLiteral(PackSjis(pattern), kind == Kind::Subst);
  auto compiled = std::make_unique<Compiled>();
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  // As in Perl, only LF ends a line for ".", "^" and "$".
  if (context) pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  static const uint32_t empty = 0;
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  compiled->code = pcre2_compile(lit.expression.empty() ? &empty : lit.expression.data(),
                                 lit.expression.size(), lit.options, &errorCode, &errorOffset,
                                 context);
  pcre2_compile_context_free(context);
  if (!compiled->code) throw EBRegExpError(EngineMessage(errorCode));
  compiled->matchData = pcre2_match_data_create_from_pattern(compiled->code, nullptr);
  if (!compiled->matchData) throw EBRegExpError("out of memory");
  compiled->global = lit.global;
  if (kind == Kind::Subst) compiled->replacement = ParseReplacement(lit.replacement);
  compiled->lastUse = ++useClock_;

  if (cache_.size() >= kCacheCapacity) {
    auto oldest = cache_.begin();
    for (auto it = cache_.begin(); it != cache_.end(); ++it)
      if (it->second->lastUse < oldest->second->lastUse) oldest = it;
    cache_.erase(oldest);
  }
  return *cache_.emplace(std::move(key), std::move(compiled)).first->second;
}

bool TBRegExp::Match(std::string_view pattern, std::string_view text) {
  mode_ = Mode::None;
  groups_.clear();
  pieces_.clear();
  count_ = 0;
  Compiled& c = Compile(pattern, Kind::Match);
  std::vector<uint32_t> subject = PackSjis(text);
  int rc = c.Exec(subject, 0, 0);
  mode_ = Mode::Match;
  if (rc == PCRE2_ERROR_NOMATCH) return false;

  const PCRE2_SIZE* spans = c.Spans();
  uint32_t groupCount = 0;
  pcre2_pattern_info(c.code, PCRE2_INFO_CAPTURECOUNT, &groupCount);
  groups_.resize(groupCount + 1);
  for (uint32_t i = 0; i <= groupCount; ++i) {
    PCRE2_SIZE start = spans[2 * i], end = spans[2 * i + 1];
    if (static_cast<int>(i) >= rc || start == PCRE2_UNSET) continue;
    groups_[i] = end > start ? UnpackSjis(subject.data() + start, end - start) : std::string();
  }
  count_ = 1;
  while (count_ <= static_cast<int>(groupCount) && count_ < rc &&
         spans[2 * count_] != PCRE2_UNSET && spans[2 * count_] < spans[2 * count_ + 1])
    ++count_;
  matchStart_ = ByteLength(subject, spans[0]);
  matchEnd_ = spans[1] > spans[0] ? matchStart_ + groups_[0]->size() : matchStart_;
  return true;
}

bool TBRegExp::Subst(std::string_view pattern, std::string& text) {
  mode_ = Mode::None;
  groups_.clear();
  pieces_.clear();
  count_ = 0;
  Compiled& c = Compile(pattern, Kind::Subst);
  std::vector<uint32_t> subject = PackSjis(text);
  std::vector<uint32_t> out;
  size_t copied = 0;  // units of subject already in out
  size_t start = 0;
  uint32_t options = 0;
  bool replaced = false;
  while (start <= subject.size()) {
    int rc = c.Exec(subject, start, options);
    if (rc == PCRE2_ERROR_NOMATCH) {
      // After an empty match no non-empty one starts at the same place: move one character on.
      if (options == 0 || start >= subject.size()) break;
      ++start;
      options = 0;
      continue;
    }
    const PCRE2_SIZE* spans = c.Spans();
    size_t matchStart = spans[0], matchEnd = std::max(spans[0], spans[1]);
    out.insert(out.end(), subject.begin() + static_cast<std::ptrdiff_t>(copied),
               subject.begin() + static_cast<std::ptrdiff_t>(matchStart));
    for (const ReplacementPiece& piece : c.replacement) {
      if (piece.group < 0) {
        out.insert(out.end(), piece.literal.begin(), piece.literal.end());
      } else if (piece.group < rc && spans[2 * piece.group] != PCRE2_UNSET &&
                 spans[2 * piece.group] < spans[2 * piece.group + 1]) {
        out.insert(out.end(), subject.begin() + static_cast<std::ptrdiff_t>(spans[2 * piece.group]),
                   subject.begin() + static_cast<std::ptrdiff_t>(spans[2 * piece.group + 1]));
      }
    }
    copied = matchEnd;
    replaced = true;
    if (!c.global) break;
    options = matchEnd == matchStart ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
    start = matchEnd;
  }
  if (!replaced) return false;
  out.insert(out.end(), subject.begin() + static_cast<std::ptrdiff_t>(copied), subject.end());
  text = UnpackSjis(out.data(), out.size());
  return true;
}

void TBRegExp::Split(std::string_view pattern, std::string_view text, int limit) {
  mode_ = Mode::None;
  groups_.clear();
  pieces_.clear();
  count_ = 0;
  Compiled& c = Compile(pattern, Kind::Match);
  mode_ = Mode::Split;
  std::vector<uint32_t> subject = PackSjis(text);
  const size_t end = subject.size();
  size_t start = 0;
  long long remaining = limit;
  bool split = false;
  // A match must end after the start of the current piece, so an empty match never splits
  // off an empty piece.
  while (start < end && --remaining != 0) {
    if (c.Exec(subject, start, PCRE2_NOTEMPTY_ATSTART) == PCRE2_ERROR_NOMATCH) break;
    const PCRE2_SIZE* spans = c.Spans();
    pieces_.push_back(UnpackSjis(subject.data() + start, spans[0] - start));
    start = std::max(spans[0], spans[1]);
    split = true;
  }
  if (start < end || (split && limit != 0))
    pieces_.push_back(UnpackSjis(subject.data() + start, end - start));
  if (limit == 0)
    while (!pieces_.empty() && pieces_.back().empty()) pieces_.pop_back();
}

int TBRegExp::Count() const {
  switch (mode_) {
    case Mode::Match: return count_;
    case Mode::Split: return static_cast<int>(pieces_.size());
    case Mode::None: break;
  }
  throw EBRegExpError("no count now");
}

std::string TBRegExp::Strings(int index) const {
  if (mode_ == Mode::None) throw EBRegExpError("no strings now");
  if (index < 0 || index >= Count()) throw EBRegExpError("index out of range");
  if (mode_ == Mode::Split) return pieces_[static_cast<size_t>(index)];
  return groups_[static_cast<size_t>(index)].value_or(std::string());
}

std::string TBRegExp::GroupText(int index) const {
  if (mode_ != Mode::Match || groups_.empty()) throw EBRegExpError("no strings now");
  if (index < 0 || static_cast<size_t>(index) >= groups_.size())
    throw EBRegExpError("index out of range");
  return groups_[static_cast<size_t>(index)].value_or(std::string());
}

size_t TBRegExp::MatchStart() const {
  if (mode_ != Mode::Match || groups_.empty()) throw EBRegExpError("no strings now");
  return matchStart_;
}

size_t TBRegExp::MatchEnd() const {
  if (mode_ != Mode::Match || groups_.empty()) throw EBRegExpError("no strings now");
  return matchEnd_;
}

}  // namespace kelvo
