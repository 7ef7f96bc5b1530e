#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "platform/Paths.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + '/' + name;
}

bool EntryExists(const std::string& posixPath) {
  struct stat st;
  return ::lstat(posixPath.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` ignoring ASCII case; the first one byte by byte
// when there are several.
std::optional<std::string> FindIgnoringCase(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return std::nullopt;
  const std::string wanted = LowerAscii(name);
  std::optional<std::string> best;
  while (const dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (entry.size() != wanted.size() || LowerAscii(entry) != wanted) continue;
    if (!best || entry < *best) best = std::string(entry);
  }
  ::closedir(d);
  return best;
}

bool StatPath(std::string_view path, struct stat& st) {
  const std::string posix = ToPosixPath(path);
  return !posix.empty() && ::stat(posix.c_str(), &st) == 0;
}

// One character of a Shift-JIS name as a comparable unit: a single byte (ASCII letters
// lower-cased) or a double-byte character above 0xFF.
std::vector<unsigned> FoldedChars(std::string_view text) {
  std::vector<unsigned> chars;
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(b) && i + 1 < text.size()) {
      chars.push_back(0x10000u | (b << 8) | static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      chars.push_back(b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
      ++i;
    }
  }
  return chars;
}

bool MatchChars(const std::vector<unsigned>& name, const std::vector<unsigned>& pattern) {
  // Greedy matching with one backtracking point: the last star seen.
  size_t n = 0, p = 0, starP = SIZE_MAX, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != SIZE_MAX) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string ToPosixPath(std::string_view systemPath) {
  if (systemPath.empty() || systemPath.find('\0') != std::string_view::npos) return {};
  std::string_view p = systemPath;
  if (p.size() >= 2 && IsAsciiLetter(p[0]) && p[1] == ':') p.remove_prefix(2);
  const bool absolute = !p.empty() && (p[0] == '\\' || p[0] == '/');

  // Components split at single-byte backslashes and slashes; a trail byte never splits.
  std::vector<std::string_view> components;
  size_t start = 0;
  for (size_t i = 0; i <= p.size();) {
    bool end = i == p.size();
    if (end || p[i] == '\\' || p[i] == '/') {
      if (i > start) components.push_back(p.substr(start, i - start));
      if (end) break;
      start = ++i;
    } else {
      i += IsLeadByte(static_cast<unsigned char>(p[i])) && i + 1 < p.size() ? 2 : 1;
    }
  }

  std::string out = absolute ? "/" : "";
  bool lookUp = true;
  for (std::string_view component : components) {
    const std::string name = SjisToUtf8(component);
    std::string candidate = Join(out, name);
    if (lookUp && name != "." && name != ".." && !EntryExists(candidate)) {
      if (auto found = FindIgnoringCase(out, name))
        candidate = Join(out, *found);
      else
        lookUp = false;  // nothing below a missing entry can exist
    }
    out = std::move(candidate);
  }
  return out.empty() ? "." : out;
}

std::string FromPosixPath(std::string_view posixPath) {
  std::string out;
  for (char c : posixPath) {
    if (c == '/') {
      if (out.empty() || out.back() != '/') out += '/';
    } else {
      out += c;
    }
  }
  std::string sjis = Utf8ToSjis(out);
  std::replace(sjis.begin(), sjis.end(), '/', '\\');  // '/' is never a trail byte
  return sjis;
}

std::string ExecutableDir() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  std::string dir = StripTrailingBackslash(FromPosixPath(exe.parent_path().string()));
  return dir.empty() ? "\\" : dir;
}

std::string CurrentDir() {
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::current_path(ec);
  if (ec) return {};
  std::string dir = StripTrailingBackslash(FromPosixPath(cwd.string()));
  return dir.empty() ? "\\" : dir;
}

bool SetCurrentDir(std::string_view dir) {
  const std::string posix = ToPosixPath(dir);
  return !posix.empty() && ::chdir(posix.c_str()) == 0;
}

bool FileExists(std::string_view path) {
  struct stat st;
  return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view dir) {
  const std::string posix = ToPosixPath(dir);
  if (posix.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(posix, ec);
  return std::filesystem::is_directory(posix, ec);
}

std::optional<std::string> ReadFileBytes(std::string_view path) {
  const std::string posix = ToPosixPath(path);
  if (posix.empty()) return std::nullopt;
  int fd = ::open(posix.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string bytes;
  if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return bytes;
}

bool WriteFileBytes(std::string_view path, std::string_view bytes) {
  const std::string posix = ToPosixPath(path);
  if (posix.empty()) return false;
  int fd = ::open(posix.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return ::close(fd) == 0;
}

bool DeleteFile(std::string_view path) {
  const std::string posix = ToPosixPath(path);
  struct stat st;
  if (posix.empty() || ::lstat(posix.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(posix.c_str()) == 0;
}

bool RenameFile(std::string_view from, std::string_view to) {
  const std::string source = ToPosixPath(from);
  const std::string target = ToPosixPath(to);
  return !source.empty() && !target.empty() && ::rename(source.c_str(), target.c_str()) == 0;
}

std::fstream OpenFileStream(std::string_view path, std::ios::openmode mode) {
  std::fstream stream;
  const std::string posix = ToPosixPath(path);
  if (!posix.empty() && !std::filesystem::is_directory(posix)) stream.open(posix, mode);
  return stream;
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  const std::vector<unsigned> n = FoldedChars(name);
  std::vector<unsigned> p = FoldedChars(pattern);
  if (MatchChars(n, p)) return true;
  // As on Windows, a pattern ending in ".*" also takes names without an extension ("*.*").
  if (p.size() >= 2 && p[p.size() - 2] == '.' && p.back() == '*') {
    p.resize(p.size() - 2);
    return MatchChars(n, p);
  }
  return false;
}

std::vector<DirEntry> ListDirectory(std::string_view dir, std::string_view pattern) {
  std::vector<DirEntry> entries;
  const std::string posix = ToPosixPath(dir);
  if (posix.empty()) return entries;
  DIR* d = ::opendir(posix.c_str());
  if (d == nullptr) return entries;
  while (const dirent* e = ::readdir(d)) {
    std::string_view raw(e->d_name);
    if (raw == "." || raw == "..") continue;
    DirEntry entry;
    entry.name = Utf8ToSjis(raw);
    if (!MatchesWildcard(entry.name, pattern)) continue;
    struct stat st;
    entry.isDirectory =
        ::fstatat(::dirfd(d), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    entries.push_back(std::move(entry));
  }
  ::closedir(d);
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
    const std::string la = LowerCaseSjis(a.name), lb = LowerCaseSjis(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return entries;
}

int32_t PackDosDateTime(const std::tm& time) {
  const int year = time.tm_year + 1900;
  if (year < 1980) return 0x00210000;                    // 1980-01-01 00:00:00
  if (year > 2107) return static_cast<int32_t>(0xFF9FBF7Du);  // 2107-12-31 23:59:58
  auto field = [](int value, int lo, int hi) {
    return static_cast<uint32_t>(std::clamp(value, lo, hi));
  };
  const uint32_t date = field(year - 1980, 0, 127) << 9 | field(time.tm_mon + 1, 1, 12) << 5 |
                        field(time.tm_mday, 1, 31);
  const uint32_t clock = field(time.tm_hour, 0, 23) << 11 | field(time.tm_min, 0, 59) << 5 |
                         field(time.tm_sec, 0, 59) / 2;
  return static_cast<int32_t>(date << 16 | clock);
}

std::tm UnpackDosDateTime(int32_t packed) {
  const uint32_t bits = static_cast<uint32_t>(packed);
  const uint32_t date = bits >> 16, clock = bits & 0xFFFF;
  std::tm time{};
  time.tm_year = static_cast<int>(date >> 9) + 80;
  time.tm_mon = static_cast<int>((date >> 5) & 15) - 1;
  time.tm_mday = static_cast<int>(date & 31);
  time.tm_hour = static_cast<int>(clock >> 11);
  time.tm_min = static_cast<int>((clock >> 5) & 63);
  time.tm_sec = static_cast<int>(clock & 31) * 2;
  time.tm_isdst = -1;
  return time;
}

int32_t FileAge(std::string_view path) {
  struct stat st;
  if (!StatPath(path, st) || S_ISDIR(st.st_mode)) return -1;
  std::tm local{};
  const time_t seconds = st.st_mtime;
  if (::localtime_r(&seconds, &local) == nullptr) return -1;
  return PackDosDateTime(local);
}

}  // namespace kelvo
