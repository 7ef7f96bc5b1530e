#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

// Byte length of the character that starts at `pos` (which must be inside `text`).
size_t CharLength(std::string_view text, size_t pos) {
  return IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1;
}

// True when the character at `pos` is the single byte `c`. Only call at character starts.
bool IsSingle(std::string_view text, size_t pos, char c) {
  return text[pos] == c && CharLength(text, pos) == 1;
}

constexpr size_t kNone = std::string_view::npos;

// Start of the last single-byte character of `text` that is one of `set`, or kNone.
size_t LastDelimiter(std::string_view text, std::string_view set) {
  size_t found = kNone;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (CharLength(text, i) == 1 && set.find(text[i]) != std::string_view::npos) found = i;
  return found;
}

// Start of the last character of `text`, or kNone for the empty string.
size_t LastCharStart(std::string_view text) {
  size_t last = kNone;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) last = i;
  return last;
}

// True when `pos` (0 … size) falls on a character boundary of `text`.
bool IsCharBoundary(std::string_view text, size_t pos) {
  size_t i = 0;
  while (i < pos) i += CharLength(text, i);
  return i == pos;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Case-folded form used by every comparison: one trailing backslash removed, ASCII lower-cased.
std::string ComparisonForm(std::string_view path) {
  return LowerCaseSjis(StripTrailingBackslash(path));
}

// IsWithinDir on operands already in comparison form.
bool WithinFolded(std::string_view path, std::string_view dir) {
  if (path == dir) return true;
  return path.size() > dir.size() && path.substr(0, dir.size()) == dir &&
         IsCharBoundary(path, dir.size()) && IsSingle(path, dir.size(), '\\');
}

}  // namespace

std::string LowerCaseSjis(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); i += CharLength(out, i))
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] - 'A' + 'a');
  return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t i = 0; i < path.size(); i += CharLength(path, i)) {
    if (IsSingle(path, i, '\\')) {
      pieces.emplace_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.emplace_back(path.substr(start));
  while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
  return pieces;
}

std::string ExtractFileName(std::string_view path) {
  size_t d = LastDelimiter(path, "\\:");
  return std::string(d == kNone ? path : path.substr(d + 1));
}

std::string ExtractFilePath(std::string_view path) {
  size_t d = LastDelimiter(path, "\\:");
  return std::string(d == kNone ? std::string_view() : path.substr(0, d + 1));
}

std::string ExtractFileDir(std::string_view path) {
  std::string_view head = path.substr(0, path.size() - ExtractFileName(path).size());
  // Drop the backslash before the name unless it belongs to the root ("\" or "C:\") or
  // follows another delimiter.
  if (head.size() > 1 && IsSingle(head, LastCharStart(head), '\\')) {
    std::string_view before = head.substr(0, head.size() - 1);
    size_t prev = LastCharStart(before);
    bool prevIsDelimiter = IsSingle(before, prev, '\\') || IsSingle(before, prev, ':');
    if (!prevIsDelimiter) head = before;
  }
  return std::string(head);
}

std::string ExtractFileExt(std::string_view path) {
  size_t d = LastDelimiter(path, ".\\:");
  if (d == kNone || path[d] != '.') return {};
  return std::string(path.substr(d));
}

std::string ExtractBaseName(std::string_view path) {
  std::string name = ExtractFileName(path);
  size_t dot = LastDelimiter(name, ".");
  if (dot != kNone) name.resize(dot);
  return name;
}

bool IsAbsolutePath(std::string_view path) {
  if (path.empty()) return false;
  if (path[0] == '\\') return true;
  return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && path[2] == '\\';
}

std::string StripTrailingBackslash(std::string_view path) {
  size_t last = LastCharStart(path);
  if (last != kNone && IsSingle(path, last, '\\')) path.remove_suffix(1);
  return std::string(path);
}

std::string ParentDir(std::string_view path) {
  std::string dir = StripTrailingBackslash(path);
  if (dir.empty()) return dir;
  size_t sep = LastDelimiter(dir, "\\");
  dir.resize(sep == kNone ? 0 : sep + 1);
  return StripTrailingBackslash(dir);
}

std::string ResolvePath(std::string_view path, std::string_view baseDir) {
  if (path.empty()) return {};
  if (IsAbsolutePath(path)) return std::string(path);
  if (baseDir.empty()) return {};
  std::string dir = StripTrailingBackslash(baseDir);
  for (const std::string& piece : SplitPath(path)) {
    if (piece == "..") {
      dir = ParentDir(dir);
    } else if (piece != ".") {
      dir += '\\';
      dir += piece;
    }
  }
  return dir;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  return LowerCaseSjis(text.substr(0, prefix.size())) == LowerCaseSjis(prefix) &&
         IsCharBoundary(text, prefix.size());
}

bool IsWithinDir(std::string_view path, std::string_view dir) {
  return WithinFolded(ComparisonForm(path), ComparisonForm(dir));
}

std::string CommonDir(std::string_view a, std::string_view b) {
  if (b.empty()) return {};
  std::string current(a);
  while (!current.empty()) {
    if (IsWithinDir(current, b)) return std::string(b);
    if (IsWithinDir(b, current)) return current;
    current = ParentDir(current);
  }
  return {};
}

std::string RelativePath(std::string_view path, std::string_view baseDir) {
  if (!IsAbsolutePath(path)) return std::string(path);
  const std::string target = StripTrailingBackslash(path);
  const std::string folded = LowerCaseSjis(target);
  std::string base = StripTrailingBackslash(baseDir);
  std::string result;
  for (;;) {
    const std::string foldedBase = LowerCaseSjis(base);
    if (WithinFolded(folded, foldedBase)) {
      if (target.size() > base.size()) result += target.substr(base.size() + 1);
      return result;
    }
    base = ParentDir(base);
    if (base.empty()) return target;
    result += "..\\";
  }
}

bool SamePath(std::string_view a, std::string_view b) {
  return ComparisonForm(a) == ComparisonForm(b);
}

std::string TempDir(std::string_view programDir) { return ResolvePath("Temp", programDir); }

std::string CacheFileName(std::string_view path, std::string_view prefix,
                          std::string_view programDir) {
  const std::string relative = RelativePath(path, programDir);
  std::string name(prefix);
  for (size_t i = 0; i < relative.size();) {
    size_t len = CharLength(relative, i);
    if (len == 2) {  // double-byte characters are dropped whole
      i += 2;
      continue;
    }
    char c = relative[i];
    if (c == '.' && i + 1 < relative.size() && relative[i + 1] == '.') {
      name += '@';
      i += 2;
      continue;
    }
    if (c == '@' || c == '_' || IsAsciiLetter(c) || (c >= '0' && c <= '9')) name += c;
    ++i;
  }
  const std::string temp = TempDir(programDir);
  if (!temp.empty() && !DirectoryExists(temp)) ForceDirectories(temp);
  return ResolvePath(name, temp);
}

}  // namespace kelvo
